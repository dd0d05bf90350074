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

namespace {

enum class Encoding { Utf8, Utf8Mark, Utf16Le, Utf16Be, ShiftJis };

// `text` saved as a spreadsheet saves it in `encoding`, by the system's own encoders.
std::string Saved(const std::wstring& text, Encoding encoding) {
    switch (encoding) {
        case Encoding::Utf8:
            return Utf8FromWide(text);
        case Encoding::Utf8Mark:
            return "\xEF\xBB\xBF" + Utf8FromWide(text);
        case Encoding::Utf16Le:
        case Encoding::Utf16Be: {
            const bool big = encoding == Encoding::Utf16Be;
            std::string bytes = big ? "\xFE\xFF" : "\xFF\xFE";
            for (const wchar_t c : text) {
                const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
                bytes += big ? std::string{high, low} : std::string{low, high};
            }
            return bytes;
        }
        case Encoding::ShiftJis: {
            const int n = WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                              nullptr);
            std::string bytes(static_cast<size_t>(n), '\0');
            WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
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

TableImport Imported(const std::string& bytes) {
    static const HDC dc = NewCheckingDc();
    return ImportTableBytes(dc, bytes, "t.json");
}

const std::vector<std::wstring> ABCD = {L"a", L"b", L"c", L"d"};

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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TableImport imported = Imported(Saved(c.table, c.encoding));
        EXPECT_EQ(imported.errors, 0u);
        EXPECT_EQ(imported.encoding, c.encoding_name);
        EXPECT_EQ(imported.separator, c.separator);
        EXPECT_EQ(imported.headed, c.headed);
        // The exam's own loader, given the bank as it reads the file, has every text as it stood in its cell.
        std::vector<Question> loaded;
        std::string err_msg;
        ASSERT_TRUE(ParseQuestionBank(TextModeBytes(imported.bank), loaded, err_msg)) << err_msg;
        ASSERT_EQ(loaded.size(), c.questions.size());
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
        std::vector<std::string> messages;
    } cases[] = {
        {"too few cells, an answer out of range, an empty question, a row with no options",
         "Q1,a\n\nQ3,a,b,c,d,E\n,a,b,c,d,A\nQ5,,,,,\n",
         {"1:3: error: the row has 2 cells, but a question needs three at least: the question, its options, then the "
          "answer in the last cell.",
          "3:6: error: the answer \"E\" names option 5, but this row has 4 options: " + std::string(forms),
          "4:1: error: the question is empty: write it, or remove the row.",
          "5:2: error: the row has 1 cell, but a question needs three at least: the question, its options, then the "
          "answer in the last cell."}},
        {"answers that are no form, 0 counted from 1, empty, two options and a kana out of range",
         "question,A,B,C,D,answer\nQ,a,b,c,d,maybe\nQ,a,b,c,d,0\nQ,a,b,c,d,\nQ,a,b,,,オ\n",
         {"2:6: error: the answer \"maybe\" is not an option's letter, kana or number: " + std::string(forms),
          "3:6: error: the answer is 0, but numbers count from 1 here (only a column named correctAnswer counts from "
          "0, as the bank does): " + std::string(forms),
          "4:6: error: the answer is empty: " + std::string(forms),
          "5:6: error: the answer \"オ\" names option 5, but this row has 2 options: write the right option as A to B, "
          "ア to イ or 1 to 2."}},
        {"a header without an answer column, with a gap in its options",
         "問題,選択肢1,選択肢3\nQ,a,b\n",
         {"1:3: error: no column names option 2, but a later option has one: number the options from 1 without a "
          "gap.",
          "1:1: error: the header names no answer column: name the right option's column answer, correctAnswer, 正解 "
          "or 解答."}},
        {"a quote never closed", "Q,a,b,c,d,A\nQ2,\"a,b,c,d,A\n",
         {"2:2: error: this cell opens a quote (\") that is never closed: the rest of the file would be its text. "
          "Close it, or write \"\" for a quote inside a cell in quotes."}},
        {"text after a closing quote", "Q,\"a\"b,b,c,d,A\n",
         {"1:2: error: after the quote that closes this cell comes \"b\": a cell in quotes ends at its closing quote. "
          "Put all of the cell in the quotes, and write \"\" for a quote inside them."}},
        {"bytes neither UTF-8 nor Shift_JIS", "Q,a,b,c,d,A\nQ\x81\x20,a,b,c,d,A\n",
         {": error: the file is neither UTF-8 nor Shift_JIS: as UTF-8 it goes wrong at byte 14 (line 2), 81, as "
          "Shift_JIS at byte 14 (line 2), 81 20. Save it from the spreadsheet as \"CSV UTF-8\" or as \"Unicode "
          "text\"."}},
        {"UTF-16 cut in half a character", std::string("\xFF\xFEQ\0,\0a", 7),
         {": error: the file is UTF-16 little-endian but ends in half a character (an odd number of bytes, 7): it was "
          "cut short. Save it from the spreadsheet as \"CSV UTF-8\" or as \"Unicode text\"."}},
        {"UTF-16 holding half a character", std::string("\xFF\xFEQ\0\x3D\xD8,\0", 8),
         {": error: the file is UTF-16 little-endian but holds half a character at byte 5 (line 1), 3D D8. Save it "
          "from the spreadsheet as \"CSV UTF-8\" or as \"Unicode text\"."}},
        {"UTF-16 without its mark", std::string("Q\0,\0a\0", 6),
         {": error: the file looks like UTF-16 little-endian text without a byte-order mark, which is read only with "
          "one. Save it from the spreadsheet as \"CSV UTF-8\" or as \"Unicode text\"."}},
        {"a mark of UTF-8 on what is not", "\xEF\xBB\xBFQ,\xE9t\xE9,b,c,d,A\n",
         {": error: the file starts as UTF-8 (it has the byte-order mark) but is not UTF-8 at byte 6 (line 1), E9 74. Save it "
          "from the spreadsheet as \"CSV UTF-8\" or as \"Unicode text\"."}},
        {"a lead byte at the very end", "Q,a,b,c,d,\x81",
         {": error: the file is neither UTF-8 nor Shift_JIS: as UTF-8 it goes wrong at byte 11 (line 1), 81, as "
          "Shift_JIS at byte 11 (line 1), 81. Save it from the spreadsheet as \"CSV UTF-8\" or as \"Unicode text\"."}},
        {"a header naming two questions and an option twice", "question,question,A,option 1,answer\nQ,Q,a,b,A\n",
         {"1:2: error: \"question\" names a second question column; column 1 is the question already. Rename or "
          "remove one of them.",
          "1:4: error: \"option 1\" names option 1 again; column 3 is that option already."}},
        {"a header only", "question,a,b,c,d,answer\n", {": error: the table holds no questions."}},
        // What the exam accepts but a candidate trips over is the checker's, said at the table's cell.
        {"columns left out, a blank option, a question given twice, five options",
         "question,A,B,C,D,E,answer,explanation,source\nQ,a,,c,d,,A,x,y\nQ2,a,b,c,d,e,E\nQ,a,,c,d,,2\n",
         {"1:8: note: columns 8 \"explanation\", 9 \"source\" are left out: the bank holds only each question, its "
          "options and its answer.",
          "2:3: warning: option 2 of \"options\" is blank: write its text.",
          "3:1: warning: has 5 options, but the exam shows only the first four: remove the other 1.",
          "3:7: warning: \"correctAnswer\" is 4, but only options 0 to 3 are shown.",
          "4:3: warning: option 2 of \"options\" is blank: write its text.",
          "4:1: warning: the same question and options as row 2: remove one of them."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TableImport imported = Imported(c.bytes);
        EXPECT_EQ(Messages(imported), c.messages);
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
