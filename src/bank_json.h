// The JSON library as the bank's rules use it: the same lexer, parser and strictness, with each token's text
// collected in a buffer whose append the compiler must inline. The lexer adds every byte of every text one at a
// time; into a std::string that is a call into the runtime per byte, which GCC will not inline there (it judges
// each of the lexer's many call sites unlikely), and it came to a fifth of the parsing thread's time.
#pragma once

#include <algorithm>
#include <cstddef>
#include <map>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

// A token's text as the lexer builds it. Its data() is followed by a NUL, as the lexer's number conversions expect.
class TokenText {
public:
    using value_type = char;

    // Takes no memory until the first byte: the lexer that holds it is made where nothing may throw.
    TokenText() = default;
    // What the library's readers of binary formats build texts with; a bank never reaches them.
    TokenText(const char* text) : TokenText() { append(text); }
    TokenText(size_t count, char c) : TokenText() {
        while (count-- > 0) push_back(c);
    }
    TokenText(const TokenText& other) : TokenText() { append(other); }
    TokenText& operator=(const TokenText& other) {
        if (this != &other) {
            clear();
            append(other);
        }
        return *this;
    }

    __attribute__((always_inline)) void push_back(char c) {
        if (at_ == end_) Grow();
        *at_++ = c;
    }
    void append(std::string_view more) {
        for (char c : more) push_back(c);
    }
    void clear() { at_ = bytes_.data(); }
    const char* data() {
        if (bytes_.empty()) return "";
        *at_ = '\0';
        return bytes_.data();
    }
    size_t size() const { return static_cast<size_t>(at_ - bytes_.data()); }
    operator std::string_view() const { return std::string_view(bytes_.data(), size()); }

private:
    // Keeps one byte beyond the end free for the NUL.
    __attribute__((noinline, cold)) void Grow() {
        const size_t used = size();
        bytes_.resize(std::max<size_t>(64, bytes_.size() * 2));
        at_ = bytes_.data() + used;
        end_ = bytes_.data() + bytes_.size() - 1;
    }

    std::vector<char> bytes_;
    char* at_ = nullptr;   // where the next byte goes
    char* end_ = nullptr;  // the last byte of bytes_
};

using BankJson = nlohmann::basic_json<std::map, std::vector, TokenText>;
