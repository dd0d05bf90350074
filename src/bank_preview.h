// The bank checker's preview: a question of a bank in the exam's own window, drawn by the exam's own code, so its
// author sees it as a candidate would, with its number in the bank and its right option marked; Previous and Next
// go through the whole bank in file order.
#pragma once

#include <cstddef>
#include <string>

struct BankPreview {
    size_t questions = 0;  // in the bank, as the exam reads it
    bool shown = false;    // the window was opened on the question asked for, and has been closed
    int status = 0;        // what the window ended with, when it was shown
    std::string problem;   // UTF-8: why the bank could not be read as the exam reads it, when it could not
};

// Reads the bank at `path` as the exam does and, when `number` (counted from 1) is one of its questions, shows that
// question in the exam's window until the window is closed.
BankPreview PreviewBank(const std::wstring& path, size_t number);
