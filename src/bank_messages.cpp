// What the author of a refused bank reads: its size against the limit, the encoding it looks like, the JSON
// library's message made readable, where a bad entry starts, and why the file could not be read. Apart from a look
// at a bank's first four bytes, only a bank being refused runs this code, so it costs a good bank nothing.
#include "bank_messages.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include <nlohmann/json.hpp>

#include "json_tokens.h"
#include "question.h"
#include "text_places.h"
#include "utf8_decoding.h"

namespace {

// How much of a token the JSON library quotes in its message is kept: a long unbroken token would make the box
// wider (and, at millions of bytes, slower to lay out) than any screen.
constexpr size_t QUOTED_TOKEN_KEEP = 40;

std::string SizeText(uint64_t bytes) {
    std::string text = std::to_string(bytes) + " bytes";
    if (bytes >= (1u << 20)) text += " (" + std::to_string((bytes + (1u << 19)) >> 20) + " MB)";
    return text;
}

// "line L, column C" of the byte at `offset`, both counted from 1, the column in bytes as the JSON library counts.
std::string LineAndColumn(const std::string& text, size_t offset) {
    const std::pair<size_t, size_t> place = LinesAndColumns(text, {offset})[0];
    return "line " + std::to_string(place.first) + ", column " + std::to_string(place.second);
}

}  // namespace

std::string TooLargeMessage(uint64_t size, uint64_t limit, const std::string& name) {
    return name + " is too large: " + SizeText(size) + ". Tessavon reads banks of up to " + SizeText(limit) +
           ".";
}

std::string OutOfMemoryMessage(uint64_t size, const std::string& name, const char* again) {
    return name + " (" + SizeText(size) + ") is too large for the memory available. Close other programs and " +
           again + ", or use a smaller bank.";
}

const char* TypeNameWithArticle(ValueKind kind) {
    switch (kind) {
        case ValueKind::Null: return "null";
        case ValueKind::Boolean: return "a boolean";
        case ValueKind::String: return "a string";
        case ValueKind::Array: return "an array";
        case ValueKind::Object: return "an object";
        default: return "a number";
    }
}

std::string EntryFaultWords(const EntryVerdict& verdict) {
    const std::string found = TypeNameWithArticle(verdict.found);
    switch (verdict.fault) {
        case EntryFault::NotObject:
            return "must be an object with \"questionText\", \"options\" and \"correctAnswer\", not " + found + ".";
        case EntryFault::Missing:
            return verdict.missing & MISSING_TEXT      ? "\"questionText\" is missing."
                   : verdict.missing & MISSING_OPTIONS ? "\"options\" is missing."
                                                       : "\"correctAnswer\" is missing.";
        case EntryFault::TextNotString: return "\"questionText\" must be a string.";
        case EntryFault::OptionsNotList: return "\"options\" must be an array of strings.";
        case EntryFault::OptionNotString:
            return "option " + std::to_string(verdict.option + 1) + " of \"options\" must be a string, not " + found +
                   ".";
        case EntryFault::AnswerNotNumber: return "\"correctAnswer\" must be a number, true or false, not " + found + ".";
        case EntryFault::AnswerOutOfRange:
            return "\"correctAnswer\" is out of range: write a whole number from -9223372036854775808 to "
                   "18446744073709551615 (its low 32 bits are kept), or a number with a fraction or exponent whose "
                   "whole part is from -2147483648 to 2147483647.";
        default: return std::string();
    }
}

bool IsFormatFault(const TextVerdict& verdict) {
    return verdict.fault != TextFault::None && verdict.fault != TextFault::TooLarge;
}

// A line break where none may be (inside a string, say) is reported by the library as column 0 of the next line;
// it is moved to the end of the line that holds the break, the line to fix.
std::pair<size_t, size_t> ReaderPlace(const ReaderStop& stop, const std::string& text) {
    if (stop.read >= 1 && stop.read <= text.size() && text[stop.read - 1] == '\n')
        return LinesAndColumns(text, {stop.read - 1})[0];
    return {stop.line, stop.column};
}

