// Reading the bank's file as the loader needs it: in text mode, whole or in pieces, without locking other programs
// out, and saying why when it cannot.
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

// A read of the bank's file: what came of it, the text, the file's size once known, and the Windows error code of
// a failure.
struct BankFile {
    BankFileResult result = BankFileResult::Read;
    std::string text;  // empty unless Read
    uint64_t size = 0;
    DWORD system_error = ERROR_SUCCESS;
};

// Reads the file at `path` in text mode: CR LF arrives as LF and a Ctrl-Z byte ends the data. Only as many bytes as
// the file held when it was opened are read, so a file that grows meanwhile cannot make the read endless.
BankFile ReadBankFile(const wchar_t* path, uint64_t size_limit);

// The same read without the text mode: the file's bytes as they are, for a table whose encoding is found from them.
BankFile ReadFileBytes(const wchar_t* path, uint64_t size_limit);

// How much of a bank is read at a time when it is read in pieces: the loader then holds one piece, not the file.
constexpr size_t BANK_PIECE_SIZE = 1u << 20;

// A bank file being read in pieces, each given the text-mode rules as the whole file would be.
struct BankPieces {
    HANDLE file = INVALID_HANDLE_VALUE;
    uint64_t left = 0;            // bytes still to read, of the size the file had when opened
    std::string buffer;           // the current piece is its first `length` bytes
    size_t length = 0;
    uint64_t delivered = 0;       // text-mode bytes of every piece so far
    bool held_cr = false;         // a CR at a piece's end waits for the next piece to show whether an LF follows
    bool ended = false;           // a Ctrl-Z has ended the data
    bool failed = false;          // a read failed; system_error says why
    DWORD system_error = ERROR_SUCCESS;
};

// Opens the file at `path` to be read in pieces: the same checks as ReadBankFile's before any byte is read. On
// anything but Read nothing is left open.
BankFileResult OpenBankPieces(const wchar_t* path, uint64_t size_limit, BankPieces& pieces, uint64_t& file_size,
                              DWORD& system_error);
// Reads the next piece into `pieces`; false once nothing is left, or when reading failed (`pieces.failed`).
bool ReadBankPiece(BankPieces& pieces);
// Closes the file and gives back the piece's memory.
void CloseBankPieces(BankPieces& pieces);
