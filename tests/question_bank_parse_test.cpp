// The bank's rules, checked in memory: ParseQuestionBank given what the text-mode read of a file delivers, and the
// message a refused bank is shown with, word for word; and the bank checker's lines for the same banks, which must
// never disagree with the exam. What only the real file, the real box and the real checker show is in
// question_bank_load_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bank_check.h"
#include "bank_reference.h"
#include "bank_messages.h"
#include "question_bank.h"
#include "test_support.h"
#include "utf8_decoding.h"

namespace {

const std::string PREFIX = FORMAT_ERROR_PREFIX;
const std::string EMPTY_INPUT_MESSAGE =
    "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while parsing value - "
    "unexpected end of input; expected '[', '{', or a literal";

struct Parsed {
    bool loaded = false;
    std::vector<Question> questions;
    std::string err_msg;
};

// What the loader makes of a file holding `file_bytes`.
Parsed Parse(const std::string& file_bytes) {
    Parsed parsed;
    parsed.loaded = ParseQuestionBank(TextModeBytes(file_bytes), parsed.questions, parsed.err_msg);
    return parsed;
}

// Parses a bank that must be accepted; returns its questions.
std::vector<Question> ExpectLoads(const std::string& bank) {
    const Parsed parsed = Parse(bank);
    EXPECT_TRUE(parsed.loaded) << parsed.err_msg;
    EXPECT_EQ(parsed.err_msg, "");
    return parsed.questions;
}

// Parses a bank that must be refused; returns the message as the box shows it (converted as LoadQuestions
// converts it), in UTF-8.
std::string ExpectRefused(const std::string& bank) {
    const Parsed parsed = Parse(bank);
    EXPECT_FALSE(parsed.loaded);
    EXPECT_TRUE(parsed.questions.empty());
    return WideToUtf8(Utf8ToWide(parsed.err_msg));
}

// The bank checker's lines for a file named q.json holding `file_bytes`.
std::vector<std::string> CheckerLines(const std::string& file_bytes) {
    std::vector<std::string> lines;
    const BankReport report = CheckedBank(TextModeBytes(file_bytes), lines);
    EXPECT_TRUE(report.checked);
    EXPECT_EQ(report.errors + report.warnings, lines.size());
    return lines;
}

// The notes under the checker's lines, in order.
std::vector<std::string> CheckerNotes(const std::string& file_bytes) {
    std::vector<std::string> lines, notes;
    for (const BankProblem& problem : CheckedBank(TextModeBytes(file_bytes), lines).problems)
        for (const std::string& note : NoteLines("q.json", problem)) notes.push_back(note);
    return notes;
}

std::vector<std::string> CheckerErrors(const std::string& file_bytes) {
    std::vector<std::string> errors;
    for (const std::string& line : CheckerLines(file_bytes))
        if (line.find(": error: ") != std::string::npos) errors.push_back(line);
    return errors;
}

// Syntax errors show the library's own message after the first line, word for word. Where the message quotes
// bytes that are not UTF-8, the box shows U+FFFD in their place.
TEST(ParseQuestionBank, SyntaxErrorsShowTheLibraryMessage) {
    const struct {
        const char* what;
        std::string bank;
        std::string message;
    } cases[] = {
        {"empty file", "", EMPTY_INPUT_MESSAGE},
        {"white space only", " \r\n\t", "[json.exception.parse_error.101] parse error at line 2, column 2: syntax "
                                         "error while parsing value - unexpected end of input; expected '[', '{', "
                                         "or a literal"},
        {"comment", "// bank\n[]",
         "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while parsing value - "
         "invalid literal; last read: '/'"},
        {"second value", "[] []",
         "[json.exception.parse_error.101] parse error at line 1, column 4: syntax error while parsing value - "
         "unexpected '['; expected end of input"},
        {"truncated byte-order mark", "\xEF\xBB[]",
         "[json.exception.parse_error.101] parse error at line 1, column 3: syntax error while parsing value - "
         "invalid BOM; must be 0xEF 0xBB 0xBF if given; last read: '\xEF\xBF\xBD['"},
        {"ill-formed UTF-8", "[\"\xC3\x28\"]",
         "[json.exception.parse_error.101] parse error at line 1, column 4: syntax error while parsing value - "
         "invalid string: ill-formed UTF-8 byte; last read: '\"\xEF\xBF\xBD('"},
        {"trailing comma", "[{\"questionText\":\"a\",\"options\":[],\"correctAnswer\":0},]",
         "[json.exception.parse_error.101] parse error at line 1, column 54: syntax error while parsing value - "
         "unexpected ']'; expected '[', '{', or a literal"},
        {"number out of range", "[{\"questionText\":\"a\",\"options\":[],\"correctAnswer\":1e999}]",
         "[json.exception.out_of_range.406] number overflow parsing '1e999'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ExpectRefused(c.bank), PREFIX + c.message);
        EXPECT_EQ(CheckerErrors(c.bank).size(), 1u);
        EXPECT_EQ(CheckCheckerAgainstExam(TextModeBytes(c.bank), PREFIX + c.message), "");
        EXPECT_EQ(CheckPiecesAgainstWhole(c.bank), "");
    }
}

// The library quotes the bytes it read, and may stop inside a character: the quote leaves that character out, so
// the box never shows a replacement character at the cut (found by the fuzzer, where it also swallowed the closing
// quote).
TEST(ParseQuestionBank, ParseErrorQuotingACutCharacterKeepsTheClosingQuote) {
    const std::string start = PREFIX + "[json.exception.parse_error.101] parse error at line 1, column ";
    const struct {
        std::string bank;
        std::string text;
    } cases[] = {
        {"[\xE9]", start + "2: syntax error while parsing value - invalid literal; last read: '['"},
        {"[1,\xC3]", start + "4: syntax error while parsing value - invalid literal; last read: '1,'"},
        {"\xE6\x97", start + "1: syntax error while parsing value - invalid literal; last read: ''"},
        {"[\xE6\x97\xA5\xE6\x9C\xAC]", start + "2: syntax error while parsing value - invalid literal; last read: '['"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.bank));
        EXPECT_EQ(ExpectRefused(c.bank), c.text);
    }
}

// A byte-order mark is skipped, and a NUL byte outside a string ends the input.
TEST(ParseQuestionBank, ByteOrderMarkAndNulByte) {
    const std::string entry = R"({"questionText":"Q","options":["a"],"correctAnswer":0})";
    const struct {
        const char* what;
        std::string bank;
        bool loads;
    } cases[] = {
        {"byte-order mark", "\xEF\xBB\xBF[" + entry + "]", true},
        {"NUL then anything", "[" + entry + "]" + std::string(1, '\0') + "garbage", true},
        {"NUL inside the value", "[" + entry + std::string(1, '\0') + "]", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.loads) {
            const std::vector<Question> questions = ExpectLoads(c.bank);
            ASSERT_EQ(questions.size(), 1u);
            EXPECT_EQ(questions[0].options, std::vector<std::wstring>{L"a"});
        } else {
            EXPECT_EQ(ExpectRefused(c.bank).rfind(PREFIX, 0), 0u);
        }
    }
}

TEST(ParseQuestionBank, WellFormedBanksWithoutEntriesLoadEmpty) {
    for (const std::string bank : {"[]", "null", "{}", " [ ] "}) {
        SCOPED_TRACE(bank);
        EXPECT_TRUE(ExpectLoads(bank).empty());
    }
}

// The list handed in is only ever added to: a refused bank leaves it as it was, an accepted one appends.
TEST(ParseQuestionBank, RefusalLeavesTheListAloneAndALoadAppends) {
    std::vector<Question> questions = {{L"kept", {L"x"}, 7}};
    std::string err_msg;
    EXPECT_FALSE(ParseQuestionBank(R"([{"questionText":"Q","options":["a"],"correctAnswer":0},5])", questions,
                                   err_msg));
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].questionText, L"kept");
    EXPECT_EQ(err_msg.rfind(PREFIX, 0), 0u);

    err_msg.clear();
    EXPECT_TRUE(ParseQuestionBank(R"([{"questionText":"Q","options":["a"],"correctAnswer":2}])", questions, err_msg));
    EXPECT_EQ(err_msg, "");
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0].questionText, L"kept");
    EXPECT_EQ(questions[1].questionText, L"Q");
    EXPECT_EQ(questions[1].correctAnswer, 2);
}

