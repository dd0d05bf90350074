// The bank's rules, shared by the loader and the checker, applied to the JSON library's parse events as they come
// (its SAX interface: same lexer, same strictness as its parse), with no document built: each entry is taken apart
// only as far as its rules need, and its texts go from UTF-8 to UTF-16 once, straight into its Question. Only what
// the events cannot decide on their own is kept: the entries of a top-level object until its keys are all known,
// and an "options" object's values until its keys are.
//
// Compiled with -fno-tree-slp-vectorize (CMakeLists.txt): the lexer counts every byte in two adjacent counters,
// which GCC would otherwise add as one 16-byte value, and that costs double wherever the parser's place on the stack
// splits the value across a cache line. Without the flag the program took 1.07 times as long to show a bank of
// 100,000 questions. The lexer here reads through PieceCursor, a type of this file alone, so no copy of it compiled
// elsewhere without the flag can take its place (json_tokens.cpp reads a refused text through another).
#include "bank_rules.h"

#include <iterator>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>
#include "utf8_decoding.h"

namespace {

using json = nlohmann::json;

using Kind = ValueKind;

bool IsContainer(Kind kind) { return kind == Kind::Array || kind == Kind::Object; }

// The keys of an entry that its rules read; every other key is read over.
enum class Field : char { Other, Text, Options, Answer };

// Measured once, here: a std::string compared with a literal measures the literal with the runtime's strlen, which
// goes a byte at a time under Wine, for every key of every entry.
constexpr std::string_view TEXT_KEY = "questionText", OPTIONS_KEY = "options", ANSWER_KEY = "correctAnswer";

Field FieldOf(std::string_view key) {
    if (key == TEXT_KEY) return Field::Text;
    if (key == OPTIONS_KEY) return Field::Options;
    if (key == ANSWER_KEY) return Field::Answer;
    return Field::Other;
}

// An option given as a member of an "options" object, kept until the object's keys are all known.
struct OptionMember {
    Kind kind;
    std::wstring text;
    bool nul;
};

// One entry taken apart as far as its rules need, a later key replacing an earlier one.
struct EntryParts {
    Kind kind = Kind::Null;
    bool has_text = false, has_options = false, has_answer = false;
    Kind text_kind = Kind::Null, options_kind = Kind::Null, answer_kind = Kind::Null;
    size_t option_count = 0;                 // options walked so far
    size_t bad_option = 0;                   // the first option that is not a string, from 1 (0: none)
    Kind bad_option_kind = Kind::Null;
    bool answer_fits = false;
    unsigned nul_texts = 0;
    std::map<std::string, OptionMember> option_members;  // an "options" object's values by key
    Question question;
};

// An entry of a top-level object, kept until the object's keys are all known.
struct MemberEntry {
    Question question;
    EntryVerdict verdict;
    unsigned nul_texts;
};

// What keeps an entry from becoming a Question, in the order the author is told: its kind, a missing key, then
// each key's value; no fault when nothing does.
EntryVerdict VerdictOn(const EntryParts& e) {
    EntryVerdict verdict;
    verdict.missing = (e.has_text ? 0 : MISSING_TEXT) | (e.has_options ? 0 : MISSING_OPTIONS) |
                      (e.has_answer ? 0 : MISSING_ANSWER);
    const auto fault = [&](EntryFault why, Kind found) {
        verdict.fault = why;
        verdict.found = found;
        return verdict;
    };
    if (e.kind != Kind::Object) return fault(EntryFault::NotObject, e.kind);
    if (verdict.missing) return fault(EntryFault::Missing, Kind::Null);
    if (e.text_kind != Kind::String) return fault(EntryFault::TextNotString, e.text_kind);
    // "options" is read as the library walks any value: null gives nothing, a string gives itself, an object gives
    // its member values. Only a number or a boolean cannot hold options.
    if (e.options_kind == Kind::Number || e.options_kind == Kind::Boolean)
        return fault(EntryFault::OptionsNotList, e.options_kind);
    if (e.bad_option) {
        verdict.option = e.bad_option - 1;
        return fault(EntryFault::OptionNotString, e.bad_option_kind);
    }
    if (e.answer_kind != Kind::Number && e.answer_kind != Kind::Boolean)
        return fault(EntryFault::AnswerNotNumber, e.answer_kind);
    if (!e.answer_fits) return fault(EntryFault::AnswerOutOfRange, e.answer_kind);
    return verdict;
}

// A value as the rules read it, where it starts: its kind, a string's text, and what it makes of "correctAnswer"
// (`fits`: whether it can be one).
struct Value {
    Kind kind;
    std::string_view text;
    bool fits = false;
    int answer = 0;
};

// The parser's events for a bank, turned into entries as they come, in three steps by depth: the top level (depth
// 0, and the keys of a top-level object), an entry (depth 1, its keys and its members' values at depth 2), and its
// options (depth 3). Deeper values only count their nesting, so a deeply nested bank costs a counter here (the
// parser itself keeps one bit a level).
struct BankWalk {
    const EntrySink& sink;
    size_t depth = 0;
    Kind top = Kind::Null;
    bool building = true;        // the sink still wants entries
    size_t handed = 0;           // entries handed to the sink
    std::string member_key;      // the top-level object's key of the entry being read
    std::map<std::string, MemberEntry> members;
    EntryParts entry;
    Field field = Field::Other;  // which key of the entry the value at depth 2 is for
    std::string option_key;      // the "options" object's key of the option being read
    bool refused = false;        // the JSON reader refused the text

