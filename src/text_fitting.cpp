// Measuring texts in the exam's font and wrapping them into lines; see text_fitting.h.
#include "text_fitting.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <unordered_map>

#include "line_breaking.h"

namespace {

// Made on first need, one per height up to the normal one; index = height.
HFONT fittedFonts[NORMAL_TEXT_HEIGHT + 1] = {};
// The window's own font of the normal size; not owned here.
HFONT normalFont = nullptr;
// Per font height, taken on first need with its font: the line height, and what an option row takes from its
// width for the button's box and check mark (never 0 once taken). Measuring them for every question
// cost the checker more than laying most questions out.
int lineHeights[NORMAL_TEXT_HEIGHT + 1] = {};
int optionMargins[NORMAL_TEXT_HEIGHT + 1] = {};

// A line is measured on a piece of at most this many characters: far more than a line of the page holds, and what
// keeps a line's cost bounded inside a paragraph of a million characters.
constexpr size_t WRAP_PIECE = 512;
// How far back LineStartAt looks for the start of a paragraph before it wraps from a point inside it.
constexpr size_t PARAGRAPH_LOOK_BACK = 4096;

// The advance widths of the characters at the normal size, a block of 256 at a time, taken on first need; 0 where
// a character cannot be judged (a control character, half a surrogate pair, or one the font has no glyph for and
// another font would draw). Text extents are sums of advance widths, so these give a text's width without asking
// GDI for it.
constexpr size_t WIDTH_BLOCK = 256;
std::vector<int> charWidths;
std::vector<bool> widthBlocksTaken;
// The characters the exam's font has no glyph for, taken with their widths: another font, or a box, draws them,
// and only drawing them tells how wide they are.
std::vector<bool> glyphsLacking;

// Takes the widths of the block of characters holding `c` at the normal size (0 for those that cannot be judged),
// and which of them the font lacks.
__attribute__((noinline)) void TakeWidthBlock(HDC dc, wchar_t c) {
    if (charWidths.empty()) {
        // charWidths last: while it is empty the tables count as not made, so running out of memory on any of them
        // leaves them to be made again rather than half made.
        widthBlocksTaken.assign(0x10000 / WIDTH_BLOCK, false);
        glyphsLacking.assign(0x10000, false);
        charWidths.assign(0x10000, 0);
    }
    const size_t block = c / WIDTH_BLOCK;
    if (widthBlocksTaken[block]) return;
    widthBlocksTaken[block] = true;
    WithFont(dc, NORMAL_TEXT_HEIGHT, [&] {
        const wchar_t first = static_cast<wchar_t>(block * WIDTH_BLOCK);
        wchar_t characters[WIDTH_BLOCK];
        WORD glyphs[WIDTH_BLOCK];
        for (size_t k = 0; k < WIDTH_BLOCK; ++k) characters[k] = static_cast<wchar_t>(first + k);
        if (GetCharWidth32W(dc, first, static_cast<UINT>(first + WIDTH_BLOCK - 1), &charWidths[first]) &&
            GetGlyphIndicesW(dc, characters, WIDTH_BLOCK, glyphs, GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR) {
            for (size_t k = 0; k < WIDTH_BLOCK; ++k) {
                const wchar_t character = characters[k];
                glyphsLacking[first + k] = glyphs[k] == 0xFFFF;
                if (glyphs[k] == 0xFFFF || character < L' ' || IS_HIGH_SURROGATE(character) ||
                    IS_LOW_SURROGATE(character) || charWidths[first + k] < 0)
                    charWidths[first + k] = 0;
            }
        } else {
            std::fill_n(&charWidths[first], WIDTH_BLOCK, 0);
        }
        return 0;
    });
}

// The width of character `c`, 0 when it cannot be judged. Asked for every character of every text the checker
// lays out, so all but the first of each block is a lookup the compiler inlines.
int JudgedWidth(HDC dc, wchar_t c) {
    if (charWidths.empty() || !widthBlocksTaken[c / WIDTH_BLOCK]) TakeWidthBlock(dc, c);
    return charWidths[c];
}

// The drawn widths of the surrogate pairs met so far at the normal size, by code point. Another font draws them,
// so each is measured as the controls draw it, once: a bank with an emoji in every question then costs no more
// measuring than one without.
std::unordered_map<char32_t, int> pairWidths;

// The drawn width of the surrogate pair at text[at].
__attribute__((noinline)) int PairWidth(HDC dc, const std::wstring& text, size_t at) {
    const char32_t code = 0x10000 + ((static_cast<char32_t>(text[at]) - 0xD800) << 10) + (text[at + 1] - 0xDC00);
    auto found = pairWidths.find(code);
    if (found == pairWidths.end()) {
        const int width = WithFont(dc, NORMAL_TEXT_HEIGHT, [&] {
            RECT box = {0, 0, 0, 0};
            DrawTextW(dc, text.data() + at, 2, &box, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
            return static_cast<int>(box.right - box.left);
        });
        found = pairWidths.emplace(code, std::max(0, width)).first;
    }
    return found->second;
}

// The width of the character at text[at], 0 when it cannot be judged; a surrogate pair counts as one, and `at`
// is moved onto its second half.
int JudgedWidthAt(HDC dc, const std::wstring& text, size_t& at) {
    const wchar_t c = text[at];
    if (!IS_HIGH_SURROGATE(c) || at + 1 >= text.size() || !IS_LOW_SURROGATE(text[at + 1]))
        return JudgedWidth(dc, c);
    return PairWidth(dc, text, at++);
}

int TextWidth(HDC dc, const wchar_t* text, size_t length) {
    SIZE extent = {};
    GetTextExtentPoint32W(dc, text, static_cast<int>(length), &extent);
    return extent.cx;
}

// Whether text[begin, end) holds a character drawn otherwise than its font's own widths say: half of a surrogate
// pair (emoji, rare kanji), or one the exam's font lacks.
bool DrawnInAnotherFont(HDC dc, const std::wstring& text, size_t begin, size_t end) {
    for (size_t k = begin; k < end; ++k) {
        const wchar_t c = text[k];
        if (IS_HIGH_SURROGATE(c) || IS_LOW_SURROGATE(c)) return true;
        JudgedWidth(dc, c);
        if (glyphsLacking[c]) return true;
    }
    return false;
}

// How many characters from text[begin, end) fit `width` pixels, judged from the characters' widths when the normal
// size is selected in `dc` and the answer is clear by more than the rounding allowed; npos means "measure it". Most
// lines of the page are settled so, without asking GDI.
size_t JudgedFittingLength(HDC dc, const std::wstring& text, size_t begin, size_t end, int width) {
    if (GetCurrentObject(dc, OBJ_FONT) != FittedFont(NORMAL_TEXT_HEIGHT)) return std::wstring::npos;
    const long long room = std::max(width, 0);
    long long total = 0;
    for (size_t k = begin; k < end; ++k) {
        const size_t character = k;
        const int character_width = JudgedWidthAt(dc, text, k);
        if (character_width == 0 || k >= end) return std::wstring::npos;
        if (total + character_width > room) {
            const bool clear =
                total <= room - JUDGED_WIDTH_MARGIN && total + character_width > room + JUDGED_WIDTH_MARGIN;
            // The cut is before a surrogate pair that does not fit, never inside it.
            return clear ? character - begin : std::wstring::npos;
        }
        total += character_width;
    }
    return total <= room - JUDGED_WIDTH_MARGIN ? end - begin : std::wstring::npos;
}

// How many characters from text[begin] on fit `width` pixels, at most `end - begin`, with the font selected in
// `dc`, never ending inside a surrogate pair. Text with characters the font lacks is measured as the controls draw
// it, whose widths may differ from the font's own (another font draws them, one glyph for the pair).
size_t FittingLength(HDC dc, const std::wstring& text, size_t begin, size_t end, int width) {
    const size_t judged = JudgedFittingLength(dc, text, begin, end, width);
    if (judged != std::wstring::npos) return judged;
    INT fit = 0;
    SIZE extent = {};
    GetTextExtentExPointW(dc, text.data() + begin, static_cast<int>(end - begin), std::max(width, 0), &fit, nullptr,
                          &extent);
    size_t length = static_cast<size_t>(fit);
    if (DrawnInAnotherFont(dc, text, begin, end)) {
        const auto drawn_width = [&](size_t count) {
            RECT box = {0, 0, 0, 0};
            DrawTextW(dc, text.data() + begin, static_cast<int>(count), &box, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
            return static_cast<int>(box.right - box.left);
        };
        // Another font draws them at most about twice as wide or as narrow as the font's own box: the search starts
        // there, so each line costs measuring only about as much text as it holds.
        size_t low = 0, high = std::min(end - begin, 2 * length + 8);  // low fits; high + 1 does not
        while (low < high) {
            const size_t middle = low + (high - low + 1) / 2;
            if (drawn_width(middle) <= width)
                low = middle;
            else
                high = middle - 1;
        }
        length = low;
    }
    if (length > 0 && begin + length < end && IS_LOW_SURROGATE(text[begin + length]) &&
        IS_HIGH_SURROGATE(text[begin + length - 1]))
        --length;
    return length;
}

}  // namespace

HFONT CreateExamFont(int height, int weight) {
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH, L"Yu Gothic UI");
}

void UseNormalFont(HFONT font) {
    normalFont = font;
    std::fill(std::begin(lineHeights), std::end(lineHeights), 0);
    std::fill(std::begin(optionMargins), std::end(optionMargins), 0);
}

HFONT FittedFont(int height) {
    height = std::clamp(height, 1, NORMAL_TEXT_HEIGHT);
    if (height == NORMAL_TEXT_HEIGHT && normalFont) return normalFont;
    if (!fittedFonts[height]) fittedFonts[height] = CreateExamFont(height, FW_NORMAL);
    return fittedFonts[height];
}

void DeleteFittedFonts() {
    for (HFONT& font : fittedFonts) {
        if (font) DeleteObject(font);
        font = nullptr;
    }
    UseNormalFont(nullptr);
}

bool FitsBox(HDC dc, const std::wstring& text, UINT format, int width, int height, int font_height) {
    return WithFont(dc, font_height, [&] {
        RECT box = {0, 0, width, height};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, format | DT_CALCRECT);
        return box.right <= width && box.bottom <= height;
    });
}

bool SurelyFitsLines(HDC dc, const std::wstring& text, int width, int max_lines) {
    // Units are what no line breaks inside: runs between spaces, cut between two kanji or kana letters. Line
    // breaking may keep a few together (no line starts with "。", "ー" or a small kana), so the widest three in a row
    // count as one word.
    long long total = 0, unit = 0, widest = 0;
    long long last_units[3] = {};
    const auto end_unit = [&] {
        last_units[0] = last_units[1];
        last_units[1] = last_units[2];
        last_units[2] = unit;
        widest = std::max(widest, last_units[0] + last_units[1] + last_units[2]);
        unit = 0;
    };
    for (size_t k = 0; k < text.size(); ++k) {
        const int character_width = JudgedWidthAt(dc, text, k);
        if (character_width == 0) return false;
        total += character_width;
        if (text[k] == L' ') {
            end_unit();
            last_units[0] = last_units[1] = last_units[2] = 0;
            continue;
        }
        if (k > 0 && IsPlainLetter(text[k - 1]) && IsPlainLetter(text[k])) end_unit();
        unit += character_width;
    }
    end_unit();
    const long long room = width - widest - JUDGED_WIDTH_MARGIN;
    return room > 0 && 1 + total / room <= max_lines;
}

int JudgedTextWidth(HDC dc, const std::wstring& text) {
    long long total = 0;
    for (size_t k = 0; k < text.size(); ++k) {
        const int character_width = JudgedWidthAt(dc, text, k);
        if (character_width == 0) return -1;
        total += character_width;
    }
    return static_cast<int>(std::min<long long>(total, 1 << 30));
}

int LineHeight(HDC dc, int height) {
    int& taken = lineHeights[std::clamp(height, 1, NORMAL_TEXT_HEIGHT)];
    if (taken == 0) {
        taken = WithFont(dc, height, [&] {
            TEXTMETRICW metrics = {};
            GetTextMetricsW(dc, &metrics);
            return std::max(1, static_cast<int>(metrics.tmHeight));
        });
    }
    return taken;
}

int OptionTextWidth(HDC dc, int row_width, int height) {
    int& taken = optionMargins[std::clamp(height, 1, NORMAL_TEXT_HEIGHT)];
    if (taken == 0) {
        taken = WithFont(dc, height, [&] {
            INT zero_width = 0;
            GetCharWidth32W(dc, L'0', L'0', &zero_width);
            return (12 * GetDeviceCaps(dc, LOGPIXELSX) / 96 + 1) + zero_width / 2;
        });
    }
    return row_width - taken;
}

std::wstring ExpandTabs(HDC dc, const std::wstring& text, size_t limit) {
    const size_t size = std::min(text.size(), limit);
    if (std::find(text.begin(), text.begin() + size, L'\t') == text.begin() + size) return text.substr(0, size);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    const int tab_width = std::max(1, 8 * static_cast<int>(metrics.tmAveCharWidth));
    const int space_width = std::max(1, TextWidth(dc, L" ", 1));
    std::wstring expanded;
    int x = 0;  // the width of the line so far
    size_t segment = 0;
    for (size_t at = 0; at < size; ++at) {
        const wchar_t c = text[at];
        if (c != L'\t' && !IsLineBreak(c)) continue;
        expanded.append(text, segment, at - segment);
        if (c == L'\t') {
            x += TextWidth(dc, text.data() + segment, at - segment);
            const int stop = (x / tab_width + 1) * tab_width;
            const int spaces = std::max(1, (stop - x + space_width - 1) / space_width);
            expanded.append(static_cast<size_t>(spaces), L' ');
            x += spaces * space_width;
        } else {
            expanded += c;
            x = 0;
        }
        segment = at + 1;
    }
    expanded.append(text, segment, size - segment);
    return expanded;
}

std::pair<size_t, size_t> NextLine(HDC dc, const std::wstring& text, size_t begin, int width) {
    // The piece measured ends at the paragraph's end or WRAP_PIECE characters on.
    const size_t piece_limit = std::min(text.size(), begin + WRAP_PIECE);
    size_t piece_end = begin;
    while (piece_end < piece_limit && !IsLineBreak(text[piece_end])) ++piece_end;
    size_t end = begin + FittingLength(dc, text, begin, piece_end, std::max(width, 1));
    size_t next = end;
    if (end >= piece_end) {
        end = next = piece_end;
        // CR LF, CR, LF, U+2028 and U+2029 each end one line.
        if (next < text.size() && (text[next] == 0x2028 || text[next] == 0x2029)) {
            ++next;
        } else {
            if (next < text.size() && text[next] == L'\r') ++next;
            if (next < text.size() && text[next] == L'\n' && (next == piece_end || text[next - 1] == L'\r')) ++next;
        }
    } else {
        // Break at the last boundary that fits, the characters after it going to the next line; a text with none in
        // the line's width is broken where it must.
        size_t cut = LastBreak(text, begin, end, piece_end);
        if (cut == begin) {
            // Never inside a character as a reader sees it. One wider than the whole line is left out of it, for
            // "…" in its place, and the text goes on after it on the next line.
            cut = CharacterStart(text, begin, std::max(end, begin + 1));
            if (cut == begin) {
                next = CharacterEnd(text, begin, piece_end);
                while (next < piece_end && text[next] == L' ') ++next;
                return {begin, next};
            }
        }
        end = next = cut;
        while (next < piece_end && text[next] == L' ') ++next;
    }
    while (end > begin && std::iswspace(text[end - 1])) --end;
    return {end, next};
}

bool LeavesOutCharacter(const std::wstring& text, size_t end, size_t next) {
    return std::any_of(text.begin() + static_cast<std::ptrdiff_t>(end),
                       text.begin() + static_cast<std::ptrdiff_t>(std::min(next, text.size())),
                       [](wchar_t c) { return !std::iswspace(c); });
}

size_t LineStartAt(HDC dc, const std::wstring& text, size_t at, int width) {
    at = std::min(at, text.size());
    const size_t floor = at > PARAGRAPH_LOOK_BACK ? at - PARAGRAPH_LOOK_BACK : 0;
    size_t begin = at;
    while (begin > floor && !IsLineBreak(text[begin - 1])) --begin;
    if (begin > 0 && begin < at && IS_LOW_SURROGATE(text[begin])) ++begin;
    while (begin < at) {
        const size_t next = NextLine(dc, text, begin, width).second;
        if (next > at) break;
        begin = next;
    }
    return begin;
}

size_t LineStartAbove(HDC dc, const std::wstring& text, size_t from, size_t count, int width) {
    if (count == 0) return from;
    // Wrap forward from a line start far enough back to hold `count` lines, further back each time it does not.
    for (size_t back = 1024;; back *= 2) {
        const size_t anchor = from > back ? LineStartAt(dc, text, from - back, width) : 0;
        std::vector<size_t> starts;
        for (size_t begin = anchor; begin < from;) {
            starts.push_back(begin);
            begin = NextLine(dc, text, begin, width).second;
        }
        if (starts.size() >= count) return starts[starts.size() - count];
        if (anchor == 0) return 0;
    }
}

std::vector<std::pair<size_t, size_t>> WrapLines(HDC dc, const std::wstring& text, int height, int width,
                                                 size_t max_lines) {
    std::vector<std::pair<size_t, size_t>> lines;
    WithFont(dc, height, [&] {
        for (size_t begin = 0; begin < text.size() && lines.size() < max_lines;) {
            const auto [end, next] = NextLine(dc, text, begin, width);
            lines.emplace_back(begin, end);
            begin = next;
        }
        return 0;
    });
    return lines;
}

size_t CutForEllipsis(HDC dc, const std::wstring& text, size_t begin, size_t end, int width) {
    const int room = width - TextWidth(dc, ELLIPSIS, 1);
    size_t cut = begin + FittingLength(dc, text, begin, end, room);
    if (cut >= end) return end;
    const size_t word_cut = LastBreak(text, begin, cut, end);
    cut = word_cut > begin ? word_cut : CharacterStart(text, begin, cut);
    while (cut > begin && std::iswspace(text[cut - 1])) --cut;
    return cut;
}
