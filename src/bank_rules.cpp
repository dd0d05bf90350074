// The bank's rules, shared by the loader and the checker: what refuses a bank's text as a whole, what keeps an
// entry from becoming a Question, and how an entry that passes becomes one.
#include "bank_rules.h"

#include <new>
#include <utility>

#include "bank_messages.h"
#include "utf8_decoding.h"

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

}  // namespace

const BankJson* ParseBankDocument(const std::string& bank_text, uint64_t size_limit, std::string& err_msg) {
    if (bank_text.size() > size_limit) {
        err_msg = TooLargeMessage(bank_text.size(), size_limit);
        return nullptr;
    }
    if (const char* encoding = WideEncoding(bank_text)) {
        err_msg = FORMAT_ERROR_PREFIX + NotUtf8Message(encoding);
        return nullptr;
    }
    const json* data = ParseDocument(bank_text, err_msg);
    // An object at the top is walked over its member values, null over nothing.
    if (data && !data->is_array() && !data->is_object() && !data->is_null()) {
        err_msg = FORMAT_ERROR_PREFIX + (std::string("The file must hold an array of questions, not ") +
                                         TypeNameWithArticle(*data) + ".");
        return nullptr;
    }
    return data;
}

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

void ConvertEntry(const json& item, Question& q) {
    q.questionText = WideFromCheckedUtf8(item.find("questionText")->get_ref<const json::string_t&>());
    const json& options = *item.find("options");
    q.options.reserve(options.size());
    for (const json& option : options)
        q.options.push_back(WideFromCheckedUtf8(option.get_ref<const json::string_t&>()));
    ReadCorrectAnswer(*item.find("correctAnswer"), q.correctAnswer);
}
