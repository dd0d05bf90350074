// The importer's two files: the table read whole, and the bank written whole or not at all; when either cannot be
// done, what could not be done to which file and what the author does about it, in the author's words.
#pragma once

#include <windows.h>

#include <string>

// A table's bytes, or why they could not be read.
struct TableBytes {
    std::string bytes;
    std::string problem;  // empty when the table was read
};

// Reads the table at `path` as it is, up to the largest bank the exam reads (a larger table would make a larger
// bank still); `name` is how the author named it.
TableBytes ReadTableFile(const std::wstring& path, const std::string& name);

// The temporary a bank at `bank_path` is written to before it takes the bank's name. Its name is fixed, the bank's
// own with a suffix, so that one left by an import that was stopped (the window closed, the process killed) is
// recognised and removed by the next import of that bank.
std::wstring TemporaryFor(const std::wstring& bank_path);

// Removes the temporary an import of the bank at `bank_path` left when it was stopped: it may be cut anywhere, and is
// never the bank. Done by every import of that bank, whether it writes the bank or not.
void RemoveStoppedImport(const std::wstring& bank_path);

// Writes `text` to `path` (named `name` as the author named it) whole or not at all: into TemporaryFor(path), which
// then takes the bank's name, over an older bank of that name. Returns what went wrong, in words, or empty when the
// bank was written; either way no temporary is left.
std::string WriteBankWhole(const std::wstring& path, const std::string& name, const std::string& text);

// Whether `path` names a file called questions.json (in any case), the one name the exam reads.
bool NamedAsTheExamReads(const std::wstring& path);

// The full path of `path`; empty when Windows cannot make one.
std::wstring FullPath(const std::wstring& path);
