// An entry's slips, found from what the rules' verdict says and the entry as written. An answer is said as the
// number to write: a letter or kana names its option's position, an option's own text its position too.
#include "entry_slips.h"

#include <algorithm>
#include <vector>

#include <nlohmann/json.hpp>

#include "bank_messages.h"
#include "meant_keys.h"

namespace {

using json = nlohmann::json;

const char ANY_POSITION[] = "write the position of the right option, counted from 0 (0 to 3).";

// The entry as a document: its syntax is sound, and the reader stops at its end.
json EntryDocument(const std::string& text, size_t offset) {
    json entry;
    nlohmann::detail::json_sax_dom_parser<json> document(entry, false);
    json::sax_parse(text.begin() + static_cast<std::ptrdiff_t>(offset), text.end(), &document,
                    json::input_format_t::json, false);
    return entry;
}

// What to write for an answer given as the text `given`, among the entry's `options`.
std::string AnswerTextWords(const std::string& given, const json& options) {
    const std::string quoted = json(given).dump(-1, ' ', false, json::error_handler_t::replace);
    if (options.is_array()) {
        const auto same = std::find(options.begin(), options.end(), json(given));
        if (same != options.end()) {
            const auto k = std::to_string(same - options.begin());
            return "\"correctAnswer\" is " + quoted + ", the text of option " + k + " counted from 0: write its position, " +
                   k + ", without quotes.";
        }
    }
    if (const int k = LetterPosition(given); k >= 0) {
        return "\"correctAnswer\" is " + quoted + ", a letter: write the position of the right option as a number, "
               "counted from 0: " + quoted + " is " + std::to_string(k) + ".";
    }
    if (!given.empty() && given.find_first_not_of("0123456789") == std::string::npos) {
        return "\"correctAnswer\" is the number " + given + " in quotes: write it without them, " + given + ".";
    }
    return "\"correctAnswer\" is a text: " + std::string(ANY_POSITION);
}

// The options written as keys "A" to "D" (or ア to エ) of the question instead of in a list: the first such key,
// and the list to write, or nullptr when the entry has no such keys.
const Member* OptionsAsKeys(const std::vector<Member>& keys, const json& entry, std::string& list) {
    const Member* first = nullptr;
    std::vector<std::string> texts(4);
    for (const Member& key : keys) {
        const int k = LetterPosition(key.key);
        if (k < 0 || !entry.contains(key.key)) continue;
        if (!first) first = &key;
        texts[static_cast<size_t>(k)] = entry[key.key].dump(-1, ' ', false, json::error_handler_t::replace);
    }
    if (!first) return nullptr;
    list = "\"options\": [";
    for (size_t k = 0; k < texts.size(); ++k) list += (k ? ", " : "") + (texts[k].empty() ? "\"...\"" : texts[k]);
    list += "]";
    return first;
}

// The words for a missing key with nothing written in its place.
std::string MissingWords(unsigned missing) {
    if (missing & MISSING_TEXT) return "\"questionText\" is missing: add the question, \"questionText\": \"...\".";
    if (missing & MISSING_OPTIONS)
        return "\"options\" is missing: add the options, \"options\": [\"...\", \"...\", \"...\", \"...\"].";
    return "\"correctAnswer\" is missing: add the position of the right option, counted from 0, \"correctAnswer\": 0.";
}

}  // namespace

EntrySlip FindEntrySlip(const std::string& text, size_t entry_offset, const EntryVerdict& verdict) {
    const std::string found = TypeNameWithArticle(verdict.found);
    if (verdict.fault == EntryFault::NotObject) {
        return {entry_offset, "is " + found + ", not a question: write it as {\"questionText\": \"...\", \"options\": "
                              "[\"...\", \"...\", \"...\", \"...\"], \"correctAnswer\": 0}."};
    }
    const std::vector<Member> keys = Members(text, entry_offset);
    if (verdict.fault == EntryFault::Missing) {
        const std::vector<MissingKey> missing = MissingKeys(text, keys, verdict.missing);
        if (!missing.empty() && missing[0].meant_by) {
            const Member& meant = *missing[0].meant_by;
            return {meant.offset, "\"" + std::string(missing[0].key) + "\" is missing, and \"" + meant.key +
                                      "\" is not a key the exam reads: did you mean \"" + missing[0].key + "\"?"};
        }
        std::string list;
        if (verdict.missing & MISSING_OPTIONS) {
            if (const Member* first = OptionsAsKeys(keys, EntryDocument(text, entry_offset), list)) {
                return {first->offset, "\"options\" is missing: the options are written as keys of the question, "
                                       "which the exam does not read. Write them as a list: " + list + "."};
            }
        }
        return {entry_offset, MissingWords(verdict.missing)};
    }
    const char* key = verdict.fault == EntryFault::TextNotString ? "questionText"
                      : verdict.fault == EntryFault::OptionsNotList || verdict.fault == EntryFault::OptionNotString
                          ? "options"
                          : "correctAnswer";
    // A key given twice counts at its later value.
    const auto written =
        std::find_if(keys.rbegin(), keys.rend(), [&](const Member& given) { return given.key == key; });
    const size_t at = written == keys.rend() ? entry_offset : written->value;
    switch (verdict.fault) {
        case EntryFault::TextNotString:
            return {at, "\"questionText\" is " + found + ": write the question as a text, between double quotes."};
        case EntryFault::OptionsNotList:
            return {at, "\"options\" is " + found + ": write the options as a list of texts, [\"...\", \"...\", "
                        "\"...\", \"...\"]."};
        case EntryFault::OptionNotString: {
            // An "options" object gives its options in its keys' order, not as written: its own place is marked.
            const std::vector<Member> elements = text[at] == '[' ? Members(text, at) : std::vector<Member>();
            return {verdict.option < elements.size() ? elements[verdict.option].value : at,
                    "option " + std::to_string(verdict.option + 1) + " of \"options\" is " + found +
                        ": write it as a text, between double quotes."};
        }
        case EntryFault::AnswerNotNumber: {
            if (verdict.found != ValueKind::String) return {at, "\"correctAnswer\" is " + found + ": " + ANY_POSITION};
            const json entry = EntryDocument(text, entry_offset);
            return {at, AnswerTextWords(entry["correctAnswer"].get<std::string>(),
                                        entry.contains("options") ? entry["options"] : json())};
        }
        default:
            return {at, "\"correctAnswer\" is too large to be a position: " + std::string(ANY_POSITION)};
    }
}
