// Where an entry the exam refuses is at fault in the bank's text, and what to write there: the value a key holds,
// an option in its list, a key that looks meant for a missing one, options written as keys of their own. Only the
// checker uses this, and only for an entry it reports.
#pragma once

#include <cstddef>
#include <string>

#include "bank_rules.h"

// The place of an entry's fault and its words, which say what is wrong and what to write.
struct EntrySlip {
    size_t offset;  // the byte to mark
    std::string words;
};

// The slip behind `verdict` (for a missing key, that key alone) in the entry whose value starts at `entry_offset`
// of `text`, a text whose syntax is sound.
EntrySlip FindEntrySlip(const std::string& text, size_t entry_offset, const EntryVerdict& verdict);
