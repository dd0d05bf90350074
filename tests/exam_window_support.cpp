// Driving the exam program's window from the test process; see exam_window_support.h.
#include "exam_window_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include <nlohmann/json.hpp>

std::string BankJson(const std::vector<BankEntry>& entries) {
    nlohmann::json bank = nlohmann::json::array();
    int answer = 0;
    for (const BankEntry& entry : entries)
        bank.push_back({{"questionText", entry.question}, {"options", entry.options}, {"correctAnswer", answer++ % 4}});
    return bank.dump(1);
}

std::vector<BankEntry> NumberedBank(int count) {
    std::vector<BankEntry> bank;
    for (int k = 1; k <= count; ++k) {
        const std::string n = std::to_string(k);
        bank.push_back({"Bank entry " + n, {n + " A", n + " B", n + " C", n + " D"}});
    }
    return bank;
}

bool QuestionView::operator==(const QuestionView& other) const {
    return number == other.number && question == other.question && options == other.options && checked == other.checked;
}

std::ostream& operator<<(std::ostream& out, const QuestionView& view) {
    out << "[" << WideToUtf8(view.number) << "] \"" << WideToUtf8(view.question) << "\"";
    for (size_t k = 0; k < 4; ++k)
        out << " (" << (view.checked[k] ? "x" : " ") << ") \"" << WideToUtf8(view.options[k]) << "\"";
    return out;
}

int ExpectShowsEntry(const QuestionView& view, const std::vector<BankEntry>& bank) {
    const std::string question = WideToUtf8(view.question);
    const auto found =
        std::find_if(bank.begin(), bank.end(), [&](const BankEntry& entry) { return entry.question == question; });
    if (found == bank.end()) {
        ADD_FAILURE() << "the question on show is no bank entry: " << view;
        return -1;
    }
    for (size_t k = 0; k < 4; ++k) {
        const std::string expected = k < found->options.size() ? found->options[k] : std::string();
        EXPECT_EQ(WideToUtf8(view.options[k]), expected) << "option row " << k + 1 << " of " << view;
    }
    return static_cast<int>(found - bank.begin());
}

ExamProgram::ExamProgram(const std::optional<std::string>& bank, WORD show_command,
                         const std::wstring& checker_arguments) {
    if (bank) folder_.Write(L"questions.json", *bank);
    started_at_ = GetTickCount64();
    const std::wstring exe = checker_arguments.empty() ? ProductExePath() : CheckerExePath();
    program_ = std::make_unique<RunningProgram>(exe, folder_.path(), show_command, checker_arguments);
    if (!program_->started()) ADD_FAILURE() << "could not start " << WideToUtf8(exe);
}

HWND ExamProgram::WaitForMainWindow() {
    window_ = program_->started() ? WaitForProcessWindow(pid(), CLASS_NAME, WINDOW_TIMEOUT_MS) : nullptr;
    return window_;
}

HWND ExamProgram::WaitForMessageBox() const {
    return program_->started() ? WaitForProcessWindow(pid(), MESSAGE_BOX_CLASS, WINDOW_TIMEOUT_MS) : nullptr;
}

std::vector<HWND> ExamProgram::TopLevelWindows(const wchar_t* window_class) const {
    return ProcessWindows(pid(), window_class, false);
}

LRESULT ExamProgram::Send(UINT message, WPARAM wParam, LPARAM lParam, HWND to) const {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(to ? to : window_, message, wParam, lParam, SMTO_NORMAL, WINDOW_TIMEOUT_MS, &answer))
        ADD_FAILURE() << "the program did not answer message 0x" << std::hex << message;
    return static_cast<LRESULT>(answer);
}

std::wstring ExamProgram::Text(int id) const {
    const HWND control = Control(id);
    std::wstring text(static_cast<size_t>(Send(WM_GETTEXTLENGTH, 0, 0, control)) + 1, L'\0');
    text.resize(static_cast<size_t>(Send(WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), control)));
    return text;
}

void ExamProgram::Click(int id) const {
    Send(BM_CLICK, 0, 0, Control(id));
}

