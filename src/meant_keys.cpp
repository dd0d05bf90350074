// Keys and letters as authors write them, matched to what the exam reads.
#include "meant_keys.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <utility>

#include "bank_rules.h"

const char* MeantKey(const std::string& written, char value_start) {
    std::string key;
    for (const char c : written)
        if (c != '_' && c != '-' && c != ' ') key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // Other names authors and other quiz formats use for each.
    static const char* const TEXT_NAMES[] = {"question", "questiontext", "text", "prompt", "stem", "questionbody",
                                             "q", "body", "title", "mondai", "shitsumon"};
    static const char* const OPTION_NAMES[] = {"options", "choices", "choice", "option", "alternatives", "opts",
                                               "selections", "answeroptions", "sentakushi"};
    static const char* const ANSWER_NAMES[] = {"answer", "correctanswer", "correct", "correctoption", "correctindex",
                                               "answerindex", "correctchoice", "solution", "rightanswer", "correctans",
                                               "seikai", "kotae"};
    const auto among = [&](const auto& names) { return std::find(std::begin(names), std::end(names), key) != std::end(names); };
    if (among(TEXT_NAMES)) return "questionText";
    if (among(OPTION_NAMES)) return "options";
    if (among(ANSWER_NAMES)) return "correctAnswer";
    // "answers" is a list of options, or the right answer's number.
    if (key == "answers") return value_start == '[' ? "options" : "correctAnswer";
    // A slip of the keyboard: up to one letter wrong in five.
    const auto distance = [](const std::string& a, const std::string& b) {
        std::vector<size_t> row(b.size() + 1);
        for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
        for (size_t i = 1; i <= a.size(); ++i) {
            size_t diagonal = row[0];
            row[0] = i;
            for (size_t j = 1; j <= b.size(); ++j) {
                const size_t above = row[j];
                row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
                diagonal = above;
            }
        }
        return row[b.size()];
    };
    for (const auto& [normal, meant] : {std::pair<std::string, const char*>{"questiontext", "questionText"},
                                        {"options", "options"}, {"correctanswer", "correctAnswer"}}) {
        if (distance(key, normal) <= normal.size() / 5) return meant;
    }
    return nullptr;
}

std::vector<MissingKey> MissingKeys(const std::string& text, const std::vector<Member>& keys, unsigned missing_bits) {
    std::vector<MissingKey> missing;
    for (const auto& [key, bit] : {std::pair<const char*, unsigned>{"questionText", MISSING_TEXT},
                                   {"options", MISSING_OPTIONS}, {"correctAnswer", MISSING_ANSWER}}) {
        if (!(missing_bits & bit)) continue;
        const auto meant = std::find_if(keys.begin(), keys.end(), [&](const Member& written) {
            const char* meant_key = MeantKey(written.key, text[written.value]);
            return meant_key && std::string(meant_key) == key;
        });
        missing.push_back({key, meant == keys.end() ? nullptr : &*meant});
    }
    return missing;
}

int LetterPosition(const std::string& letter) {
    static const char* const LETTERS[][4] = {{"A", "B", "C", "D"},
                                              {"a", "b", "c", "d"},
                                              {"\xEF\xBC\xA1", "\xEF\xBC\xA2", "\xEF\xBC\xA3", "\xEF\xBC\xA4"},
                                              {"\xE3\x82\xA2", "\xE3\x82\xA4", "\xE3\x82\xA6", "\xE3\x82\xA8"}};
    for (const auto& row : LETTERS)
        for (int k = 0; k < 4; ++k)
            if (letter == row[k]) return k;
    return -1;
}
