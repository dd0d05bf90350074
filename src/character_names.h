// The names Unicode gives the characters a bank author is told about, so a note can say which look-alike it found.
#pragma once

#include <cstddef>
#include <string>

// Unicode's name of `code` ("LEFT DOUBLE QUOTATION MARK"), or an empty string for a character not in the table.
std::string CharacterName(char32_t code);
// "U+201C LEFT DOUBLE QUOTATION MARK", or only "U+xxxx" when the name is not known.
std::string CodePointText(char32_t code);
// "“ (U+201C LEFT DOUBLE QUOTATION MARK)"; an invisible or control character by its code point alone.
std::string Named(char32_t code);
// "0x8E 0xBF": up to `count` bytes of `text` from byte `at`, by their values.
std::string ByteList(const std::string& text, size_t at, size_t count);
// Columns a character takes in a terminal or an editor's fixed-width font: East Asian wide and full-width forms two,
// combining marks and invisible joiners none.
size_t ColumnsOf(char32_t code);
// The UTF-8 of one character.
std::string Utf8Of(char32_t code);