    explicit BankWalk(const EntrySink& entry_sink) : sink(entry_sink) {}

    // The top level: its value, the keys of a top-level object, and its end, where an object's entries are handed
    // over in its keys' order.
    void Hand(Question& question, const EntryVerdict& verdict, unsigned nul_texts) {
        if (building) building = sink(handed++, question, verdict, nul_texts);
    }
    void TopEnd() {
        if (top != Kind::Object) return;
        for (auto& member : members) Hand(member.second.question, member.second.verdict, member.second.nul_texts);
        members.clear();
    }

    // An entry: its start, its keys, its members' values, its end.
    void EntryStart(Kind kind) {
        entry = EntryParts();
        entry.kind = kind;
        field = Field::Other;
    }
    void EntryKey(std::string_view key) {
        field = FieldOf(key);
        // A key given twice keeps its later value: what the earlier one gave is forgotten.
        if (field == Field::Text) {
            entry.has_text = true;
            entry.question.questionText.clear();
            entry.nul_texts &= ~NUL_IN_QUESTION_TEXT;
        } else if (field == Field::Options) {
            entry.has_options = true;
            entry.question.options.clear();
            entry.option_count = entry.bad_option = 0;
            entry.option_members.clear();
            entry.nul_texts &= NUL_IN_QUESTION_TEXT;
        } else if (field == Field::Answer) {
            entry.has_answer = true;
        }
    }
    // Texts are converted only while the sink still wants entries.
    void EntryMember(const Value& value) {
        if (field == Field::Text) {
            entry.text_kind = value.kind;
            if (value.kind != Kind::String || !building) return;
            bool nul = false;
            entry.question.questionText = WideFromCheckedUtf8(value.text, &nul);
            if (nul) entry.nul_texts |= NUL_IN_QUESTION_TEXT;
        } else if (field == Field::Answer) {
            entry.answer_kind = value.kind;
            entry.answer_fits = value.fits;
            entry.question.correctAnswer = value.answer;
        } else if (field == Field::Options) {
            entry.options_kind = value.kind;
            // "options" is read as the library walks any value: a string gives itself.
            if (value.kind == Kind::Array) entry.question.options.reserve(4);
            if (value.kind == Kind::String) Option(value);
        }
    }
    void EntryEnd() {
        // Once the sink wants no more, the rest of an array is only read for its syntax.
        if (top == Kind::Array && !building) return;
        const EntryVerdict verdict = VerdictOn(entry);
        if (top == Kind::Array)
            Hand(entry.question, verdict, entry.nul_texts);
        else
            members[member_key] = MemberEntry{std::move(entry.question), verdict, entry.nul_texts};
    }

