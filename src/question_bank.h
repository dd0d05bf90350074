// The question bank: reading questions.json from the working folder and drawing this run's exam from it.
#pragma once

#include <windows.h>

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

// The first line of every message that refuses a bank; the rest says what is wrong.
inline constexpr char FORMAT_ERROR_PREFIX[] = "Invalid format in questions.json.\n";

// Checks a bank's bytes (as read in text mode) and turns them into questions. Returns true and fills
// `questions`, or returns false and sets `err_msg` to the UTF-8 text a bank author needs to see.
// `questions` is left untouched on failure. The text is taken by value so a caller that moves it in lets its
// memory go as soon as it is parsed.
bool ParseQuestionBank(std::string bank_text, std::vector<Question>& questions, std::string& err_msg);

// Reads questions.json from the current working folder into allQuestions. On failure the problem is shown
// in a message box owned by `window` and false is returned, with allQuestions left empty.
bool LoadQuestions(HWND window);

// Draws the exam from allQuestions into examQuestions.
void PrepareExam();
