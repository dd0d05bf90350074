// What the console tools for bank authors share of the console: printing in Unicode, and keeping a console window
// open that was made for the tool alone.
#pragma once

#include <windows.h>

#include <string>

// Prints `utf8` to the standard handle `which` (STD_OUTPUT_HANDLE, STD_ERROR_HANDLE): UTF-16 to a console, which
// shows it whatever its code page; the UTF-8 bytes to a file or a pipe, which is what editors and CI jobs read.
void Print(DWORD which, const std::string& utf8);

// Whether the console is this process's alone: Windows made it for the tool, started from Explorer (a file dropped
// on it, say), and closes it as soon as the tool ends. False in a command prompt or with no console at all.
bool OwnsConsole();

// Says "Press a key to close this window." and waits for a key, when the keyboard is the console's.
void WaitForKey();
