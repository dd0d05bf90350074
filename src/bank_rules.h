// What the exam refuses in a bank and what it makes of the rest, in one pass over the parser's events: the whole
// text (size, encoding, syntax, a top value that can hold entries), and each entry, which becomes a Question or is
// refused with what is wrong with it. The loader stops building at the first bad entry; the bank checker goes on
// to every one. Both take these same steps, so they can never disagree.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

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

// Gives the bank's next piece of text (as read in text mode) in `piece`; false once there is none, and from then
// on. A text in memory is one piece; a file is read a piece at a time, so that only one piece is held.
using PieceSource = std::function<bool(std::string_view& piece)>;

// Walks the text `next_piece` gives and hands every entry to `sink`. True when the text as a whole is sound; false
// when it is refused (entries handed over before then are to be dropped), without saying why: only the whole text
// can say where, so a caller that read it in pieces reads it again whole for WalkBankText. Running out of memory
// throws std::bad_alloc or std::length_error.
bool WalkBank(const PieceSource& next_piece, const EntrySink& sink);

// The same walk over a text in memory, after checking its size against `size_limit`. Returns false with `err_msg`
// set to the message the exam shows when the text as a whole is refused.
bool WalkBankText(const std::string& bank_text, uint64_t size_limit, const EntrySink& sink, std::string& err_msg);
