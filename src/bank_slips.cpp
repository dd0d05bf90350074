// What an author slipped on where the JSON reader stopped. The reader says where it stopped and what it expected;
// the slip is often a little before (a comma before "]", a quote that ended a text early), so the text before the
// place is read again, in step with the reader (it was sound up to there), to know what came last and what is open.
#include "bank_slips.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "bank_messages.h"
#include "character_names.h"
#include "meant_keys.h"
#include "text_places.h"
#include "utf8_decoding.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsStructural(char c) { return std::string_view("[]{},:\"").find(c) != std::string_view::npos; }
// A byte of a literal, a number or anything else the reader takes as one token.
bool IsWordByte(char c) { return !IsSpace(c) && !IsStructural(c) && c != '\0'; }

// "line L, column C" of a byte, the column in characters.
std::string PlaceText(const std::string& text, size_t offset) {
    return "line " + std::to_string(LineNumber(text, offset)) + ", column " +
           std::to_string(CharacterColumn(text, LineStart(text, offset), offset));
}

// Whether a line reads as Shift_JIS, to the last byte: the system's code page 932, strictly.
bool ReadsAsShiftJis(const std::string& bytes) {
    return !bytes.empty() && MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                                 nullptr, 0) > 0;
}

// The note for bytes that are not UTF-8 from byte `bad` on: what they look like, Shift_JIS (a file saved in it) or
// Windows-1252 (a file saved in it, or a character pasted into a UTF-8 file), and what to do.
std::string EncodingNote(const std::string& text, size_t bad) {
    const size_t line_start = LineStart(text, bad), line_end = LineEnd(text, bad);
    const unsigned char first = static_cast<unsigned char>(text[bad]);
    // The file is UTF-8 elsewhere when it holds as many characters of UTF-8 beyond ASCII as bytes that are not UTF-8
    // (a file in another encoding makes a sequence of UTF-8 only by chance).
    size_t utf8 = 0, not_utf8 = 0;
    for (size_t at = 0, length = 1; at < text.size(); at += length) {
        const char32_t code = CharacterAt(text, at, length);
        if (code == NOT_UTF8) ++not_utf8;
        if (code != NOT_UTF8 && code >= 0x80) ++utf8;
    }
    const bool utf8_elsewhere = utf8 > 0 && utf8 >= not_utf8;
    // Shift_JIS when the line reads as Shift_JIS to its end and holds two bytes beyond ASCII side by side, as every
    // kana and most kanji are written; a lone accented letter of Windows-1252 may read as Shift_JIS by chance.
    const std::string line = text.substr(line_start, line_end - line_start);
    bool side_by_side = false;
    for (size_t k = 1; k < line.size() && !side_by_side; ++k)
        side_by_side = static_cast<unsigned char>(line[k - 1]) >= 0x80 && static_cast<unsigned char>(line[k]) >= 0x80;
    if (side_by_side && ReadsAsShiftJis(line)) {
        // Up to eight characters from the first, while they are not ASCII.
        size_t end = bad;
        for (size_t count = 0; end < line_end && count < 8 && static_cast<unsigned char>(text[end]) >= 0x80; ++count) {
            const bool lead = IsDBCSLeadByteEx(932, static_cast<unsigned char>(text[end]));
            // A second byte of Shift_JIS is never a control character or a space.
            if (lead && (end + 1 >= line_end || static_cast<unsigned char>(text[end + 1]) < 0x40)) break;
            end += lead ? 2 : 1;
        }
        const std::string run = text.substr(bad, std::min(end, line_end) - bad);
        std::wstring wide(run.size(), L'\0');
        wide.resize(static_cast<size_t>(
            MultiByteToWideChar(932, 0, run.data(), static_cast<int>(run.size()), &wide[0], static_cast<int>(wide.size()))));
        return "found the bytes " + ByteList(text, bad, std::min<size_t>(run.size(), 6)) +
               ", which are not UTF-8: in Shift_JIS they are \"" + Utf8FromWide(wide) + "\". " +
               (utf8_elsewhere ? "The rest of the file is UTF-8: this line was pasted from a file saved as Shift_JIS. "
                                 "Type it again, or save that file as UTF-8 before copying from it."
                               : "The file is saved as Shift_JIS (\"ANSI\" on a Japanese Windows). Open it in your "
                                 "editor, choose Save As with the encoding UTF-8, and check it again.");
    }
    wchar_t in_1252 = 0;
    MultiByteToWideChar(1252, 0, text.data() + bad, 1, &in_1252, 1);
    const bool defined = first >= 0xA0 || (in_1252 >= 0x100);
    std::string what = "found the byte " + ByteList(text, bad, 1) + ", which is not UTF-8";
    what += defined ? ": in Windows-1252 it is " + Named(in_1252) : " nor a character of Windows-1252";
    if (utf8_elsewhere) {
        return what + ". The rest of the file is UTF-8: this character was pasted from a program that wrote it in "
                      "another encoding. Delete it and type it again" +
               (in_1252 == 0x201C || in_1252 == 0x201D ? " (or write a plain \")" : "") + ".";
    }
    return what + ". The file is saved as Windows-1252 (\"ANSI\"). Open it in your editor, choose Save As with the "
                  "encoding UTF-8, and check it again.";
}

