// The program's frame: the entry point, the one main window, its fonts and controls, and message routing.
#pragma once

#include <windows.h>

#include <vector>

#include "question.h"

// The main window's class; the UI tests find the window by it.
inline constexpr wchar_t CLASS_NAME[] = L"Sample Window Class";

// Owned by the main window: created while it is created, deleted when it is destroyed.
extern HFONT hFontNormal;
extern HFONT hFontBold;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// What the window starts with when it shows a bank to its author instead of running the exam.
struct PreviewStart {
    std::vector<Question> questions;  // the whole bank in file order; the window takes them
    int first = 0;                    // 0-based position of the question shown first
};

// Opens the main window, shown with `show_command`, and runs it until it is closed; returns the exit status. Without
// `preview` it is the exam, drawn from questions.json; with it, the same window and page on the preview's questions,
// each with its right option marked, and no countdown.
int RunMainWindow(HINSTANCE instance, int show_command, PreviewStart* preview);
