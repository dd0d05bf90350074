// The running exam: which question is on show, the Previous/Next moves, and the 60-minute countdown.
#pragma once

#include <windows.h>

#include <vector>

#include "question.h"

constexpr int EXAM_DURATION_SECONDS = 3600;

// 0-based position in examQuestions of the question on show.
extern int currentQuestionIndex;
// Seconds left; one is taken off per timer tick.
extern int timeLeft;
// Starts the exam on examQuestions: its first question, the full time shown and counting down.
void StartExam(HWND window);
// Starts the window's other mode, a bank shown to its author: `questions` (taken, not copied) from the one at `first`,
// each with its right option marked, and no time shown or counted. The next StartExam ends it.
void StartPreview(HWND window, std::vector<Question>& questions, int first);

// Writes the question at currentQuestionIndex into the number label, the text label and the option rows, with no
// option marked (the right one marked in a preview).
void ShowQuestion(HWND window);
// Acts on a command from one of the window's controls (only Previous and Next do anything).
void NavigateExam(HWND window, int command_id);
// Writes timeLeft into the timer label as "Time Left: mm:ss".
void UpdateTimerDisplay(HWND window);
// One tick of the window timer `timer_id`; the exam timer's tick that reaches zero ends the exam. A preview
// counts no time.
void ExamTick(HWND window, UINT_PTR timer_id);