// The library quotes bytes, and may stop inside a character: its lead and the bytes read of it are left out. A
// long unbroken token would make the box wider (and, at millions of bytes, slower to lay out) than any screen.
std::string QuotedToken(const std::string& text, size_t from, size_t to) {
    to = std::min(to, text.size());
    const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
    for (size_t k = 1; k <= 3 && k <= to - from; ++k) {
        const unsigned char lead = byte(to - k);
        if ((lead & 0xC0) == 0x80) continue;
        const size_t length = lead >= 0xF8 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (length > k) to -= k;
        break;
    }
    // The library writes a control character as "<U+000A>", eight bytes; a cut never splits one.
    const auto quoted_size = [&](size_t at) -> size_t { return byte(at) <= 0x1F ? 8 : 1; };
    size_t size = 0;
    for (size_t at = from; at < to; ++at) size += quoted_size(at);
    std::string quoted;
    if (size > QUOTED_TOKEN_KEEP + 8) {
        quoted = ELLIPSIS_UTF8;
        size_t kept = 0;
        from = to;
        while (kept + quoted_size(from - 1) <= QUOTED_TOKEN_KEEP) kept += quoted_size(--from);
        // Begin at a character, not inside one.
        for (int k = 0; k < 3 && from < to && (byte(from) & 0xC0) == 0x80; ++k) ++from;
    }
    for (size_t at = from; at < to; ++at) {
        if (byte(at) > 0x1F) {
            quoted += text[at];
            continue;
        }
        char escaped[9];
        std::snprintf(escaped, sizeof escaped, "<U+%.4X>", byte(at));
        quoted += escaped;
    }
    return quoted;
}

std::string TextFaultWords(const TextVerdict& verdict, const std::string& text) {
    if (verdict.fault == TextFault::TooLarge) return TooLargeMessage(verdict.size, verdict.limit);
    if (verdict.fault == TextFault::NotUtf8) return NotUtf8Message(verdict.encoding);
    if (verdict.fault == TextFault::NotAList)
        return std::string("The file must hold an array of questions, not ") + TypeNameWithArticle(verdict.top) + ".";
    const ReaderStop& stop = verdict.reader;
    if (stop.overflow)
        return nlohmann::detail::out_of_range::create(406, ReaderWords(stop, text), nullptr).what();
    const std::pair<size_t, size_t> place = ReaderPlace(stop, text);
    nlohmann::detail::position_t position;
    position.chars_read_total = stop.read;
    position.lines_read = place.first - 1;
    position.chars_read_current_line = place.second;
    return nlohmann::detail::parse_error::create(101, position, ReaderWords(stop, text), nullptr).what();
}

std::string ReaderWords(const ReaderStop& stop, const std::string& text) {
    const std::string token = QuotedToken(text, stop.quoted_from, stop.read);
    if (stop.overflow) return "number overflow parsing '" + token + "'";
    std::string words = "syntax error ";
    if (*stop.context) words += std::string("while parsing ") + stop.context + " ";
    words += "- ";
    words += stop.found == Token::Refused ? std::string(stop.lexer_error) + "; last read: '" + token + "'"
                                          : std::string("unexpected ") + TokenName(stop.found);
    if (stop.expected != Token::None) words += std::string("; expected ") + TokenName(stop.expected);
    return words;
}

std::string NotUtf8Message(const char* encoding) {
    return "The file looks like " + std::string(encoding) + " text, not UTF-8. Save it as UTF-8 in your editor.";
}

std::string EntryLocation(const std::string& text, size_t index) {
    return LineAndColumn(text, EntryOffsets(text)[index]);
}

// Words for a bank file that could not be read.
std::string DiagnosticLine(const std::string& name, size_t line, size_t column, const char* kind,
                           const std::string& text) {
    const std::string place = line ? ":" + std::to_string(line) + ":" + std::to_string(column) : "";
    return name + place + ": " + kind + ": " + text;
}

std::string Counted(size_t count, const char* thing, const char* zero) {
    return (count == 0 && zero ? std::string(zero) : std::to_string(count)) + " " + thing + (count == 1 ? "" : "s");
}

std::string SystemWords(DWORD error) {
    wchar_t* system_text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<wchar_t*>(&system_text), 0, nullptr);
    std::wstring words = system_text ? system_text : L"";
    LocalFree(system_text);
    words.erase(words.find_last_not_of(L" \r\n.") + 1);
    return words.empty() ? "Windows error " + std::to_string(error) : Utf8FromWide(words);
}

std::wstring FileProblem(const BankFile& read, const std::string& name, const char* again) {
    const std::wstring cannot_read = Utf8ToWide(name) + L" is there but cannot be read: ";
    switch (read.result) {
        case BankFileResult::Missing:
            return L"Could not find " + Utf8ToWide(name) + L".";
        case BankFileResult::Folder:
            return Utf8ToWide(name) + L" is a folder, not a file.";
        case BankFileResult::InUse:
            return cannot_read + L"it is open in another program that does not share it. Close it there, then " +
                   Utf8ToWide(again) + L".";
        case BankFileResult::NotAllowed:
            return cannot_read + L"you do not have permission to read it.";
        case BankFileResult::NotAFile:
            return cannot_read + L"it is a device or a pipe, not a file.";
        case BankFileResult::TooLarge:
            return Utf8ToWide(TooLargeMessage(read.size, BANK_SIZE_LIMIT, name));
        case BankFileResult::OutOfMemory:
            return Utf8ToWide(OutOfMemoryMessage(read.size, name, again));
        default:
            return cannot_read + Utf8ToWide(SystemWords(read.system_error)) + L".";
    }
}
