// Laying out the exam page for one question; see page_layout.h.
#include "page_layout.h"

#include <algorithm>
#include <tuple>

#include "line_breaking.h"
#include "text_fitting.h"

namespace {

// How the question label draws a question that fits it: a left-aligned static control with SS_NOPREFIX.
constexpr UINT LABEL_FORMAT = DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;
// How an option row draws on one line. Its "&" are doubled, which measures like the text as written.
constexpr UINT ROW_FORMAT = DT_SINGLELINE | DT_NOPREFIX;
// Nothing longer fits the fixed label (six lines of 700 pixels) or a row at the normal size.
constexpr size_t NORMAL_MEASURE_LIMIT = 2500;
// A row's text is wrapped this much narrower than the row, so the button's own wrapping never breaks a line again.
constexpr int ROW_WRAP_MARGIN = 2;
// When the question scrolls, the options leave it at least this many lines.
constexpr size_t QUESTION_MIN_LINES = 4;
constexpr int PAGE_HEIGHT = PAGE_BOTTOM - QUESTION_TOP;

// A plain loop: find_first_of compares every character with each of the set in turn, which showed in the
// checker's time.
bool HasLineBreakOrTab(const std::wstring& text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) {
        return c == L'\r' || c == L'\n' || c == L'\t' || c == 0x2028 || c == 0x2029;
    });
}

bool HasParagraphSeparator(const std::wstring& text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c == 0x2028 || c == 0x2029; });
}

bool HasLineFeedOrTab(const std::wstring& text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c == L'\r' || c == L'\n' || c == L'\t'; });
}

}  // namespace

// Texts are mostly judged from their characters' widths, so a bank of short questions costs no measuring; anything
// the widths cannot settle is measured as the controls draw it: the question wrapped in its label, each option on
// the one line of its row.
bool FitsAsAlways(HDC dc, const std::wstring& question, const std::vector<std::wstring>& options) {
    // The label draws U+2028 and U+2029 as boxes, not as the line breaks they are.
    if (question.size() > NORMAL_MEASURE_LIMIT || HasParagraphSeparator(question))
        return false;
    const int normalOptionWidth = OptionTextWidth(dc, OPTION_WIDTH, NORMAL_TEXT_HEIGHT);
    // Missing options show as empty rows, which fit.
    for (size_t k = 0; k < 4 && k < options.size(); ++k) {
        const std::wstring& text = options[k];
        if (text.size() > NORMAL_MEASURE_LIMIT || HasLineBreakOrTab(text)) return false;
        const int judged = JudgedTextWidth(dc, text);
        if (judged > normalOptionWidth + JUDGED_WIDTH_MARGIN) return false;
        if ((judged < 0 || judged > normalOptionWidth - JUDGED_WIDTH_MARGIN) &&
            !FitsBox(dc, text, ROW_FORMAT, normalOptionWidth, OPTION_HEIGHT, NORMAL_TEXT_HEIGHT))
            return false;
    }
    return (!HasLineFeedOrTab(question) &&
            SurelyFitsLines(dc, question, QUESTION_WIDTH, QUESTION_HEIGHT / LineHeight(dc, NORMAL_TEXT_HEIGHT))) ||
           FitsBox(dc, question, LABEL_FORMAT, QUESTION_WIDTH, QUESTION_HEIGHT, NORMAL_TEXT_HEIGHT);
}

