// The question bank: checks the bank's shape entry by entry, so that a bad bank is refused with a message naming
// the entry and key at fault, turns its entries into questions, and draws the exam from them.
//
// A bank may hold 100,000 questions. Its parsed document is then millions of small blocks, so the document takes
// its memory from a monotonic arena: large blocks handed out front to back and all given back at once when the
// load is done, without walking the tree to free it piece by piece.
#include "question_bank.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory_resource>
#include <new>
#include <numeric>
#include <random>
#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "bank_file.h"
#include "utf8_decoding.h"

std::vector<Question> allQuestions;
std::vector<Question> examQuestions;

namespace {

// The arena the parsed document lives in while a bank is parsed; only the loader uses it, on the one GUI thread.
std::pmr::monotonic_buffer_resource* documentArena = nullptr;

constexpr size_t ARENA_MIN_BLOCK = 64 * 1024;

// A bank's document takes a little over twice its text (a 50 MB bank of 100,000 questions, 114 MB), so a first
// block of 9/4 of the text usually holds it all; pages of the block that are never written cost no memory.
size_t FirstArenaBlock(size_t text_size) { return std::max(text_size / 4 * 9, ARENA_MIN_BLOCK); }

// The JSON library default-constructs its allocators wherever it needs one, so the allocator cannot carry the arena
// and reaches it through the process-wide pointer instead.
template <typename T>
struct ArenaAllocator {
    using value_type = T;
    ArenaAllocator() = default;
    template <typename U>
    ArenaAllocator(const ArenaAllocator<U>&) noexcept {}
    T* allocate(size_t n) { return static_cast<T*>(documentArena->allocate(n * sizeof(T), alignof(T))); }
    void deallocate(T*, size_t) noexcept {}
};
template <typename T, typename U>
bool operator==(const ArenaAllocator<T>&, const ArenaAllocator<U>&) { return true; }
template <typename T, typename U>
bool operator!=(const ArenaAllocator<T>&, const ArenaAllocator<U>&) { return false; }

// The library's usual document (ordered objects, 64-bit numbers), with its strings and containers in the arena.
using ArenaString = std::basic_string<char, std::char_traits<char>, ArenaAllocator<char>>;
using json = nlohmann::basic_json<std::map, std::vector, ArenaString, bool, std::int64_t, std::uint64_t, double,
                                  ArenaAllocator>;

// How much of a token the JSON library quotes in its message is kept: a long unbroken token would make the box
// wider (and, at millions of bytes, slower to lay out) than any screen.
constexpr size_t QUOTED_TOKEN_KEEP = 40;
const char ELLIPSIS[] = "\xE2\x80\xA6";

std::string SizeText(uint64_t bytes) {
    std::string text = std::to_string(bytes) + " bytes";
    if (bytes >= (1u << 20)) text += " (" + std::to_string((bytes + (1u << 19)) >> 20) + " MB)";
    return text;
}

std::string TooLargeMessage(uint64_t size, uint64_t limit) {
    return "questions.json is too large: " + SizeText(size) + ". Tessavon reads banks of up to " + SizeText(limit) +
           ".";
}

std::string OutOfMemoryMessage(uint64_t size) {
    return "questions.json (" + SizeText(size) +
           ") is too large for the memory available. Close other programs and start Tessavon again, or use a "
           "smaller bank.";
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

// "line L, column C" of the byte at `offset`, both counted from 1, the column in bytes as the JSON library counts.
std::string LineAndColumn(const std::string& text, size_t offset) {
    const size_t line = 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + offset, '\n'));
    const size_t line_start = offset == 0 ? 0 : text.rfind('\n', offset - 1) + 1;  // npos + 1 is 0
    return "line " + std::to_string(line) + ", column " + std::to_string(offset - line_start + 1);
}

// The JSON library's message as the author needs it. A line break where none may be (inside a string, say) is
// reported by the library as column 0 of the next line; it is moved to the end of the line that holds the break,
// the line to fix. The token the library quotes is cut to its last few dozen bytes.
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
        if (message[end] != '\'' || end - start <= QUOTED_TOKEN_KEEP + 8) break;
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

