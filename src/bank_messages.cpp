// What the author of a refused bank reads: its size against the limit, the encoding it looks like, the JSON
// library's message made readable, where a bad entry starts, and why the file could not be read. Apart from a look
// at a bank's first four bytes, only a bank being refused runs this code, so it costs a good bank nothing.
#include "bank_messages.h"

#include <algorithm>
#include <cstring>
#include <map>

#include <nlohmann/json.hpp>

#include "question.h"
#include "utf8_decoding.h"

namespace {

// How much of a token the JSON library quotes in its message is kept: a long unbroken token would make the box
// wider (and, at millions of bytes, slower to lay out) than any screen.
constexpr size_t QUOTED_TOKEN_KEEP = 40;
const char ELLIPSIS[] = "\xE2\x80\xA6";

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

// Where a JSON string that starts at `open` (its opening quote) ends: the offset of its closing quote.
size_t StringEnd(const std::string& text, size_t open) {
    size_t i = open + 1;
    while ((i = text.find_first_of("\"\\", i)) != std::string::npos && text[i] == '\\') i += 2;
    return i == std::string::npos ? text.size() : i;
}

}  // namespace

// A walk over the top value only, in one pass: a key given twice keeps its later value, as the document does, and
// the document's object orders its keys as std::map orders these.
std::vector<size_t> EntryOffsets(const std::string& text) {
    int depth = 0;
    bool in_object = false, expect_key = false, expect_value = false;
    std::string member_key;
    std::vector<size_t> offsets;
    std::map<std::string, size_t> members;
    for (size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; i < text.size() && depth >= 0; ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
        if (depth == 1 && expect_value) {
            expect_value = false;
            if (in_object)
                members[member_key] = i;
            else
                offsets.push_back(i);
        }
        switch (c) {
            case '"': {
                const size_t end = StringEnd(text, i);
                if (depth == 1 && expect_key) {
                    // Keys may be written with escapes; the library reads them back as the document holds them.
                    member_key = nlohmann::json::parse(text.begin() + i, text.begin() + end + 1).get<std::string>();
                    expect_key = false;
                }
                i = end;
                break;
            }
            case '[':
            case '{':
                if (depth++ == 0) {
                    in_object = c == '{';
                    expect_key = in_object;
                    expect_value = !in_object;
                }
                break;
            case ']':
            case '}':
                // The end of the top value ends the walk (depth -1 stops the loop).
                if (--depth == 0) depth = -1;
                break;
            case ',':
                if (depth == 1) (in_object ? expect_key : expect_value) = true;
                break;
            case ':':
                if (depth == 1) expect_value = true;
                break;
        }
    }
    for (const auto& member : members) offsets.push_back(member.second);
    return offsets;
}

// One pass over the text however many places are asked for, in whatever order.
std::vector<std::pair<size_t, size_t>> LinesAndColumns(const std::string& text, const std::vector<size_t>& offsets) {
    std::vector<size_t> order(offsets.size());
    for (size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return offsets[a] < offsets[b]; });
    std::vector<std::pair<size_t, size_t>> places(offsets.size());
    size_t line = 1, line_start = 0, counted_to = 0;
    for (size_t k : order) {
        const size_t offset = offsets[k];
        for (size_t at = text.find('\n', counted_to); at != std::string::npos && at < offset;
             at = text.find('\n', at + 1)) {
            ++line;
            line_start = at + 1;
        }
        counted_to = offset;
        places[k] = {line, offset - line_start + 1};
    }
    return places;
}

std::string TooLargeMessage(uint64_t size, uint64_t limit, const std::string& name) {
    return name + " is too large: " + SizeText(size) + ". Tessavon reads banks of up to " + SizeText(limit) +
           ".";
}

std::string OutOfMemoryMessage(uint64_t size, const std::string& name, const char* again) {
    return name + " (" + SizeText(size) + ") is too large for the memory available. Close other programs and " +
           again + ", or use a smaller bank.";
}

