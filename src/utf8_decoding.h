// UTF-8 to UTF-16: every text the program shows comes from the bank's UTF-8 and goes to Windows as UTF-16. The
// bank checker goes back to UTF-8 for what it prints.
#pragma once

#include <string>
#include <string_view>

// Converts UTF-8 to UTF-16; ill-formed bytes become U+FFFD and the result ends at the first NUL.
std::wstring Utf8ToWide(const std::string& text);

// The same conversion for text already known to be well-formed UTF-8 (the parser checks every string of a bank),
// decoded here instead of by the system: a large bank holds half a million texts. The result ends at the first NUL;
// `held_nul`, when given, says whether there was one.
std::wstring WideFromCheckedUtf8(std::string_view text, bool* held_nul = nullptr);

// "…", in UTF-8, where a text is shortened.
inline constexpr char ELLIPSIS_UTF8[] = "\xE2\x80\xA6";

// What Utf8CodePointAt gives for bytes that are not UTF-8.
constexpr char32_t NOT_UTF8 = 0xFFFFFFFF;
// The character at byte `at` of `text` (at < size), as strict as the JSON reader: an overlong form, a surrogate or a
// cut sequence is not UTF-8. `length` is its bytes; for bytes that are not UTF-8, NOT_UTF8 with `length` the bytes of
// the longest start of a sequence there (1 when the first byte starts none), as Unicode counts one U+FFFD.
char32_t Utf8CodePointAt(std::string_view text, size_t at, size_t& length);

// Converts UTF-16 to UTF-8; a lone surrogate becomes U+FFFD. Utf8FromWide(Utf8ToWide(x)) is `x` made well-formed.
std::string Utf8FromWide(const std::wstring& text);
