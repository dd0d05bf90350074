// The library's lexer, driven here token by token as its parser drives it (nlohmann/json 3.11's
// parser::sax_parse_internal and the strict check after it), so that the place, the token and what was expected
// when it refuses a text are known as facts. Only a refused text is read this way: a sound one costs nothing.
#include "json_tokens.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

using json = nlohmann::json;
using LibraryToken = nlohmann::detail::lexer_base<json>::token_type;
using Input = decltype(nlohmann::detail::input_adapter(std::declval<const std::string&>().begin(),
                                                       std::declval<const std::string&>().end()));
using Lexer = nlohmann::detail::lexer<json, Input>;

Token OurToken(LibraryToken token) {
    switch (token) {
        case LibraryToken::literal_true: return Token::True;
        case LibraryToken::literal_false: return Token::False;
        case LibraryToken::literal_null: return Token::Null;
        case LibraryToken::value_string: return Token::String;
        case LibraryToken::value_unsigned:
        case LibraryToken::value_integer:
        case LibraryToken::value_float: return Token::Number;
        case LibraryToken::begin_array: return Token::BeginArray;
        case LibraryToken::begin_object: return Token::BeginObject;
        case LibraryToken::end_array: return Token::EndArray;
        case LibraryToken::end_object: return Token::EndObject;
        case LibraryToken::name_separator: return Token::Colon;
        case LibraryToken::value_separator: return Token::Comma;
        case LibraryToken::parse_error: return Token::Refused;
        case LibraryToken::end_of_input: return Token::End;
        case LibraryToken::literal_or_value: return Token::Value;
        default: return Token::None;
    }
}

// The lexer, reading from byte `from`, and where its last token starts.
struct Reading {
    Lexer lexer;
    const std::string& text;
    size_t from = 0;
    LibraryToken token = LibraryToken::uninitialized;
    size_t start = 0;
    // The library quotes its bytes read since the last string or number began (from the file's start before one).
    size_t quoted_from = 0;
    TextBefore before;  // what lies behind the last token

    Reading(const std::string& whole, size_t first)
        : lexer(nlohmann::detail::input_adapter(whole.begin() + static_cast<std::ptrdiff_t>(first), whole.end()),
                false),
          text(whole), from(first) {}

    size_t Read() const { return from + lexer.get_position().chars_read_total; }

    LibraryToken Next() {
        size_t at = Read();
        if (token == LibraryToken::value_string) before.string_start = start;
        if (token == LibraryToken::begin_array || token == LibraryToken::begin_object) before.open.push_back(start);
        if ((token == LibraryToken::end_array || token == LibraryToken::end_object) && !before.open.empty())
            before.open.pop_back();
        if (token != LibraryToken::uninitialized) before.last = at - 1;
        if (at == 0 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) at = 3;
        token = lexer.scan();
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r'))
            ++at;
        start = at;
        if (at < text.size() && (text[at] == '"' || text[at] == '-' || (text[at] >= '0' && text[at] <= '9')))
            quoted_from = at;
        return token;
    }

    ReaderStop Refuse(LibraryToken expected, const char* context) {
        ReaderStop stop;
        stop.refused = true;
        const auto position = lexer.get_position();
        stop.read = position.chars_read_total;
        stop.line = position.lines_read + 1;
        stop.column = position.chars_read_current_line;
        stop.found = OurToken(token);
        stop.token_start = start;
        stop.quoted_from = quoted_from;
        if (token == LibraryToken::parse_error) stop.lexer_error = lexer.get_error_message();
        stop.context = context;
        stop.expected = OurToken(expected);
        stop.before = before;
        return stop;
    }
};

bool IsScalar(LibraryToken token) {
    return token == LibraryToken::literal_true || token == LibraryToken::literal_false ||
           token == LibraryToken::literal_null || token == LibraryToken::value_string ||
           token == LibraryToken::value_unsigned || token == LibraryToken::value_integer ||
           token == LibraryToken::value_float;
}

}  // namespace