// JSON text starts with an ASCII character, so UTF-16 and UTF-32 show their zero bytes within the first four,
// with a byte-order mark or without one. Returns the encoding the bytes look like, or nullptr.
const char* WideEncoding(const std::string& text) {
    if (text.size() < 2) return nullptr;
    unsigned char b[4] = {};
    for (size_t i = 0; i < 4 && i < text.size(); ++i) b[i] = static_cast<unsigned char>(text[i]);
    const bool four = text.size() >= 4;
    if (four && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0 && b[3] == 0) return "UTF-32 little-endian";
    if (four && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF) return "UTF-32 big-endian";
    if (b[0] == 0xFF && b[1] == 0xFE) return "UTF-16 little-endian";
    if (b[0] == 0xFE && b[1] == 0xFF) return "UTF-16 big-endian";
    if (!four) return nullptr;
    if (b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] != 0) return "UTF-32 big-endian";
    if (b[0] != 0 && b[1] == 0 && b[2] == 0 && b[3] == 0) return "UTF-32 little-endian";
    if (b[0] == 0 && b[1] != 0 && b[2] == 0 && b[3] != 0) return "UTF-16 big-endian";
    if (b[0] != 0 && b[1] == 0 && b[2] != 0 && b[3] == 0) return "UTF-16 little-endian";
    return nullptr;
}

// The JSON library's message as the author needs it. A line break where none may be (inside a string, say) is
// reported by the library as column 0 of the next line; it is moved to the end of the line that holds the break,
// the line to fix. The token the library quotes is cut to its last few dozen bytes, and ends at a character.
std::string ReadableLibraryMessage(const std::string& what, const std::string& text, size_t error_byte) {
    std::string message = what;
    const size_t at_line = message.find("at line ");
    const size_t location_end = message.find(": ", at_line);
    if (error_byte >= 1 && error_byte <= text.size() && text[error_byte - 1] == '\n' && at_line != std::string::npos &&
        location_end != std::string::npos) {
        message.replace(at_line + 3, location_end - at_line - 3, LineAndColumn(text, error_byte - 1));
    }

    for (const char* marker : {"; last read: '", "number overflow parsing '"}) {
        const size_t found = message.find(marker);
        if (found == std::string::npos) continue;
        const size_t start = found + std::strlen(marker);
        // The token's closing quote ends the message, unless the library goes on to say what it expected.
        size_t end = message.size() - 1;
        for (const char* expected : {"string literal", "end of input", "']'", "'}'", "':'", "'[', '{', or a literal"}) {
            const std::string suffix = std::string("'; expected ") + expected;
            if (message.size() - start > suffix.size() &&
                message.compare(message.size() - suffix.size(), suffix.size(), suffix) == 0) {
                end = message.size() - suffix.size();
            }
        }
        if (message[end] != '\'') break;
        // The library quotes bytes and may stop inside a character: its lead and the bytes read of it are left out.
        for (size_t k = 1; k <= 3 && k <= end - start; ++k) {
            const unsigned char byte = static_cast<unsigned char>(message[end - k]);
            if ((byte & 0xC0) == 0x80) continue;
            const size_t length = byte >= 0xF8 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            if (length > k) message.erase(end -= k, k);
            break;
        }
        if (end - start <= QUOTED_TOKEN_KEEP + 8) break;
        size_t cut = end - QUOTED_TOKEN_KEEP;
        // Begin at a character, not inside one, nor inside the library's "<U+000A>" for a control character.
        for (int k = 0; k < 3 && (static_cast<unsigned char>(message[cut]) & 0xC0) == 0x80; ++k) ++cut;
        const size_t escape = message.rfind("<U+", cut);
        if (escape != std::string::npos && escape >= start && escape < cut && cut < escape + 8) cut = escape + 8;
        message.replace(start, cut - start, ELLIPSIS);
        break;
    }
    return message;
}

std::string NotUtf8Message(const char* encoding) {
    return "The file looks like " + std::string(encoding) + " text, not UTF-8. Save it as UTF-8 in your editor.";
}

std::string EntryLocation(const std::string& text, size_t index) {
    return LineAndColumn(text, EntryOffsets(text)[index]);
}

// Words for a bank file that could not be read.
std::wstring FileProblem(BankFileResult result, uint64_t file_size, DWORD system_error, const std::string& name,
                         const char* again) {
    const std::wstring cannot_read = Utf8ToWide(name) + L" is there but cannot be read: ";
    switch (result) {
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
            return Utf8ToWide(TooLargeMessage(file_size, BANK_SIZE_LIMIT, name));
        case BankFileResult::OutOfMemory:
            return Utf8ToWide(OutOfMemoryMessage(file_size, name, again));
        default: {
            wchar_t* system_text = nullptr;
            FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, system_error, 0, reinterpret_cast<wchar_t*>(&system_text), 0, nullptr);
            std::wstring words = system_text ? system_text : L"";
            LocalFree(system_text);
            words.erase(words.find_last_not_of(L" \r\n.") + 1);
            if (words.empty()) words = L"Windows error " + std::to_wstring(system_error);
            return cannot_read + words + L".";
        }
    }
}