// The first byte that is not UTF-8 in [from, to], or npos.
size_t FirstNotUtf8(const std::string& text, size_t from, size_t to) {
    for (size_t at = from, length = 1; at <= to && at < text.size(); at += length)
        if (CharacterAt(text, at, length) == NOT_UTF8) return at;
    return std::string::npos;
}

// A character that stands where JSON's own ASCII would: a typographic quote, a full-width form, a space of another
// kind. Anything else outside a text is taken for the rest of a text that a quote ended early.
bool LooksLikeJson(char32_t code) {
    return (code >= 0x2000 && code <= 0x203F) || (code >= 0x3000 && code <= 0x301F) ||
           (code >= 0xFF01 && code <= 0xFF5E) || code == 0x00A0 || code == 0x00AB || code == 0x00BB || code == 0xFEFF;
}

// A note for a character outside the ASCII that JSON reads between its parts: a typographic quote, a full-width
// form from an input method, an invisible space.
std::string CharacterNote(char32_t code) {
    const std::string found = "found " + Named(code);
    switch (code) {
        case 0x201C: case 0x201D: case 0x201E: case 0x201F: case 0x00AB: case 0x00BB: case 0x2033: case 0x301D:
        case 0x301E: case 0x301F: case 0xFF02:
            return found + ", a typographic quote (a word processor's \"smart quotes\", or an input method's): JSON "
                           "puts keys and texts only between plain \" (U+0022 QUOTATION MARK). Type \" instead, and "
                           "turn smart quotes off or write the bank in a plain-text editor.";
        case 0x2018: case 0x2019: case 0x201A: case 0x201B: case 0x2032: case 0xFF07:
            return found + ", a typographic single quote: JSON puts keys and texts only between plain \" (U+0022 "
                           "QUOTATION MARK). Type \" instead.";
        case 0x3000:
            return found + ", a full-width space typed with a Japanese input method on: between its parts JSON "
                           "allows only ASCII spaces, tabs and line breaks. Replace it with an ordinary space.";
        case 0x00A0: case 0x2002: case 0x2003: case 0x2009: case 0x200B: case 0xFEFF:
            return found + ", an invisible space pasted from a web page or a word processor: between its parts JSON "
                           "allows only ASCII spaces, tabs and line breaks. Delete it and type an ordinary space.";
        case 0x300C: case 0x300D: case 0x300E: case 0x300F:
            return found + ": Japanese quotes are fine inside a text, but JSON puts the text itself between plain \" "
                           "(U+0022 QUOTATION MARK). Type \" with the input method off.";
        default: break;
    }
    char32_t ascii = 0;
    if (code >= 0xFF01 && code <= 0xFF5E) ascii = code - 0xFEE0;
    if (code == 0x3001) ascii = ',';
    if (ascii) {
        return found + ", a full-width character typed with a Japanese input method on: outside texts JSON reads "
                       "only ASCII, here " + Named(ascii) + ". Switch the input method off (half-width) and type it "
                       "again.";
    }
    return found + " outside a text: outside double quotes JSON reads only its own ASCII characters. Put it inside "
                   "a text's quotes, or delete it.";
}

