// A large bank parsed on several processors at once. Its text is cut, as it is read, into runs of whole entries of
// the top-level array; each run is parsed as an array of its own on another thread, and the runs' parse events are
// walked in the bank's order by the bank's rules (bank_rules.h), which build the questions. A cut is a guess made
// from a few bytes; a guess that falls inside a string or deeper than the top level always leaves a run that does
// not parse, so the events walked are exactly those of the whole text. Anything but a bank every run of which parses
// and every entry of which loads is left to the walk in one pass, which also finds what to say about it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "bank_rules.h"

// Gives the bank's next piece of text (as read in text mode) in `piece`; false once there is none.
using PieceSource = std::function<bool(std::string_view& piece)>;

// Walks the text `next_piece` gives, cut into runs of about `run_bytes` and parsed on `threads` threads besides the
// calling one (0: each run parsed on the calling thread as it is needed), handing every entry to `sink` in the
// bank's order as WalkBankText does. Returns false when the bank is to be walked in one pass instead: a run that
// does not parse (a syntax error, a wrong guess), no cut found in four runs' worth of text (a top-level object, a
// huge entry), no memory or no thread for it; what the sink was handed is then to be forgotten. No exception leaves.
bool WalkRunsSideBySide(const PieceSource& next_piece, size_t run_bytes, unsigned threads, const EntrySink& sink);

// How many threads parse a bank's runs beside the one that walks them: one fewer than the processors, when there is
// more than one and the text (of `text_bytes`) holds at least ten runs' worth; 0 for a walk in one pass.
unsigned SideBySideThreads(uint64_t text_bytes, size_t run_bytes);
