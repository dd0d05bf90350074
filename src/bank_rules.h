// What the exam refuses in a bank and what it makes of the rest, in one pass over the parser's events: the whole
// text (size, encoding, syntax, a top value that can hold entries), and each entry, which becomes a Question or is
// refused with what is wrong with it. The loader stops building at the first bad entry; the bank checker goes on
// to every one. Both take these same steps, so they can never disagree.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "json_tokens.h"
#include "question.h"

// Which texts of an entry the bank writes with a NUL (the exam shows them only up to it): bit 0 for
// "questionText", bit k for option k (k = 1 to 4).
constexpr unsigned NUL_IN_QUESTION_TEXT = 1;

// What a value is, as far as the rules and their messages name it.
enum class ValueKind : char { Null, Boolean, Number, String, Array, Object };

// What keeps an entry from becoming a Question, in the order the author is told.
enum class EntryFault : char {
    None,
    NotObject,         // `found` says what it is
    Missing,           // `missing` says which keys
    TextNotString,     // "questionText"
    OptionsNotList,    // "options" is a number or a boolean
    OptionNotString,   // `option` says which, `found` what it is
    AnswerNotNumber,   // "correctAnswer", `found` says what it is
    AnswerOutOfRange,  // "correctAnswer" is a number too large to be a position
};

// The keys an entry lacks, as bits of EntryVerdict::missing, in the order the exam names them.
constexpr unsigned MISSING_TEXT = 1, MISSING_OPTIONS = 2, MISSING_ANSWER = 4;

// The rules' verdict on an entry: what is wrong with it, as facts.
struct EntryVerdict {
    EntryFault fault = EntryFault::None;
    unsigned missing = 0;  // every key it lacks, whatever its fault
    size_t option = 0;     // for OptionNotString, which option, from 0
    ValueKind found = ValueKind::Null;
};

// What refuses a text as a whole.
enum class TextFault : char { None, TooLarge, NotUtf8, Syntax, NotAList };

// The rules' verdict on a text: sound, or why it is refused.
struct TextVerdict {
    TextFault fault = TextFault::None;
    uint64_t size = 0, limit = 0;     // TooLarge: the text's size and the limit it is over
    const char* encoding = nullptr;   // NotUtf8: the encoding the bytes look like
    ReaderStop reader;                // Syntax: where and why the JSON reader stopped
    ValueKind top = ValueKind::Null;  // NotAList: what the file holds instead
};

// Receives each entry in walking order: the elements of a top-level array, or the values of a top-level object by
// key, a key given twice at its later value. `position` counts from 0; `verdict` has no fault when the entry
// became `question` (which the receiver may move from). Returning false asks for no more entries; the text is still read to its end, since
// a syntax error further on is what the exam reports.
using EntrySink = std::function<bool(size_t position, Question& question, const EntryVerdict& verdict,
                                     unsigned nul_texts)>;

// Gives the bank's next piece of text (as read in text mode) in `piece`; false once there is none, and from then
// on. A text in memory is one piece; a file is read a piece at a time, so that only one piece is held.
using PieceSource = std::function<bool(std::string_view& piece)>;

// Walks the text `next_piece` gives and hands every entry to `sink`. True when the text as a whole is sound; false
// when it is refused (entries handed over before then are to be dropped), without saying why: only the whole text
// can say where, so a caller that read it in pieces reads it again whole for WalkBankText. Running out of memory
// throws std::bad_alloc or std::length_error.
bool WalkBank(const PieceSource& next_piece, const EntrySink& sink);

// The same walk over a text in memory, after checking its size against `size_limit`, and the verdict on the text.
TextVerdict WalkBankText(const std::string& bank_text, uint64_t size_limit, const EntrySink& sink);

// The encoding a bank's bytes look like when they are UTF-16 or UTF-32 ("UTF-16 little-endian", ...), with or
// without a byte-order mark; nullptr when they do not.
const char* WideEncoding(const std::string& text);
