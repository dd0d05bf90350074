// The words a bank author reads when a bank is refused: what is wrong, and where.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "bank_file.h"

// "questions.json is too large: ...": a bank of `size` bytes over the limit of `limit` bytes.
std::string TooLargeMessage(uint64_t size, uint64_t limit);
// A bank of `size` bytes that did not fit in the memory available.
std::string OutOfMemoryMessage(uint64_t size);

// The encoding a bank's bytes look like when they are UTF-16 or UTF-32 ("UTF-16 little-endian", ...), with or
// without a byte-order mark; nullptr when they do not.
const char* WideEncoding(const std::string& text);
// Asks for a bank in `encoding` to be saved as UTF-8.
std::string NotUtf8Message(const char* encoding);

// The JSON library's message `what` for an error at byte `error_byte` (counted from 1, 0 when unknown) of `text`,
// with a line break that ends a line reported on that line, and a long quoted token cut to its end after "…".
std::string ReadableLibraryMessage(const std::string& what, const std::string& text, size_t error_byte);

// "line L, column C" where an entry's value starts in a bank's parsed text: the element at `index` (from 0) of a
// top-level array, or the value of the last member named `key` of a top-level object.
std::string EntryLocation(const std::string& text, size_t index, const std::string& key);

// The box text for a bank file that could not be read.
std::wstring FileProblem(BankFileResult result, uint64_t file_size, DWORD system_error);
