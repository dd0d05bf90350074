// Banks at the edges of what the loader takes, checked in memory through ParseQuestionBank: the size limit, banks
// saved as UTF-16 or UTF-32, the library's message for huge tokens and for line breaks, where a bad entry is, and
// running out of memory at every allocation the loader makes (this program's operator new fails on demand).
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "bank_check.h"
#include "bank_import.h"
#include "bank_reference.h"
#include "question_bank.h"
#include "test_support.h"

namespace {

// While above zero, counts down with every allocation; the one that brings it to zero fails.
long long allocations_until_failure = 0;

void* Allocate(size_t size, size_t alignment) {
    if (allocations_until_failure > 0 && --allocations_until_failure == 0) throw std::bad_alloc();
    void* block = alignment ? _aligned_malloc(size ? size : 1, alignment) : std::malloc(size ? size : 1);
    if (!block) throw std::bad_alloc();
    return block;
}

}  // namespace

// The runtime's own operator delete frees with free and its aligned one with _aligned_free, which match these.
void* operator new(size_t size) { return Allocate(size, 0); }
void* operator new(size_t size, std::align_val_t alignment) { return Allocate(size, static_cast<size_t>(alignment)); }

namespace {

const std::string PREFIX = "Invalid format in questions.json.\n";
const std::string GOOD_ENTRY = R"({"questionText":"q","options":["a"],"correctAnswer":0})";

// Parses `bank`; returns the message, or "" when it loads.
std::string Refusal(const std::string& bank, uint64_t size_limit = BANK_SIZE_LIMIT) {
    std::vector<Question> questions;
    std::string err_msg;
    const bool loaded = ParseQuestionBank(bank, questions, err_msg, size_limit);
    EXPECT_EQ(loaded, err_msg.empty()) << err_msg;
    if (!loaded) {
        EXPECT_TRUE(questions.empty());
    }
    return loaded ? std::string() : err_msg;
}

TEST(BankLimits, BanksOverTheSizeLimitAreRefusedWithTheirSize) {
    const uint64_t MB = 1 << 20;
    const struct {
        uint64_t limit;
        size_t size;
        std::string message;
    } cases[] = {
        {1000, 1000, ""},
        {1000, 1001, "questions.json is too large: 1001 bytes. Tessavon reads banks of up to 1000 bytes."},
        {3 * MB, 3 * MB + 1,
         "questions.json is too large: 3145729 bytes (3 MB). Tessavon reads banks of up to 3145728 bytes (3 MB)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(Refusal("[]" + std::string(c.size - 2, ' '), c.limit), c.message);
    }
}

// `ascii` saved as UTF-16 or UTF-32, with a byte-order mark (U+FEFF) or without.
std::string Widened(const std::string& ascii, size_t unit, bool big_endian, bool bom) {
    std::vector<unsigned> code_units(ascii.begin(), ascii.end());
    if (bom) code_units.insert(code_units.begin(), 0xFEFF);
    std::string out;
    for (const unsigned code : code_units) {
        std::string bytes(unit, '\0');
        for (size_t k = 0; k < 2; ++k) bytes[big_endian ? unit - 1 - k : k] = static_cast<char>(code >> (8 * k));
        out += bytes;
    }
    return out;
}

TEST(BankLimits, BanksInUtf16OrUtf32AreNamedAndSentBackToBeSavedAsUtf8) {
    const std::string bank = "[" + GOOD_ENTRY + "]";
    for (const size_t unit : {2, 4}) {
        for (const bool big_endian : {false, true}) {
            for (const bool bom : {false, true}) {
                for (const std::string& text : {bank, " \n" + bank}) {
                    const std::string encoding = "UTF-" + std::to_string(unit * 8) +
                                                 (big_endian ? " big-endian" : " little-endian");
                    SCOPED_TRACE(encoding + (bom ? " with a byte-order mark" : "") + " " + text.substr(0, 3));
                    EXPECT_EQ(Refusal(Widened(text, unit, big_endian, bom)),
                              PREFIX + "The file looks like " + encoding +
                                  " text, not UTF-8. Save it as UTF-8 in your editor.");
                }
            }
        }
    }
    // UTF-8 with its mark loads, and a two-byte bank is too short to tell: it is read as UTF-8.
    EXPECT_EQ(Refusal("\xEF\xBB\xBF" + bank), "");
    EXPECT_EQ(Refusal(std::string("5\0", 2)), PREFIX + "The file must hold an array of questions, not a number.");
}

// The library quotes the token it stopped in; only its last 40 bytes are kept, so the box stays small whatever the
// bank holds. A break in a string is reported on the line it ends.
TEST(BankLimits, LongTokensAreShortenedInTheLibraryMessage) {
    const std::string control_lf = "syntax error while parsing value - invalid string: control character U+000A (LF) "
                                   "must be escaped to \\u000A or \\n; last read: '";
    const std::string at = "[json.exception.parse_error.101] parse error at line 1, column ";
    const std::string japanese = "\xE6\x97\xA5";
    std::string ten_japanese;
    for (int k = 0; k < 10; ++k) ten_japanese += japanese;
    std::string hundred_japanese;
    for (int k = 0; k < 10; ++k) hundred_japanese += ten_japanese;
    const struct {
        const char* what;
        std::string bank;
        std::string message;
    } cases[] = {
        {"ten million bytes", "[\"" + std::string(10000000, 'x') + "\n\"]",
         at + "10000003: " + control_lf + "\xE2\x80\xA6" + std::string(32, 'x') + "<U+000A>'"},
        {"48 bytes are kept whole", "[\"" + std::string(39, 'x') + "\n\"]",
         at + "42: " + control_lf + "\"" + std::string(39, 'x') + "<U+000A>'"},
        {"49 bytes are not", "[\"" + std::string(40, 'x') + "\n\"]",
         at + "43: " + control_lf + "\xE2\x80\xA6" + std::string(32, 'x') + "<U+000A>'"},
        {"the cut moves to the start of a character", "[\"" + hundred_japanese + "\n\"]",
         at + "303: " + control_lf + "\xE2\x80\xA6" + ten_japanese + "<U+000A>'"},
        {"the library goes on after the token", "{\"k\":\"" + std::string(60, 'x') + "\",\ns}",
         "[json.exception.parse_error.101] parse error at line 2, column 1: syntax error while parsing object key - "
         "invalid literal; last read: '\xE2\x80\xA6" + std::string(29, 'x') + "\",<U+000A>s'; expected string literal"},
        {"the cut moves past a control character the library spells out",
         "{\"k\":\"" + std::string(10, 'x') + "\",\n" + std::string(35, ' ') + "s}",
         "[json.exception.parse_error.101] parse error at line 2, column 36: syntax error while parsing object key - "
         "invalid literal; last read: '\xE2\x80\xA6" + std::string(35, ' ') + "s'; expected string literal"},
        {"a cut right at such a control character keeps it", "{\"k\":\"" + std::string(10, 'x') + "\",\n" +
                                                                  std::string(31, ' ') + "s}",
         "[json.exception.parse_error.101] parse error at line 2, column 32: syntax error while parsing object key - "
         "invalid literal; last read: '\xE2\x80\xA6<U+000A>" + std::string(31, ' ') + "s'; expected string literal"},
        {"a character the library stopped inside is left out before the closing quote",
         "[" + std::string(60, '1') + "." + japanese + "]",
         at + "63: syntax error while parsing value - invalid number; expected digit after '.'; last read: '"
              "\xE2\x80\xA6" + std::string(39, '1') + ".'"},
        {"a number too large", "[1" + std::string(400, '0') + "]",
         "[json.exception.out_of_range.406] number overflow parsing '\xE2\x80\xA6" + std::string(40, '0') + "'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Refusal(c.bank), PREFIX + c.message);
    }
}

// Where a syntax error is at a line break, the line that holds the break is the one to fix; elsewhere the
// library's own line and column stand.
TEST(BankLimits, SyntaxErrorsAtALineBreakPointAtTheLineItEnds) {
    const std::string at = "[json.exception.parse_error.101] parse error at ";
    const struct {
        std::string bank;
        std::string message;
    } cases[] = {
        {"[\n  {\"questionText\": \"two\nlines\"}\n]",
         at + "line 2, column 24: syntax error while parsing value - invalid string: control character U+000A (LF) "
              "must be escaped to \\u000A or \\n; last read: '\"two<U+000A>'"},
        {"[\n  tru\n]", at + "line 2, column 6: syntax error while parsing value - invalid literal; last read: "
                             "'[<U+000A>  tru<U+000A>'"},
        {"[\n  1,\n  ]", at + "line 3, column 3: syntax error while parsing value - unexpected ']'; expected '[', "
                              "'{', or a literal"},
        {"[\n", at + "line 2, column 1: syntax error while parsing value - unexpected end of input; expected '[', "
                     "'{', or a literal"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bank);
        EXPECT_EQ(Refusal(c.bank), PREFIX + c.message);
    }
}

// A shape error says where its entry's value starts: line and column from 1, the column in bytes.
TEST(BankLimits, ShapeErrorsSayWhereTheEntryStarts) {
    const std::string missing_options = R"("options" is missing.)";
    const std::string not_object =
        R"(must be an object with "questionText", "options" and "correctAnswer", not a number.)";
    const struct {
        const char* what;
        std::string bank;
        std::string message;
    } cases[] = {
        {"pretty-printed",
         "[\n  {\n    \"questionText\": \"one\",\n    \"options\": [\"a\"],\n    \"correctAnswer\": 0\n  },\n"
         "  {\n    \"questionText\": \"two\",\n    \"correctAnswer\": 1\n  }\n]\n",
         "Question 2 (line 7, column 3): " + missing_options},
        {"after strings holding brackets, commas and escaped quotes",
         R"([{"questionText":"[{\"]","options":["}]",","],"correctAnswer":0}, 7])",
         "Question 2 (line 1, column 67): " + not_object},
        {"columns count bytes", "[{\"questionText\":\"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\",\"options\":[\"\xE3\x81\x82\"],"
                                "\"correctAnswer\":0},{\"questionText\":\"q\"}]",
         "Question 2 (line 1, column 67): " + missing_options},
        {"after nested values", R"([{"questionText":"q","options":[],"correctAnswer":0,"x":[[[{"a":"]"}]]]}, null])",
         "Question 2 (line 1, column 75): must be an object with \"questionText\", \"options\" and \"correctAnswer\", "
         "not null."},
        {"an object's values in key order", "{\"b\": " + GOOD_ENTRY + ",\n \"a\": 5}",
         "Question 1 (line 2, column 7): " + not_object},
        {"a key given twice: the later value", "{\"k\": 1,\n \"k\": {\"questionText\":\"q\",\"correctAnswer\":0}}",
         "Question 1 (line 2, column 7): " + missing_options},
        {"a key written with escapes", "{\"\\u0062\": 5, \"a\": " + GOOD_ENTRY + "}",
         "Question 2 (line 1, column 12): " + not_object},
        {"a byte-order mark counts three bytes, as in the library's messages", "\xEF\xBB\xBF[5]",
         "Question 1 (line 1, column 5): " + not_object},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Refusal(c.bank), PREFIX + c.message);
    }
}

