// Measuring texts in the exam's font: the fonts at every size, characters' widths judged once per process, whether
// a text fits a box as a control draws it, and how a text wraps into lines of a given width, the way the exam page
// shows long questions and options; where a line may break is line_breaking.h's. Everything works on a device
// context and pixel widths, not on the window's controls, so the same rules serve the exam and a bank checker.
// The cost is bounded: a line is measured on a bounded piece of text, and a caller measures only as many lines as
// could ever be on show.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// Cell heights in pixels. At the normal size the exam looks as it always has.
constexpr int NORMAL_TEXT_HEIGHT = 20;
// Below this a long question scrolls instead: smaller text stops being comfortable to read.
constexpr int QUESTION_FLOOR_HEIGHT = 15;
// Ends a shortened text.
constexpr wchar_t ELLIPSIS[] = L"\u2026";

// The exam's font, "Yu Gothic UI", at a cell height (a positive height asks for the cell height).
HFONT CreateExamFont(int height, int weight);
// Makes `font` (not owned here) the normal-weight font of the normal size, so texts that fit show in the very font
// the window gave its controls. Without one, that size is made on first need like the others.
void UseNormalFont(HFONT font);
// The normal-weight exam font of this height, made on first need and kept until DeleteFittedFonts.
HFONT FittedFont(int height);
void DeleteFittedFonts();

// Runs `measure()` with the exam font of `height` selected into `dc`. A font already selected is not selected
// again: selecting one costs a font lookup, more than measuring a short text.
template <typename Measure>
auto WithFont(HDC dc, int height, Measure measure) {
    const HFONT font = FittedFont(height);
    if (GetCurrentObject(dc, OBJ_FONT) == font) return measure();
    const HGDIOBJ previous = SelectObject(dc, font);
    const auto result = measure();
    SelectObject(dc, previous);
    return result;
}

// Whether `text` fits a `width` x `height` box at font size `font_height` when drawn with `format` (DrawText flags).
bool FitsBox(HDC dc, const std::wstring& text, UINT format, int width, int height, int font_height);
// Pixels allowed for rounding when a width is judged from characters' widths rather than measured.
constexpr int JUDGED_WIDTH_MARGIN = 2;
// Whether `text` surely wraps into at most `max_lines` lines of `width` pixels at the normal size, as a label draws
// it, judged without measuring the text itself: from its characters' widths, each taken once per process. A line
// wastes less than the width of the word that did not fit on it, so a text of total width W whose widest word is
// M takes fewer than 1 + W / (width - M) lines (in Japanese and similar scripts, a few characters count as a word).
// False means "measure it".
bool SurelyFitsLines(HDC dc, const std::wstring& text, int width, int max_lines);
// The width of `text` at the normal size from its characters' widths; -1 when one of them cannot be judged.
int JudgedTextWidth(HDC dc, const std::wstring& text);

// The distance between lines of the exam font of `height`.
int LineHeight(HDC dc, int height);
// The width a radio button of `row_width` leaves its text at font size `height`: the row less its check box (12
// pixels and one at 96 dpi) and half a "0" between the two.
int OptionTextWidth(HDC dc, int row_width, int height);

// `text` with each tab replaced by the spaces that reach the next tab stop (every eight average character widths
// from the start of its line, as controls expand tabs), measured with the font selected in `dc`. Only the first
// `limit` characters are kept.
std::wstring ExpandTabs(HDC dc, const std::wstring& text, size_t limit);
// The line of `text` that starts at `begin`, wrapped to `width` pixels with the font selected in `dc`: the end of
// its visible text and where the next line starts. Lines break at line breaks and where line_breaking.h's
// LastBreak allows, the characters after the last such place going to the next line; a text with none in a line's
// width is broken where it must, between two characters as a reader sees them. A character as a reader sees it that
// is wider than the whole line (a letter under hundreds of marks) is left out: the line is empty and the next one
// starts after it (see LeavesOutCharacter).
std::pair<size_t, size_t> NextLine(HDC dc, const std::wstring& text, size_t begin, int width);
// Whether a line of NextLine that ends at `end`, the next starting at `next`, left out such a character: the line
// then shows ELLIPSIS in its place, and the whole text is to be had elsewhere (an option's tip).
bool LeavesOutCharacter(const std::wstring& text, size_t end, size_t next);
// Where the line holding position `at` starts, with the font selected in `dc`. The text is wrapped from the start of
// the paragraph, or from a bounded distance back in a paragraph longer than that, so the cost does not grow with
// the text.
size_t LineStartAt(HDC dc, const std::wstring& text, size_t at, int width);
// Where the line `count` lines above the one starting at `from` starts (0 at the top), wrapped like LineStartAt.
size_t LineStartAbove(HDC dc, const std::wstring& text, size_t from, size_t count, int width);
// At most `max_lines` lines of `text` wrapped to `width` at font size `height`, as [begin, end) positions.
std::vector<std::pair<size_t, size_t>> WrapLines(HDC dc, const std::wstring& text, int height, int width,
                                                 size_t max_lines);
// The longest start of text[begin, end) that, followed by ELLIPSIS, fits `width` with the font selected in `dc`,
// cut at a word boundary when one allows it: its end position.
size_t CutForEllipsis(HDC dc, const std::wstring& text, size_t begin, size_t end, int width);
