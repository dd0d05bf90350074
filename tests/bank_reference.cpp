// What the loader must make of a bank, worked out independently of it: text-mode reading, our own UTF-8 decoder,
// the entry rules; and the checks of the loader and the draw against that account, in memory and end to end.
#include "bank_reference.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <regex>
#include <sstream>
#include <string_view>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "bank_check.h"
#include "text_places.h"
#include "bank_rules.h"
#include "bank_messages.h"
#include "bank_slips.h"
#include "utf8_decoding.h"


namespace {

using json = nlohmann::json;

// Decodes UTF-8 into UTF-16, code point by code point. Ill-formed input either throws (strict) or becomes U+FFFD,
// one per maximal subpart of an ill-formed sequence as Unicode recommends.
std::wstring DecodeUtf8(const std::string& utf8, bool strict) {
    std::wstring out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char lead = s[i];
        if (lead < 0x80) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;  // range of the second byte
        char32_t cp = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = lead & 0x0F;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;  // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            cp = lead & 0x07;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
        }
        size_t used = 1;
        bool complete = length != 0;
        for (size_t k = 1; complete && k < length; ++k) {
            const unsigned char lo = k == 1 ? low : 0x80, hi = k == 1 ? high : 0xBF;
            if (i + k >= n || s[i + k] < lo || s[i + k] > hi) {
                complete = false;
                break;
            }
            cp = (cp << 6) | (s[i + k] & 0x3F);
            ++used;
        }
        if (!complete) {
            if (strict) throw std::invalid_argument("ill-formed UTF-8 at byte " + std::to_string(i));
            out.push_back(0xFFFD);
        } else if (cp >= 0x10000) {
            out.push_back(static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(cp));
        }
        i += used;
    }
    return out;
}

std::wstring UpToNul(std::wstring wide) {
    const size_t nul = wide.find(L'\0');
    if (nul != std::wstring::npos) wide.resize(nul);
    return wide;
}

// The box's text for a message holding possibly ill-formed bytes; the box is a C string, so it ends at a NUL.
std::wstring BoxText(const std::string& utf8) { return UpToNul(DecodeUtf8(utf8, false)); }

// The rules for one entry; false when the entry is at fault.
bool ReferenceEntry(const json& item, Question& q) {
    if (!item.is_object()) return false;
    const auto text = item.find("questionText");
    const auto options = item.find("options");
    const auto answer = item.find("correctAnswer");
    if (text == item.end() || options == item.end() || answer == item.end()) return false;
    if (!text->is_string()) return false;
    q.questionText = ReferenceWide(text->get_ref<const std::string&>());

    if (options->is_string()) {
        q.options.push_back(ReferenceWide(options->get_ref<const std::string&>()));
    } else if (options->is_array() || options->is_object()) {
        for (const auto& option : options->items()) {  // an object's values come in key order
            if (!option.value().is_string()) return false;
            q.options.push_back(ReferenceWide(option.value().get_ref<const std::string&>()));
        }
    } else if (!options->is_null()) {
        return false;
    }

    if (answer->is_boolean()) {
        q.correctAnswer = answer->get<bool>() ? 1 : 0;
    } else if (answer->is_number_integer()) {
        // Signed or unsigned, the low 32 bits of its two's complement.
        const uint64_t bits = answer->is_number_unsigned() ? answer->get<uint64_t>()
                                                           : static_cast<uint64_t>(answer->get<int64_t>());
        q.correctAnswer = static_cast<int32_t>(static_cast<uint32_t>(bits & 0xFFFFFFFFu));
    } else if (answer->is_number_float()) {
        const double truncated = std::trunc(answer->get<double>());
        if (!(truncated >= -2147483648.0 && truncated <= 2147483647.0)) return false;
        q.correctAnswer = static_cast<int32_t>(truncated);
    } else {
        return false;
    }
    return true;
}

bool SameQuestion(const Question& a, const Question& b) {
    return a.questionText == b.questionText && a.options == b.options && a.correctAnswer == b.correctAnswer;
}

std::string Describe(const Question& q) {
    std::string text = "{\"" + WideToUtf8(q.questionText) + "\", [";
    for (size_t i = 0; i < q.options.size(); ++i) text += (i ? ", \"" : "\"") + WideToUtf8(q.options[i]) + "\"";
    return text + "], " + std::to_string(q.correctAnswer) + "}";
}

std::string Explain(const ReferenceBank& expected) {
    switch (expected.verdict) {
        case BankVerdict::Loads:
            return "expected it to load " + std::to_string(expected.questions.size()) + " questions";
        case BankVerdict::SyntaxError:
            return "expected the parse error \"" + Printable(expected.library_message) + "\"";
        default:
            return "expected a shape error at entry " + std::to_string(expected.bad_entry);
    }
}