// Each integer keeps its low 32 bits, up to the largest the library reads as one; beyond that, and for numbers
// with a fraction or exponent, the whole part must fit 32 bits. The message says exactly that.
TEST(BankLimits, CorrectAnswerMessagesStateTheRule) {
    const std::string out_of_range =
        PREFIX + "Question 1 (line 1, column 2): \"correctAnswer\" is out of range: write a whole number from "
                 "-9223372036854775808 to 18446744073709551615 (its low 32 bits are kept), or a number with a "
                 "fraction or exponent whose whole part is from -2147483648 to 2147483647.";
    const struct {
        const char* answer;
        bool loads;
    } cases[] = {
        {"18446744073709551615", true}, {"18446744073709551616", false}, {"-9223372036854775808", true},
        {"-9223372036854775809", false}, {"4294967297", true},           {"2147483647.9", true},
        {"2147483648.0", false},         {"-2147483648.9", true},         {"-2147483649.0", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        EXPECT_EQ(Refusal(std::string(R"([{"questionText":"q","options":[],"correctAnswer":)") + c.answer + "}]"),
                  c.loads ? "" : out_of_range);
    }
}

// Whichever allocation fails, parsing, checking or converting, the answer is the one message, no exception
// leaves, and the questions already there are left as they were.
TEST(BankLimits, RunningOutOfMemoryAnywhereGivesTheOneMessage) {
    const std::string bank = "[" + GOOD_ENTRY + ",\n" + R"({"questionText":"second","options":{"b":"x","a":"y"},)" +
                             R"("correctAnswer":1.5,"notes":[{"deep":[1,2,3]}]}])";
    const std::string message = "questions.json (" + std::to_string(bank.size()) +
                                " bytes) is too large for the memory available. Close other programs and start "
                                "Tessavon again, or use a smaller bank.";
    long long failures = 0;
    for (long long k = 1;; ++k) {
        SCOPED_TRACE(k);
        std::vector<Question> questions(1);
        questions[0].questionText = L"already there";
        std::string err_msg;
        std::string text = bank;
        allocations_until_failure = k;
        const bool loaded = ParseQuestionBank(std::move(text), questions, err_msg);
        const bool failed_one = allocations_until_failure == 0;
        allocations_until_failure = 0;
        if (!failed_one) {
            EXPECT_TRUE(loaded);
            EXPECT_EQ(questions.size(), 3u);
            break;
        }
        ++failures;
        EXPECT_FALSE(loaded);
        EXPECT_EQ(err_msg, message);
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_EQ(questions[0].questionText, L"already there");
    }
    EXPECT_GT(failures, 10) << "allocations did not fail on demand";

    // The checker's user is told to run the check again.
    std::vector<std::string> lines;
    std::string text = bank;
    const HDC dc = NewCheckingDc();
    allocations_until_failure = 1;
    const BankReport report = CheckBank(dc, "q.json", std::move(text));
    allocations_until_failure = 0;
    DeleteDC(dc);
    EXPECT_FALSE(report.checked);
    for (const BankProblem& problem : report.problems) lines.push_back(ProblemLine("q.json", problem));
    EXPECT_EQ(lines, std::vector<std::string>{"q.json: error: q.json (" + std::to_string(bank.size()) +
                                              " bytes) is too large for the memory available. Close other programs "
                                              "and run the check again, or use a smaller bank."});

    // The importer, whichever of its stages runs out (the table, its header, its rows, the bank's text, the check),
    // says it once, of the table.
    const HDC import_dc = NewCheckingDc();
    const std::string table = "Week 3\nquestion,A,B,C,D,answer\nQ,a,b,c,d,B\n", bank_name = "t.json";
    // Once first, so the tables of character widths the measuring takes on first need are there and the failures
    // below are the import's own.
    ASSERT_EQ(ImportTableBytes(import_dc, table, bank_name).errors, 0u);
    long long import_failures = 0;
    for (long long k = 1;; ++k) {
        SCOPED_TRACE(k);
        allocations_until_failure = k;
        const TableImport imported = ImportTableBytes(import_dc, table, bank_name);
        const bool failed_one = allocations_until_failure == 0;
        allocations_until_failure = 0;
        if (!failed_one) {
            EXPECT_EQ(imported.errors, 0u);
            break;
        }
        ++import_failures;
        ASSERT_EQ(imported.messages.size(), 1u);
        EXPECT_EQ(imported.messages[0].problem.row, 0u);
        EXPECT_NE(imported.messages[0].problem.text.find("too large for the memory available"), std::string::npos);
        EXPECT_TRUE(imported.bank.empty());
    }
    DeleteDC(import_dc);
    EXPECT_GT(import_failures, 10) << "allocations did not fail on demand";
}

// From the real file: an allocation failing anywhere, reading included, ends in one box, caption "Error".
TEST_F(BankFolderTest, RunningOutOfMemoryWhileLoadingShowsOneBox) {
    const std::string bank = "[" + GOOD_ENTRY + ",\n" + GOOD_ENTRY + "]";
    folder_.Write(L"questions.json", bank);
    const std::wstring message = L"questions.json (" + std::to_wstring(bank.size()) +
                                 L" bytes) is too large for the memory available. Close other programs and start "
                                 L"Tessavon again, or use a smaller bank.";
    long long failures = 0;
    for (long long k = 1;; ++k) {
        SCOPED_TRACE(k);
        allQuestions.clear();
        bool loaded = false;
        bool failed_one = false;
        const auto boxes = CaptureMessageBoxes([&] {
            allocations_until_failure = k;
            loaded = LoadQuestions(owner_);
            failed_one = allocations_until_failure == 0;
            allocations_until_failure = 0;
        });
        if (!failed_one) {
            EXPECT_TRUE(loaded);
            EXPECT_TRUE(boxes.empty());
            break;
        }
        ++failures;
        EXPECT_FALSE(loaded);
        EXPECT_TRUE(allQuestions.empty());
        EXPECT_EQ(boxes, std::vector<MessageBoxSeen>{ErrorBox(L"Error", message, owner_)});
    }
    EXPECT_GT(failures, 10);
}

}  // namespace
