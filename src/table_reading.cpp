// Reading a table that a spreadsheet saved as text. The encoding is found from the bytes alone, since spreadsheets
// write no declaration of it: a byte-order mark says it outright; without one, UTF-8 is tried first because a
// Shift_JIS text is almost never valid UTF-8, while plain ASCII is both and reads the same either way.
#include "table_reading.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "bank_messages.h"
#include "utf8_decoding.h"

namespace {

constexpr UINT SHIFT_JIS_CODE_PAGE = 932;

// Where the first ill-formed UTF-8 sequence of `text` starts, or npos, and in `bad` how many of its bytes it takes to
// see that: no overlong forms, surrogates or code points beyond U+10FFFF, as the JSON writer and the exam's parser
// require.
size_t FirstBadUtf8(const std::string& text, size_t& bad) {
    for (size_t at = 0, length = 1; at < text.size(); at += length) {
        if (Utf8CodePointAt(text, at, length) != NOT_UTF8) continue;
        // The start of a sequence is seen to be wrong at the byte after it; a byte that starts none, at itself.
        const auto lead = static_cast<unsigned char>(text[at]);
        bad = lead >= 0xC2 && lead <= 0xF4 ? length + 1 : 1;
        return at;
    }
    return std::string::npos;
}

// `text` in code page 932, or false when a byte sequence is not a character of it.
bool FromShiftJis(const char* text, size_t size, std::wstring& wide) {
    if (size == 0) return true;
    const int n = MultiByteToWideChar(SHIFT_JIS_CODE_PAGE, MB_ERR_INVALID_CHARS, text, static_cast<int>(size),
                                      nullptr, 0);
    if (n <= 0) return false;
    wide.resize(static_cast<size_t>(n));
    return MultiByteToWideChar(SHIFT_JIS_CODE_PAGE, MB_ERR_INVALID_CHARS, text, static_cast<int>(size), &wide[0],
                               n) == n;
}

// Where the first byte sequence that is not a Shift_JIS character starts, and in `bad` its length: only looked for
// once the whole text has been refused, so one character at a time is quick enough.
size_t FirstBadShiftJis(const std::string& text, size_t& bad) {
    std::wstring wide;
    for (size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const size_t length =
            ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) && at + 1 < text.size() ? 2 : 1;
        bad = length;
        if (!FromShiftJis(text.data() + at, length, wide)) return at;
        at += length;
    }
    return std::string::npos;
}

// "byte 1235 (line 5), E9 74 20": where `offset` (from 0) is in `bytes` and the bytes from there, for an author to
// find them in a hex view or an editor.
std::string Whereabouts(const std::string& bytes, size_t offset, size_t shown) {
    const size_t line = 1 + static_cast<size_t>(std::count(bytes.begin(), bytes.begin() + offset, '\n'));
    std::string text = "byte " + std::to_string(offset + 1) + " (line " + std::to_string(line) + "),";
    for (size_t k = offset; k < std::min(bytes.size(), offset + shown); ++k) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", static_cast<unsigned char>(bytes[k]));
        text += hex;
    }
    return text;
}

const char SAVE_AS[] = "Save it from the spreadsheet as \"CSV UTF-8\" or as \"Unicode text\".";


// UTF-16 after its byte-order mark, in the byte order `big_endian`, to UTF-8.
void DecodeUtf16(const std::string& bytes, bool big_endian, DecodedText& decoded) {
    decoded.encoding = big_endian ? "UTF-16 big-endian" : "UTF-16 little-endian";
    if (bytes.size() % 2) {
        decoded.refused = "the file is " + decoded.encoding + " but ends in half a character (an odd number of " +
                          "bytes, " + std::to_string(bytes.size()) + "): it was cut short. " + SAVE_AS;
        return;
    }
    std::wstring wide(bytes.size() / 2 - 1, L'\0');
    for (size_t k = 0; k < wide.size(); ++k) {
        const auto first = static_cast<unsigned char>(bytes[2 + 2 * k]);
        const auto second = static_cast<unsigned char>(bytes[3 + 2 * k]);
        wide[k] = static_cast<wchar_t>(big_endian ? first << 8 | second : second << 8 | first);
    }
    // Half of a surrogate pair is no character: converting it would put U+FFFD in a question unseen.
    for (size_t k = 0; k < wide.size(); ++k) {
        const bool high = wide[k] >= 0xD800 && wide[k] <= 0xDBFF;
        const bool low = wide[k] >= 0xDC00 && wide[k] <= 0xDFFF;
        if (high && k + 1 < wide.size() && wide[k + 1] >= 0xDC00 && wide[k + 1] <= 0xDFFF) {
            ++k;
        } else if (high || low) {
            decoded.refused = "the file is " + decoded.encoding + " but holds half a character at " +
                              Whereabouts(bytes, 2 + 2 * k, 2) + ". " + SAVE_AS;
            return;
        }
    }
    decoded.text = Utf8FromWide(wide);
}

