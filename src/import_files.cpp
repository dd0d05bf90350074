// The importer's files. Windows' own words ("Access is denied", "The directory name is invalid") name neither the
// file nor what to do, so each failure an author meets is said here in theirs.
#include "import_files.h"

#include <algorithm>
#include <utility>

#include "bank_file.h"
#include "bank_messages.h"
#include "question.h"
#include "utf8_decoding.h"

namespace {

const wchar_t TEMPORARY_SUFFIX[] = L".tessavon-import.tmp";
const char AGAIN[] = "then run the import again";

std::string Megabytes(uint64_t bytes) {
    return std::to_string((bytes + (1u << 19)) >> 20) + " MB";
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Refused because of who may write where, or because another program holds the file.
bool Refused(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_WRITE_PROTECT;
}

bool DiskFull(DWORD error) {
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

// Writes all of `text` to the new file `path`; 0, or the Windows error that stopped it.
DWORD WriteNewFile(const std::wstring& path, const std::string& text) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD error = ERROR_SUCCESS;
    for (size_t at = 0; at < text.size() && !error;) {
        DWORD done = 0;
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(text.size() - at, 1u << 24));
        if (!WriteFile(file, text.data() + at, piece, &done, nullptr)) error = GetLastError();
        at += done;
    }
    if (!error && !FlushFileBuffers(file)) error = GetLastError();
    CloseHandle(file);
    return error;
}

}  // namespace

std::wstring FullPath(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (length >= full.size()) {
        full.resize(length + 1);
        length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    }
    full.resize(length < full.size() ? length : 0);
    return full;
}

TableBytes ReadTableFile(const std::wstring& path, const std::string& name) {
    TableBytes table;
    BankFile read = ReadFileBytes(path.c_str(), BANK_SIZE_LIMIT);
    table.bytes = std::move(read.text);
    const uint64_t size = read.size;
    const std::string cannot = "the table " + name + " cannot be read: ";
    switch (read.result) {
        case BankFileResult::Read:
            break;
        case BankFileResult::Missing:
            table.problem = "there is no table " + name + ": check its name and its folder.";
            break;
        case BankFileResult::Folder:
            table.problem = name + " is a folder: name the table's file in it (a .csv, .txt, .xlsx or .ods).";
            break;
        case BankFileResult::InUse:
            table.problem = cannot + "another program (the spreadsheet, say) has it open and does not share it. Close "
                            "it there, " + AGAIN + ".";
            break;
        case BankFileResult::NotAllowed:
            table.problem = cannot + "you may not read it. Copy it to a folder of your own, then import the copy.";
            break;
        case BankFileResult::NotAFile:
            table.problem = cannot + "it is a device or a pipe, not a file.";
            break;
        case BankFileResult::TooLarge:
            table.problem = "the table " + name + " is " + Megabytes(size) + ", and its bank would be larger still: " +
                            "the exam reads banks of up to " + Megabytes(BANK_SIZE_LIMIT) +
                            ". Split the table in several, each made a bank of its own.";
            break;
        case BankFileResult::OutOfMemory:
            table.problem = "the table " + name + " (" + Megabytes(size) + ") does not fit in the memory available. " +
                            "Close other programs, " + AGAIN + ", or split the table in several.";
            break;
        default:
            table.problem = cannot + SystemWords(read.system_error) + ".";
            break;
    }
    if (!table.problem.empty()) std::string().swap(table.bytes);
    return table;
}

std::wstring TemporaryFor(const std::wstring& bank_path) {
    return bank_path + TEMPORARY_SUFFIX;
}

void RemoveStoppedImport(const std::wstring& bank_path) {
    const std::wstring full = FullPath(bank_path);
    if (!full.empty()) DeleteFileW(TemporaryFor(full).c_str());
}

bool NamedAsTheExamReads(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/:");
    const std::wstring file = slash == std::wstring::npos ? path : path.substr(slash + 1);
    return CompareStringOrdinal(file.c_str(), -1, L"questions.json", -1, TRUE) == CSTR_EQUAL;
}

std::string WriteBankWhole(const std::wstring& path, const std::string& name, const std::string& text) {
    const std::wstring full = FullPath(path);
    if (full.empty()) return "the bank cannot be written to " + name + ": " + SystemWords(GetLastError()) + ".";
    if (IsFolder(full))
        return name + " is a folder: name the bank's file in it, such as -o \"" + name + "\\questions.json\".";
    // Beside the bank, so that taking its name stays on one volume and cannot be half done.
    const std::wstring folder_path = full.substr(0, full.find_last_of(L"\\/") + 1);
    const std::string folder = Utf8FromWide(folder_path);
    if (!IsFolder(folder_path))
        return "the folder " + folder + " does not exist: create it, or name the bank in another folder with -o.";
    const std::wstring temporary = TemporaryFor(full);
    if (temporary.size() >= MAX_PATH)
        return "the bank's path " + name + " is too long for Windows (" + std::to_string(full.size()) +
               " characters, with its temporary " + std::to_string(temporary.size()) + "; the most is " +
               std::to_string(MAX_PATH - 1) + "): name it in a shorter folder with -o.";
    const std::string temporary_name = Utf8FromWide(temporary);
    if (const DWORD error = WriteNewFile(temporary, text)) {
        DeleteFileW(temporary.c_str());
        if (error == ERROR_SHARING_VIOLATION)
            return "another import of this bank is writing " + temporary_name + ": wait until it ends, " + AGAIN + ".";
        if (Refused(error))
            return "no file can be made in the folder " + folder + ": it is read-only, or you may not write there. " +
                   "Name the bank in a folder of your own with -o (in Documents, say).";
        if (DiskFull(error))
            return "the disk of " + folder + " is full: the bank needs " + Megabytes(text.size()) +
                   ". Free space on it, or name the bank on another disk with -o.";
        return "the bank could not be written to " + temporary_name + ": " + SystemWords(error) + ".";
    }
    if (!MoveFileExW(temporary.c_str(), full.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(temporary.c_str());
        if (Refused(error))
            return name + " cannot be replaced: it is open in another program (an editor, say), or it is read-only. " +
                   "Close it there or clear its read-only box in its Properties, " + AGAIN +
                   "; or name another bank with -o.";
        return name + " could not take the new bank: " + SystemWords(error) + ".";
    }
    return std::string();
}
