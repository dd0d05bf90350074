// One exam question and the bank's fixed limits: the record every layer shares, so it depends on nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One exam question. correctAnswer is read from the bank and kept, but nothing grades with it.
struct Question {
    std::wstring questionText;
    std::vector<std::wstring> options;
    int correctAnswer = 0;
};

// The most questions one exam holds.
constexpr int EXAM_QUESTION_LIMIT = 60;

// The largest bank read, in bytes. Loading takes about twice the bank's size in memory at its peak (its questions
// and a piece of the file), so a bank at the limit still fits a PC with a few GB free; 256 MB is half a million
// questions of usual length.
constexpr uint64_t BANK_SIZE_LIMIT = 256ull << 20;
