// The bank's rules, shared by the loader and the checker, applied to the JSON library's parse events as they come
// (its SAX interface: same lexer, same strictness as its parse), with no document built: each entry is taken apart
// only as far as its rules need, and its texts go from UTF-8 to UTF-16 once, straight into its Question. Only what
// the events cannot decide on their own is kept: the entries of a top-level object until its keys are all known,
// and an "options" object's values until its keys are.
#include "bank_rules.h"

#include <emmintrin.h>

#include <cstring>
#include <iterator>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "bank_json.h"
#include "bank_messages.h"
#include "utf8_decoding.h"

namespace {

using json = BankJson;

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

// The parser's events for a bank, turned into entries as they come. Depth 0 is the top value, 1 an entry, 2 an
// entry's member value, 3 an option; deeper values only count their nesting, so a deeply nested bank costs a
// counter here (the parser itself keeps one bit a level).
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

    // An option of the "options" array or object being read?
    bool InOptions() const {
        return depth == 3 && entry.kind == Kind::Object && field == Field::Options && IsContainer(entry.options_kind);
    }

    void Hand(Question& question, const std::string& problem, unsigned nul_texts) {
        if (building) building = sink(handed++, question, problem, nul_texts);
    }

    void FinishEntry() {
        // Once the sink wants no more, the rest of an array is only read for its syntax.
        if (top == Kind::Array && !building) return;
        const std::string problem = EntryProblem(entry);
        if (top == Kind::Array) {
            Hand(entry.question, problem, entry.nul_texts);
        } else {
            members[member_key] = MemberEntry{std::move(entry.question), problem, entry.nul_texts};
        }
    }

    // An option's value, in the order the options are walked.
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

    // Every value, scalar or container, where it starts.
    void Value(Kind kind) {
        if (depth == 0) {
            top = kind;
        } else if (depth == 1) {
            entry = EntryParts();
            entry.kind = kind;
            field = Field::Other;
        } else if (depth == 2 && entry.kind == Kind::Object) {
            if (field == Field::Text) entry.text_kind = kind;
            if (field == Field::Answer) entry.answer_kind = kind;
            if (field == Field::Options) {
                entry.options_kind = kind;
                if (kind == Kind::Array) entry.question.options.reserve(4);
            }
        } else if (InOptions() && kind != Kind::String) {
            if (entry.options_kind == Kind::Array)
                AddOption(kind, std::wstring(), false);
            else
                entry.option_members[option_key] = OptionMember{kind, std::wstring(), false};
        }
    }

    // After a scalar: one at depth 1 is a whole entry.
    void EndScalar() {
        if (depth == 1) FinishEntry();
    }

    void Answer(bool fits, int answer) {
        if (depth == 2 && field == Field::Answer && entry.kind == Kind::Object) {
            entry.answer_fits = fits;
            entry.question.correctAnswer = answer;
        }
    }