// Every drawn question is a bank entry and no bank position is drawn twice: each distinct question is drawn at
// most as often as the bank holds it.
std::string CheckDraw() {
    const size_t expected_count = std::min<size_t>(allQuestions.size(), EXAM_QUESTION_LIMIT);
    if (examQuestions.size() != expected_count)
        return "PrepareExam drew " + std::to_string(examQuestions.size()) + " questions from a bank of " +
               std::to_string(allQuestions.size());
    for (const Question& drawn : examQuestions) {
        const auto same = [&](const Question& q) { return SameQuestion(q, drawn); };
        const auto in_exam = std::count_if(examQuestions.begin(), examQuestions.end(), same);
        const auto in_bank = std::count_if(allQuestions.begin(), allQuestions.end(), same);
        if (in_exam > in_bank) return "PrepareExam drew " + Describe(drawn) + " more often than the bank holds it";
    }
    return std::string();
}

// The library's message as the loader must show it: an error at a line break is placed at the end of the line
// the break ends, not at column 0 of the next; a quoted token ends at a whole character, and of more than 48 bytes
// keeps only its last 40 (less any continuation bytes or part of a "<U+000A>" they start with), after "\u2026".
std::string LoaderLibraryMessage(std::string what, const std::string& text, size_t error_byte) {
    const std::string next_line_start = ", column 0:";
    if (error_byte >= 1 && error_byte <= text.size() && text[error_byte - 1] == '\n' &&
        what.find(next_line_start) != std::string::npos) {
        size_t line = 1, column = 1;
        for (size_t i = 0; i + 1 < error_byte; ++i) {
            column = text[i] == '\n' ? 1 : column + 1;
            line += text[i] == '\n';
        }
        const size_t from = what.find("at line ") + 3, to = what.find(next_line_start) + next_line_start.size() - 1;
        what.replace(from, to - from, "line " + std::to_string(line) + ", column " + std::to_string(column));
    }
    for (const std::string marker : {"; last read: '", "number overflow parsing '"}) {
        const size_t at = what.find(marker);
        if (at == std::string::npos) continue;
        // After the token the library may say what it expected.
        std::string after = "'";
        for (const std::string expected : {"string literal", "end of input", "']'", "'}'", "':'",
                                           "'[', '{', or a literal"}) {
            const std::string tail = "'; expected " + expected;
            if (what.size() >= at + marker.size() + tail.size() + 1 &&
                what.substr(what.size() - tail.size()) == tail)
                after = tail;
        }
        std::string token = what.substr(at + marker.size(), what.size() - after.size() - at - marker.size());
        // A lead byte announces its character's length in its leading one bits; fewer bytes follow it when the
        // library stopped inside the character, and then none of it is shown.
        size_t continuations = 0;
        while (continuations < 3 && continuations < token.size() &&
               (static_cast<unsigned char>(token[token.size() - 1 - continuations]) & 0xC0) == 0x80)
            ++continuations;
        if (continuations < token.size()) {
            int ones = 0;
            for (unsigned char lead = token[token.size() - 1 - continuations]; lead & 0x80; lead <<= 1) ++ones;
            if (ones >= 2 && ones <= 4 && static_cast<size_t>(ones) > continuations + 1)
                token.resize(token.size() - 1 - continuations);
        }
        what = what.substr(0, at + marker.size()) + token + after;
        if (token.size() <= 48) break;
        size_t cut = token.size() - 40;
        while (cut < token.size() && (static_cast<unsigned char>(token[cut]) & 0xC0) == 0x80) ++cut;
        // Nor does it start inside the library's "<U+001F>" for a control character.
        for (size_t escape = token.find("<U+"); escape != std::string::npos; escape = token.find("<U+", escape + 1)) {
            if (escape < cut && cut < escape + 8) cut = escape + 8;
        }
        const std::string kept = token.substr(cut);
        what = what.substr(0, at + marker.size()) + "\xE2\x80\xA6" + kept + after;
        break;
    }
    return what;
}

