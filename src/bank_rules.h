// What the exam refuses in a bank and what it makes of the rest, step by step: the whole text first (size,
// encoding, syntax, a top value that can hold entries), then each entry. The loader stops at the first bad entry;
// the bank checker goes on to every one. Both take these same steps, so they can never disagree.
#pragma once

#include <cstdint>
#include <string>

#include "bank_document.h"
#include "question.h"

// Parses a bank's text (as read in text mode) into a document in documentArena, after checking its size against
// `size_limit` and its encoding; a top value that cannot hold entries is refused too. Returns nullptr with
// `err_msg` set to the message the exam shows. Running out of memory throws std::bad_alloc or std::length_error.
const BankJson* ParseBankDocument(const std::string& bank_text, uint64_t size_limit, std::string& err_msg);

// What keeps one entry from becoming a Question ("\"options\" is missing."), or an empty text when nothing does.
std::string EntryProblem(const BankJson& item);

// Turns an entry that EntryProblem has passed into a Question.
void ConvertEntry(const BankJson& item, Question& q);
