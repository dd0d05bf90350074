// The question bank: checks the bank's shape entry by entry, so that a bad bank is refused with a message naming
// the entry and key at fault, turns its entries into questions, and draws the exam from them.
#include "question_bank.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <numeric>
#include <random>
#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "bank_document.h"
#include "bank_file.h"
#include "bank_messages.h"
#include "utf8_decoding.h"

std::vector<Question> allQuestions;
std::vector<Question> examQuestions;

namespace {

using json = BankJson;

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
                                         EntryLocation(bank_text, position, key) + "): " +
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
        err_msg = FORMAT_ERROR_PREFIX + NotUtf8Message(encoding);
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
