// Fitting a text to the control that shows it. The question label shrinks its font (same face, character set and
// weight) to the largest size at which the whole text wraps inside it, down to a floor; the four option rows
// share one smaller size on up to two lines, and an option that fits not even then is shortened with an ellipsis.
// Everything is measured in the control's own device context with the line-breaking rules the control draws with,
// and the cost is bounded: texts longer than anything that could fit are not measured at all.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// Cell heights in pixels. At the normal size the exam looks as it always has.
constexpr int NORMAL_TEXT_HEIGHT = 20;
// Below this a long question scrolls instead: smaller text stops being comfortable to read.
constexpr int QUESTION_FLOOR_HEIGHT = 15;
// The smallest option size; below it dense kanji blur. An option too long even here is shortened.
constexpr int OPTION_FLOOR_HEIGHT = 13;
// The narrowest characters of the font are 3-4 pixels wide at the floor sizes, so eight lines of the 700-pixel
// label hold fewer than 1,900 characters and two lines of an option row fewer than 430. Longer texts are never
// measured: they cannot fit (unless most of their characters are invisible, and then scrolling or shortening
// still shows all that is there).
constexpr size_t QUESTION_MEASURE_LIMIT = 2500;
constexpr size_t OPTION_MEASURE_LIMIT = 600;
// Ends a shortened option.
constexpr wchar_t ELLIPSIS[] = L"\u2026";

// The exam's font, "Yu Gothic UI", at a cell height (a positive height asks for the cell height).
HFONT CreateExamFont(int height, int weight);
// The normal-weight exam font of this height: hFontNormal at the normal size, otherwise made on first need and
// kept until DeleteFittedFonts.
HFONT FittedFont(int height);
void DeleteFittedFonts();

// The largest height from NORMAL_TEXT_HEIGHT down to QUESTION_FLOOR_HEIGHT at which `text` fits the label as the
// label draws it (word break, no prefix, tabs expanded); 0 when it does not fit even at the floor.
int QuestionTextHeight(HWND label, const std::wstring& text);

// Whether `text` fits an option row at `height`: on one line, or wrapped within the row's height.
bool FitsOptionRow(HWND row, const std::wstring& text, int height, bool one_line);
// The common height of the four option rows: NORMAL_TEXT_HEIGHT when every text fits on one line at it,
// otherwise the largest smaller height at which every text fits wrapped, at least OPTION_FLOOR_HEIGHT.
int OptionRowsHeight(HWND row, const std::vector<std::wstring>& texts);
// `text` cut at the last word boundary (a space, or between characters of Japanese and similar scripts) that
// lets it and ELLIPSIS fit the row wrapped at `height`; within a single over-long word, at a character.
std::wstring ShortenOption(HWND row, const std::wstring& text, int height);

// The distance between lines of the exam font of `height` in the control.
int LineHeight(HWND control, int height);
// Lines of `text` wrapped to `width` pixels at `height`, as [begin, end) positions without the spaces and line
// breaks between them. Used for the scrolling question, which draws its lines itself; long words are broken so
// nothing runs past the right edge. Each line is measured on a bounded piece of text, so a text of any length
// costs time in proportion to its length.
std::vector<std::pair<size_t, size_t>> WrapLines(HWND control, const std::wstring& text, int height, int width);
