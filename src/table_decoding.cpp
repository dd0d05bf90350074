// Decoding a table's bytes. UTF-8 is tried first because Shift_JIS or Windows-1252 text is almost never valid UTF-8,
// while plain ASCII is all three and reads the same in each. Between Shift_JIS and Windows-1252 the bytes decide: a
// Japanese save is runs of double-byte kana and kanji, a Western save holds single bytes above 7F between Latin
// letters (isn't, café). Reading one as the other garbles every such text unseen, so when the bytes fit both, the
// author is asked rather than a reading guessed.
#include "table_decoding.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "utf8_decoding.h"

namespace {

constexpr UINT SHIFT_JIS_CODE_PAGE = 932;
constexpr UINT WINDOWS_1252_CODE_PAGE = 1252;
// Decoded a piece at a time, so a large table never needs its whole text in UTF-16 beside its UTF-8.
constexpr size_t PIECE = 1 << 20;

const char SAVE_AS[] = "Save it from the spreadsheet as \"CSV UTF-8\" or as \"Unicode text\".";

bool High(unsigned char b) { return b >= 0x80; }
bool AsciiLetter(unsigned char b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }
bool AsciiLetterOrDigit(unsigned char b) { return AsciiLetter(b) || (b >= '0' && b <= '9'); }
unsigned char ByteAt(const std::string& bytes, size_t k) { return static_cast<unsigned char>(bytes[k]); }

// The bytes of the Shift_JIS character at `at`: two for a lead byte followed by a trail byte, otherwise one.
size_t ShiftJisLength(std::string_view bytes, size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (!((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) || at + 1 >= bytes.size()) return 1;
    const auto trail = static_cast<unsigned char>(bytes[at + 1]);
    return (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC) ? 2 : 1;
}

// Single bytes code page 932 decodes, to U+0080 and private-use characters, but no Japanese text holds: the bytes
// of a Western € (80) or no-break space (A0) more likely.
bool NoTextInShiftJis(unsigned char b) { return b == 0x80 || b == 0xA0 || b >= 0xFD; }

// The five bytes Windows-1252 leaves undefined: text holds none of them.
bool UndefinedIn1252(unsigned char b) { return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D; }

// Where the piece of `size` bytes at `text` that starts at `at` ends. A piece of Shift_JIS ends after a byte below
// 40, which is neither a lead nor a trail byte, so no character is cut in two.
size_t PieceEnd(UINT code_page, const char* text, size_t size, size_t at) {
    size_t end = std::min(size, at + PIECE);
    if (code_page == SHIFT_JIS_CODE_PAGE) {
        while (end < size && static_cast<unsigned char>(text[end - 1]) >= 0x40) ++end;
    }
    return end;
}

// Whether the system decodes all of `size` bytes at `text` in `code_page`, every sequence a character, and none of
// Shift_JIS a byte that no text holds.
bool ValidIn(UINT code_page, const char* text, size_t size) {
    if (code_page == SHIFT_JIS_CODE_PAGE) {
        const std::string_view view(text, size);
        for (size_t k = 0, length = 1; k < size; k += length) {
            length = ShiftJisLength(view, k);
            if (length == 1 && NoTextInShiftJis(static_cast<unsigned char>(text[k]))) return false;
        }
    }
    for (size_t at = 0; at < size;) {
        const size_t end = PieceEnd(code_page, text, size, at);
        const int n = static_cast<int>(end - at);
        if (MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text + at, n, nullptr, 0) <= 0) return false;
        at = end;
    }
    return true;
}

// Where the first byte sequence of `bytes` that is not a character of `code_page` starts, and its length in
// `length`: looked for only once the bytes are refused, so one character at a time is quick enough.
size_t FirstInvalid(UINT code_page, const std::string& bytes, size_t& length) {
    for (size_t at = 0; at < bytes.size(); at += length) {
        length = code_page == SHIFT_JIS_CODE_PAGE ? ShiftJisLength(bytes, at) : 1;
        const bool valid = code_page == WINDOWS_1252_CODE_PAGE
                               ? !UndefinedIn1252(ByteAt(bytes, at))
                               : ValidIn(code_page, bytes.data() + at, length);
        if (!valid) return at;
    }
    return std::string::npos;
}

// Where the first ill-formed UTF-8 sequence of `text` starts, or npos, and in `bad` how many of its bytes it takes to
// see that: no overlong forms, surrogates or code points beyond U+10FFFF, as the JSON writer and the exam's parser
// require.
size_t FirstBadUtf8(const std::string& text, size_t from, size_t& bad) {
    for (size_t at = from, length = 1; at < text.size(); at += length) {
        if (Utf8CodePointAt(text, at, length) != NOT_UTF8) continue;
        // The start of a sequence is seen to be wrong at the byte after it; a byte that starts none, at itself.
        const auto lead = ByteAt(text, at);
        bad = lead >= 0xC2 && lead <= 0xF4 ? length + 1 : 1;
        return at;
    }
    return std::string::npos;
}

// `size` bytes at `text` in `code_page`, appended to `out` in UTF-8, a piece at a time.
void AppendDecoded(UINT code_page, const char* text, size_t size, std::string& out) {
    std::wstring wide;
    for (size_t at = 0; at < size;) {
        const size_t end = PieceEnd(code_page, text, size, at);
        const int n = static_cast<int>(end - at);
        wide.resize(static_cast<size_t>(MultiByteToWideChar(code_page, 0, text + at, n, nullptr, 0)));
        if (!wide.empty()) MultiByteToWideChar(code_page, 0, text + at, n, &wide[0], static_cast<int>(wide.size()));
        out += Utf8FromWide(wide);
        at = end;
    }
}

std::string Decoded(UINT code_page, const std::string& bytes, size_t from, size_t to) {
    std::string text;
    AppendDecoded(code_page, bytes.data() + from, to - from, text);
    return text;
}

// "byte 1235 (line 5), E9 74 20": where `offset` (from 0) is in `bytes` and the bytes from there, for an author to
// find them in a hex view or an editor.
std::string Whereabouts(const std::string& bytes, size_t offset, size_t shown) {
    if (offset >= bytes.size()) return "the end of the file";
    // Lines end at LF, or at CR in a file without any LF (an old Mac save).
    const char end = bytes.find('\n') == std::string::npos ? '\r' : '\n';
    const size_t line = 1 + static_cast<size_t>(std::count(bytes.begin(), bytes.begin() + offset, end));
    std::string text = "byte " + std::to_string(offset + 1) + " (line " + std::to_string(line) + "),";
    for (size_t k = offset; k < std::min(bytes.size(), offset + shown); ++k) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", ByteAt(bytes, k));
        text += hex;
    }
    return text;
}

