// The loader as a candidate meets it, for what only the real path shows: a real questions.json (or none, or a
// folder in its place, or one another program holds open) in a scratch working folder, the real text-mode read,
// LoadQuestions called with a real owner window, and each message box read whole (caption, text, icon, buttons,
// owner) and dismissed. The bank's rules themselves are checked in memory in question_bank_parse_test.cpp. The bank
// checker, build\tessavon-check.exe, is run once for what only the program shows: its output and exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bank_reference.h"
#include "bank_messages.h"
#include "question_bank.h"
#include "test_support.h"

namespace {

const std::wstring NOT_FOUND_TEXT = L"Could not find questions.json.";
const std::wstring PREFIX = WidenAscii(FORMAT_ERROR_PREFIX);
const std::string ENTRY = R"({"questionText":"Q","options":["a"],"correctAnswer":0})";

class LoaderTest : public BankFolderTest {
protected:
    // Loads questions.json from the working folder and returns the boxes shown during the load.
    std::vector<MessageBoxSeen> Load(bool& loaded) {
        return CaptureMessageBoxes([&] { loaded = LoadQuestions(owner_); });
    }

    // The load must fail with exactly this one box and nothing loaded.
    void ExpectRefusedWith(const MessageBoxSeen& expected) {
        bool loaded = true;
        const std::vector<MessageBoxSeen> boxes = Load(loaded);
        EXPECT_FALSE(loaded);
        EXPECT_TRUE(allQuestions.empty());
        EXPECT_EQ(boxes, std::vector<MessageBoxSeen>{expected});
    }
};

TEST_F(LoaderTest, MissingBankIsReportedEvenWithOneBesideTheExecutable) {
    // A bank beside the test program, unless one is there already (then it is left alone).
    const std::wstring beside = OwnExeFolder() + L"\\questions.json";
    const bool created_here = GetFileAttributesW(beside.c_str()) == INVALID_FILE_ATTRIBUTES &&
                              WriteWholeFile(beside, "[" + ENTRY + "]");
    ExpectRefusedWith(ErrorBox(L"Error", NOT_FOUND_TEXT, owner_));
    if (created_here) DeleteFileW(beside.c_str());
}

TEST_F(LoaderTest, AFolderInPlaceOfTheBankIsReportedAsOne) {
    ASSERT_TRUE(CreateDirectoryW((folder_.path() + L"\\questions.json").c_str(), nullptr));
    ExpectRefusedWith(ErrorBox(L"Error", L"questions.json is a folder, not a file.", owner_));
}

TEST_F(LoaderTest, BankOpenInAnotherProgramForWritingStillLoads) {
    folder_.Write(L"questions.json", "[" + ENTRY + "]");
    HANDLE writer = CreateFileW(L"questions.json", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    bool loaded = false;
    const std::vector<MessageBoxSeen> boxes = Load(loaded);
    CloseHandle(writer);
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(allQuestions.size(), 1u);
}

// The file is read as text: CR LF arrives as LF and a Ctrl-Z byte ends the data.
TEST_F(LoaderTest, TextModeReadOfTheRealFile) {
    for (const std::string& bank : {"[\r\n" + ENTRY + "\r\n]\r\n", "[" + ENTRY + "]\x1A garbage {"}) {
        SCOPED_TRACE(Printable(bank));
        allQuestions.clear();
        folder_.Write(L"questions.json", bank);
        bool loaded = false;
        const std::vector<MessageBoxSeen> boxes = Load(loaded);
        EXPECT_TRUE(loaded);
        EXPECT_EQ(boxes, std::vector<MessageBoxSeen>{});
        ASSERT_EQ(allQuestions.size(), 1u);
        EXPECT_EQ(allQuestions[0].options, std::vector<std::wstring>{L"a"});
    }
}

// A refused bank's box, read whole: the message as the user reads it, after the real text-mode read and the
// conversion for the box.
TEST_F(LoaderTest, RefusalIsShownInOneParseErrorBox) {
    const std::wstring start = PREFIX + L"[json.exception.parse_error.101] parse error at ";
    const struct {
        const char* what;
        std::string bank;
        std::wstring text;
    } cases[] = {
        {"Ctrl-Z inside the value: a file that stops there", "[" + ENTRY + "\x1A]",
         start + L"line 1, column 56: syntax error while parsing array - unexpected end of input; expected ']'"},
        {"a raw CR LF inside a string arrives as a bare LF, which JSON does not allow unescaped; it is reported on "
         "the line it ends", "[\"a\r\nb\"]",
         start + L"line 1, column 4: syntax error while parsing value - invalid string: control character U+000A "
                 L"(LF) must be escaped to \\u000A or \\n; last read: '\"a<U+000A>'"},
        {"a character the library stopped inside is left out of the quote", "[\xE6\x97\xA5]",
         start + L"line 1, column 2: syntax error while parsing value - invalid literal; last read: '['"},
        {"a question of the wrong shape", "[" + ENTRY + ",5]",
         PREFIX + L"Question 2 (line 1, column 57): must be an object with \"questionText\", \"options\" and "
         L"\"correctAnswer\", not a number."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        folder_.Write(L"questions.json", c.bank);
        ExpectRefusedWith(ErrorBox(L"JSON Parse Error", c.text, owner_));
    }
}

using CheckerTest = BankFolderTest;

// The checker as a CI job runs it: the exact bytes it prints (UTF-8, the file named as given), a summary for every
// file, and the exit status of the worst file. What it finds in a bank is checked in memory.
TEST_F(CheckerTest, PrintsEveryProblemAndASummaryPerFileAndExitsWithTheWorstStatus) {
    const std::string japanese_name = "\xE5\x95\x8F\xE9\xA1\x8C.json";  // 問題.json
    folder_.Write(L"\u554F\u984C.json", "[\n  {\"questionText\": \"\xE6\x97\xA5\", \"options\": [\"a\"], "
                                        "\"correctAnswer\": 0},\r\n  {\"questionText\": \"Q\", \"answer\": 1}\n]\n");
    folder_.Write(L"good.json", R"([{"questionText":"Q","options":["a","b","c","d"],"correctAnswer":3}])");
    folder_.Write(L"held.json", "[]");
    ASSERT_TRUE(CreateDirectoryW((folder_.path() + L"\\folder.json").c_str(), nullptr));
    const HANDLE holder = CreateFileW((folder_.path() + L"\\held.json").c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const std::string good_summary = "good.json: 1 question, 0 errors, 0 warnings\n";
    const std::string japanese_problems =
        japanese_name + ":2:3: warning: Question 1: has 1 option, so the exam shows 3 empty rows. Give it four "
                        "options.\n" +
        japanese_name + ":3:3: error: Question 2: \"options\" is missing: add the options, \"options\": [\"...\", "
                        "\"...\", \"...\", \"...\"].\n    3 |   {\"questionText\": \"Q\", \"answer\": 1}\n      |   ^\n" +
        japanese_name + ":3:3: note: the exam says: Question 2: \"options\" is missing.\n" + japanese_name +
        ":3:25: error: Question 2: \"correctAnswer\" is missing, and \"answer\" is not a key the exam reads: did you "
        "mean \"correctAnswer\"?\n    3 |   {\"questionText\": \"Q\", \"answer\": 1}\n      | " + std::string(24, ' ') +
        "^\n" + japanese_name + ": 2 questions, 2 errors, 1 warning\n";
    const std::string usage =
        "Usage: tessavon-check FILE...\n       tessavon-check --show N FILE\nTry tessavon-check --help.\n";
    const struct {
        const wchar_t* arguments;
        std::string output;
        DWORD status;
    } runs[] = {
        {L"\u554F\u984C.json good.json", japanese_problems + good_summary, 1},
        {L"good.json", good_summary, 0},
        {L"good.json missing.json folder.json held.json",
         good_summary + "missing.json: error: Could not find missing.json.\nmissing.json: 0 questions, 1 error, 0 "
                        "warnings\nfolder.json: error: folder.json is a folder, not a file.\nfolder.json: 0 questions, "
                        "1 error, 0 warnings\nheld.json: error: held.json is there but cannot be read: it is open in "
                        "another program that does not share it. Close it there, then run the check again.\n"
                        "held.json: 0 questions, 1 error, 0 warnings\n",
         2},
        {L"", "tessavon-check: no file to check\n" + usage, 2},
        {L"--strict good.json", "tessavon-check: unknown option --strict\n" + usage, 2},
        // The preview opens no window for a bank with an error, nor for a question the bank does not have.
        {L"--show 2 \u554F\u984C.json", japanese_problems, 1},
        {L"--show 2 good.json",
         good_summary + "tessavon-check: good.json has 1 question, so there is no question 2 to show\n" + usage, 2},
        {L"--show 1 missing.json",
         "missing.json: error: Could not find missing.json.\nmissing.json: 0 questions, 1 error, 0 warnings\n", 2},
        {L"--show 0 good.json",
         "tessavon-check: --show needs the number of a question, counted from 1, not \"0\"\n" + usage, 2},
        {L"--show 1st good.json",
         "tessavon-check: --show needs the number of a question, counted from 1, not \"1st\"\n" + usage, 2},
        {L"good.json --show", "tessavon-check: --show needs the number of a question, counted from 1\n" + usage, 2},
        {L"--show 1 good.json held.json", "tessavon-check: --show takes one file\n" + usage, 2},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(WideToUtf8(run.arguments));
        std::string output;
        DWORD status = 99;
        ASSERT_TRUE(RunForOutput(CheckerExePath(), run.arguments, folder_.path(), output, status));
        EXPECT_EQ(output, run.output) << Printable(output);
        EXPECT_EQ(status, run.status);
    }
    CloseHandle(holder);
}

}  // namespace