// UTF-16 and UTF-32 are told by a byte-order mark, or by where the zero bytes of an ASCII start fall among the
// first four bytes; "" for anything else.
std::string WideEncodingName(const std::string& text) {
    const auto starts = [&](const std::string& bytes) { return text.compare(0, bytes.size(), bytes) == 0; };
    if (text.size() >= 4 && starts(std::string("\xFF\xFE\0\0", 4))) return "UTF-32 little-endian";
    if (starts(std::string("\0\0\xFE\xFF", 4))) return "UTF-32 big-endian";
    if (starts("\xFF\xFE")) return "UTF-16 little-endian";
    if (starts("\xFE\xFF")) return "UTF-16 big-endian";
    if (text.size() < 4) return "";
    std::string zeros;
    for (size_t i = 0; i < 4; ++i) zeros += text[i] == '\0' ? '0' : 'x';
    if (zeros == "000x") return "UTF-32 big-endian";
    if (zeros == "x000") return "UTF-32 little-endian";
    if (zeros == "0x0x") return "UTF-16 big-endian";
    if (zeros == "x0x0") return "UTF-16 little-endian";
    return "";
}

// After a load that succeeded: allQuestions holds exactly the expected questions, and the exam drawn from them is
// sound.
std::string CheckLoadedQuestions(const ReferenceBank& expected) {
    if (allQuestions.size() != expected.questions.size())
        return Explain(expected) + ", but it loaded " + std::to_string(allQuestions.size());
    for (size_t i = 0; i < allQuestions.size(); ++i) {
        if (!SameQuestion(allQuestions[i], expected.questions[i]))
            return "question " + std::to_string(i + 1) + " loaded as " + Printable(Describe(allQuestions[i])) +
                   ", expected " + Printable(Describe(expected.questions[i]));
    }
    PrepareExam();
    return CheckDraw();
}

// After a refusal: nothing was loaded and nothing is drawn.
std::string CheckNothingLoaded() {
    if (!allQuestions.empty())
        return std::to_string(allQuestions.size()) + " questions were loaded from a refused bank";
    PrepareExam();
    if (!examQuestions.empty()) return "PrepareExam drew questions from an empty bank";
    return std::string();
}

// What the refusal of a bank must say: a syntax error word for word (`whole`), a shape error up to where its
// wording starts, since the words are the loader's own.
std::string ExpectedRefusal(const ReferenceBank& expected, bool& whole) {
    whole = expected.verdict == BankVerdict::SyntaxError;
    if (whole) return FORMAT_ERROR_PREFIX + expected.library_message;
    if (expected.bad_entry == 0)
        return std::string(FORMAT_ERROR_PREFIX) + "The file must hold an array of questions, not ";
    return FORMAT_ERROR_PREFIX + ("Question " + std::to_string(expected.bad_entry) + " (line ");
}

}  // namespace

std::string TextModeBytes(const std::string& file_bytes) {
    // A plain loop over the bytes: every input of the fuzzer comes through here.
    std::string out(file_bytes.size(), '\0');
    const char* in = file_bytes.data();
    const size_t size = file_bytes.size();
    char* to = &out[0];
    size_t kept = 0;
    for (size_t i = 0; i < size && in[i] != '\x1A'; ++i) {
        if (in[i] != '\r' || i + 1 == size || in[i + 1] != '\n') to[kept++] = in[i];
    }
    out.resize(kept);
    return out;
}

std::wstring ReferenceWide(const std::string& utf8) { return UpToNul(DecodeUtf8(utf8, true)); }

ReferenceBank ReferenceLoad(const std::string& file_bytes) { return ReferenceLoadText(TextModeBytes(file_bytes)); }

ReferenceBank ReferenceLoadText(const std::string& text) {
    ReferenceBank result;
    const std::string encoding = WideEncodingName(text);
    if (!encoding.empty()) {
        // Refused before any parsing, with the loader's own words in place of the library's.
        result.verdict = BankVerdict::SyntaxError;
        result.library_message = "The file looks like " + encoding + " text, not UTF-8. Save it as UTF-8 in your "
                                 "editor.";
        return result;
    }
    json data;
    try {
        data = json::parse(text.begin(), text.end(), nullptr, true, false);
    } catch (const json::parse_error& e) {
        result.verdict = BankVerdict::SyntaxError;
        result.library_message = LoaderLibraryMessage(e.what(), text, e.byte);
        return result;
    } catch (const json::exception& e) {
        result.verdict = BankVerdict::SyntaxError;
        result.library_message = LoaderLibraryMessage(e.what(), text, 0);
        return result;
    }
    if (!data.is_array() && !data.is_object() && !data.is_null()) {
        result.verdict = BankVerdict::ShapeError;
        return result;
    }
    for (const auto& item : data.items()) {
        Question q;
        if (!ReferenceEntry(item.value(), q)) {
            result.verdict = BankVerdict::ShapeError;
            result.bad_entry = result.questions.size() + 1;
            result.questions.clear();
            return result;
        }
        result.questions.push_back(std::move(q));
    }
    return result;
}

