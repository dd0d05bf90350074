// A table as a spreadsheet saves it as text: its encoding found from its bytes and decoded to UTF-8, then its rows
// of cells, as CSV or tab-separated text is quoted.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

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
    std::vector<TableRow> rows;          // the rows that are not blank (a cell holding anything)
    std::vector<TableProblem> problems;  // empty when the table was read
};

// A table's text in UTF-8, and how its bytes were read.
struct DecodedText {
    std::string encoding;  // "UTF-8", "UTF-8 with a byte-order mark", "UTF-16 little-endian", "Shift_JIS", ...
    std::string text;      // without the byte-order mark
    std::string refused;   // when the bytes are in no encoding read: what was seen where; empty otherwise
};

// The bytes decoded to UTF-8, with the encoding found: a byte-order mark of UTF-8, UTF-16 little- or big-endian;
// otherwise UTF-8 when the bytes are valid UTF-8, otherwise Shift_JIS (Windows code page 932) when they are valid
// in it. Anything else is refused with the first bytes that are neither, where they are.
DecodedText DecodeText(const std::string& bytes);

// How a text table's bytes are to be read: found from the bytes, or as the author says.
enum class TextEncoding { Found, Utf8, ShiftJis, Windows1252, Utf16Le, Utf16Be };

// Reads a table's bytes: decoded as DecodeText says, then cut into rows of cells. The separator is a tab when the
// first row holds one outside quotes, otherwise a comma. A cell in double quotes may hold the separator, line breaks
// and "" for a quote; a line break in a cell, CR LF or LF, becomes LF. Rows end at CR LF or LF; blank rows (nothing
// in any cell) are left out but counted.
Table ReadTable(const std::string& bytes, TextEncoding encoding = TextEncoding::Found);
