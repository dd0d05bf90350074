// The tip of a shortened option, laid out by the tip's own line breaks so that a long word wraps too.
#include "option_tip.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>

#include "line_breaking.h"
#include "page_layout.h"
#include "text_fitting.h"

namespace {

// Made with the first shortened option; owned by the main window and destroyed with it.
HWND optionTooltip = nullptr;

// The tip of a shortened option holds its text up to TOOLTIP_TEXT_LIMIT characters of its own (never half of one),
// in lines the tip breaks itself so that a long word wraps too. A tooltip shows no more than 1,023 characters, the
// breaks included. It is wrapped to TOOLTIP_WIDTH and half the work area's height when that holds it, as tips always
// were; a longer text first makes it wider, up to the work area, then taller, up to the work area.
constexpr int TOOLTIP_WIDTH = 600;
constexpr size_t TOOLTIP_TEXT_LIMIT = 1000;
constexpr size_t TOOLTIP_CAPACITY = 1023;
constexpr int TOOLTIP_WIDER_STEPS = 4;
// The tip may be this much wider than its lines, so it never wraps a line again; its border and margins take about
// TOOLTIP_FRAME pixels of the work area each way.
constexpr int TOOLTIP_WRAP_MARGIN = 2;
constexpr int TOOLTIP_FRAME = 8;

// The classic common controls, loaded with the first tip: most banks never need one, and every DLL the program
// imports costs time at every start. Kept for the life of the process, as the tooltip's window class lives in it.
bool LoadTooltipClass() {
    static const bool loaded = [] {
        const HMODULE library = LoadLibraryW(L"comctl32.dll");
        const auto init = reinterpret_cast<decltype(&InitCommonControlsEx)>(
            reinterpret_cast<void (*)()>(library ? GetProcAddress(library, "InitCommonControlsEx") : nullptr));
        INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};
        return init && init(&classes);
    }();
    return loaded;
}

// The work area of the monitor that shows `window`.
RECT WorkAreaOf(HWND window) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

// How far a tip may bend a text to hold it, least first: as written (tabs expanded), without its empty lines, and
// as one paragraph, every run of white space one space. Each keeps every character that leaves a mark.
enum class TipForm { AsWritten, WithoutEmptyLines, OneParagraph };

// `text` in at most `max_lines` lines of `width` pixels with the font selected in `dc`, joined by line breaks,
// with "…" after it when `cut`; empty when it takes more lines or more than a tooltip holds, or when a character
// as a reader sees it is wider than `width`.
std::wstring TipLines(HDC dc, const std::wstring& text, int width, size_t max_lines, bool skip_empty, bool cut) {
    std::wstring tip;
    size_t lines = 0;
    for (size_t begin = 0; begin < text.size();) {
        const auto [end, next] = NextLine(dc, text, begin, width);
        // A character as a reader sees it wider than these lines asks for wider ones: the tip shows it whole.
        if (LeavesOutCharacter(text, end, next)) return {};
        if (end > begin || !skip_empty) {
            if (++lines > max_lines) return {};
            if (lines > 1) tip += L'\n';
            tip.append(text, begin, end - begin);
        }
        begin = next;
    }
    if (cut) {
        // "…" goes on a line of its own when the last line has no room for it.
        SIZE extent = {};
        const size_t last = tip.rfind(L'\n') + 1;
        GetTextExtentPoint32W(dc, (tip.substr(last) + ELLIPSIS).c_str(), static_cast<int>(tip.size() - last + 1),
                              &extent);
        if (extent.cx > width) {
            if (++lines > max_lines) return {};
            tip += L'\n';
        }
        tip += ELLIPSIS;
    }
    return tip.size() <= TOOLTIP_CAPACITY ? tip : std::wstring();
}

// The widest a tip's lines may be on the monitor that shows `row`.
int WidestTip(HWND row) {
    const RECT work_area = WorkAreaOf(row);
    return std::max(TOOLTIP_WIDTH,
                    static_cast<int>(work_area.right - work_area.left) - TOOLTIP_FRAME - TOOLTIP_WRAP_MARGIN);
}

