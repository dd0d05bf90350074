// The bank checker's rules. The text and every entry go through the loader's own walk, but a bad entry does not
// stop it; entries the exam accepts are then looked at as the candidate will see them. Where an entry starts
// is worked out only when something is to be said about it, in one pass over the text for all of them.
#include "bank_check.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "bank_file.h"
#include "bank_messages.h"
#include "bank_parallel_walk.h"
#include "bank_rules.h"
#include "page_layout.h"
#include "question.h"
#include "text_fitting.h"
#include "utf8_decoding.h"

namespace {

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

// A text the exam shows only up to its NUL (`nul`: the bank writes one in it), or shows blank. `label` names it as
// the exam's messages do.
void TextWarnings(bool nul, const std::wstring& shown, const std::string& label, const char* blank_advice,
                  std::vector<std::string>& warnings) {
    if (nul) {
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
    if (LayOutPage(dc, question.questionText, question.options, height, boxes, shown, shortened, true) ==
        PageFit::QuestionScrolls) {
        warnings.push_back("\"questionText\" scrolls: even at the smallest size it does not fit the page with its "
                           "options. Shorten it, or its options.");
    }
    const int line_height = LineHeight(dc, height);
    for (size_t k = 0; k < shortened.size(); ++k) {
        if (!shortened[k]) continue;
        const int lines = (boxes[k + 1].bottom - boxes[k + 1].top) / line_height;
        warnings.push_back("option " + std::to_string(k + 1) + " of \"options\" is cut with \"…\" after " +
                           Counted(static_cast<size_t>(lines), "line") +
                           ": beside the question's first lines the four options need more than the page at the "
                           "smallest size (one option of about 2,200 characters beside short ones, or four of about "
                           "550), and the longest gives up lines first. The candidate reads its end only by resting "
                           "the mouse on it. Shorten it.");
    }
}

// What a candidate would trip over in an entry the exam accepts: `question` as the exam shows it, `nul_texts` which
// of its texts the bank writes with a NUL, measured in `dc`. Each text says what to do.
void EntryWarnings(HDC dc, const Question& question, unsigned nul_texts, std::vector<std::string>& warnings) {
    TextWarnings(nul_texts & NUL_IN_QUESTION_TEXT, question.questionText, "\"questionText\"", "write the question.",
                 warnings);

    const size_t count = question.options.size();
    if (count < SHOWN_OPTIONS) {
        warnings.push_back("has " + Counted(count, "option") + ", so the exam shows " +
                           Counted(SHOWN_OPTIONS - count, "empty row") + ". Give it four options.");
    } else if (count > SHOWN_OPTIONS) {
        warnings.push_back("has " + Counted(count, "option") + ", but the exam shows only the first four: remove the "
                           "other " + std::to_string(count - SHOWN_OPTIONS) + ".");
    }
    for (size_t k = 0; k < std::min(count, SHOWN_OPTIONS); ++k) {
        TextWarnings(nul_texts & (NUL_IN_QUESTION_TEXT << (k + 1)), question.options[k],
                     "option " + std::to_string(k + 1) + " of \"options\"", "write its text.", warnings);
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

// What the checker keeps of the walk: an error for each entry the exam refuses, warnings for those it accepts,
// measured in `dc`, and the questions seen, to find one given twice.
struct CheckState {
    HDC dc;
    std::vector<Finding>& findings;
    // The first appearance of each question, by the hash of what the candidate sees; a match is compared in full.
    std::unordered_multimap<size_t, std::pair<size_t, size_t>> first_seen;  // entry, index in `seen`
    std::vector<Question> seen;
    std::vector<std::string> warnings;
};

// Looks at one entry as the walk hands it over.
bool CheckEntry(CheckState& state, size_t position, Question& question, const std::string& problem,
                unsigned nul_texts) {
    if (!problem.empty()) {
        state.findings.push_back({position, true, problem, std::string::npos});
        return true;
    }
    state.warnings.clear();
    EntryWarnings(state.dc, question, nul_texts, state.warnings);
    for (std::string& warning : state.warnings)
        state.findings.push_back({position, false, std::move(warning), std::string::npos});
    const size_t hash = RepeatHash(question);
    const auto [first, last] = state.first_seen.equal_range(hash);
    const auto repeated = std::find_if(first, last, [&](const auto& earlier) {
        return RepeatKey(state.seen[earlier.second.second]) == RepeatKey(question);
    });
    if (repeated == last) {
        state.first_seen.emplace(hash, std::make_pair(position, state.seen.size()));
        state.seen.push_back(std::move(question));
    } else {
        state.findings.push_back({position, false, std::string(), repeated->second.first});
    }
    return true;
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

bool CheckText(const std::string& name, const std::string& bank_text, std::vector<std::string>& lines,
               size_t& questions, size_t& errors, size_t& warnings) {
    std::vector<Finding> findings;
    // Texts are measured as on the screen the exam would use, in a device context of the checker's own: no window
    // needed. It is made once and kept, fonts selected: a new one for every bank cost more than checking a small one.
    // The normal size stays selected, so measuring at it selects nothing.
    static const HDC dc = [] {
        const HDC own = CreateCompatibleDC(nullptr);
        if (own) SelectObject(own, FittedFont(NORMAL_TEXT_HEIGHT));
        return own;
    }();
    CheckState state{dc, findings, {}, {}, {}};
    // Room for about as many questions as the text can hold, so the table of first appearances is never rebuilt.
    state.first_seen.reserve(bank_text.size() / 256);
    size_t walked = 0;
    const EntrySink check = [&](size_t position, Question& question, const std::string& problem,
                                unsigned nul_texts) {
        walked = position + 1;
        return CheckEntry(state, position, question, problem, nul_texts);
    };
    // A large bank is parsed on another thread as well while this one measures: parsing is a fifth of the check.
    bool sound = false;
    // Its runs are a quarter of the exam's: the whole text is in memory anyway, and a bank of a few megabytes gains.
    constexpr size_t RUN_BYTES = BANK_PIECE_SIZE / 4;
    if (const unsigned threads = SideBySideThreads(bank_text.size(), RUN_BYTES)) {
        size_t at = 0;
        const PieceSource next_piece = [&](std::string_view& piece) {
            piece = std::string_view(bank_text).substr(at, RUN_BYTES);
            at += piece.size();
            return !piece.empty();
        };
        sound = WalkRunsSideBySide(next_piece, RUN_BYTES, threads, check);
        if (!sound) {
            // Walked again in one pass, which also says what is wrong with the text.
            findings.clear();
            state.first_seen.clear();
            state.seen.clear();
            walked = 0;
        }
    }
    std::string err_msg;
    if (!sound) sound = WalkBankText(bank_text, BANK_SIZE_LIMIT, check, err_msg);
    if (!sound) {
        // What was found in the entries before the text was refused is not said: the exam says only this.
        lines.push_back(WholeFileLine(name, err_msg));
        ++errors;
        return true;
    }
    questions = walked;
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
        return CheckText(name, bank_text, lines, questions, errors, warnings);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    std::string().swap(bank_text);
    lines.resize(first_line);
    questions = warnings = 0;
    errors = 1;
    lines.push_back(ProblemLine(name, 0, 0, true, OutOfMemoryMessage(size, name, CHECK_AGAIN)));
    return false;
}
