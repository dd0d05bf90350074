// tessavon-import, a table of questions made a bank: reads the CSV or tab-separated text a spreadsheet saves, writes
// the bank beside it, checks it with the checker's rules, and says every problem by the table's row and column.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bank_check.h"
#include "bank_file.h"
#include "bank_import.h"
#include "bank_messages.h"
#include "console_output.h"
#include "table_reading.h"
#include "utf8_decoding.h"

namespace {

constexpr int STATUS_WRITTEN = 0;     // the bank was written; warnings may have been printed
constexpr int STATUS_ERRORS = 1;      // the table has an error: nothing was written
constexpr int STATUS_UNREADABLE = 2;  // the table could not be read, the bank not written, or the command line is wrong

const char IMPORT_AGAIN[] = "run the import again";
const char USAGE[] = "Usage: tessavon-import [-o OUT.json] FILE\n";
const char HELP[] =
    "Makes a Tessavon question bank of a table of questions saved from a spreadsheet as CSV or as tab-separated\n"
    "text (UTF-8, UTF-16 \"Unicode text\" or Shift_JIS), and checks it as tessavon-check does. The bank is written\n"
    "to OUT.json, by default FILE's name with .json; nothing is written when the table has an error.\n"
    "\n"
    "A first row naming a question column (question, questionText, 問題, 問題文) is a header: it also names the\n"
    "options (option 1, option 2, ...; A, B, ...; 選択肢; ア, イ, ...) and the answer (answer, correctAnswer, 正解,\n"
    "解答); other columns are left out. Without a header, each row is the question, its options and the answer.\n"
    "Answers are letters (A, a, Ａ), kana (ア, イ, ウ, エ) or numbers from 1 (from 0 under correctAnswer).\n"
    "\n"
    "Problems are printed by the table's row and column: FILE:ROW:COLUMN: error|warning|note: ...\n"
    "Exit status: 0 when the bank was written (warnings allowed), 1 when the table has an error, 2 when the table\n"
    "cannot be read, the bank cannot be written, or the command line is wrong.\n";

// The line of a problem at a cell of the table named `name`, or of the whole file when its row is 0.
std::string TableLine(const std::string& name, const TableProblem& problem, const char* kind) {
    return DiagnosticLine(name, problem.row, problem.column, kind, problem.text) + "\n";
}

// The bank's default name: the table's, with .json for its extension.
std::wstring DefaultOutput(const std::wstring& table) {
    const size_t name = table.find_last_of(L"\\/:");
    const size_t dot = table.rfind(L'.');
    const bool extension = dot != std::wstring::npos && (name == std::wstring::npos || dot > name + 1);
    return (extension ? table.substr(0, dot) : table) + L".json";
}

// The full path of `path`; empty when Windows cannot make one.
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

// Writes `text` to `path` whole or not at all: into a new file beside it, which then takes its name (over an older
// bank). Returns 0, or the Windows error that kept it from being written; then no file is left behind.
DWORD WriteWhole(const std::wstring& path, const std::string& text) {
    const std::wstring full = FullPath(path);
    if (full.empty()) return GetLastError();
    // Beside the bank, so the rename stays on one volume and cannot be half done.
    const std::wstring folder = full.substr(0, full.find_last_of(L"\\/") + 1);
    wchar_t temporary[MAX_PATH + 16] = {};
    if (folder.size() > MAX_PATH - 14 || !GetTempFileNameW(folder.c_str(), L"tsv", 0, temporary))
        return folder.size() > MAX_PATH - 14 ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
    DWORD error = ERROR_SUCCESS;
    const HANDLE file =
        CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
    } else {
        for (size_t at = 0; at < text.size() && !error;) {
            DWORD done = 0;
            const DWORD piece = static_cast<DWORD>(std::min<size_t>(text.size() - at, 1u << 24));
            if (!WriteFile(file, text.data() + at, piece, &done, nullptr)) error = GetLastError();
            at += done;
        }
        if (!error && !FlushFileBuffers(file)) error = GetLastError();
        CloseHandle(file);
    }
    if (!error && !MoveFileExW(temporary, full.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error) DeleteFileW(temporary);
    return error;
}

// Imports the table at `path` into a bank at `output`, prints what came of it, and returns the exit status.
int Import(const std::wstring& path, const std::wstring& output) {
    const std::string name = Utf8FromWide(path);
    const std::string output_name = Utf8FromWide(output);
    BankFile read = ReadFileBytes(path.c_str(), BANK_SIZE_LIMIT);
    std::string& bytes = read.text;
    if (read.result != BankFileResult::Read) {
        Print(STD_OUTPUT_HANDLE, name + ": error: " + Utf8FromWide(FileProblem(read, name, IMPORT_AGAIN)) +
                                     "\n" + name + ": nothing written, 1 error\n");
        return STATUS_UNREADABLE;
    }
    const HDC dc = NewCheckingDc();
    const TableImport imported = ImportTableBytes(dc, bytes, output_name);
    DeleteDC(dc);
    std::string().swap(bytes);
    std::string text;
    if (!imported.encoding.empty()) {
        text += name + ": read as " + imported.encoding +
                (imported.separator == '\t' ? ", tab-separated" : ", comma-separated");
        if (imported.cut)
            text += imported.headed ? ", the first row naming the columns"
                                    : ", no header: the question, its options, then the answer in the last cell";
        text += "\n";
    }
    for (const ImportMessage& message : imported.messages) {
        const char* kind = message.kind == MessageKind::Error     ? "error"
                           : message.kind == MessageKind::Warning ? "warning"
                                                                  : "note";
        text += TableLine(name, message.problem, kind);
    }
    if (imported.errors) {
        Print(STD_OUTPUT_HANDLE, text + name + ": nothing written, " + Counted(imported.errors, "error") + "\n");
        return imported.checked ? STATUS_ERRORS : STATUS_UNREADABLE;
    }
    if (const DWORD error = WriteWhole(output, imported.bank)) {
        Print(STD_OUTPUT_HANDLE, text + output_name + ": error: the bank could not be written: " + SystemWords(error) +
                                     ".\n" + name + ": nothing written, 1 error\n");
        return STATUS_UNREADABLE;
    }
    Print(STD_OUTPUT_HANDLE, text + name + ": " + Counted(imported.questions.size(), "question") + " written to " +
                                 output_name + ", 0 errors, " + Counted(imported.warnings, "warning") + "\n");
    return STATUS_WRITTEN;
}

// Reads the command line and imports; what the process exits with.
int Run(int argc, wchar_t** argv) {
    std::wstring table, output;
    bool options_end = false;
    std::string wrong;
    for (int i = 1; i < argc && wrong.empty(); ++i) {
        const std::wstring argument = argv[i];
        if (!options_end && (argument == L"--help" || argument == L"-h" || argument == L"/?")) {
            Print(STD_OUTPUT_HANDLE, std::string(USAGE) + HELP);
            return STATUS_WRITTEN;
        }
        if (!options_end && argument == L"--") {
            options_end = true;
        } else if (!options_end && argument == L"-o") {
            if (i + 1 == argc) wrong = "-o needs the bank's name after it";
            else output = argv[++i];
        } else if (!options_end && argument.size() > 1 && argument[0] == L'-') {
            wrong = "unknown option " + Utf8FromWide(argument);
        } else if (!table.empty()) {
            wrong = "one table at a time: " + Utf8FromWide(table) + " and " + Utf8FromWide(argument) + " were given";
        } else {
            table = argument;
        }
    }
    if (wrong.empty() && table.empty()) wrong = "no table to import";
    if (wrong.empty()) {
        if (output.empty()) output = DefaultOutput(table);
        // The bank is never written over the table it is made of.
        if (CompareStringOrdinal(FullPath(output).c_str(), -1, FullPath(table).c_str(), -1, TRUE) == CSTR_EQUAL)
            wrong = "the bank would be written over the table " + Utf8FromWide(table) + ": name it with -o OUT.json";
    }
    if (!wrong.empty()) {
        Print(STD_ERROR_HANDLE, "tessavon-import: " + wrong + "\n" + USAGE + "Try tessavon-import --help.\n");
        return STATUS_UNREADABLE;
    }
    return Import(table, output);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int status = Run(argc, argv);
    // Started from Explorer (a table dropped on it), the console window would close before it could be read.
    if (OwnsConsole()) WaitForKey();
    return status;
}
