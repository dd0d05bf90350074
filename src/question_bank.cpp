// Reads the question bank (questions.json in the working folder), checks its shape entry by entry so that a
// bad bank is refused with a message naming the entry and key at fault, and draws the exam from it.
//
// A bank may hold 100,000 questions. Its parsed document is then millions of small blocks, so the document takes
// its memory from an arena: large blocks handed out front to back and all given back at once when the load is
// done, without walking the tree to free it piece by piece.
#include "question_bank.h"

#include <io.h>
#include <share.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <new>
#include <numeric>
#include <random>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

std::vector<Question> allQuestions;
std::vector<Question> examQuestions;

namespace {

// The arena the parsed document lives in while a bank is read. Only the loader uses it, on the one GUI thread.
std::vector<char*> arenaBlocks;
char* arenaNext = nullptr;
char* arenaEnd = nullptr;
size_t arenaNextBlockSize = 0;

constexpr size_t ARENA_MIN_BLOCK = 64 * 1024;
constexpr size_t ARENA_MAX_BLOCK = 64 * 1024 * 1024;

// Sizes the arena's first block for a bank of `text_size` bytes. A bank's document takes a little over twice its
// text (a 50 MB bank of 100,000 questions, 114 MB), so one block usually holds it all; pages of the block that are
// never written cost no memory. Should it run out, each further block is twice as large as the one before.
void StartArena(size_t text_size) {
    arenaNextBlockSize = std::max(text_size / 4 * 9, ARENA_MIN_BLOCK);
}

void* ArenaAllocate(size_t bytes, size_t alignment) {
    const size_t padding = (alignment - reinterpret_cast<uintptr_t>(arenaNext) % alignment) % alignment;
    if (arenaNext && padding <= static_cast<size_t>(arenaEnd - arenaNext) &&
        bytes <= static_cast<size_t>(arenaEnd - arenaNext) - padding) {
        char* start = arenaNext + padding;
        arenaNext = start + bytes;
        return start;
    }
    // A new block; operator new aligns it for any type.
    const size_t block_size = std::max(bytes, arenaNextBlockSize);
    arenaBlocks.reserve(arenaBlocks.size() + 1);
    char* start = static_cast<char*>(::operator new(block_size));
    arenaBlocks.push_back(start);
    arenaEnd = start + block_size;
    arenaNextBlockSize = std::min(block_size * 2, ARENA_MAX_BLOCK);
    arenaNext = start + bytes;
    return start;
}

// Gives back everything the arena handed out. Whatever lived there must not be touched afterwards.
void ReleaseArena() {
    for (char* block : arenaBlocks) ::operator delete(block);
    arenaBlocks.clear();
    arenaBlocks.shrink_to_fit();
    arenaNext = arenaEnd = nullptr;
}

// The JSON library builds the document's strings, arrays and objects with an allocator type it default-constructs
// wherever it needs one, so the allocator can only reach the arena through the process-wide values above. Memory is
// given back only by ReleaseArena.
template <typename T>
struct ArenaAllocator {
    using value_type = T;
    ArenaAllocator() = default;
    template <typename U>
    ArenaAllocator(const ArenaAllocator<U>&) noexcept {}
    T* allocate(size_t n) { return static_cast<T*>(ArenaAllocate(n * sizeof(T), alignof(T))); }
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

const char FORMAT_ERROR_PREFIX[] = "Invalid format in questions.json.\n";

// Reads the whole file in text mode, so CR LF arrives as LF and a Ctrl-Z byte ends the data, exactly as a
// text-mode stream would deliver it. Deny-none sharing leaves other programs free to read and write the bank
// while we hold it open.
bool ReadBankFile(const wchar_t* path, std::string& bank_text) {
    FILE* file = _wfsopen(path, L"rt", _SH_DENYNO);
    if (!file) return false;
    // Text mode only ever shortens the data, so one read into a buffer of the file's size takes it all, unless
    // another program makes the file longer meanwhile; the loop then fetches the rest.
    const long long size = _filelengthi64(_fileno(file));
    bank_text.resize(size > 0 ? static_cast<size_t>(size) : 0);
    bank_text.resize(fread(&bank_text[0], 1, bank_text.size(), file));
    char chunk[1 << 16];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bank_text.append(chunk, got);
    const bool read_ok = !ferror(file);
    fclose(file);
    return read_ok;
}

// UTF-16 of `size` bytes of UTF-8 at `bytes`, which are followed by a NUL; see Utf8ToWide.
std::wstring WideFromUtf8(const char* bytes, size_t size) {
    // The terminating NUL goes through the conversion too. A decoder may take a character cut short at the very
    // end of its input to run to that end (Wine's does), and would then swallow what follows the cut byte, such as
    // the closing quote of a parse-error message; with the NUL there, the cut byte is followed by more input.
    const int byte_count = static_cast<int>(std::min<size_t>(size, INT32_MAX - 1)) + 1;
    // No UTF-8 byte yields more than one UTF-16 unit (an ill-formed byte becomes at most one U+FFFD), so a buffer
    // as long as the input takes the whole text in one call.
    std::wstring wide(static_cast<size_t>(byte_count), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes, byte_count, &wide[0], byte_count);
    // The result ends at the first NUL: the terminator, or a "\u0000" in the bank, which ends the text there as it
    // would for any C string the controls are given.
    wide.resize(static_cast<size_t>(n));
    const size_t nul = wide.find(L'\0');
    if (nul != std::wstring::npos) wide.resize(nul);
    return wide;
}

// Utf8ToWide for a text of the parsed bank, which the parser has already found to be well-formed UTF-8. For
// well-formed input the conversion is fixed by Unicode, so decoding it here gives exactly what MultiByteToWideChar
// gives, without a call into the system for each of the half million texts of a large bank.
std::wstring WideFromBankText(const std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    // The text ends at a "\u0000", as for any C string the controls are given.
    const size_t size = std::min(text.find('\0'), text.size());
    // One unit per character, two for those beyond U+FFFF (four-byte sequences); continuation bytes add none.
    size_t units = 0;
    for (size_t i = 0; i < size; ++i) units += ((bytes[i] & 0xC0) != 0x80) + (bytes[i] >= 0xF0);

    std::wstring wide(units, L'\0');
    if (units == size) {  // all ASCII
        std::copy(bytes, bytes + size, wide.begin());
        return wide;
    }
    size_t out = 0;
    for (size_t i = 0; i < size && out < units;) {
        const unsigned lead = bytes[i];
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (size - i < length) break;  // cannot happen in checked text; never read past it
        uint32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
        for (size_t k = 1; k < length; ++k) code = (code << 6) | (bytes[i + k] & 0x3Fu);
        if (code >= 0x10000) {
            if (units - out < 2) break;
            code -= 0x10000;
            wide[out++] = static_cast<wchar_t>(0xD800 + (code >> 10));
            wide[out++] = static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            wide[out++] = static_cast<wchar_t>(code);
        }
        i += length;
    }
    return wide;
}

std::string EntryError(size_t position, const std::string& problem) {
    return FORMAT_ERROR_PREFIX + ("Question " + std::to_string(position) + ": " + problem);
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
// int is undefined behaviour).
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

// Turns one bank entry into a Question, or says what is wrong with it.
bool ReadEntry(const json& item, size_t position, Question& q, std::string& err_msg) {
    if (!item.is_object()) {
        err_msg = EntryError(position, std::string("must be an object with \"questionText\", \"options\" and "
                                                   "\"correctAnswer\", not ") + TypeNameWithArticle(item) + ".");
        return false;
    }
    const auto text_it = item.find("questionText");
    const auto options_it = item.find("options");
    const auto answer_it = item.find("correctAnswer");
    for (const auto& [key, it] : {std::make_pair("questionText", text_it), std::make_pair("options", options_it),
                                  std::make_pair("correctAnswer", answer_it)}) {
        if (it == item.end()) {
            err_msg = EntryError(position, std::string("\"") + key + "\" is missing.");
            return false;
        }
    }

    if (!text_it->is_string()) {
        err_msg = EntryError(position, "\"questionText\" must be a string.");
        return false;
    }
    q.questionText = WideFromBankText(text_it->get_ref<const json::string_t&>());

    // "options" is walked as the library walks any value: null gives nothing, a string gives itself, an object
    // gives its member values. Only a number or a boolean cannot hold options.
    const json& options = *options_it;
    if (options.is_number() || options.is_boolean()) {
        err_msg = EntryError(position, "\"options\" must be an array of strings.");
        return false;
    }
    q.options.reserve(options.size());
    size_t option_position = 0;
    for (const json& option : options) {
        ++option_position;
        if (!option.is_string()) {
            err_msg = EntryError(position, "option " + std::to_string(option_position) +
                                               " of \"options\" must be a string, not " + TypeNameWithArticle(option) +
                                               ".");
            return false;
        }
        q.options.push_back(WideFromBankText(option.get_ref<const json::string_t&>()));
    }

    if (!ReadCorrectAnswer(*answer_it, q.correctAnswer)) {
        err_msg = EntryError(position, answer_it->is_number()
                                           ? "\"correctAnswer\" must be a number from -2147483648 to 2147483647."
                                           : "\"correctAnswer\" must be a number.");
        return false;
    }
    return true;
}

// Parses a bank's text into a document in the arena, or says what is wrong with the text. The caller releases the
// arena, and with it the document, once done with it.
const json* ParseDocument(const std::string& bank_text, std::string& err_msg) {
    StartArena(bank_text.size());
    try {
        // Strict: exceptions on, no comments, nothing but white space after the value. The lexer treats a NUL
        // byte outside a string as the end of the input. The document is never destroyed: all of its memory is in
        // the arena.
        void* place = ArenaAllocate(sizeof(json), alignof(json));
        return new (place) json(json::parse(bank_text.data(), bank_text.data() + bank_text.size(), nullptr, true,
                                            false));
    } catch (const json::exception& e) {
        // parse_error for bad syntax, out_of_range for a number no double can hold (1e999).
        err_msg = FORMAT_ERROR_PREFIX + std::string(e.what());
        return nullptr;
    }
}

// Turns every entry of a parsed bank into a Question and appends them to `questions`, or says what is wrong and
// leaves `questions` as it was.
bool ReadEntries(const json& data, std::vector<Question>& questions, std::string& err_msg) {
    if (!data.is_array() && !data.is_object() && !data.is_null()) {
        err_msg = FORMAT_ERROR_PREFIX + (std::string("The file must hold an array of questions, not ") +
                                         TypeNameWithArticle(data) + ".");
        return false;
    }

    // An object at the top is walked over its member values, null over nothing.
    std::vector<Question> loaded;
    loaded.reserve(data.size());
    size_t position = 0;
    for (const json& item : data) {
        loaded.emplace_back();
        if (!ReadEntry(item, ++position, loaded.back(), err_msg)) return false;
    }

    if (questions.empty()) {
        questions = std::move(loaded);
    } else {
        std::move(loaded.begin(), loaded.end(), std::back_inserter(questions));
    }
    return true;
}

}  // namespace

bool ParseQuestionBank(std::string bank_text, std::vector<Question>& questions, std::string& err_msg) {
    const json* data = ParseDocument(bank_text, err_msg);
    // The text is no longer needed: give its memory back before the questions take theirs.
    std::string().swap(bank_text);
    const bool read = data && ReadEntries(*data, questions, err_msg);
    ReleaseArena();
    return read;
}

bool LoadQuestions(HWND window) {
    std::string bank_text;
    // Relative on purpose: the bank is looked up in the folder the program is started in, not beside the exe.
    if (!ReadBankFile(L"questions.json", bank_text)) {
        MessageBoxW(window, L"Could not find questions.json.", L"Error", MB_ICONERROR | MB_OK);
        return false;
    }
    std::string err_msg;
    if (!ParseQuestionBank(std::move(bank_text), allQuestions, err_msg)) {
        MessageBoxW(window, Utf8ToWide(err_msg).c_str(), L"JSON Parse Error", MB_ICONERROR | MB_OK);
        return false;
    }
    return true;
}

std::wstring Utf8ToWide(const std::string& text) { return WideFromUtf8(text.c_str(), text.size()); }

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
