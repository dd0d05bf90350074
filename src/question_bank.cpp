// The question bank: checks the bank's shape entry by entry, so that a bad bank is refused with a message naming
// the entry and key at fault, turns its entries into questions, and draws the exam from them.
//
// A bank may hold 100,000 questions. Its parsed document is then millions of small blocks, so the document takes
// its memory from a monotonic arena: large blocks handed out front to back and all given back at once when the
// load is done, without walking the tree to free it piece by piece.
#include "question_bank.h"

#include <algorithm>
#include <cstdint>
#include <memory_resource>
#include <new>
#include <numeric>
#include <random>
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
    q.questionText = WideFromCheckedUtf8(text_it->get_ref<const json::string_t&>());

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
        q.options.push_back(WideFromCheckedUtf8(option.get_ref<const json::string_t&>()));
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
    try {
        // Strict: exceptions on, no comments, nothing but white space after the value. The lexer treats a NUL
        // byte outside a string as the end of the input. The document is never destroyed: all of its memory is in
        // the arena.
        void* place = documentArena->allocate(sizeof(json), alignof(json));
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
    std::pmr::monotonic_buffer_resource arena(FirstArenaBlock(bank_text.size()));
    documentArena = &arena;
    const json* data = ParseDocument(bank_text, err_msg);
    // The text is no longer needed: give its memory back before the questions take theirs.
    std::string().swap(bank_text);
    const bool read = data && ReadEntries(*data, questions, err_msg);
    // The document dies with the arena, unwalked.
    documentArena = nullptr;
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
