// Where a line of text may break; see line_breaking.h.
#include "line_breaking.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <usp10.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <vector>

#include "grapheme_clusters.h"
#include "unicode_tables.h"

namespace {

// Small kana and the long-vowel marks, which no line starts with in strict Japanese line breaking. Unicode leaves
// them to the implementation (class CJ): Wine's analysis keeps them from a line's start, Windows documents nothing.
bool IsSmallKanaOrProlonged(wchar_t c) {
    static constexpr wchar_t SMALL[] = L"ぁぃぅぇぉっゃゅょゎゕゖァィゥェォッャュョヮヵヶーｧｨｩｪｫｬｭｮｯｰ";
    return std::find(std::begin(SMALL), std::end(SMALL) - 1, c) != std::end(SMALL) - 1 || (c >= 0x31F0 && c <= 0x31FF);
}

// What no line of Japanese starts with, by the rules any line breaking of Unicode's knows: closing marks, "?", "!",
// iteration marks, "…" and "‥".
constexpr wchar_t NO_LINE_START[] = L"、。，．）」』】〕｝〉》］｡､｣),.:;?!]}・：；？！ゝゞヽヾ々…‥〜";

// What stays with what precedes it even across spaces: closing marks, "?", "!", ";" and ":", half-width and
// full-width, as Unicode's line breaking keeps them ("bonne réponse ?" never puts "?" at the start of a line), and
// whatever no line of Japanese starts with, spaces or not (a small kana, "ー", "…").
bool StaysAfterSpaces(wchar_t c) {
    static constexpr wchar_t MARKS[] = L")]}?!;:、。，．）」』】〕｝〉》］｡､｣：；？！";
    return c != L'\0' &&
           (std::wcschr(MARKS, c) || IsSmallKanaOrProlonged(c) || (c >= 0x80 && std::wcschr(NO_LINE_START, c)));
}

// Whether no line may break before or after `c`: no-break spaces and joiners (line breaking classes GL and WJ).
bool GluesNeighbours(wchar_t c) {
    const auto after = std::upper_bound(std::begin(NO_BREAK_RANGES), std::end(NO_BREAK_RANGES), char32_t{c},
                                        [](char32_t code, const auto& range) { return code < range.first; });
    return after != std::begin(NO_BREAK_RANGES) && std::prev(after)->last >= c;
}

// A space a line may break at: any white space but the no-break ones (U+00A0, U+2007, U+202F).
bool IsBreakingSpace(wchar_t c) { return std::iswspace(c) && !GluesNeighbours(c); }

// Whether a line may end just before position `at` (0 < at < size) by the page's own rules: at a space (as always),
// or next to a character of Japanese and similar scripts but never before a small kana or the long-vowel mark, so
// a run of Latin letters and digits (a word, a number with its decimal point, a URL) stays whole.
bool IsWordBoundary(const std::wstring& text, size_t at) {
    if (GluesNeighbours(text[at]) || GluesNeighbours(text[at - 1])) return false;
    if (IsBreakingSpace(text[at])) return true;
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
    static constexpr wchar_t NO_END[] = L"「『（【〔｛〈《［｢([{";
    const wchar_t before = text[at - 1], after = text[at];
    return std::wcschr(NO_LINE_START, after) || std::wcschr(NO_END, before) ||
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

// ICU's character boundaries, as Windows 10 and 11 ship it (icu.dll), loaded on first need like ScriptBreak: one
// iterator, made once and handed each text in turn. Used only when it knows Unicode 15.1 or later, whose clusters
// keep Indic conjuncts whole (GB9c); an older one (Windows 10's) splits them where the generated tables do not, and
// Wine has none, so those use the tables. The library is looked for in the system folder only, never in the bank's.
struct CharacterBoundaries {
    using SetText = void(__cdecl*)(void* iterator, const wchar_t* text, int32_t length, int* status);
    using Move = int32_t(__cdecl*)(void* iterator, int32_t offset);
    void* iterator = nullptr;
    SetText set_text = nullptr;
    Move following = nullptr;
    Move preceding = nullptr;
};
const CharacterBoundaries* SystemCharacterBoundaries() {
    static const CharacterBoundaries boundaries = [] {
        CharacterBoundaries found;
        const HMODULE library = LoadLibraryExW(L"icu.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!library) return found;
        const auto get = [&](const char* name) { return reinterpret_cast<void (*)()>(GetProcAddress(library, name)); };
        using Version = void(__cdecl*)(uint8_t version[4]);
        using Open = void*(__cdecl*)(int type, const char* locale, const wchar_t* text, int32_t length, int* status);
        const auto unicode_version = reinterpret_cast<Version>(get("u_getUnicodeVersion"));
        const auto open = reinterpret_cast<Open>(get("ubrk_open"));
        uint8_t version[4] = {};
        if (unicode_version) unicode_version(version);
        if (!open || version[0] < 15 || (version[0] == 15 && version[1] < 1)) return found;
        constexpr int CHARACTER_ITERATOR = 0;  // UBRK_CHARACTER
        int status = 0;
        found.iterator = open(CHARACTER_ITERATOR, "", nullptr, 0, &status);
        if (status > 0) found.iterator = nullptr;
        found.set_text = reinterpret_cast<CharacterBoundaries::SetText>(get("ubrk_setText"));
        found.following = reinterpret_cast<CharacterBoundaries::Move>(get("ubrk_following"));
        found.preceding = reinterpret_cast<CharacterBoundaries::Move>(get("ubrk_preceding"));
        return found;
    }();
    return boundaries.iterator && boundaries.set_text && boundaries.following && boundaries.preceding ? &boundaries
                                                                                                      : nullptr;
}

// ICU's boundary before or after `offset` in text[begin, end), measured from `begin`; -1 when ICU cannot tell.
int32_t SystemBoundary(const std::wstring& text, size_t begin, size_t end, int32_t offset, bool after) {
    const CharacterBoundaries* icu = SystemCharacterBoundaries();
    if (!icu) return -1;
    int status = 0;
    icu->set_text(icu->iterator, text.data() + begin, static_cast<int32_t>(end - begin), &status);
    if (status > 0) return -1;
    return (after ? icu->following : icu->preceding)(icu->iterator, offset);
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
        if (!IsWordBoundary(text, cut) || (StaysAfterSpaces(text[cut]) && IsBreakingSpace(text[cut - 1]))) continue;
        if (IsBreakingSpace(text[cut])) {
            size_t after = cut;
            while (after < limit && IsBreakingSpace(text[after]) && !IsLineBreak(text[after])) ++after;
            if (after < limit && StaysAfterSpaces(text[after])) continue;
            return cut;
        }
        if (!asked) {
            system = SystemBreaks(text, begin, std::min(limit, from + 2));
            asked = true;
        }
        // Neither knows a kanji's variation selector or a kana's combining voiced mark as part of it.
        if ((system.empty() ? !ForbiddenByTable(text, cut) : system[cut - begin].fSoftBreak) &&
            CharacterStart(text, begin, cut) == cut)
            return cut;
    }
    return begin;
}

size_t CharacterStart(const std::wstring& text, size_t begin, size_t at) {
    if (at >= text.size() || at <= begin) return std::min(at, text.size());
    // A boundary depends only on what comes before it and the character after it, so the text after the character
    // at `at` (a surrogate pair, perhaps) is not needed.
    const size_t limit = std::min(text.size(), at + 2);
    const int32_t system = SystemBoundary(text, begin, limit, static_cast<int32_t>(at - begin + 1), false);
    if (system >= 0) return begin + static_cast<size_t>(system);
    for (size_t start = begin;;) {
        const size_t end = GraphemeClusterEnd(text, start, limit);
        if (end > at) return start;
        start = end;
    }
}

size_t CharacterEnd(const std::wstring& text, size_t at, size_t limit) {
    if (at >= limit) return limit;
    const int32_t system = SystemBoundary(text, at, limit, 0, true);
    return system > 0 ? at + static_cast<size_t>(system) : GraphemeClusterEnd(text, at, limit);
}
