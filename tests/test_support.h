// Helpers shared by the test programs: a scratch working folder with real files in it, and reading and
// dismissing the message boxes the program shows, as a user would see them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A fresh empty folder under %TEMP% that becomes the current directory; removed again with its files.
class TempWorkFolder {
public:
    TempWorkFolder();
    ~TempWorkFolder();
    TempWorkFolder(const TempWorkFolder&) = delete;
    TempWorkFolder& operator=(const TempWorkFolder&) = delete;

    const std::wstring& path() const { return path_; }
    // Writes `bytes` unchanged (binary) to `name` inside the folder.
    void Write(const std::wstring& name, const std::string& bytes) const;

private:
    std::wstring path_;
    std::wstring previous_dir_;
};

// What a user can see of a message box.
struct MessageBoxSeen {
    std::wstring caption;
    std::wstring text;
    std::wstring icon;  // "error", "information", "warning", "question", "none" or "other"
    std::vector<std::wstring> buttons;
    HWND owner = nullptr;  // not ours: the window the box belongs to
};

// Reads a message box's caption, text, icon, buttons and owner.
MessageBoxSeen ReadMessageBox(HWND box);
// Presses the box's OK button the way a click would.
void PressOk(HWND box);

// Runs `action` on this thread; every message box it opens on this thread is read and dismissed with OK.
std::vector<MessageBoxSeen> CaptureMessageBoxes(const std::function<void()>& action);

// Top-level visible windows of process `pid` with class `window_class`, polled until one appears or
// `timeout_ms` passes. Returns nullptr on timeout.
HWND WaitForProcessWindow(DWORD pid, const wchar_t* window_class, DWORD timeout_ms);

// A program started for a test, in a working folder of the test's choosing. The destructor terminates it if it
// is still running, so a hung program never outlives its test.
class RunningProgram {
public:
    // `show_command` is what a shortcut's "Run: Maximized/Minimized" setting hands the program (SW_...);
    // SW_SHOWDEFAULT passes none, as when started from a command line.
    RunningProgram(const std::wstring& exe_path, const std::wstring& work_dir, WORD show_command = SW_SHOWDEFAULT);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const { return process_.hProcess != nullptr; }
    DWORD pid() const { return process_.dwProcessId; }
    HANDLE handle() const { return process_.hProcess; }
    // Waits up to `timeout_ms` for the program to end. Returns true and its exit status when it ended;
    // otherwise terminates it and returns false.
    bool WaitForExit(DWORD timeout_ms, DWORD& exit_status);

private:
    PROCESS_INFORMATION process_ = {};
};

// build\tessavon.exe, found from the test program's own location (build\tests\*.exe).
std::wstring ProductExePath();

std::string WideToUtf8(const std::wstring& text);
