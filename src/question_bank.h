// The question bank: reading questions.json from the working folder and drawing this run's exam from it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "question.h"

// Every entry of the bank, in the order the loader walks them.
extern std::vector<Question> allQuestions;
// This run's exam: copies of at most EXAM_QUESTION_LIMIT bank entries, in random order.
extern std::vector<Question> examQuestions;

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
