// The bank checker's rules. The text and every entry go through the loader's own walk, but a bad entry does not
// stop it; entries the exam accepts are then looked at as the candidate will see them. Where an entry starts
// is worked out only when something is to be said about it, in one pass over the text for all of them.
#include "bank_check.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "bank_messages.h"
#include "bank_rules.h"
#include "bank_slips.h"
#include "json_tokens.h"
#include "text_places.h"
#include "entry_slips.h"
#include "page_layout.h"
#include "question.h"
#include "text_fitting.h"
#include "utf8_decoding.h"

namespace {

// A bank the exam opens with nothing to show, its countdown running.
const char EMPTY_BANK_WARNING[] = "the bank holds no questions: the exam would open on an empty page with its countdown "
                                  "running. Put the questions between [ and ].";
// The rows the exam shows for a question's options.
constexpr size_t SHOWN_OPTIONS = 4;
// A warning about an entry, and which of its parts it is about.
struct Warning {
    BankField field;
    size_t option;  // for BankField::Option
    std::string text;
};


// A text the exam shows only up to its NUL (`nul`: the bank writes one in it), or shows blank. `label` names it as
// the exam's messages do.
void TextWarnings(bool nul, const std::wstring& shown, BankField field, size_t option, const std::string& label,
                  const char* blank_advice, std::vector<Warning>& warnings) {
    if (nul) {
        warnings.push_back({field, option,
                            label + " holds a NUL character (\\u0000): the exam shows it only up to there. Remove it."});
    } else if (IsBlank(shown)) {
        warnings.push_back({field, option, label + " is blank: " + blank_advice});
    }
}

// Whether option `k` of `options` is shortened with "…" beside `question` on the exam's page, measured in `dc`.
bool OptionShortened(HDC dc, const std::wstring& question, const std::vector<std::wstring>& options, size_t k) {
    return !FitsAsAlways(dc, question, options) && LayOutPage(dc, question, options, true).shortened[k];
}

// Characters as a reader counts them: the second half of a surrogate pair is not one of its own.
size_t Characters(std::wstring::const_iterator begin, std::wstring::const_iterator end) {
    return static_cast<size_t>(std::count_if(begin, end, [](wchar_t c) { return c < 0xDC00 || c > 0xDFFF; }));
}

// How many characters of option `k`, which the page shortens to `shown`, to cut for it to show whole beside the
// others as they are. What the page shows of it is the start that fits its lines, so the rest is what to cut: the
// shown lines are followed through the option, where a break may have left out the space it broke at, and the CR LF
// that joins them and the final "…" are not the option's. A tab is shown as spaces, so an option with tabs is
// measured instead by halving, each step one layout of the page: done for every cut option, that made a bank of
// long options take seconds a question. Characters are counted as written, whatever their script: a Japanese
// character is one, as is a letter.
size_t CharactersToCut(HDC dc, const Question& question, size_t k, const std::wstring& shown) {
    const std::wstring& whole = question.options[k];
    if (whole.find(L'\t') == std::wstring::npos) {
        size_t at = 0;
        const size_t shown_end = shown.size() - std::size(ELLIPSIS) + 1;
        for (size_t i = 0; i < shown_end && at < whole.size(); ++i) {
            if (shown.compare(i, 2, L"\r\n") == 0) {
                ++i;
                continue;
            }
            while (at < whole.size() && whole[at] != shown[i]) ++at;
            ++at;
        }
        return Characters(whole.begin() + static_cast<std::ptrdiff_t>(std::min(at, whole.size())), whole.end());
    }
    std::vector<std::wstring> options = question.options;
    // No text this long fits the page even at the floor size.
    size_t fits = 0, shortened = std::min(whole.size(), PAGE_MEASURE_LIMIT);
    while (shortened - fits > 1) {
        const size_t middle = fits + (shortened - fits) / 2;
        options[k] = whole.substr(0, middle);
        (OptionShortened(dc, question.questionText, options, k) ? shortened : fits) = middle;
    }
    return Characters(whole.begin() + static_cast<std::ptrdiff_t>(fits), whole.end());
}

// "about 320": a count rounded up to ten, so that cutting as much is surely enough.
std::string About(size_t count) { return "about " + std::to_string((count + 9) / 10 * 10); }

// What the exam's page makes of a question, laid out in `dc` as the exam lays it out: a page at a smaller size than
// the normal one, a question the candidate must scroll, an option cut with "…".
void PageWarnings(HDC dc, const Question& question, std::vector<Warning>& warnings) {
    if (FitsAsAlways(dc, question.questionText, question.options)) return;
    const PageLayout page = LayOutPage(dc, question.questionText, question.options, true);
    if (page.fit == PageFit::QuestionScrolls) {
        warnings.push_back({BankField::QuestionText, 0,
                            "\"questionText\" scrolls: even at the smallest size it does not fit the page with its "
                            "options. Shorten it, or its options."});
    }
    const int line_height = LineHeight(dc, page.height);
    bool cut = false;
    for (size_t k = 0; k < page.shortened.size(); ++k) {
        if (!page.shortened[k]) continue;
        cut = true;
        const int lines = (page.boxes[k + 1].bottom - page.boxes[k + 1].top) / line_height;
        warnings.push_back({BankField::Option, k,
                            "option " + std::to_string(k + 1) + " of \"options\" is cut with \"…\" after " +
                                Counted(static_cast<size_t>(lines), "line", "no") +
                                ": beside the question's first lines the four options need more than the page at the "
                                "smallest size, and the longest gives up lines first. The candidate reads its end "
                                "only by resting the mouse on it. Shorten it by " +
                                About(CharactersToCut(dc, question, k, page.shown[k])) + " characters."});
    }
    // A page at the floor size that scrolls or cuts is said above.
    if (page.fit != PageFit::QuestionScrolls && !cut && page.height < NORMAL_TEXT_HEIGHT) {
        warnings.push_back({BankField::Entry, 0,
                            "is shown at " + std::to_string(page.height) + " pixels, not the normal " +
                                std::to_string(NORMAL_TEXT_HEIGHT) + ": the question and its options do not fit the "
                                "page at the normal size. Shorten them to keep it."});
    }
}

// What a candidate would trip over in an entry the exam accepts: `question` as the exam shows it, `nul_texts` which
// of its texts the bank writes with a NUL, measured in `dc`. Each text says what to do.
void EntryWarnings(HDC dc, const Question& question, unsigned nul_texts, std::vector<Warning>& warnings) {
    TextWarnings(nul_texts & NUL_IN_QUESTION_TEXT, question.questionText, BankField::QuestionText, 0,
                 "\"questionText\"", "write the question.", warnings);

    const size_t count = question.options.size();
    if (count < SHOWN_OPTIONS) {
        warnings.push_back({BankField::Entry, 0, "has " + Counted(count, "option", "no") + ", so the exam shows " +
                            Counted(SHOWN_OPTIONS - count, "empty row", "no") + ". Give it four options."});
    } else if (count > SHOWN_OPTIONS) {
        warnings.push_back({BankField::Entry, 0, "has " + Counted(count, "option", "no") + ", but the exam shows only the "
                            "first four: remove the other " + std::to_string(count - SHOWN_OPTIONS) + "."});
    }
    for (size_t k = 0; k < std::min(count, SHOWN_OPTIONS); ++k) {
        TextWarnings(nul_texts & (NUL_IN_QUESTION_TEXT << (k + 1)), question.options[k], BankField::Option, k,
                     "option " + std::to_string(k + 1) + " of \"options\"", "write its text.", warnings);
    }

    const size_t shown = std::min(count, SHOWN_OPTIONS);
    const int answer = question.correctAnswer;
    if (answer < 0 || static_cast<size_t>(answer) >= shown) {
        std::string which = shown == 0   ? "no options are shown."
                            : shown == 1 ? "only option 0 is shown."
                                         : "only options 0 to " + std::to_string(shown - 1) + " are shown.";
        warnings.push_back({BankField::Answer, 0, "\"correctAnswer\" is " + std::to_string(answer) + ", but " + which});
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

// An entry the exam refuses for `verdict`, and the part of it that is at fault.
BankProblem RefusedEntry(size_t entry, const EntryVerdict& verdict) {
    BankProblem refused;
    refused.entry = entry;
    refused.text = EntryFaultWords(verdict);
    refused.refusal = verdict;
    // A missing key is about the key the exam names: the first one missing.
    const bool missing = verdict.fault == EntryFault::Missing;
    if (verdict.fault == EntryFault::TextNotString || (missing && verdict.missing & MISSING_TEXT))
        refused.field = BankField::QuestionText;
    if (verdict.fault == EntryFault::AnswerNotNumber || verdict.fault == EntryFault::AnswerOutOfRange ||
        (missing && verdict.missing == MISSING_ANSWER))
        refused.field = BankField::Answer;
    if (verdict.fault == EntryFault::OptionNotString) {
        refused.field = BankField::Option;
        refused.option = verdict.option;
    }
    return refused;
}

// The note under an error that gives the exam's own words, at the exam's place for it. Bytes that are not UTF-8,
// which the library may quote, become U+FFFD, as in the exam's box.
BankNote ExamSays(size_t line, size_t column, const std::string& words) {
    return {line, column, std::string(), "the exam says: " + Utf8FromWide(Utf8ToWide(words))};
}

// A refused text as one problem of the whole file. A syntax error stands at the slip found in `bank_text` (named
// `name`), in its words, with the exam's words at the place the exam gives, in characters; anything else is said
// in the exam's words, without its first line, which names the file.
BankProblem WholeFileProblem(const TextVerdict& verdict, const std::string& bank_text, const std::string& name,
                             bool exam_reads) {
    BankProblem problem;
    if (verdict.fault != TextFault::Syntax) {
        problem.text = Utf8FromWide(Utf8ToWide(TextFaultWords(verdict, bank_text)));
        return problem;
    }
    const Slip slip = FindSlip(bank_text, verdict.reader, name);
    problem.line = slip.line;
    problem.column = slip.column;
    problem.marked = slip.marked;
    problem.text = slip.note;
    // A number too large is refused with no place: the exam's words stand at the number.
    std::pair<size_t, size_t> exam = {slip.line, slip.column};
    if (!verdict.reader.overflow) {
        exam = ReaderPlace(verdict.reader, bank_text);
        exam.second = CharacterColumnAt(bank_text, exam.first, exam.second);
    }
    if (exam_reads) problem.notes.push_back(ExamSays(exam.first, exam.second, ReaderWords(verdict.reader, bank_text)));
    return problem;
}

// What the checker keeps of the walk: an error for each entry the exam refuses, warnings for those it accepts,
// measured in `dc`, and the questions seen, to find one given twice.
struct CheckState {
    HDC dc;
    std::vector<BankProblem>& problems;
    // The first appearance of each question, by the hash of what the candidate sees; a match is compared in full.
    std::unordered_multimap<size_t, std::pair<size_t, size_t>> first_seen;  // entry, index in `seen`
    std::vector<Question> seen;
    std::vector<Warning> warnings;
};

// Looks at one entry as the walk hands it over.
bool CheckEntry(CheckState& state, size_t position, Question& question, const EntryVerdict& verdict,
                unsigned nul_texts) {
    if (verdict.fault != EntryFault::None) {
        state.problems.push_back(RefusedEntry(position, verdict));
        return true;
    }
    state.warnings.clear();
    EntryWarnings(state.dc, question, nul_texts, state.warnings);
    for (Warning& warning : state.warnings) {
        BankProblem found;
        found.entry = position;
        found.error = false;
        found.text = std::move(warning.text);
        found.field = warning.field;
        found.option = warning.option;
        state.problems.push_back(std::move(found));
    }
    const size_t hash = RepeatHash(question);
    const auto [first, last] = state.first_seen.equal_range(hash);
    const auto repeated = std::find_if(first, last, [&](const auto& earlier) {
        return RepeatKey(state.seen[earlier.second.second]) == RepeatKey(question);
    });
    if (repeated == last) {
        state.first_seen.emplace(hash, std::make_pair(position, state.seen.size()));
        state.seen.push_back(std::move(question));
    } else {
        BankProblem found;
        found.entry = position;
        found.error = false;
        found.same_as = repeated->second.first;
        state.problems.push_back(std::move(found));
    }
    return true;
}

// A note at byte `offset` of the bank's text, at or after the start of its entry, `entry` (whose line is
// `entry_line`): its line is counted from there, so a bank with a note for every entry is not read again from its
// start for each.
BankNote NoteAt(const std::string& bank_text, size_t entry, size_t entry_line, size_t offset, const std::string& text) {
    const auto begin = bank_text.begin();
    const size_t line =
        entry_line + static_cast<size_t>(std::count(begin + static_cast<std::ptrdiff_t>(entry),
                                                    begin + static_cast<std::ptrdiff_t>(offset), '\n'));
    return {line, CharacterColumn(bank_text, LineStart(bank_text, offset), offset), MarkedLine(bank_text, offset, line),
            text};
}

// Places each problem: a warning where its entry starts, a repeat with the line of the first; an entry the exam
// refuses where it is at fault, with what to write there, each key it lacks an error of its own, and the exam's
// words under the first at the entry's start, as the exam places them, when the exam reads this far (`exam_reads`).
void PlaceProblems(const std::string& bank_text, std::vector<BankProblem>& problems, bool exam_reads) {
    const std::vector<size_t> entry_offsets = EntryOffsets(bank_text);
    std::vector<size_t> offsets;
    for (const BankProblem& problem : problems) {
        offsets.push_back(entry_offsets[problem.entry]);
        if (problem.same_as != NO_ENTRY) offsets.push_back(entry_offsets[problem.same_as]);
    }
    const std::vector<std::pair<size_t, size_t>> places = LinesAndColumns(bank_text, offsets);
    std::vector<BankProblem> placed;
    placed.reserve(problems.size());
    size_t k = 0;
    for (BankProblem& problem : problems) {
        const size_t offset = offsets[k];
        std::tie(problem.line, problem.column) = places[k++];
        problem.column = CharacterColumn(bank_text, offset - (problem.column - 1), offset);
        if (problem.same_as != NO_ENTRY) {
            problem.text = "the same question and options as Question " + std::to_string(problem.same_as + 1) +
                           " on line " + std::to_string(places[k++].first) + ": remove one of them.";
        }
        if (!problem.error) {
            placed.push_back(std::move(problem));
            continue;
        }
        std::vector<EntryVerdict> faults(1, problem.refusal);
        if (problem.refusal.fault == EntryFault::Missing) {
            faults.clear();
            for (const unsigned bit : {MISSING_TEXT, MISSING_OPTIONS, MISSING_ANSWER}) {
                if (!(problem.refusal.missing & bit)) continue;
                faults.push_back(problem.refusal);
                faults.back().missing = bit;
            }
        }
        for (const EntryVerdict& fault : faults) {
            BankProblem refused = RefusedEntry(problem.entry, fault);
            const EntrySlip slip = FindEntrySlip(bank_text, offset, fault);
            const BankNote at = NoteAt(bank_text, offset, problem.line, slip.offset, slip.words);
            refused.line = at.line;
            refused.column = at.column;
            refused.marked = at.marked;
            refused.text = slip.words;
            if (exam_reads && &fault == &faults[0]) {
                refused.notes.push_back(ExamSays(problem.line, problem.column, "Question " +
                                                 std::to_string(problem.entry + 1) + ": " + problem.text));
            }
            placed.push_back(std::move(refused));
        }
    }
    problems.swap(placed);
}

// Where the check goes on after a syntax slip, as a compiler goes on at the next statement: the next question of a
// bank that is a list that starts on a line of its own, at or after the token the reader stopped on and after
// `after`; npos when none follows.
size_t RecoveryPoint(const std::string& text, const ReaderStop& stop, size_t after) {
    const size_t top = text.find_first_not_of(" \t\n\r", text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0);
    if (top == std::string::npos || text[top] != '[' || stop.overflow) return std::string::npos;
    for (size_t at = LineStart(text, std::max(stop.token_start, after + 1)); at < text.size(); at = LineEnd(text, at) + 1) {
        const size_t first = text.find_first_not_of(" \t", at);
        if (first < text.size() && text[first] == '{' && first >= stop.token_start && first > after) return first;
    }
    return std::string::npos;
}

// Checks `bank_text` as a bank whose first question is entry `first`, the exam's own words given where the exam
// reads the text (`exam_reads`). Returns the entries handed over, and for a syntax slip, where it stopped.
struct PartChecked {
    size_t walked = 0;
    TextVerdict verdict;
};
PartChecked CheckPart(HDC dc, const std::string& name, const std::string& bank_text, size_t first, bool exam_reads,
                      BankReport& report) {
    std::vector<BankProblem> problems;
    // The normal size stays selected in `dc`, so measuring at it selects nothing.
    CheckState state{dc, problems, {}, {}, {}};
    // Room for about as many questions as the text can hold, so the table of first appearances is never rebuilt.
    state.first_seen.reserve(bank_text.size() / 256);
    PartChecked part;
    const EntrySink check = [&](size_t position, Question& question, const EntryVerdict& verdict,
                                unsigned nul_texts) {
        part.walked = position + 1;
        return CheckEntry(state, position, question, verdict, nul_texts);
    };
    part.verdict = WalkBankText(bank_text, BANK_SIZE_LIMIT, check);
    if (part.verdict.fault != TextFault::None) {
        // What was found in the entries before the text was refused is not said: the exam says only this.
        problems.assign(1, WholeFileProblem(part.verdict, bank_text, name, exam_reads));
    } else if (!problems.empty()) {
        PlaceProblems(bank_text, problems, exam_reads);
        for (BankProblem& problem : problems) {
            problem.entry += first;
            if (problem.same_as != NO_ENTRY) problem.same_as += first;
        }
    }
    for (BankProblem& problem : problems) {
        ++(problem.error ? report.errors : report.warnings);
        report.problems.push_back(std::move(problem));
    }
    return part;
}

// The exam stops at the first syntax slip; the checker goes on from the next question that starts on a line of its
// own, checking the rest as a list of its own (what came before blanked, lines kept), and so on to the end.
void CheckText(HDC dc, const std::string& name, const std::string& bank_text, BankReport& report) {
    PartChecked part = CheckPart(dc, name, bank_text, 0, true, report);
    std::string rest;
    size_t first = 0, from = 0;
    while (part.verdict.fault == TextFault::Syntax) {
        const std::string& text = rest.empty() ? bank_text : rest;
        const size_t at = RecoveryPoint(text, part.verdict.reader, from);
        if (at == std::string::npos) return;
        // The question the slip is in, when it is inside one, was never handed over.
        first += part.walked + (part.verdict.reader.before.open.size() > 1 ? 1 : 0);
        if (rest.empty()) rest = bank_text;
        for (size_t k = rest.find('[') + 1; k < at; ++k)
            if (rest[k] != '\n') rest[k] = ' ';
        from = at;
        part = CheckPart(dc, name, rest, first, false, report);
    }
    report.questions = first + part.walked;
    if (part.verdict.fault == TextFault::None && report.questions == 0) {
        BankProblem empty;
        empty.error = false;
        empty.text = EMPTY_BANK_WARNING;
        report.problems.push_back(std::move(empty));
        ++report.warnings;
    }
}

}  // namespace

HDC NewCheckingDc() {
    const HDC dc = CreateCompatibleDC(nullptr);
    if (dc) SelectObject(dc, FittedFont(NORMAL_TEXT_HEIGHT));
    return dc;
}

BankReport CheckBank(HDC dc, const std::string& name, std::string bank_text) {
    BankReport report;
    const uint64_t size = bank_text.size();
    try {
        CheckText(dc, name, bank_text, report);
        return report;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    std::string().swap(bank_text);
    std::vector<BankProblem>().swap(report.problems);
    report = BankReport();
    report.checked = false;
    report.errors = 1;
    BankProblem memory;
    memory.text = OutOfMemoryMessage(size, name, CHECK_AGAIN);
    report.problems.push_back(std::move(memory));
    return report;
}

std::string ProblemLine(const std::string& name, const BankProblem& problem) {
    const std::string entry = problem.entry == NO_ENTRY ? "" : "Question " + std::to_string(problem.entry + 1) + ": ";
    return DiagnosticLine(name, problem.line, problem.column, problem.error ? "error" : "warning", entry + problem.text);
}

std::vector<std::string> NoteLines(const std::string& name, const BankProblem& problem) {
    std::vector<std::string> lines;
    if (!problem.marked.empty()) lines.push_back(problem.marked);
    for (const BankNote& note : problem.notes) {
        if (!note.marked.empty()) lines.push_back(note.marked);
        lines.push_back(DiagnosticLine(name, note.line, note.column, "note", note.text));
    }
    return lines;
}
