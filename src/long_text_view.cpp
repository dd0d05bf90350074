// Fitting the question on show into the window's controls; see long_text_view.h. The sizes are chosen by
// text_fitting.cpp; this file applies them, and draws and scrolls a question too long for its label.
#include "long_text_view.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "control_ids.h"
#include "text_fitting.h"

namespace {

// Only while a question scrolls: its scroll bar, beside the label, and the text the label draws line by line.
HWND questionScrollBar = nullptr;
std::wstring scrolledText;
std::vector<std::pair<size_t, size_t>> scrolledLines;
int scrolledLineHeight = 1;
int wheelRemainder = 0;

// Made with the first shortened option; owned by the main window and destroyed with it.
HWND optionTooltip = nullptr;

// Between the question label's right edge and its scroll bar.
constexpr int SCROLL_BAR_GAP = 3;
// The tooltip wraps the full text of a shortened option at this width. It shows at most this much of it, marked
// with an ellipsis: tooltips hold no more than 1,023 characters, and a longer tip would not fit the screen.
constexpr int TOOLTIP_WIDTH = 600;
constexpr size_t TOOLTIP_TEXT_LIMIT = 1000;

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

// Sets the font only when it changes, so a question that fits leaves the controls exactly as they were.
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

int VisibleLines(HWND label) {
    RECT client = {};
    GetClientRect(label, &client);
    return std::max(1, static_cast<int>(client.bottom) / scrolledLineHeight);
}

void DestroyScrollBar() {
    if (questionScrollBar) DestroyWindow(questionScrollBar);
    questionScrollBar = nullptr;
}

// The scroll bar's range, page and position; only while it exists.
SCROLLINFO QuestionScrollInfo() {
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(questionScrollBar, SB_CTL, &info);
    return info;
}

// Lays the text out at the floor size and, when it is longer than the label, shows a scroll bar at its top.
void StartScrolling(HWND window, HWND label, const std::wstring& text) {
    scrolledText = text;
    std::replace(scrolledText.begin(), scrolledText.end(), L'\t', L' ');
    RECT client = {};
    GetClientRect(label, &client);
    scrolledLines = WrapLines(label, scrolledText, QUESTION_FLOOR_HEIGHT, client.right);
    scrolledLineHeight = std::max(1, LineHeight(label, QUESTION_FLOOR_HEIGHT));
    wheelRemainder = 0;

    const int visible = VisibleLines(label);
    if (static_cast<int>(scrolledLines.size()) <= visible) {
        DestroyScrollBar();
        return;
    }
    if (!questionScrollBar) {
        const RECT place = PlaceInParent(label);
        questionScrollBar =
            CreateWindowExW(0, L"SCROLLBAR", L"", WS_CHILD | WS_VISIBLE | SBS_VERT, place.right + SCROLL_BAR_GAP,
                            place.top, GetSystemMetrics(SM_CXVSCROLL), place.bottom - place.top, window,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_QUESTION_SCROLL)), nullptr, nullptr);
    }
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    info.nMax = static_cast<int>(scrolledLines.size()) - 1;
    info.nPage = static_cast<UINT>(visible);
    SetScrollInfo(questionScrollBar, SB_CTL, &info, TRUE);
}

void StopScrolling() {
    DestroyScrollBar();
    std::wstring().swap(scrolledText);
    std::vector<std::pair<size_t, size_t>>().swap(scrolledLines);
}

void ScrollQuestionTo(int line) {
    if (!questionScrollBar) return;
    const SCROLLINFO info = QuestionScrollInfo();
    const int last_top = std::max(0, info.nMax - static_cast<int>(info.nPage) + 1);
    line = std::clamp(line, 0, last_top);
    if (line == info.nPos) return;
    SetScrollPos(questionScrollBar, SB_CTL, line, TRUE);
    InvalidateRect(GetDlgItem(GetParent(questionScrollBar), IDC_QUESTION_TEXT), nullptr, FALSE);
}

