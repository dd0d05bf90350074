// The importer: tables as spreadsheets save them (encodings, separators, quoting, headers, answer forms) made banks
// whose every text the exam loads exactly as it stood in its cell; bad tables refused by row and column, word for
// word; and, from the real exe, only what it alone shows: the file written or not, and its exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bank_check.h"
#include "bank_import.h"
#include "bank_reference.h"
#include "question_bank.h"
#include "test_support.h"
#include "utf8_decoding.h"

// While set, a block larger than this cannot be had (limited_heap.cpp).
extern size_t g_largest_block;

namespace {

enum class Encoding { Utf8, Utf8Mark, Utf16Le, Utf16Be, ShiftJis, Windows1252, Utf16LeBare, Utf16BeBare };

// `text` saved as a spreadsheet saves it in `encoding`, by the system's own encoders.
std::string Saved(const std::wstring& text, Encoding encoding) {
    switch (encoding) {
        case Encoding::Utf8:
            return Utf8FromWide(text);
        case Encoding::Utf8Mark:
            return "\xEF\xBB\xBF" + Utf8FromWide(text);
        case Encoding::Utf16Le:
        case Encoding::Utf16Be:
        case Encoding::Utf16LeBare:
        case Encoding::Utf16BeBare: {
            const bool big = encoding == Encoding::Utf16Be || encoding == Encoding::Utf16BeBare;
            const bool bare = encoding == Encoding::Utf16LeBare || encoding == Encoding::Utf16BeBare;
            std::string bytes = bare ? "" : big ? "\xFE\xFF" : "\xFF\xFE";
            for (const wchar_t c : text) {
                const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
                bytes += big ? std::string{high, low} : std::string{low, high};
            }
            return bytes;
        }
        case Encoding::ShiftJis:
        case Encoding::Windows1252: {
            const UINT code_page = encoding == Encoding::ShiftJis ? 932 : 1252;
            const int size = static_cast<int>(text.size());
            const int n = WideCharToMultiByte(code_page, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
            std::string bytes(static_cast<size_t>(n), '\0');
            WideCharToMultiByte(code_page, 0, text.data(), size, &bytes[0], n, nullptr, nullptr);
            return bytes;
        }
    }
    return std::string();
}

// The import's messages as "ROW:COLUMN: kind: text" (": kind: text" for the whole file).
std::vector<std::string> Messages(const TableImport& imported) {
    std::vector<std::string> lines;
    for (const ImportMessage& message : imported.messages) {
        const TableProblem& p = message.problem;
        const char* kind = message.kind == MessageKind::Error     ? "error"
                           : message.kind == MessageKind::Warning ? "warning"
                                                                  : "note";
        lines.push_back((p.row ? std::to_string(p.row) + ":" + std::to_string(p.column) : std::string()) + ": " +
                        kind + ": " + p.text);
    }
    return lines;
}

// Whether `said` is `expected`, where a "*" stands for any text: a message is expected by its place, its kind and
// its key words, in their order.
bool Matches(const std::string& expected, const std::string& said) {
    size_t e = 0, s = 0, star = std::string::npos, resume = 0;
    while (s < said.size()) {
        if (e < expected.size() && expected[e] == '*') {
            star = e++;
            resume = s;
        } else if (e < expected.size() && expected[e] == said[s]) {
            ++e;
            ++s;
        } else if (star != std::string::npos) {
            e = star + 1;
            s = ++resume;
        } else {
            return false;
        }
    }
    while (e < expected.size() && expected[e] == '*') ++e;
    return e == expected.size();
}

TableImport Imported(const std::string& bytes, TextEncoding encoding = TextEncoding::Found) {
    static const HDC dc = NewCheckingDc();
    return ImportTableBytes(dc, bytes, "t.json", {encoding, ""});
}

const std::vector<std::wstring> ABCD = {L"a", L"b", L"c", L"d"};

template <typename Char>
std::basic_string<Char> Repeated(const Char* text, size_t times) {
    std::basic_string<Char> repeated;
    for (size_t k = 0; k < times; ++k) repeated += text;
    return repeated;
}

TEST(TableImport, EveryDialectBecomesTheBankItsCellsHold) {
    const std::wstring japanese_question = L"容量1TBのディスク4台でRAID 5を構成した場合、実際に使用できる容量はどれか。";
    const struct {
        const char* what;
        std::wstring table;
        Encoding encoding;
        const char* encoding_name;
        char separator;
        bool headed;
        std::vector<Question> questions;
        TextEncoding chosen = TextEncoding::Found;  // as the author gives it
    } cases[] = {
        {"a public set: no header, quoted commas, quotes and line breaks, CR LF rows, letters",
         L"\"Which, of these?\",\"say \"\"hi\"\"\",\"two\nlines\",c,d,B\r\nQ2,a,b,c,d,a\r\n", Encoding::Utf8,
         "UTF-8", ',', false,
         {{L"Which, of these?", {L"say \"hi\"", L"two\nlines", L"c", L"d"}, 1}, {L"Q2", ABCD, 0}}},
        {"the same with a byte-order mark and LF rows, full-width letters",
         L"Q1,a,b,c,d,Ｄ\nQ2,a,b,c,d,ｃ\n", Encoding::Utf8Mark, "UTF-8 with a byte-order mark", ',', false,
         {{L"Q1", ABCD, 3}, {L"Q2", ABCD, 2}}},
        {"an English header in any case and spacing, numbers from 0 under correctAnswer, an explanation left out",
         L" QuestionText ,Option 1,option2,OPTION 3,option 4,correctAnswer,explanation\nQ,a,b,c,d,3,why\n",
         Encoding::Utf8, "UTF-8", ',', true, {{L"Q", ABCD, 3}}},
        {"Japanese from a Japanese spreadsheet: Shift_JIS, 問題, ア-エ for columns and answers",
         L"問題,ア,イ,ウ,エ,正解\r\n" + japanese_question + L",1TB,2TB,3TB,4TB,ウ\r\n「表示」――ーの説明は？,～,①,ｱｲｳ,\"x,y\",エ\r\n",
         Encoding::ShiftJis, "Shift_JIS", ',', true,
         {{japanese_question, {L"1TB", L"2TB", L"3TB", L"4TB"}, 2},
          {L"「表示」――ーの説明は？", {L"～", L"①", L"ｱｲｳ", L"x,y"}, 3}}},
        {"Unicode text: UTF-16 with tabs, 問題文, 選択肢 columns, 解答 from 1, a cell's CR LF become LF, commas kept",
         L"問題文\t選択肢\t選択肢\t選択肢\t選択肢\t解答\r\n\"第一行\r\n第二行\"\ta, b\t\"tab\there\"\tc\td\t２\r\n",
         Encoding::Utf16Le, "UTF-16 little-endian", '\t', true,
         {{L"第一行\n第二行", {L"a, b", L"tab\there", L"c", L"d"}, 1}}},
        {"UTF-16 big-endian, letters A-D naming the columns, a blank row and a row of empty cells skipped",
         L"Question,A,B,C,D,Answer\n\n,,,,,\nQ,a,b,c,d,c\n", Encoding::Utf16Be, "UTF-16 big-endian", ',', true,
         {{L"Q", ABCD, 2}}},
        {"control characters as they stand: a CR alone, Ctrl-Z (which ends a file read as text), a tab; a NUL, where "
         "the exam ends the text",
         std::wstring(L"\"a\rb\x1A\tc\",x\0y,b,c,d,1\n", 21), Encoding::Utf8, "UTF-8", ',', false,
         {{L"a\rb\x1A\tc", {L"x", L"b", L"c", L"d"}, 0}}},
        {"a headerless row padded with empty cells, its last row quoted and without a line break",
         L"Q,a,b,c,,B,,\n\"Q2\",a,b,c,d,\"A\"", Encoding::Utf8, "UTF-8", ',', false,
         {{L"Q", {L"a", L"b", L"c"}, 1}, {L"Q2", ABCD, 0}}},
        {"three options, the empty fourth left out; a character beyond U+FFFF; spaces kept in the texts",
         L"question,option 1,option 2,option 3,option 4,answer\n  Q 😀 ,a , b,c,,3\n", Encoding::Utf8, "UTF-8", ',',
         true, {{L"  Q 😀 ", {L"a ", L" b", L"c"}, 2}}},
        {"Japanese header words teachers type, a stray byte-order mark before one, a number column left out",
         L"No.,\uFEFF設問,選択肢ア,選択肢イ,選択肢ウ,選択肢エ,正答,解説\n1,Q,a,b,c,d,イ,x\n", Encoding::Utf8, "UTF-8", ',', true,
         {{L"Q", ABCD, 1}}},
        {"English header words, one in full-width letters, one with a no-break space; \"Correct Answer\" counts from 1",
         L"Question Text,Option A,Option B,Choice 3,ＯＰＴＩＯＮ　Ｄ,Correct\u00A0Answer\nQ,a,b,c,d,2\n", Encoding::Utf8,
         "UTF-8", ',', true, {{L"Q", ABCD, 1}}},
        {"title rows above the header", L"Week 3 practice\n2026-12-01,,,\nquestion,A,B,C,D,answer\nQ,a,b,c,d,B\n",
         Encoding::Utf8, "UTF-8", ',', true, {{L"Q", ABCD, 1}}},
        {"選択肢 merged over four columns, ア-エ under it", L"問題,選択肢,,,,正解\n,ア,イ,ウ,エ,\nQ,a,b,c,d,ウ\n",
         Encoding::ShiftJis, "Shift_JIS", ',', true, {{L"Q", ABCD, 2}}},
        {"a group over options numbered below it, the question and answer named in the lower row",
         L",Choices,,,\nQuestion,1,2,3,4,Key\nQ,a,b,c,d,4\n", Encoding::Utf8, "UTF-8", ',', true, {{L"Q", ABCD, 3}}},
        {"no header, the first column numbering the rows", L"1,Q1,a,b,c,d,B\n2,Q2,a,b,c,d,A\n", Encoding::Utf8,
         "UTF-8", ',', false, {{L"Q1", ABCD, 1}, {L"Q2", ABCD, 0}}},
        {"answers as the options' texts: a number that is also a position is read as the column's others are",
         L"question,A,B,C,D,answer\nMoons of Mars?,0,1,2,3,2\nCapital of France?,Paris,London,Rome,Berlin,Paris\n",
         Encoding::Utf8, "UTF-8", ',', true,
         {{L"Moons of Mars?", {L"0", L"1", L"2", L"3"}, 2},
          {L"Capital of France?", {L"Paris", L"London", L"Rome", L"Berlin"}, 0}}},
        {"half-width kana answers, as a Japanese spreadsheet's CSV may hold them", L"問題,ア,イ,ウ,エ,正解\nQ,a,b,c,d,ｲ\n",
         Encoding::ShiftJis, "Shift_JIS", ',', true, {{L"Q", ABCD, 1}}},
        {"answers as positions: a number that is also an option's text is read as the column's others are",
         L"question,A,B,C,D,answer\nMoons of Mars?,0,1,2,3,3\nQ,a,b,c,d,4\n", Encoding::Utf8, "UTF-8", ',', true,
         {{L"Moons of Mars?", {L"0", L"1", L"2", L"3"}, 2}, {L"Q", ABCD, 3}}},
        {"a Western spreadsheet's CSV: Windows-1252 with its quotes, dashes, accents and currencies",
         L"question,A,B,C,D,answer\r\n\"Isn’t “this” – café, über?\",£5,€10,naïve,Straße,B\r\n", Encoding::Windows1252,
         "Windows-1252", ',', true, {{L"Isn’t “this” – café, über?", {L"£5", L"€10", L"naïve", L"Straße"}, 1}}},
        {"Windows-1252 whose bytes are Shift_JIS too: ’ between letters reads as a kanji there, £ ° ß as half-width kana",
         L"Q,isn’t,£5,25°C,Straße,A\r\n", Encoding::Windows1252, "Windows-1252", ',', false,
         {{L"Q", {L"isn’t", L"£5", L"25°C", L"Straße"}, 0}}},
        {"Windows-1252 with € beside a symbol, which code page 932 would take for a control character",
         L"Q,~€,b,c,d,A\r\n", Encoding::Windows1252, "Windows-1252", ',', false, {{L"Q", {L"~€", L"b", L"c", L"d"}, 0}}},
        {"Windows-1252 with ção, one kanji in Shift_JIS, beside é between letters",
         L"Q,informação média,b,c,d,A\r\n", Encoding::Windows1252, "Windows-1252", ',', false,
         {{L"Q", {L"informação média", L"b", L"c", L"d"}, 0}}},
        {"the same bytes read as Shift_JIS when the author says so", L"Q,isn稚,b,c,d,A\r\n", Encoding::ShiftJis,
         "Shift_JIS", ',', false, {{L"Q", {L"isn稚", L"b", L"c", L"d"}, 0}}, TextEncoding::ShiftJis},
        {"bytes that read two ways, as Windows-1252 when the author says so", L"Q,cafés Ü,b,c,d,A\r\n",
         Encoding::Windows1252, "Windows-1252", ',', false, {{L"Q", {L"cafés Ü", L"b", L"c", L"d"}, 0}},
         TextEncoding::Windows1252},
        {"UTF-8 when the author says so", L"Q,é,b,c,d,A\n", Encoding::Utf8, "UTF-8", ',', false,
         {{L"Q", {L"é", L"b", L"c", L"d"}, 0}}, TextEncoding::Utf8},
        {"UTF-16 little-endian without a byte-order mark, found from its zero bytes",
         L"問題,A,B,C,D,正解\r\n日本語の問題,a,b,c,d,B\r\n", Encoding::Utf16LeBare,
         "UTF-16 little-endian without a byte-order mark", ',', true, {{L"日本語の問題", ABCD, 1}}},
        {"UTF-16 without a byte-order mark whose questions are long runs of kanji, few characters ASCII",
         L"問題,ア,イ,ウ,エ,正解\r\n" + Repeated(L"日本語", 100) + L"の問題,一,二,三,四,ア\r\n", Encoding::Utf16LeBare,
         "UTF-16 little-endian without a byte-order mark", ',', true,
         {{Repeated(L"日本語", 100) + L"の問題", {L"一", L"二", L"三", L"四"}, 0}}},
        {"UTF-16 without a byte-order mark, its emoji's second halves ending in zero bytes at the other places",
         L"😀😀😀😀,a,b,c,d,A\r\n", Encoding::Utf16LeBare, "UTF-16 little-endian without a byte-order mark", ',', false,
         {{L"😀😀😀😀", ABCD, 0}}},
        {"UTF-16 big-endian without a byte-order mark", L"Q\ta\tb\tc\td\tD\n", Encoding::Utf16BeBare,
         "UTF-16 big-endian without a byte-order mark", '\t', false, {{L"Q", ABCD, 3}}},
        {"UTF-16 without a mark, as the author says", L"Q,a,b,c,d,A\n", Encoding::Utf16LeBare,
         "UTF-16 little-endian without a byte-order mark", ',', false, {{L"Q", ABCD, 0}}, TextEncoding::Utf16Le},
        {"UTF-16 big-endian, as the author says", L"Q,a,b,c,d,A\n", Encoding::Utf16Be, "UTF-16 big-endian", ',',
         false, {{L"Q", ABCD, 0}}, TextEncoding::Utf16Be},
        {"an old Mac save: rows end at CR alone, and so does a line in a cell",
         L"Q1,a,b,c,d,A\r\"two\rlines\",a,b,c,d,B\r", Encoding::Utf8, "UTF-8", ',', false,
         {{L"Q1", ABCD, 0}, {L"two\nlines", ABCD, 1}}},
        {"a European CSV: semicolons, with commas in its numbers",
         L"question;A;B;C;D;answer\r\nWhat is 1,5 + 1?;2,5;3;3,5;4;A\r\n", Encoding::Utf8, "UTF-8", ';', true,
         {{L"What is 1,5 + 1?", {L"2,5", L"3", L"3,5", L"4"}, 0}}},
        {"tab-separated text whose first question holds a quote: no quote opens inside a cell",
         L"A 12\" pipe, in cm?\t30\t12\t\"5\"\"\"\t1\tA\nQ2\ta\tb\tc\td\tB\n", Encoding::Utf8, "UTF-8", '\t', false,
         {{L"A 12\" pipe, in cm?", {L"30", L"12", L"5\"", L"1"}, 0}, {L"Q2", ABCD, 1}}},
        {"a byte-order mark left inside the first cell's quotes does not hide the header",
         L"\"\xFEFFquestion\",A,B,C,D,answer\nQ,a,b,c,d,B\n", Encoding::Utf8Mark, "UTF-8 with a byte-order mark", ',',
         true, {{L"Q", ABCD, 1}}},
        {"a cell of NULs is an option, not an empty cell: the exam shows it empty, the check warns",
         std::wstring(L"question,A,B,C,D,answer\nQ,a,b,c,\0\0,A\n", 37), Encoding::Utf8, "UTF-8", ',', true,
         {{L"Q", {L"a", L"b", L"c", L""}, 0}}},
        {"Shift_JIS of more than a megabyte, its characters at odd bytes: decoded in pieces, none cut in two",
         L"\"" + Repeated(L"日本", 300000) + L"\",a,b,c,d,A\r\n", Encoding::ShiftJis, "Shift_JIS", ',', false,
         {{Repeated(L"日本", 300000), ABCD, 0}}},
        {"every character JSON escapes, and those it does not, read back by the exam as in the cell",
         L"question,A,B,C,D,answer\n\"\\ \"\"q\"\" \\u0041 \b\f\x01\x1F\x7F\",\U0001F600,\xFFFD,\u00E9\u65E5,/,A\n",
         Encoding::Utf8, "UTF-8", ',', true,
         {{L"\\ \"q\" \\u0041 \b\f\x01\x1F\x7F", {L"\U0001F600", L"\xFFFD", L"\u00E9\u65E5", L"/"}, 0}}},
        {"a question of megabytes with CR LF breaks reads whole, its breaks LF",
         L"\"" + Repeated(L"a line of the question\r\n", 100000) + L"\",a,b,c,d,B\r\n", Encoding::Utf8, "UTF-8", ',',
         false, {{Repeated(L"a line of the question\n", 100000), ABCD, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TableImport imported = Imported(Saved(c.table, c.encoding), c.chosen);
        EXPECT_EQ(imported.errors, 0u) << (imported.messages.empty() ? "" : imported.messages[0].problem.text);
        EXPECT_EQ(imported.encoding, c.encoding_name);
        EXPECT_EQ(imported.separator, c.separator);
        EXPECT_EQ(imported.headed, c.headed);
        // The exam's own loader, given the bank as it reads the file, has every text as it stood in its cell.
        std::vector<Question> loaded;
        std::string err_msg;
        ASSERT_TRUE(ParseQuestionBank(TextModeBytes(imported.bank), loaded, err_msg)) << err_msg;
        ASSERT_EQ(loaded.size(), c.questions.size());
        EXPECT_EQ(imported.question_count, loaded.size());
        for (size_t k = 0; k < loaded.size(); ++k) {
            EXPECT_EQ(loaded[k].questionText, c.questions[k].questionText);
            EXPECT_EQ(loaded[k].options, c.questions[k].options);
            EXPECT_EQ(loaded[k].correctAnswer, c.questions[k].correctAnswer);
        }
    }
}

// The bank is laid out as the sample bank is: the sample's own questions written back give its bytes.
TEST(TableImport, WritesTheBankAsTheSampleIsLaidOut) {
    const std::string sample = ReadWholeFile(HostPathForWindows(TESSAVON_SAMPLE_BANK));
    std::vector<Question> questions;
    std::string err_msg;
    ASSERT_TRUE(ParseQuestionBank(sample, questions, err_msg)) << err_msg;
    EXPECT_EQ(BankJson(questions), sample);
}

TEST(TableImport, BadTablesAreRefusedByRowAndColumn) {
    const char* forms = "write the right option as A to D, ア to エ or 1 to 4.";
    const struct {
        const char* what;
        std::string bytes;
        std::vector<std::string> messages;  // "ROW:COLUMN: kind: text", a "*" standing for any text
        std::vector<std::string> words = {};  // what the first message must name, wherever in its sentence
        TextEncoding chosen = TextEncoding::Found;
        size_t largest_block = 0;  // when not 0, no larger block of memory can be had while the table is read
    } cases[] = {
        {"too few cells, an answer out of range, an empty question, a row with no options",
         "Q1,a\n\nQ3,a,b,c,d,E\n,a,b,c,d,A\nQ5,,,,,\n",
         {"1:3: error: the row has 2 cells, but a question needs three at least: the question, its options, then the "
          "answer in the last cell.",
          "3:6: error: the answer \"E\" names option E, but this row has 4 options: " + std::string(forms),
          "4:1: error: the question is empty: write it, or remove the row.",
          "5:2: error: the row has 1 cell, but a question needs three at least: the question, its options, then the "
          "answer in the last cell."}},
        {"answers that are no form, 0 counted from 1, empty, two options and a kana out of range",
         "question,A,B,C,D,answer\nQ,a,b,c,d,maybe\nQ,a,b,c,d,0\nQ,a,b,c,d,\nQ,a,b,,,オ\n",
         {"2:6: error: the answer \"maybe\" is not an option's letter, kana, number or text: " + std::string(forms),
          "3:6: error: the answer is 0, but numbers count from 1 here (only a column named correctAnswer counts from "
          "0, as the bank does): " + std::string(forms),
          "4:6: error: the answer is empty: " + std::string(forms),
          "5:6: error: the answer \"オ\" names option E, but this row has 2 options: write the right option as A to B, "
          "ア to イ or 1 to 2."}},
        {"a header without an answer column, with a gap in its options",
         "問題,選択肢1,選択肢3\nQ,a,b\n",
         {"1:3: error: no column names option B, but a later option has one: *without a gap.",
          "1:0: error: the header names no answer column: *answer*正解*"}},
        {"a quote never closed", "Q,a,b,c,d,A\nQ2,\"a,b,c,d,A\n",
         {"2:2: error: this cell opens a quote (\") that is never closed: the rest of the file would be its text. "
          "Close it, or write \"\" for a quote inside a cell in quotes."}},
        {"text after a closing quote", "Q,\"a\"b,b,c,d,A\n",
         {"1:2: error: after the quote that closes this cell comes \"b\": a cell in quotes ends at its closing quote. "
          "Put all of the cell in the quotes, and write \"\" for a quote inside them."}},
        {"bytes neither UTF-8, Shift_JIS nor Windows-1252", "Q,a,b,c,d,A\nQ\x81\x20,a,b,c,d,A\n",
         {": error: the file is neither UTF-8, Shift_JIS nor Windows-1252: as UTF-8 it goes wrong at byte 14 (line 2), "
          "81, as Shift_JIS at byte 14 (line 2), 81, as Windows-1252 at byte 14 (line 2), 81. Save it from the "
          "spreadsheet as \"CSV UTF-8\" or as \"Unicode text\"."}},
        {"UTF-16 cut in half a character", std::string("\xFF\xFEQ\0,\0a", 7),
         {": error: the file is UTF-16 little-endian but ends in half a character (an odd number of bytes, 7): it was "
          "cut short. Save it from the spreadsheet as \"CSV UTF-8\" or as \"Unicode text\"."}},
        {"UTF-16 holding half a character", std::string("\xFF\xFEQ\0\x3D\xD8,\0", 8),
         {"1:1: error: the file is UTF-16 little-endian but holds half a character at byte 5 (line 1), 3D D8. Save it "
          "from the spreadsheet as \"CSV UTF-8\" or as \"Unicode text\"."}},
        {"a mark of UTF-8 on what is not", "\xEF\xBB\xBFQ,\xE9t\xE9,b,c,d,A\n",
         {": error: the file starts as UTF-8 (it has the byte-order mark) but is not UTF-8 at byte 6 (line 1), E9 74. Save it "
          "from the spreadsheet as \"CSV UTF-8\" or as \"Unicode text\"."}},
        {"a lead byte at the very end", "Q,a,b,c,d,\x81",
         {": error: the file is neither UTF-8, Shift_JIS nor Windows-1252: as UTF-8 it goes wrong at byte 11 (line 1), "
          "81, as Shift_JIS at byte 11 (line 1), 81, as Windows-1252 at byte 11 (line 1), 81. Save it from the "
          "spreadsheet as \"CSV UTF-8\" or as \"Unicode text\"."}},
        {"bytes that read as Windows-1252 and as Shift_JIS alike: both readings shown at the cell",
         "Q,a,b,c,d,A\r\nQ2,\x83\x41,b,c,d,A\r\n", {"2:2: error: *"},
         {"\"\xC6\x92\x41\"", "\"\xE3\x82\xA2\"", "--encoding windows-1252", "--encoding shift_jis", "CSV UTF-8"}},
        {"a byte not UTF-8, which the author chose", "Q,a,b,c,d,A\nQ2,caf\xE9,b,c,d,A\n", {"2:2: error: *"},
         {"byte 19", "E9", "UTF-8"}, TextEncoding::Utf8},
        {"a byte not Shift_JIS, which the author chose", "Q,a,b,c,d,A\r\nQ2,a,\x81\x20,c,d,A\r\n", {"2:3: error: *"},
         {"81", "Shift_JIS"}, TextEncoding::ShiftJis},
        {"a byte Windows-1252 leaves undefined, which the author chose", "Q,\x9D,b,c,d,A", {"1:2: error: *"},
         {"9D", "Windows-1252"}, TextEncoding::Windows1252},
        {"a JSON bank given for a table",
         "\r\n [{\"questionText\": \"Q\", \"options\": [\"a\"], \"correctAnswer\": 0}]\r\n",
         {": error: *"}, {"tessavon-check", "questions.json"}},
        {"memory running out while the table is read", Repeated("Q,a,b,c,d,B\r\n", 100000), {": error: *"},
         {"the table is too large for the memory available"}, TextEncoding::Found, 1 << 20},
        {"a row of NULs is no blank row to skip", "Q,a,b,c,d,A\n" + std::string(3, '\0') + "\n", {"2:2: error: *"},
         {"the row has"}},
        {"a header naming two questions and an option twice", "question,question,A,option 1,answer\nQ,Q,a,b,A\n",
         {"1:2: error: \"question\" names a second question column; column A is the question already.*",
          "1:4: error: \"option 1\" names option A again; column C is that option already."}},
        {"a header only", "question,a,b,c,d,answer\n", {": error: the table holds no questions."}},
        // What the exam accepts but a candidate trips over is the checker's, said at the table's cell.
        {"columns left out, a blank option, a question given twice, five options, three, an option cut on the page",
         "question,A,B,C,D,E,answer,explanation,source\nQ,a,,c,d,,A,x,y\nQ2,a,b,c,d,e,A\nQ,a,,c,d,,2\nQ3,a,b,c,,,C\n"
         "Q4,a," + std::string(5000, 'w') + ",c,d,,A\n",
         {"1:8: note: columns H \"explanation\", I \"source\" are left out*",
          "2:3: warning: option B is blank*",
          "3:6: warning: *5 options*option E \"e\"*never shown*",
          "4:3: warning: option B is blank*",
          "4:1: warning: the same question and options as row 2: remove one of them.",
          "5:0: warning: *3 options*four*",
          "6:3: warning: option B is cut*"}},
        // Each message names what it found; the place, the kind and the key words are checked.
        {"title rows above the header, a number column left out",
         "Week 3\nquestion,A,B,C,D,answer,No.\nQ,a,b,c,d,A,1\n",
         {"1:0: note: this row is above the header (row 2)*title*", "2:7: note: this column is left out*"}},
        {"a header of a hundred thousand columns left out, counted rather than listed",
         "question,A,B,C,D,answer" + std::string(100000, ',') + "x\nQ,a,b,c,d,A\n",
         {"1:7: note: columns G (no name), *and 99,992 more are left out*"}},
        {"a first column numbering some rows only", "1,Q1,a,b,c,d,B\nQ2,a,b,c,d,A\n",
         {"1:1: error: column A holds a number*1 of the 2 rows*header*"}},
        {"an option numbered beyond the header's cells", "question,option 1,option 999999999,answer\nQ,a,b,A\n",
         {"1:3: error: \"option 999999999\" names option 999999999, but the header has 4 columns*"}},
        {"an unquoted comma in a question, with a header and without",
         "question,A,B,C,D,answer\nWhich, of these?,a,b,c,d,B\n",
         {"2:7: error: the row has 7 columns of cells (A to G), but the header has 6 (A to F)*comma*quotes*"}},
        {"an unquoted comma in a question of a table without a header",
         "Q1,a,b,c,d,A\nWhich, of these?,a,b,c,d,B\nQ3,a,b,c,d,A\n",
         {"2:7: error: the row has 7 columns of cells (A to G), but most rows have 6 (A to F)*comma*quotes*"}},
        {"a first column of numbers out of step", "3,Q1,a,b,c,d,B\n7,Q2,a,b,c,d,A\n",
         {"2:1: error: column A holds a number here, as in 2 of the 2 rows*header*"}},
        {"a lone row without a header, wider than a question of four options",
         "Which, of these?,a,b,c,d,B\n",
         {"1:7: error: *7 columns*a question, four options and an answer take 6*comma*"}},
        {"a letter that is one option's letter and another's text", "question,A,B,C,D,answer\nQ,B,A,C,D,A\n",
         {"2:6: error: *option A (\"B\"), read as a letter, or option B (\"A\")*number, 1 to 4.*"}},
        {"a number that is one option's position and another's text, nothing else telling which",
         "question,A,B,C,D,answer\nMoons of Mars?,0,1,2,3,1\n",
         {"2:6: error: the answer \"1\" could be option A (\"0\"), read as the options' number, counted from 1, or "
          "option B (\"1\"), whose text it is*letter*"}},
        {"an answer holding characters one cannot see", "question,A,B,C,D,answer\nQ,a,b,c,d,B\xC2\xA0\xE2\x80\x8B\n",
         {"2:6: error: the answer*U+00A0 NO-BREAK SPACE, U+200B ZERO WIDTH SPACE*"}},
        {"a spreadsheet's error value where a text should be", "question,A,B,C,D,answer\nQ,#N/A,b,c,d,B\n",
         {"2:2: error: the cell holds \"#N/A\", a spreadsheet's error value*formula*"}},
        // Found in a teacher's trial: an unquoted comma whose row leaves its explanation empty is as wide as the
        // header, so the moved cells read as a question "Which is largest: 1" with option A " 2 or 3?".
        {"an unquoted comma in a question moving the answer into an empty explanation column",
         "question,A,B,C,D,answer,explanation\nQ,a,b,c,d,B,why\nWhich is largest: 1, 2 or 3?,1,2,3,4,C,\n",
         {"1:7: note: this column is left out*", "3:8: error: *8 columns*7*comma*"}},
        // Found in a trial: the number 2026 was said as the column letters "option BYX".
        // Found in a trial: every row of a table without a header cut at the same comma read as five options.
        {"an unquoted comma in every question of a table without a header",
         "In 2024, which year is it?,2023,2024,2025,2026,B\r\nIn 2023, which year was it?,2021,2022,2023,2024,C\r\n",
         {"1:7: error: *7 columns*a question, four options and an answer take 6*comma*",
          "2:7: error: *7 columns*a question, four options and an answer take 6*comma*"}},
        {"an answer that is a number far beyond the options, said as that number",
         "question,A,B,C,D,answer\nQ,a,b,c,d,2026\n",
         {"2:6: error: the answer \"2026\" *2026*, but this row has 4 options*"}},
        {"a fifth option as the answer, which the exam never shows", "question,A,B,C,D,E,answer\nQ,a,b,c,d,e,E\n",
         {"2:7: error: the answer \"E\" is option E, but the exam shows only the first four options*"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        g_largest_block = c.largest_block;
        const TableImport imported = Imported(c.bytes, c.chosen);
        g_largest_block = 0;
        const std::vector<std::string> said = Messages(imported);
        ASSERT_EQ(said.size(), c.messages.size()) << ::testing::PrintToString(said);
        for (size_t k = 0; k < said.size(); ++k) EXPECT_TRUE(Matches(c.messages[k], said[k])) << said[k];
        for (const std::string& word : c.words) EXPECT_NE(said[0].find(word), std::string::npos) << word;
        size_t errors = 0;
        for (const std::string& message : c.messages) errors += message.find(": error: ") != std::string::npos;
        EXPECT_EQ(imported.errors, errors);
        EXPECT_EQ(imported.bank.empty(), errors > 0);
    }
}

std::wstring ImporterExePath() {
    const std::wstring checker = CheckerExePath();
    return checker.substr(0, checker.find_last_of(L'\\')) + L"\\tessavon-import.exe";
}

// Only the exe writes the file, and only it exits with a status: written whole beside the table, or not at all; and
// what it says the author does next, which depends on the file's name.
TEST(TableImportExe, WritesTheBankWholeOrNotAtAll) {
    const std::string good = "Q,a,b,c,d,B\n";
    const std::string bank = "[\n  {\n    \"questionText\": \"Q\",\n    \"options\": [\n      \"a\",\n      \"b\",\n"
                             "      \"c\",\n      \"d\"\n    ],\n    \"correctAnswer\": 1\n  }\n]\n";
    const struct {
        const char* what;
        std::string table;  // written as "my table.csv", unless empty
        std::wstring arguments;
        DWORD status;
        std::vector<const char*> said;  // a line of the output, then words of the output's last line
        const wchar_t* written;  // the bank's name, or nullptr when there must be none
        bool leftover = false;   // a temporary of a stopped import of "my table.json" lies beside the table
        bool held = false;       // another program holds old.json open, sharing it with none
    } cases[] = {
        {"beside the table, named after it; told to rename it", good, L"\"my table.csv\"", 0,
         {"my table.csv: 1 question written to my table.json, 0 errors, 0 warnings", "rename my table.json",
          "questions.json", "tessavon.exe"},
         L"my table.json"},
        {"named with -o, over an older bank", good, L"-o old.json \"my table.csv\"", 0,
         {"my table.csv: 1 question written to old.json, 0 errors, 0 warnings", "rename old.json"}, L"old.json"},
        {"named as the exam reads it: told to start the exam there", good, L"-o questions.json \"my table.csv\"", 0,
         {"written to questions.json", "start tessavon.exe in"}, L"questions.json"},
        {"an error writes nothing, and removes what a stopped import left", "Q,a,b,c,d,F\n", L"\"my table.csv\"", 1,
         {"my table.csv: nothing written, 1 error"}, nullptr, true},
        {"over a bank another program holds open: said, and the bank kept", good, L"-o old.json \"my table.csv\"", 2,
         {"old.json: error: old.json cannot be replaced", "nothing written"}, nullptr, false, true},
        {"a table that is not there", "", L"missing.csv", 2,
         {"missing.csv: error: there is no table missing.csv", "nothing written, 1 error"}, nullptr},
        {"into a folder that is not there", good, L"-o \"no folder\\bank.json\" \"my table.csv\"", 2,
         {"does not exist: create it", "nothing written"}, nullptr},
        {"never over the table itself", good, L"-o \"./my table.csv\" \"my table.csv\"", 2,
         {"Try tessavon-import --help."}, nullptr},
        {"an encoding it does not read", good, L"--encoding latin1 \"my table.csv\"", 2,
         {"unknown encoding \"latin1\": name one of utf-8, shift_jis, windows-1252, utf-16le, utf-16be", "--help"},
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempWorkFolder folder;
        if (!c.table.empty()) folder.Write(L"my table.csv", c.table);
        folder.Write(L"old.json", "older");
        if (c.leftover) folder.Write(L"my table.json.tessavon-import.tmp", bank.substr(0, 20));
        const std::wstring old_bank = folder.path() + L"\\old.json";
        const HANDLE holder = c.held ? CreateFileW(old_bank.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                                     : INVALID_HANDLE_VALUE;
        std::string output;
        DWORD status = 99;
        const bool ran = RunForOutput(ImporterExePath(), c.arguments, folder.path(), output, status);
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        ASSERT_TRUE(ran);
        EXPECT_EQ(status, c.status) << output;
        EXPECT_NE(output.find(c.said[0]), std::string::npos) << output;
        const std::string last = output.substr(output.rfind('\n', output.size() - 2) + 1);
        for (size_t k = 1; k < c.said.size(); ++k) EXPECT_NE(last.find(c.said[k]), std::string::npos) << last;
        const bool older_replaced = c.written && std::wstring(c.written) == L"old.json";
        EXPECT_EQ(ReadWholeFile(old_bank), older_replaced ? bank : "older");
        if (c.written && !older_replaced) {
            EXPECT_EQ(ReadWholeFile(folder.path() + L"\\" + c.written), bank);
        } else if (!c.written) {
            EXPECT_EQ(GetFileAttributesW((folder.path() + L"\\my table.json").c_str()), INVALID_FILE_ATTRIBUTES);
        }
        // Nothing is left of the temporary file.
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((folder.path() + L"\\*.tmp").c_str(), &found);
        EXPECT_EQ(search, INVALID_HANDLE_VALUE);
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
    }
}

}  // namespace
