// Reading the bank's file as the loader needs it: whole, in text mode, without locking other programs out.
#pragma once

#include <string>

// Reads the file at `path` in text mode into `bank_text`. Returns false when it cannot be opened or read.
bool ReadBankFile(const wchar_t* path, std::string& bank_text);
