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
// elsewhere without the flag can take its place (bank_messages.cpp reads a key through another).
#include "bank_rules.h"

#include <iterator>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>
#include "bank_messages.h"
#include "utf8_decoding.h"

namespace {

using json = nlohmann::json;

// What a value is, as far as the messages name it.
enum class Kind : char { Null, Boolean, Number, String, Array, Object };

const char* TypeNameWithArticle(Kind kind) {
    switch (kind) {
        case Kind::Null: return "null";
        case Kind::Boolean: return "a boolean";
        case Kind::String: return "a string";
        case Kind::Array: return "an array";
        case Kind::Object: return "an object";
        default: return "a number";
    }
}

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
    std::string problem;
    unsigned nul_texts;
};

// What keeps an entry from becoming a Question, in the order the author is told: its kind, a missing key, then
// each key's value; an empty text when nothing does.
std::string EntryProblem(const EntryParts& e) {
    if (e.kind != Kind::Object) {
        return std::string("must be an object with \"questionText\", \"options\" and \"correctAnswer\", not ") +
               TypeNameWithArticle(e.kind) + ".";
    }
    if (!e.has_text) return "\"questionText\" is missing.";
    if (!e.has_options) return "\"options\" is missing.";
    if (!e.has_answer) return "\"correctAnswer\" is missing.";
    if (e.text_kind != Kind::String) return "\"questionText\" must be a string.";
    // "options" is read as the library walks any value: null gives nothing, a string gives itself, an object gives
    // its member values. Only a number or a boolean cannot hold options.
    if (e.options_kind == Kind::Number || e.options_kind == Kind::Boolean)
        return "\"options\" must be an array of strings.";
    if (e.bad_option) {
        return "option " + std::to_string(e.bad_option) + " of \"options\" must be a string, not " +
               TypeNameWithArticle(e.bad_option_kind) + ".";
    }
    if (e.answer_kind != Kind::Number && e.answer_kind != Kind::Boolean) {
        return std::string("\"correctAnswer\" must be a number, true or false, not ") +
               TypeNameWithArticle(e.answer_kind) + ".";
    }
    if (!e.answer_fits) {
        return "\"correctAnswer\" is out of range: write a whole number from -9223372036854775808 to "
               "18446744073709551615 (its low 32 bits are kept), or a number with a fraction or exponent whose whole "
               "part is from -2147483648 to 2147483647.";
    }
    return std::string();
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
    std::string error_what;      // the library's message for a refused text
    size_t error_byte = 0;       // where it stopped, from 1 (0 when it does not say)

    explicit BankWalk(const EntrySink& entry_sink) : sink(entry_sink) {}

    // The top level: its value, the keys of a top-level object, and its end, where an object's entries are handed
    // over in its keys' order.
    void Hand(Question& question, const std::string& problem, unsigned nul_texts) {
        if (building) building = sink(handed++, question, problem, nul_texts);
    }
    void TopEnd() {
        if (top != Kind::Object) return;
        for (auto& member : members) Hand(member.second.question, member.second.problem, member.second.nul_texts);
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
        const std::string problem = EntryProblem(entry);
        if (top == Kind::Array)
            Hand(entry.question, problem, entry.nul_texts);
        else
            members[member_key] = MemberEntry{std::move(entry.question), problem, entry.nul_texts};
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
    bool parse_error(size_t, const std::string&, const nlohmann::detail::exception& error) {
        error_what = error.what();
        // out_of_range, for a number no double can hold (1e999), does not say where.
        const auto* parse_error = dynamic_cast<const json::parse_error*>(&error);
        error_byte = parse_error ? parse_error->byte : 0;
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

bool WalkBankText(const std::string& bank_text, uint64_t size_limit, const EntrySink& sink, std::string& err_msg) {
    if (bank_text.size() > size_limit) {
        err_msg = TooLargeMessage(bank_text.size(), size_limit);
        return false;
    }
    bool given = false;
    const PieceSource whole = [&](std::string_view& piece) {
        piece = bank_text;
        return !std::exchange(given, true);
    };
    BankWalk walk(sink);
    if (Walk(whole, walk)) return true;
    if (const char* encoding = WideEncoding(bank_text)) {
        err_msg = FORMAT_ERROR_PREFIX + NotUtf8Message(encoding);
    } else if (!walk.error_what.empty()) {
        err_msg = FORMAT_ERROR_PREFIX + ReadableLibraryMessage(walk.error_what, bank_text, walk.error_byte);
    } else {
        err_msg = FORMAT_ERROR_PREFIX + (std::string("The file must hold an array of questions, not ") +
                                         TypeNameWithArticle(walk.top) + ".");
    }
    return false;
}
