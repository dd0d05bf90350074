// The program's frame: the entry point, the one main window, its fonts and controls, and message routing.
#pragma once

#include <windows.h>

extern const wchar_t CLASS_NAME[];

// Owned by the main window: created while it is created, deleted when it is destroyed.
extern HFONT hFontNormal;
extern HFONT hFontBold;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
