// Working the real exam program from outside, as a candidate or a UI-automation tool would: a bank written into
// a fresh working folder, build\tessavon.exe started there, its main window found, its controls read and
// clicked, its timer driven with WM_TIMER, and its message boxes read and answered.
#pragma once

#include <windows.h>

#include <array>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control_ids.h"
#include "exam_flow.h"
#include "main_window.h"
#include "test_support.h"
#include "window_spy.h"

// One question of a bank the test writes; texts in UTF-8.
struct BankEntry {
    std::string question;
    std::vector<std::string> options;
};

std::string BankJson(const std::vector<BankEntry>& entries);
// Entries "Bank entry k" with the options "k A" to "k D", k counting from 1.
std::vector<BankEntry> NumberedBank(int count);

// What the candidate sees of the question on show.
struct QuestionView {
    std::wstring number;
    std::wstring question;
    std::array<std::wstring, 4> options;
    std::array<bool, 4> checked;
    bool operator==(const QuestionView& other) const;
};
std::ostream& operator<<(std::ostream& out, const QuestionView& view);

// The bank entry whose text the view shows, checking that its first four options (or empty rows where it has
// fewer) are the ones on show. Returns its position in `bank`, or -1 after reporting a failure.
int ExpectShowsEntry(const QuestionView& view, const std::vector<BankEntry>& bank);

// build\tessavon.exe started in a fresh folder that holds `bank` as questions.json (no file without a bank); with
// `checker_arguments`, build\tessavon-check.exe is started there with them instead, for its preview of the bank.
class ExamProgram {
public:
    explicit ExamProgram(const std::optional<std::string>& bank, WORD show_command = SW_SHOWDEFAULT,
                         const std::wstring& checker_arguments = L"");

    DWORD pid() const { return program_->pid(); }
    // Waits for the visible main window and remembers it; nullptr when it does not come.
    HWND WaitForMainWindow();
    HWND window() const { return window_; }
    // Waits for a visible message box of the program; nullptr when none comes.
    HWND WaitForMessageBox() const;
    // Every top-level window of the program with this class, shown or not.
    std::vector<HWND> TopLevelWindows(const wchar_t* window_class) const;
    RunningProgram& program() { return *program_; }

    HWND Control(int id) const { return GetDlgItem(window_, id); }
    // Sends a message to the main window, or to `to`, and returns the program's answer; a program that does
    // not answer in time is a failure (the answer is then 0).
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam, HWND to = nullptr) const;
    std::wstring Text(int id) const;  // asked of the control with WM_GETTEXT
    void Click(int id) const;         // BM_CLICK, as a mouse click on the control
    bool Checked(int id) const;       // BM_GETCHECK
    QuestionView View() const;

    // Sends `count` exam-timer ticks (WM_TIMER, wParam 1), one after the other, as the system would deliver
    // them. A tick that opens a message box is left running after a while, and no more are sent.
    void Tick(int count = 1);
    int ticks_sent() const { return ticks_sent_; }
    // How many ticks the program's own one-second timer can have added since it was started.
    int OwnTicksPossible() const { return static_cast<int>((GetTickCount64() - started_at_) / 1000); }

private:
    TempWorkFolder folder_;
    ULONGLONG started_at_ = 0;
    std::unique_ptr<RunningProgram> program_;
    HWND window_ = nullptr;
    int ticks_sent_ = 0;
};

// "Time Left: mm:ss" for `seconds` left.
std::wstring TimeLeftText(int seconds);
// Reads the timer label and checks it shows a time the countdown can have reached: 3600 less the test's own
// ticks, less at most one more per second the program has run. Returns that time, or -1 after a failure.
int ExpectTimeLeft(const ExamProgram& exam);

// A window of the program (its class, its children's fonts, a message box's icon), read inside the program by
// window_spy.dll. control_count is -1 when the spy could not report.
SpyReport SpyOnWindow(HWND window);

// A message box of the program as the candidate sees it; the icon comes from the spy, since icon handles
// cannot be compared across processes.
MessageBoxSeen ReadProgramMessageBox(HWND box);