namespace {

// The lines the question takes at `height`, counted up to one more than `room`.
size_t QuestionLines(HDC dc, const std::wstring& question, int height, size_t room) {
    if (question.size() > PAGE_MEASURE_LIMIT) return room + 1;
    size_t lines = 0;
    bool shortened = false, leaves_out = false;
    WrappedText(dc, question, height, QUESTION_WIDTH, room + 1, lines, shortened, leaves_out);
    return shortened ? room + 1 : lines;
}

// The option rows at `height`, each at most `caps[k]` lines: their texts as shown, whether shortened, and lines.
void WrapOptions(HDC dc, const std::vector<std::wstring>& texts, int height, const std::vector<size_t>& caps,
                 std::vector<std::wstring>& shown, std::vector<bool>& shortened, std::vector<bool>& leave_out,
                 std::vector<size_t>& lines) {
    const int width = OptionTextWidth(dc, OPTION_WIDTH, height) - ROW_WRAP_MARGIN;
    for (size_t k = 0; k < texts.size(); ++k) {
        bool cut = false, left_out = false;
        shown[k] = WrappedText(dc, texts[k], height, width, caps[k], lines[k], cut, left_out);
        shortened[k] = cut;
        leave_out[k] = left_out;
    }
}

// The rows' height in pixels with the gaps above each.
int RowsHeight(const std::vector<size_t>& lines, int line_height, int gap) {
    size_t total = 0;
    for (size_t n : lines) total += n;
    return static_cast<int>(total) * line_height + gap * static_cast<int>(lines.size());
}

// The question's box `question_lines` tall at the top of the page, and the rows stacked under it.
void PlaceBoxes(size_t question_lines, const std::vector<size_t>& lines, int line_height, int gap,
                std::vector<RECT>& boxes) {
    int y = QUESTION_TOP + static_cast<int>(question_lines) * line_height;
    boxes[0] = {QUESTION_LEFT, QUESTION_TOP, QUESTION_LEFT + QUESTION_WIDTH, y};
    for (size_t k = 0; k < lines.size(); ++k) {
        y += gap;
        boxes[k + 1] = {OPTION_LEFT, y, OPTION_LEFT + OPTION_WIDTH, y + static_cast<int>(lines[k]) * line_height};
        y = boxes[k + 1].bottom;
    }
}

}  // namespace

bool IsBlank(const std::wstring& text) {
    return std::all_of(text.begin(), text.end(), IsWhiteSpace);
}

std::wstring WrappedText(HDC dc, const std::wstring& text, int height, int width, size_t max_lines,
                         size_t& line_count, bool& shortened, bool& leaves_out) {
    return WithFont(dc, height, [&] {
        const std::wstring expanded = ExpandTabs(dc, text, PAGE_MEASURE_LIMIT);
        // One line more than is shown tells whether the text goes on.
        auto lines = WrapLines(dc, expanded, height, width, max_lines + 1);
        shortened = text.size() > PAGE_MEASURE_LIMIT || lines.size() > max_lines;
        leaves_out = false;
        // Where the line after each starts; the text's end after the last of a text wrapped to its end.
        std::vector<size_t> next_starts;
        for (size_t k = 1; k < lines.size(); ++k) next_starts.push_back(lines[k].first);
        next_starts.push_back(expanded.size());
        if (lines.size() > max_lines) lines.resize(max_lines);
        std::wstring shown;
        for (size_t k = 0; k < lines.size(); ++k) {
            auto [begin, end] = lines[k];
            const bool last_cut = shortened && k + 1 == lines.size();
            if (last_cut) end = CutForEllipsis(dc, expanded, begin, end, width);
            if (k > 0) shown += L"\r\n";
            shown.append(expanded, begin, end - begin);
            if (!last_cut && LeavesOutCharacter(expanded, end, next_starts[k])) {
                shown += ELLIPSIS;
                leaves_out = true;
            }
        }
        if (shortened) shown += ELLIPSIS;
        line_count = std::max<size_t>(lines.size(), 1);
        return shown;
    });
}