    bool null() {
        Value(Kind::Null);
        EndScalar();
        return true;
    }
    // "correctAnswer": true and false count as 1 and 0.
    bool boolean(bool value) {
        Value(Kind::Boolean);
        Answer(true, value ? 1 : 0);
        EndScalar();
        return true;
    }
    // An integer keeps its low 32 bits.
    bool number_integer(json::number_integer_t value) {
        Value(Kind::Number);
        Answer(true, static_cast<int32_t>(static_cast<uint32_t>(value)));
        EndScalar();
        return true;
    }
    bool number_unsigned(json::number_unsigned_t value) {
        Value(Kind::Number);
        Answer(true, static_cast<int32_t>(static_cast<uint32_t>(value)));
        EndScalar();
        return true;
    }
    // A number with a fraction or exponent (or an integer beyond 64 bits, which the library reads as one) is
    // truncated toward zero, but only when the result fits: converting anything larger to int is undefined.
    bool number_float(json::number_float_t value, std::string_view) {
        Value(Kind::Number);
        const bool fits = value > -2147483649.0 && value < 2147483648.0;
        Answer(fits, fits ? static_cast<int>(value) : 0);
        EndScalar();
        return true;
    }
    bool string(std::string_view value) {
        Value(Kind::String);
        const bool wanted = building && entry.kind == Kind::Object;
        bool nul = false;
        if (wanted && depth == 2 && field == Field::Text) {
            entry.question.questionText = WideFromCheckedUtf8(value, &nul);
            entry.nul_texts = (entry.nul_texts & ~NUL_IN_QUESTION_TEXT) | (nul ? NUL_IN_QUESTION_TEXT : 0);
        } else if (wanted && ((depth == 2 && field == Field::Options) ||
                              (InOptions() && entry.options_kind == Kind::Array))) {
            std::wstring text = WideFromCheckedUtf8(value, &nul);
            AddOption(Kind::String, std::move(text), nul);
        } else if (wanted && InOptions()) {
            std::wstring text = WideFromCheckedUtf8(value, &nul);
            entry.option_members[option_key] = OptionMember{Kind::String, std::move(text), nul};
        }
        EndScalar();
        return true;
    }
    bool binary(json::binary_t&) { return true; }  // never in JSON text

    bool start_object(size_t) {
        Value(Kind::Object);
        ++depth;
        return true;
    }
    bool start_array(size_t) {
        Value(Kind::Array);
        ++depth;
        return true;
    }
    bool key(std::string_view key) {
        if (depth == 1) {
            member_key.assign(key);
        } else if (depth == 2 && entry.kind == Kind::Object) {
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
                entry.answer_fits = false;
                entry.question.correctAnswer = 0;
            }
        } else if (InOptions()) {
            option_key.assign(key);
        }
        return true;
    }
    bool end_array() { return End(); }
    bool end_object() { return End(); }

    bool End() {
        --depth;
        if (depth == 2 && entry.kind == Kind::Object && field == Field::Options && entry.options_kind == Kind::Object) {
            // The options object's values, in its keys' order.
            std::map<std::string, OptionMember> members_by_key;
            members_by_key.swap(entry.option_members);
            for (auto& member : members_by_key)
                AddOption(member.second.kind, std::move(member.second.text), member.second.nul);
        } else if (depth == 1) {
            FinishEntry();
        } else if (depth == 0 && top == Kind::Object) {
            // The top-level object's entries, in its keys' order.
            for (auto& member : members) Hand(member.second.question, member.second.problem, member.second.nul_texts);
            members.clear();
        }
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

// What the exam says of a sound text whose top value cannot hold entries; an object is walked over its member
// values, null over nothing.
bool TopValueHoldsEntries(Kind top, std::string& err_msg) {
    if (IsContainer(top) || top == Kind::Null) return true;
    err_msg = FORMAT_ERROR_PREFIX + (std::string("The file must hold an array of questions, not ") +
                                     TypeNameWithArticle(top) + ".");
    return false;
}

// The lexer's view of a bank read in pieces: one byte at a time, the next piece read when one runs out.
struct PieceCursor {
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    BankPieces* pieces;
    const char* at;
    const char* end;

    char operator*() const { return *at; }
    PieceCursor& operator++() {
        ++at;
        return *this;
    }
};

// The parser asks "not at the end?" before every byte; that is when the next piece is read.
bool operator!=(PieceCursor& cursor, const PieceCursor&) {
    if (cursor.at != cursor.end) return true;
    if (!cursor.pieces || !ReadBankPiece(*cursor.pieces)) return false;
    cursor.at = cursor.pieces->buffer.data();
    cursor.end = cursor.at + cursor.pieces->length;
    return true;
}

// What a run's parse events are recorded as: a byte naming the event, then its value: eight bytes for a number,
// four bytes of length and the UTF-8 bytes for a string or a key.
enum RecordedEvent : char {
    RECORDED_NULL = 'n', RECORDED_TRUE = 't', RECORDED_FALSE = 'f', RECORDED_INTEGER = 'i', RECORDED_UNSIGNED = 'u',
    RECORDED_FLOAT = 'd', RECORDED_STRING = 's', RECORDED_KEY = 'k', RECORDED_OBJECT = '{', RECORDED_OBJECT_END = '}',
    RECORDED_ARRAY = '[', RECORDED_ARRAY_END = ']',
};

// Copies a short text with moves the compiler inlines, sixteen bytes at a time.
void CopyShort(char* to, const char* from, size_t size) {
    size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), block);
    }
    if (size - i >= 8) std::memcpy(to + i, from + i, 8), i += 8;
    if (size - i >= 4) std::memcpy(to + i, from + i, 4), i += 4;
    if (size - i >= 2) std::memcpy(to + i, from + i, 2), i += 2;
    if (size - i >= 1) to[i] = from[i];
}

