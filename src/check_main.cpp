// tessavon-check, the bank checker's command line: checks each bank named on it, prints every problem as a line
// editors and CI jobs understand, a summary for each file, and sets the exit status a CI job acts on.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bank_check.h"
#include "bank_file.h"
#include "bank_messages.h"
#include "bank_preview.h"
#include "console_output.h"
#include "question.h"
#include "utf8_decoding.h"

namespace {

constexpr int STATUS_CLEAN = 0;       // no file has an error; warnings may have been printed
constexpr int STATUS_ERRORS = 1;      // a file has an error: the exam would refuse it
constexpr int STATUS_UNREADABLE = 2;  // a file could not be read or checked, or the command line is wrong

const char USAGE[] = "Usage: tessavon-check FILE...\n       tessavon-check --show N FILE\n";
const char HELP[] =
    "Checks Tessavon question banks and prints one line per problem, in the form editors and CI jobs read:\n"
    "  FILE:LINE:COLUMN: error: ...    what the exam refuses, in the exam's own words\n"
    "  FILE:LINE:COLUMN: warning: ...  what the exam accepts but a candidate would trip over\n"
    "  FILE:LINE:COLUMN: note: ...     under an error: the line with ^ under the slip, what it is, what to do\n"
    "LINE and COLUMN are where the question's entry starts, or where the syntax error is; COLUMN counts\n"
    "characters, as editors do. A problem of the whole file has none. After its problems, each file gets one\n"
    "summary line: \"FILE: N questions, E errors, W warnings\".\n"
    "\n"
    "--show N FILE checks FILE, then shows its question N (counted from 1, in file order) in the exam's own window,\n"
    "as a candidate would see it, with the right option marked; Previous and Next go through the whole bank, and\n"
    "closing the window ends the program. A bank with an error opens no window.\n"
    "\n"
    "Exit status: 0 when no file has an error (warnings allowed), 1 when one has, 2 when a file cannot be read or\n"
    "the command line is wrong.\n";

// Checks one file, measuring in `dc`, prints what was found, and returns the exit status it calls for.
int CheckFile(HDC dc, const std::wstring& path) {
    const std::string name = Utf8FromWide(path);
    std::vector<std::string> lines;
    size_t questions = 0, errors = 1, warnings = 0;
    int status = STATUS_ERRORS;
    BankFile read = ReadBankFile(path.c_str(), BANK_SIZE_LIMIT);
    if (read.result == BankFileResult::Read) {
        const BankReport report = CheckBank(dc, name, std::move(read.text));
        for (const BankProblem& problem : report.problems) {
            lines.push_back(ProblemLine(name, problem));
            for (std::string& note : NoteLines(name, problem)) lines.push_back(std::move(note));
        }
        questions = report.questions;
        errors = report.errors;
        warnings = report.warnings;
        status = !report.checked ? STATUS_UNREADABLE : errors ? STATUS_ERRORS : STATUS_CLEAN;
    } else {
        // A bank over the size limit is the bank's fault, which the exam refuses; the rest keep it from being read.
        if (read.result != BankFileResult::TooLarge) status = STATUS_UNREADABLE;
        lines.push_back(name + ": error: " + Utf8FromWide(FileProblem(read, name, CHECK_AGAIN)));
    }
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    text += name + ": " + Counted(questions, "question") + ", " + Counted(errors, "error") + ", " +
            Counted(warnings, "warning") + "\n";
    Print(STD_OUTPUT_HANDLE, text);
    return status;
}

// Says what is wrong with the command line, and how to use it.
int UsageError(const std::string& problem) {
    Print(STD_ERROR_HANDLE, "tessavon-check: " + problem + "\n" + USAGE + "Try tessavon-check --help.\n");
    return STATUS_UNREADABLE;
}

// The number of a question as given after --show: decimal digits, counted from 1; 0 when it is none. A number past
// any bank's size stays one.
size_t QuestionNumber(const std::wstring& text) {
    size_t number = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return 0;
        number = std::min<size_t>(number * 10 + static_cast<size_t>(c - L'0'), BANK_SIZE_LIMIT);
    }
    return text.empty() ? 0 : number;
}

// Shows a bank the check found the exam would take at its question `number_text`.
int PreviewFile(const std::wstring& path, const std::wstring& number_text) {
    const BankPreview preview = PreviewBank(path, QuestionNumber(number_text));
    const std::string name = Utf8FromWide(path);
    if (!preview.problem.empty()) {
        Print(STD_OUTPUT_HANDLE, name + ": error: " + preview.problem + "\n");
        return STATUS_ERRORS;
    }
    if (!preview.shown)
        return UsageError(name + " has " + Counted(preview.questions, "question") + ", so there is no question " +
                          Utf8FromWide(number_text) + " to show");
    return preview.status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> files;
    std::wstring show;  // the question to preview, as given
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (!options_end && (argument == L"--help" || argument == L"-h" || argument == L"/?")) {
            Print(STD_OUTPUT_HANDLE, std::string(USAGE) + HELP);
            return STATUS_CLEAN;
        }
        if (!options_end && argument == L"--") {
            options_end = true;
        } else if (!options_end && argument == L"--show") {
            show = i + 1 < argc ? argv[++i] : L"";
            if (QuestionNumber(show) == 0)
                return UsageError("--show needs the number of a question, counted from 1" +
                                  (show.empty() ? std::string() : ", not \"" + Utf8FromWide(show) + "\""));
        } else if (!options_end && argument.size() > 1 && argument[0] == L'-') {
            return UsageError("unknown option " + Utf8FromWide(argument));
        } else {
            files.push_back(argument);
        }
    }
    if (files.empty()) return UsageError("no file to check");
    if (!show.empty() && files.size() > 1) return UsageError("--show takes one file");
    // One device context for every file: a new one for each would cost more than checking a small bank.
    const HDC dc = NewCheckingDc();
    int status = STATUS_CLEAN;
    for (const std::wstring& file : files) status = std::max(status, CheckFile(dc, file));
    DeleteDC(dc);
    if (!show.empty() && status == STATUS_CLEAN) return PreviewFile(files[0], show);
    return status;
}
