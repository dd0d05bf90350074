// Showing the question and option texts so every word can be read: a text that fits its control at the normal
// size is shown exactly as always; a longer question is shown in a smaller font or, past the smallest
// comfortable size, in a label that scrolls; longer options share one smaller font on up to two lines, and an
// option that fits not even then is shortened with "…" and shows its full text in a tooltip.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Writes `text` into the question label, fitted.
void ShowQuestionText(HWND window, const std::wstring& text);
// Writes the four option texts, as written in the bank, into the option rows, fitted.
void ShowOptionTexts(HWND window, const std::vector<std::wstring>& texts);

// Draws the lines in view of a scrolling question; the label is owner-drawn only while it scrolls.
void DrawScrolledQuestion(const DRAWITEMSTRUCT* item);
// A scroll bar action (SB_LINEDOWN, SB_THUMBTRACK, ...) on the question's scroll bar.
void ScrollQuestion(UINT action);
// A turn of the mouse wheel with the pointer at `screen_point`: scrolls the question when the pointer is over it.
void ScrollQuestionByWheel(POINT screen_point, int wheel_delta);

// Deletes the fonts made for smaller sizes and forgets the windows that are destroyed with the main window.
void ReleaseLongTextView();
