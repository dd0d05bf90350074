// tessavon-import, a table of questions made a bank: reads a workbook or the CSV or tab-separated text a spreadsheet
// saves, writes the bank beside it, checks it with the checker's rules, says every problem by the table's row and
// column, and what to do next for the exam to read the bank.
#include <windows.h>

#include <string>
#include <utility>

#include "bank_check.h"
#include "bank_import.h"
#include "bank_messages.h"
#include "console_output.h"
#include "import_files.h"
#include "table_reading.h"
#include "utf8_decoding.h"

namespace {

constexpr int STATUS_WRITTEN = 0;     // the bank was written; warnings may have been printed
constexpr int STATUS_ERRORS = 1;      // the table has an error: nothing was written
constexpr int STATUS_UNREADABLE = 2;  // the table could not be read, the bank not written, or the command line is wrong

const char USAGE[] =
    "Usage: tessavon-import [--encoding utf-8|shift_jis|windows-1252|utf-16le|utf-16be] [--sheet NAME|N]\n"
    "                       [-o OUT.json] FILE\n";
const char HELP[] =
    "Makes a question bank for the Tessavon exam of a table of questions: a spreadsheet's workbook (.xlsx, .ods)\n"
    "or its table saved as CSV or as tab-separated text. Each row is a question: its text, its four options and\n"
    "which option is right. Drop the table on tessavon-import.exe, or run it with the table's name.\n"
    "\n"
    "The bank is written beside the table with its name and .json (week1.csv makes week1.json), or to OUT.json.\n"
    "The exam reads only a bank named questions.json, in the folder tessavon.exe is started in: rename the bank\n"
    "so, or import with -o questions.json in tessavon.exe's folder. Nothing is written when the table has an error.\n"
    "\n"
    "The columns are found from the header row: the question (question, 問題, ...), the options (A to D,\n"
    "ア to エ, option 1 to option 4, 選択肢, ...) and the answer (answer, 正解, ...); other columns are\n"
    "left out. Without a header, each row is the question, its options, then the answer. An answer is a letter\n"
    "(A to D), a kana (ア to エ) or a number from 1 (from 0 under a column named correctAnswer).\n"
    "\n"
    "  --encoding E  read a CSV or text table as E when the first line of the output names another: utf-8,\n"
    "                shift_jis (a Japanese spreadsheet's CSV), windows-1252 (a Western one's), utf-16le, utf-16be\n"
    "  --sheet S     the workbook's sheet named S, or its S-th sheet counted from 1; by default the first\n"
    "  -o OUT.json   write the bank to OUT.json\n"
    "\n"
    "The first line of the output says how the table was read. Every problem is then said by the table's row and\n"
    "column, FILE:ROW:COLUMN: error|warning|note: row 7, column C \"B\": ... (in a workbook: cell C7), and the\n"
    "last line says what to do next. Exit status: 0 when the bank was written (warnings allowed), 1 when the table\n"
    "has an error, 2 when the table cannot be read, the bank cannot be written, or the command line is wrong.\n";

// The encodings an author may name, as the usage line names them.
const struct {
    const wchar_t* name;
    TextEncoding encoding;
} ENCODINGS[] = {{L"utf-8", TextEncoding::Utf8},
                 {L"shift_jis", TextEncoding::ShiftJis},
                 {L"windows-1252", TextEncoding::Windows1252},
                 {L"utf-16le", TextEncoding::Utf16Le},
                 {L"utf-16be", TextEncoding::Utf16Be}};

// What the command line asks for, or what is wrong with it.
struct CommandLine {
    bool help = false;
    std::wstring table;
    std::wstring output;
    ImportOptions options;
    std::string wrong;  // empty when the command line is right
};

// The line of a message: where it is as an editor reads it (row and column from 1), then as the author sees it.
std::string MessageLine(const std::string& name, const TableImport& imported, const ImportMessage& message) {
    const TableProblem& problem = message.problem;
    const char* kind = message.kind == MessageKind::Error     ? "error"
                       : message.kind == MessageKind::Warning ? "warning"
                                                              : "note";
    const std::string place = PlaceInTable(imported, problem);
    return DiagnosticLine(name, problem.row, problem.column, kind, (place.empty() ? "" : place + ": ") + problem.text) +
           "\n";
}

// The first line: how the table was read, so that a wrong encoding or separator shows before anything else.
std::string ReadAsLine(const std::string& name, const TableImport& imported) {
    std::string line = name + ": read as " + imported.encoding;
    // A text that was not cut into cells (a JSON bank) has no separator to name.
    if (imported.cut && imported.separator == '\t') line += ", tab-separated";
    if (imported.cut && imported.separator == ',') line += ", comma-separated";
    if (imported.cut && imported.separator == ';') line += ", semicolon-separated";
    if (imported.cut)
        line += imported.headed ? ", with a header row naming the columns"
                                : ", no header: the question, its options, then the answer in the last cell";
    return line + "\n";
}

// What to do with the bank written to `output`: the exam reads only questions.json, in the folder it starts in.
std::string NextStepLine(const std::wstring& table, const std::wstring& output, const ImportOptions& options) {
    const std::wstring full = FullPath(output);
    const std::string folder = Utf8FromWide(full.substr(0, full.find_last_of(L"\\/") + 1));
    if (NamedAsTheExamReads(output))
        return "Next: start tessavon.exe in " + folder + " (or put it there and double-click it): the exam reads " +
               "this bank.\n";
    const size_t slash = output.find_last_of(L"\\/:");
    const std::string file = Utf8FromWide(slash == std::wstring::npos ? output : output.substr(slash + 1));
    // The options this import was given, so that the command makes the same bank: the same sheet, the same encoding.
    std::string given;
    for (const auto& encoding : ENCODINGS)
        if (encoding.encoding == options.encoding) given += " --encoding " + Utf8FromWide(encoding.name);
    if (!options.sheet.empty()) given += " --sheet \"" + options.sheet + "\"";
    // The table's full path, so that the command works in tessavon.exe's folder.
    return "Next: the exam reads only a bank named questions.json, in the folder tessavon.exe is started in: rename " +
           file + " to questions.json and put it beside tessavon.exe, or run tessavon-import" + given +
           " -o questions.json \"" + Utf8FromWide(FullPath(table)) + "\" in that folder.\n";
}

// The bank's default name: the table's, with .json for its extension.
std::wstring DefaultOutput(const std::wstring& table) {
    const size_t name = table.find_last_of(L"\\/:");
    const size_t dot = table.rfind(L'.');
    const bool extension = dot != std::wstring::npos && (name == std::wstring::npos || dot > name + 1);
    return (extension ? table.substr(0, dot) : table) + L".json";
}

// Imports the table at `path` into a bank at `output`, prints what came of it, and returns the exit status.
int Import(const std::wstring& path, const std::wstring& output, const ImportOptions& options) {
    const std::string name = Utf8FromWide(path);
    const std::string output_name = Utf8FromWide(output);
    RemoveStoppedImport(output);
    TableBytes table = ReadTableFile(path, name);
    if (!table.problem.empty()) {
        Print(STD_OUTPUT_HANDLE, name + ": error: " + table.problem + "\n" + name + ": nothing written, 1 error\n");
        return STATUS_UNREADABLE;
    }
    const HDC dc = NewCheckingDc();
    const TableImport imported = ImportTableBytes(dc, std::move(table.bytes), output_name, options);
    DeleteDC(dc);
    std::string text;
    if (!imported.encoding.empty()) text += ReadAsLine(name, imported);
    for (const ImportMessage& message : imported.messages) text += MessageLine(name, imported, message);
    if (imported.errors) {
        Print(STD_OUTPUT_HANDLE, text + name + ": nothing written, " + Counted(imported.errors, "error") + "\n");
        return imported.checked ? STATUS_ERRORS : STATUS_UNREADABLE;
    }
    const std::string unwritten = WriteBankWhole(output, output_name, imported.bank);
    if (!unwritten.empty()) {
        Print(STD_OUTPUT_HANDLE,
              text + output_name + ": error: " + unwritten + "\n" + name + ": nothing written, 1 error\n");
        return STATUS_UNREADABLE;
    }
    Print(STD_OUTPUT_HANDLE, text + name + ": " + Counted(imported.question_count, "question") + " written to " +
                                 output_name + ", 0 errors, " + Counted(imported.warnings, "warning") + "\n" +
                                 NextStepLine(path, output, options));
    return STATUS_WRITTEN;
}

// The value of option `option` at argv[i], given as "--option VALUE" or "--option=VALUE"; advances i past it. Null
// when argv[i] is not that option; `missing` is set when the value is not there.
const wchar_t* OptionValue(int argc, wchar_t** argv, int& i, const std::wstring& option, bool& missing) {
    const std::wstring argument = argv[i];
    if (argument.compare(0, option.size() + 1, option + L"=") == 0) return argv[i] + option.size() + 1;
    if (argument != option) return nullptr;
    missing = i + 1 == argc;
    return missing ? L"" : argv[++i];
}

CommandLine ReadCommandLine(int argc, wchar_t** argv) {
    CommandLine line;
    bool options_end = false;
    for (int i = 1; i < argc && line.wrong.empty(); ++i) {
        const std::wstring argument = argv[i];
        bool missing = false;
        if (options_end) {
            if (!line.table.empty()) line.wrong = "one table at a time: " + Utf8FromWide(line.table) + " and " +
                                                  Utf8FromWide(argument) + " were given";
            line.table = argument;
        } else if (argument == L"--help" || argument == L"-h" || argument == L"/?") {
            line.help = true;
            return line;
        } else if (argument == L"--") {
            options_end = true;
        } else if (const wchar_t* output = OptionValue(argc, argv, i, L"-o", missing)) {
            if (missing) line.wrong = "-o needs the bank's name after it";
            line.output = output;
        } else if (const wchar_t* sheet = OptionValue(argc, argv, i, L"--sheet", missing)) {
            if (missing || !*sheet) line.wrong = "--sheet needs the sheet's name, or its number counted from 1";
            line.options.sheet = Utf8FromWide(sheet);
        } else if (const wchar_t* encoding = OptionValue(argc, argv, i, L"--encoding", missing)) {
            std::string names;
            bool known = false;
            for (const auto& e : ENCODINGS) {
                names += (names.empty() ? "" : ", ") + Utf8FromWide(e.name);
                if (CompareStringOrdinal(encoding, -1, e.name, -1, TRUE) == CSTR_EQUAL) {
                    line.options.encoding = e.encoding;
                    known = true;
                }
            }
            if (!known)
                line.wrong = (missing ? std::string("--encoding needs an encoding")
                                      : "unknown encoding \"" + Utf8FromWide(encoding) + "\"") +
                             ": name one of " + names;
        } else if (argument.size() > 1 && argument[0] == L'-') {
            line.wrong = "unknown option " + Utf8FromWide(argument);
        } else if (!line.table.empty()) {
            line.wrong = "one table at a time: " + Utf8FromWide(line.table) + " and " + Utf8FromWide(argument) +
                         " were given";
        } else {
            line.table = argument;
        }
    }
    if (line.wrong.empty() && line.table.empty()) line.wrong = "no table to import";
    if (line.wrong.empty()) {
        if (line.output.empty()) line.output = DefaultOutput(line.table);
        // The bank is never written over the table it is made of.
        if (CompareStringOrdinal(FullPath(line.output).c_str(), -1, FullPath(line.table).c_str(), -1, TRUE) ==
            CSTR_EQUAL)
            line.wrong = "the bank would be written over the table " + Utf8FromWide(line.table) +
                         ": name it with -o OUT.json";
    }
    return line;
}

// Reads the command line and imports; what the process exits with.
int Run(int argc, wchar_t** argv) {
    const CommandLine line = ReadCommandLine(argc, argv);
    if (line.help) {
        Print(STD_OUTPUT_HANDLE, std::string(USAGE) + HELP);
        return STATUS_WRITTEN;
    }
    if (!line.wrong.empty()) {
        Print(STD_ERROR_HANDLE, "tessavon-import: " + line.wrong + "\n" + USAGE + "Try tessavon-import --help.\n");
        return STATUS_UNREADABLE;
    }
    return Import(line.table, line.output, line.options);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int status = Run(argc, argv);
    // Started from Explorer (a table dropped on it), the console window would close before it could be read.
    if (OwnsConsole()) WaitForKey();
    return status;
}
