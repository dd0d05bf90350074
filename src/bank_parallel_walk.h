// A large bank walked on several processors at once. Its text is cut, as it is read, into runs of whole entries of
// the top-level array, and each run is walked as an array of its own by the bank's rules (bank_rules.h), so a bank
// of 100,000 questions loads in about the time of its largest share. A cut is a guess made from a few bytes; a
// guess that falls inside a string or deeper than the top level always leaves a run that does not parse, so a bank
// taken this way is exactly the bank walked in one pass. Anything but a bank every run of which loads is left to
// that one pass, which also finds what to say about it.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

#include "question.h"

// Gives the bank's next piece of text (as read in text mode) in `piece`; false once there is none.
using PieceSource = std::function<bool(std::string_view& piece)>;

// Walks the text `next_piece` gives, cut into runs of about `run_bytes`, on `threads` threads (0: each run on the
// calling thread as soon as it is cut), and appends its questions to `questions` in the bank's order. Returns
// false, with `questions` as it was, when the bank is to be walked in one pass instead: a run that does not load
// (a bad entry, a syntax error, a wrong guess), no cut found in four runs' worth of text (a top-level object, a
// huge entry), no memory or no thread for it. No exception leaves.
bool WalkRunsSideBySide(const PieceSource& next_piece, size_t run_bytes, unsigned threads,
                        std::vector<Question>& questions);