// A table: the first line holds separators (tabs, or commas or semicolons between several fields) and the file does
// not start as JSON does.
bool LooksLikeTable(const std::string& text) {
    const size_t start = text.find_first_not_of(" \t\r\n", text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0);
    if (start == std::string::npos) return false;
    const std::string first = text.substr(start, LineEnd(text, start) - start);
    // JSON on one line, or written with full-width brackets, is not a table.
    for (const char* bracket : {"[", "{", "\xEF\xBC\xBB", "\xEF\xBD\x9B"})
        if (first.find(bracket) != std::string::npos) return false;
    return std::count(first.begin(), first.end(), '\t') >= 1 || std::count(first.begin(), first.end(), ',') >= 2 ||
           std::count(first.begin(), first.end(), ';') >= 2;
}

// The word that starts at byte `at`: letters, digits and underscores.
std::string WordAt(const std::string& text, size_t at) {
    size_t end = at;
    while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) ++end;
    return text.substr(at, end - at);
}

std::string Lower(std::string word) {
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word;
}

// A value's first byte.
bool StartsValue(char c) { return std::string_view("[{\"-0123456789tfn").find(c) != std::string_view::npos; }
// A value's last byte.
bool EndsValue(char c) {
    return c == '"' || c == ']' || c == '}' || std::isdigit(static_cast<unsigned char>(c)) || c == 'e' || c == 'l';
}

// A typographic double quote in [from, to) that stands where a key or a text would end (before a colon, a comma, a
// closing bracket or the end of the line): one closed with it runs on past it. npos when there is none.
size_t TypographicQuote(const std::string& text, size_t from, size_t to) {
    for (size_t at = from; at < to; ++at) {
        for (const std::string_view quote : {"\xE2\x80\x9D", "\xE2\x80\x9C", "\xEF\xBC\x82"}) {
            if (text.compare(at, quote.size(), quote) != 0) continue;
            const size_t next = text.find_first_not_of(" \t", at + quote.size());
            if (next >= to || std::string_view(",:]}\n").find(text[next]) != std::string_view::npos) return at;
        }
    }
    return std::string::npos;
}

// The \u escape at `at` for half of a character (a surrogate), by its four hex digits: 1 for a first half, 2 for a
// second, 0 for anything else.
int SurrogateHalf(const std::string& text, size_t at) {
    if (text.compare(at, 2, "\\u") != 0 || at + 6 > text.size()) return 0;
    const std::string digits = text.substr(at + 2, 4);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return 0;
    const unsigned long code = std::stoul(digits, nullptr, 16);
    return code >= 0xD800 && code <= 0xDBFF ? 1 : code >= 0xDC00 && code <= 0xDFFF ? 2 : 0;
}

// Where the escape starts that the reader stopped inside, in the text that opens at `opened`; npos when it stopped
// outside any. A first half of a character takes the escape of its second half with it.
size_t EscapeAt(const std::string& text, size_t opened, size_t stop) {
    for (size_t at = opened + 1; at < stop && at < text.size(); ++at) {
        if (text[at] != '\\') continue;
        const size_t length = text.compare(at, 2, "\\u") != 0 ? 2 : SurrogateHalf(text, at) == 1 ? 12 : 6;
        if (stop < at + length) return at;
        at += length - 1;
    }
    return std::string::npos;
}

