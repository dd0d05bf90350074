// Helpers shared by the test programs: a scratch working folder with real files in it, reading windows and
// dismissing the message boxes the program shows, as a user would see them, and starting a program and waiting
// for it to end.
#pragma once

#include <windows.h>

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// Bounds for everything the tests wait for; generous, because Wine on a busy machine can be slow.
constexpr DWORD WINDOW_TIMEOUT_MS = 20000;
constexpr DWORD EXIT_TIMEOUT_MS = 20000;

// The system's class for dialog boxes, message boxes among them.
constexpr wchar_t MESSAGE_BOX_CLASS[] = L"#32770";

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

// The whole file, bytes unchanged; empty when it cannot be read.
std::string ReadWholeFile(const std::wstring& path);
// Replaces or creates the file with exactly `bytes`. Returns false when it cannot be written.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);

// A path of the build machine's (one the build passes in) as Windows sees it: under Wine, the drive path Windows
// programs use; elsewhere unchanged.
std::wstring HostPathForWindows(const std::string& host_path);

// The folder this test program's .exe lies in, without a trailing backslash.
std::wstring OwnExeFolder();
// build\tessavon.exe, found from the test program's own location (build\tests\*.exe).
std::wstring ProductExePath();
// build\tessavon-check.exe, the bank checker, found the same way.
std::wstring CheckerExePath();

// A window's class name and its text (GetWindowText: a control's text, a top-level window's title).
std::wstring ClassNameOf(HWND window);
std::wstring WindowTextOf(HWND window);

// Top-level windows of process `pid` with class `window_class`, in z-order; only the visible ones when
// `visible_only`.
std::vector<HWND> ProcessWindows(DWORD pid, const wchar_t* window_class, bool visible_only);
// The first visible top-level window of process `pid` with class `window_class`, polled until one appears or
// `timeout_ms` passes. Returns nullptr on timeout.
HWND WaitForProcessWindow(DWORD pid, const wchar_t* window_class, DWORD timeout_ms);

// What a user can see of a message box.
struct MessageBoxSeen {
    std::wstring caption;
    std::wstring text;
    std::wstring icon;  // "error", "information", "warning", "question", "none" or "other"
    std::vector<std::wstring> buttons;
    HWND owner = nullptr;  // not ours: the window the box belongs to
    bool operator==(const MessageBoxSeen& other) const;
};
std::ostream& operator<<(std::ostream& out, const MessageBoxSeen& box);

// How the program reports a failure: `text` under `caption`, the error icon, a single OK button, owned by `owner`.
MessageBoxSeen ErrorBox(const std::wstring& caption, const std::wstring& text, HWND owner);

// Reads a message box's caption, text, icon, buttons and owner.
MessageBoxSeen ReadMessageBox(HWND box);
// Presses the box's OK button the way a click would.
void PressOk(HWND box);

// Runs `action` on this thread; every message box it opens on this thread is read and dismissed with OK.
std::vector<MessageBoxSeen> CaptureMessageBoxes(const std::function<void()>& action);

// A program started for a test, in a working folder of the test's choosing. The destructor terminates it if it
// is still running, so a hung program never outlives its test.
class RunningProgram {
public:
    // `show_command` is what a shortcut's "Run: Maximized/Minimized" setting hands the program (SW_...);
    // SW_SHOWDEFAULT passes none, as when started from a command line, which holds `arguments` after the program.
    RunningProgram(const std::wstring& exe_path, const std::wstring& work_dir, WORD show_command = SW_SHOWDEFAULT,
                   const std::wstring& arguments = L"");
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const { return process_.hProcess != nullptr; }
    DWORD pid() const { return process_.dwProcessId; }
    HANDLE handle() const { return process_.hProcess; }
    bool Running() const { return started() && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
    // Waits up to EXIT_TIMEOUT_MS for the program to end. Returns true and its exit status when it ended;
    // otherwise terminates it and returns false.
    bool WaitForExit(DWORD& exit_status);

private:
    PROCESS_INFORMATION process_ = {};
};

// Runs `exe_path` with `arguments` in `work_dir` and waits up to EXIT_TIMEOUT_MS for it to end; `output` gets the
// bytes it wrote to its standard output and standard error, as a file or a pipe receives them. Returns false when
// it could not be started or did not end (it is then terminated).
bool RunForOutput(const std::wstring& exe_path, const std::wstring& arguments, const std::wstring& work_dir,
                  std::string& output, DWORD& exit_status);

// Waits for the program to end and expects exit status 0; `cause` names what should have ended it.
void ExpectEndsWithStatusZero(RunningProgram& program, const char* cause);
// Closes `window` as its close box would (WM_CLOSE) and expects the program to end with status 0.
void CloseAndExpectStatusZero(RunningProgram& program, HWND window);

std::string WideToUtf8(const std::wstring& text);
// `bytes` with everything outside printable ASCII written as \xNN, for failure messages.
std::string Printable(const std::string& bytes, size_t limit = 2000);
// ASCII `text` as a wide string, for expected texts built from the program's narrow constants.
std::wstring WidenAscii(const std::string& text);
