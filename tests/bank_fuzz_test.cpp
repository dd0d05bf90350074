// Mutation fuzzing of the loader with hostile banks: valid banks are bent (bytes flipped, cut, spliced, nested
// deep, given huge numbers, ill-formed UTF-8, NUL and Ctrl-Z bytes, CR LF, byte-order marks, wrong shapes) and
// every result is loaded and the exam drawn from it. Each input must either load exactly what an independent
// reading of the bytes expects, or be refused with the expected message and nothing loaded.
//
// Most inputs go through ParseQuestionBank in memory, with the text-mode read's rules applied to the bytes first, a
// quarter of them fed to the walk a few bytes at a time as a file's pieces are (which must hand over every entry as
// the text fed whole does), and through the bank checker, whose first error must be the exam's refusal word for
// word (and which must find none in a bank the exam loads); a small share goes through a real questions.json,
// LoadQuestions with its real message box, to show that the file, the text-mode read and the box change nothing. A
// box costs milliseconds under Wine, a parse microseconds.
//
// Tables as spreadsheets save them go through the importer's table reader the same way: random rows written by a
// writer of this file's own in every separator and encoding must read back cell for cell.
//
// The run is deterministic: input i of a stream comes from (seed, stream, i) alone, so a failure reported with its
// seed is reproduced by running again with TESSAVON_FUZZ_SEED set to it. TESSAVON_FUZZ_INPUTS and
// TESSAVON_FUZZ_BOX_INPUTS set the two budgets, TESSAVON_FUZZ_TABLES the tables (`make fuzz` runs many more than
// `make test`).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "bank_generator.h"
#include "bank_reference.h"
#include "question_bank.h"
#include "table_reading.h"
#include "test_support.h"
#include "utf8_decoding.h"

