// The real tessavon.exe against what a hostile file hands it: a bank another program holds, and a bank whose error
// quotes ten million bytes. Each ends in one box, and the exit status says the bank was refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exam_window_support.h"

namespace {

// Reads the program's error box, checks it belongs to the never-shown main window, and presses OK; returns its
// text.
std::wstring ReadAndDismissErrorBox(HWND box, const wchar_t* caption) {
    const MessageBoxSeen seen = ReadProgramMessageBox(box);
    EXPECT_EQ(seen.caption, caption);
    EXPECT_EQ(seen.icon, L"error");
    EXPECT_EQ(seen.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_NE(seen.owner, nullptr);
    EXPECT_FALSE(IsWindowVisible(seen.owner)) << "the main window was shown";
    PressOk(box);
    return seen.text;
}

TEST(ExamHostile, ABankAnotherProgramHoldsIsReportedAndTheProgramFails) {
    TempWorkFolder folder;
    folder.Write(L"questions.json", BankJson(NumberedBank(3)));
    const HANDLE holder = CreateFileW((folder.path() + L"\\questions.json").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    RunningProgram program(ProductExePath(), folder.path());
    ASSERT_TRUE(program.started());
    const HWND box = WaitForProcessWindow(program.pid(), MESSAGE_BOX_CLASS, WINDOW_TIMEOUT_MS);
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_EQ(ReadAndDismissErrorBox(box, L"Error"),
              L"questions.json is there but cannot be read: it is open in another program that does not share it. "
              L"Close it there, then start Tessavon again.");
    DWORD status = 0;
    ASSERT_TRUE(program.WaitForExit(status)) << "the program did not end after OK";
    EXPECT_EQ(status, 1u);
    CloseHandle(holder);
}

// Ten million bytes in one string, then a line break: the box quotes only the end of it and fits, OK button and
// all, on a 1024x768 screen.
TEST(ExamHostile, AParseErrorAfterAHugeTokenFitsTheScreen) {
    ExamProgram exam("[\"" + std::string(10000000, 'x') + "\n\"]");
    const HWND box = exam.WaitForMessageBox();
    ASSERT_NE(box, nullptr) << "no message box";
    RECT frame, ok;
    ASSERT_TRUE(GetWindowRect(box, &frame));
    ASSERT_TRUE(GetWindowRect(GetDlgItem(box, IDOK), &ok));
    EXPECT_LE(frame.right - frame.left, 1024);
    EXPECT_LE(frame.bottom - frame.top, 768);
    EXPECT_GE(frame.left, 0);
    EXPECT_GE(frame.top, 0);
    EXPECT_TRUE(ok.left >= frame.left && ok.right <= frame.right && ok.top >= frame.top && ok.bottom <= frame.bottom)
        << "the OK button lies outside its box";

    EXPECT_EQ(ReadAndDismissErrorBox(box, L"JSON Parse Error"),
              L"Invalid format in questions.json.\n[json.exception.parse_error.101] parse error at line 1, "
                    L"column 10000003: syntax error while parsing value - invalid string: control character U+000A "
                    L"(LF) must be escaped to \\u000A or \\n; last read: '\u2026" +
                        std::wstring(32, L'x') + L"<U+000A>'");
    DWORD status = 0;
    ASSERT_TRUE(exam.program().WaitForExit(status)) << "the program did not end after OK";
    EXPECT_EQ(status, 1u);
}

}  // namespace
