// The page of the question on show: a question and its options shown so every word can be read. A question whose
// texts fit the fixed controls at the normal size is shown exactly as always (a question in Japanese in the page's
// own lines, in the label's place and size); otherwise the question and its options share the page at one size
// (page_layout.h): the question label draws its wrapped lines itself, scrolling when even the smallest size leaves
// it too little room, and labels over the option rows draw their wrapped lines, an option too long even then ending
// in "…" with its full text (up to 1,000 characters) in a tip that lies on screen (option_tip.h). The question label and the option
// rows hold their texts as the bank wrote them, for anything that reads them; the option labels hold none.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The question label and each option row hold at most this much of their text as window text, for anything that
// reads it: handing a window a text costs time in proportion to its length at every visit, and no reader wants more.
constexpr size_t LABEL_TEXT_LIMIT = 1000000;

// Shows `question` and the first four `options` (as written in the bank) in the question label and the option rows.
// The page reads `question` in place while it is on show, so it must live as long (the exam's questions live until
// the program ends); it copies only what it changes.
void ShowQuestionPage(HWND window, const std::wstring& question, const std::vector<std::wstring>& options);


// Draws the lines in view of a question laid out on a shared page; the label is owner-drawn only then.
void DrawQuestionLines(const DRAWITEMSTRUCT* item);
// Draws the lines of an option on a shared page in the label over its row; other controls are left alone.
void DrawOptionLines(const DRAWITEMSTRUCT* item);
// A scroll bar action (SB_LINEDOWN, SB_THUMBTRACK, ...) on the question's scroll bar.
void ScrollQuestion(UINT action);
// A turn of the mouse wheel with the pointer at `screen_point`: scrolls the question when the pointer is over it.
void ScrollQuestionByWheel(POINT screen_point, int wheel_delta);

// Deletes the fonts made for other sizes and forgets the page on show, whose windows are destroyed with the main
// window.
void ReleaseQuestionPage();