struct ExpectedQuestion {
    std::wstring text;
    std::vector<std::wstring> options;
    int answer;
};

// What each entry becomes, field by field.
TEST(ParseQuestionBank, EntriesBecomeQuestions) {
    const std::string a = R"({"questionText":"A","options":["a"],"correctAnswer":1})";
    const std::string b = R"({"questionText":"B},{b","options":[],"correctAnswer":2,"more":[{"x":1},{"y":2}]})";
    const std::string q(9000, 'q'), o(5000, 'o'), p(4000, 'p');
    const struct {
        const char* what;
        std::string bank;
        std::vector<ExpectedQuestion> expected;
    } cases[] = {
        {"entries on lines of their own, CR LF, a byte-order mark before and a NUL after",
         "\xEF\xBB\xBF[\r\n  " + a + ",\r\n  " + a + ",\r\n  " + a + "\r\n]\r\n" + std::string(1, '\0') + "],",
         {{L"A", {L"a"}, 1}, {L"A", {L"a"}, 1}, {L"A", {L"a"}, 1}}},
        {"\"},{\" inside a text and between objects deeper down", "[" + a + "," + b + "," + b + "," + a + "]",
         {{L"A", {L"a"}, 1}, {L"B},{b", {}, 2}, {L"B},{b", {}, 2}, {L"A", {L"a"}, 1}}},
        {"texts of thousands of bytes, one after another",
         "[" + a + R"(,{"questionText":")" + q + R"(","options":[")" + o + R"(",")" + p + R"("],"correctAnswer":0},)" +
             a + "]",
         {{L"A", {L"a"}, 1},
          {std::wstring(q.begin(), q.end()), {std::wstring(o.begin(), o.end()), std::wstring(p.begin(), p.end())}, 0},
          {L"A", {L"a"}, 1}}},
        {"plain entry in file order",
         R"([{"questionText":"First","options":["a","b","c","d"],"correctAnswer":2},
             {"questionText":"Second","options":["e","f","g","h"],"correctAnswer":0}])",
         {{L"First", {L"a", L"b", L"c", L"d"}, 2}, {L"Second", {L"e", L"f", L"g", L"h"}, 0}}},
        {"six options are all kept",
         R"([{"questionText":"Q","options":["1","2","3","4","5","6"],"correctAnswer":5}])",
         {{L"Q", {L"1", L"2", L"3", L"4", L"5", L"6"}, 5}}},
        {"extra members and member order do not matter",
         R"([{"correctAnswer":1,"explanation":"because","options":["x","y"],"questionText":"Q","tags":[1,{}]}])",
         {{L"Q", {L"x", L"y"}, 1}}},
        {"a repeated key uses the later value",
         R"([{"questionText":"old","questionText":"new","options":["a"],"correctAnswer":0,"correctAnswer":3}])",
         {{L"new", {L"a"}, 3}}},
        {"options null", R"([{"questionText":"Q","options":null,"correctAnswer":0}])", {{L"Q", {}, 0}}},
        {"options a single string", R"([{"questionText":"Q","options":"only","correctAnswer":0}])",
         {{L"Q", {L"only"}, 0}}},
        {"options an object, in key order",
         R"([{"questionText":"Q","options":{"b":"second","a":"first","c":"third"},"correctAnswer":0}])",
         {{L"Q", {L"first", L"second", L"third"}, 0}}},
        {"top-level object, walked in key order",
         R"({"z":{"questionText":"Z","options":[],"correctAnswer":0},
             "a":{"questionText":"A","options":[],"correctAnswer":1}})",
         {{L"A", {}, 1}, {L"Z", {}, 0}}},
        {"a NUL inside a text ends it", R"([{"questionText":"before\u0000after","options":["x\u0000y"],
             "correctAnswer":0}])",
         {{L"before", {L"x"}, 0}}},
        {"Japanese and other non-ASCII text arrives as the same UTF-16",
         "[{\"questionText\":\"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE8\xB3\xAA\xE5\x95\x8F\","
         "\"options\":[\"\xE3\x81\x82\",\"caf\xC3\xA9\",\"\xF0\x9F\x98\x80\",\"\\u00e9\\ud83d\\ude00\"],"
         "\"correctAnswer\":0}]",
         {{L"\u65E5\u672C\u8A9E\u306E\u8CEA\u554F", {L"\u3042", L"caf\u00E9", L"\U0001F600", L"\u00E9\U0001F600"},
           0}}},
        {"ampersands and escapes are kept as written",
         R"([{"questionText":"R&D \"quoted\"\ttab\nline","options":["a && b","&"],"correctAnswer":0}])",
         {{L"R&D \"quoted\"\ttab\nline", {L"a && b", L"&"}, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<Question> questions = ExpectLoads(c.bank);
        ASSERT_EQ(questions.size(), c.expected.size());
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(questions[i].questionText, c.expected[i].text);
            EXPECT_EQ(questions[i].options, c.expected[i].options);
            EXPECT_EQ(questions[i].correctAnswer, c.expected[i].answer);
        }
        EXPECT_EQ(CheckPiecesAgainstWhole(c.bank), "");
    }
}