std::string WithLineEnds(const std::string& bytes, const char* line_end) {
    std::string converted;
    converted.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        if (c == '\n')
            converted += line_end;
        else
            converted += c;
    }
    return converted;
}

std::string CheckParseAgainstReference(const std::string& text, const ReferenceBank& expected, std::string* refusal) {
    allQuestions.clear();
    examQuestions.clear();
    std::string err_msg;
    const bool loaded = ParseQuestionBank(text, allQuestions, err_msg);
    if (refusal) *refusal = err_msg;
    if (expected.verdict == BankVerdict::Loads) {
        if (!loaded) return Explain(expected) + ", but it was refused with \"" + Printable(err_msg) + "\"";
        return CheckLoadedQuestions(expected);
    }
    if (loaded) return Explain(expected) + ", but it loaded " + std::to_string(allQuestions.size()) + " questions";
    bool whole = false;
    const std::string message = ExpectedRefusal(expected, whole);
    if (whole ? err_msg != message : err_msg.rfind(message, 0) != 0)
        return Explain(expected) + ", but the message is \"" + Printable(err_msg) + "\"";
    return CheckNothingLoaded();
}

namespace {

// What a walk hands over for one entry.
struct EntrySeen {
    Question question;
    std::string problem;  // the exam's words for it, empty when it became a question
    unsigned nul_texts;
};

std::string Describe(const EntrySeen& entry) {
    return entry.problem.empty() ? Describe(entry.question) + " NUL " + std::to_string(entry.nul_texts) : entry.problem;
}

// Keeps every entry a walk hands over.
EntrySink KeepInto(std::vector<EntrySeen>& entries) {
    return [&entries](size_t, Question& question, const EntryVerdict& verdict, unsigned nul_texts) {
        entries.push_back({std::move(question), EntryFaultWords(verdict), nul_texts});
        return true;
    };
}

}  // namespace

std::string CheckPiecesAgainstWhole(const std::string& file_bytes) {
    const std::string text = TextModeBytes(file_bytes);
    // Pieces of 1 to 7 bytes, some empty, so that every token is cut somewhere in some input.
    size_t at = 0, turn = file_bytes.size();
    const PieceSource next_piece = [&](std::string_view& piece) {
        if (at >= text.size()) return false;
        piece = std::string_view(text).substr(at, turn++ % 8);
        at += piece.size();
        return true;
    };
    std::vector<EntrySeen> in_pieces, whole;
    const bool pieces_sound = WalkBank(next_piece, KeepInto(in_pieces));
    const TextVerdict verdict = WalkBankText(text, BANK_SIZE_LIMIT, KeepInto(whole));
    const bool whole_sound = verdict.fault == TextFault::None;
    if (pieces_sound != whole_sound) {
        return std::string("fed in pieces the text is ") + (pieces_sound ? "sound" : "refused") +
               ", fed whole \"" + Printable(TextFaultWords(verdict, text)) + "\"";
    }
    for (size_t i = 0; whole_sound && i < std::max(in_pieces.size(), whole.size()); ++i) {
        if (i < in_pieces.size() && i < whole.size() && in_pieces[i].problem == whole[i].problem &&
            in_pieces[i].nul_texts == whole[i].nul_texts && SameQuestion(in_pieces[i].question, whole[i].question))
            continue;
        return "fed in pieces, entry " + std::to_string(i + 1) + " is " +
               (i < in_pieces.size() ? Printable(Describe(in_pieces[i])) : "missing") + ", fed whole " +
               (i < whole.size() ? Printable(Describe(whole[i])) : "missing");
    }
    return std::string();
}

