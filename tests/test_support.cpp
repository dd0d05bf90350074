// Test helpers: scratch folders, whole files, windows read and message boxes dismissed through the real Win32
// windows, and programs started and waited for.
#include "test_support.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>

#include "system_icon_name.h"

TempWorkFolder::TempWorkFolder() {
    wchar_t temp_dir[MAX_PATH];
    GetTempPathW(MAX_PATH, temp_dir);
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    previous_dir_ = cwd;
    static unsigned serial = 0;
    for (;;) {
        path_ = std::wstring(temp_dir) + L"tessavon-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++serial);
        if (CreateDirectoryW(path_.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create a temporary folder");
    }
    SetCurrentDirectoryW(path_.c_str());
}

TempWorkFolder::~TempWorkFolder() {
    SetCurrentDirectoryW(previous_dir_.c_str());
    // SHFileOperation wants a double-NUL-terminated list.
    std::wstring from = path_ + L'\0';
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

void TempWorkFolder::Write(const std::wstring& name, const std::string& bytes) const {
    if (!WriteWholeFile(path_ + L"\\" + name, bytes)) throw std::runtime_error("cannot write a test file");
}

std::string ReadWholeFile(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    DWORD got = 0;
    while (done < bytes.size() &&
           ReadFile(file, &bytes[done], static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30)), &got,
                    nullptr) &&
           got > 0)
        done += got;
    bytes.resize(done);
    CloseHandle(file);
    return bytes;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) break;
        done += written;
    }
    CloseHandle(file);
    return done == bytes.size();
}

std::wstring HostPathForWindows(const std::string& host_path) {
    using DosName = LPWSTR(CDECL*)(LPCSTR);
    const auto to_dos = reinterpret_cast<DosName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (to_dos) {
        if (LPWSTR dos = to_dos(host_path.c_str())) {
            std::wstring path = dos;
            HeapFree(GetProcessHeap(), 0, dos);
            return path;
        }
    }
    return std::wstring(host_path.begin(), host_path.end());
}

std::wstring OwnExeFolder() {
    wchar_t own_path[MAX_PATH];
    GetModuleFileNameW(nullptr, own_path, MAX_PATH);
    std::wstring path = own_path;
    path.resize(path.find_last_of(L'\\'));
    return path;
}

std::wstring ProductExePath() {
    std::wstring path = OwnExeFolder();     // build\tests
    path.resize(path.find_last_of(L'\\'));  // build
    return path + L"\\tessavon.exe";
}

std::wstring CheckerExePath() {
    const std::wstring product = ProductExePath();
    return product.substr(0, product.find_last_of(L'\\')) + L"\\tessavon-check.exe";
}

std::wstring ClassNameOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring WindowTextOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, &text[0], length + 1)));
    return text;
}

