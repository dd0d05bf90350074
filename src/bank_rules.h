// What the exam refuses in a bank and what it makes of the rest, in one pass over the parser's events: the whole
// text (size, encoding, syntax, a top value that can hold entries), and each entry, which becomes a Question or is
// refused with what is wrong with it. The loader stops building at the first bad entry; the bank checker goes on
// to every one. Both take these same steps, so they can never disagree.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "bank_file.h"
#include "question.h"

// Which texts of an entry the bank writes with a NUL (the exam shows them only up to it): bit 0 for
// "questionText", bit k for option k (k = 1 to 4).
constexpr unsigned NUL_IN_QUESTION_TEXT = 1;

// Receives each entry in walking order: the elements of a top-level array, or the values of a top-level object by
// key, a key given twice at its later value. `position` counts from 0; `problem` is empty when the entry became
// `question` (which the receiver may move from), otherwise it says what keeps the entry from becoming one
// ("\"options\" is missing."). Returning false asks for no more entries; the text is still read to its end, since
// a syntax error further on is what the exam reports.
using EntrySink = std::function<bool(size_t position, Question& question, const std::string& problem,
                                     unsigned nul_texts)>;

// Walks a bank's text (as read in text mode), after checking its size against `size_limit` and its encoding, and
// hands every entry to `sink`. Returns false with `err_msg` set to the message the exam shows when the text as a
// whole is refused; entries handed over before then are to be dropped. Running out of memory throws
// std::bad_alloc or std::length_error.
bool WalkBankText(const std::string& bank_text, uint64_t size_limit, const EntrySink& sink, std::string& err_msg);

// The same walk over a bank file opened with OpenBankPieces, read a piece at a time. Returns true when the text as a
// whole is sound; false when it is refused or a read failed, without saying why: only the whole text can say where,
// so a caller reads it again (ReadBankFile) and walks that to find the message.
bool WalkBankPieces(BankPieces& pieces, const EntrySink& sink);

// One run of a large bank's top-level array (its own start and end kept where it starts or ends the text, "[" and
// "]" added where it was cut), parsed on its own: its parse events are recorded in `events`, without the brackets
// added at a cut, to be walked later in the bank's order by WalkRecordedRuns. No Question is built and no text
// converted, so runs can be recorded side by side on several threads. False when the run does not parse.
bool RecordRun(const std::string& run_text, bool first, bool last, std::string& events);

// Walks the recorded runs of a bank, as WalkBankText walks its whole text: `next_run` gives each run's events in
// the bank's order, then nullptr. True when the events end a bank whose top value holds entries (every run a whole
// bank's worth has been given); the entries' problems go to `sink` as ever. Running out of memory throws
// std::bad_alloc or std::length_error.
bool WalkRecordedRuns(const std::function<const std::string*()>& next_run, const EntrySink& sink);
