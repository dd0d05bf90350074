// The two UTF-8 to UTF-16 conversions: Utf8ToWide for any bytes (ill-formed ones become U+FFFD), and the fast
// decoder for text the parser has already checked, which must give exactly what the system's decoder gives.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "test_support.h"
#include "utf8_decoding.h"

namespace {

// The system's own conversion of the whole input, NUL and all, for comparison.
std::wstring SystemWide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int size = static_cast<int>(utf8.size());
    std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &wide[0],
                                                        static_cast<int>(wide.size()))));
    return wide;
}

// UTF-8 of one code point, written out by hand from the encoding's bit layout.
std::string EncodeUtf8(char32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

TEST(Utf8ToWide, Conversions) {
    const struct {
        std::string utf8;
        std::wstring wide;
    } cases[] = {
        {"", L""},
        {"plain", L"plain"},
        {"\xE6\x97\xA5\xE6\x9C\xAC", L"\u65E5\u672C"},
        {"\xF0\x9F\x98\x80", L"\U0001F600"},
        {std::string("cut\0here", 8), L"cut"},
        {"bad \xFF byte", L"bad \uFFFD byte"},
        {"\xC3", L"\uFFFD"},
        {"\xE6\x97", L"\uFFFD"},
        // A character cut short just before the end keeps what follows it.
        {"'\xC3'", L"'\uFFFD'"},
        {"last read: '[\xE9'", L"last read: '[\uFFFD'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.utf8));
        EXPECT_EQ(Utf8ToWide(c.utf8), c.wide);
    }
}

// Well-formed text of every sequence length, through the fast decoder, Utf8ToWide and the system's decoder alike.
TEST(WideFromCheckedUtf8, GivesWhatTheSystemGivesForWellFormedText) {
    const struct {
        const char* what;
        std::string utf8;
        std::wstring wide;
    } cases[] = {
        {"empty", "", L""},
        {"ASCII only", "Which of these is a prime number?", L"Which of these is a prime number?"},
        {"ASCII control characters and DEL", "\x01\t\n\x1F\x7F", L"\x01\t\n\x1F\x7F"},
        {"two-byte sequences at both ends of their range", "\xC2\x80 \xC3\xA9 \xDF\xBF", L"\u0080 \u00E9 \u07FF"},
        {"three-byte sequences at both ends of their range", "\xE0\xA0\x80 \xEF\xBF\xBF", L"\u0800 \uFFFF"},
        {"three-byte: Japanese", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE8\xB3\xAA\xE5\x95\x8F",
         L"\u65E5\u672C\u8A9E\u306E\u8CEA\u554F"},
        {"three-byte: around the surrogate range", "\xED\x9F\xBF \xEE\x80\x80", L"\uD7FF \uE000"},
        {"three-byte: byte-order mark and replacement character kept as text", "\xEF\xBB\xBF\xEF\xBF\xBD",
         L"\uFEFF\uFFFD"},
        {"four-byte sequences become surrogate pairs", "\xF0\x90\x80\x80 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF",
         L"\xD800\xDC00 \xD83D\xDE00 \xDBFF\xDFFF"},
        {"all lengths mixed", "a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80z", L"a\u00E9\u3042\U0001F600z"},
        {"NUL at the start", std::string("\0after", 6), L""},
        {"NUL after ASCII", std::string("cut\0here", 8), L"cut"},
        {"NUL after a surrogate pair", std::string("\xF0\x9F\x98\x80\0\xC3\xA9", 7), L"\U0001F600"},
        {"NUL after Japanese", std::string("\xE6\x97\xA5\0\xE6\x9C\xAC", 7), L"\u65E5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(WideFromCheckedUtf8(c.utf8), c.wide);
        EXPECT_EQ(Utf8ToWide(c.utf8), c.wide);
        const std::wstring system = SystemWide(c.utf8);
        EXPECT_EQ(system.substr(0, system.find(L'\0')), c.wide);
    }
}

// One text holding every Unicode scalar value but NUL, in order: the fast decoder and Utf8ToWide agree with the
// system's decoder on all of it.
TEST(WideFromCheckedUtf8, AgreesWithTheSystemOnEveryCodePoint) {
    std::string all;
    all.reserve(4 * 0x110000);
    for (char32_t cp = 1; cp <= 0x10FFFF; ++cp) {
        if (cp < 0xD800 || cp > 0xDFFF) all += EncodeUtf8(cp);  // surrogates are not characters
    }
    const std::wstring system = SystemWide(all);
    // U+0001 to U+FFFF less the 2,048 surrogates take one unit each, the 1,048,576 above two.
    ASSERT_EQ(system.size(), (0xFFFFu - 0x800u) + 2u * 0x100000u);
    for (const auto& [name, wide] : {std::make_pair("WideFromCheckedUtf8", WideFromCheckedUtf8(all)),
                                     std::make_pair("Utf8ToWide", Utf8ToWide(all))}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(wide.size(), system.size());
        const auto difference = std::mismatch(wide.begin(), wide.end(), system.begin()).first;
        EXPECT_TRUE(difference == wide.end()) << "first difference at unit " << difference - wide.begin();
    }
}

// Reading one character where the checker names it agrees with the JSON parser's own acceptance of it in a text:
// what the parser refuses is not UTF-8, and what it accepts is one character of exactly its bytes.
TEST(Utf8CodePointAt, ReadsACharacterAsTheParserAcceptsIt) {
    const char* const cases[] = {"A", "\xC3\xA9", "\xEF\xBC\x9A", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF",
                                 "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xED\xBF\xBF",
                                 "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xE3\x81", "\x80", "\xFF",
                                 "\xF8\x88\x80\x80\x80", "\xF0\x8F\xBF\xBF"};
    for (const std::string bytes : cases) {
        SCOPED_TRACE(Printable(bytes));
        size_t length = 0;
        const bool one_character = Utf8CodePointAt(bytes, 0, length) != NOT_UTF8 && length == bytes.size();
        EXPECT_EQ(one_character, nlohmann::json::accept("[\"" + bytes + "\"]"));
    }
}

}  // namespace