// Records a run's parse events, leaving out the "[" and "]" added where the run was cut. They are gathered a few
// kilobytes at a time before going into `events`: under Wine the runtime's memcpy begins and ends every copy with
// string instructions that take tens of cycles each, and a run holds hundreds of thousands of short texts.
struct RunRecorder {
    std::string& events;
    bool first, last;
    size_t depth = 0;
    char staged[8192] = {};
    size_t staged_size = 0;

    void Flush() {
        events.append(staged, staged_size);
        staged_size = 0;
    }
    void Put(char event) {
        if (staged_size == sizeof staged) Flush();
        staged[staged_size++] = event;
    }
    template <typename Number>
    bool Add(RecordedEvent event, Number value) {
        if (sizeof staged - staged_size < 1 + sizeof value) Flush();
        staged[staged_size] = event;
        std::memcpy(staged + staged_size + 1, &value, sizeof value);
        staged_size += 1 + sizeof value;
        return true;
    }
    bool Text(RecordedEvent event, std::string_view text) {
        if (text.size() > UINT32_MAX) return false;
        Add(event, static_cast<uint32_t>(text.size()));
        if (text.size() > sizeof staged - staged_size) {
            Flush();
            if (text.size() > sizeof staged) return events += text, true;
        }
        CopyShort(staged + staged_size, text.data(), text.size());
        staged_size += text.size();
        return true;
    }
    bool null() { return Put(RECORDED_NULL), true; }
    bool boolean(bool value) { return Put(value ? RECORDED_TRUE : RECORDED_FALSE), true; }
    bool number_integer(json::number_integer_t value) { return Add(RECORDED_INTEGER, value); }
    bool number_unsigned(json::number_unsigned_t value) { return Add(RECORDED_UNSIGNED, value); }
    bool number_float(json::number_float_t value, std::string_view) { return Add(RECORDED_FLOAT, value); }
    bool string(std::string_view value) { return Text(RECORDED_STRING, value); }
    bool binary(json::binary_t&) { return true; }  // never in JSON text
    bool key(std::string_view key) { return Text(RECORDED_KEY, key); }
    bool start_object(size_t) { return ++depth, Put(RECORDED_OBJECT), true; }
    bool end_object() { return --depth, Put(RECORDED_OBJECT_END), true; }
    bool start_array(size_t) {
        if (depth++ > 0 || first) Put(RECORDED_ARRAY);
        return true;
    }
    bool end_array() {
        if (--depth > 0 || last) Put(RECORDED_ARRAY_END);
        return true;
    }
    bool parse_error(size_t, const std::string&, const nlohmann::detail::exception&) { return false; }
};

// Reads a recorded number and moves past it.
template <typename Number>
Number TakeNumber(const char*& at) {
    Number value;
    std::memcpy(&value, at, sizeof value);
    at += sizeof value;
    return value;
}