std::string CheckLoadAgainstReference(HWND owner, const std::string& file_bytes, const ReferenceBank& expected) {
    if (!WriteWholeFile(L"questions.json", file_bytes)) return "cannot write questions.json";
    allQuestions.clear();
    examQuestions.clear();
    bool loaded = false;
    const std::vector<MessageBoxSeen> boxes = CaptureMessageBoxes([&] { loaded = LoadQuestions(owner); });

    std::ostringstream fault;
    if (expected.verdict == BankVerdict::Loads) {
        if (!loaded || !boxes.empty()) {
            fault << Explain(expected) << ", but LoadQuestions returned " << loaded << " after " << boxes.size()
                  << " boxes";
            if (!boxes.empty()) fault << ", the first saying \"" << Printable(WideToUtf8(boxes[0].text)) << "\"";
            return fault.str();
        }
        return CheckLoadedQuestions(expected);
    }

    if (loaded || boxes.size() != 1) {
        fault << Explain(expected) << ", but LoadQuestions returned " << loaded << " after " << boxes.size()
              << " boxes";
        return fault.str();
    }
    const MessageBoxSeen& box = boxes[0];
    if (!(box == ErrorBox(L"JSON Parse Error", box.text, owner))) {
        fault << "the refusal came in " << box;
        return fault.str();
    }
    bool whole = false;
    std::wstring expected_text = BoxText(ExpectedRefusal(expected, whole));
    // Where the library's message quotes bytes that are not UTF-8, how many U+FFFD replace them is the
    // platform's business: the text is checked up to the first replacement.
    const size_t replacement = expected_text.find(L'\uFFFD');
    bool matches;
    if (whole && replacement == std::wstring::npos) {
        matches = box.text == expected_text;
    } else {
        if (replacement != std::wstring::npos) expected_text.resize(replacement + 1);
        matches = box.text.rfind(expected_text, 0) == 0;
    }
    if (!matches) {
        fault << Explain(expected) << ", but the box says \"" << Printable(WideToUtf8(box.text)) << "\"";
        return fault.str();
    }
    return CheckNothingLoaded();
}

std::string AsCheckerError(const std::string& message, const std::string& text) {
    static const std::regex entry(R"(Question (\d+) \(line (\d+), column (\d+)\): (.*))");
    static const std::regex place(R"(\[json\.exception\.parse_error\.101\] parse error at line (\d+), column (\d+): (.*))");
    static const std::regex overflow(R"(\[json\.exception\.out_of_range\.406\] (.*))");
    const auto column = [&](const std::string& line, const std::string& bytes) {
        return std::to_string(CharacterColumnAt(text, std::stoul(line), std::stoul(bytes)));
    };
    std::smatch m;
    if (std::regex_match(message, m, entry)) {
        return "q.json:" + m.str(2) + ":" + column(m.str(2), m.str(3)) + ": note: the exam says: Question " + m.str(1) +
               ": " + m.str(4);
    }
    if (std::regex_match(message, m, place))
        return "q.json:" + m.str(1) + ":" + column(m.str(1), m.str(2)) + ": note: the exam says: " + m.str(3);
    if (std::regex_match(message, m, overflow)) return ": note: the exam says: " + m.str(1);
    return "q.json: error: " + message;
}

BankReport CheckedBank(const std::string& text, std::vector<std::string>& lines, const std::string& name) {
    static const HDC dc = NewCheckingDc();
    BankReport report = CheckBank(dc, name, text);
    for (const BankProblem& problem : report.problems) lines.push_back(ProblemLine(name, problem));
    return report;
}

std::string CheckCheckerAgainstExam(const std::string& text, const std::string& refusal) {
    std::vector<std::string> lines;
    const BankReport report = CheckedBank(text, lines);
    if (!report.checked) return "the checker ran out of memory";
    const auto first_error = std::find_if(report.problems.begin(), report.problems.end(),
                                          [](const BankProblem& problem) { return problem.error; });
    if (refusal.empty()) {
        if (first_error == report.problems.end()) return std::string();
        return "the exam loads the bank, but the checker says \"" + Printable(ProblemLine("q.json", *first_error)) + "\"";
    }
    if (first_error == report.problems.end()) return "the exam refuses the bank, but the checker finds no error";
    // The message as the box shows it, without its first line.
    const std::string shown = WideToUtf8(Utf8ToWide(refusal));
    const std::string expected = AsCheckerError(
        shown.substr(shown.rfind(FORMAT_ERROR_PREFIX, 0) == 0 ? sizeof FORMAT_ERROR_PREFIX - 1 : 0), text);
    std::vector<std::string> said = NoteLines("q.json", *first_error);
    said.insert(said.begin(), ProblemLine("q.json", *first_error));
    // A number too large has no place in the exam's words: only its words are compared.
    const bool words_only = expected.rfind(": note: ", 0) == 0;
    for (const std::string& line : said) {
        if (line == expected ||
            (words_only && line.size() > expected.size() && line.compare(line.size() - expected.size(), expected.size(), expected) == 0))
            return std::string();
    }
    return "the checker's first error says \"" + Printable(said[0]) + "\", and not \"" + Printable(expected) + "\"";
}

void BankTest::TearDown() {
    allQuestions.clear();
    examQuestions.clear();
}

void BankFolderTest::SetUp() {
    owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner_, nullptr);
}

void BankFolderTest::TearDown() {
    DestroyWindow(owner_);
    BankTest::TearDown();
}