ReaderStop ReadUntilRefused(const std::string& text) {
    Reading r(text, 0);
    std::vector<bool> in_array;  // the open containers, innermost last
    r.Next();
    while (true) {
        // A value, its first token read.
        if (r.token == LibraryToken::begin_object) {
            if (r.Next() != LibraryToken::end_object) {
                if (r.token != LibraryToken::value_string) return r.Refuse(LibraryToken::value_string, "object key");
                if (r.Next() != LibraryToken::name_separator)
                    return r.Refuse(LibraryToken::name_separator, "object separator");
                in_array.push_back(false);
                r.Next();
                continue;
            }
        } else if (r.token == LibraryToken::begin_array) {
            if (r.Next() != LibraryToken::end_array) {
                in_array.push_back(true);
                continue;
            }
        } else if (r.token == LibraryToken::value_float && !std::isfinite(r.lexer.get_number_float())) {
            ReaderStop stop = r.Refuse(LibraryToken::uninitialized, "");
            stop.overflow = true;
            return stop;
        } else if (r.token == LibraryToken::parse_error) {
            return r.Refuse(LibraryToken::uninitialized, "value");
        } else if (!IsScalar(r.token)) {
            return r.Refuse(LibraryToken::literal_or_value, "value");
        }
        // A value read whole: what may follow it.
        while (true) {
            if (in_array.empty()) {
                if (r.Next() != LibraryToken::end_of_input) return r.Refuse(LibraryToken::end_of_input, "value");
                return ReaderStop();
            }
            const bool array = in_array.back();
            if (r.Next() == LibraryToken::value_separator) break;
            if (r.token != (array ? LibraryToken::end_array : LibraryToken::end_object))
                return array ? r.Refuse(LibraryToken::end_array, "array") : r.Refuse(LibraryToken::end_object, "object");
            in_array.pop_back();
        }
        if (!in_array.back()) {
            if (r.Next() != LibraryToken::value_string) return r.Refuse(LibraryToken::value_string, "object key");
            if (r.Next() != LibraryToken::name_separator)
                return r.Refuse(LibraryToken::name_separator, "object separator");
        }
        r.Next();
    }
}

const char* TokenName(Token token) {
    static const LibraryToken LIBRARY[] = {
        LibraryToken::uninitialized, LibraryToken::literal_true,   LibraryToken::literal_false,
        LibraryToken::literal_null,  LibraryToken::value_string,   LibraryToken::value_unsigned,
        LibraryToken::begin_array,   LibraryToken::begin_object,   LibraryToken::end_array,
        LibraryToken::end_object,    LibraryToken::name_separator, LibraryToken::value_separator,
        LibraryToken::parse_error,   LibraryToken::end_of_input,   LibraryToken::literal_or_value};
    return nlohmann::detail::lexer_base<json>::token_type_name(LIBRARY[static_cast<size_t>(token)]);
}

void VisitTokens(const std::string& text, size_t from, const std::function<bool(const JsonToken&)>& visit) {
    Reading r(text, from);
    while (true) {
        const Token token = OurToken(r.Next());
        const std::string_view string = token == Token::String ? std::string_view(r.lexer.get_string()) : "";
        if (!visit(JsonToken{token, r.start, std::min(r.Read(), text.size()), string}) || token == Token::End ||
            token == Token::Refused)
            return;
    }
}

std::vector<Member> Members(const std::string& text, size_t offset) {
    std::vector<Member> members;
    if (offset >= text.size() || (text[offset] != '[' && text[offset] != '{')) return members;
    const bool object = text[offset] == '{';
    int depth = 0;
    bool expect_key = false, expect_value = false;
    VisitTokens(text, offset, [&](const JsonToken& t) {
        const bool opens = t.token == Token::BeginArray || t.token == Token::BeginObject;
        const bool closes = t.token == Token::EndArray || t.token == Token::EndObject;
        if (depth == 1 && expect_value && !closes) {
            if (!object) members.push_back({std::string(), t.start, t.start});
            members.back().value = t.start;
            expect_value = false;
        } else if (depth == 1 && expect_key && t.token == Token::String) {
            members.push_back({std::string(t.string), t.start, text.size()});
            expect_key = false;
        }
        if (opens && ++depth == 1) (object ? expect_key : expect_value) = true;
        if (closes) return --depth > 0;
        if (depth == 1 && t.token == Token::Comma) (object ? expect_key : expect_value) = true;
        if (depth == 1 && t.token == Token::Colon) expect_value = true;
        return true;
    });
    return members;
}

// The document's object orders its keys as std::map orders these, a key given twice at its later value.
std::vector<size_t> EntryOffsets(const std::string& text) {
    const size_t top = text.find_first_not_of(" \t\n\r", text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0);
    std::vector<size_t> offsets;
    std::map<std::string, size_t> by_key;
    for (const Member& member : Members(text, top == std::string::npos ? text.size() : top)) {
        if (text[top] == '{')
            by_key[member.key] = member.value;
        else
            offsets.push_back(member.value);
    }
    for (const auto& member : by_key) offsets.push_back(member.second);
    return offsets;
}

TextBefore ReadUpTo(const std::string& text, size_t end) {
    TextBefore before;
    VisitTokens(text, 0, [&](const JsonToken& t) {
        if (t.start >= end || t.token == Token::End || t.token == Token::Refused) return false;
        if (t.token == Token::String) before.string_start = t.start;
        if (t.token == Token::BeginArray || t.token == Token::BeginObject) before.open.push_back(t.start);
        if ((t.token == Token::EndArray || t.token == Token::EndObject) && !before.open.empty()) before.open.pop_back();
        before.last = t.end - 1;
        return true;
    });
    return before;
}
