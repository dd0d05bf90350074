// The console tools' output. Written in pieces a console of any Windows version takes.
#include "console_output.h"

#include <algorithm>

#include "utf8_decoding.h"

void Print(DWORD which, const std::string& utf8) {
    const HANDLE out = GetStdHandle(which);
    DWORD mode = 0, done = 0;
    constexpr size_t PIECE = 8192;
    if (GetConsoleMode(out, &mode)) {
        const std::wstring wide = Utf8ToWide(utf8);
        for (size_t at = 0; at < wide.size(); at += PIECE)
            WriteConsoleW(out, wide.data() + at, static_cast<DWORD>(std::min(PIECE, wide.size() - at)), &done,
                          nullptr);
    } else {
        for (size_t at = 0; at < utf8.size(); at += PIECE)
            WriteFile(out, utf8.data() + at, static_cast<DWORD>(std::min(PIECE, utf8.size() - at)), &done, nullptr);
    }
}

bool OwnsConsole() {
    DWORD processes[2] = {};
    return GetConsoleProcessList(processes, 2) == 1;
}

void WaitForKey() {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    // Input from a file or a pipe has no key to wait for.
    if (!GetConsoleMode(in, &mode)) return;
    Print(STD_OUTPUT_HANDLE, "Press a key to close this window.\n");
    FlushConsoleInputBuffer(in);
    INPUT_RECORD record = {};
    DWORD read = 0;
    while (ReadConsoleInputW(in, &record, 1, &read) && read == 1) {
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return;
    }
}
