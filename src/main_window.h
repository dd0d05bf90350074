// The program's frame: the entry point, the one main window, its fonts and controls, and message routing.
#pragma once

#include <windows.h>

// The main window's class; the UI tests find the window by it.
inline constexpr wchar_t CLASS_NAME[] = L"Sample Window Class";

// Owned by the main window: created while it is created, deleted when it is destroyed.
extern HFONT hFontNormal;
extern HFONT hFontBold;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