// Hands one run's recorded events to `walk`.
void Replay(const std::string& events, BankWalk& walk) {
    for (const char *at = events.data(), *end = at + events.size(); at < end;) {
        switch (*at++) {
            case RECORDED_NULL: walk.null(); break;
            case RECORDED_TRUE: walk.boolean(true); break;
            case RECORDED_FALSE: walk.boolean(false); break;
            case RECORDED_INTEGER: walk.number_integer(TakeNumber<json::number_integer_t>(at)); break;
            case RECORDED_UNSIGNED: walk.number_unsigned(TakeNumber<json::number_unsigned_t>(at)); break;
            case RECORDED_FLOAT: walk.number_float(TakeNumber<json::number_float_t>(at), std::string_view()); break;
            case RECORDED_STRING:
            case RECORDED_KEY: {
                const bool is_key = at[-1] == RECORDED_KEY;
                const uint32_t size = TakeNumber<uint32_t>(at);
                const std::string_view text(at, size);
                at += size;
                is_key ? walk.key(text) : walk.string(text);
                break;
            }
            case RECORDED_OBJECT: walk.start_object(0); break;
            case RECORDED_OBJECT_END: walk.end_object(); break;
            case RECORDED_ARRAY: walk.start_array(0); break;
            default: walk.end_array(); break;
        }
    }
}

}  // namespace

bool RecordRun(const std::string& run_text, bool first, bool last, std::string& events) {
    events.clear();
    events.reserve(run_text.size() + run_text.size() / 8);
    RunRecorder recorder{events, first, last};
    const bool parsed = json::sax_parse(run_text.data(), run_text.data() + run_text.size(), &recorder,
                                        json::input_format_t::json, true, false);
    recorder.Flush();
    return parsed;
}

bool WalkRecordedRuns(const std::function<const std::string*()>& next_run, const EntrySink& sink) {
    BankWalk walk(sink);
    bool started = false;
    while (const std::string* events = next_run()) {
        started = true;
        Replay(*events, walk);
    }
    std::string unused;
    return started && walk.depth == 0 && TopValueHoldsEntries(walk.top, unused);
}

bool WalkBankText(const std::string& bank_text, uint64_t size_limit, const EntrySink& sink, std::string& err_msg) {
    if (bank_text.size() > size_limit) {
        err_msg = TooLargeMessage(bank_text.size(), size_limit);
        return false;
    }
    if (const char* encoding = WideEncoding(bank_text)) {
        err_msg = FORMAT_ERROR_PREFIX + NotUtf8Message(encoding);
        return false;
    }
    BankWalk walk(sink);
    // Strict: nothing but white space after the value, no comments. The lexer treats a NUL byte outside a string
    // as the end of the input.
    if (!json::sax_parse(bank_text.data(), bank_text.data() + bank_text.size(), &walk, json::input_format_t::json,
                         true, false)) {
        err_msg = FORMAT_ERROR_PREFIX + ReadableLibraryMessage(walk.error_what, bank_text, walk.error_byte);
        return false;
    }
    return TopValueHoldsEntries(walk.top, err_msg);
}

bool WalkBankPieces(BankPieces& pieces, const EntrySink& sink) {
    // The encoding is told by the first four bytes; a first piece shorter than that is left to the whole text.
    if (!ReadBankPiece(pieces) && pieces.failed) return false;
    const std::string first(pieces.buffer.data(), std::min<size_t>(pieces.length, 4));
    if ((first.size() < 4 && !(pieces.left == 0 && !pieces.held_cr)) || WideEncoding(first)) return false;
    BankWalk walk(sink);
    PieceCursor cursor{&pieces, pieces.buffer.data(), pieces.buffer.data() + pieces.length};
    std::string unused;
    return json::sax_parse(cursor, PieceCursor{nullptr, nullptr, nullptr}, &walk, json::input_format_t::json, true,
                           false) &&
           !pieces.failed && TopValueHoldsEntries(walk.top, unused);
}
