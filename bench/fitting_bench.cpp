// The fitting benchmark behind `make bench`: how long showing one question takes on the real exam window (made in
// this process from the program's own window procedure), for a question that fits and for long and huge texts,
// and how long one repaint of a scrolled huge question takes. Each figure is the median of several runs, and the
// ratio to the question that fits is what to compare between machines.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "bench_timing.h"
#include "exam_flow.h"
#include "main_window.h"
#include "page_layout.h"
#include "text_fitting.h"
#include "question_bank.h"
#include "test_support.h"

namespace {

constexpr int RUNS = 9;

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message != WM_QUIT) DispatchMessageW(&msg);
}

std::wstring Repeated(const std::wstring& text, size_t length) {
    std::wstring repeated;
    while (repeated.size() < length) repeated += text;
    return repeated.substr(0, length);
}

// Time of showing exam question `index` after question `from`, painting included: the first visit, and the median of
// RUNS visits back.
std::pair<double, double> ShowMs(HWND window, int from, int index) {
    std::vector<double> times;
    for (int run = 0; run <= RUNS; ++run) {
        currentQuestionIndex = from;
        ShowQuestion(window);
        UpdateWindow(window);
        Pump();
        const double start = NowMs();
        currentQuestionIndex = index;
        ShowQuestion(window);
        UpdateWindow(window);
        times.push_back(NowMs() - start);
    }
    const double first = times.front();
    times.erase(times.begin());
    std::sort(times.begin(), times.end());
    return {first, times[times.size() / 2]};
}

// The longest start of `text` (in characters, to within 1%) for which `shown(length)` holds; shorter starts are
// assumed to hold it too.
size_t LongestShown(const std::wstring& text, bool (*shown)(HDC, const std::wstring&), HDC dc) {
    size_t low = 0, high = text.size();
    while (high - low > std::max<size_t>(1, low / 100)) {
        const size_t middle = (low + high) / 2;
        (shown(dc, text.substr(0, middle)) ? low : high) = middle;
    }
    return low;
}

PageFit Fit(HDC dc, const std::wstring& question, const std::vector<std::wstring>& options, int& height) {
    const PageLayout page = LayOutPage(dc, question, options);
    height = page.height;
    return page.fit;
}

// Which of `options` the page shortens beside `question`.
std::vector<bool> Shortened(HDC dc, const std::wstring& question, const std::vector<std::wstring>& options) {
    return LayOutPage(dc, question, options).shortened;
}

// The lengths at which the page changes, for English and Japanese texts: the figures the bank guide gives.
void ReportThresholds(HDC dc, const std::wstring& english, const std::wstring& japanese) {
    const std::vector<std::wstring> short_options = {L"Yes", L"No", L"Maybe", L"Never"};
    static std::vector<std::wstring> options_of_150;
    const struct {
        const char* what;
        bool (*shown)(HDC, const std::wstring&);
    } rules[] = {
        {"question shown as always", [](HDC dc, const std::wstring& q) {
             int height = 0;
             const PageFit fit = Fit(dc, q, {L"Yes", L"No", L"Maybe", L"Never"}, height);
             return fit == PageFit::AsAlways || fit == PageFit::AsAlwaysOwnLines;
         }},
        {"question whole at 20 px, short options", [](HDC dc, const std::wstring& q) {
             int height = 0;
             return Fit(dc, q, {L"Yes", L"No", L"Maybe", L"Never"}, height) != PageFit::QuestionScrolls &&
                    height == NORMAL_TEXT_HEIGHT;
         }},
        {"question whole, short options", [](HDC dc, const std::wstring& q) {
             int height = 0;
             return Fit(dc, q, {L"Yes", L"No", L"Maybe", L"Never"}, height) != PageFit::QuestionScrolls;
         }},
        {"question whole, four options of 150", [](HDC dc, const std::wstring& q) {
             int height = 0;
             return Fit(dc, q, options_of_150, height) != PageFit::QuestionScrolls;
         }},
        {"option on one line as always", [](HDC dc, const std::wstring& o) {
             int height = 0;
             return Fit(dc, L"Which?", {o, L"b", L"c", L"d"}, height) == PageFit::AsAlways;
         }},
        {"option whole beside a short question", [](HDC dc, const std::wstring& o) {
             return !Shortened(dc, L"Which?", {o, L"b", L"c", L"d"})[0];
         }},
        {"option whole beside a question that scrolls", [](HDC dc, const std::wstring& o) {
             return !Shortened(dc, std::wstring(4000, L'x'), {o, L"b", L"c", L"d"})[0];
         }},
        {"four options, each whole, short question", [](HDC dc, const std::wstring& o) {
             const auto shortened = Shortened(dc, L"Which?", {o, o, o, o});
             return std::find(shortened.begin(), shortened.end(), true) == shortened.end();
         }},
    };
    std::printf("\nLongest text shown so (characters)            English  Japanese\n");
    for (const auto& rule : rules) {
        size_t lengths[2];
        for (int k = 0; k < 2; ++k) {
            const std::wstring& text = k == 0 ? english : japanese;
            options_of_150.assign(4, Repeated(text, k == 0 ? 150 : 75));
            lengths[k] = LongestShown(Repeated(text, 9000), rule.shown, dc);
        }
        std::printf("  %-43s %7zu %9zu\n", rule.what, lengths[0], lengths[1]);
    }
}

}  // namespace

