// Synthetic question banks of any size, for the large-bank tests and the benchmark. Entries look like a real
// bank's: questions of 100-300 bytes, four options of 20-80 bytes, about one entry in four in Japanese, now and
// then a character that needs escaping, written pretty-printed the way the sample bank is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// SplitMix64: small, fast and good enough to pick words and mutations; the same state gives the same numbers on
// every machine.
struct SplitMix64 {
    uint64_t state;
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform enough below `n` (> 0) for test data.
    size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }
};

// One generated entry, its texts as UTF-8 before any JSON escaping.
struct GeneratedEntry {
    std::string questionText;
    std::vector<std::string> options;
    int correctAnswer = 0;
};

// Entry `index` of every bank made with `seed`: the same seed and index always give the same entry, so a test
// can check any position of a huge bank without keeping the whole bank's texts.
GeneratedEntry GenerateEntry(uint32_t seed, size_t index);

// The bytes of a bank holding entries 0 .. count-1 of `seed`.
std::string GenerateBank(uint32_t seed, size_t count);

// `text` as a JSON string literal (with its quotes): quotes, backslashes and control characters escaped; when
// `ascii_only`, everything beyond ASCII is written as \u escapes (surrogate pairs above U+FFFF), as some editors
// save files.
std::string JsonStringLiteral(const std::string& text, bool ascii_only);
