// Where a line of text may break; see line_breaking.h.
#include "line_breaking.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <usp10.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <vector>

namespace {

constexpr wchar_t ZERO_WIDTH_JOINER = 0x200D;

// Small kana and the long-vowel marks, which no line starts with in strict Japanese line breaking. Unicode leaves
// them to the implementation (class CJ): Wine's analysis keeps them from a line's start, Windows documents nothing.
bool IsSmallKanaOrProlonged(wchar_t c) {
    static constexpr wchar_t SMALL[] = L"ぁぃぅぇぉっゃゅょゎゕゖァィゥェォッャュョヮヵヶーｧｨｩｪｫｬｭｮｯｰ";
    return std::find(std::begin(SMALL), std::end(SMALL) - 1, c) != std::end(SMALL) - 1 || (c >= 0x31F0 && c <= 0x31FF);
}

// Closing marks, "?", "!", ";" and ":", half-width and full-width, which Unicode's line breaking keeps with what
// precedes them even across spaces: "bonne réponse ?" never puts "?" at the start of a line.
bool StaysAfterSpaces(wchar_t c) {
    static constexpr wchar_t MARKS[] = L")]}?!;:、。，．）」』】〕｝〉》］｡､｣：；？！";
    return c != L'\0' && std::wcschr(MARKS, c);
}

// Whether a line may end just before position `at` (0 < at < size) by the page's own rules: at a space (as always),
// or next to a character of Japanese and similar scripts but never before a small kana or the long-vowel mark, so
// a run of Latin letters and digits (a word, a number with its decimal point, a URL) stays whole.
bool IsWordBoundary(const std::wstring& text, size_t at) {
    if (std::iswspace(text[at])) return true;
    if (IS_LOW_SURROGATE(text[at]) || IsSmallKanaOrProlonged(text[at])) return false;
    return BreaksAnywhere(text[at - 1]) || BreaksAnywhere(text[at]);
}

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

// The system's line-break opportunities in text[begin, end), asked as a label's own wrapping asks for them: one
// item of no particular script. Empty when the system cannot tell.
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

// The code point of the surrogate pair at text[at], or 0 when there is none.
char32_t PairAt(const std::wstring& text, size_t at) {
    if (at + 1 >= text.size() || !IS_HIGH_SURROGATE(text[at]) || !IS_LOW_SURROGATE(text[at + 1])) return 0;
    return 0x10000 + ((static_cast<char32_t>(text[at]) - 0xD800) << 10) + (text[at + 1] - 0xDC00);
}

bool IsRegionalIndicator(char32_t code) { return code >= 0x1F1E6 && code <= 0x1F1FF; }

// Whether text[at] belongs to the character before it as a reader sees it: the second half of a surrogate pair, a
// combining mark or vowel sign, a joiner or what it joins, a variation selector, a skin-tone modifier, an emoji
// tag, or the second letter of a flag. The system's own character types tell marks from letters.
bool ContinuesCharacter(const std::wstring& text, size_t at) {
    if (at == 0 || at >= text.size()) return false;
    const wchar_t c = text[at], before = text[at - 1];
    if (IS_LOW_SURROGATE(c)) return IS_HIGH_SURROGATE(before);
    if (before == ZERO_WIDTH_JOINER || c == ZERO_WIDTH_JOINER || (c >= 0xFE00 && c <= 0xFE0F)) return true;
    if (const char32_t code = PairAt(text, at)) {
        if ((code >= 0x1F3FB && code <= 0x1F3FF) || (code >= 0xE0020 && code <= 0xE007F) ||
            (code >= 0xE0100 && code <= 0xE01EF))
            return true;
        if (!IsRegionalIndicator(code)) return false;
        // Letters of flags pair off from the first of their run.
        size_t before_run = 0;
        for (size_t k = at; k >= 2 && IsRegionalIndicator(PairAt(text, k - 2)); k -= 2) ++before_run;
        return before_run % 2 == 1;
    }
    WORD marks = 0, kind = 0;
    GetStringTypeW(CT_CTYPE3, &c, 1, &marks);
    GetStringTypeW(CT_CTYPE1, &c, 1, &kind);
    return (marks & (C3_NONSPACING | C3_VOWELMARK)) != 0 && (kind & C1_ALPHA) == 0;
}

}  // namespace

bool IsLineBreak(wchar_t c) { return c == L'\n' || c == L'\r' || c == 0x2028 || c == 0x2029; }

bool BreaksAnywhere(wchar_t c) {
    if ((c >= 0xFF10 && c <= 0xFF19) || (c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A)) return false;
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

bool HoldsJapanese(const std::wstring& text) { return std::any_of(text.begin(), text.end(), BreaksAnywhere); }

bool IsPlainLetter(wchar_t c) {
    return ((c >= 0x3041 && c <= 0x3096) || (c >= 0x30A1 && c <= 0x30FA) || (c >= 0x3400 && c <= 0x4DBF) ||
            (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF)) &&
           !IsSmallKanaOrProlonged(c);
}

bool IsWhiteSpace(wchar_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

size_t LastBreak(const std::wstring& text, size_t begin, size_t from, size_t limit) {
    std::vector<SCRIPT_LOGATTR> system;
    bool asked = false;
    for (size_t cut = from; cut > begin; --cut) {
        if (!IsWordBoundary(text, cut) || (StaysAfterSpaces(text[cut]) && std::iswspace(text[cut - 1]))) continue;
        if (std::iswspace(text[cut])) {
            size_t after = cut;
            while (after < limit && std::iswspace(text[after]) && !IsLineBreak(text[after])) ++after;
            if (after < limit && StaysAfterSpaces(text[after])) continue;
            return cut;
        }
        if (!asked) {
            system = SystemBreaks(text, begin, std::min(limit, from + 2));
            asked = true;
        }
        if (system.empty() ? !ForbiddenByTable(text, cut) : system[cut - begin].fSoftBreak) return cut;
    }
    return begin;
}

size_t CharacterStart(const std::wstring& text, size_t begin, size_t at) {
    while (at > begin && ContinuesCharacter(text, at)) --at;
    return at;
}

size_t CharacterEnd(const std::wstring& text, size_t at, size_t limit) {
    if (at < limit) ++at;
    while (at < limit && ContinuesCharacter(text, at)) ++at;
    return at;
}
