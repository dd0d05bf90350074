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

// Converts UTF-16 to UTF-8; a lone surrogate becomes U+FFFD. Utf8FromWide(Utf8ToWide(x)) is `x` made well-formed.
std::string Utf8FromWide(const std::wstring& text);
