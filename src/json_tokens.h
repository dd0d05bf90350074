// The bank's text read as the JSON library's own lexer reads it, a token at a time with the bytes each spans, and
// the library's parser followed token by token: where and why it refuses a text, as data, so that what the exam
// and the checker say about it is made from facts rather than read back out of the library's sentence.
#pragma once

#include <cstddef>
#include <string>

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
};

// Reads `text` as the exam's parser does (strictly, no comments, a UTF-8 byte-order mark allowed) up to where it
// refuses it.
ReaderStop ReadUntilRefused(const std::string& text);

// The library's name for a token: "']'", "string literal", "end of input", ...
const char* TokenName(Token token);
