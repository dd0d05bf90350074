// Opens the bank with deny-none sharing, so other programs may go on reading and writing it while we hold it, and
// tells apart a bank that is not there from one that is there but cannot be opened or read. The bytes are read as
// they are and then given the text-mode reading of a C runtime text stream (CR LF to LF, Ctrl-Z ends the data);
// reading raw is what lets the read stop at the size the file had when it was opened.
#include "bank_file.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

BankFileResult OpenFailure(const wchar_t* path, DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return BankFileResult::Missing;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return BankFileResult::InUse;
        case ERROR_ACCESS_DENIED: {
            // A folder cannot be opened as a file either, and its author needs to hear that it is one.
            const DWORD attributes = GetFileAttributesW(path);
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                return BankFileResult::Folder;
            return BankFileResult::NotAllowed;
        }
        default:
            return BankFileResult::OpenFailed;
    }
}

// The first CR or Ctrl-Z at or after `from`, or `size`: a bank of 50 MB may hold none at all. Sixteen bytes at a
// time with SSE2, which every x86-64 processor has: a byte-at-a-time loop made the program show a bank of 100,000
// questions 1.05 to 1.19 times later, and the runtime's memchr, which looks for one byte only, goes a byte at a
// time under Wine too.
size_t NextTextModeByte(const char* bytes, size_t size, size_t from) {
    const __m128i cr = _mm_set1_epi8('\r'), ctrl_z = _mm_set1_epi8('\x1A');
    size_t i = from;
    for (; i + 16 <= size; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const int found = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, ctrl_z)));
        if (found != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(found)));
    }
    while (i < size && bytes[i] != '\r' && bytes[i] != '\x1A') ++i;
    return i;
}

// What a text-mode read makes of `size` bytes, in place: a Ctrl-Z ends the data (`ended` is then set), and a CR
// directly before an LF is dropped. Returns how many bytes are left.
size_t ApplyTextMode(char* bytes, size_t size, bool& ended) {
    size_t in = NextTextModeByte(bytes, size, 0);
    size_t out = in;
    while (in < size && bytes[in] != '\x1A') {
        if (bytes[in] == '\r' && in + 1 < size && bytes[in + 1] == '\n') ++in;
        // Keep everything up to the next CR or Ctrl-Z.
        const size_t next = NextTextModeByte(bytes, size, in + 1);
        std::memmove(bytes + out, bytes + in, next - in);
        out += next - in;
        in = next;
    }
    ended = in < size;
    return out;
}

// Reads into `bytes` until `size` bytes are there or the file ends; false with the system's error when reading
// fails. `done` counts what was read, also on failure.
bool ReadInto(HANDLE file, char* bytes, size_t size, size_t& done, DWORD& system_error) {
    done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file, bytes + done, chunk, &got, nullptr)) {
            system_error = GetLastError();
            return false;
        }
        if (got == 0) break;
        done += got;
    }
    return true;
}

// Reads up to `size` bytes, fewer if the file has become shorter; false with the system's error when reading fails.
bool ReadUpTo(HANDLE file, uint64_t size, std::string& bytes, DWORD& system_error) {
    bytes.resize(static_cast<size_t>(size));
    size_t done = 0;
    const bool read = ReadInto(file, &bytes[0], bytes.size(), done, system_error);
    bytes.resize(done);
    return read;
}

// A failed read of a region another program has locked is the file being in use.
BankFileResult ReadFailure(DWORD system_error) {
    return system_error == ERROR_LOCK_VIOLATION ? BankFileResult::InUse : BankFileResult::ReadFailed;
}

// Opens the file at `path` and makes sure it is a plain file of at most `size_limit` bytes; on anything but Read
// the file is closed again.
BankFileResult OpenBankFile(const wchar_t* path, uint64_t size_limit, HANDLE& file, uint64_t& file_size,
                            DWORD& system_error) {
    system_error = ERROR_SUCCESS;
    file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        system_error = GetLastError();
        return OpenFailure(path, system_error);
    }
    BankFileResult result = BankFileResult::Read;
    BY_HANDLE_FILE_INFORMATION info = {};
    // A pipe or a device (a console, a link to an endless device) has no size to stop at: only plain files are read.
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)) {
        result = BankFileResult::NotAFile;
    } else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        result = BankFileResult::Folder;
    } else {
        file_size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        if (file_size > size_limit) result = BankFileResult::TooLarge;
    }
    if (result != BankFileResult::Read) {
        CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
    }
    return result;
}

}  // namespace

BankFile ReadFileBytes(const wchar_t* path, uint64_t size_limit) {
    BankFile read;
    HANDLE file = INVALID_HANDLE_VALUE;
    read.result = OpenBankFile(path, size_limit, file, read.size, read.system_error);
    if (read.result != BankFileResult::Read) return read;
    try {
        if (!ReadUpTo(file, read.size, read.text, read.system_error)) read.result = ReadFailure(read.system_error);
    } catch (const std::bad_alloc&) {
        read.result = BankFileResult::OutOfMemory;
    }
    CloseHandle(file);
    if (read.result != BankFileResult::Read) std::string().swap(read.text);  // what a failed read left
    return read;
}

BankFile ReadBankFile(const wchar_t* path, uint64_t size_limit) {
    BankFile read = ReadFileBytes(path, size_limit);
    if (read.result == BankFileResult::Read) {
        bool ended = false;
        read.text.resize(ApplyTextMode(&read.text[0], read.text.size(), ended));
    }
    return read;
}

BankFileResult OpenBankPieces(const wchar_t* path, uint64_t size_limit, BankPieces& pieces, uint64_t& file_size,
                              DWORD& system_error) {
    const BankFileResult result = OpenBankFile(path, size_limit, pieces.file, file_size, system_error);
    if (result != BankFileResult::Read) return result;
    pieces.left = file_size;
    try {
        // One byte more than a piece, for a CR held back from the piece before.
        pieces.buffer.resize(static_cast<size_t>(std::min<uint64_t>(file_size, BANK_PIECE_SIZE)) + 1);
    } catch (const std::bad_alloc&) {
        CloseBankPieces(pieces);
        return BankFileResult::OutOfMemory;
    }
    return result;
}

bool ReadBankPiece(BankPieces& pieces) {
    pieces.length = 0;
    while (pieces.length == 0 && (pieces.left > 0 || pieces.held_cr) && !pieces.ended && !pieces.failed) {
        char* bytes = &pieces.buffer[0];
        size_t have = pieces.held_cr ? 1 : 0;
        if (pieces.held_cr) bytes[0] = '\r';
        pieces.held_cr = false;
        size_t got = 0;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(pieces.left, pieces.buffer.size() - have));
        if (!ReadInto(pieces.file, bytes + have, want, got, pieces.system_error)) pieces.failed = true;
        // A file that has become shorter ends here.
        pieces.left = got < want ? 0 : pieces.left - got;
        have += got;
        // Whether a CR at the end is followed by an LF is for the next piece to say.
        if (have > 0 && bytes[have - 1] == '\r' && pieces.left > 0) {
            pieces.held_cr = true;
            --have;
        }
        pieces.length = ApplyTextMode(bytes, have, pieces.ended);
        pieces.delivered += pieces.length;
    }
    return pieces.length > 0;
}

void CloseBankPieces(BankPieces& pieces) {
    if (pieces.file != INVALID_HANDLE_VALUE) CloseHandle(pieces.file);
    pieces.file = INVALID_HANDLE_VALUE;
    std::string().swap(pieces.buffer);
}
