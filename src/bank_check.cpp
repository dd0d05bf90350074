// The bank checker's rules. The text and every entry go through the loader's own steps, but a bad entry does not
// stop the walk; entries the exam accepts are then looked at as the candidate will see them. Where an entry starts
// is worked out only when something is to be said about it, in one pass over the text for all of them.
#include "bank_check.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "bank_document.h"
#include "bank_messages.h"
#include "bank_rules.h"
#include "page_layout.h"
#include "question.h"
#include "utf8_decoding.h"

namespace {

using json = BankJson;

// The rows the exam shows for a question's options.
constexpr size_t SHOWN_OPTIONS = 4;
// Something to say about one entry; where the entry starts is filled in once all are known.
struct Finding {
    size_t entry;
    bool error;  // refused by the exam; otherwise a warning
    std::string text;
    size_t first_copy;  // for a repeated question, the entry it repeats; otherwise npos
};

std::string Counted(size_t count, const char* thing) {
    return (count == 0 ? std::string("no") : std::to_string(count)) + " " + thing + (count == 1 ? "" : "s");
}

// Blank to the candidate: nothing, or nothing but white space.
bool IsBlank(const std::wstring& text) {
    return text.find_first_not_of(L" \t\r\n\f\v\u00A0\u3000") == std::wstring::npos;
}

// A text the exam shows only up to its NUL, or shows blank. `label` names it as the exam's messages do.
void TextWarnings(const json::string_t& written, const std::wstring& shown, const std::string& label,
                  const char* blank_advice, std::vector<std::string>& warnings) {
    if (written.find('\0') != json::string_t::npos) {
        warnings.push_back(label + " holds a NUL character (\\u0000): the exam shows it only up to there. Remove it.");
    } else if (IsBlank(shown)) {
        warnings.push_back(label + " is blank: " + blank_advice);
    }
}

// What the exam's page makes of a question, laid out in `dc` as the exam lays it out: a question the candidate
// must scroll, an option cut with "…".
void PageWarnings(HDC dc, const Question& question, std::vector<std::string>& warnings) {
    if (FitsAsAlways(dc, question.questionText, question.options)) return;
    int height = 0;
    std::vector<RECT> boxes;
    std::vector<std::wstring> shown;
    std::vector<bool> shortened;
    if (LayOutPage(dc, question.questionText, question.options, height, boxes, shown, shortened) ==
        PageFit::QuestionScrolls) {
        warnings.push_back("\"questionText\" scrolls: even at the smallest size it does not fit the page with its "
                           "options. Shorten it, or its options.");
    }
    for (size_t k = 0; k < shortened.size(); ++k) {
        if (!shortened[k]) continue;
        warnings.push_back("option " + std::to_string(k + 1) + " of \"options\" is cut with \"…\": the candidate "
                           "reads it whole only by resting the mouse on it. Shorten it.");
    }
}

// What a candidate would trip over in an entry the exam accepts: `item` as the bank writes it, `question` as the
// exam shows it, measured in `dc`. Each text says what to do.
void EntryWarnings(HDC dc, const json& item, const Question& question, std::vector<std::string>& warnings) {
    TextWarnings(item.find("questionText")->get_ref<const json::string_t&>(), question.questionText,
                 "\"questionText\"", "write the question.", warnings);

    const size_t count = question.options.size();
    if (count < SHOWN_OPTIONS) {
        warnings.push_back("has " + Counted(count, "option") + ", so the exam shows " +
                           Counted(SHOWN_OPTIONS - count, "empty row") + ". Give it four options.");
    } else if (count > SHOWN_OPTIONS) {
        warnings.push_back("has " + Counted(count, "option") + ", but the exam shows only the first four: remove the "
                           "other " + std::to_string(count - SHOWN_OPTIONS) + ".");
    }
    size_t position = 0;
    for (const json& option : *item.find("options")) {
        if (position == SHOWN_OPTIONS) break;
        TextWarnings(option.get_ref<const json::string_t&>(), question.options[position],
                     "option " + std::to_string(position + 1) + " of \"options\"", "write its text.", warnings);
        ++position;
    }

    const size_t shown = std::min(count, SHOWN_OPTIONS);
    const int answer = question.correctAnswer;
    if (answer < 0 || static_cast<size_t>(answer) >= shown) {
        std::string which = shown == 0   ? "no options are shown."
                            : shown == 1 ? "only option 0 is shown."
                                         : "only options 0 to " + std::to_string(shown - 1) + " are shown.";
        warnings.push_back("\"correctAnswer\" is " + std::to_string(answer) + ", but " + which);
    }
    PageWarnings(dc, question, warnings);
}

// The same question for the candidate: the same text and the same options, in any order.
std::wstring RepeatKey(const Question& question) {
    std::vector<std::wstring> options = question.options;
    std::sort(options.begin(), options.end());
    // Texts end at their first NUL, so NUL cannot occur inside one and separates them safely.
    std::wstring key = question.questionText;
    for (const std::wstring& option : options) key += L'\0' + option;
    return key;
}

// A hash of RepeatKey without building it: most questions are given once, and copying every text of a large bank
// to find the few repeats would cost more than the rest of the check.
size_t RepeatHash(const Question& question) {
    const std::hash<std::wstring> hash;
    std::vector<size_t> options;
    options.reserve(question.options.size());
    for (const std::wstring& option : question.options) options.push_back(hash(option));
    std::sort(options.begin(), options.end());
    size_t combined = hash(question.questionText);
    for (const size_t option : options) combined = combined * 1000003u ^ option;
    return combined;
}

// The line in the form editors read. `line` 0 leaves out the place: the problem is the whole file's.
std::string ProblemLine(const std::string& name, size_t line, size_t column, bool error, const std::string& text) {
    const std::string place = line ? ":" + std::to_string(line) + ":" + std::to_string(column) : "";
    return name + place + (error ? ": error: " : ": warning: ") + text;
}

// The exam's message for a refused text as one line: its first line, which names the file, is left out, and a
// syntax error is placed where the library's message says it is. Bytes that are not UTF-8, which the library may
// quote, become U+FFFD, as in the exam's box.
std::string WholeFileLine(const std::string& name, const std::string& err_msg) {
    std::string text = Utf8FromWide(Utf8ToWide(err_msg));
    if (text.rfind(FORMAT_ERROR_PREFIX, 0) == 0) text.erase(0, sizeof FORMAT_ERROR_PREFIX - 1);
    size_t line = 0, column = 0;
    const size_t at = text.find(" at line ");
    if (at != std::string::npos && std::sscanf(text.c_str() + at, " at line %zu, column %zu", &line, &column) != 2)
        line = 0;
    return ProblemLine(name, line, column, true, text);
}

// Walks every entry: an error for each the exam refuses, warnings for those it accepts, measured in `dc`.
void CheckEntries(HDC dc, const json& data, std::vector<Finding>& findings) {
    // The first appearance of each question, by the hash of what the candidate sees; a match is compared in full.
    std::unordered_multimap<size_t, std::pair<size_t, const json*>> first_seen;
    std::vector<std::string> warnings;
    size_t position = 0;
    for (const json& item : data) {
        const std::string problem = EntryProblem(item);
        if (!problem.empty()) {
            findings.push_back({position++, true, problem, std::string::npos});
            continue;
        }
        Question question;
        ConvertEntry(item, question);
        warnings.clear();
        EntryWarnings(dc, item, question, warnings);
        for (std::string& warning : warnings)
            findings.push_back({position, false, std::move(warning), std::string::npos});
        const size_t hash = RepeatHash(question);
        const auto [first, last] = first_seen.equal_range(hash);
        const auto repeated = std::find_if(first, last, [&](const auto& seen) {
            Question earlier;
            ConvertEntry(*seen.second.second, earlier);
            return RepeatKey(earlier) == RepeatKey(question);
        });
        if (repeated == last)
            first_seen.emplace(hash, std::make_pair(position, &item));
        else
            findings.push_back({position, false, std::string(), repeated->second.first});
        ++position;
    }
}

// Turns the findings into lines, each at the line and column where its entry starts.
void PlaceFindings(const std::string& name, const std::string& bank_text, const std::vector<Finding>& findings,
                   std::vector<std::string>& lines) {
    const std::vector<size_t> entry_offsets = EntryOffsets(bank_text);
    std::vector<size_t> offsets;
    for (const Finding& finding : findings) {
        offsets.push_back(entry_offsets[finding.entry]);
        if (finding.first_copy != std::string::npos) offsets.push_back(entry_offsets[finding.first_copy]);
    }
    const std::vector<std::pair<size_t, size_t>> places = LinesAndColumns(bank_text, offsets);
    size_t k = 0;
    for (const Finding& finding : findings) {
        const std::pair<size_t, size_t> place = places[k++];
        std::string text = finding.text;
        if (finding.first_copy != std::string::npos) {
            text = "the same question and options as Question " + std::to_string(finding.first_copy + 1) +
                   " on line " + std::to_string(places[k++].first) + ": remove one of them.";
        }
        lines.push_back(ProblemLine(name, place.first, place.second, finding.error,
                                    "Question " + std::to_string(finding.entry + 1) + ": " + text));
    }
}

bool CheckInArena(const std::string& name, const std::string& bank_text, std::vector<std::string>& lines,
                  size_t& questions, size_t& errors, size_t& warnings) {
    std::pmr::monotonic_buffer_resource arena(FirstArenaBlock(bank_text.size()));
    documentArena = &arena;
    std::string err_msg;
    const json* data = ParseBankDocument(bank_text, BANK_SIZE_LIMIT, err_msg);
    if (!data) {
        documentArena = nullptr;
        lines.push_back(WholeFileLine(name, err_msg));
        ++errors;
        return true;
    }
    std::vector<Finding> findings;
    // Texts are measured as on the screen the exam would use, in a device context of the checker's own: no window
    // needed. It is made once and kept, fonts selected: a new one for every bank cost more than checking a small one.
    static const HDC dc = CreateCompatibleDC(nullptr);
    CheckEntries(dc, *data, findings);
    questions = data->size();
    documentArena = nullptr;
    for (const Finding& finding : findings) ++(finding.error ? errors : warnings);
    if (!findings.empty()) PlaceFindings(name, bank_text, findings, lines);
    return true;
}

}  // namespace

bool CheckBank(const std::string& name, std::string bank_text, std::vector<std::string>& lines, size_t& questions,
               size_t& errors, size_t& warnings) {
    questions = errors = warnings = 0;
    const size_t first_line = lines.size();
    const uint64_t size = bank_text.size();
    try {
        return CheckInArena(name, bank_text, lines, questions, errors, warnings);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    documentArena = nullptr;
    std::string().swap(bank_text);
    lines.resize(first_line);
    questions = warnings = 0;
    errors = 1;
    lines.push_back(ProblemLine(name, 0, 0, true, OutOfMemoryMessage(size, name, CHECK_AGAIN)));
    return false;
}