// The cells of `text` (UTF-8), cut as the header explains.
void CutRows(const std::string& text, Table& table) {
    const size_t size = text.size();
    // The separator, from the first row: a tab outside quotes there makes it tab-separated text.
    bool quoted = false;
    for (size_t k = 0; k < size && (quoted || text[k] != '\n'); ++k) {
        if (text[k] == '"') quoted = !quoted;
        if (!quoted && text[k] == '\t') {
            table.separator = '\t';
            break;
        }
    }
    const char separator = table.separator;
    size_t row = 1;
    std::vector<std::string> cells;
    size_t at = 0;
    while (true) {
        std::string cell;
        if (at < size && text[at] == '"') {
            const size_t column = cells.size() + 1;
            size_t from = at + 1;
            bool closed = false;
            while (true) {
                const size_t quote = text.find('"', from);
                if (quote == std::string::npos) break;
                cell.append(text, from, quote - from);
                if (quote + 1 < size && text[quote + 1] == '"') {
                    cell += '"';
                    from = quote + 2;
                } else {
                    closed = true;
                    at = quote + 1;
                    break;
                }
            }
            if (!closed) {
                table.problems.push_back(
                    {row, column, "this cell opens a quote (\") that is never closed: the rest of the file would be "
                                  "its text. Close it, or write \"\" for a quote inside a cell in quotes."});
                return;
            }
            // A line break in the cell is an LF, whichever line ends the file has.
            for (size_t cr = cell.find("\r\n"); cr != std::string::npos; cr = cell.find("\r\n", cr))
                cell.erase(cr, 1);
            const size_t end = std::min(size, text.find_first_of(std::string(1, separator) + "\n", at));
            size_t stray_end = end;
            if (stray_end > at && text[stray_end - 1] == '\r' && stray_end == text.find('\n', at)) --stray_end;
            if (stray_end > at) {
                table.problems.push_back(
                    {row, column, "after the quote that closes this cell comes \"" + text.substr(at, stray_end - at) +
                                      "\": a cell in quotes ends at its closing quote. Put all of the cell in the "
                                      "quotes, and write \"\" for a quote inside them."});
                at = end;
            }
        } else {
            const size_t end = std::min(size, text.find_first_of(std::string(1, separator) + "\n", at));
            size_t cell_end = end;
            if (end < size && text[end] == '\n' && end > at && text[end - 1] == '\r') --cell_end;
            cell = text.substr(at, cell_end - at);
            at = end;
        }
        cells.push_back(std::move(cell));
        if (at < size && text[at] == separator) {
            ++at;
            continue;
        }
        // The row ends here: at a line break or at the end of the text.
        const bool blank = std::all_of(cells.begin(), cells.end(), [](const std::string& c) {
            return c.find_first_not_of(" \t\r\n") == std::string::npos;
        });
        if (!blank) table.rows.push_back({row, std::move(cells)});
        cells.clear();
        if (at >= size) return;
        if (text[at] == '\r') ++at;
        ++at;  // the LF
        ++row;
    }
}

}  // namespace

DecodedText DecodeText(const std::string& bytes) {
    DecodedText decoded;
    const auto byte = [&](size_t k) { return k < bytes.size() ? static_cast<unsigned char>(bytes[k]) : 0x100u; };
    if (byte(0) == 0xFF && byte(1) == 0xFE && !(byte(2) == 0 && byte(3) == 0)) {
        DecodeUtf16(bytes, false, decoded);
        return decoded;
    }
    if (byte(0) == 0xFE && byte(1) == 0xFF) {
        DecodeUtf16(bytes, true, decoded);
        return decoded;
    }
    if (const char* wide = WideEncoding(bytes)) {
        decoded.refused = std::string("the file looks like ") + wide + " text without a byte-order mark, which " +
                          "is read only with one. " + SAVE_AS;
        return decoded;
    }
    const bool marked = byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF;
    std::string text = marked ? bytes.substr(3) : bytes;
    size_t bad_utf8_length = 1, bad_shift_jis_length = 1;
    const size_t bad_utf8 = FirstBadUtf8(text, bad_utf8_length);
    if (bad_utf8 == std::string::npos) {
        decoded.encoding = marked ? "UTF-8 with a byte-order mark" : "UTF-8";
        decoded.text = std::move(text);
        return decoded;
    }
    if (marked) {
        decoded.refused = "the file starts as UTF-8 (it has the byte-order mark) but is not UTF-8 at " +
                          Whereabouts(bytes, bad_utf8 + 3, bad_utf8_length) + ". " + SAVE_AS;
        return decoded;
    }
    std::wstring wide;
    if (FromShiftJis(bytes.data(), bytes.size(), wide)) {
        decoded.encoding = "Shift_JIS";
        decoded.text = Utf8FromWide(wide);
        return decoded;
    }
    const size_t bad_shift_jis = FirstBadShiftJis(bytes, bad_shift_jis_length);
    decoded.refused = "the file is neither UTF-8 nor Shift_JIS: as UTF-8 it goes wrong at " +
                      Whereabouts(bytes, bad_utf8, bad_utf8_length) + ", as Shift_JIS at " +
                      Whereabouts(bytes, bad_shift_jis, bad_shift_jis_length) + ". " + SAVE_AS;
    return decoded;
}

Table ReadTable(const std::string& bytes, TextEncoding) {
    DecodedText decoded = DecodeText(bytes);
    Table table;
    if (!decoded.refused.empty()) {
        table.problems.push_back({0, 0, decoded.refused});
        return table;
    }
    table.encoding = decoded.encoding;
    CutRows(decoded.text, table);
    return table;
}
