// The 60-minute countdown of the real tessavon.exe: the label from 60:00 down, driven by exam-timer ticks the
// test sends, the "Time is up!" notice at zero, and the end of the program when the notice is dismissed or the
// window closed. The program's own one-second timer keeps ticking meanwhile, so every reading allows for one
// extra tick per second the program has run.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "exam_window_support.h"

namespace {

// Seconds left at which the label is read after every single tick, to see it pass through mm = 00.
constexpr int WATCHED_SECONDS = 100;

// Every time the label has shown, as its text.
struct CountdownWatch {
    std::set<std::wstring> seen;
    int Look(const ExamProgram& exam) {
        const int seconds = ExpectTimeLeft(exam);
        if (seconds >= 0) seen.insert(TimeLeftText(seconds));
        return seconds;
    }
    bool Saw(const wchar_t* text) const { return seen.count(text) != 0; }
};

// Both with questions and with none: from the full time down to zero, then the notice, and dismissing it,
// with OK or with its close box, ends the program.
TEST(Countdown, RunsDownToTimeIsUpAndDismissingItEndsTheProgram) {
    const struct {
        const char* what;
        std::string bank;
        bool watch_open_notice;  // wait a while with the notice open to see that nothing moves
        bool close_box;          // dismiss with the close box rather than OK
    } cases[] = {
        {"three questions, OK", BankJson(NumberedBank(3)), true, false},
        {"no questions, close box", "[]", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExamProgram exam(c.bank);
        const HWND window = exam.WaitForMainWindow();
        ASSERT_NE(window, nullptr) << "no main window";
        const QuestionView question = exam.View();
        CountdownWatch watch;

        // The full time, and one tick later a second less; exact while the program's own timer cannot have
        // ticked yet.
        watch.Look(exam);
        if (exam.OwnTicksPossible() == 0) {
            EXPECT_TRUE(watch.Saw(L"Time Left: 60:00"));
        }
        exam.Tick();
        watch.Look(exam);
        if (exam.OwnTicksPossible() == 0) {
            EXPECT_TRUE(watch.Saw(L"Time Left: 59:59"));
        }

        // Timers other than the exam timer take nothing off.
        for (const WPARAM other_timer : {0, 2, 1000})
            for (int k = 0; k < 20; ++k) exam.Send(WM_TIMER, other_timer, 0);
        watch.Look(exam);

        // Most of the hour at once, then one tick at a time. Ticks are sent only while at least two seconds
        // are left: the program's own timer may take one second at any moment, and a tick arriving after zero
        // would be one the program could never receive. It also takes the last second itself.
        exam.Tick(EXAM_DURATION_SECONDS - exam.ticks_sent() - WATCHED_SECONDS);
        int left = watch.Look(exam);
        bool passed_59_unseen = left >= 0 && left < 59;
        while (left >= 2) {
            exam.Tick();
            const int before = left;
            left = watch.Look(exam);
            if (before >= 60 && left < 59) passed_59_unseen = true;  // the program's own tick took it
        }
        ASSERT_GE(left, 0);
        if (!passed_59_unseen) {
            EXPECT_TRUE(watch.Saw(L"Time Left: 00:59"));
        }

        const HWND notice = exam.WaitForMessageBox();
        ASSERT_NE(notice, nullptr) << "no notice at the end of the time";
        EXPECT_EQ(ReadProgramMessageBox(notice),
                  (MessageBoxSeen{L"Exam Finished", L"Time is up!", L"information", {L"OK"}, window}));
        EXPECT_EQ(exam.Text(IDC_TIMER_LABEL), L"Time Left: 00:00");
        EXPECT_EQ(exam.View(), question) << "the end of the time changes nothing else";

        if (c.watch_open_notice) {
            // The timer was stopped, and ticks that still come (one left in the queue, or posted by any program)
            // change nothing: well past its next tick the label still reads 00:00 and no second notice has come.
            for (int k = 0; k < 6; ++k) exam.Send(WM_TIMER, ID_EXAM_TIMER, 0);
            Sleep(1500);
            EXPECT_EQ(exam.Text(IDC_TIMER_LABEL), L"Time Left: 00:00");
            int notices = 0;
            for (const HWND box : exam.TopLevelWindows(MESSAGE_BOX_CLASS)) notices += IsWindowVisible(box) ? 1 : 0;
            EXPECT_EQ(notices, 1);
        }

        if (c.close_box)
            PostMessageW(notice, WM_SYSCOMMAND, SC_CLOSE, 0);
        else
            PressOk(notice);
        ExpectEndsWithStatusZero(exam.program(), "the notice was dismissed");
    }
}

// Closing the window before the time is up ends the program at once, with no notice and status 0.
TEST(Countdown, ClosingBeforeTheEndShowsNoNotice) {
    const struct {
        const char* what;
        int ticks;
        UINT message;
        WPARAM wParam;
    } cases[] = {
        {"WM_CLOSE right after the start", 0, WM_CLOSE, 0},
        {"the close box with a minute left, after moving on", EXAM_DURATION_SECONDS - 60, WM_SYSCOMMAND, SC_CLOSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExamProgram exam(BankJson(NumberedBank(3)));
        ASSERT_NE(exam.WaitForMainWindow(), nullptr) << "no main window";
        exam.Click(IDC_NEXT);
        exam.Tick(c.ticks);
        ExpectTimeLeft(exam);

        PostMessageW(exam.window(), c.message, c.wParam, 0);
        const ULONGLONG deadline = GetTickCount64() + EXIT_TIMEOUT_MS;
        while (exam.program().Running() && GetTickCount64() < deadline) {
            for (const HWND box : exam.TopLevelWindows(MESSAGE_BOX_CLASS)) {
                if (!IsWindowVisible(box)) continue;
                ADD_FAILURE() << "a message box came: " << WideToUtf8(ReadMessageBox(box).text);
                PressOk(box);
            }
            Sleep(5);
        }
        ExpectEndsWithStatusZero(exam.program(), "the window was closed");
    }
}

}  // namespace
