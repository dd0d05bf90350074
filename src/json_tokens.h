// The bank's text read as the JSON library's own lexer reads it, a token at a time with the bytes each spans: the
// one reading behind every place the checker and the messages name (where each entry starts, the keys an entry
// writes, an element of a list, what is open before a byte), and the library's parser followed token by token,
// which says where and why it refuses a text, as data rather than read back out of the library's sentence.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The library's tokens, as far as what it says about a refused text names them.
enum class Token : char {
    None,       // nothing: no token is expected
    True,
    False,
    Null,
    String,
    Number,
    BeginArray,
    BeginObject,
    EndArray,
    EndObject,
    Colon,
    Comma,
    Refused,    // bytes the lexer refused (an unknown literal, a bad escape, a line break inside a text, ...)
    End,        // the end of the input (a NUL byte outside a text ends it too)
    Value,      // any value: '[', '{' or a literal
};

// What the reader has behind it at byte `end` of a text sound up to there.
struct TextBefore {
    size_t string_start = 0;          // the opening quote of the last string read
    std::vector<size_t> open;         // the "[" and "{" not yet closed
    size_t last = std::string::npos;  // the last byte of the last token
};
// Where the library's reader stops on a text it refuses, and why, in its own terms.
struct ReaderStop {
    bool refused = false;       // false: the text is sound JSON
    bool overflow = false;      // a number no double holds (1e999): refused after its syntax was read
    size_t read = 0;            // bytes read, the one that stopped it included (past the end: the end was read)
    size_t line = 0;            // the library's place for it: line from 1, column in bytes (0 at a line's start)
    size_t column = 0;
    Token found = Token::None;  // the token it stopped on
    size_t token_start = 0;     // where that token starts
    size_t quoted_from = 0;     // the first byte of what the library quotes as last read
    const char* lexer_error = "";  // for Token::Refused, the library's words for what it refused
    const char* context = "";   // what the parser was reading: "value", "array", "object", "object key", ...
    Token expected = Token::None;
    TextBefore before;          // what the reader has behind it at the token it stopped on
};

// Reads `text` as the exam's parser does (strictly, no comments, a UTF-8 byte-order mark allowed) up to where it
// refuses it.
ReaderStop ReadUntilRefused(const std::string& text);

// The library's name for a token: "']'", "string literal", "end of input", ...
const char* TokenName(Token token);

// A token as the lexer reads it, and the bytes it spans.
struct JsonToken {
    Token token;
    size_t start, end;        // [start, end); a refused token ends after the byte refused
    std::string_view string;  // a string's text, escapes read, during the visit only
};

// Hands `visit` each token of `text` from byte `from` on, up to the end of the input or the first refused token (both
// handed over too), or until `visit` returns false.
void VisitTokens(const std::string& text, size_t from, const std::function<bool(const JsonToken&)>& visit);

// Where each entry's value starts in a bank's text, in the order the exam walks its entries: the elements of a
// top-level array, or the values of a top-level object by key, a key given twice at its later value. The text's
// syntax must be sound up to the end of the top value.
std::vector<size_t> EntryOffsets(const std::string& text);

// A member of the list or object at a place, as written: its key (escapes read; empty in a list), where the key's
// quote is (the value's place in a list), and where its value starts.
struct Member {
    std::string key;
    size_t offset;
    size_t value;
};
// The members of the list or object whose "[" or "{" is at byte `offset`, in the order written; none when something
// else is there. The text's syntax must be sound up to the end of that value.
std::vector<Member> Members(const std::string& text, size_t offset);

// The same at byte `end` of a text sound up to there.
TextBefore ReadUpTo(const std::string& text, size_t end);