    // Its options: each value of an "options" array in turn, an "options" object's values once its keys are all
    // known, in their order.
    bool InOptions() const {
        return entry.kind == Kind::Object && field == Field::Options && IsContainer(entry.options_kind);
    }
    void Option(const Value& value) {
        if (!building) return;
        std::wstring text;
        bool nul = false;
        if (value.kind == Kind::String) text = WideFromCheckedUtf8(value.text, &nul);
        if (entry.options_kind == Kind::Object)
            entry.option_members[option_key] = OptionMember{value.kind, std::move(text), nul};
        else
            AddOption(value.kind, std::move(text), nul);
    }
    void AddOption(Kind kind, std::wstring&& text, bool nul) {
        ++entry.option_count;
        if (kind != Kind::String) {
            if (!entry.bad_option) {
                entry.bad_option = entry.option_count;
                entry.bad_option_kind = kind;
            }
            return;
        }
        if (nul && entry.option_count <= 4) entry.nul_texts |= 1u << entry.option_count;
        entry.question.options.push_back(std::move(text));
    }
    void OptionsEnd() {
        std::map<std::string, OptionMember> members_by_key;
        members_by_key.swap(entry.option_members);
        for (auto& member : members_by_key)
            AddOption(member.second.kind, std::move(member.second.text), member.second.nul);
    }

    // Each event to its step.
    void Start(const Value& value) {
        if (depth == 0)
            top = value.kind;
        else if (depth == 1)
            EntryStart(value.kind);
        else if (depth == 2 && entry.kind == Kind::Object)
            EntryMember(value);
        else if (depth == 3 && InOptions())
            Option(value);
    }
    bool Scalar(const Value& value) {
        Start(value);
        if (depth == 1) EntryEnd();
        return true;
    }
    bool Container(Kind kind) {
        Start(Value{kind, {}});
        ++depth;
        return true;
    }
    bool End() {
        --depth;
        if (depth == 2 && InOptions() && entry.options_kind == Kind::Object)
            OptionsEnd();
        else if (depth == 1)
            EntryEnd();
        else if (depth == 0)
            TopEnd();
        return true;
    }

    // The library's SAX interface. "correctAnswer": true and false count as 1 and 0, an integer keeps its low 32
    // bits, and a number with a fraction or exponent (or an integer beyond 64 bits, which the library reads as one)
    // is truncated toward zero, but only when the result fits: converting anything larger to int is undefined.
    bool null() { return Scalar(Value{Kind::Null, {}}); }
    bool boolean(bool value) { return Scalar(Value{Kind::Boolean, {}, true, value ? 1 : 0}); }
    bool number_integer(json::number_integer_t value) { return Integer(static_cast<uint64_t>(value)); }
    bool number_unsigned(json::number_unsigned_t value) { return Integer(value); }
    bool Integer(uint64_t value) {
        return Scalar(Value{Kind::Number, {}, true, static_cast<int32_t>(static_cast<uint32_t>(value))});
    }
    bool number_float(json::number_float_t value, std::string_view) {
        const bool fits = value > -2147483649.0 && value < 2147483648.0;
        return Scalar(Value{Kind::Number, {}, fits, fits ? static_cast<int>(value) : 0});
    }
    bool string(std::string_view value) { return Scalar(Value{Kind::String, value}); }
    bool binary(json::binary_t&) { return true; }  // never in JSON text
    bool start_object(size_t) { return Container(Kind::Object); }
    bool start_array(size_t) { return Container(Kind::Array); }
    bool end_array() { return End(); }
    bool end_object() { return End(); }
    bool key(std::string_view key) {
        if (depth == 1)
            member_key.assign(key);
        else if (depth == 2 && entry.kind == Kind::Object)
            EntryKey(key);
        else if (depth == 3 && InOptions())
            option_key.assign(key);
        return true;
    }
    // Where and why is read again from the whole text (ReadUntilRefused), and only for a text refused.
    bool parse_error(size_t, const std::string&, const nlohmann::detail::exception&) {
        refused = true;
        return false;
    }
};

// The lexer's view of the text: one byte at a time, the next piece asked for when one runs out.
struct PieceCursor {
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    const PieceSource* next_piece;
    const char* at;
    const char* end;

