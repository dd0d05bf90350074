// The words a bank author reads when a bank is refused: what is wrong, and where.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "bank_file.h"
#include "bank_rules.h"

// The name the exam reads its bank from, and gives it in its messages; the checker gives the name it was handed.
inline constexpr char BANK_FILE_NAME[] = "questions.json";

// The first line of every message that refuses what a bank holds (its syntax, encoding or shape); the rest says
// what is wrong. A bank refused for its size, or for the memory it needs, is told so in words of their own.
inline constexpr char FORMAT_ERROR_PREFIX[] = "Invalid format in questions.json.\n";

// What the reader of a message is told to do once its cause is gone: the exam's candidate starts the program
// again, the checker's user runs the check again.
inline constexpr char START_AGAIN[] = "start Tessavon again";
inline constexpr char CHECK_AGAIN[] = "run the check again";

// "questions.json is too large: ...": a bank of `size` bytes over the limit of `limit` bytes.
std::string TooLargeMessage(uint64_t size, uint64_t limit, const std::string& name = BANK_FILE_NAME);
// A bank of `size` bytes that did not fit in the memory available.
std::string OutOfMemoryMessage(uint64_t size, const std::string& name = BANK_FILE_NAME,
                               const char* again = START_AGAIN);

// Asks for a bank in `encoding` to be saved as UTF-8.
std::string NotUtf8Message(const char* encoding);

// What the exam says of an entry it refuses for `verdict` ("\"options\" is missing."): only the first key an entry
// lacks is named.
std::string EntryFaultWords(const EntryVerdict& verdict);
// What the exam says of a text it refuses for `verdict`, after its first line (FORMAT_ERROR_PREFIX), which a text
// too large has not: the JSON library's message, with an error at a line break placed at the end of that line and a
// long quoted token cut to its end after "…" (the library quotes bytes: a character it stopped inside is left out).
std::string TextFaultWords(const TextVerdict& verdict, const std::string& text);
// What the JSON reader says where it stopped, without its place: "syntax error while parsing array - ...".
std::string ReaderWords(const ReaderStop& stop, const std::string& text);
// A kind of value as the messages name it: "null", "a string", "an array", ...
const char* TypeNameWithArticle(ValueKind kind);
// Whether the exam's message for `verdict` is about what the bank holds, under FORMAT_ERROR_PREFIX.
bool IsFormatFault(const TextVerdict& verdict);
// The line and the column in bytes, both from 1, that the exam's message gives for where the JSON reader stopped.
std::pair<size_t, size_t> ReaderPlace(const ReaderStop& stop, const std::string& text);
// What the library quotes as read last, bytes [from, to) of `text`, as the exam shows it: control characters as
// "<U+000A>", a character the reader stopped inside left out, and more than 48 bytes cut to the last 40 after "…".
std::string QuotedToken(const std::string& text, size_t from, size_t to);

// "line L, column C" where the entry at `index` (from 0, in walking order) starts in a bank's parsed text.
std::string EntryLocation(const std::string& text, size_t index);

// The box text for a bank file named `name` that could not be read; `again` is what to do once it is free.
std::wstring FileProblem(const BankFile& read, const std::string& name = BANK_FILE_NAME,
                         const char* again = START_AGAIN);
// A diagnostic as editors and CI jobs read it: "NAME:LINE:COLUMN: KIND: TEXT", without the place when `line` is 0.
std::string DiagnosticLine(const std::string& name, size_t line, size_t column, const char* kind,
                           const std::string& text);

// "1 error", "2 warnings": a count and what it counts, `zero` in place of 0 when given ("no options").
std::string Counted(size_t count, const char* thing, const char* zero = nullptr);

// Windows' words for the error `error`, without the full stop.
std::string SystemWords(DWORD error);
