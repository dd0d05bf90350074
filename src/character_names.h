// The names Unicode gives the characters a bank author is told about, so a note can say which look-alike it found.
#pragma once

#include <string>

// Unicode's name of `code` ("LEFT DOUBLE QUOTATION MARK"), or an empty string for a character not in the table.
std::string CharacterName(char32_t code);
// "U+201C LEFT DOUBLE QUOTATION MARK", or only "U+xxxx" when the name is not known.
std::string CodePointText(char32_t code);
