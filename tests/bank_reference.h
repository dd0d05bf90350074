// An account of what the loader must make of a bank's bytes, worked out without the loader's own code, and the
// checks that run a bank through the loader and the draw and compare: in memory through ParseQuestionBank, and
// through a real questions.json, LoadQuestions and its real message box.
//
// The account follows the bank's rules: the file is read in text mode (CR LF arrives as LF, a Ctrl-Z byte ends
// the data), the JSON library parses it strictly (a NUL byte outside a string ends the input), the top value is an
// array, an object (walked over its member values) or null, and each entry needs "questionText" (a string),
// "options" (null, a string, or an array or object of strings) and "correctAnswer" (a boolean, or a number whose
// truncation fits 32 bits; integers keep their low 32 bits). Texts are decoded from UTF-8 by a decoder of our own
// and end at the first NUL.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "bank_check.h"
#include "question_bank.h"
#include "test_support.h"

// The bytes a text-mode read of `file_bytes` delivers.
std::string TextModeBytes(const std::string& file_bytes);
// `bytes` with every LF written as `line_end` ("\r\n", say), as an editor saving with other line ends would.
std::string WithLineEnds(const std::string& bytes, const char* line_end);

// UTF-16 of well-formed UTF-8, ending at the first U+0000. Throws std::invalid_argument on ill-formed input:
// the loader only ever converts texts the parser has already checked.
std::wstring ReferenceWide(const std::string& utf8);

enum class BankVerdict { Loads, SyntaxError, ShapeError };

struct ReferenceBank {
    BankVerdict verdict = BankVerdict::Loads;
    std::string library_message;  // SyntaxError: the JSON library's message, as the loader shows it
    size_t bad_entry = 0;         // ShapeError: 1-based position of the first entry at fault; 0 for the top value
    std::vector<Question> questions;  // Loads: every entry, as the loader must deliver it
};

ReferenceBank ReferenceLoad(const std::string& file_bytes);
// The same from what a text-mode read of the file delivers (TextModeBytes), for a caller that has it already.
ReferenceBank ReferenceLoadText(const std::string& text);

// Runs `text`, what a text-mode read of the file delivers (TextModeBytes), through ParseQuestionBank into
// allQuestions, then PrepareExam, and compares all of it with `expected`. Returns an empty string when everything
// matches, otherwise what went wrong. `refusal`, when given, is set to the loader's message, empty when it loaded
// the bank.
std::string CheckParseAgainstReference(const std::string& text, const ReferenceBank& expected,
                                       std::string* refusal = nullptr);

// The bank's text-mode text fed to the walk (WalkBank) a few bytes at a time, as a file is read in pieces, against
// the same text fed whole (WalkBankText): both sound or both refused, every entry handed over the same, question or
// problem. Returns an empty string when they agree, otherwise how they differ.
std::string CheckPiecesAgainstWhole(const std::string& file_bytes);

// The same through the real path: `file_bytes` written as questions.json in the current folder, LoadQuestions(owner)
// with every message box read and dismissed, then PrepareExam.
std::string CheckLoadAgainstReference(HWND owner, const std::string& file_bytes, const ReferenceBank& expected);

// The line the bank checker must print for a file named q.json holding `text`, for a bank the exam refuses with
// `message` (its box text after the first line): a bad entry's or a syntax error's words in a note under the first
// error, "the exam says: ...", at the exam's place with the column in characters and without the library's place;
// a number too large, the note's words alone (from ": note: "); anything else is the error itself.
std::string AsCheckerError(const std::string& message, const std::string& text);

// The bank checker's report on `text` (what a text-mode read delivers) of a file named `name`, measured in one device
// context kept for the whole run, as the checker keeps one for all its files; `lines` gets the lines it prints.
BankReport CheckedBank(const std::string& text, std::vector<std::string>& lines, const std::string& name = "q.json");

// Runs the bank checker on `text`, what a text-mode read delivers: no error for a bank the exam loads (`refusal`
// empty); for one it refuses, the first error carries the exam's `refusal` word for word (AsCheckerError). Returns an empty string when
// they agree.
std::string CheckCheckerAgainstExam(const std::string& text, const std::string& refusal);

// A test that loads banks: the bank and the exam are empty again afterwards.
class BankTest : public ::testing::Test {
protected:
    void TearDown() override;
};

// A test that loads banks from files: a scratch working folder and an owner window for the boxes.
class BankFolderTest : public BankTest {
protected:
    void SetUp() override;
    void TearDown() override;
    TempWorkFolder folder_;
    HWND owner_ = nullptr;
};
