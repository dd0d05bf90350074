// The bank checker's rules: every problem of a bank at once, so an author fixes a bank in one pass. Errors are what
// the exam refuses, in its words and from its code (bank_rules.h); warnings are what the exam accepts but a
// candidate would trip over.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "bank_rules.h"

// Which part of an entry a problem is about, so a program that wrote the bank from a table can name the table's cell.
enum class BankField {
    Entry,         // the entry as a whole (its shape, its options' count, a repeat of another entry)
    QuestionText,  // "questionText"
    Option,        // one option of "options": BankProblem::option says which
    Answer,        // "correctAnswer"
};

// Stands for "no entry": a problem of the whole file, or a problem that repeats no other entry.
constexpr size_t NO_ENTRY = static_cast<size_t>(-1);

// More to say under a problem: a place in the bank's text, shown as its line with "^" under it, what is there and
// what to do.
struct BankNote {
    size_t line = 0, column = 0;  // from 1; the column in characters, as editors count
    std::string marked;           // the line and the "^" under the place, two lines
    std::string text;
};

// One problem of a bank.
struct BankProblem {
    size_t entry = NO_ENTRY;  // the entry it is about, from 0 in walking order; NO_ENTRY for the whole file
    bool error = true;        // refused by the exam; otherwise a warning
    std::string text;         // what is wrong and what to do, without the entry's number
    size_t line = 0;          // where in the bank's text, both from 1 (the column in characters, as editors count
    size_t column = 0;        // them); 0 when nowhere
    BankField field = BankField::Entry;
    size_t option = 0;          // for BankField::Option, which option, from 0
    size_t same_as = NO_ENTRY;  // for a question given twice, the entry it repeats
    std::string marked;           // the line at the place, "^" under it, two lines; empty when not shown
    std::vector<BankNote> notes;  // for an error the exam would show, its words where it places them
    EntryVerdict refusal;         // for an entry the exam refuses, why (for a missing key, that key alone)
};

// What the checker found in one bank.
struct BankReport {
    bool checked = true;  // false when the bank could not be checked at all (no memory for it): `problems` says so
    size_t questions = 0;  // the entries walked
    size_t errors = 0;
    size_t warnings = 0;
    std::vector<BankProblem> problems;  // in the order the checker prints them
};

// The device context the checker measures texts in, as on the screen the exam would use, with the exam's normal
// font selected: no window needed. Make one for all the banks a program checks and delete it with DeleteDC; a new
// one for every bank costs more than checking a small bank.
HDC NewCheckingDc();

// Checks a bank's text (as read in text mode), measuring in `dc` (from NewCheckingDc). `name` is the file's name,
// which a message about memory gives.
BankReport CheckBank(HDC dc, const std::string& name, std::string bank_text);

// A problem as a line in the form editors and CI jobs read: "NAME:LINE:COLUMN: error: Question N: ..." or
// "...: warning: ...", where NAME is `name` as given; a problem of the whole file has no line and column.
std::string ProblemLine(const std::string& name, const BankProblem& problem);
// The lines under a problem's line: its marked line, then for each of its notes "NAME:LINE:COLUMN: note: ...".
std::vector<std::string> NoteLines(const std::string& name, const BankProblem& problem);