// The text of a shortened option as its tip shows it: see TOOLTIP_TEXT_LIMIT.
std::wstring TipText(HWND row, const std::wstring& text) {
    size_t kept = std::min(text.size(), TOOLTIP_TEXT_LIMIT);
    if (kept < text.size()) {
        // Never half of a character as a reader sees it, unless the first alone is longer than a tip holds.
        const size_t start = CharacterStart(text, 0, kept);
        kept = start > 0 ? start : kept - (IS_LOW_SURROGATE(text[kept]) ? 1 : 0);
    }
    const RECT work_area = WorkAreaOf(row);
    const int widest = WidestTip(row);
    const int tallest = static_cast<int>(work_area.bottom - work_area.top) - TOOLTIP_FRAME;
    const HDC dc = GetDC(row);
    std::wstring tip = WithFont(dc, NORMAL_TEXT_HEIGHT, [&] {
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        const int line_height = std::max(1, static_cast<int>(metrics.tmHeight + metrics.tmExternalLeading));
        const size_t half_lines = static_cast<size_t>(std::max(1, tallest / 2 / line_height));
        const size_t all_lines = static_cast<size_t>(std::max(1, tallest / line_height));
        const std::wstring written = ExpandTabs(dc, text, kept);
        std::wstring paragraph;
        for (size_t k = 0; k < kept; ++k) {
            if (!std::iswspace(text[k]))
                paragraph += text[k];
            else if (!paragraph.empty() && paragraph.back() != L' ')
                paragraph += L' ';
        }
        for (const TipForm form : {TipForm::AsWritten, TipForm::WithoutEmptyLines, TipForm::OneParagraph}) {
            const std::wstring& body = form == TipForm::OneParagraph ? paragraph : written;
            for (int step = 0; step <= TOOLTIP_WIDER_STEPS + 1; ++step) {
                const int width = TOOLTIP_WIDTH + (widest - TOOLTIP_WIDTH) * std::min(step, TOOLTIP_WIDER_STEPS) /
                                            TOOLTIP_WIDER_STEPS;
                std::wstring lines = TipLines(dc, body, width, step <= TOOLTIP_WIDER_STEPS ? half_lines : all_lines,
                                              form != TipForm::AsWritten, kept < text.size());
                if (!lines.empty()) return lines;
            }
        }
        // Only characters far wider than the font's own, or one as a reader sees it wider than the screen, come here:
        // the tip holds what it can, and wraps it itself.
        size_t cut = std::min(paragraph.size(), TOOLTIP_CAPACITY - 1);
        if (cut < paragraph.size()) {
            const size_t start = CharacterStart(paragraph, 0, cut);
            cut = start > 0 ? start : cut - (IS_LOW_SURROGATE(paragraph[cut]) ? 1 : 0);
        }
        return paragraph.substr(0, cut) + (cut < paragraph.size() || kept < text.size() ? ELLIPSIS : L"");
    });
    ReleaseDC(row, dc);
    return tip;
}

}  // namespace

void SetOptionTip(HWND window, HWND row, const std::wstring& full_text) {
    TTTOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by the classic common controls too
    // A tip as tall as the screen may lie under the mouse: the mouse then still reaches the row beneath.
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS | TTF_TRANSPARENT;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(row);
    if (optionTooltip) SendMessageW(optionTooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (full_text.empty()) return;

    if (!optionTooltip) {
        if (!LoadTooltipClass()) return;
        optionTooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                        CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, nullptr, nullptr);
        SendMessageW(optionTooltip, WM_SETFONT, reinterpret_cast<WPARAM>(FittedFont(NORMAL_TEXT_HEIGHT)), FALSE);
    }
    // The tip's own line breaks decide its lines; it is as wide as the longest, up to the widest a tip may be.
    SendMessageW(optionTooltip, TTM_SETMAXTIPWIDTH, 0, WidestTip(row) + TOOLTIP_WRAP_MARGIN);
    std::wstring tip = TipText(row, full_text);
    tool.lpszText = tip.data();
    SendMessageW(optionTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

bool PlaceOptionTip(const NMHDR* notice) {
    if (!optionTooltip || notice->hwndFrom != optionTooltip || notice->code != TTN_SHOW) return false;
    // The tip's real size, whatever the font drew; moved (and, should it be larger, cut) to lie within the work area.
    RECT tip = {};
    GetWindowRect(optionTooltip, &tip);
    const RECT work_area = WorkAreaOf(reinterpret_cast<HWND>(notice->idFrom));
    const int width = std::min(tip.right - tip.left, work_area.right - work_area.left);
    const int height = std::min(tip.bottom - tip.top, work_area.bottom - work_area.top);
    SetWindowPos(optionTooltip, nullptr, std::clamp(static_cast<int>(tip.left), static_cast<int>(work_area.left),
                                                    static_cast<int>(work_area.right) - width),
                 std::clamp(static_cast<int>(tip.top), static_cast<int>(work_area.top),
                            static_cast<int>(work_area.bottom) - height),
                 width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}


void ForgetOptionTip() { optionTooltip = nullptr; }
