// Characters as a reader sees them by Unicode's own rules (extended grapheme clusters, UAX #29), from tables
// generated at build time from Unicode's data: what finds them where the system has no implementation of its own
// (line_breaking.cpp asks the system's ICU first). Works on UTF-16 text; half a surrogate pair counts as a code
// point of its own.
#pragma once

#include <cstddef>
#include <string>

// Where the cluster that starts at text[at] ends, no further than `limit` (at < limit <= text.size()).
size_t GraphemeClusterEnd(const std::wstring& text, size_t at, size_t limit);
// The Unicode version of the tables ("15.0.0").
const char* GraphemeTablesVersion();
