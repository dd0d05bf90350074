// How the importer reads a cell's words: header names and answers are compared without case or surrounding spaces,
// and written in ASCII, full-width or kana forms as exams print them.
#pragma once

#include <cstddef>
#include <string>

// The labels of Japanese exams' options, in their order.
constexpr wchar_t KANA[] = L"アイウエオカキクケコ";
constexpr size_t KANA_COUNT = sizeof KANA / sizeof KANA[0] - 1;

// A cell's text as the bank holds it. Utf8ToWide ends a text at a NUL; a cell's NUL is kept, so a cell of NULs is
// not an empty one, the exam's loader reads the text as the cell holds it, and the author is told the exam cuts it
// there.
std::wstring CellText(const std::string& cell);

// A cell's text as a header or an answer is compared: without surrounding spaces (also the full-width one) or a
// byte-order mark a spreadsheet left before the first name, full-width ASCII as ASCII, letters in lower case.
std::wstring Folded(const std::string& cell);

// Whether `text` folded as Folded folds a cell is `folded`, without making the folded text: an answer is compared
// so with every option of its row.
bool FoldsTo(const std::wstring& text, const std::wstring& folded);

// A number written in ASCII or full-width digits, up to nine of them; -1 when `text` is not one.
long SmallNumber(const std::wstring& text);

// A letter a-z (the text folded) or Ａ-Ｚ, ａ-ｚ, or a kana ア-コ, as an option's position from 0; -1 otherwise.
long LabelPosition(const std::wstring& text);

// A column as spreadsheets letter it: 1 is "A", 27 is "AA".
std::string ColumnLetters(size_t column);

// An option's label as the author's sheet writes it, from its position from 0: "A", "B", ... "AA".
std::string OptionLetter(size_t position);

// A count as a reader reads a large one: "99,990".
std::string Thousands(size_t count);

// Whether a cell holds only a spreadsheet's error value (#N/A, #DIV/0!, ...): a formula failed there.
bool IsErrorValue(const std::string& cell);

// The characters of a cell one cannot see (a CR, a no-break space, a zero-width space, ...), each named as
// "U+00A0 NO-BREAK SPACE", joined by ", "; empty when there are none.
std::string InvisibleCharacters(const std::string& cell);
