// Reading the bank's file as the loader needs it: whole, in text mode, without locking other programs out, and
// saying why when it cannot.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// What came of reading the bank's file.
enum class BankFileResult {
    Read,         // bank_text holds the file as a text-mode read delivers it
    Missing,      // there is nothing by that name
    Folder,       // a folder has the name the bank should have
    InUse,        // another program has it open and does not share it, or has locked part of it
    NotAllowed,   // the user may not read it
    NotAFile,     // a device or a pipe, which may never end
    TooLarge,     // larger than the size limit; nothing was read
    OutOfMemory,  // no memory for a buffer of the file's size
    OpenFailed,   // it is there but could not be opened for another reason (system_error says which)
    ReadFailed,   // it was opened but reading it failed (system_error says why)
};

// Reads the file at `path` in text mode into `bank_text`: CR LF arrives as LF and a Ctrl-Z byte ends the data.
// Only as many bytes as the file held when it was opened are read, so a file that grows meanwhile cannot make the
// read endless. `file_size` is set to that size once known; `system_error` to the Windows error code of a failure.
BankFileResult ReadBankFile(const wchar_t* path, uint64_t size_limit, std::string& bank_text, uint64_t& file_size,
                            DWORD& system_error);
