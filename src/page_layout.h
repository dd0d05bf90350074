// Where a question and its four options go on the exam page, and at which size. A question whose texts all fit
// the fixed controls at the normal size keeps the page exactly as it has always been; otherwise the question and
// its options share the page from the top of the question label to just above Previous and Next, at one common
// size, each option row as tall as its wrapped text. Everything is decided in a device context and in pixels, not
// in the window's controls, so a bank checker can ask the same questions of a bank without any window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "text_fitting.h"

// The page, in client pixels of the exam window. The question label and the option rows sit here when a question
// fits as always; the rows lie OPTION_PITCH apart.
constexpr int QUESTION_LEFT = 40, QUESTION_TOP = 60, QUESTION_WIDTH = 700, QUESTION_HEIGHT = 120;
constexpr int OPTION_LEFT = 60, OPTION_TOP = 200, OPTION_WIDTH = 660, OPTION_HEIGHT = 35, OPTION_PITCH = 45;
// A shared page ends this far above Previous and Next (whose top is at 500), and keeps the rows' gaps; at the floor
// size the gaps close up to the tight one before the question has to scroll.
constexpr int PAGE_BOTTOM = 490;
constexpr int PAGE_GAP = 10;
constexpr int TIGHT_PAGE_GAP = 2;
// No text this long fits the page even at the floor size (the narrowest characters are 3-4 pixels wide there, so
// the whole page holds fewer than 7,000), so no more of a text than this is ever measured for the page.
constexpr size_t PAGE_MEASURE_LIMIT = 8000;

// How a question's page is shown.
enum class PageFit {
    AsAlways,         // every text fits the fixed controls at the normal size: nothing moves or changes
    AsAlwaysOwnLines, // the same, but the question holds Japanese: the page breaks its lines itself, in the label's
                      // place and size, so they break where Japanese allows on every system, whatever the label's
                      // own wrapping would do
    Shared,           // the question and its options share the page at one size, every word on show but for
                      // options that need more than the page at the floor size, shortened with "…"
    QuestionScrolls,  // at the floor size the options take what they need, leaving the question a few lines, and
                      // the question scrolls in the rest
};

// Blank to the candidate: nothing, or nothing but white space of any kind. A blank option shows as an empty row.
bool IsBlank(const std::wstring& text);

// `text` at font size `height` wrapped to `width` (tabs expanded) in at most `max_lines` lines joined by CR LF; a
// text that takes more ends its last line in "…" and sets `shortened`. `line_count` is the lines shown, at least one.
// A character as a reader sees it wider than a whole line shows as "…" in its place, and sets `leaves_out`.
std::wstring WrappedText(HDC dc, const std::wstring& text, int height, int width, size_t max_lines,
                         size_t& line_count, bool& shortened, bool& leaves_out);

// Whether `question` and its first four options fit the fixed controls at the normal size, so the page is shown as
// always. Most short texts are judged from their characters' widths, without measuring.
bool FitsAsAlways(HDC dc, const std::wstring& question, const std::vector<std::wstring>& options);

// A question's page as it is shown: how it fits, the size all its texts are shown at, `boxes` the places of the
// question label and the four option rows, `shown` the option texts as the labels over their rows draw them (in a
// shared page, the wrapped lines joined by CR LF, tabs expanded, with "…" where shortened), `shortened` which were,
// `leave_out` which show "…" in place of a character as a reader sees it wider than their line. Either has its whole
// text in a tip.
struct PageLayout {
    PageFit fit = PageFit::AsAlways;
    int height = NORMAL_TEXT_HEIGHT;
    std::vector<RECT> boxes;
    std::vector<std::wstring> shown;
    std::vector<bool> shortened;
    std::vector<bool> leave_out;
};

// Lays out `question` and its options (the first four are shown; missing ones count as empty) measured in `dc`,
// which only needs to be able to select the exam's fonts. Bounded cost: only as much of a text is measured as could
// ever be on the page. `not_as_always`: the caller has found that FitsAsAlways is false, which is then not asked
// again.
PageLayout LayOutPage(HDC dc, const std::wstring& question, const std::vector<std::wstring>& options,
                      bool not_as_always = false);
