// The bank checker's rules: every problem of a bank at once, so an author fixes a bank in one pass. Errors are what
// the exam refuses, in its words and from its code (bank_rules.h); warnings are what the exam accepts but a
// candidate would trip over.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Checks a bank's text (as read in text mode) and appends to `lines` one line per problem, in the form editors
// and CI jobs read: "NAME:LINE:COLUMN: error: ..." or "NAME:LINE:COLUMN: warning: ...", where NAME is `name` as
// given; a problem of the whole file has no line and column. Sets `questions` to the number of entries walked.
// Returns false when the bank could not be checked at all (no memory for it): `lines` then says so.
bool CheckBank(const std::string& name, std::string bank_text, std::vector<std::string>& lines, size_t& questions,
               size_t& errors, size_t& warnings);
