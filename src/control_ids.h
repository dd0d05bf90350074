// Identifiers of the main window's controls and of the exam timer.
// The UI tests include this header too, so the program and its tests can never disagree on them.
#pragma once

#define IDC_QUESTION_TEXT 101
#define IDC_OPTION1 102
#define IDC_OPTION2 103
#define IDC_OPTION3 104
#define IDC_OPTION4 105
#define IDC_PREV 106
#define IDC_NEXT 107
#define IDC_QUESTION_NUMBER 108
#define IDC_TIMER_LABEL 109
// Beside the question label, only while a question too long for it is on show.
#define IDC_QUESTION_SCROLL 110
// Over the option rows beside their radio marks, only while a question shares the page with its options.
#define IDC_OPTION_TEXT1 111

#define ID_EXAM_TIMER 1

// The four option rows, top to bottom.
inline constexpr int OPTION_IDS[] = {IDC_OPTION1, IDC_OPTION2, IDC_OPTION3, IDC_OPTION4};
