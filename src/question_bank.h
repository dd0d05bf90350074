// The question bank: reading questions.json from the working folder and drawing this run's exam from it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "utf8_decoding.h"

// One exam question. correctAnswer is read from the bank and kept, but nothing grades with it.
struct Question {
    std::wstring questionText;
    std::vector<std::wstring> options;
    int correctAnswer = 0;
};

// Every entry of the bank, in the order the loader walks them.
extern std::vector<Question> allQuestions;
// This run's exam: copies of at most EXAM_QUESTION_LIMIT bank entries, in random order.
extern std::vector<Question> examQuestions;

constexpr int EXAM_QUESTION_LIMIT = 60;

// The largest bank read, in bytes. Loading takes four to ten times the bank's size in memory at its peak, so a
// bank at the limit still fits a PC with a few GB free; 256 MB is half a million questions of usual length.
constexpr uint64_t BANK_SIZE_LIMIT = 256ull << 20;

// The first line of every message that refuses what a bank holds (its syntax, encoding or shape); the rest says
// what is wrong. A bank refused for its size, or for the memory it needs, is told so in words of their own.
inline constexpr char FORMAT_ERROR_PREFIX[] = "Invalid format in questions.json.\n";

// Checks a bank's bytes (as read in text mode) and turns them into questions. Returns true and fills
// `questions`, or returns false and sets `err_msg` to the UTF-8 text a bank author needs to see: a text longer
// than `size_limit` bytes, or one that does not fit in memory, is refused too. `questions` is left untouched on
// failure, and no exception leaves. The text is taken by value so a caller that moves it in lets its memory go as
// soon as it is no longer needed.
bool ParseQuestionBank(std::string bank_text, std::vector<Question>& questions, std::string& err_msg,
                       uint64_t size_limit = BANK_SIZE_LIMIT);

// Reads questions.json from the current working folder into allQuestions. On failure the problem is shown
// in a message box owned by `window` and false is returned, with allQuestions left empty. No exception leaves.
bool LoadQuestions(HWND window);

// Draws the exam from allQuestions into examQuestions.
void PrepareExam();