const char* TypeNameWithArticle(const json& value) {
    switch (value.type()) {
        case json::value_t::null: return "null";
        case json::value_t::boolean: return "a boolean";
        case json::value_t::string: return "a string";
        case json::value_t::array: return "an array";
        case json::value_t::object: return "an object";
        default: return "a number";
    }
}

// Reads "correctAnswer": an integer keeps its low 32 bits, true and false count as 1 and 0, and a number with a
// fraction or exponent is truncated toward zero, but only when the result fits (converting anything larger to
// int is undefined behaviour). An integer beyond the 64-bit range is read by the library as such a number.
bool ReadCorrectAnswer(const json& value, int& answer) {
    switch (value.type()) {
        case json::value_t::boolean:
            answer = value.get<bool>() ? 1 : 0;
            return true;
        case json::value_t::number_integer:
            answer = static_cast<int32_t>(static_cast<uint32_t>(value.get<int64_t>()));
            return true;
        case json::value_t::number_unsigned:
            answer = static_cast<int32_t>(static_cast<uint32_t>(value.get<uint64_t>()));
            return true;
        case json::value_t::number_float: {
            const double d = value.get<double>();
            if (!(d > -2147483649.0 && d < 2147483648.0)) return false;
            answer = static_cast<int>(d);
            return true;
        }
        default:
            return false;
    }
}

// Says what keeps one bank entry from becoming a Question, or returns an empty text when nothing does.
std::string EntryProblem(const json& item) {
    if (!item.is_object()) {
        return std::string("must be an object with \"questionText\", \"options\" and \"correctAnswer\", not ") +
               TypeNameWithArticle(item) + ".";
    }
    const auto text_it = item.find("questionText");
    const auto options_it = item.find("options");
    const auto answer_it = item.find("correctAnswer");
    for (const auto& [key, it] : {std::make_pair("questionText", text_it), std::make_pair("options", options_it),
                                  std::make_pair("correctAnswer", answer_it)}) {
        if (it == item.end()) return std::string("\"") + key + "\" is missing.";
    }
    if (!text_it->is_string()) return "\"questionText\" must be a string.";

    // "options" is walked as the library walks any value: null gives nothing, a string gives itself, an object
    // gives its member values. Only a number or a boolean cannot hold options.
    const json& options = *options_it;
    if (options.is_number() || options.is_boolean()) return "\"options\" must be an array of strings.";
    size_t option_position = 0;
    for (const json& option : options) {
        ++option_position;
        if (!option.is_string()) {
            return "option " + std::to_string(option_position) + " of \"options\" must be a string, not " +
                   TypeNameWithArticle(option) + ".";
        }
    }

    const json& answer = *answer_it;
    int unused;
    if (!answer.is_number() && !answer.is_boolean()) {
        return std::string("\"correctAnswer\" must be a number, true or false, not ") + TypeNameWithArticle(answer) +
               ".";
    }
    if (!ReadCorrectAnswer(answer, unused)) {
        return "\"correctAnswer\" is out of range: write a whole number from -9223372036854775808 to "
               "18446744073709551615 (its low 32 bits are kept), or a number with a fraction or exponent whose whole "
               "part is from -2147483648 to 2147483647.";
    }
    return std::string();
}

// Turns an entry that EntryProblem has passed into a Question.
void ConvertEntry(const json& item, Question& q) {
    q.questionText = WideFromCheckedUtf8(item.find("questionText")->get_ref<const json::string_t&>());
    const json& options = *item.find("options");
    q.options.reserve(options.size());
    for (const json& option : options)
        q.options.push_back(WideFromCheckedUtf8(option.get_ref<const json::string_t&>()));
    ReadCorrectAnswer(*item.find("correctAnswer"), q.correctAnswer);
}

// Where a JSON string that starts at `open` (its opening quote) ends: the offset of its closing quote.
size_t StringEnd(const std::string& text, size_t open) {
    size_t i = open + 1;
    while ((i = text.find_first_of("\"\\", i)) != std::string::npos && text[i] == '\\') i += 2;
    return i == std::string::npos ? text.size() : i;
}

