// Measuring texts in the controls that show them and choosing the size they are shown at; see text_fitting.h.
#include "text_fitting.h"

#include <algorithm>
#include <cwctype>
#include <iterator>

#include "main_window.h"

namespace {

// Made on first need, one per height below the normal one; index = height.
HFONT fittedFonts[NORMAL_TEXT_HEIGHT] = {};

// How the question label draws: a left-aligned static control with SS_NOPREFIX.
constexpr UINT QUESTION_FORMAT = DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;
// Option rows are buttons, which draw one line, or wrap at word breaks with BS_MULTILINE, and take "&" as a
// mnemonic marker. Their texts have every "&" doubled, which measures like the text as written without prefix
// processing.
constexpr UINT OPTION_FORMAT = DT_NOPREFIX;
// The scrolling question measures its lines on pieces of at most this many characters: far more than a line
// of the label holds, and what keeps a line's cost bounded inside a paragraph of a million characters.
constexpr size_t WRAP_PIECE = 512;

// Runs `measure(dc)` with the exam font of `height` selected into the control's own device context.
template <typename Measure>
auto MeasureIn(HWND control, int height, Measure measure) {
    const HDC dc = GetDC(control);
    const HGDIOBJ previous = SelectObject(dc, FittedFont(height));
    const auto result = measure(dc);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return result;
}

bool FitsBox(HDC dc, const std::wstring& text, UINT format, int width, int height) {
    RECT box = {0, 0, width, height};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, format | DT_CALCRECT);
    return box.right <= width && box.bottom <= height;
}

// A radio button draws its text right of its check box (12 pixels and one at 96 dpi) and half the width of a
// "0" in its font away from it.
int OptionTextWidth(HWND row, HDC dc) {
    RECT client = {};
    GetClientRect(row, &client);
    INT zero_width = 0;
    GetCharWidth32W(dc, L'0', L'0', &zero_width);
    return client.right - (12 * GetDeviceCaps(dc, LOGPIXELSX) / 96 + 1) - zero_width / 2;
}

// Japanese, Chinese and similar scripts break between any two characters.
bool BreaksAnywhere(wchar_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

// Whether a line may end just before position `at` (0 < at < size).
bool IsWordBoundary(const std::wstring& text, size_t at) {
    return std::iswspace(text[at]) || BreaksAnywhere(text[at - 1]) || BreaksAnywhere(text[at]);
}

std::wstring WithEllipsis(const std::wstring& text, size_t cut) {
    while (cut > 0 && std::iswspace(text[cut - 1])) --cut;
    return text.substr(0, cut) + ELLIPSIS;
}

}  // namespace

HFONT CreateExamFont(int height, int weight) {
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH, L"Yu Gothic UI");
}

HFONT FittedFont(int height) {
    if (height >= NORMAL_TEXT_HEIGHT || height < 1) return hFontNormal;
    if (!fittedFonts[height]) fittedFonts[height] = CreateExamFont(height, FW_NORMAL);
    return fittedFonts[height];
}

void DeleteFittedFonts() {
    for (HFONT& font : fittedFonts) {
        if (font) DeleteObject(font);
        font = nullptr;
    }
}

int QuestionTextHeight(HWND label, const std::wstring& text) {
    if (text.size() > QUESTION_MEASURE_LIMIT) return 0;
    RECT client = {};
    GetClientRect(label, &client);
    for (int height = NORMAL_TEXT_HEIGHT; height >= QUESTION_FLOOR_HEIGHT; --height) {
        if (MeasureIn(label, height,
                      [&](HDC dc) { return FitsBox(dc, text, QUESTION_FORMAT, client.right, client.bottom); }))
            return height;
    }
    return 0;
}

bool FitsOptionRow(HWND row, const std::wstring& text, int height, bool one_line) {
    if (text.size() > OPTION_MEASURE_LIMIT) return false;
    RECT client = {};
    GetClientRect(row, &client);
    const UINT format = OPTION_FORMAT | (one_line ? DT_SINGLELINE : DT_WORDBREAK);
    return MeasureIn(row, height,
                     [&](HDC dc) { return FitsBox(dc, text, format, OptionTextWidth(row, dc), client.bottom); });
}

