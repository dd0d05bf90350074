// Which columns of a table hold the question, its options and its answer: from the header row that names them, or,
// in a table without one, from where each row's cells are.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "table_reading.h"

// The columns of a table's questions (all from 1), and what was said about finding them.
struct TableColumns {
    bool headed = false;             // a header row names the columns
    size_t first_question = 0;       // the index in Table::rows of the first row of questions
    size_t question = 0;             // with a header: the question's column
    std::vector<size_t> options;     // with a header: each option's column, in the options' order
    size_t answer = 0;               // with a header: the answer's column
    bool from_zero = false;          // the answer's numbers count from 0 (a column named correctAnswer)
    size_t width = 0;                // with a header: its columns, up to the last it names
    bool numbered = false;           // without a header: column 1 numbers the rows, so the question is in column 2
    std::vector<std::string> names;  // each column's name as the header shows it, column 1 first; empty without one
    std::vector<TableProblem> errors;  // the columns cannot be told: no questions are read
    std::vector<TableProblem> notes;   // said once: the rows above the header, the columns left out
};

// Finds the columns. The header is the first row, among the first ten, that names a question column (question,
// question text, 問, 問題, 設問, 問題文); rows above it are titles, left out. It also names the options (option 1,
// option A, choice 1, A-J, ア-コ, 選択肢, 選択肢ア, 選択肢1), and the answer (answer, correct answer, key, answer
// key, 正解, 正答, 解答, 答え; correctAnswer, whose numbers count from 0), case, spaces and full-width forms aside;
// any other column is left out. A group name (選択肢, options, choices) over empty cells stands for an option in
// each; with labels (ア-エ, A-D, 1-4) under it in the next row, the two rows are the header and the labels number
// the options. Without a header, each row is its question, its options and, in its last cell, its answer; a first
// column numbering the rows 1, 2, 3... is left out, and one that may or may not be numbers is an error.
TableColumns FindColumns(const Table& table);