// Whether the reader stopped at the escape at `escape` for a half of a character: a second half alone, or a first
// half not followed by a second (but by a \u escape whose four hex digits it read whole).
bool HalfCharacter(const std::string& text, size_t escape, size_t stop) {
    const int half = SurrogateHalf(text, escape);
    return half == 2 || (half == 1 && (stop <= escape + 7 ||
                                      (stop == escape + 11 && std::isxdigit(static_cast<unsigned char>(text[stop])))));
}

// The slip where the reader stopped inside a text that opens at `opened`: bytes that are not UTF-8, an escape it
// does not know, a line break or another control character. Sets `mark` to the byte to point at.
std::string InTextNote(const std::string& text, size_t stop, size_t opened, size_t& mark) {
    if (const size_t bad = FirstNotUtf8(text, opened, stop); bad != std::string::npos) {
        mark = bad;
        return EncodingNote(text, bad);
    }
    if (const size_t escape = EscapeAt(text, opened, stop); escape != std::string::npos) {
        mark = std::min(text.rfind('\\', stop), stop);
        if (HalfCharacter(text, escape, stop)) {
            return "found a \\u escape for half of a character (emoji and rare kanji take two). Write the "
                   "character itself instead: the file is UTF-8.";
        }
        const char after = mark + 1 < text.size() ? text[mark + 1] : '\0';
        const std::string found = after > 0x20 && after < 0x7F ? std::string("\\") + after
                                  : after == ' '                 ? std::string("a backslash before a space")
                                                                 : "a backslash before the byte " + ByteList(text, mark + 1, 1);
        return "found " + found + ": a backslash in a text starts an escape (\\n, \\t, \\\", \\\\, \\u followed by four hex "
               "digits). For a backslash itself write \\\\ (C:\\\\Users).";
    }
    const unsigned char byte = stop < text.size() ? static_cast<unsigned char>(text[stop]) : 0;
    if (stop >= text.size()) {
        return "the text that starts at " + PlaceText(text, opened) + " is never closed: end it with \".";
    }
    if (byte == '\n') {
        if (const size_t quote = TypographicQuote(text, opened, stop); quote != std::string::npos) {
            size_t length = 1;
            mark = quote;
            return CharacterNote(CharacterAt(text, quote, length));
        }
        return "the text that starts at " + PlaceText(text, opened) + " runs to the end of the line: a line break "
               "inside a text is written \\n. Join the lines and write \\n where the break should be, or, if the "
               "text ends here, close it with \".";
    }
    if (byte == '\t') return "found a tab inside a text: JSON writes it \\t. Replace it with \\t, or a space.";
    return "found " + CodePointText(byte) + ", a control character, inside a text: delete it (JSON would write "
           "it \\u00" + ByteList(text, stop, 1).substr(2) + ").";
}