PageLayout LayOutPage(HDC dc, const std::wstring& question, const std::vector<std::wstring>& options,
                      bool not_as_always) {
    PageLayout page;
    int& height = page.height;
    std::vector<RECT>& boxes = page.boxes;
    std::vector<std::wstring>& shown = page.shown;
    std::vector<bool>& shortened = page.shortened;
    // The first four options, each only as far as it can ever be measured: an option of any length costs the same.
    std::vector<std::wstring> texts(4);
    for (size_t k = 0; k < 4 && k < options.size(); ++k) texts[k] = options[k].substr(0, PAGE_MEASURE_LIMIT + 1);
    height = NORMAL_TEXT_HEIGHT;
    boxes.assign(5, RECT{});
    boxes[0] = {QUESTION_LEFT, QUESTION_TOP, QUESTION_LEFT + QUESTION_WIDTH, QUESTION_TOP + QUESTION_HEIGHT};
    for (int k = 0; k < 4; ++k) {
        const int top = OPTION_TOP + k * OPTION_PITCH;
        boxes[k + 1] = {OPTION_LEFT, top, OPTION_LEFT + OPTION_WIDTH, top + OPTION_HEIGHT};
    }
    shown = texts;
    shortened.assign(4, false);
    page.leave_out.assign(4, false);
    if (!not_as_always && FitsAsAlways(dc, question, options)) {
        // The label's own wrapping of Japanese differs from system to system; the page's lines are the same on all.
        // A tab is left to the label, whose tab stops the page's expanded tabs only come near.
        if (!HoldsJapanese(question) || question.find(L'\t') != std::wstring::npos) return page;
        const size_t label_lines = static_cast<size_t>(QUESTION_HEIGHT / LineHeight(dc, NORMAL_TEXT_HEIGHT));
        if (QuestionLines(dc, question, NORMAL_TEXT_HEIGHT, label_lines) <= label_lines) {
            page.fit = PageFit::AsAlwaysOwnLines;
            return page;
        }
    }
    // An option of nothing but white space is an empty row: there is nothing in it to read or to shorten.
    for (size_t k = 0; k < 4 && k < options.size(); ++k) {
        if (IsBlank(options[k])) texts[k].clear();
    }

    // The largest common size at which the question and every option are on the page whole.
    std::vector<size_t> lines(4);
    for (height = NORMAL_TEXT_HEIGHT; height >= QUESTION_FLOOR_HEIGHT; --height) {
        const int line_height = LineHeight(dc, height);
        const size_t page_lines = static_cast<size_t>(PAGE_HEIGHT / line_height);
        WrapOptions(dc, texts, height, std::vector<size_t>(4, page_lines), shown, shortened, page.leave_out, lines);
        if (std::find(shortened.begin(), shortened.end(), true) != shortened.end()) continue;
        for (const int gap : {PAGE_GAP, TIGHT_PAGE_GAP}) {
            if (gap == TIGHT_PAGE_GAP && height != QUESTION_FLOOR_HEIGHT) continue;
            const int room = PAGE_HEIGHT - RowsHeight(lines, line_height, gap);
            if (room < line_height) continue;
            const size_t room_lines = static_cast<size_t>(room / line_height);
            const size_t question_lines = QuestionLines(dc, question, height, room_lines);
            if (question_lines > room_lines) continue;
            PlaceBoxes(question_lines, lines, line_height, gap, boxes);
            page.fit = PageFit::Shared;
            return page;
        }
    }

    // At the floor size the question keeps the lines it needs, up to a few, and the options take the rest. While
    // they need more, the longest option gives up one line at a time, down to one, before the next longest gives up
    // any: the page shortens as few lines, and as few options, as it can, and the options that fit stay whole.
    // The last size tried was the floor: `lines` are the options' lines there, up to a page each.
    height = QUESTION_FLOOR_HEIGHT;
    const int line_height = LineHeight(dc, height);
    const std::vector<size_t> whole_lines = lines;
    std::vector<std::tuple<bool, size_t, size_t, size_t>> longest_first;
    for (size_t k = 0; k < 4; ++k) longest_first.emplace_back(shortened[k], lines[k], texts[k].size(), k);
    std::sort(longest_first.rbegin(), longest_first.rend());
    const int question_room =
        static_cast<int>(std::min(QuestionLines(dc, question, height, QUESTION_MIN_LINES), QUESTION_MIN_LINES)) *
        line_height;
    for (const auto& option : longest_first) {
        size_t& option_lines = lines[std::get<3>(option)];
        while (option_lines > 1 && PAGE_HEIGHT - RowsHeight(lines, line_height, TIGHT_PAGE_GAP) < question_room)
            --option_lines;
    }
    if (lines != whole_lines)
        WrapOptions(dc, texts, height, std::vector<size_t>(lines), shown, shortened, page.leave_out, lines);
    const size_t room_lines = static_cast<size_t>(
        std::max(1, (PAGE_HEIGHT - RowsHeight(lines, line_height, TIGHT_PAGE_GAP)) / line_height));
    const size_t question_lines = QuestionLines(dc, question, height, room_lines);
    PlaceBoxes(std::min(question_lines, room_lines), lines, line_height, TIGHT_PAGE_GAP, boxes);
    page.fit = question_lines > room_lines ? PageFit::QuestionScrolls : PageFit::Shared;
    return page;
}