    char operator*() const { return *at; }
    PieceCursor& operator++() {
        ++at;
        return *this;
    }
    __attribute__((noinline)) bool NextPiece() {
        std::string_view piece;
        // A piece may be empty; the source says when there are no more.
        while (next_piece && (*next_piece)(piece)) {
            if (piece.empty()) continue;
            at = piece.data();
            end = at + piece.size();
            return true;
        }
        return false;
    }
};

// The parser asks "not at the end?" before every byte.
bool operator!=(PieceCursor& cursor, const PieceCursor&) { return cursor.at != cursor.end || cursor.NextPiece(); }

// Strict: nothing but white space after the value, no comments. The lexer treats a NUL byte outside a string as the
// end of the input. An object is walked over its member values, null over nothing; any other top value holds no
// entries. A text saved as UTF-16 or UTF-32 is never walked as sound: its first or second byte is a NUL, which
// ends the input, or a byte no JSON value starts with, so no entry of it is handed over either.
bool Walk(const PieceSource& next_piece, BankWalk& walk) {
    PieceCursor cursor{&next_piece, nullptr, nullptr};
    return json::sax_parse(cursor, PieceCursor{nullptr, nullptr, nullptr}, &walk, json::input_format_t::json, true,
                           false) &&
           (IsContainer(walk.top) || walk.top == Kind::Null);
}

}  // namespace

bool WalkBank(const PieceSource& next_piece, const EntrySink& sink) {
    BankWalk walk(sink);
    return Walk(next_piece, walk);
}

TextVerdict WalkBankText(const std::string& bank_text, uint64_t size_limit, const EntrySink& sink) {
    TextVerdict verdict;
    if (bank_text.size() > size_limit) {
        verdict.fault = TextFault::TooLarge;
        verdict.size = bank_text.size();
        verdict.limit = size_limit;
        return verdict;
    }
    bool given = false;
    const PieceSource whole = [&](std::string_view& piece) {
        piece = bank_text;
        return !std::exchange(given, true);
    };
    BankWalk walk(sink);
    if (Walk(whole, walk)) return verdict;
    if ((verdict.encoding = WideEncoding(bank_text))) {
        verdict.fault = TextFault::NotUtf8;
    } else if (walk.refused) {
        verdict.fault = TextFault::Syntax;
        verdict.reader = ReadUntilRefused(bank_text);
    } else {
        verdict.fault = TextFault::NotAList;
        verdict.top = walk.top;
    }
    return verdict;
}

// JSON text starts with an ASCII character, so UTF-16 and UTF-32 show their zero bytes within the first four,
// with a byte-order mark or without one.
const char* WideEncoding(const std::string& text) {
    if (text.size() < 2) return nullptr;
    unsigned char b[4] = {};
    for (size_t i = 0; i < 4 && i < text.size(); ++i) b[i] = static_cast<unsigned char>(text[i]);
    const bool four = text.size() >= 4;
    if (four && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0 && b[3] == 0) return "UTF-32 little-endian";
    if (four && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF) return "UTF-32 big-endian";
    if (b[0] == 0xFF && b[1] == 0xFE) return "UTF-16 little-endian";
    if (b[0] == 0xFE && b[1] == 0xFF) return "UTF-16 big-endian";
    if (!four) return nullptr;
    if (b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] != 0) return "UTF-32 big-endian";
    if (b[0] != 0 && b[1] == 0 && b[2] == 0 && b[3] == 0) return "UTF-32 little-endian";
    if (b[0] == 0 && b[1] != 0 && b[2] == 0 && b[3] != 0) return "UTF-16 big-endian";
    if (b[0] != 0 && b[1] == 0 && b[2] != 0 && b[3] == 0) return "UTF-16 little-endian";
    return nullptr;
}
