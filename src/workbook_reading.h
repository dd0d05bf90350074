// A workbook (.xlsx or .ods) read directly: one sheet's cells, each as the spreadsheet shows it and so as its own
// CSV save would hold it. Old .xls workbooks, protected workbooks and zips that hold no workbook are refused by
// name, with what to do.
#pragma once

#include <string>

#include "table_reading.h"

// What no real workbook of questions comes near; a sheet beyond them is refused as absurd.
constexpr size_t SHEET_ROW_LIMIT = 1048576;      // a spreadsheet's own last row
constexpr size_t SHEET_COLUMN_LIMIT = 16384;     // and its last column, XFD
constexpr size_t SHEET_CELL_LIMIT = 2000000;     // rows with text times the widest row: 100,000 questions of 20 columns

// The bytes start as a zip archive (.xlsx, .ods and other zips) or an OLE compound file (.xls, a protected .xlsx).
bool LooksLikeWorkbook(const std::string& bytes);

// The sheet `sheet` names (a name, or a number from 1; empty for the first) as a table: `encoding` names the sheet
// and the kind of workbook, rows keep the sheet's own row numbers and cells start at column A; every problem is at
// its cell, or at row 0 for the whole file.
Table ReadWorkbook(const std::string& bytes, const std::string& sheet);