// The offset in the bank's text where an entry's value starts: the element at `index` (from 0) of a top-level array,
// or the value of the last member named `key` of a top-level object (a key given twice uses the later value). The
// text has been parsed, so its syntax is sound up to the end of the top value. Only run for a bank being refused.
size_t EntryOffset(const std::string& text, size_t index, const std::string& key) {
    int depth = 0;
    bool in_object = false, expect_key = false, expect_value = false;
    std::string member_key;
    size_t element = 0, found = 0;
    for (size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
        if (depth == 1 && expect_value) {
            expect_value = false;
            if (in_object && member_key == key) found = i;
            if (!in_object && element++ == index) return i;
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
                if (--depth == 0) return found;
                break;
            case ',':
                if (depth == 1) (in_object ? expect_key : expect_value) = true;
                break;
            case ':':
                if (depth == 1) expect_value = true;
                break;
        }
    }
    return found;
}

// Parses a bank's text into a document in the arena, or says what is wrong with the text. The caller releases the
// arena, and with it the document, once done with it.
const json* ParseDocument(const std::string& bank_text, std::string& err_msg) {
    try {
        // Strict: exceptions on, no comments, nothing but white space after the value. The lexer treats a NUL
        // byte outside a string as the end of the input. The document is never destroyed: all of its memory is in
        // the arena.
        void* place = documentArena->allocate(sizeof(json), alignof(json));
        return new (place) json(json::parse(bank_text.data(), bank_text.data() + bank_text.size(), nullptr, true,
                                            false));
    } catch (const json::parse_error& e) {
        err_msg = FORMAT_ERROR_PREFIX + ReadableLibraryMessage(e.what(), bank_text, e.byte);
    } catch (const json::exception& e) {
        // out_of_range for a number no double can hold (1e999).
        err_msg = FORMAT_ERROR_PREFIX + ReadableLibraryMessage(e.what(), bank_text, 0);
    }
    return nullptr;
}

// Checks every entry of a parsed bank before any becomes a Question, while the text is still there to say where a
// bad entry is; says what is wrong with the first bad one.
bool CheckEntries(const json& data, const std::string& bank_text, std::string& err_msg) {
    if (!data.is_array() && !data.is_object() && !data.is_null()) {
        err_msg = FORMAT_ERROR_PREFIX + (std::string("The file must hold an array of questions, not ") +
                                         TypeNameWithArticle(data) + ".");
        return false;
    }
    // An object at the top is walked over its member values, null over nothing.
    size_t position = 0;
    for (auto it = data.begin(); it != data.end(); ++it, ++position) {
        const std::string problem = EntryProblem(*it);
        if (problem.empty()) continue;
        const std::string key = data.is_object() ? std::string(it.key().data(), it.key().size()) : std::string();
        err_msg = FORMAT_ERROR_PREFIX + ("Question " + std::to_string(position + 1) + " (" +
                                         LineAndColumn(bank_text, EntryOffset(bank_text, position, key)) + "): " +
                                         problem);
        return false;
    }
    return true;
}

// Turns every entry of a checked bank into a Question and appends them to `questions`.
void ConvertEntries(const json& data, std::vector<Question>& questions) {
    std::vector<Question> loaded(data.size());
    size_t position = 0;
    for (const json& item : data) ConvertEntry(item, loaded[position++]);
    if (questions.empty()) {
        questions = std::move(loaded);
    } else {
        // Room first: moving the questions in cannot fail, so running out of memory leaves `questions` as it was.
        questions.reserve(questions.size() + loaded.size());
        std::move(loaded.begin(), loaded.end(), std::back_inserter(questions));
    }
}

// Parses and checks the text, lets it go, and converts the entries; the document lives in an arena for the call.
bool ParseCheckAndConvert(std::string& bank_text, std::vector<Question>& questions, std::string& err_msg) {
    std::pmr::monotonic_buffer_resource arena(FirstArenaBlock(bank_text.size()));
    documentArena = &arena;
    const json* data = ParseDocument(bank_text, err_msg);
    const bool good = data && CheckEntries(*data, bank_text, err_msg);
    // The text is no longer needed: give its memory back before the questions take theirs.
    std::string().swap(bank_text);
    if (good) ConvertEntries(*data, questions);
    // The document dies with the arena, unwalked.
    documentArena = nullptr;
    return good;
}

