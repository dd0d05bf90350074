// The page of the question on show: applies its layout to the window's controls; see question_page.h.
// page_layout.cpp decides where everything goes and at which size; this file moves the controls, draws the
// question's lines and scrolls them; option_tip.cpp shows the tips of shortened options. All it keeps between
// messages is the one record of the page on show.
#include "question_page.h"

#include <algorithm>
#include <cwctype>
#include <iterator>
#include <utility>

#include "control_ids.h"
#include "line_breaking.h"
#include "option_tip.h"
#include "page_layout.h"
#include "text_fitting.h"

namespace {

// The question as its label draws it when the page breaks its lines: the text, its size, the first character of the
// line at the top and the first of the last page. Lines are found where they are needed, never all at once, so a
// visit costs the same for a text of any length. The text is the exam's question, read in place (it lives until
// the program ends); the page copies only a text it changes: one with tabs, short enough to be measured, with its
// tabs expanded. A longer one shows each tab as a space.
const std::wstring NO_QUESTION;
struct DrawnQuestion {
    const std::wstring* text = &NO_QUESTION;
    std::wstring expanded;  // the question with its tabs expanded, when `text` points here
    int height = QUESTION_FLOOR_HEIGHT;
    int line_height = 1;
    size_t top = 0;
    size_t last_top = 0;
    int wheel_remainder = 0;
};

// Everything the page on show keeps between messages.
struct PageOnShow {
    // Empty while the label draws the question itself.
    DrawnQuestion question;
    // Only while the question scrolls: its scroll bar, beside the label.
    HWND scroll_bar = nullptr;
    // On a shared page, each option's text is drawn by a label over its row, beside the radio mark: a button draws
    // no more than the first 512 characters of its text under Wine, and an option's lines may hold more. The labels
    // let clicks through to the rows beneath (a static control without SS_NOTIFY is transparent to the mouse), and
    // the rows clip themselves against them, so neither a row's own drawing of its text nor its focus rectangle ever
    // shows. The labels draw their lines themselves and hold no window text: the option is read once, from its row.
    HWND option_labels[4] = {};
    // The lines each label draws: wrapped, tabs expanded, "…" where shortened.
    std::wstring option_lines[4];
};

PageOnShow pageOnShow;

// Between the question label's right edge and its scroll bar.
constexpr int SCROLL_BAR_GAP = 3;
// Buttons would take "&" as a mnemonic marker, turning "R&D" into "RD" with an underlined D; doubling it shows
// the text as the bank author wrote it.
std::wstring EscapeMnemonics(const std::wstring& text) {
    std::wstring escaped;
    escaped.reserve(text.size());
    for (wchar_t c : text) {
        if (c == L'&') escaped += L'&';
        escaped += c;
    }
    return escaped;
}

// Font, style and place are set only when they change, so a question that fits leaves the controls exactly as
// they were.
void SetFontOnChange(HWND control, HFONT font) {
    if (reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)) != font)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void SetStyleOnChange(HWND control, LONG_PTR style) {
    if (GetWindowLongPtrW(control, GWL_STYLE) != style) SetWindowLongPtrW(control, GWL_STYLE, style);
}