// The refusal of a byte not valid in the encoding the author chose, at its place in the table.
void RefuseAt(const std::string& bytes, size_t at, size_t length, std::string before, const char* name,
              DecodedText& decoded) {
    decoded.text = std::move(before);
    decoded.placed = true;
    decoded.refused = "the bytes at " + Whereabouts(bytes, at, length) + " are no character of " + name +
                      ", which the table is read as: give the encoding it was saved in, or " +
                      "save it from the spreadsheet as \"CSV UTF-8\".";
}

// UTF-16 from byte `from` on, in the byte order `big_endian`, to UTF-8, a piece at a time.
void DecodeUtf16(const std::string& bytes, size_t from, bool big_endian, DecodedText& decoded) {
    if ((bytes.size() - from) % 2) {
        decoded.refused = "the file is " + decoded.encoding + " but ends in half a character (an odd number of " +
                          "bytes, " + std::to_string(bytes.size()) + "): it was cut short. " + SAVE_AS;
        return;
    }
    decoded.text.reserve((bytes.size() - from) / 2 * 3 / 2);
    const size_t units = (bytes.size() - from) / 2;
    const auto unit = [&](size_t k) {
        const unsigned first = ByteAt(bytes, from + 2 * k), second = ByteAt(bytes, from + 2 * k + 1);
        return static_cast<wchar_t>(big_endian ? first << 8 | second : second << 8 | first);
    };
    const auto surrogate = [](wchar_t c) { return c >= 0xD800 && c <= 0xDFFF; };
    const auto low = [](wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
    std::wstring wide;
    for (size_t k = 0; k < units;) {
        wide.clear();
        for (const size_t end = std::min(units, k + PIECE); k < end; ++k) {
            const wchar_t c = unit(k);
            if (surrogate(c) && !low(c) && k + 1 < units && low(unit(k + 1))) {
                wide += c;
                wide += unit(++k);
            } else if (surrogate(c)) {
                // Half of a surrogate pair is no character: converting it would put U+FFFD in a question unseen.
                decoded.text += Utf8FromWide(wide);
                decoded.placed = true;
                decoded.refused = "the file is " + decoded.encoding + " but holds half a character at " +
                                  Whereabouts(bytes, from + 2 * k, 2) + ". " + SAVE_AS;
                return;
            } else {
                wide += c;
            }
        }
        decoded.text += Utf8FromWide(wide);
    }
}

// Zero bytes at even and at odd places, among the first 64 KB: UTF-16 of text that is partly ASCII (its digits,
// commas and line ends) has them on one side and hardly any on the other; UTF-8 and the code pages have few at all,
// though a NUL or two in a cell is no sign of UTF-16. `share` is the least part of the characters that must show
// them: a tenth for bytes that are valid UTF-8 (UTF-16 of ASCII is), any for bytes that are not, such as UTF-16 of
// long questions in kanji with a comma here and there. Returns 1 for little-endian, 2 for big-endian, 0 for neither.
int Utf16WithoutMark(const std::string& bytes, size_t share) {
    const size_t size = std::min<size_t>(bytes.size(), 1 << 16) & ~size_t{1};
    // A zero byte beside DC-DF is the low end of the second half of a character beyond U+FFFF (an emoji, say), no
    // sign of either byte order.
    const auto low_half = [&](size_t k) { return (ByteAt(bytes, k) & 0xFC) == 0xDC; };
    size_t even = 0, odd = 0;
    for (size_t k = 0; k < size; k += 2) {
        even += bytes[k] == 0 && !low_half(k + 1);
        odd += bytes[k + 1] == 0 && !low_half(k);
    }
    const size_t pairs = size / 2;
    if (odd >= 4 && odd * share >= pairs && even * 8 < odd) return 1;
    if (even >= 4 && even * share >= pairs && odd * 8 < even) return 2;
    return 0;
}

// UTF-32, with a mark or without: nearly every character is below U+10000, so two zero bytes stand at its high end.
bool Utf32(const std::string& bytes) {
    const size_t size = std::min<size_t>(bytes.size(), 1 << 16) & ~size_t{3};
    size_t little = 0, big = 0;
    for (size_t k = 0; k < size; k += 4) {
        const bool zero_ends[2] = {bytes[k] == 0 && bytes[k + 1] == 0, bytes[k + 2] == 0 && bytes[k + 3] == 0};
        little += zero_ends[1] && !zero_ends[0];
        big += zero_ends[0] && !zero_ends[1];
    }
    return size && std::max(little, big) * 10 >= size / 4 * 9;
}

// A byte that Windows-1252 reads as a letter with an accent: à-ÿ and À-Þ but × and ÷.
bool Western1252Letter(unsigned char b) { return b >= 0xC0 && b != 0xD7 && b != 0xF7; }

// What the bytes above 7F say of the text, run by run, read as Shift_JIS. `japanese` counts runs of three characters
// or more (kana and kanji words), and of one or two holding a byte above 7F that Windows-1252 would show as a symbol
// beside another (問題, の: two symbols together, as no Western text writes them). `western` counts single characters
// standing between Latin letters: a Western byte such as 92 or E9 followed by a letter reads as one kanji (isn’t as
// isn稚), and a byte A1-DF (a half-width kana, or Western £ ° ½ É ß) touches a letter or digit (£5, 25°C, Straße).
// The rest could be either and count for neither: ア or アイ alone, ção or éé (one kanji each), école (é and c one
// kanji), “q” before a letter.
struct Evidence {
    size_t japanese = 0;
    size_t western = 0;
};

Evidence ShiftJisEvidence(const std::string& bytes) {
    Evidence evidence;
    for (size_t at = 0; at < bytes.size();) {
        if (!High(ByteAt(bytes, at))) {
            ++at;
            continue;
        }
        const size_t start = at;
        size_t characters = 0;
        bool high_trail = false, accented = true;
        while (at < bytes.size() && High(ByteAt(bytes, at))) {
            const size_t length = ShiftJisLength(bytes, at);
            high_trail = high_trail || (length == 2 && High(ByteAt(bytes, at + 1)));
            for (size_t k = at; k < at + length; ++k)
                accented = accented && (!High(ByteAt(bytes, k)) || Western1252Letter(ByteAt(bytes, k)));
            at += length;
            ++characters;
        }
        const bool between_letters =
            at - start == 2 ? start > 0 && AsciiLetter(ByteAt(bytes, start - 1)) && AsciiLetter(ByteAt(bytes, at - 1))
                            : (start > 0 && AsciiLetterOrDigit(ByteAt(bytes, start - 1))) ||
                                  (at < bytes.size() && AsciiLetterOrDigit(ByteAt(bytes, at)));
        if (characters >= 3 || (high_trail && !accented)) ++evidence.japanese;
        else if (characters == 1 && !high_trail && between_letters) ++evidence.western;
    }
    return evidence;
}

// Western text has its bytes above 7F one or two together (é, ’, ção); kanji and the two-byte encodings of Asian
// languages run on. Where more than half of them stand in runs of three or more, the text is no Western one.
size_t FirstLongRunIfMost(const std::string& bytes) {
    size_t high = 0, in_runs = 0, first = std::string::npos;
    for (size_t at = 0; at < bytes.size();) {
        size_t end = at;
        while (end < bytes.size() && High(ByteAt(bytes, end))) ++end;
        if (end == at) {
            ++at;
            continue;
        }
        high += end - at;
        if (end - at >= 3) {
            in_runs += end - at;
            if (first == std::string::npos) first = at;
        }
        at = end;
    }
    return in_runs * 2 > high ? first : std::string::npos;
}

// The text around the first byte above 7F, from the cell's start or up to 30 bytes before it to its cell's end or
// some 30 bytes after, ending between Shift_JIS characters; everything before that byte is ASCII and reads the same.
std::pair<size_t, size_t> Excerpt(const std::string& bytes, size_t first_high) {
    const auto boundary = [&](size_t k) { return std::string("\",;\t\r\n").find(bytes[k]) != std::string::npos; };
    size_t from = first_high;
    while (from > 0 && first_high - from < 30 && !boundary(from - 1)) --from;
    size_t to = first_high;
    while (to < bytes.size() && to - first_high < 30 && !boundary(to)) to += ShiftJisLength(bytes, to);
    return {from, std::min(to, bytes.size())};
}

// Shift_JIS or Windows-1252 for bytes that are not UTF-8, found from the bytes.
void DecodeCodePage(const std::string& bytes, DecodedText& decoded) {
    const bool shift_jis = ValidIn(SHIFT_JIS_CODE_PAGE, bytes.data(), bytes.size());
    size_t undefined_length = 1;
    const size_t undefined = FirstInvalid(WINDOWS_1252_CODE_PAGE, bytes, undefined_length);
    const size_t long_run = FirstLongRunIfMost(bytes);
    const bool western = undefined == std::string::npos && long_run == std::string::npos;
    UINT code_page = shift_jis ? SHIFT_JIS_CODE_PAGE : WINDOWS_1252_CODE_PAGE;
    if (shift_jis && western) {
        const Evidence evidence = ShiftJisEvidence(bytes);
        if (evidence.western && !evidence.japanese) {
            code_page = WINDOWS_1252_CODE_PAGE;
        } else if (evidence.western || !evidence.japanese) {
            // Both kinds of evidence, or none: either reading may be the one meant.
            const size_t first_high = static_cast<size_t>(
                std::find_if(bytes.begin(), bytes.end(), [](char c) { return High(static_cast<unsigned char>(c)); }) -
                bytes.begin());
            const auto [from, to] = Excerpt(bytes, first_high);
            decoded.text = bytes.substr(0, first_high);
            decoded.placed = true;
            decoded.refused = "this text reads \"" + Decoded(WINDOWS_1252_CODE_PAGE, bytes, from, to) +
                              "\" in Windows-1252 (Western) but \"" + Decoded(SHIFT_JIS_CODE_PAGE, bytes, from, to) +
                              "\" in Shift_JIS (Japanese), from " + Whereabouts(bytes, first_high, 2) +
                              ", and the file does not say which it is. Give --encoding windows-1252 or --encoding "
                              "shift_jis, or save the table from the spreadsheet as \"CSV UTF-8\".";
            return;
        }
    } else if (!shift_jis && !western) {
        size_t utf8_length = 1, shift_jis_length = 1;
        const size_t bad_utf8 = FirstBadUtf8(bytes, 0, utf8_length);
        const size_t bad_shift_jis = FirstInvalid(SHIFT_JIS_CODE_PAGE, bytes, shift_jis_length);
        decoded.refused = "the file is neither UTF-8, Shift_JIS nor Windows-1252: as UTF-8 it goes wrong at " +
                          Whereabouts(bytes, bad_utf8, utf8_length) + ", as Shift_JIS at " +
                          Whereabouts(bytes, bad_shift_jis, shift_jis_length) + ", as Windows-1252 " +
                          (undefined != std::string::npos
                               ? "at " + Whereabouts(bytes, undefined, undefined_length)
                               : "its bytes above 7F run on as in no Western language, from " +
                                     Whereabouts(bytes, long_run, 3)) +
                          ". " + SAVE_AS;
        return;
    }
    decoded.encoding = code_page == SHIFT_JIS_CODE_PAGE ? "Shift_JIS" : "Windows-1252";
    decoded.text.reserve(bytes.size() + bytes.size() / 2);
    AppendDecoded(code_page, bytes.data(), bytes.size(), decoded.text);
}

// The bytes in the code page the author chose; a byte not valid in it is refused at its place.
void DecodeChosenCodePage(const std::string& bytes, UINT code_page, const char* name, DecodedText& decoded) {
    decoded.encoding = name;
    size_t length = 1;
    const size_t bad = FirstInvalid(code_page, bytes, length);
    if (bad != std::string::npos) return RefuseAt(bytes, bad, length, Decoded(code_page, bytes, 0, bad), name, decoded);
    decoded.text.reserve(bytes.size() + bytes.size() / 2);
    AppendDecoded(code_page, bytes.data(), bytes.size(), decoded.text);
}

// UTF-8 from byte `from` on, read in place; a byte that is not UTF-8 is refused at its place when `chosen`.
void DecodeUtf8(const std::string& bytes, size_t from, bool chosen, DecodedText& decoded) {
    size_t length = 1;
    const size_t bad = FirstBadUtf8(bytes, from, length);
    decoded.encoding = from ? "UTF-8 with a byte-order mark" : "UTF-8";
    if (bad == std::string::npos) {
        decoded.in_place = true;
        decoded.skipped = from;
    } else if (chosen) {
        RefuseAt(bytes, bad, length, bytes.substr(from, bad - from), "UTF-8", decoded);
    } else {
        decoded.refused = "the file starts as UTF-8 (it has the byte-order mark) but is not UTF-8 at " +
                          Whereabouts(bytes, bad, length) + ". " + SAVE_AS;
    }
}

}  // namespace