TEST(ParseQuestionBank, CorrectAnswerConversions) {
    const struct {
        const char* json;
        int expected;
    } cases[] = {
        {"0", 0},
        {"-1", -1},
        {"2147483647", 2147483647},
        {"2147483648", -2147483647 - 1},  // an integer keeps its low 32 bits
        {"4294967297", 1},
        {"-4294967295", 1},
        {"18446744073709551615", -1},
        {"true", 1},
        {"false", 0},
        {"2.9", 2},  // a fraction is truncated toward zero
        {"-2.9", -2},
        {"1e2", 100},
        {"2147483647.5", 2147483647},
        {"-2147483648.9", -2147483647 - 1},
        {"-0.5", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        const std::vector<Question> questions =
            ExpectLoads(std::string(R"([{"questionText":"Q","options":[],"correctAnswer":)") + c.json + "}]");
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_EQ(questions[0].correctAnswer, c.expected);
    }
}

// A bank that parses but does not hold questions is refused, naming the entry, where it starts, the key and what
// was expected.
TEST(ParseQuestionBank, WrongShapesAreRefusedNamingEntryAndKey) {
    const std::string good = R"({"questionText":"ok","options":["a"],"correctAnswer":0})";
    const std::string OUT_OF_RANGE =
        "\"correctAnswer\" is out of range: write a whole number from -9223372036854775808 to 18446744073709551615 "
        "(its low 32 bits are kept), or a number with a fraction or exponent whose whole part is from -2147483648 to "
        "2147483647.";
    const struct {
        std::string bank;
        std::string line;
    } cases[] = {
        {"[" + good + ",5]",
         R"(Question 2 (line 1, column 58): must be an object with "questionText", "options" and )"
         R"("correctAnswer", not a number.)"},
        {"[" + good + "," + good + ",[]]",
         R"(Question 3 (line 1, column 114): must be an object with "questionText", "options" and )"
         R"("correctAnswer", not an array.)"},
        {"[null]", R"(Question 1 (line 1, column 2): must be an object with "questionText", "options" and )"
         R"("correctAnswer", not null.)"},
        {R"([{"options":[],"correctAnswer":0}])", R"(Question 1 (line 1, column 2): "questionText" is missing.)"},
        {R"([{"questionText":"q","correctAnswer":0}])", R"(Question 1 (line 1, column 2): "options" is missing.)"},
        {R"([{"questionText":"q","options":[]}])", R"(Question 1 (line 1, column 2): "correctAnswer" is missing.)"},
        {"[" + good + "," + good + R"(,{"questionText":7,"options":[],"correctAnswer":0}])",
         R"(Question 3 (line 1, column 114): "questionText" must be a string.)"},
        {R"([{"questionText":null,"options":[],"correctAnswer":0}])",
         R"(Question 1 (line 1, column 2): "questionText" must be a string.)"},
        {R"([{"questionText":"q","options":["a",2],"correctAnswer":0}])",
         R"(Question 1 (line 1, column 2): option 2 of "options" must be a string, not a number.)"},
        {R"([{"questionText":"q","options":{"k":["nested"]},"correctAnswer":0}])",
         R"(Question 1 (line 1, column 2): option 1 of "options" must be a string, not an array.)"},
        {R"([{"questionText":"q","options":3,"correctAnswer":0}])",
         R"(Question 1 (line 1, column 2): "options" must be an array of strings.)"},
        {R"([{"questionText":"q","options":false,"correctAnswer":0}])",
         R"(Question 1 (line 1, column 2): "options" must be an array of strings.)"},
        {R"([{"questionText":"q","options":[],"correctAnswer":"1"}])",
         R"(Question 1 (line 1, column 2): "correctAnswer" must be a number, true or false, not a string.)"},
        {R"([{"questionText":"q","options":[],"correctAnswer":null}])",
         R"(Question 1 (line 1, column 2): "correctAnswer" must be a number, true or false, not null.)"},
        {R"([{"questionText":"q","options":[],"correctAnswer":[1]}])",
         R"(Question 1 (line 1, column 2): "correctAnswer" must be a number, true or false, not an array.)"},
        {R"([{"questionText":"q","options":[],"correctAnswer":2147483648.0}])",
         "Question 1 (line 1, column 2): " + OUT_OF_RANGE},
        {R"([{"questionText":"q","options":[],"correctAnswer":-1e300}])",
         "Question 1 (line 1, column 2): " + OUT_OF_RANGE},
        {R"([{"questionText":"q","options":[],"correctAnswer":99999999999999999999}])",
         "Question 1 (line 1, column 2): " + OUT_OF_RANGE},
        {R"({"b":5,"a":{"questionText":"q","options":[],"correctAnswer":0}})",
         R"(Question 2 (line 1, column 6): must be an object with "questionText", "options" and )"
         R"("correctAnswer", not a number.)"},
        {R"("just a string")", R"(The file must hold an array of questions, not a string.)"},
        {R"(42)", R"(The file must hold an array of questions, not a number.)"},
        {R"(true)", R"(The file must hold an array of questions, not a boolean.)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bank);
        EXPECT_EQ(ExpectRefused(c.bank), PREFIX + c.line);
        EXPECT_EQ(CheckerErrors(c.bank).size(), 1u);
        EXPECT_EQ(CheckCheckerAgainstExam(TextModeBytes(c.bank), PREFIX + c.line), "");
        EXPECT_EQ(CheckPiecesAgainstWhole(c.bank), "");
    }
}

std::string Entry(const std::string& text, const std::string& options, const std::string& answer) {
    return R"({"questionText":")" + text + R"(","options":)" + options + R"(,"correctAnswer":)" + answer + "}";
}

// A bank of `entries`, each on a line of its own after `gap` when one is given.
std::string Bank(const std::vector<std::string>& entries, const std::string& gap = "") {
    std::string bank = "[";
    for (const std::string& entry : entries) bank += (bank.size() > 1 ? "," : "") + gap + entry;
    return bank + (gap.empty() ? "]" : "\n]");
}

// The checker lists every bad entry and every entry a candidate would trip over, each where it starts, so an
// author fixes a bank in one pass; its first error is always the exam's message.
// Words of English to `length` characters.
std::string Words(size_t length) {
    std::string words;
    while (words.size() < length) words += "the candidate reads every word of it ";
    return words.substr(0, length);
}

TEST(CheckBank, ListsEveryProblemAtItsEntry) {
    const std::string four = R"(["a","b","c","d"])";
    const std::string good = Entry("Q", four, "0");
    // A bank of over 4 MB: a bad entry and a repeat far apart.
    std::vector<std::string> large;
    for (int k = 0; k < 2200; ++k)
        large.push_back(k == 1 ? R"({"questionText":"Q1","correctAnswer":0})"
                               : R"({"questionText":"Q)" + std::to_string(k == 2000 ? 0 : k) +
                                     R"(","options":["a","b","c","d"],"correctAnswer":0,"notes":")" +
                                     std::string(2000, 'n') + "\"}");
    const struct {
        const char* what;
        std::string bank;
        std::vector<std::string> lines;
        std::vector<std::string> notes = {};  // the marked lines and the notes under them
    } cases[] = {
        {"every key an entry lacks, a note where a key of it looks meant for one, none for other keys",
         "[\n  {\n    \"question\": \"Q\",\n    \"choices\": [\"a\", \"b\", \"c\", \"d\"],\n    \"answer\": 1,\n"
         "    \"explanation\": \"x\"\n  },\n  {\"questionText\": \"日本\", \"Options\": [], \"topic\": \"net\"}\n]",
         {R"(q.json:3:5: error: Question 1: "questionText" is missing, and "question" is not a key the exam reads: )"
          R"(did you mean "questionText"?)",
          R"(q.json:4:5: error: Question 1: "options" is missing, and "choices" is not a key the exam reads: did you )"
          R"(mean "options"?)",
          R"(q.json:5:5: error: Question 1: "correctAnswer" is missing, and "answer" is not a key the exam reads: did )"
          R"(you mean "correctAnswer"?)",
          R"(q.json:8:26: error: Question 2: "options" is missing, and "Options" is not a key the exam reads: did you )"
          R"(mean "options"?)",
          R"(q.json:8:3: error: Question 2: "correctAnswer" is missing: add the position of the right option, counted )"
          R"(from 0, "correctAnswer": 0.)"},
         {"    3 |     \"question\": \"Q\",\n      |     ^",
          R"(q.json:2:3: note: the exam says: Question 1: "questionText" is missing.)",
          "    4 |     \"choices\": [\"a\", \"b\", \"c\", \"d\"],\n      |     ^",
          "    5 |     \"answer\": 1,\n      |     ^",
          "    8 |   {\"questionText\": \"日本\", \"Options\": [], \"topic\": \"net\"}\n      | " +
              std::string(27, ' ') + "^",
          R"(q.json:8:3: note: the exam says: Question 2: "options" is missing.)",
          "    8 |   {\"questionText\": \"日本\", \"Options\": [], \"topic\": \"net\"}\n      |   ^"}},
        {"columns in characters: a question under a Japanese key, a syntax error after Japanese",
         R"({"問題1": {"questionText": "q"}})",
         {R"(q.json:1:9: error: Question 1: "options" is missing: add the options, "options": ["...", "...", "...", )"
          R"("..."].)",
          R"(q.json:1:9: error: Question 1: "correctAnswer" is missing: add the position of the right option, counted )"
          R"(from 0, "correctAnswer": 0.)"},
         {"    1 | {\"問題1\": {\"questionText\": \"q\"}}\n      |           ^",
          R"(q.json:1:9: note: the exam says: Question 1: "options" is missing.)",
          "    1 | {\"問題1\": {\"questionText\": \"q\"}}\n      |           ^"}},
        {"a syntax error after Japanese, placed in characters, with its note",
         R"([{"questionText": "日本語の問題", "options": [], "correctAnswer": 0,}])",
         {"q.json:1:62: error: found a comma before }: JSON allows no comma after the last member of a question. "
          "Delete this comma."},
         {R"(    1 | [{"questionText": "日本語の問題", "options": [], "correctAnswer": 0,}])" "\n      | " +
              std::string(67, ' ') + "^",
          "q.json:1:63: note: the exam says: syntax error while parsing object key - unexpected '}'; expected string "
          "literal"}},
        {"a syntax slip does not hide a later one: the check goes on at the next question on a line of its own",
         "[\n" + Entry("Q", four, "0") + "\n" + Entry("Q2", four, "0") + ",\n" + Entry("Q3", R"(["a" "b"])", "0") + "\n]",
         {"q.json:2:67: error: a comma is missing between two questions: the one that ends here and the one that "
          "starts at line 3, column 1. Write a comma here.",
          "q.json:4:36: error: a comma is missing between two elements of a list: the one that ends here and the one "
          "that starts at line 4, column 37. Write a comma here."},
         {"    2 | " + Entry("Q", four, "0") + "\n      | " + std::string(66, ' ') + "^",
          "q.json:3:1: note: the exam says: syntax error while parsing array - unexpected '{'; expected ']'",
          "    4 | " + Entry("Q3", R"(["a" "b"])", "0") + "\n      | " + std::string(35, ' ') + "^"}},
        {"three bad entries and three that draw warnings",
         Bank({good, Entry("Q2", R"(["a","b","c"])", "1"), R"({"questionText": "Q3", "correctAnswer": 0})",
               Entry("Q4", four, "4"), "\"Q5\"", Entry("Q", R"(["d","c","b","a"])", "3"), Entry("Q7", four, "null")},
              "\n  "),
         {"q.json:3:3: warning: Question 2: has 3 options, so the exam shows 1 empty row. Give it four options.",
          R"(q.json:4:3: error: Question 3: "options" is missing: add the options, "options": ["...", "...", "...", )"
          R"("..."].)",
          R"(q.json:5:3: warning: Question 4: "correctAnswer" is 4, but only options 0 to 3 are shown.)",
          R"(q.json:6:3: error: Question 5: is a string, not a question: write it as {"questionText": "...", )"
          R"("options": ["...", "...", "...", "..."], "correctAnswer": 0}.)",
          "q.json:7:3: warning: Question 6: the same question and options as Question 1 on line 2: remove one of "
          "them.",
          R"(q.json:8:68: error: Question 7: "correctAnswer" is null: write the position of the right option, )"
          "counted from 0 (0 to 3)."},
         {"    4 |   {\"questionText\": \"Q3\", \"correctAnswer\": 0},\n      |   ^",
          R"(q.json:4:3: note: the exam says: Question 3: "options" is missing.)",
          "    6 |   \"Q5\",\n      |   ^",
          R"(q.json:6:3: note: the exam says: Question 5: must be an object with "questionText", "options" and )"
          R"("correctAnswer", not a string.)",
          "    8 |   {\"questionText\":\"Q7\",\"options\":[\"a\",\"b\",\"c\",\"d\"],\"correctAnswer\":null}\n      | " +
              std::string(67, ' ') + "^",
          R"(q.json:8:3: note: the exam says: Question 7: "correctAnswer" must be a number, true or false, not null.)"}},
        {"the value a refused entry is refused for is marked: an option in its list, an answer in quotes",
         Bank({Entry("Q", R"(["a", 2, "c", "d"])", "0"), Entry("Q", four, R"("2")")}, "\n"),
         {R"(q.json:2:37: error: Question 1: option 2 of "options" is a number: write it as a text, between double )"
          "quotes.",
          R"(q.json:3:65: error: Question 2: "correctAnswer" is the number 2 in quotes: write it without them, 2.)"},
         {"    2 | " + Entry("Q", R"(["a", 2, "c", "d"])", "0") + ",\n      | " + std::string(36, ' ') + "^",
          R"(q.json:2:1: note: the exam says: Question 1: option 2 of "options" must be a string, not a number.)",
          "    3 | " + Entry("Q", four, R"("2")") + "\n      | " + std::string(64, ' ') + "^",
          R"(q.json:3:1: note: the exam says: Question 2: "correctAnswer" must be a number, true or false, not a )"
          "string."}},
        {"good banks print nothing", Bank({good, Entry("Q", R"(["a","b","c","e"])", "3")}, "\n"), {}},
        {"an empty bank", "null",
         {"q.json: warning: the bank holds no questions: the exam would open on an empty page with its countdown "
          "running. Put the questions between [ and ]."}},
        {"an empty list", " [ ]\n", {"q.json: warning: the bank holds no questions: the exam would open on an empty "
                                    "page with its countdown running. Put the questions between [ and ]."}},
        {"a page at a smaller size than the normal one", Bank({Entry(Words(1500), four, "0")}),
         {"q.json:1:2: warning: Question 1: is shown at 17 pixels, not the normal 20: the question and its options do "
          "not fit the page at the normal size. Shorten them to keep it."}},
        {"an answer below the first option", Bank({Entry("Q", four, "-1")}),
         {R"(q.json:1:2: warning: Question 1: "correctAnswer" is -1, but only options 0 to 3 are shown.)"}},
        {"six options, the answer among those never shown",
         Bank({Entry("Q", R"(["a","b","c","d","e","f"])", "4.5")}),
         {"q.json:1:2: warning: Question 1: has 6 options, but the exam shows only the first four: remove the other "
          "2.",
          R"(q.json:1:2: warning: Question 1: "correctAnswer" is 4, but only options 0 to 3 are shown.)"}},
        {"one option", Bank({Entry("Q", R"("only")", "true")}),
         {"q.json:1:2: warning: Question 1: has 1 option, so the exam shows 3 empty rows. Give it four options.",
          R"(q.json:1:2: warning: Question 1: "correctAnswer" is 1, but only option 0 is shown.)"}},
        {"no options", Bank({Entry("Q", "null", "0")}),
         {"q.json:1:2: warning: Question 1: has no options, so the exam shows 4 empty rows. Give it four options.",
          R"(q.json:1:2: warning: Question 1: "correctAnswer" is 0, but no options are shown.)"}},
        {"blank texts, a fifth option never shown is not looked at",
         Bank({Entry(" \\n\\t", R"(["a",""," ","\u3000",""])", "0")}),
         {R"(q.json:1:2: warning: Question 1: "questionText" is blank: write the question.)",
          "q.json:1:2: warning: Question 1: has 5 options, but the exam shows only the first four: remove the other "
          "1.",
          R"(q.json:1:2: warning: Question 1: option 2 of "options" is blank: write its text.)",
          R"(q.json:1:2: warning: Question 1: option 3 of "options" is blank: write its text.)",
          R"(q.json:1:2: warning: Question 1: option 4 of "options" is blank: write its text.)"}},
        {"NUL characters", Bank({Entry(R"(cut\u0000here)", R"(["a","b\u0000","c","\u0000d"])", "0")}),
         {R"(q.json:1:2: warning: Question 1: "questionText" holds a NUL character (\u0000): the exam shows it only )"
          "up to there. Remove it.",
          R"(q.json:1:2: warning: Question 1: option 2 of "options" holds a NUL character (\u0000): the exam shows it )"
          "only up to there. Remove it.",
          R"(q.json:1:2: warning: Question 1: option 4 of "options" holds a NUL character (\u0000): the exam shows it )"
          "only up to there. Remove it."}},
        {"a bank written as an object: questions in key order, each at its value, a key given twice at its later one",
         R"({"b":)" + good + R"(,"a":)" + Entry("Q", four, "5") + R"(,"b":)" + good + "}",
         {R"(q.json:1:77: warning: Question 1: "correctAnswer" is 5, but only options 0 to 3 are shown.)",
          "q.json:1:148: warning: Question 2: the same question and options as Question 1 on line 1: remove one of "
          "them."}},
        {"a question too long to read on its page without scrolling, an option too long for it",
         Bank({Entry(Words(3000), four, "0"), Entry("Q", "[\"a\",\"" + Words(2500) + "\",\"c\",\"d\"]", "1"),
               Entry(Words(1500), "[\"" + Words(150) + "\",\"b\",\"c\",\"d\"]", "0")},
              "\n"),
         {R"(q.json:2:1: warning: Question 1: "questionText" scrolls: even at the smallest size it does not fit the )"
          "page with its options. Shorten it, or its options.",
          // 27 lines of options fit under a one-line question at 15 pixels; the three short ones take 3.
          R"(q.json:3:1: warning: Question 2: option 2 of "options" is cut with "…" after 24 lines: beside the )"
          "question's first lines the four options need more than the page at the smallest size, and the longest "
          "gives up lines first. The candidate reads its end only by resting the mouse on it. Shorten it by about "
          "280 characters.",
          "q.json:4:1: warning: Question 3: is shown at 17 pixels, not the normal 20: the question and its options do "
          "not fit the page at the normal size. Shorten them to keep it."}},
        {"a large bank", Bank(large, "\n"),
         {R"(q.json:3:1: error: Question 2: "options" is missing: add the options, "options": ["...", "...", "...", )"
          R"("..."].)",
          "q.json:2002:1: warning: Question 2001: the same question and options as Question 1 on line 2: remove one "
          "of them."},
         {"    3 | {\"questionText\":\"Q1\",\"correctAnswer\":0},\n      | ^",
          R"(q.json:3:1: note: the exam says: Question 2: "options" is missing.)"}},
        {"UTF-16", std::string("\xFF\xFE[\0]\0", 6),
         {"q.json: error: The file looks like UTF-16 little-endian text, not UTF-8. Save it as UTF-8 in your editor."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::string> lines = CheckerLines(c.bank);
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(CheckerNotes(c.bank), c.notes);
        const Parsed parsed = Parse(c.bank);
        const std::vector<std::string> errors = CheckerErrors(c.bank);
        if (parsed.loaded) {
            EXPECT_TRUE(errors.empty());
        } else {
            ASSERT_FALSE(errors.empty());
            EXPECT_EQ(CheckCheckerAgainstExam(TextModeBytes(c.bank), parsed.err_msg), "");
        }
    }
}

// Each problem of the report says which entry and which of its parts it is about, so a program that wrote the bank
// from a table can name the cell: the exam's reasons for refusing an entry too, read from their first words.
TEST(CheckBank, SaysWhichPartOfAnEntryEachProblemIsAbout) {
    const std::string four = R"(["a","b","c","d"])";
    struct Part {
        size_t entry;
        bool error;
        BankField field;
        size_t option;
        size_t line, column;
        size_t same_as;
    };
    const struct {
        const char* what;
        std::string bank;
        std::vector<Part> parts;
    } cases[] = {
        {"refused entries",
         Bank({R"({"options":[],"correctAnswer":0})", Entry("Q", R"(["a",2])", "0"), Entry("Q", four, "null"), "7"},
              "\n"),
         {{0, true, BankField::QuestionText, 0, 2, 1, NO_ENTRY},
          {1, true, BankField::Option, 1, 3, 36, NO_ENTRY},
          {2, true, BankField::Answer, 0, 4, 65, NO_ENTRY},
          {3, true, BankField::Entry, 0, 5, 1, NO_ENTRY}}},
        {"warnings, and a repeat that names the first",
         Bank({Entry("Q", R"(["a","b"," ","d"])", "9"), Entry("", four, "0"), Entry("Q", R"(["a","b"," ","d"])", "9")},
              "\n"),
         {{0, false, BankField::Option, 2, 2, 1, NO_ENTRY},
          {0, false, BankField::Answer, 0, 2, 1, NO_ENTRY},
          {1, false, BankField::QuestionText, 0, 3, 1, NO_ENTRY},
          {2, false, BankField::Option, 2, 4, 1, NO_ENTRY},
          {2, false, BankField::Answer, 0, 4, 1, NO_ENTRY},
          {2, false, BankField::Entry, 0, 4, 1, 0}}},
        {"a syntax error is the whole file's, at its place", "[\n  {]",
         {{NO_ENTRY, true, BankField::Entry, 0, 2, 4, NO_ENTRY}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> lines;
        const BankReport report = CheckedBank(c.bank, lines);
        ASSERT_EQ(report.problems.size(), c.parts.size());
        for (size_t k = 0; k < c.parts.size(); ++k) {
            SCOPED_TRACE(lines[k]);
            const BankProblem& got = report.problems[k];
            const Part& want = c.parts[k];
            EXPECT_EQ(got.entry, want.entry);
            EXPECT_EQ(got.error, want.error);
            EXPECT_EQ(got.field, want.field);
            EXPECT_EQ(got.option, want.option);
            EXPECT_EQ(got.line, want.line);
            EXPECT_EQ(got.column, want.column);
            EXPECT_EQ(got.same_as, want.same_as);
        }
    }
}

// A cut option's warning says how much of it to cut, counted in its own characters: cut by that much it shows
// whole beside the same question and options, cut by twenty characters less (a word and the room of the "…") it is
// still cut.
TEST(CheckBank, ACutOptionIsToldHowManyCharactersToCut) {
    const std::string japanese = "ある製造業の会社では、工場の生産管理システムを社内のサーバで運用している。";
    const struct {
        const char* what;
        std::wstring long_option;
        std::string question;
    } cases[] = {
        {"English beside a short question", Utf8ToWide(Words(2600)), "Which?"},
        {"English with a tab, which the page shows as spaces", Utf8ToWide("Table:\t" + Words(2600)), "Which?"},
        {"Japanese beside a short question", Utf8ToWide(japanese).substr(0, 30) + std::wstring(1400, L'\u3042'), "どれか。"},
        {"Japanese beside a question that scrolls", std::wstring(1300, L'\u4E00'), Words(4000)},
    };
    const auto cut_warning = [](const std::string& question, const std::wstring& option) {
        std::string written;
        for (const char c : WideToUtf8(option)) written += c == '\t' ? std::string("\\t") : std::string(1, c);
        const std::string bank = Bank({Entry(question, "[\"" + written + "\",\"b\",\"c\",\"d\"]", "0")});
        for (const std::string& line : CheckerLines(bank))
            if (line.find(" is cut with ") != std::string::npos) return line;
        return std::string();
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string warning = cut_warning(c.question, c.long_option);
        size_t cut = 0;
        const size_t by = warning.find("Shorten it by about ");
        ASSERT_NE(by, std::string::npos) << warning;
        ASSERT_EQ(std::sscanf(warning.c_str() + by, "Shorten it by about %zu characters.", &cut), 1);
        ASSERT_TRUE(cut >= 10 && cut < c.long_option.size());
        EXPECT_EQ(cut_warning(c.question, c.long_option.substr(0, c.long_option.size() - cut)), "");
        EXPECT_NE(cut_warning(c.question, c.long_option.substr(0, c.long_option.size() - cut + 20)), "");
    }
}

// The bank guide's figures for what fits the page, in English and in Japanese, hold as the checker lays out the
// page: at the guide's length the checker does not say what the guide says happens beyond it; a little beyond,
// it does.
TEST(CheckBank, TheGuidesFiguresForThePageHold) {
    const std::string english =
        "A regional hospital keeps patient records in a database server in its own data centre. After a ransomware "
        "attack on a neighbouring clinic, the board asks the IT team to make sure the records can be restored "
        "within four hours and that no more than fifteen minutes of changes are ever lost. The team already takes a "
        "full backup every Sunday night to tapes that are stored in a locked cabinet in the same server room. Which "
        "is best?";
    const std::wstring japanese = Utf8ToWide(
        "ある製造業の会社では、工場の生産管理システムを社内のサーバで運用している。サーバは導入から七年が経ち、保守契約は"
        "来年三月で終了する。情報システム部門は、クラウドへの移行、新しいサーバの購入、保守契約の延長の三案を比較している。");
    // Up to `length` characters of either text repeated, English cut back to a whole word.
    const auto text = [&](bool in_japanese, size_t length) {
        std::wstring repeated;
        while (repeated.size() < length) repeated += in_japanese ? japanese : Utf8ToWide(english + " ");
        return WideToUtf8(repeated.substr(0, in_japanese ? length : repeated.rfind(L' ', length)));
    };
    const auto list = [](const std::vector<std::string>& options) {
        std::string json = "[";
        for (const std::string& option : options) json += (json.size() > 1 ? ",\"" : "\"") + option + "\"";
        return json + "]";
    };
    const std::string shorts = list({"Yes", "No", "Maybe", "Never"});
    const struct {
        const char* what;
        bool japanese;
        size_t fits, beyond;  // characters
        const char* beyond_says;
        std::function<std::string(const std::string&)> bank;  // the bank with the long text given
    } cases[] = {
        {"a question at the normal size", false, 1100, 1250, " is shown at ",
         [&](const std::string& t) { return Entry(t, shorts, "0"); }},
        {"a question at the normal size", true, 550, 620, " is shown at ",
         [&](const std::string& t) { return Entry(t, shorts, "0"); }},
        {"a question with short options, whole", false, 2500, 2750, " scrolls: ",
         [&](const std::string& t) { return Entry(t, shorts, "0"); }},
        {"a question with short options, whole", true, 1250, 1400, " scrolls: ",
         [&](const std::string& t) { return Entry(t, shorts, "0"); }},
        {"a question with four options of 150 characters, whole", false, 2050, 2300, " scrolls: ",
         [&](const std::string& t) { return Entry(t, list(std::vector<std::string>(4, text(false, 151))), "0"); }},
        {"a question with four options of 150 characters, whole", true, 600, 700, " scrolls: ",
         [&](const std::string& t) { return Entry(t, list(std::vector<std::string>(4, text(true, 150))), "0"); }},
        {"one long option beside short ones", false, 2250, 2500, " is cut with ",
         [&](const std::string& t) { return Entry("Which?", list({t, "b", "c", "d"}), "0"); }},
        {"one long option beside short ones", true, 1150, 1300, " is cut with ",
         [&](const std::string& t) { return Entry("Which?", list({t, "b", "c", "d"}), "0"); }},
        {"one long option beside a question that scrolls", false, 2000, 2250, " is cut with ",
         [&](const std::string& t) { return Entry(text(false, 5000), list({t, "b", "c", "d"}), "0"); }},
        {"one long option beside a question that scrolls", true, 1000, 1150, " is cut with ",
         [&](const std::string& t) { return Entry(text(true, 3000), list({t, "b", "c", "d"}), "0"); }},
        {"four long options, each", false, 575, 650, " is cut with ",
         [&](const std::string& t) { return Entry("Which?", list({t, t, t, t}), "0"); }},
        {"four long options, each", true, 290, 330, " is cut with ",
         [&](const std::string& t) { return Entry("Which?", list({t, t, t, t}), "0"); }},
    };
    const auto says = [](const std::string& bank, const char* words) {
        for (const std::string& line : CheckerLines(bank))
            if (line.find(words) != std::string::npos) return true;
        return false;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.what) + (c.japanese ? " in Japanese" : " in English"));
        EXPECT_FALSE(says(Bank({c.bank(text(c.japanese, c.fits))}), c.beyond_says));
        EXPECT_TRUE(says(Bank({c.bank(text(c.japanese, c.beyond))}), c.beyond_says));
    }
}

}  // namespace
