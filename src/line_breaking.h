// Where a line of text may break, with no drawing and no device context: at spaces and line breaks, between the
// characters of Japanese and similar scripts where strict Japanese line breaking allows it (the system's analysis,
// loaded on first need, or a table of Japanese punctuation when the system cannot tell), and, where a line must
// break with no such place, only between characters as a reader sees them (Unicode's extended grapheme clusters).
// text_fitting.h measures and wraps with these rules.
#pragma once

#include <cstddef>
#include <string>

// CR, LF, U+2028 and U+2029 each end a line.
bool IsLineBreak(wchar_t c);
// Characters of Japanese, Chinese and similar scripts, between which a line may break (but full-width Latin
// letters and digits, which keep together as their half-width forms do).
bool BreaksAnywhere(wchar_t c);
// Whether `text` holds such a character.
bool HoldsJapanese(const std::wstring& text);
// Kanji and kana letters but small ones: any two in a row may be broken between, in any line breaking.
bool IsPlainLetter(wchar_t c);
// White space as Unicode defines it (ASCII's, no-break, en and em spaces, U+2028, U+3000, ...).
bool IsWhiteSpace(wchar_t c);

// The last position in (begin, from] before which a line of text[begin, limit) may end, or `begin` when there is
// none. A line may end before a space (but a no-break one: U+00A0, U+2007, U+202F) unless the spaces are followed by
// a closing mark, "?", "!", ";" or ":" (French "bonne réponse ?", Japanese typed with spaces), or by what no line of
// Japanese starts with, which stays with what precedes it; and next to a character of Japanese and similar scripts
// where Japanese allows it: no line starts with closing punctuation, "?", "!", an iteration mark, the long-vowel
// mark, a small kana, "…" or "‥", none ends with an opening bracket, "……" and "――" stay whole, and a run of Latin
// letters and digits (a word, a number, a URL) is not broken inside. Never next to a no-break space or a word joiner
// (line breaking classes GL and WJ), nor inside a character as a reader sees it.
size_t LastBreak(const std::wstring& text, size_t begin, size_t from, size_t limit);

// Where the character as a reader sees it that holds text[at] starts, no further back than `begin`, which starts one:
// an extended grapheme cluster as Unicode defines it (a base with its combining marks, a Thai vowel sign, an Indic
// conjunct, a Hangul syllable of jamo, a kanji with its variation selector, emoji joined by ZWJ or with a modifier,
// a flag's pair of letters). The system's ICU finds them where it knows Unicode 15.1 or later, tables generated from
// Unicode's data elsewhere (grapheme_clusters.h).
size_t CharacterStart(const std::wstring& text, size_t begin, size_t at);
// Where the character that starts at text[at] ends, no further than `limit`.
size_t CharacterEnd(const std::wstring& text, size_t at, size_t limit);