// The slip at the place the reader stopped, in a text sound before it. Sets `mark` to the byte to point at.
std::string Diagnose(const std::string& text, const ReaderStop& reader, const std::string& name, size_t stop,
                     size_t& mark) {
    mark = stop;
    if (LooksLikeTable(text)) {
        mark = text.find_first_not_of(" \t\r\n", text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0);
        return "the file looks like a table (CSV or TSV), not a JSON bank. Turn it into one with tessavon-import: "
               "tessavon-import -o questions.json \"" + name + "\".";
    }
    // The reader refuses any text that starts as a byte-order mark and is not one.
    if (!text.empty() && static_cast<unsigned char>(text[0]) == 0xEF && text.compare(0, 3, "\xEF\xBB\xBF") != 0) {
        mark = 0;
        return "the file starts with the bytes " + ByteList(text, 0, 3) + ", a damaged UTF-8 byte-order mark (it is "
               "0xEF 0xBB 0xBF). Save the file again as UTF-8 in your editor.";
    }
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
        return "the file is empty. A bank is a list of questions between [ and ]: see the example in the guide.";
    }

    // A string token is read to its closing quote, where the reader then stops.
    const bool string_token = reader.found == Token::String;
    if (reader.found == Token::Refused && reader.token_start < text.size() && text[reader.token_start] == '"')
        return InTextNote(text, stop, reader.token_start, mark);

    // The token the reader stopped in, and what came before it.
    size_t start = string_token ? reader.token_start : std::min(stop, text.size());
    while (!string_token && start > 0 && IsWordByte(text[start - 1])) --start;
    // Read again only when the slip starts before the token the reader stopped on.
    const TextBefore before = start == reader.token_start ? reader.before : ReadUpTo(text, start);
    const char previous = before.last == std::string::npos ? '\0' : text[before.last];
    const char token = start < text.size() ? text[start] : '\0';
    mark = start;

    if (start >= text.size() || reader.found == Token::End) {
        if (stop < text.size() && text[stop] == '\0') {
            mark = stop;
            return "found a NUL byte (0x00): the exam reads nothing after it. Delete it.";
        }
        if (!before.open.empty()) {
            mark = before.open.back();
            const char closer = text[mark] == '[' ? ']' : '}';
            return std::string("the file ends before this ") + text[mark] + " is closed. Add " + closer +
                   (closer == ']' ? " after the last element of the list" : " after the question's last member") +
                   " (a Ctrl-Z byte also ends the file where it stands).";
        }
        return "the file ends in the middle of a value: finish it.";
    }
    size_t length = 1;
    const char32_t code = CharacterAt(text, start, length);
    if (code == NOT_UTF8) return EncodingNote(text, start);
    if (reader.expected == Token::End) {
        const std::string end = before.last == std::string::npos ? std::string()
                                : previous == ']' || previous == '}'
                                    ? std::string(", the ") + previous + " on " + PlaceText(text, before.last)
                                    : ", which ends at " + PlaceText(text, before.last);
        return "found " + Named(code) + " after the end of the bank" + end + ". Delete what follows, or move it "
               "inside the list: a bank is one list of questions.";
    }
    // A key or text closed with a typographic quote runs on to the next plain one, and what follows is not JSON:
    // the typographic quote is the slip.
    if (previous == '"' && before.last > before.string_start && !StartsValue(token)) {
        if (const size_t quote = TypographicQuote(text, before.string_start, before.last); quote != std::string::npos) {
            mark = quote;
            return CharacterNote(CharacterAt(text, quote, length));
        }
    }
    // A quote inside a text, not written \": the text ended at it, and the rest of the text is not JSON.
    if (previous == '"' && before.last > before.string_start && !StartsValue(token) && !LooksLikeJson(code) &&
        LineStart(text, before.string_start) == LineStart(text, start) &&
        text.find('"', start) < LineEnd(text, start)) {
        mark = before.last;
        return "found a \" inside the text that starts at " + PlaceText(text, before.string_start) +
               ": it ends the text there, and what follows is not JSON. Write \\\" for a quote inside a text (or "
               "use “ ” or 「 」).";
    }
    // An answer written as its option's letter, without quotes.
    if (previous == ':' && text.compare(before.string_start, 15, "\"correctAnswer\"") == 0) {
        const std::string letter = WordAt(text, start);
        if (const int k = LetterPosition(letter); k >= 0) {
            return "found " + letter + " as the answer: \"correctAnswer\" is the position of the right option as a "
                   "number, counted from 0. Write " + std::to_string(k) + ".";
        }
    }
    if (code >= 0x80) return CharacterNote(code);
    if (token == '/' || token == '#') {
        return std::string("found a comment (") + (token == '#' ? "#" : text.compare(start, 2, "/*") == 0 ? "/*" : "//") +
               "): JSON has none. Delete it, or put the note in a key of its own, such as \"explanation\", which the "
               "exam ignores.";
    }
    if (token == '\'') {
        return "found ' (U+0027 APOSTROPHE): JSON puts keys and texts between double quotes. Write \"...\" "
               "instead of '...'.";
    }
    if ((token == ']' || token == '}') && previous == ',') {
        mark = before.last;
        return std::string("found a comma before ") + token + ": JSON allows no comma after the last " +
               (token == ']' ? "element of a list" : "member of a question") + ". Delete this comma.";
    }
    if ((token == ']' || token == '}') && !before.open.empty()) {
        const char opened = text[before.open.back()];
        if ((opened == '[') != (token == ']')) {
            return std::string("found ") + token + ", but the innermost open bracket is the " + opened + " on " +
                   PlaceText(text, before.open.back()) + ". Close it with " + (opened == '[' ? "]" : "}") +
                   ", or open a " + (token == ']' ? "[" : "{") + " before.";
        }
    }
    const bool after_value = EndsValue(previous);
    if (after_value && StartsValue(token) &&
        (reader.expected == Token::EndArray || reader.expected == Token::EndObject)) {
        mark = before.last + 1;
        const bool in_list = !before.open.empty() && text[before.open.back()] == '[';
        const std::string between = in_list && before.open.size() == 1 ? "two questions"
                                    : in_list                         ? "two elements of a list"
                                                                      : "two members of a question";
        return "a comma is missing between " + between + ": the one that ends here and the one that starts at " +
               PlaceText(text, start) + ". Write a comma here.";
    }
    if (reader.expected == Token::Colon) {
        mark = before.last + 1;
        return "a colon is missing after the key: JSON writes \"key\": value. Write a colon here.";
    }
    if (token == '=') return "found =: JSON writes a key and its value with a colon, \"key\": value.";
    if (token == ';') return "found ;: JSON separates the elements of a list and a question's members with commas.";
    const std::string word = WordAt(text, start);
    const std::string lower = Lower(word);
    if (lower == "true" || lower == "false" || lower == "null") {
        return "found " + word + ": JSON writes its literals in lower case. Write " + lower + ".";
    }
    if (lower == "nan" || lower == "infinity" || lower == "undefined" || lower == "none") {
        return "found " + word + ", which JSON does not have. Write a number, or null.";
    }
    if (token == '0' && start + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[start + 1]))) {
        return "found a number with a leading zero: JSON writes whole numbers without one. Write " +
               std::to_string(std::atoi(word.c_str())) + ".";
    }
    if (token == '+' || token == '.') {
        return std::string("found a number written with ") + token + " in front: JSON writes " +
               (token == '+' ? "1, not +1" : "0.5, not .5") + ".";
    }
    if (std::isalpha(static_cast<unsigned char>(token)) || token == '_') {
        const bool key = !before.open.empty() && text[before.open.back()] == '{' && (previous == '{' || previous == ',');
        return "found " + word + " outside double quotes: JSON puts every " + (key ? "key" : "text") +
               " between \". Write \"" + word + (key ? "\"" : "...\"") + ".";
    }
    return "found " + Named(code) + " where JSON expects " +
           (reader.expected == Token::None ? "something else" : TokenName(reader.expected)) +
           ". Check the JSON just before the mark.";
}

}  // namespace

Slip FindSlip(const std::string& text, const ReaderStop& stop, const std::string& name) {
    Slip slip;
    if (!stop.refused) return slip;
    slip.found = true;
    if (stop.overflow) {
        slip.offset = stop.token_start;
        slip.note = "found the number " + QuotedToken(text, stop.token_start, stop.read) +
                    ", larger than any number a computer holds. Write the position of the right option, 0 to 3.";
    } else {
        // The reader counts the byte it stopped at among those read.
        slip.note = Diagnose(text, stop, name, std::min(stop.read - 1, text.size()), slip.offset);
        slip.offset = std::min(slip.offset, text.size());
    }
    const size_t line_start = LineStart(text, slip.offset);
    slip.line = LineNumber(text, slip.offset);
    slip.column = CharacterColumn(text, line_start, slip.offset);
    slip.marked = MarkedLine(text, slip.offset, slip.line);
    return slip;
}


