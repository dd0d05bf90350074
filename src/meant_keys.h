// What an author meant by a key or an answer the exam does not read: a key's usual other name or misspelling for
// one of the exam's, an option named by its letter.
#pragma once

#include <string>
#include <vector>

#include "json_tokens.h"

// The key the exam reads ("questionText", "options" or "correctAnswer") that `written` looks meant for, by its
// spelling or as a usual other name for it ("answer", "choices", "question"); nullptr for any other key (an
// explanation, a topic), which the exam ignores. `value_start` is the value's first byte, which tells "answers"
// given as a list from "answers" given as a number.
const char* MeantKey(const std::string& written, char value_start);

// A key the exam reads that an entry lacks, and the key written in its place that looks meant for it, if any.
struct MissingKey {
    const char* key;
    const Member* meant_by;  // into the keys given to MissingKeys; nullptr when none looks meant for it
};
// The keys the exam reads that an entry lacks, the bits `missing` of EntryVerdict::missing, in the order the exam
// names them, each with the key among `keys`, the members of an entry in `text`, that looks meant for it.
std::vector<MissingKey> MissingKeys(const std::string& text, const std::vector<Member>& keys, unsigned missing);

// The position an option's letter names, as the importer reads answers too: A to D, a to d, full-width Ａ to Ｄ, or
// the kana ア to エ; -1 for anything else.
int LetterPosition(const std::string& letter);
