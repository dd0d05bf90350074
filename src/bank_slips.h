// What an author slipped on where a bank is refused: the place found again in the text, the line shown with a mark
// under it, and a note in plain words naming what is there (a character by its code point and name, bytes that are
// not UTF-8 by their values and what they read as) and what to do. Only the checker uses this, and only for a bank
// it has to report, so none of it costs a good bank anything.
#pragma once

#include <cstddef>
#include <string>

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
