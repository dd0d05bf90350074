// What happens while the exam runs: showing a question, moving between questions, and counting the time down.
#include "exam_flow.h"

#include <cwchar>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "control_ids.h"
#include "question_page.h"
#include "question_bank.h"

int currentQuestionIndex = 0;
int timeLeft = EXAM_DURATION_SECONDS;

namespace {

// Whether the window shows a bank to its author (StartPreview) instead of running an exam.
bool previewing = false;

// The row of q's right option, or 0 (no row) when the answer points at none of the four.
int RightOptionRow(const Question& q) {
    const int answer = q.correctAnswer;
    return answer >= 0 && answer < static_cast<int>(std::size(OPTION_IDS)) ? OPTION_IDS[answer] : 0;
}

}  // namespace

void ShowQuestion(HWND window) {
    const int question_count = static_cast<int>(examQuestions.size());
    if (question_count == 0 || currentQuestionIndex < 0 || currentQuestionIndex >= question_count) return;
    const Question& q = examQuestions[currentQuestionIndex];

    const std::wstring q_num_text =
        L"Question " + std::to_wstring(currentQuestionIndex + 1) + L" / " + std::to_wstring(question_count);
    SetDlgItemTextW(window, IDC_QUESTION_NUMBER, q_num_text.c_str());
    // Only the first four options are shown; a question with fewer leaves the remaining rows empty.
    ShowQuestionPage(window, q.questionText, q.options);
    CheckRadioButton(window, IDC_OPTION1, IDC_OPTION4, previewing ? RightOptionRow(q) : 0);
}

void StartExam(HWND window) {
    previewing = false;
    currentQuestionIndex = 0;
    timeLeft = EXAM_DURATION_SECONDS;
    ShowQuestion(window);
    UpdateTimerDisplay(window);
    SetTimer(window, ID_EXAM_TIMER, 1000, nullptr);
}

void StartPreview(HWND window, std::vector<Question>& questions, int first) {
    previewing = true;
    // Taken, not copied: a large bank is not held twice.
    examQuestions = std::move(questions);
    currentQuestionIndex = first;
    ShowQuestion(window);
}

void NavigateExam(HWND window, int command_id) {
    const int question_count = static_cast<int>(examQuestions.size());
    if (command_id == IDC_PREV && currentQuestionIndex > 0) {
        --currentQuestionIndex;
        ShowQuestion(window);
    } else if (command_id == IDC_NEXT && currentQuestionIndex < question_count - 1) {
        ++currentQuestionIndex;
        ShowQuestion(window);
    }
}

void UpdateTimerDisplay(HWND window) {
    wchar_t timer_buf[100];
    swprintf_s(timer_buf, 100, L"Time Left: %02d:%02d", timeLeft / 60, timeLeft % 60);
    SetDlgItemTextW(window, IDC_TIMER_LABEL, timer_buf);
}

void ExamTick(HWND window, UINT_PTR timer_id) {
    // Once the time is up the exam is over: a tick still queued, or one any program posts, changes nothing.
    if (timer_id != ID_EXAM_TIMER || timeLeft <= 0 || previewing) return;
    --timeLeft;
    UpdateTimerDisplay(window);
    if (timeLeft <= 0) {
        // Stop first, so no tick arrives while the notice is open.
        KillTimer(window, ID_EXAM_TIMER);
        MessageBoxW(window, L"Time is up!", L"Exam Finished", MB_ICONINFORMATION | MB_OK);
        DestroyWindow(window);
    }
}