// Words for a bank file that could not be read.
std::wstring FileProblem(BankFileResult result, uint64_t file_size, DWORD system_error) {
    const std::wstring cannot_read = L"questions.json is there but cannot be read: ";
    switch (result) {
        case BankFileResult::Missing:
            return L"Could not find questions.json.";
        case BankFileResult::InUse:
            return cannot_read + L"it is open in another program that does not share it. Close it there, then "
                                 L"start Tessavon again.";
        case BankFileResult::NotAllowed:
            return cannot_read + L"you do not have permission to read it.";
        case BankFileResult::NotAFile:
            return cannot_read + L"it is a device or a pipe, not a file.";
        case BankFileResult::TooLarge:
            return Utf8ToWide(TooLargeMessage(file_size, BANK_SIZE_LIMIT));
        case BankFileResult::OutOfMemory:
            return Utf8ToWide(OutOfMemoryMessage(file_size));
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

bool ReadAndReport(HWND window) {
    std::string bank_text;
    uint64_t file_size = 0;
    DWORD system_error = ERROR_SUCCESS;
    // Relative on purpose: the bank is looked up in the folder the program is started in, not beside the exe.
    const BankFileResult read = ReadBankFile(L"questions.json", BANK_SIZE_LIMIT, bank_text, file_size, system_error);
    if (read != BankFileResult::Read) {
        MessageBoxW(window, FileProblem(read, file_size, system_error).c_str(), L"Error", MB_ICONERROR | MB_OK);
        return false;
    }
    std::string err_msg;
    if (!ParseQuestionBank(std::move(bank_text), allQuestions, err_msg)) {
        // What is wrong inside the bank is a parse error to the author; its size is not.
        const bool format = err_msg.rfind(FORMAT_ERROR_PREFIX, 0) == 0;
        MessageBoxW(window, Utf8ToWide(err_msg).c_str(), format ? L"JSON Parse Error" : L"Error",
                    MB_ICONERROR | MB_OK);
        return false;
    }
    return true;
}

}  // namespace

bool ParseQuestionBank(std::string bank_text, std::vector<Question>& questions, std::string& err_msg,
                       uint64_t size_limit) {
    const uint64_t size = bank_text.size();
    if (size > size_limit) {
        err_msg = TooLargeMessage(size, size_limit);
        return false;
    }
    if (const char* encoding = WideEncoding(bank_text)) {
        err_msg = FORMAT_ERROR_PREFIX + ("The file looks like " + std::string(encoding) +
                                         " text, not UTF-8. Save it as UTF-8 in your editor.");
        return false;
    }
    try {
        return ParseCheckAndConvert(bank_text, questions, err_msg);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    // Out of memory: what the attempt took has been given back by now, and the text goes too.
    documentArena = nullptr;
    std::string().swap(bank_text);
    err_msg = OutOfMemoryMessage(size);
    return false;
}

bool LoadQuestions(HWND window) {
    try {
        return ReadAndReport(window);
    } catch (const std::bad_alloc&) {
        // Not even the message could be made: say it without building anything.
        MessageBoxW(window, L"questions.json is too large for the memory available.", L"Error",
                    MB_ICONERROR | MB_OK);
        return false;
    }
}

void PrepareExam() {
    if (allQuestions.empty()) return;
    examQuestions.clear();

    std::vector<int> indices(allQuestions.size());
    std::iota(indices.begin(), indices.end(), 0);
    std::random_device seed_source;
    std::mt19937 engine(seed_source());
    std::shuffle(indices.begin(), indices.end(), engine);

    const size_t count = std::min<size_t>(indices.size(), EXAM_QUESTION_LIMIT);
    examQuestions.reserve(count);
    for (size_t k = 0; k < count; ++k) examQuestions.push_back(allQuestions[indices[k]]);
}