int OptionRowsHeight(HWND row, const std::vector<std::wstring>& texts) {
    const auto all_fit = [&](int height, bool one_line) {
        return std::all_of(texts.begin(), texts.end(),
                           [&](const std::wstring& text) { return FitsOptionRow(row, text, height, one_line); });
    };
    if (all_fit(NORMAL_TEXT_HEIGHT, true)) return NORMAL_TEXT_HEIGHT;
    for (int height = NORMAL_TEXT_HEIGHT - 1; height > OPTION_FLOOR_HEIGHT; --height)
        if (all_fit(height, false)) return height;
    return OPTION_FLOOR_HEIGHT;
}

std::wstring ShortenOption(HWND row, const std::wstring& text, int height) {
    // Only the start of a long text can end up on screen.
    const size_t limit = std::min(text.size(), OPTION_MEASURE_LIMIT);
    std::vector<size_t> word_cuts, character_cuts;
    for (size_t at = 1; at <= limit; ++at) {
        if (at < text.size() && IS_LOW_SURROGATE(text[at])) continue;  // never split a surrogate pair
        character_cuts.push_back(at);
        if (at < text.size() && IsWordBoundary(text, at)) word_cuts.push_back(at);
    }
    // A shorter cut fits whenever a longer one does, so the longest that fits is found by bisection.
    const auto fits = [&](size_t cut) { return FitsOptionRow(row, WithEllipsis(text, cut), height, false); };
    for (const std::vector<size_t>* cuts : {&word_cuts, &character_cuts}) {
        const auto first_too_long = std::partition_point(cuts->begin(), cuts->end(), fits);
        if (first_too_long != cuts->begin()) return WithEllipsis(text, *std::prev(first_too_long));
    }
    return ELLIPSIS;
}

int LineHeight(HWND control, int height) {
    return MeasureIn(control, height, [](HDC dc) {
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        return static_cast<int>(metrics.tmHeight);
    });
}

std::vector<std::pair<size_t, size_t>> WrapLines(HWND control, const std::wstring& text, int height, int width) {
    std::vector<std::pair<size_t, size_t>> lines;
    MeasureIn(control, height, [&](HDC dc) {
        size_t begin = 0;
        while (begin < text.size()) {
            // The piece measured ends at the paragraph's end or WRAP_PIECE characters on.
            const size_t piece_limit = std::min(text.size(), begin + WRAP_PIECE);
            size_t piece_end = begin;
            while (piece_end < piece_limit && text[piece_end] != L'\n' && text[piece_end] != L'\r') ++piece_end;
            INT fit = 0;
            SIZE extent = {};
            GetTextExtentExPointW(dc, text.data() + begin, static_cast<int>(piece_end - begin), width, &fit, nullptr,
                                  &extent);
            size_t end = begin + static_cast<size_t>(fit);
            size_t next = end;
            if (end >= piece_end) {
                end = next = piece_end;
                if (next < text.size() && text[next] == L'\r') ++next;
                if (next < text.size() && text[next] == L'\n' && (next == piece_end || text[next - 1] == L'\r')) ++next;
            } else {
                // Break at the last word boundary that fits; a word longer than the line is broken where it must.
                size_t cut = end;
                while (cut > begin && !IsWordBoundary(text, cut)) --cut;
                if (cut == begin) {
                    cut = std::max(end, begin + 1);
                    if (cut < piece_end && IS_LOW_SURROGATE(text[cut])) ++cut;
                }
                end = next = cut;
                while (next < piece_end && text[next] == L' ') ++next;
            }
            while (end > begin && std::iswspace(text[end - 1])) --end;
            lines.emplace_back(begin, end);
            begin = next;
        }
        return 0;
    });
    return lines;
}
