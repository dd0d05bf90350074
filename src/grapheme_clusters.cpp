// Extended grapheme clusters by Unicode's rules and its generated tables; see grapheme_clusters.h.
#include "grapheme_clusters.h"

#include <algorithm>
#include <iterator>

#include "unicode_tables.h"

namespace {

// Grapheme_Cluster_Break values, in the generated tables' order.
enum GraphemeBreak : unsigned char {
    OTHER, CR, LF, CONTROL, EXTEND, ZWJ, REGIONAL_INDICATOR, PREPEND, SPACING_MARK, L, V, T, LV, LVT
};
enum ConjunctBreak : unsigned char { NO_CONJUNCT, CONSONANT, LINKER, CONJUNCT_EXTEND };

struct Properties {
    GraphemeBreak grapheme = OTHER;
    bool pictographic = false;
    ConjunctBreak conjunct = NO_CONJUNCT;
};

Properties PropertiesOf(char32_t code) {
    const auto after = std::upper_bound(std::begin(GRAPHEME_RANGES), std::end(GRAPHEME_RANGES), code,
                                        [](char32_t c, const auto& range) { return c < range.first; });
    if (after == std::begin(GRAPHEME_RANGES) || std::prev(after)->last < code) return {};
    const unsigned kind = std::prev(after)->kind;
    return {static_cast<GraphemeBreak>(kind & 15), (kind & 16) != 0, static_cast<ConjunctBreak>(kind >> 5)};
}

// The code point at text[at] and how many units it takes: a surrogate pair is one, half of one stands alone.
char32_t CodePointAt(const std::wstring& text, size_t at, size_t limit, size_t& units) {
    const char32_t first = text[at];
    units = 1;
    if (first >= 0xD800 && first <= 0xDBFF && at + 1 < limit && text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF) {
        units = 2;
        return 0x10000 + ((first - 0xD800) << 10) + (text[at + 1] - 0xDC00);
    }
    return first;
}

}  // namespace

// The rules look only backwards, so one pass from the cluster's start carries all they need: the run of regional
// indicators, an emoji and its extenders up to a ZWJ, and a consonant with its linkers.
size_t GraphemeClusterEnd(const std::wstring& text, size_t at, size_t limit) {
    if (at >= limit) return limit;
    size_t units = 0;
    Properties before = PropertiesOf(CodePointAt(text, at, limit, units));
    size_t end = at + units;
    size_t regional_indicators = before.grapheme == REGIONAL_INDICATOR;
    // 0: none; 1: an Extended_Pictographic and its Extends; 2: those and a ZWJ (GB11).
    int emoji = before.pictographic ? 1 : 0;
    // 0: none; 1: a consonant and what extends it; 2: those and a linker (GB9c).
    int conjunct = before.conjunct == CONSONANT ? 1 : 0;
    for (; end < limit; end += units) {
        const Properties after = PropertiesOf(CodePointAt(text, end, limit, units));
        const GraphemeBreak b = before.grapheme, a = after.grapheme;
        bool joins = false;
        if (b == CR && a == LF)
            joins = true;  // GB3
        else if (b == CR || b == LF || b == CONTROL || a == CR || a == LF || a == CONTROL)
            joins = false;  // GB4, GB5
        else if (b == L && (a == L || a == V || a == LV || a == LVT))
            joins = true;  // GB6
        else if ((b == LV || b == V) && (a == V || a == T))
            joins = true;  // GB7
        else if ((b == LVT || b == T) && a == T)
            joins = true;  // GB8
        else if (a == EXTEND || a == ZWJ || a == SPACING_MARK || b == PREPEND)
            joins = true;  // GB9, GB9a, GB9b
        else if (conjunct == 2 && after.conjunct == CONSONANT)
            joins = true;  // GB9c
        else if (emoji == 2 && b == ZWJ && after.pictographic)
            joins = true;  // GB11
        else if (b == REGIONAL_INDICATOR && a == REGIONAL_INDICATOR)
            joins = regional_indicators % 2 == 1;  // GB12, GB13
        if (!joins) break;

        regional_indicators = a == REGIONAL_INDICATOR ? regional_indicators + 1 : 0;
        if (after.pictographic)
            emoji = 1;
        else if (emoji >= 1 && a == EXTEND)
            emoji = emoji == 1 ? 1 : 0;
        else
            emoji = emoji == 1 && a == ZWJ ? 2 : 0;
        if (after.conjunct == CONSONANT)
            conjunct = 1;
        else if (conjunct >= 1 && after.conjunct == LINKER)
            conjunct = 2;
        else if (conjunct == 0 || after.conjunct != CONJUNCT_EXTEND)
            conjunct = 0;
        before = after;
    }
    return std::min(end, limit);
}

const char* GraphemeTablesVersion() { return UNICODE_TABLES_VERSION; }
