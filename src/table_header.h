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
    std::vector<std::string> names;  // each column's name as the header shows it, column 1 first; empty without one
    std::vector<TableProblem> errors;  // the columns cannot be told: no questions are read
    std::vector<TableProblem> notes;   // said once: the columns left out
};

// Finds the columns. A first row that names a question column (question, questionText, 問題, 問題文) is a header: it
// also names the options (option 1..n, A-J, 選択肢, ア-コ) and the answer (answer, correctAnswer, 正解, 解答), case and
// surrounding spaces aside, and any other column is left out. Without one, each row is its question, its options
// and, in its last cell, its answer.
TableColumns FindColumns(const Table& table);
