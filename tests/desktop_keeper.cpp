// Keeps Wine's desktop process alive for a whole test run. Without a window open somewhere, Wine starts the
// desktop afresh for every test program and lets it linger about a second after the program's last window
// closes, holding CTest's output pipe all the while. It is stopped with the wineserver when the run ends.
// Once its window exists (and with it the desktop), it creates the file named on its command line, so the run
// can wait for that: a first test that started the desktop itself would have it hold that test's output open.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int) {
    CreateWindowExW(0, L"STATIC", L"desktop keeper", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    std::wstring ready_file = command_line;
    if (ready_file.size() >= 2 && ready_file.front() == L'"' && ready_file.back() == L'"')
        ready_file = ready_file.substr(1, ready_file.size() - 2);
    if (!ready_file.empty()) {
        const HANDLE file = CreateFileW(ready_file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