bool ExamProgram::Checked(int id) const {
    return Send(BM_GETCHECK, 0, 0, Control(id)) == BST_CHECKED;
}

QuestionView ExamProgram::View() const {
    QuestionView view;
    view.number = Text(IDC_QUESTION_NUMBER);
    view.question = Text(IDC_QUESTION_TEXT);
    for (size_t k = 0; k < 4; ++k) {
        view.options[k] = Text(OPTION_IDS[k]);
        view.checked[k] = Checked(OPTION_IDS[k]);
    }
    return view;
}

void ExamProgram::Tick(int count) {
    for (int k = 0; k < count; ++k) {
        DWORD_PTR result = 0;
        ++ticks_sent_;
        if (!SendMessageTimeoutW(window_, WM_TIMER, ID_EXAM_TIMER, 0, SMTO_NORMAL, 5000, &result)) return;
    }
}

std::wstring TimeLeftText(int seconds) {
    const auto two_digits = [](int n) {
        return std::wstring{static_cast<wchar_t>(L'0' + n / 10), static_cast<wchar_t>(L'0' + n % 10)};
    };
    return L"Time Left: " + two_digits(seconds / 60) + L":" + two_digits(seconds % 60);
}

int ExpectTimeLeft(const ExamProgram& exam) {
    const std::wstring shown = exam.Text(IDC_TIMER_LABEL);
    // Read the clock after the label, so the program's own ticks are all counted.
    const int most = EXAM_DURATION_SECONDS - exam.ticks_sent();
    const int least = std::max(0, most - exam.OwnTicksPossible());
    for (int seconds = most; seconds >= least; --seconds)
        if (shown == TimeLeftText(seconds)) return seconds;
    ADD_FAILURE() << "the timer label reads \"" << WideToUtf8(shown) << "\"; expected \""
                  << WideToUtf8(TimeLeftText(most)) << "\" or down to \"" << WideToUtf8(TimeLeftText(least))
                  << "\" after " << exam.ticks_sent() << " ticks from the test";
    return -1;
}

namespace {

SpyReport* report_being_received = nullptr;

LRESULT CALLBACK SpyReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA && report_being_received) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data->dwData == SPY_REPORT_TAG && data->cbData == sizeof(SpyReport)) {
            *report_being_received = *static_cast<const SpyReport*>(data->lpData);
            return TRUE;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring SpyDllPath() { return OwnExeFolder() + L"\\" + SPY_DLL_NAME; }

}  // namespace

SpyReport SpyOnWindow(HWND window) {
    SpyReport report = {};
    report.control_count = -1;
    const HMODULE spy = LoadLibraryW(SpyDllPath().c_str());
    const auto hook_proc =
        spy ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(spy, SPY_HOOK_NAME))) : nullptr;
    if (!hook_proc) {
        ADD_FAILURE() << "cannot load " << WideToUtf8(SpyDllPath());
        return report;
    }
    WNDCLASSW wc = {};
    wc.lpfnWndProc = SpyReceiverProc;
    wc.lpszClassName = L"TessavonTestSpyReceiver";
    RegisterClassW(&wc);
    const HWND receiver =
        CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, hook_proc, spy, GetWindowThreadProcessId(window, nullptr));

    report_being_received = &report;
    DWORD_PTR result = 0;
    // SMTO_NORMAL lets this thread take the report the hook sends back while the request is under way.
    SendMessageTimeoutW(window, RegisterWindowMessageW(SPY_REQUEST_MESSAGE), reinterpret_cast<WPARAM>(receiver), 0,
                        SMTO_NORMAL, WINDOW_TIMEOUT_MS, &result);
    report_being_received = nullptr;

    if (hook) UnhookWindowsHookEx(hook);
    DestroyWindow(receiver);
    FreeLibrary(spy);
    if (report.control_count < 0) ADD_FAILURE() << "the window spy did not report";
    return report;
}

MessageBoxSeen ReadProgramMessageBox(HWND box) {
    MessageBoxSeen seen = ReadMessageBox(box);
    seen.icon = SpyOnWindow(box).icon;
    return seen;
}
