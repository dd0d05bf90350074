// Keeps Wine's desktop process alive for a whole test run. Without a window open somewhere, Wine starts the
// desktop afresh for every test program and lets it linger about a second after the program's last window
// closes, holding CTest's output pipe all the while. It is stopped with the wineserver when the run ends.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CreateWindowExW(0, L"STATIC", L"desktop keeper", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