std::vector<HWND> ProcessWindows(DWORD pid, const wchar_t* window_class, bool visible_only) {
    struct Search {
        DWORD pid;
        const wchar_t* window_class;
        bool visible_only;
        std::vector<HWND> found;
    } search = {pid, window_class, visible_only, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner_pid = 0;
            GetWindowThreadProcessId(window, &owner_pid);
            if (owner_pid == s->pid && (!s->visible_only || IsWindowVisible(window)) &&
                ClassNameOf(window) == s->window_class)
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForProcessWindow(DWORD pid, const wchar_t* window_class, DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    do {
        const std::vector<HWND> found = ProcessWindows(pid, window_class, true);
        if (!found.empty()) return found.front();
        Sleep(10);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

bool MessageBoxSeen::operator==(const MessageBoxSeen& other) const {
    return caption == other.caption && text == other.text && icon == other.icon && buttons == other.buttons &&
           owner == other.owner;
}

std::ostream& operator<<(std::ostream& out, const MessageBoxSeen& box) {
    out << "box \"" << WideToUtf8(box.caption) << "\" saying \"" << WideToUtf8(box.text) << "\", icon "
        << WideToUtf8(box.icon) << ", buttons";
    for (const std::wstring& button : box.buttons) out << " [" << WideToUtf8(button) << "]";
    return out << ", owner " << box.owner;
}

MessageBoxSeen ErrorBox(const std::wstring& caption, const std::wstring& text, HWND owner) {
    return {caption, text, L"error", {L"OK"}, owner};
}

MessageBoxSeen ReadMessageBox(HWND box) {
    MessageBoxSeen seen;
    seen.caption = WindowTextOf(box);
    seen.owner = GetWindow(box, GW_OWNER);
    seen.icon = L"none";
    // The message is the static control with id 0xFFFF; the icon is a static with SS_ICON.
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring cls = ClassNameOf(child);
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (_wcsicmp(cls.c_str(), L"Button") == 0 && (style & WS_VISIBLE)) {
            seen.buttons.push_back(WindowTextOf(child));
        } else if (_wcsicmp(cls.c_str(), L"Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON)
                seen.icon = SystemIconName(reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)));
            else if (GetDlgCtrlID(child) == 0xFFFF)
                seen.text = WindowTextOf(child);
        }
    }
    return seen;
}

void PressOk(HWND box) {
    HWND ok = GetDlgItem(box, IDOK);
    if (ok)
        PostMessageW(ok, BM_CLICK, 0, 0);
    else
        PostMessageW(box, WM_COMMAND, IDOK, 0);
}

namespace {

std::vector<MessageBoxSeen>* boxes_being_captured = nullptr;
const wchar_t ANSWERED[] = L"TessavonTestAnswered";

// Reads the box and queues the click on OK for its modal loop, once per box. The mark is a property of the box
// itself, so a later box that gets the same handle is still answered.
void Answer(HWND box) {
    if (GetPropW(box, ANSWERED)) return;
    SetPropW(box, ANSWERED, reinterpret_cast<HANDLE>(1));
    boxes_being_captured->push_back(ReadMessageBox(box));
    PressOk(box);
}

// A message box is complete when it is activated: answer it then.
LRESULT CALLBACK CaptureHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && boxes_being_captured) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (ClassNameOf(window) == MESSAGE_BOX_CLASS) Answer(window);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK AnswerIfVisibleBox(HWND window, LPARAM) {
    if (IsWindowVisible(window) && ClassNameOf(window) == MESSAGE_BOX_CLASS) Answer(window);
    return TRUE;
}

// A box that is shown but never activated (Wine can leave the activation elsewhere) would wait for ever; the box's
// modal loop runs this timer, which answers any box of the thread that is on screen.
void CALLBACK AnswerUnactivatedBoxes(HWND, UINT, UINT_PTR, DWORD) {
    if (boxes_being_captured) EnumThreadWindows(GetCurrentThreadId(), AnswerIfVisibleBox, 0);
}

}  // namespace

std::vector<MessageBoxSeen> CaptureMessageBoxes(const std::function<void()>& action) {
    std::vector<MessageBoxSeen> boxes;
    boxes_being_captured = &boxes;
    HHOOK hook = SetWindowsHookExW(WH_CBT, CaptureHook, nullptr, GetCurrentThreadId());
    const UINT_PTR timer = SetTimer(nullptr, 0, 2000, AnswerUnactivatedBoxes);
    const auto stop = [&] {
        KillTimer(nullptr, timer);
        UnhookWindowsHookEx(hook);
        boxes_being_captured = nullptr;
    };
    try {
        action();
    } catch (...) {
        stop();
        throw;
    }
    stop();
    return boxes;
}

RunningProgram::RunningProgram(const std::wstring& exe_path, const std::wstring& work_dir, WORD show_command,
                               const std::wstring& arguments) {
    std::wstring command_line = L"\"" + exe_path + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (show_command != SW_SHOWDEFAULT) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = show_command;
    }
    if (!CreateProcessW(exe_path.c_str(), &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, work_dir.c_str(),
                        &startup, &process_)) {
        process_ = {};
    }
}

RunningProgram::~RunningProgram() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool RunningProgram::WaitForExit(DWORD& exit_status) {
    if (!process_.hProcess) return false;
    if (WaitForSingleObject(process_.hProcess, EXIT_TIMEOUT_MS) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 5000);
        return false;
    }
    GetExitCodeProcess(process_.hProcess, &exit_status);
    return true;
}

bool RunForOutput(const std::wstring& exe_path, const std::wstring& arguments, const std::wstring& work_dir,
                  std::string& output, DWORD& exit_status) {
    output.clear();
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inheritable, 0)) return false;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    std::wstring command_line = L"\"" + exe_path + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = startup.hStdError = write_end;
    PROCESS_INFORMATION process = {};
    const bool started = CreateProcessW(exe_path.c_str(), &command_line[0], nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, work_dir.c_str(), &startup, &process);
    // Only the child holds the write end now, so the pipe ends when the child does.
    CloseHandle(write_end);
    if (!started) {
        CloseHandle(read_end);
        return false;
    }
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) output.append(buffer, got);
    CloseHandle(read_end);
    const bool ended = WaitForSingleObject(process.hProcess, EXIT_TIMEOUT_MS) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.hProcess, 1);
    GetExitCodeProcess(process.hProcess, &exit_status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
}

void ExpectEndsWithStatusZero(RunningProgram& program, const char* cause) {
    DWORD status = 1;
    ASSERT_TRUE(program.WaitForExit(status)) << "the program did not end after " << cause;
    EXPECT_EQ(status, 0u) << "exit status after " << cause;
}

void CloseAndExpectStatusZero(RunningProgram& program, HWND window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    ExpectEndsWithStatusZero(program, "WM_CLOSE");
}

std::string WideToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring WidenAscii(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string Printable(const std::string& bytes, size_t limit) {
    std::string out;
    static const char HEX[] = "0123456789ABCDEF";
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            out += "\\x";
            out.push_back(HEX[c >> 4]);
            out.push_back(HEX[c & 15]);
        }
    }
    if (bytes.size() > limit) out += "... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}
