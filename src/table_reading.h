// A table as a spreadsheet saves it as text: decoded to UTF-8 (table_decoding.h), then cut into its rows of cells,
// as CSV or tab-separated text is quoted.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "table_decoding.h"

// One row of a table that is not blank, where the spreadsheet shows it.
struct TableRow {
    size_t row = 0;                  // counted from 1 as the spreadsheet counts, blank rows and all
    std::vector<std::string> cells;  // UTF-8, column 1 first
};

// A problem of a table, at a cell (row and column from 1) or, with row 0, of the whole file.
struct TableProblem {
    size_t row = 0;
    size_t column = 0;
    std::string text;
};

// What reading a table's bytes made of them.
struct Table {
    std::string encoding;                // how the bytes were read (DecodedText); empty when they were refused
    char separator = ',';                // ',', ';' or '\t'; 0 for a workbook's sheet
    bool workbook = false;               // read from a workbook's sheet, whose cells are named as C7
    std::string sheets;                  // a workbook of several sheets: their names, listed for a message
    std::vector<TableRow> rows;          // the rows that are not blank (a cell holding anything)
    std::vector<TableProblem> problems;  // empty when the table was read
};

// Reads a table's bytes: decoded as DecodeText says, then cut into rows of cells. The separator is the one of comma,
// semicolon and tab that gives most of the first 20 rows that are not blank one number of cells, above one. A cell in
// double quotes may hold the separator, line breaks and "" for a quote; a quote inside a cell that does not start
// with one is text. Rows end at CR LF or LF, or at CR in a file with no LF (an old Mac save); a line break in a cell
// becomes LF. Blank rows (nothing but spaces in any cell) are left out but counted. A byte-order mark before the
// first cell's text is dropped. A JSON bank, and a table larger than the memory available, are refused.
Table ReadTable(const std::string& bytes, TextEncoding encoding = TextEncoding::Found);