int main() {
    TempWorkFolder folder;
    folder.Write(L"questions.json", R"([{"questionText": "Q", "options": ["a", "b", "c", "d"], "correctAnswer": 0}])");
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = CLASS_NAME;
    RegisterClassW(&wc);
    const HWND window = CreateWindowExW(0, CLASS_NAME, L"Tessavon", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr,
                                        nullptr, wc.hInstance, nullptr);
    if (!window) {
        std::printf("the exam window could not be made\n");
        return 1;
    }
    ShowWindow(window, SW_SHOW);

    const std::wstring english =
        L"The team reviews every change before it reaches production, and the audit log "
        L"keeps a record of who approved it and when. ";
    const std::wstring japanese =
        L"情報システム部門は、クラウドへの移行、新しいサーバの購入、保守契約の延長を比較している。";
    const std::vector<std::wstring> short_options = {L"Yes", L"No", L"Maybe", L"Never"};
    const std::vector<std::wstring> huge_options(4, Repeated(english, 100000));
    const struct {
        const char* what;
        std::wstring question;
        std::vector<std::wstring> options;
    } cases[] = {
        {"fits: 300 characters, short options", Repeated(english, 300), short_options},
        {"shared: 800 characters, options of 160", Repeated(english, 800),
         std::vector<std::wstring>(4, Repeated(english, 160))},
        {"shared: 1,800 characters, options of 150", Repeated(english, 1800),
         std::vector<std::wstring>(4, Repeated(english, 150))},
        {"shared: code answers of five lines", L"Which function returns the running totals?",
         std::vector<std::wstring>(4, L"def totals(values):\n    out, t = [], 0\n    for v in values:\n        t += v\n"
                                      L"        out.append(t)\n    return out")},
        {"scrolls: 4,000 characters", Repeated(english, 4000), short_options},
        {"1,000,000 characters, options of 100,000", Repeated(english, 1000000), huge_options},
        {"1,000,000 Japanese characters", Repeated(japanese, 1000000), short_options},
        {"1,000,000 characters, an emoji in each sentence", Repeated(english + L"\U0001F600 ", 1000000),
         std::vector<std::wstring>(4, Repeated(L"\U0001F600\U0002000B", 10000))},
        {"10,000,000 characters", Repeated(english, 10000000), short_options},
        {"100,000,000 characters", Repeated(english, 100000000), short_options},
        {"fits: 190 Japanese characters, short options", Repeated(japanese, 190), short_options},
        {"shared: 900 Japanese characters, options of 60", Repeated(japanese, 900),
         std::vector<std::wstring>(4, Repeated(japanese, 60))},
    };
    examQuestions.clear();
    for (const auto& c : cases) {
        Question q;
        q.questionText = c.question;
        q.options = c.options;
        examQuestions.push_back(q);
    }

    std::printf("Showing one question on the exam window: first visit, and median of %d visits back\n", RUNS);
    double fitting_ms = 0;
    for (size_t k = 0; k < std::size(cases); ++k) {
        const auto [first, ms] = ShowMs(window, k == 0 ? 1 : 0, static_cast<int>(k));
        if (k == 0) fitting_ms = ms;
        std::printf("  %-45s %9.1f ms first, %9.1f ms back  %7.1fx\n", cases[k].what, first, ms, ms / fitting_ms);
        std::fflush(stdout);
    }

    // One repaint of the huge question scrolled to its end: only the lines in view are drawn.
    currentQuestionIndex = 5;
    ShowQuestion(window);
    SendMessageW(window, WM_VSCROLL, SB_BOTTOM, 0);
    std::vector<double> times;
    for (int run = 0; run < RUNS; ++run) {
        const double start = NowMs();
        RedrawWindow(GetDlgItem(window, 101), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        times.push_back(NowMs() - start);
    }
    std::sort(times.begin(), times.end());
    std::printf("  %-45s %9.1f ms  %7.1fx\n", "repaint of 1,000,000 characters at the end", times[RUNS / 2],
                times[RUNS / 2] / fitting_ms);
    const HDC dc = GetDC(window);
    ReportThresholds(dc, english, japanese);
    ReleaseDC(window, dc);
    DestroyWindow(window);
    Pump();
    return 0;
}
