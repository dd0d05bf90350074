// Opens the bank with deny-none sharing, so other programs may go on reading and writing it while we hold it, and
// tells apart a bank that is not there from one that is there but cannot be opened or read. The bytes are read as
// they are and then given the text-mode reading of a C runtime text stream (CR LF to LF, Ctrl-Z ends the data);
// reading raw is what lets the read stop at the size the file had when it was opened.
#include "bank_file.h"

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

// The first CR or Ctrl-Z at or after `from`, or the size. A bank of 50 MB may hold none at all; the runtime's
// memchr goes byte by byte and took longer than reading the file, so this looks at eight bytes at a time.
size_t NextTextModeByte(const std::string& bytes, size_t from) {
    constexpr uint64_t ONES = 0x0101010101010101ull, HIGHS = 0x8080808080808080ull;
    const auto has_byte = [](uint64_t word, uint64_t repeated) {
        const uint64_t x = word ^ repeated;
        return ((x - ONES) & ~x & HIGHS) != 0;
    };
    size_t i = from;
    for (; i + 8 <= bytes.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        if (has_byte(word, ONES * '\r') || has_byte(word, ONES * '\x1A')) break;
    }
    while (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\x1A') ++i;
    return i;
}

// What a text-mode read makes of the bytes: a Ctrl-Z ends the data, and a CR directly before an LF is dropped.
void ApplyTextMode(std::string& bytes) {
    size_t in = NextTextModeByte(bytes, 0);
    size_t out = in;
    while (in < bytes.size() && bytes[in] != '\x1A') {
        if (bytes[in] == '\r' && in + 1 < bytes.size() && bytes[in + 1] == '\n') ++in;
        // Keep everything up to the next CR or Ctrl-Z.
        const size_t next = NextTextModeByte(bytes, in + 1);
        std::memmove(&bytes[out], &bytes[in], next - in);
        out += next - in;
        in = next;
    }
    bytes.resize(out);
}

// Reads up to `size` bytes, fewer if the file has become shorter; false with the system's error when reading fails.
bool ReadUpTo(HANDLE file, uint64_t size, std::string& bytes, DWORD& system_error) {
    bytes.resize(static_cast<size_t>(size));
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file, &bytes[done], chunk, &got, nullptr)) {
            system_error = GetLastError();
            return false;
        }
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return true;
}

}  // namespace

BankFileResult ReadBankFile(const wchar_t* path, uint64_t size_limit, std::string& bank_text, uint64_t& file_size,
                            DWORD& system_error) {
    std::string().swap(bank_text);
    system_error = ERROR_SUCCESS;
    const HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
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
        if (file_size > size_limit) {
            result = BankFileResult::TooLarge;
        } else {
            try {
                // A region another program has locked fails the read rather than the open.
                if (!ReadUpTo(file, file_size, bank_text, system_error))
                    result = system_error == ERROR_LOCK_VIOLATION ? BankFileResult::InUse : BankFileResult::ReadFailed;
            } catch (const std::bad_alloc&) {
                result = BankFileResult::OutOfMemory;
            }
        }
    }
    CloseHandle(file);
    if (result == BankFileResult::Read) {
        ApplyTextMode(bank_text);
    } else {
        std::string().swap(bank_text);  // what a failed read left
    }
    return result;
}