RECT PlaceInParent(HWND control) {
    RECT place = {};
    GetWindowRect(control, &place);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

void PlaceOnChange(HWND control, const RECT& box) {
    const RECT place = PlaceInParent(control);
    if (!EqualRect(&box, &place))
        SetWindowPos(control, nullptr, box.left, box.top, box.right - box.left, box.bottom - box.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND QuestionLabel() { return GetDlgItem(GetParent(pageOnShow.scroll_bar), IDC_QUESTION_TEXT); }

// Runs `measure(dc, width)` with the drawn question's font selected into the label's device context.
template <typename Measure>
auto MeasureInLabel(HWND label, Measure measure) {
    RECT client = {};
    GetClientRect(label, &client);
    const HDC dc = GetDC(label);
    const auto result = WithFont(dc, pageOnShow.question.height, [&] { return measure(dc, static_cast<int>(client.right)); });
    ReleaseDC(label, dc);
    return result;
}

size_t VisibleLines(HWND label) {
    RECT client = {};
    GetClientRect(label, &client);
    return static_cast<size_t>(std::max(1, static_cast<int>(client.bottom) / pageOnShow.question.line_height));
}

void DestroyScrollBar() {
    if (pageOnShow.scroll_bar) DestroyWindow(pageOnShow.scroll_bar);
    pageOnShow.scroll_bar = nullptr;
}

// The start of the line `lines` lines below (or, when negative, above) the top one, within the text's pages.
size_t LinesFromTop(HWND label, int lines) {
    return MeasureInLabel(label, [&](HDC dc, int width) {
        const DrawnQuestion& drawn = pageOnShow.question;
        if (lines < 0) return LineStartAbove(dc, *drawn.text, drawn.top, static_cast<size_t>(-lines), width);
        size_t top = drawn.top;
        for (int k = 0; k < lines && top < drawn.last_top; ++k) top = NextLine(dc, *drawn.text, top, width).second;
        return std::min(top, drawn.last_top);
    });
}

void ScrollQuestionTo(size_t top) {
    if (!pageOnShow.scroll_bar) return;
    top = std::min(top, pageOnShow.question.last_top);
    if (top == pageOnShow.question.top) return;
    pageOnShow.question.top = top;
    SetScrollPos(pageOnShow.scroll_bar, SB_CTL, static_cast<int>(top), TRUE);
    InvalidateRect(QuestionLabel(), nullptr, FALSE);
}

// The label draws `text` itself at `height`, from its first line; when the text is longer than the label, a scroll
// bar beside it moves through it. Its positions are characters of the text.
void StartDrawing(HWND window, HWND label, const std::wstring& text, int height, bool scrolls) {
    DrawnQuestion& drawn = pageOnShow.question;
    drawn = DrawnQuestion{};
    const HDC dc = GetDC(label);
    drawn.text = &text;
    if (text.size() <= PAGE_MEASURE_LIMIT && text.find(L'\t') != std::wstring::npos) {
        drawn.expanded = WithFont(dc, height, [&] { return ExpandTabs(dc, text, text.size()); });
        drawn.text = &drawn.expanded;
    }
    drawn.height = height;
    drawn.line_height = LineHeight(dc, height);
    ReleaseDC(label, dc);
    const std::wstring& shown = *drawn.text;
    if (!scrolls || shown.empty()) {
        DestroyScrollBar();
        return;
    }
    const size_t visible = VisibleLines(label);
    size_t first_page = 0;
    MeasureInLabel(label, [&](HDC dc, int width) {
        pageOnShow.question.last_top =
            LineStartAbove(dc, shown, LineStartAt(dc, shown, shown.size() - 1, width), visible - 1, width);
        for (size_t k = 0; k < visible && first_page < shown.size(); ++k)
            first_page = NextLine(dc, shown, first_page, width).second;
        return 0;
    });
    const RECT place = PlaceInParent(label);
    if (!pageOnShow.scroll_bar) {
        pageOnShow.scroll_bar = CreateWindowExW(0, L"SCROLLBAR", L"", WS_CHILD | WS_VISIBLE | SBS_VERT, 0, 0, 0, 0, window,
                                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_QUESTION_SCROLL)), nullptr,
                                          nullptr);
    }
    PlaceOnChange(pageOnShow.scroll_bar, RECT{place.right + SCROLL_BAR_GAP, place.top,
                                        place.right + SCROLL_BAR_GAP + GetSystemMetrics(SM_CXVSCROLL), place.bottom});
    // The thumb runs from the first line to the first of the last page; its size is the first page's share.
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    info.nMax = static_cast<int>(pageOnShow.question.last_top + first_page) - 1;
    info.nPage = static_cast<UINT>(first_page);
    SetScrollInfo(pageOnShow.scroll_bar, SB_CTL, &info, TRUE);
}

void StopDrawing() {
    DestroyScrollBar();
    pageOnShow.question = DrawnQuestion{};
}

// Shows `lines` in option row `k`'s label over the text area of the row's `box` at font size `height`; a null `box`
// removes the label, so a question that fits has exactly the window's own controls.
void ShowOptionTextLabel(HWND window, size_t k, const RECT* box, int height, const std::wstring& lines) {
    HWND& label = pageOnShow.option_labels[k];
    if (!box) {
        if (label) DestroyWindow(label);
        label = nullptr;
        std::wstring().swap(pageOnShow.option_lines[k]);
        return;
    }
    if (!label) {
        label = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 0, 0, 0, 0, window,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_OPTION_TEXT1 + k)), nullptr,
                                nullptr);
        // Just above its row: a row clips its drawing only against the siblings above it.
        SetWindowPos(label, GetWindow(GetDlgItem(window, OPTION_IDS[k]), GW_HWNDPREV), 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    const HDC dc = GetDC(label);
    const int text_left = box->right - OptionTextWidth(dc, box->right - box->left, height);
    ReleaseDC(label, dc);
    SetFontOnChange(label, FittedFont(height));
    PlaceOnChange(label, RECT{text_left, box->top, box->right, box->bottom});
    pageOnShow.option_lines[k] = lines;
    InvalidateRect(label, nullptr, FALSE);
}

