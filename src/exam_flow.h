// The running exam: which question is on show, the Previous/Next moves, and the 60-minute countdown.
#pragma once

#include <windows.h>

constexpr int EXAM_DURATION_SECONDS = 3600;

// 0-based position in examQuestions of the question on show.
extern int currentQuestionIndex;
// Seconds left; one is taken off per timer tick.
extern int timeLeft;
// True while the window shows a bank to its author instead of running an exam: each question is shown with its
// right option marked, and no time is counted.
extern bool previewingBank;

// Writes the question at currentQuestionIndex into the number label, the text label and the option rows, with no
// option marked (the right one marked while previewing).
void ShowQuestion(HWND window);
// Acts on a command from one of the window's controls (only Previous and Next do anything).
void NavigateExam(HWND window, int command_id);
// Writes timeLeft into the timer label as "Time Left: mm:ss".
void UpdateTimerDisplay(HWND window);
// One tick of the window timer `timer_id`; the exam timer's tick that reaches zero ends the exam. A preview
// counts no time.
void ExamTick(HWND window, UINT_PTR timer_id);
