// Places in a bank's text as an author finds them: line numbers, columns counted in characters as editors count
// them, and a line shown with "^" under a place. The checker's errors and notes all take their places from here.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// The character at byte `at`, as strict as the JSON reader: an overlong form, a surrogate or a cut sequence is not
// UTF-8. `length` is its bytes, 1 for a byte that is not UTF-8 (NOT_UTF8), which counts as one character.
char32_t CharacterAt(const std::string& text, size_t at, size_t& length);

// Where the line that holds byte `offset` starts, where it ends (its line feed, or the text's end), and its number
// from 1.
size_t LineStart(const std::string& text, size_t offset);
size_t LineEnd(const std::string& text, size_t offset);
size_t LineNumber(const std::string& text, size_t offset);

// The line and the column (in bytes, as the JSON library counts them), both from 1, of each offset into `text`.
std::vector<std::pair<size_t, size_t>> LinesAndColumns(const std::string& text, const std::vector<size_t>& offsets);

// The column, from 1, of byte `offset` on the line that starts at byte `line_start`, in characters as editors count
// them: a character is one however many bytes it takes, a byte that is not UTF-8 is one, a byte-order mark none.
size_t CharacterColumn(const std::string& text, size_t line_start, size_t offset);

// The same for a place given as the JSON reader gives it: line `line` (from 1) and byte `byte_column` on it (from 1).
size_t CharacterColumnAt(const std::string& text, size_t line, size_t byte_column);

// The line that holds byte `offset`, line number `line` (the caller knows it: counting it here would read the text
// from its start for each note), as shown under a problem, in two lines: its number and its text (tabs expanded,
// controls and bytes that are not UTF-8 shown as symbols, shortened with "…" around the place when long), then "^"
// under the place, aligned for characters that take two columns.
std::string MarkedLine(const std::string& text, size_t offset, size_t line);
