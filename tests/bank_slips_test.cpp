// The slips authors make, as the checker shows them under the exam's words: each bank below is refused by the exam,
// and from the exam's own message the checker must find the slip, mark it where an author fixes it, and name it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bank_messages.h"
#include "bank_reference.h"
#include "bank_slips.h"
#include "meant_keys.h"
#include "question_bank.h"

namespace {

const std::string TAIL = R"(, "options": ["a", "b", "c", "d"], "correctAnswer": 0})";
const std::string GOOD = R"({"questionText": "q")" + TAIL;

// Where the JSON reader stops in `bank`, which it refuses.
ReaderStop ReaderStopIn(const std::string& bank) {
    const ReaderStop stop = ReadUntilRefused(bank);
    EXPECT_TRUE(stop.refused);
    return stop;
}

TEST(BankSlips, EachSlipIsNamedAndMarkedWhereItIsFixed) {
    const std::string long_line = "[" + std::string(250, ' ') + "{'questionText': 'q'}]";
    const struct {
        const char* what;
        std::string bank;
        std::string words;    // in the note
        size_t line, column;  // of the mark, the column in characters
        std::string marked;   // the excerpt, where the row checks it whole
    } cases[] = {
        {"Shift_JIS", "[\n  {\"questionText\": \"\x8E\xBF\x96\xE2\x82\xC5\x82\xB7\"" + TAIL + "]",
         "found the bytes 0x8E 0xBF 0x96 0xE2 0x82 0xC5, which are not UTF-8: in Shift_JIS they are \"質問です\". The "
         "file is saved as Shift_JIS",
         2, 21, ""},
        {"a line of Shift_JIS pasted into UTF-8",
         "[{\"questionText\": \"日本語の問題です\"" + TAIL + ",\n {\"questionText\": \"\x8E\xBF\x96\xE2\"" + TAIL + "]",
         "in Shift_JIS they are \"質問\". The rest of the file is UTF-8: this line was pasted from a file saved as "
         "Shift_JIS.", 2, 20, ""},
        {"Shift_JIS beginning with half-width katakana", "[{\"questionText\": \"\xB1\xB2\xB3\x82\xCC\"" + TAIL + "]",
         "found the bytes 0xB1 0xB2 0xB3 0x82 0xCC, which are not UTF-8: in Shift_JIS they are \"ｱｲｳの\"", 1, 20,
         ""},
        {"a Windows-1252 letter that Shift_JIS could read too", "[{\"questionText\": \"na\xEFve\"" + TAIL + "]",
         "found the byte 0xEF, which is not UTF-8: in Windows-1252 it is ï (U+00EF LATIN SMALL LETTER I WITH "
         "DIAERESIS)", 1, 22, ""},
        {"a Windows-1252 quote pasted into UTF-8",
         "[{\"questionText\": \"日本 \x93quoted\x94 text\"" + TAIL + "]",
         "found the byte 0x93, which is not UTF-8: in Windows-1252 it is “ (U+201C LEFT DOUBLE QUOTATION MARK). The "
         "rest of the file is UTF-8",
         1, 23, ""},
        {"a Windows-1252 file", "[{\"questionText\": \"caf\xE9 au lait\"" + TAIL + "]",
         "found the byte 0xE9, which is not UTF-8: in Windows-1252 it is é (U+00E9 LATIN SMALL LETTER E WITH ACUTE). "
         "The file is saved as Windows-1252",
         1, 23, ""},
        {"smart quotes around a key", "[\n  {“questionText”: \"q\"" + TAIL + "]",
         "found “ (U+201C LEFT DOUBLE QUOTATION MARK), a typographic quote", 2, 4,
         "    2 |   {“questionText”: \"q\", \"options\": [\"a\", \"b\", \"c\", \"d\"], \"correctAnswer\": 0}]\n"
         "      |    ^"},
        {"a key closed with a smart quote", "[\n  {\"questionText”: \"Which port?\"" + TAIL + "]",
         "found ” (U+201D RIGHT DOUBLE QUOTATION MARK), a typographic quote", 2, 17, ""},
        {"a text closed with a smart quote at the end of its line",
         "[\n  {\"questionText\": \"Which port?”,\n   \"options\": [], \"correctAnswer\": 0}]",
         "found ” (U+201D RIGHT DOUBLE QUOTATION MARK), a typographic quote", 2, 32, ""},
        {"a full-width colon after Japanese, the mark under it",
         "[\n  {\"questionText\": \"日本語の問題\"， \"options\": [], \"correctAnswer\": 0}]",
         "found ， (U+FF0C FULLWIDTH COMMA), a full-width character typed with a Japanese input method on: outside "
         "texts JSON reads only ASCII, here , (U+002C COMMA)",
         2, 28,
         "    2 |   {\"questionText\": \"日本語の問題\"， \"options\": [], \"correctAnswer\": 0}]\n"
         "      |                                  ^"},
        {"a full-width colon", "[{\"questionText\"：\"q\"" + TAIL + "]", "U+FF1A FULLWIDTH COLON", 1, 17, ""},
        {"an ideographic space", "[\u3000" + GOOD + "]", "found U+3000 IDEOGRAPHIC SPACE, a full-width space", 1, 2, ""},
        {"a comma before ]", "[\n  " + GOOD + ",\n]",
         "found a comma before ]: JSON allows no comma after the last element of a list. Delete this comma.", 2,
         GOOD.size() + 3, ""},
        {"a comma before }", R"([{"questionText": "q", "options": [], "correctAnswer": 0,}])",
         "found a comma before }: JSON allows no comma after the last member of a question", 1, 57, ""},
        {"a comment", "[\n  // the networking part\n  " + GOOD + "]", "found a comment (//): JSON has none", 2, 3, ""},
        {"single quotes, after tabs", "[\n\t\t{'questionText': 'q'}]", "found ' (U+0027 APOSTROPHE)", 2, 4,
         "    2 |         {'questionText': 'q'}]\n"
         "      |          ^"},
        {"a quote inside a text", "[{\"questionText\": \"What does \"ls\" do?\"" + TAIL + "]",
         "found a \" inside the text that starts at line 1, column 19: it ends the text there", 1, 30, ""},
        {"a missing comma between questions", "[\n  " + GOOD + "\n  " + GOOD + "\n]",
         "a comma is missing between two questions: the one that ends here and the one that starts at line 3, "
         "column 3",
         2, GOOD.size() + 3, ""},
        {"a missing comma between members", "[{\"questionText\": \"q\"\n  \"options\": [], \"correctAnswer\": 0}]",
         "a comma is missing between two members of a question", 1, 22, ""},
        {"a missing comma between options", R"([{"questionText": "q", "options": ["a" "b"], "correctAnswer": 0}])",
         "a comma is missing between two elements of a list", 1, 39, ""},
        {"a CSV table", "question,a,b,c,d,answer\nWhat is 1+1?,1,2,3,4,1\n",
         "the file looks like a table (CSV or TSV), not a JSON bank. Turn it into one with tessavon-import: "
         "tessavon-import -o questions.json \"q.json\".",
         1, 1, ""},
        {"a TSV table with quoted fields", "\"question\"\t\"a\"\t\"b\"\n", "tessavon-import -o questions.json", 1, 1,
         ""},
        {"a line break inside a text", "[{\"questionText\": \"first line\nsecond line\"" + TAIL + "]",
         "the text that starts at line 1, column 19 runs to the end of the line: a line break inside a text is "
         "written \\n",
         1, 30, ""},
        {"True with a capital", "[{\"questionText\": \"q\", \"options\": [], \"correctAnswer\": True}]",
         "found True: JSON writes its literals in lower case. Write true.", 1, 56, ""},
        {"a key without quotes", "[{questionText: \"q\"" + TAIL + "]",
         "found questionText outside double quotes: JSON puts every key between \". Write \"questionText\".", 1, 3, ""},
        {"a missing closing bracket", "[\n  " + GOOD + "\n",
         "the file ends before this [ is closed. Add ] after the last element of the list", 1, 1, ""},
        {"a backslash", "[{\"questionText\": \"Open C:\\Users\"" + TAIL + "]",
         "found \\U: a backslash in a text starts an escape", 1, 27, ""},
        {"a backslash before a control character: the note stays on its line", "[\"a\\\x01\"]",
         "found a backslash before the byte 0x01: a backslash in a text starts an escape", 1, 4, ""},
        {"an empty file", "", "the file is empty", 1, 1, ""},
        {"a NUL byte before the end", "[" + GOOD + std::string(1, '\0') + "]",
         "found a NUL byte (0x00): the exam reads nothing after it", 1, 76, ""},
        {"a damaged byte-order mark", "\xEF\xBB[]", "the file starts with the bytes 0xEF 0xBB 0x5B, a damaged UTF-8 "
         "byte-order mark", 1, 1, ""},
        {"a number too large", "[{\"questionText\": \"1e999\", \"options\": [], \"correctAnswer\": 1e999}]",
         "found the number 1e999, larger than any number a computer holds", 1, 60, ""},
        {"a number too large for the exam to quote whole", "[{\"correctAnswer\": 1" + std::string(60, '0') + "e999}]",
         "larger than any number a computer holds", 1, 20, ""},
        {"a second list after the bank", "[" + GOOD + "]\n[" + GOOD + "]",
         "found [ (U+005B LEFT SQUARE BRACKET) after the end of the bank, the ] on line 1, column 76", 2, 1, ""},
        {"a long line, shortened around the mark", long_line, "found ' (U+0027 APOSTROPHE)", 1, 253,
         "    1 | …" + std::string(39, ' ') + "{'questionText': 'q'}]\n      | " + std::string(41, ' ') + "^"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Slip slip = FindSlip(TextModeBytes(c.bank), ReaderStopIn(TextModeBytes(c.bank)), "q.json");
        ASSERT_TRUE(slip.found);
        EXPECT_NE(slip.note.find(c.words), std::string::npos) << slip.note;
        EXPECT_EQ(slip.line, c.line);
        EXPECT_EQ(slip.column, c.column);
        if (!c.marked.empty()) {
            EXPECT_EQ(slip.marked, c.marked);
        }
    }
}

// Keys the exam does not read: one close to a key it reads is named, any other stays silent.
TEST(BankSlips, KeysMeantForTheExamsKeys) {
    const struct {
        const char* written;
        char value_start;
        const char* meant;
    } cases[] = {
        {"answer", '1', "correctAnswer"},       {"correct_answer", '2', "correctAnswer"},
        {"CorrectAnswer", '2', "correctAnswer"}, {"corectAnswer", '2', "correctAnswer"},
        {"question", '"', "questionText"},      {"questiontext", '"', "questionText"},
        {"question_text", '"', "questionText"}, {"choices", '[', "options"},
        {"optons", '[', "options"},             {"answers", '[', "options"},
        {"answers", '3', "correctAnswer"},      {"explanation", '"', nullptr},
        {"actions", '[', nullptr},              {"notes", '"', nullptr},
        {"topic", '"', nullptr},                {"questions", '[', nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        const char* meant = MeantKey(c.written, c.value_start);
        EXPECT_EQ(meant ? std::string(meant) : "(none)", c.meant ? std::string(c.meant) : "(none)");
    }
}

}  // namespace