std::string_view TextOf(const DecodedText& decoded, const std::string& bytes) {
    return decoded.in_place ? std::string_view(bytes).substr(decoded.skipped) : std::string_view(decoded.text);
}

DecodedText DecodeText(const std::string& bytes, TextEncoding encoding) {
    DecodedText decoded;
    const auto byte = [&](size_t k) { return k < bytes.size() ? ByteAt(bytes, k) : 0x100u; };
    const bool utf8_mark = byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF;
    const bool le_mark = byte(0) == 0xFF && byte(1) == 0xFE, be_mark = byte(0) == 0xFE && byte(1) == 0xFF;
    switch (encoding) {
        case TextEncoding::Utf8:
            DecodeUtf8(bytes, utf8_mark ? 3 : 0, true, decoded);
            return decoded;
        case TextEncoding::ShiftJis:
            DecodeChosenCodePage(bytes, SHIFT_JIS_CODE_PAGE, "Shift_JIS", decoded);
            return decoded;
        case TextEncoding::Windows1252:
            DecodeChosenCodePage(bytes, WINDOWS_1252_CODE_PAGE, "Windows-1252", decoded);
            return decoded;
        case TextEncoding::Utf16Le:
        case TextEncoding::Utf16Be: {
            const bool big = encoding == TextEncoding::Utf16Be;
            const bool marked = big ? be_mark : le_mark;
            decoded.encoding = std::string(big ? "UTF-16 big-endian" : "UTF-16 little-endian") +
                               (marked ? "" : " without a byte-order mark");
            DecodeUtf16(bytes, marked ? 2 : 0, big, decoded);
            return decoded;
        }
        case TextEncoding::Found:
            break;
    }
    if (le_mark && !(byte(2) == 0 && byte(3) == 0)) {
        decoded.encoding = "UTF-16 little-endian";
        DecodeUtf16(bytes, 2, false, decoded);
        return decoded;
    }
    if (be_mark) {
        decoded.encoding = "UTF-16 big-endian";
        DecodeUtf16(bytes, 2, true, decoded);
        return decoded;
    }
    if (utf8_mark) {
        DecodeUtf8(bytes, 3, false, decoded);
        return decoded;
    }
    if (Utf32(bytes)) {
        decoded.refused = std::string("the file looks like UTF-32 text, which is not read. ") + SAVE_AS;
        return decoded;
    }
    size_t bad_length = 1;
    const bool utf8 = FirstBadUtf8(bytes, 0, bad_length) == std::string::npos;
    if (const int order = Utf16WithoutMark(bytes, utf8 ? 10 : bytes.size())) {
        decoded.encoding = order == 2 ? "UTF-16 big-endian without a byte-order mark"
                                      : "UTF-16 little-endian without a byte-order mark";
        DecodeUtf16(bytes, 0, order == 2, decoded);
        return decoded;
    }
    if (utf8) {
        DecodeUtf8(bytes, 0, false, decoded);
        return decoded;
    }
    DecodeCodePage(bytes, decoded);
    return decoded;
}