// Shows the full text of a shortened option when the mouse rests on its row; an empty text removes the tip.
void SetOptionTip(HWND window, HWND row, const std::wstring& full_text) {
    TTTOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by the classic common controls too
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(row);
    if (optionTooltip) SendMessageW(optionTooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (full_text.empty()) return;

    if (!optionTooltip) {
        INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};
        InitCommonControlsEx(&classes);
        optionTooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                        CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, nullptr, nullptr);
        SendMessageW(optionTooltip, TTM_SETMAXTIPWIDTH, 0, TOOLTIP_WIDTH);
    }
    std::wstring tip = full_text.substr(0, TOOLTIP_TEXT_LIMIT);
    if (full_text.size() > TOOLTIP_TEXT_LIMIT) tip += ELLIPSIS;
    tool.lpszText = tip.data();
    SendMessageW(optionTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace

void ShowQuestionText(HWND window, const std::wstring& text) {
    const HWND label = GetDlgItem(window, IDC_QUESTION_TEXT);
    const int height = QuestionTextHeight(label, text);
    const bool scrolls = height == 0;
    const LONG_PTR style = GetWindowLongPtrW(label, GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK);
    SetStyleOnChange(label, style | (scrolls ? SS_OWNERDRAW : SS_LEFT));
    SetFontOnChange(label, FittedFont(scrolls ? QUESTION_FLOOR_HEIGHT : height));
    if (scrolls)
        StartScrolling(window, label, text);
    else
        StopScrolling();
    // The label keeps the whole text even while it draws it itself, for anything that reads it.
    SetWindowTextW(label, text.c_str());
    if (scrolls) InvalidateRect(label, nullptr, FALSE);
}

void ShowOptionTexts(HWND window, const std::vector<std::wstring>& texts) {
    const int height = OptionRowsHeight(GetDlgItem(window, OPTION_IDS[0]), texts);
    const bool normal = height == NORMAL_TEXT_HEIGHT;
    for (size_t k = 0; k < std::size(OPTION_IDS) && k < texts.size(); ++k) {
        const HWND row = GetDlgItem(window, OPTION_IDS[k]);
        const bool shortened = !normal && !FitsOptionRow(row, texts[k], height, false);
        const std::wstring shown = shortened ? ShortenOption(row, texts[k], height) : texts[k];
        // A row wraps only while its text needs two lines.
        const bool wraps = !normal && !FitsOptionRow(row, shown, height, true);
        const LONG_PTR style = GetWindowLongPtrW(row, GWL_STYLE) & ~static_cast<LONG_PTR>(BS_MULTILINE);
        SetStyleOnChange(row, style | (wraps ? BS_MULTILINE : 0));
        SetFontOnChange(row, FittedFont(height));
        SetWindowTextW(row, EscapeMnemonics(shown).c_str());
        SetOptionTip(window, row, shortened ? texts[k] : std::wstring());
    }
}

void DrawScrolledQuestion(const DRAWITEMSTRUCT* item) {
    const HDC dc = item->hDC;
    const RECT& box = item->rcItem;
    // Colours and background as the label's own drawing takes them from its parent.
    const auto background =
        reinterpret_cast<HBRUSH>(SendMessageW(GetParent(item->hwndItem), WM_CTLCOLORSTATIC,
                                              reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(item->hwndItem)));
    FillRect(dc, &box, background ? background : GetSysColorBrush(COLOR_BTNFACE));
    const HGDIOBJ previous_font = SelectObject(dc, FittedFont(QUESTION_FLOOR_HEIGHT));
    const int previous_mode = SetBkMode(dc, TRANSPARENT);
    const size_t top = questionScrollBar ? static_cast<size_t>(GetScrollPos(questionScrollBar, SB_CTL)) : 0;
    for (size_t line = top; line < scrolledLines.size(); ++line) {
        const int y = box.top + static_cast<int>(line - top) * scrolledLineHeight;
        if (y >= box.bottom) break;
        const auto [begin, end] = scrolledLines[line];
        ExtTextOutW(dc, box.left, y, ETO_CLIPPED, &box, scrolledText.data() + begin, static_cast<UINT>(end - begin),
                    nullptr);
    }
    SetBkMode(dc, previous_mode);
    SelectObject(dc, previous_font);
}

void ScrollQuestion(UINT action) {
    if (!questionScrollBar) return;
    const SCROLLINFO info = QuestionScrollInfo();
    const int page = std::max(1, static_cast<int>(info.nPage) - 1);
    const bool dragged = action == SB_THUMBTRACK || action == SB_THUMBPOSITION;
    ScrollQuestionTo(action == SB_LINEUP     ? info.nPos - 1
                     : action == SB_LINEDOWN ? info.nPos + 1
                     : action == SB_PAGEUP   ? info.nPos - page
                     : action == SB_PAGEDOWN ? info.nPos + page
                     : action == SB_TOP      ? 0
                     : action == SB_BOTTOM   ? info.nMax
                     : dragged               ? info.nTrackPos
                                             : info.nPos);
}

void ScrollQuestionByWheel(POINT screen_point, int wheel_delta) {
    if (!questionScrollBar) return;
    RECT label = {}, bar = {};
    GetWindowRect(GetDlgItem(GetParent(questionScrollBar), IDC_QUESTION_TEXT), &label);
    GetWindowRect(questionScrollBar, &bar);
    if (!PtInRect(&label, screen_point) && !PtInRect(&bar, screen_point)) return;
    UINT lines_per_notch = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines_per_notch, 0);
    if (lines_per_notch == WHEEL_PAGESCROLL)
        lines_per_notch = static_cast<UINT>(VisibleLines(GetDlgItem(GetParent(questionScrollBar), IDC_QUESTION_TEXT)));
    // Fine-grained wheels send less than a notch at a time; the rest is kept for the next turn.
    wheelRemainder += wheel_delta;
    const int notches = wheelRemainder / WHEEL_DELTA;
    wheelRemainder -= notches * WHEEL_DELTA;
    ScrollQuestionTo(GetScrollPos(questionScrollBar, SB_CTL) - notches * static_cast<int>(lines_per_notch));
}

void ReleaseLongTextView() {
    DeleteFittedFonts();
    questionScrollBar = nullptr;
    optionTooltip = nullptr;
    std::wstring().swap(scrolledText);
    std::vector<std::pair<size_t, size_t>>().swap(scrolledLines);
}