// Paints an owner-drawn label's background as the label's own drawing does, with the brush its parent gives it
// (which also sets the text's colours).
void FillLabelBackground(const DRAWITEMSTRUCT* item) {
    const HDC dc = item->hDC;
    const auto background =
        reinterpret_cast<HBRUSH>(SendMessageW(GetParent(item->hwndItem), WM_CTLCOLORSTATIC,
                                              reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(item->hwndItem)));
    FillRect(dc, &item->rcItem, background ? background : GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace

void ShowQuestionPage(HWND window, const std::wstring& question, const std::vector<std::wstring>& options) {
    const HWND label = GetDlgItem(window, IDC_QUESTION_TEXT);
    const HDC dc = GetDC(label);
    const PageLayout layout = LayOutPage(dc, question, options);
    const PageFit fit = layout.fit;
    const int height = layout.height;
    ReleaseDC(label, dc);
    // The option rows as always also when only the question's lines are broken by the page.
    const bool as_always = fit == PageFit::AsAlways || fit == PageFit::AsAlwaysOwnLines;
    const bool label_draws = fit == PageFit::AsAlways;

    const LONG_PTR label_style = GetWindowLongPtrW(label, GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK);
    SetStyleOnChange(label, label_style | (label_draws ? SS_LEFT : SS_OWNERDRAW));
    SetFontOnChange(label, FittedFont(height));
    PlaceOnChange(label, layout.boxes[0]);
    if (label_draws)
        StopDrawing();
    else
        StartDrawing(window, label, question, height, fit == PageFit::QuestionScrolls);
    // The label keeps the text even while it draws it itself, for anything that reads it.
    SetWindowTextW(label, question.substr(0, LABEL_TEXT_LIMIT).c_str());
    if (!label_draws) InvalidateRect(label, nullptr, FALSE);

    for (size_t k = 0; k < std::size(OPTION_IDS); ++k) {
        const HWND row = GetDlgItem(window, OPTION_IDS[k]);
        // On a shared page a row's radio mark sits beside the first of its lines, which its label draws.
        const LONG_PTR row_style = GetWindowLongPtrW(row, GWL_STYLE) &
                                   ~static_cast<LONG_PTR>(BS_MULTILINE | BS_VCENTER | WS_CLIPSIBLINGS);
        SetStyleOnChange(row, row_style | (as_always ? 0 : BS_MULTILINE | BS_TOP | WS_CLIPSIBLINGS));
        SetFontOnChange(row, FittedFont(height));
        PlaceOnChange(row, layout.boxes[k + 1]);
        // The row holds the option as the bank wrote it, for anything that reads it. On a shared page the row's own
        // drawing of that text stays under its label, which draws the lines.
        const std::wstring written = k < options.size() ? options[k].substr(0, LABEL_TEXT_LIMIT) : std::wstring();
        SetWindowTextW(row, EscapeMnemonics(written).c_str());
        ShowOptionTextLabel(window, k, as_always ? nullptr : &layout.boxes[k + 1], height, layout.shown[k]);
        SetOptionTip(window, row, layout.shortened[k] || layout.leave_out[k] ? options[k] : std::wstring());
    }
}

void DrawQuestionLines(const DRAWITEMSTRUCT* item) {
    const HDC dc = item->hDC;
    const RECT& box = item->rcItem;
    FillLabelBackground(item);
    const int previous_mode = SetBkMode(dc, TRANSPARENT);
    const DrawnQuestion& drawn = pageOnShow.question;
    WithFont(dc, drawn.height, [&] {
        size_t begin = drawn.top;
        for (int y = box.top; y < box.bottom && begin < drawn.text->size(); y += drawn.line_height) {
            const auto [end, next] = NextLine(dc, *drawn.text, begin, box.right - box.left);
            // A text too long to have its tabs expanded shows each as a space.
            std::wstring line = drawn.text->substr(begin, end - begin);
            std::replace(line.begin(), line.end(), L'\t', L' ');
            if (LeavesOutCharacter(*drawn.text, end, next)) line += ELLIPSIS;
            ExtTextOutW(dc, box.left, y, ETO_CLIPPED, &box, line.data(), static_cast<UINT>(line.size()), nullptr);
            begin = next;
        }
        return 0;
    });
    SetBkMode(dc, previous_mode);
}

void DrawOptionLines(const DRAWITEMSTRUCT* item) {
    const auto label = std::find(std::begin(pageOnShow.option_labels), std::end(pageOnShow.option_labels), item->hwndItem);
    if (label == std::end(pageOnShow.option_labels)) return;
    FillLabelBackground(item);
    // Drawn the way a left-aligned static control without prefixes draws its text, so the lines look as they did.
    const HGDIOBJ previous =
        SelectObject(item->hDC, reinterpret_cast<HFONT>(SendMessageW(item->hwndItem, WM_GETFONT, 0, 0)));
    RECT box = item->rcItem;
    DrawTextW(item->hDC, pageOnShow.option_lines[label - std::begin(pageOnShow.option_labels)].c_str(), -1, &box,
              DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(item->hDC, previous);
}

void ScrollQuestion(UINT action) {
    if (!pageOnShow.scroll_bar) return;
    const HWND label = QuestionLabel();
    const int page = std::max(1, static_cast<int>(VisibleLines(label)) - 1);
    switch (action) {
        case SB_LINEUP: return ScrollQuestionTo(LinesFromTop(label, -1));
        case SB_LINEDOWN: return ScrollQuestionTo(LinesFromTop(label, 1));
        case SB_PAGEUP: return ScrollQuestionTo(LinesFromTop(label, -page));
        case SB_PAGEDOWN: return ScrollQuestionTo(LinesFromTop(label, page));
        case SB_TOP: return ScrollQuestionTo(0);
        case SB_BOTTOM: return ScrollQuestionTo(pageOnShow.question.last_top);
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO info = {};
            info.cbSize = sizeof info;
            info.fMask = SIF_TRACKPOS;
            GetScrollInfo(pageOnShow.scroll_bar, SB_CTL, &info);
            const size_t at = static_cast<size_t>(std::max(0, info.nTrackPos));
            return ScrollQuestionTo(MeasureInLabel(
                label, [&](HDC dc, int width) { return LineStartAt(dc, *pageOnShow.question.text, at, width); }));
        }
        default: return;
    }
}

void ScrollQuestionByWheel(POINT screen_point, int wheel_delta) {
    if (!pageOnShow.scroll_bar) return;
    const HWND label = QuestionLabel();
    RECT label_place = {}, bar = {};
    GetWindowRect(label, &label_place);
    GetWindowRect(pageOnShow.scroll_bar, &bar);
    if (!PtInRect(&label_place, screen_point) && !PtInRect(&bar, screen_point)) return;
    UINT lines_per_notch = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines_per_notch, 0);
    if (lines_per_notch == WHEEL_PAGESCROLL) lines_per_notch = static_cast<UINT>(VisibleLines(label));
    // Fine-grained wheels send less than a notch at a time; the rest is kept for the next turn.
    int& remainder = pageOnShow.question.wheel_remainder;
    remainder += wheel_delta;
    const int notches = remainder / WHEEL_DELTA;
    remainder -= notches * WHEEL_DELTA;
    if (notches != 0) ScrollQuestionTo(LinesFromTop(label, -notches * static_cast<int>(lines_per_notch)));
}

void ReleaseQuestionPage() {
    DeleteFittedFonts();
    // The windows it names are destroyed with the main window.
    pageOnShow = PageOnShow{};
    ForgetOptionTip();
}
