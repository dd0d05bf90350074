// Measuring texts in the exam's font and wrapping them into lines; see text_fitting.h.
#include "text_fitting.h"

#include <usp10.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <unordered_map>

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
        charWidths.assign(0x10000, 0);
        widthBlocksTaken.assign(0x10000 / WIDTH_BLOCK, false);
        glyphsLacking.assign(0x10000, false);
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

// Japanese, Chinese and similar scripts break between any two characters, but for full-width Latin letters and
// digits, which keep together as their half-width forms do.
bool BreaksAnywhere(wchar_t c) {
    if ((c >= 0xFF10 && c <= 0xFF19) || (c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A)) return false;
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

// Small kana and the long-vowel marks, which no line starts with in strict Japanese line breaking. Unicode leaves
// them to the implementation (class CJ): Wine's analysis keeps them from a line's start, Windows documents nothing.
bool IsSmallKanaOrProlonged(wchar_t c) {
    static constexpr wchar_t SMALL[] = L"ぁぃぅぇぉっゃゅょゎゕゖァィゥェォッャュョヮヵヶーｧｨｩｪｫｬｭｮｯｰ";
    return std::find(std::begin(SMALL), std::end(SMALL) - 1, c) != std::end(SMALL) - 1 || (c >= 0x31F0 && c <= 0x31FF);
}

// Kanji and kana letters but small ones: any two in a row may be broken between, in any line breaking.
bool IsPlainLetter(wchar_t c) {
    return ((c >= 0x3041 && c <= 0x3096) || (c >= 0x30A1 && c <= 0x30FA) || (c >= 0x3400 && c <= 0x4DBF) ||
            (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF)) &&
           !IsSmallKanaOrProlonged(c);
}

// Whether a line may end just before position `at` (0 < at < size) by the page's own rules: at a space (as always),
// or next to a character of Japanese and similar scripts but never before a small kana or the long-vowel mark, so
// a run of Latin letters and digits (a word, a number with its decimal point, a URL) stays whole.
bool IsWordBoundary(const std::wstring& text, size_t at) {
    if (std::iswspace(text[at])) return true;
    if (IS_LOW_SURROGATE(text[at]) || IsSmallKanaOrProlonged(text[at])) return false;
    return BreaksAnywhere(text[at - 1]) || BreaksAnywhere(text[at]);
}

// U+2028 and U+2029 end a line as a line feed does.
bool IsLineBreak(wchar_t c) { return c == L'\n' || c == L'\r' || c == 0x2028 || c == 0x2029; }

// Uniscribe's ScriptBreak, loaded on first need: a bank whose texts fit the controls never breaks a line itself.
// Null when it cannot be had, or when it does not break between two kanji asked as the label's wrapping asks (text
// of no particular script); lines then break by the page's own rules and a table of Japanese punctuation.
using ScriptBreakFunction = HRESULT(WINAPI*)(const WCHAR*, int, const SCRIPT_ANALYSIS*, SCRIPT_LOGATTR*);
ScriptBreakFunction SystemLineBreaking() {
    static const ScriptBreakFunction function = [] {
        const HMODULE library = LoadLibraryW(L"usp10.dll");
        const auto script_break = reinterpret_cast<ScriptBreakFunction>(
            reinterpret_cast<void (*)()>(library ? GetProcAddress(library, "ScriptBreak") : nullptr));
        SCRIPT_ANALYSIS analysis = {};
        analysis.eScript = SCRIPT_UNDEFINED;
        SCRIPT_LOGATTR attributes[2] = {};
        const bool breaks_japanese =
            script_break && SUCCEEDED(script_break(L"日本", 2, &analysis, attributes)) && attributes[1].fSoftBreak;
        return breaks_japanese ? script_break : nullptr;
    }();
    return function;
}

// Whether Japanese forbids a line to end before `at` by the rules any line breaking of Unicode's knows (closing
// marks, "?", "!", iteration marks and "…" never start a line, opening brackets never end one, "――" stays whole):
// asked only when the system cannot tell.
bool ForbiddenByTable(const std::wstring& text, size_t at) {
    static constexpr wchar_t NO_START[] = L"、。，．）」』】〕｝〉》］｡､｣),.:;?!]}・：；？！ゝゞヽヾ々…‥〜";
    static constexpr wchar_t NO_END[] = L"「『（【〔｛〈《［｢([{";
    const wchar_t before = text[at - 1], after = text[at];
    return std::wcschr(NO_START, after) || std::wcschr(NO_END, before) ||
           (before == after && (after == L'―' || after == L'—'));
}

// The system's line-break opportunities in text[begin, end), as the label's own wrapping asks for them: one item of
// no particular script. Empty when the system cannot tell.
std::vector<SCRIPT_LOGATTR> SystemBreaks(const std::wstring& text, size_t begin, size_t end) {
    std::vector<SCRIPT_LOGATTR> attributes(end - begin);
    SCRIPT_ANALYSIS analysis = {};
    analysis.eScript = SCRIPT_UNDEFINED;
    const ScriptBreakFunction script_break = SystemLineBreaking();
    if (!script_break ||
        FAILED(script_break(text.data() + begin, static_cast<int>(end - begin), &analysis, attributes.data())))
        attributes.clear();
    return attributes;
}

// The last position in (begin, from] before which a line of text[begin, limit) may end, or `begin` when there is
// none: a word boundary of the page's own rules that the system's line breaking allows too (it keeps closing
// marks, "?", "!", iteration marks and "……" from a line's start, and opening brackets from its end). Only a line
// that breaks next to Japanese and similar scripts asks the system.
size_t LastBreak(const std::wstring& text, size_t begin, size_t from, size_t limit) {
    std::vector<SCRIPT_LOGATTR> system;
    bool asked = false;
    for (size_t cut = from; cut > begin; --cut) {
        if (!IsWordBoundary(text, cut)) continue;
        if (std::iswspace(text[cut])) return cut;
        if (!asked) {
            system = SystemBreaks(text, begin, std::min(limit, from + 2));
            asked = true;
        }
        if (system.empty() ? !ForbiddenByTable(text, cut) : system[cut - begin].fSoftBreak) return cut;
    }
    return begin;
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

// LabelBreaksWhereForbidden with the exam font already selected: the label's lines as Wine's DrawText breaks them.
bool LabelBreaksWhereForbiddenInFont(HDC dc, const std::wstring& text, int width) {
    for (size_t begin = 0; begin < text.size();) {
        size_t line_end = begin;
        while (line_end < text.size() && text[line_end] != L'\r' && text[line_end] != L'\n') ++line_end;
        INT fit = 0;
        SIZE extent = {};
        GetTextExtentExPointW(dc, text.data() + begin, static_cast<int>(line_end - begin), width, &fit, nullptr,
                              &extent);
        if (begin + static_cast<size_t>(fit) >= line_end) {
            begin = line_end;
            if (begin < text.size() && text[begin] == L'\r') ++begin;
            if (begin < text.size() && text[begin] == L'\n') ++begin;
            continue;
        }
        // The label breaks before the last opportunity the system gives that fits, dropping one space there.
        size_t cut = begin + static_cast<size_t>(fit);
        const std::vector<SCRIPT_LOGATTR> system = SystemBreaks(text, begin, std::min(line_end, cut + 2));
        if (system.empty()) return false;
        while (cut > begin && !system[cut - begin].fSoftBreak) --cut;
        // With none, the label runs the word past its width, which measuring it finds.
        if (cut == begin) return false;
        // A break the page would not make, unless the page too must break where it can in this line.
        if (!std::iswspace(text[cut - 1]) && !IsWordBoundary(text, cut) &&
            LastBreak(text, begin, begin + static_cast<size_t>(fit), line_end) > begin)
            return true;
        begin = cut + (text[cut] == L' ' ? 1 : 0);
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
            cut = std::max(end, begin + 1);
            if (cut < piece_end && IS_LOW_SURROGATE(text[cut])) ++cut;
        }
        end = next = cut;
        while (next < piece_end && text[next] == L' ') ++next;
    }
    while (end > begin && std::iswspace(text[end - 1])) --end;
    return {end, next};
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
    if (word_cut > begin) cut = word_cut;
    if (cut > begin && cut < text.size() && IS_LOW_SURROGATE(text[cut])) --cut;
    while (cut > begin && std::iswspace(text[cut - 1])) --cut;
    return cut;
}

bool LabelBreaksWhereForbidden(HDC dc, const std::wstring& text, int height, int width) {
    if (std::none_of(text.begin(), text.end(), BreaksAnywhere) || text.find(L'\t') != std::wstring::npos) return false;
    return WithFont(dc, height, [&] { return LabelBreaksWhereForbiddenInFont(dc, text, width); });
}