namespace {

using json = nlohmann::json;

constexpr uint64_t DEFAULT_SEED = 20240611;
// In memory, 400,000: each goes through the checker too, which reads a refused bank on past its first syntax slip,
// and the run stays within its time; `make fuzz` runs twenty-five times as many.
constexpr size_t DEFAULT_INPUTS = 400000;
// Through the box, a thousand: some 400 of them are refused, every kind among them, and each box waits on Wine's
// one server for some 1,300 requests, which the other window tests of the suite wait on too. `make fuzz` runs
// twenty times as many.
constexpr size_t DEFAULT_BOX_INPUTS = 1000;
// The two streams of inputs, so the few through the box are not the first of those parsed in memory.
constexpr int MEMORY_STREAM = 0;
constexpr int BOX_STREAM = 1;

uint64_t EnvNumber(const char* name, uint64_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtoull(value, nullptr, 0) : fallback;
}

// Banks the mutations start from: valid, and between them using every feature of the format.
std::vector<std::string> SeedBankBytes() {
    const std::string entry = R"({"questionText":"Q","options":["a","b","c","d"],"correctAnswer":1})";
    std::vector<std::string> seeds = {
        GenerateBank(7, 1),
        GenerateBank(8, 3),
        GenerateBank(9, 12),
        "[" + entry + "]",
        "[\r\n  " + entry + ",\r\n  " + entry + "\r\n]\r\n",
        "\xEF\xBB\xBF[" + entry + "]",
        "[" + entry + "]" + std::string(1, '\0') + "tail",
        "[" + entry + "]\x1A{tail",
        R"({"b":{"questionText":"B","options":{"y":"2","x":"1"},"correctAnswer":true},)"
        R"("a":{"questionText":"A","options":"only","correctAnswer":-2.5}})",
        R"([{"questionText":"cut\u0000here","options":["x\u0000y",""],"correctAnswer":4294967297}])",
        R"([{"questionText":"dup","questionText":"\ud83d\ude00 \u00e9 \u65E5","options":null,)"
        R"("correctAnswer":18446744073709551615,"extra":[1,{"k":[]}]}])",
        "[{\"questionText\":\"\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 caf\xC3\xA9\",\"options\":[\"\\\"q\\\"\\\\\\/"
        "\\b\\f\\n\\r\\t\"],\"correctAnswer\":1e2}]",
        "[]",
        "null",
        "{}",
    };
    return seeds;
}

// Fragments that tend to matter to a JSON reader or a text-mode read.
const char* const TOKENS[] = {
    "\x1A", "\r", "\r\n", "\n", "\xEF\xBB\xBF", "\xEF\xBB", "\xC0\x80", "\xC3", "\xC3\x28", "\xE6\x97",
    "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\xF0\x9F\x98\x80", "\x80", "\xBF",
    "\xFF", "\xFE", "\xE6\x97\xA5", "\\u0000", "\\ud800", "\\udc00", "\\ud83d\\ude00", "\\uD83D", "\\u", "\\u12",
    "\\", "\\x", "\"", ",", ":", "[", "]", "{", "}", "null", "true", "false", "nul", "tru", "-", "0", "-0",
    "1e999", "-1e999", "1e-999", "18446744073709551615", "18446744073709551616", "-9223372036854775808",
    "-9223372036854775809", "2147483648", "-2147483649", "2147483647.9", "-2147483648.9", "1.7976931348623157e308",
    "4.9e-324", "123456789012345678901234567890", "0.1e1", "1E+2", "01", "1.", ".5", "NaN", "Infinity", "/*c*/",
    "//c\n", " ", "\t", "\f", "\v", "\"questionText\"", "\"options\"", "\"correctAnswer\"",
    "\"questionText\":\"again\",", "\"options\":{\"z\":\"1\",\"a\":\"2\"},", "\"correctAnswer\":true,",
};
const char* const NUMBERS[] = {
    "0", "-0", "7", "-1", "2147483647", "2147483648", "-2147483648", "-2147483649", "4294967296", "4294967297",
    "9223372036854775807", "9223372036854775808", "-9223372036854775808", "-9223372036854775809",
    "18446744073709551615", "18446744073709551616", "99999999999999999999999", "-99999999999999999999999", "1e9",
    "1e10", "-1e10", "2.5", "-2.5", "1e999", "-1e999", "1e-400", "-0.0", "1.5e300", "2147483647.999",
    "-2147483648.999", "2147483648.0", "1E2", "1e+2", "0.0000001",
};

// Replaces some value inside a parsed bank by something of another kind, renames or drops a key, or
// repeats one; what comes out is well-formed JSON with a shape the loader may or may not accept.
void MutateShape(json& value, SplitMix64& random, int depth = 0) {
    if ((value.is_array() || value.is_object()) && !value.empty() && random.Below(3) != 0 && depth < 8) {
        auto it = value.begin();
        std::advance(it, static_cast<long>(random.Below(value.size())));
        if (value.is_object() && random.Below(4) == 0) {
            const std::string key = it.key();
            switch (random.Below(3)) {
                case 0: value.erase(key); return;
                case 1: value[key + "x"] = *it; value.erase(key); return;
                default: value[key.substr(0, key.size() / 2)] = *it; return;
            }
        }
        MutateShape(*it, random, depth + 1);
        return;
    }
    switch (random.Below(12)) {
        case 0: value = nullptr; break;
        case 1: value = random.Below(2) == 0; break;
        case 2: value = static_cast<int64_t>(random.Next()); break;
        case 3: value = random.Next(); break;
        case 4: value = static_cast<double>(static_cast<int64_t>(random.Next())) / 1e9; break;
        case 5: value = "text"; break;
        case 6: value = json::array({"a", "b"}); break;
        case 7: value = json::object({{"k", "v"}}); break;
        case 8: value = json::array({value}); break;
        case 9: value = json::object({{"questionText", "n"}, {"options", json::array()}, {"correctAnswer", 0}}); break;
        case 10: value = std::string("nul\0inside", 10); break;
        default: value = json::array(); break;
    }
}

size_t Position(SplitMix64& random, const std::string& bytes) { return random.Below(bytes.size() + 1); }

// Puts `number` in place of the first number at or after `from`; without one there, nothing changes.
void ReplaceNumber(std::string& bytes, size_t from, const char* number) {
    while (from < bytes.size() && !(bytes[from] >= '0' && bytes[from] <= '9')) ++from;
    if (from == bytes.size()) return;
    size_t end = from;
    while (end < bytes.size() && std::string_view("0123456789+-.eE").find(bytes[end]) != std::string_view::npos) ++end;
    bytes.replace(from, end - from, number);
}

// One byte-level change of `bytes`.
void MutateBytes(std::string& bytes, SplitMix64& random, const std::vector<std::string>& seeds) {
    switch (random.Below(14)) {
        case 0:  // flip bits of a byte
            if (!bytes.empty()) bytes[random.Below(bytes.size())] ^= static_cast<char>(1u << random.Below(8));
            break;
        case 1:  // any byte value
            if (!bytes.empty()) bytes[random.Below(bytes.size())] = static_cast<char>(random.Below(256));
            break;
        case 2:
        case 3: {  // insert an interesting fragment
            const char* token = TOKENS[random.Below(std::size(TOKENS))];
            bytes.insert(Position(random, bytes), token);
            break;
        }
        case 4:  // a NUL byte
            bytes.insert(Position(random, bytes), 1, '\0');
            break;
        case 5:  // cut the file short
            bytes.resize(Position(random, bytes));
            break;
        case 6: {  // delete a stretch
            const size_t at = Position(random, bytes);
            bytes.erase(at, 1 + random.Below(16));
            break;
        }
        case 7: {  // repeat a stretch
            const size_t at = Position(random, bytes);
            bytes.insert(at, bytes.substr(at, 1 + random.Below(64)));
            break;
        }
        case 8: {  // splice the start of this bank with the end of another
            const std::string& other = seeds[random.Below(seeds.size())];
            bytes = bytes.substr(0, Position(random, bytes)) + other.substr(Position(random, other));
            break;
        }
        case 9:  // every line end as CR LF, or as a bare CR
            bytes = WithLineEnds(bytes, random.Below(2) == 0 ? "\r\n" : "\r");
            break;
        case 10: {  // swap a number for a huge, negative or fractional one
            const size_t at = Position(random, bytes);
            ReplaceNumber(bytes, at, NUMBERS[random.Below(std::size(NUMBERS))]);
            break;
        }
        case 11: {  // nest a stretch deep in arrays (or leave the brackets unbalanced)
            static const size_t DEPTHS[] = {1, 2, 10, 100, 1000, 5000, 20000};
            const size_t depth = DEPTHS[random.Below(std::size(DEPTHS))];
            const size_t from = Position(random, bytes);
            const size_t to = from + random.Below(bytes.size() - from + 1);
            const bool balanced = random.Below(4) != 0;
            bytes.insert(to, std::string(balanced ? depth : random.Below(depth + 1), ']'));
            bytes.insert(from, std::string(depth, random.Below(8) == 0 ? '{' : '['));
            break;
        }
        case 12: {  // byte-order marks, whole, partial or repeated
            static const char* const MARKS[] = {"\xEF\xBB\xBF", "\xEF\xBB", "\xEF", "\xEF\xBB\xBF\xEF\xBB\xBF",
                                                "\xFE\xFF", "\xFF\xFE"};
            bytes.insert(random.Below(4) == 0 ? Position(random, bytes) : 0, MARKS[random.Below(std::size(MARKS))]);
            break;
        }
        default: {  // ill-formed UTF-8 inside a string
            size_t at = Position(random, bytes);
            while (at < bytes.size() && bytes[at] != '"') ++at;
            static const char* const BAD[] = {"\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                              "\x80\x80", "\xFF", "\xE6\x97", "\xF0\x9F\x98"};
            bytes.insert(std::min(at + 1, bytes.size()), BAD[random.Below(std::size(BAD))]);
            break;
        }
    }
}

// Text that may stand inside a JSON string: characters of every UTF-8 length, escapes of every kind (a NUL
// among them), a raw byte-order mark and replacement character.
const char* const STRING_FRAGMENTS[] = {
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "caf\xC3\xA9", "\xF0\x9F\x98\x80", "\\u00e9", "\\ud83d\\ude00",
    "\\u0000", "\\n", "\\\"", "\\\\", "\\/", "&", "R&D", "\\t", "\\u3042", "\\uFFFD", "\xEF\xBF\xBD",
    "\xEF\xBB\xBF", "\\uFEFF", "\\b\\f\\r", "\xF4\x8F\xBF\xBF", "\xC2\x80", "\x7F", " ",
};
const char* const WHITE_SPACE[] = {" ", "\t", "\n", "\r\n", "\r", "  \r\n  ", "\r\r\n"};

// One change that leaves a well-formed bank well-formed, as far as bytes can tell: white space between tokens,
// text inside strings, other line ends, a byte-order mark, anything after a NUL or Ctrl-Z that ends the data,
// a key given twice, another number.
void MutateKeepingSyntax(std::string& bytes, SplitMix64& random, const std::vector<std::string>& seeds) {
    const size_t at = Position(random, bytes);
    switch (random.Below(8)) {
        case 0: {  // white space after a comma, colon or bracket
            const size_t after = bytes.find_first_of(",:[{", at);
            if (after != std::string::npos) bytes.insert(after + 1, WHITE_SPACE[random.Below(std::size(WHITE_SPACE))]);
            break;
        }
        case 1:
        case 2: {  // text at the start of a string value (mostly; a key now and then)
            const bool keys_too = random.Below(4) == 0;
            for (size_t quote = bytes.find('"', at); quote != std::string::npos; quote = bytes.find('"', quote + 1)) {
                const size_t before = bytes.find_last_not_of(" \t\r\n", quote == 0 ? 0 : quote - 1);
                const char opener = quote == 0 || before == std::string::npos ? '\0' : bytes[before];
                if (opener == ':' || opener == '[' || (keys_too && (opener == '{' || opener == ','))) {
                    bytes.insert(quote + 1, STRING_FRAGMENTS[random.Below(std::size(STRING_FRAGMENTS))]);
                    break;
                }
            }
            break;
        }
        case 3:  // CR LF line ends
            bytes = WithLineEnds(bytes, "\r\n");
            break;
        case 4:
            bytes.insert(0, "\xEF\xBB\xBF");
            break;
        case 5: {  // the data ends at a NUL or Ctrl-Z; anything may follow
            const std::string& other = seeds[random.Below(seeds.size())];
            bytes += std::string(1, random.Below(2) == 0 ? '\0' : '\x1A') + other.substr(Position(random, other));
            break;
        }
        case 6: {  // a key given again, before or after the one it repeats
            static const char* const KEYS[] = {"\"questionText\":\"again\"", "\"options\":[\"x\"]",
                                               "\"options\":{\"b\":\"2\",\"a\":\"1\"}", "\"correctAnswer\":3",
                                               "\"correctAnswer\":false", "\"extra\":{\"deep\":[[{}]]}"};
            const char* key = KEYS[random.Below(std::size(KEYS))];
            if (random.Below(2) == 0) {
                const size_t brace = bytes.find('{', at);
                if (brace != std::string::npos) bytes.insert(brace + 1, std::string(key) + ",");
            } else {
                const size_t brace = bytes.find('}', at);
                if (brace != std::string::npos) bytes.insert(brace, std::string(",") + key);
            }
            break;
        }
        default:  // another number in place of one
            ReplaceNumber(bytes, at, NUMBERS[random.Below(std::size(NUMBERS))]);
            break;
    }
}

// The seed banks, each with its parsed value for bending in shape.
struct SeedBanks {
    std::vector<std::string> bytes;
    std::vector<json> values;
};

SeedBanks ParsedSeedBanks() {
    SeedBanks seeds{SeedBankBytes(), {}};
    for (const std::string& bank : seeds.bytes) seeds.values.push_back(json::parse(TextModeBytes(bank)));
    return seeds;
}

// Input `index` of `stream`: a seed bank, sometimes bent in shape first, then a few changes. Most inputs keep to
// changes that leave the syntax whole, so their texts are compared after loading; the rest get hostile
// byte-level changes as well.
std::string MakeInput(uint64_t seed, int stream, size_t index, const SeedBanks& seeds) {
    SplitMix64 random{seed * 0x100000001B3ull ^ (static_cast<uint64_t>(stream) << 48) ^ index};
    const size_t chosen = random.Below(seeds.bytes.size());
    std::string bytes = seeds.bytes[chosen];
    if (random.Below(5) == 0) {
        json bank = seeds.values[chosen];
        for (size_t n = 1 + random.Below(2); n > 0; --n) MutateShape(bank, random);
        bytes = bank.dump(random.Below(2) == 0 ? -1 : 2, ' ', random.Below(4) == 0);
    }
    for (size_t n = random.Below(4); n > 0; --n) MutateKeepingSyntax(bytes, random, seeds.bytes);
    if (random.Below(4) == 0) {
        for (size_t n = 1 + random.Below(3); n > 0; --n) MutateBytes(bytes, random, seeds.bytes);
    }
    return bytes;
}

// A stream's inputs are dealt out to shards, each a test of its own, so CTest runs them side by side; together
// the shards run every input of the stream, each once.
constexpr int MEMORY_SHARDS = 8;
constexpr int BOX_SHARDS = 4;

// Runs shard `shard` of `shards` of the `inputs` inputs of `stream` through `check` (one of the
// Check...AgainstReference, given the input's bytes, what a text-mode read delivers of them, and the reference)
// and reports the first fault with what reproduces it.
template <typename Check>
void FuzzStream(int stream, size_t inputs, int shard, int shards, const Check& check) {
    const uint64_t seed = EnvNumber("TESSAVON_FUZZ_SEED", DEFAULT_SEED);
    const SeedBanks seeds = ParsedSeedBanks();
    for (const std::string& bank : seeds.bytes) ASSERT_EQ(ReferenceLoad(bank).verdict, BankVerdict::Loads) << bank;

    size_t verdicts[3] = {};
    const size_t first = inputs * shard / shards, end = inputs * (shard + 1) / shards;
    for (size_t index = first; index < end; ++index) {
        const std::string bytes = MakeInput(seed, stream, index, seeds);
        const std::string text = TextModeBytes(bytes);
        const ReferenceBank expected = ReferenceLoadText(text);
        ++verdicts[static_cast<int>(expected.verdict)];
        const std::string fault = check(bytes, text, expected);
        ASSERT_EQ(fault, "") << "fuzz seed " << seed << " (TESSAVON_FUZZ_SEED=" << seed << "), stream " << stream
                             << ", input " << index << ", bank bytes: " << Printable(bytes, 4000);
    }
    std::printf("seed %llu stream %d: inputs %zu to %zu of %zu: %zu loaded, %zu syntax errors, %zu shape errors\n",
                static_cast<unsigned long long>(seed), stream, first, end, inputs, verdicts[0], verdicts[1],
                verdicts[2]);
}

class BankFuzz : public BankTest, public ::testing::WithParamInterface<int> {};

TEST_P(BankFuzz, MutatedBanksParseAsReadOrAreRefused) {
    FuzzStream(MEMORY_STREAM, EnvNumber("TESSAVON_FUZZ_INPUTS", DEFAULT_INPUTS), GetParam(), MEMORY_SHARDS,
               [](const std::string& bytes, const std::string& text, const ReferenceBank& expected) {
                   std::string refusal;
                   std::string fault = CheckParseAgainstReference(text, expected, &refusal);
                   // A quarter of the inputs are fed in pieces too, which would add a third to the time if all were.
                   if (fault.empty() && bytes.size() % 4 == 0) fault = CheckPiecesAgainstWhole(bytes);
                   return fault.empty() ? CheckCheckerAgainstExam(text, refusal) : fault;
               });
}

INSTANTIATE_TEST_SUITE_P(Shard, BankFuzz, ::testing::Range(0, MEMORY_SHARDS));

class BankFuzzThroughTheBox : public BankFolderTest, public ::testing::WithParamInterface<int> {};

TEST_P(BankFuzzThroughTheBox, MutatedBanksLoadAsReadOrAreRefusedWithOneBox) {
    FuzzStream(BOX_STREAM, EnvNumber("TESSAVON_FUZZ_BOX_INPUTS", DEFAULT_BOX_INPUTS), GetParam(), BOX_SHARDS,
               [&](const std::string& bytes, const std::string&, const ReferenceBank& expected) {
                   return CheckLoadAgainstReference(owner_, bytes, expected);
               });
}

INSTANTIATE_TEST_SUITE_P(Shard, BankFuzzThroughTheBox, ::testing::Range(0, BOX_SHARDS));

// Tables: random cells in rows of one width, written as a spreadsheet saves them, read back by ReadTable.
constexpr size_t DEFAULT_TABLES = 5000;
constexpr int TABLE_STREAM = 2;

// What a cell may hold: every character the reader looks at (quotes, the three separators, each line break) and
// characters of each encoding written; those of code page 1252 or 932 only in tables saved in it.
const wchar_t* const ANY_ENCODING[] = {L"a", L"Which port?", L" ", L"\"", L"\"\"", L",", L";", L"\t", L"\n",
                                       L"\r\n", L"\r", L"12\"", L"x\"y", L"0", L"\x1A", L"\\", L"~"};
const wchar_t* const WESTERN[] = {L"é", L"isn’t", L"“q”", L"–", L"£5", L"€", L"ü", L"Straße", L"naïve"};
const wchar_t* const JAPANESE[] = {L"日本語", L"ア", L"ｱｲｳ", L"「表示」", L"～", L"①", L"。", L"ソ", L"表"};
const wchar_t* const WIDE_ONLY[] = {L"😀", L"Ω", L"한국어", L"é日本"};

enum class Saved { Utf8, Utf8Mark, Utf16LeMark, Utf16BeMark, Utf16LeBare, ShiftJis, Windows1252 };

// `text` in `code_page` by the system's encoder.
std::string Encoded(const std::wstring& text, UINT code_page) {
    if (text.empty()) return std::string();
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(code_page, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(code_page, 0, text.data(), size, &bytes[0], n, nullptr, nullptr);
    return bytes;
}

std::string Utf16(const std::wstring& text, bool big) {
    std::string bytes;
    for (const wchar_t c : text) {
        const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
        bytes += big ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

struct TableInput {
    std::string bytes;
    TextEncoding encoding;  // what the author would give: the code pages are not guessed, UTF-16 without a mark is
    char separator;
    std::vector<std::vector<std::wstring>> rows;  // the cells read back, blank rows left out
    std::vector<size_t> row_numbers;
};

// Table `index` of the stream: rows of one width, each cell quoted when it holds a quote, a separator or a line
// break (a quote doubled); rows ending in CR LF, LF, or CR alone throughout, an old Mac save, whose cells then break
// their lines with CR too.
TableInput MakeTable(uint64_t seed, size_t index) {
    SplitMix64 random{seed * 0x100000001B3ull ^ (static_cast<uint64_t>(TABLE_STREAM) << 48) ^ index};
    const auto saved = static_cast<Saved>(random.Below(7));
    const char separator = ",;\t"[random.Below(3)];
    const wchar_t* const row_end[] = {L"\r\n", L"\n", L"\r"};
    const std::wstring end = row_end[random.Below(3)];
    const bool cr_rows = end == L"\r";
    const bool code_page = saved == Saved::ShiftJis || saved == Saved::Windows1252;
    TableInput input{{}, TextEncoding::Found, separator, {}, {}};
    std::wstring text;
    const size_t width = 2 + random.Below(6), rows = 3 + random.Below(6);
    for (size_t row = 1; row <= rows; ++row) {
        std::vector<std::wstring> cells;
        for (size_t column = 0; column < width; ++column) {
            std::wstring cell;
            for (size_t n = random.Below(4); n > 0; --n) {
                // Words of a code page's text stand apart, as in a language: "–é" or "aア" run together would be
                // text in no language, which either reading may claim.
                if (code_page && !cell.empty()) cell += L' ';
                const size_t pick = random.Below(10);
                if (pick < 6) cell += ANY_ENCODING[random.Below(std::size(ANY_ENCODING))];
                else if (pick < 7 && saved != Saved::ShiftJis) cell += WESTERN[random.Below(std::size(WESTERN))];
                else if (pick < 8 && saved != Saved::Windows1252) cell += JAPANESE[random.Below(std::size(JAPANESE))];
                else if (saved != Saved::ShiftJis && saved != Saved::Windows1252)
                    cell += WIDE_ONLY[random.Below(std::size(WIDE_ONLY))];
            }
            // A save with CR rows has no LF at all; its cells break lines with CR.
            std::wstring written, read;
            for (size_t k = 0; k < cell.size(); ++k) {
                const bool cr_lf = cell[k] == L'\r' && k + 1 < cell.size() && cell[k + 1] == L'\n';
                if (cr_rows && (cell[k] == L'\n' || cr_lf)) {
                    written += L'\r';
                    read += L'\n';
                    k += cr_lf;
                } else {
                    written += cell[k];
                    if (!cr_lf) read += cr_rows && cell[k] == L'\r' ? L'\n' : cell[k];
                }
            }
            const bool quoted = written.find_first_of(L"\",;\t\r\n") != std::wstring::npos;
            if (column) text += static_cast<wchar_t>(separator);
            if (quoted) {
                text += L'"';
                for (const wchar_t c : written) text += c == L'"' ? std::wstring(L"\"\"") : std::wstring(1, c);
                text += L'"';
            } else {
                text += written;
            }
            cells.push_back(read);
        }
        text += end;
        const bool blank = std::all_of(cells.begin(), cells.end(), [](const std::wstring& c) {
            return c.find_first_not_of(L" \t\r\n") == std::wstring::npos;
        });
        if (!blank) {
            input.rows.push_back(std::move(cells));
            input.row_numbers.push_back(row);
        }
    }
    switch (saved) {
        case Saved::Utf8: input.bytes = Encoded(text, CP_UTF8); break;
        case Saved::Utf8Mark: input.bytes = "\xEF\xBB\xBF" + Encoded(text, CP_UTF8); break;
        case Saved::Utf16LeMark: input.bytes = "\xFF\xFE" + Utf16(text, false); break;
        case Saved::Utf16BeMark: input.bytes = "\xFE\xFF" + Utf16(text, true); break;
        case Saved::Utf16LeBare: input.bytes = Utf16(text, false); break;
        case Saved::ShiftJis:
            input.bytes = Encoded(text, 932);
            input.encoding = TextEncoding::ShiftJis;
            break;
        case Saved::Windows1252:
            input.bytes = Encoded(text, 1252);
            input.encoding = TextEncoding::Windows1252;
            break;
    }
    return input;
}

// What the reader made of `input`, against what was written: empty when every cell of every row came back.
std::string TableFault(const TableInput& input, const Table& table) {
    if (!input.rows.empty() && table.separator != input.separator)
        return std::string("separator found: ") + table.separator;
    if (!table.problems.empty()) return "refused: " + table.problems[0].text;
    if (table.rows.size() != input.rows.size()) return "rows: " + std::to_string(table.rows.size());
    for (size_t k = 0; k < input.rows.size(); ++k) {
        const TableRow& row = table.rows[k];
        if (row.row != input.row_numbers[k]) return "row number " + std::to_string(row.row);
        if (row.cells.size() != input.rows[k].size()) return "cells in row " + std::to_string(row.row);
        for (size_t c = 0; c < row.cells.size(); ++c) {
            if (row.cells[c] != Encoded(input.rows[k][c], CP_UTF8))
                return "row " + std::to_string(row.row) + ", cell " + std::to_string(c + 1) + ": " + row.cells[c];
        }
    }
    return std::string();
}

// What any bytes must make, read with the encoding found: a refusal, or rows numbered upwards, none blank, every
// cell UTF-8 for the bank; empty when so.
std::string BentTableFault(const Table& table) {
    if (!table.problems.empty()) return table.rows.empty() || table.problems[0].row ? "" : "rows beside a refusal";
    size_t last = 0;
    for (const TableRow& row : table.rows) {
        if (row.row <= last) return "row " + std::to_string(row.row) + " after row " + std::to_string(last);
        last = row.row;
        bool blank = true;
        for (const std::string& cell : row.cells) {
            blank = blank && cell.find_first_not_of(std::string_view(" \t\r\n")) == std::string::npos;
            for (size_t at = 0, length = 1; at < cell.size(); at += length) {
                if (Utf8CodePointAt(cell, at, length) == NOT_UTF8) return "not UTF-8 in row " + std::to_string(last);
            }
        }
        if (blank) return "blank row " + std::to_string(last);
    }
    return std::string();
}

TEST(TableFuzz, TablesWrittenInEverySeparatorAndEncodingReadBackCellForCell) {
    const uint64_t seed = EnvNumber("TESSAVON_FUZZ_SEED", DEFAULT_SEED);
    const size_t tables = EnvNumber("TESSAVON_FUZZ_TABLES", DEFAULT_TABLES);
    size_t code_page_tables = 0, found_and_read = 0;
    for (size_t index = 0; index < tables; ++index) {
        const TableInput input = MakeTable(seed, index);
        const std::string fault = TableFault(input, ReadTable(input.bytes, input.encoding));
        ASSERT_EQ(fault, "") << "fuzz seed " << seed << " (TESSAVON_FUZZ_SEED=" << seed << "), table " << index
                             << ", bytes: " << Printable(input.bytes, 4000);
        // A code page left to be found is the one saved in, or the table is refused: never read in the other.
        if (input.encoding != TextEncoding::Found) {
            const Table found = ReadTable(input.bytes);
            ++code_page_tables;
            found_and_read += found.problems.empty();
            const std::string found_fault = found.problems.empty() ? TableFault(input, found) : "";
            ASSERT_EQ(found_fault, "") << "fuzz seed " << seed << ", table " << index << " read as "
                                       << found.encoding << ": " << Printable(input.bytes, 4000);
        }
        // The same table bent by a byte or two, its encoding left to be found.
        SplitMix64 random{seed ^ index};
        std::string bent = input.bytes;
        for (size_t n = 1 + random.Below(2); n > 0 && !bent.empty(); --n)
            bent[random.Below(bent.size())] = static_cast<char>(random.Below(256));
        const std::string bent_fault = BentTableFault(ReadTable(bent));
        ASSERT_EQ(bent_fault, "") << "fuzz seed " << seed << ", table " << index << " bent: " << Printable(bent, 4000);
    }
    std::printf("seed %llu: %zu tables; of the %zu in a code page, %zu read with it found, the rest refused\n",
                static_cast<unsigned long long>(seed), tables, code_page_tables, found_and_read);
}

}  // namespace
