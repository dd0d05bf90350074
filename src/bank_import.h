// A table of questions made a bank: which columns hold the question, its options and its answer, the answer's
// forms, and the bank's JSON text. Every problem is said by the table's row and column, where the author fixes it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "bank_check.h"
#include "question.h"
#include "table_reading.h"

// The cells a question came from.
struct QuestionCells {
    size_t row = 0;
    size_t question_column = 0;
    std::vector<size_t> option_columns;  // one for each option the question has
    size_t answer_column = 0;
    // What the importer said itself of the question, so the checker's finding of the same is not said again: the
    // options' count (not four), and which texts are blank or hold a NUL (bit 0 the question, bit k + 1 option k).
    bool count_said = false;
    unsigned texts_said = 0;
};

// What a table makes: its questions, in row order, and where each came from.
struct ImportedTable {
    bool headed = false;                 // a header row names the columns
    std::vector<std::string> column_names;  // each column's name as the header shows it, column 1 first
    std::vector<Question> questions;     // texts exactly as in the cells
    std::vector<QuestionCells> cells;    // one for each question
    std::vector<TableProblem> errors;    // rows the bank cannot take; no bank is written when there are any
    std::vector<TableProblem> warnings;  // what a candidate would trip over, known from the cells themselves
    std::vector<TableProblem> notes;     // said once: the rows and columns left out
};

// Turns the table's rows into questions, from the columns FindColumns finds, freeing each row's cells once read.
// Without a header, a row is its question, its options and, in its last cell, its answer. An answer is a letter
// (A-D, a-d, Ａ-Ｄ), a kana (ア イ ウ エ), a number from 1 (from 0 in a column named correctAnswer, as in the bank),
// or the text of one of its row's options. An answer that reads both as one option's number or letter and as
// another's text is read as the rest of the column reads, and is an error at its cell when the rest does not tell;
// an answer that names no option, or one the exam does not show, is an error at its cell.
ImportedTable ImportTable(Table& table);

// The bank's text, laid out as the sample bank is: UTF-8 JSON, two spaces of indent, ending in a line break.
std::string BankJson(const std::vector<Question>& questions);

// What the import says: an error keeps the bank from being written.
enum class MessageKind { Error, Warning, Note };
struct ImportMessage {
    MessageKind kind;
    TableProblem problem;
};

// The checker's findings in the bank written from `imported`, at their cells in the table's words, told from the
// findings' data: what the importer said itself of a question is left out; a question given twice names the row of
// the first.
std::vector<ImportMessage> FindingsInTable(const ImportedTable& imported, const BankReport& report);

// A table's bytes made a bank, with everything to say about it, in the order to say it.
struct TableImport {
    std::string encoding;  // as DecodedText names it; empty when the bytes were refused
    char separator = ',';
    bool workbook = false;  // read from a workbook's sheet: cells are named as C7
    std::vector<std::string> column_names;  // each column's name as the header shows it, column 1 first
    bool cut = false;     // the text was cut into rows of cells
    bool headed = false;  // and its first row names the columns
    size_t question_count = 0;        // the questions in the bank's text
    std::string bank;  // the bank's text; empty when there is an error
    std::vector<ImportMessage> messages;
    size_t errors = 0;
    size_t warnings = 0;
    bool checked = true;  // false when the checker ran out of memory
};

// What the author chose on the command line.
struct ImportOptions {
    TextEncoding encoding = TextEncoding::Found;  // how a text table's bytes are read
    std::string sheet;  // a workbook's sheet by name or number from 1; empty for the first
};

// Reads the table, makes its questions and the bank's text, and checks that text with the checker's rules, measuring
// in `dc` (NewCheckingDc); `bank_name` names the bank to the checker. A table too large for the memory available
// is one error of the whole file, whatever stage ran out.
TableImport ImportTableBytes(HDC dc, const std::string& bytes, const std::string& bank_name,
                             const ImportOptions& options = {});
// The same, giving back the bytes' memory once they are cut into cells, so an import holds its file only that long.
TableImport ImportTableBytes(HDC dc, std::string&& bytes, const std::string& bank_name,
                             const ImportOptions& options = {});

// Where `problem` is, as the spreadsheet shows it: "row 7, column C "Option B"", or in a workbook "cell C7 "Option
// B"" (the column's header name when it has one); "row 7" for a whole row; empty for the whole file.
std::string PlaceInTable(const TableImport& imported, const TableProblem& problem);
