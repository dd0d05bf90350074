// What an author slipped on where a bank is refused: the place found again in the text, the line shown with a mark
// under it, and a note in plain words naming what is there (a character by its code point and name, bytes that are
// not UTF-8 by their values and what they read as) and what to do. Only the checker uses this, and only for a bank
// it has to report, so none of it costs a good bank anything.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "json_tokens.h"

// A slip found at a place in the text.
struct Slip {
    bool found = false;           // false when the message names no place that can be found in the text
    size_t offset = 0;            // the byte marked
    size_t line = 0, column = 0;  // its place, from 1; the column in characters, as editors count
    std::string marked;           // MarkedLine at the place
    std::string note;             // what was found and what to do
};

// The slip behind the place where the JSON reader stopped, `stop`, in `text`, the bank as read in text mode and
// named `name` (for the command the note may suggest).
Slip FindSlip(const std::string& text, const ReaderStop& stop, const std::string& name);

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

// A member of a question object as written: its key, where the key's quote is, and where its value starts.
struct WrittenKey {
    std::string key;
    size_t offset;
    char value_start;     // the value's first byte
    size_t value_offset;
};
// The members of the object whose "{" is at byte `entry_offset`; none when something else is there. The text's
// syntax must be sound up to the end of that object.
std::vector<WrittenKey> EntryKeys(const std::string& text, size_t entry_offset);

// A key the exam reads that an entry lacks, and the key written in its place that looks meant for it, if any.
struct MissingKey {
    const char* key;
    unsigned bit;                // its bit of EntryVerdict::missing
    const WrittenKey* meant_by;  // into the keys given to MissingKeys; nullptr when none looks meant for it
};
// Where element `index` (from 0) of the list whose "[" is at `list_offset` starts; npos when there is none.
size_t ElementOffset(const std::string& text, size_t list_offset, size_t index);

// The keys the exam reads that an entry lacks, the bits `missing` of EntryVerdict::missing, in the order the exam
// names them, each with the key among `keys` that looks meant for it.
std::vector<MissingKey> MissingKeys(const std::vector<WrittenKey>& keys, unsigned missing);

// The key the exam reads ("questionText", "options" or "correctAnswer") that `written` looks meant for, by its
// spelling or as a usual other name for it ("answer", "choices", "question"); nullptr for any other key (an
// explanation, a topic), which the exam ignores. `value_start` is the value's first byte, which tells "answers"
// given as a list from "answers" given as a number.
const char* MeantKey(const std::string& written, char value_start);

// The position an option's letter names, as the importer reads answers too: A to D, a to d, full-width Ａ to Ｄ, or
// the kana ア to エ; -1 for anything else.
int LetterPosition(const std::string& letter);
