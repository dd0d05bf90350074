// A spreadsheet's text file decoded to UTF-8: its encoding found from its bytes, since spreadsheets write no
// declaration of it, or taken from the author; a reading that may be wrong is refused rather than guessed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// How a text table's bytes are to be read: found from the bytes, or as the author says.
enum class TextEncoding { Found, Utf8, ShiftJis, Windows1252, Utf16Le, Utf16Be };

// A table's text in UTF-8, and how its bytes were read.
struct DecodedText {
    std::string encoding;  // "UTF-8", "UTF-8 with a byte-order mark", "UTF-16 little-endian", "Shift_JIS", ...
    std::string text;      // without the byte-order mark; when refused at a place, the text before that place
    // The text is the bytes themselves from `skipped` on (UTF-8 is read where it lies, not copied): `text` is empty.
    bool in_place = false;
    size_t skipped = 0;
    std::string refused;  // when the bytes are not read: what was seen, and what to do; empty otherwise
    bool placed = false;  // the refusal is at the end of `text`, a place in the table, rather than of the whole file
};

// The bytes decoded to UTF-8. Found: a byte-order mark of UTF-8, UTF-16 little- or big-endian; UTF-16 without a mark
// from its zero bytes; UTF-8 when the bytes are valid UTF-8; otherwise Shift_JIS (code page 932) on evidence of
// Japanese text or Windows-1252 (code page 1252) on evidence of Western text, and a refusal showing both readings
// when each is plausible. An encoding the author chose is read as it is, and a byte not valid in it is refused.
DecodedText DecodeText(const std::string& bytes, TextEncoding encoding = TextEncoding::Found);

// The decoded text as one view, wherever it lies.
std::string_view TextOf(const DecodedText& decoded, const std::string& bytes);
