// Long questions and options on the real exam window, made inside the test process from the program's own
// window procedure: which size a text is shown at, when the question scrolls and an option is shortened, that a
// question that fits draws exactly the pixels it always did, and that paging costs no GDI or USER objects.
#include <gtest/gtest.h>

#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <winternl.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "control_ids.h"
#include "exam_flow.h"
#include "grapheme_clusters.h"
#include "line_breaking.h"
#include "main_window.h"
#include "page_layout.h"
#include "question_bank.h"
#include "question_page.h"
#include "test_support.h"
#include "text_fitting.h"

namespace {

const std::wstring ENGLISH =
    L"A regional hospital keeps patient records in a database server in its own data centre. After a ransomware "
    L"attack on a neighbouring clinic, the board asks the IT team to make sure the records can be restored within "
    L"four hours and that no more than fifteen minutes of changes are ever lost. The team already takes a full "
    L"backup every Sunday night to tapes that are stored in a locked cabinet in the same server room. Which is best?";
const std::wstring JAPANESE =
    L"ある製造業の会社では、工場の生産管理システムを社内のサーバで運用している。サーバは導入から七年が経ち、保守契約は"
    L"来年三月で終了する。情報システム部門は、クラウドへの移行、新しいサーバの購入、保守契約の延長の三案を比較している"
    L"。";
constexpr UINT LABEL_FORMAT = DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;

// `text` repeated to `length` characters, cut back to the last space when `at_word` is set.
std::wstring Text(const std::wstring& text, size_t length, bool at_word = true) {
    std::wstring repeated;
    while (repeated.size() < length) repeated += text + (at_word ? L" " : L"");
    return repeated.substr(0, at_word ? repeated.rfind(L' ', length) : length);
}

Question MakeQuestion(const std::wstring& text,
                      std::vector<std::wstring> options = {L"Yes", L"No", L"Maybe", L"Never"}) {
    Question q;
    q.questionText = text;
    q.options = std::move(options);
    return q;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message != WM_QUIT) DispatchMessageW(&msg);  // WM_QUIT is posted by the window's destruction
}

HWND MakeWindow(const wchar_t* window_class, WNDPROC procedure, DWORD style, int y, int height) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = window_class;
    RegisterClassW(&wc);  // fails harmlessly when the class is already there
    return CreateWindowExW(0, window_class, L"Tessavon", style, 0, y, 800, height, nullptr, nullptr, wc.hInstance,
                           nullptr);
}

// The program's main window, created in this process as wWinMain creates it; the test then puts its own questions
// in the exam and shows them with the program's ShowQuestion.
class ExamWindow {
public:
    explicit ExamWindow(const std::vector<Question>& questions) {
        folder_.Write(L"questions.json",
                      R"([{"questionText": "Q", "options": ["a", "b", "c", "d"], "correctAnswer": 0}])");
        window_ = MakeWindow(CLASS_NAME, WindowProc, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 600);
        EXPECT_NE(window_, nullptr);
        examQuestions = questions;
        Show(0);
    }
    ~ExamWindow() {
        if (IsWindow(window_)) DestroyWindow(window_);
        Pump();
    }
    HWND window() const { return window_; }
    const Question& QuestionAt(size_t index) const { return examQuestions[index]; }
    HWND Control(int id) const { return GetDlgItem(window_, id); }
    void Show(int index) {
        currentQuestionIndex = index;
        ShowQuestion(window_);
        UpdateWindow(window_);
        Pump();
    }

private:
    TempWorkFolder folder_;
    HWND window_ = nullptr;
};

int FontHeight(HWND control) {
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight;
}

std::wstring TextOf(HWND control) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, &text[0], static_cast<int>(text.size()))));
    return text;
}

LONG StyleOf(HWND control) { return GetWindowLongW(control, GWL_STYLE); }

// A control's place in its parent's client area.
RECT Place(HWND control) {
    RECT place = {};
    GetWindowRect(control, &place);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

// The characters of `text` that leave a mark: what must be on screen whichever way it is wrapped.
std::wstring Visible(const std::wstring& text) {
    std::wstring shown;
    std::copy_if(text.begin(), text.end(), std::back_inserter(shown),
                 [](wchar_t c) { return !std::iswspace(c) && c != 0x2003 && c != 0x2028 && c != 0x2029; });
    return shown;
}

// The lines the labels over the option rows draw for `q`: the options as the page lays them out in the window.
std::vector<std::wstring> DrawnOptionLines(HWND window, const Question& q) {
    const HDC dc = GetDC(GetDlgItem(window, IDC_QUESTION_TEXT));
    std::vector<std::wstring> lines = LayOutPage(dc, q.questionText, q.options).shown;
    ReleaseDC(GetDlgItem(window, IDC_QUESTION_TEXT), dc);
    return lines;
}

// Whether `text` fits the control's client area drawn with `format` in the exam font of `height`, measured here in
// the control's DC.
bool Fits(HWND control, const std::wstring& text, int height, UINT format) {
    const HDC dc = GetDC(control);
    const HFONT font = CreateExamFont(height, FW_NORMAL);
    const HGDIOBJ previous = SelectObject(dc, font);
    RECT box = {};
    GetClientRect(control, &box);
    const RECT limit = box;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, format | DT_CALCRECT);
    SelectObject(dc, previous);
    DeleteObject(font);
    ReleaseDC(control, dc);
    return box.right <= limit.right && box.bottom <= limit.bottom;
}

// The pixels of a control's client area as it shows them on screen, after drawing it anew unless told not to.
std::vector<DWORD> Pixels(HWND control, bool redraw = true) {
    if (redraw) RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    Pump();
    RECT client = {};
    GetClientRect(control, &client);
    const HDC dc = GetDC(control), memory = CreateCompatibleDC(dc);
    const HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    std::vector<DWORD> pixels(static_cast<size_t>(client.right) * client.bottom);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    SelectObject(memory, previous);
    GetDIBits(memory, bitmap, 0, client.bottom, pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(control, dc);
    return pixels;
}

// Live GDI and USER objects of this process. Wine answers 0 to GetGuiResources; there the GDI objects are counted
// in the process's GDI handle table (PEB offset 0xF8 on x64, 16,384 entries of 24 bytes whose type byte, at 14, is
// 0 when free), and the USER objects the program makes, windows, one by one.
std::pair<DWORD, DWORD> GuiObjects() {
    std::pair<DWORD, DWORD> counted = {GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
                                       GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)};
    if (counted.first == 0) {
        PROCESS_BASIC_INFORMATION process = {};
        NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &process, sizeof process, nullptr);
        const auto* peb = reinterpret_cast<const BYTE*>(process.PebBaseAddress);
        const BYTE* table = peb ? *reinterpret_cast<const BYTE* const*>(peb + 0xF8) : nullptr;
        for (size_t k = 0; table && k < 16384; ++k) counted.first += table[k * 24 + 14] != 0;
    }
    if (counted.second == 0) {
        const auto count_windows = [](HWND window, LPARAM total) {
            ++*reinterpret_cast<DWORD*>(total);
            EnumChildWindows(
                window, [](HWND, LPARAM n) { return ++*reinterpret_cast<DWORD*>(n), TRUE; }, total);
            return TRUE;
        };
        EnumThreadWindows(GetCurrentThreadId(), count_windows, reinterpret_cast<LPARAM>(&counted.second));
    }
    return counted;
}

// The tooltip of the exam window's shortened options, or null.
HWND TooltipOf(HWND window) {
    HWND tooltip = nullptr;
    while ((tooltip = FindWindowExW(nullptr, tooltip, TOOLTIPS_CLASSW, nullptr)) && GetWindow(tooltip, GW_OWNER) != window) {
    }
    return tooltip;
}

// The tip of option row `row`, empty when it has none.
std::wstring TipOf(HWND window, HWND row) {
    const HWND tooltip = TooltipOf(window);
    std::vector<wchar_t> tip(4096, L'\0');
    TTTOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(row);
    tool.lpszText = tip.data();
    if (tooltip) SendMessageW(tooltip, TTM_GETTEXTW, tip.size(), reinterpret_cast<LPARAM>(&tool));
    return tip.data();
}

// A tip holds the option's text up to 1,000 characters of its own, never half of one, every character that leaves a
// mark in order, "…" after it when there is more; and drawn as the tooltip draws it, in its font and width, it has
// the lines it was given (none wrapped again, none of a box split from its pair) and fits the work area.
void ExpectTipHoldsTheOption(HWND window, const std::wstring& tip, const std::wstring& option) {
    size_t kept = std::min<size_t>(option.size(), 1000);
    if (kept < option.size() && IS_LOW_SURROGATE(option[kept])) --kept;
    EXPECT_EQ(Visible(tip), Visible(option.substr(0, kept)) + (kept < option.size() ? ELLIPSIS : L""));
    const HWND tooltip = TooltipOf(window);
    const HDC dc = GetDC(tooltip);
    const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(tooltip, WM_GETFONT, 0, 0)));
    RECT box = {0, 0, static_cast<LONG>(SendMessageW(tooltip, TTM_GETMAXTIPWIDTH, 0, 0)), 0};
    DrawTextW(dc, tip.c_str(), -1, &box, DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(tooltip, dc);
    EXPECT_EQ(box.bottom / metrics.tmHeight, std::count(tip.begin(), tip.end(), L'\n') + 1) << "lines wrapped again";
    RECT work_area = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work_area, 0);
    EXPECT_LE(box.bottom, work_area.bottom - work_area.top) << "the tip is taller than the screen";
    EXPECT_LE(box.right, work_area.right - work_area.left) << "the tip is wider than the screen";
}

// A question that fits shows exactly as before fitting existed, pixel for pixel: the same as the question label
// and option rows made as the program made them before, also when it follows questions that needed a smaller font,
// a scrolling label and shortened options. A question that does not fit does not look the same. A question in
// Japanese, whose lines the page breaks itself in the label's place, looks as the label drew it.
TEST(LongTexts, AQuestionThatFitsDrawsTheSamePixelsAsBefore) {
    const Question fitting = MakeQuestion(Text(ENGLISH, 330), {L"R&D and Q&A", Text(ENGLISH, 60), L"東京", L"4"});
    const Question japanese = MakeQuestion(JAPANESE.substr(0, 150), {L"保守契約を延長する", L"b", L"c", L"d"});
    const Question shrunk = MakeQuestion(Text(ENGLISH, 600), {L"a", Text(ENGLISH, 160), L"c", L"d"});
    const Question scrolled = MakeQuestion(Text(ENGLISH, 2000), {Text(ENGLISH, 5000), L"b", L"c", L"d"});
    ExamWindow exam({fitting, shrunk, scrolled, japanese});

    const HWND before = MakeWindow(L"TessavonAsBefore", DefWindowProcW, WS_POPUP | WS_VISIBLE, 600, 400);
    const HFONT font = CreateFontW(20, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH, L"Yu Gothic UI");
    for (int k = -1; k < 4; ++k) {
        const DWORD style = k < 0 ? SS_NOPREFIX : BS_AUTORADIOBUTTON | (k == 0 ? WS_GROUP : 0);
        const HWND control =
            CreateWindowExW(0, k < 0 ? L"STATIC" : L"BUTTON", L"", WS_CHILD | WS_VISIBLE | style, k < 0 ? 40 : 60,
                            k < 0 ? 60 : 200 + 45 * k, k < 0 ? 700 : 660, k < 0 ? 120 : 35, before,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(102 + k)), nullptr, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    const auto show_before = [&](const Question& q) {
        SetDlgItemTextW(before, IDC_QUESTION_TEXT, q.questionText.c_str());
        for (int k = 0; k < 4; ++k) {
            std::wstring escaped;
            for (wchar_t c : q.options[k]) escaped += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);
            SetDlgItemTextW(before, IDC_OPTION1 + k, escaped.c_str());
        }
    };
    const auto expect_as_before = [&](const Question& q, const char* when) {
        SCOPED_TRACE(when);
        show_before(q);
        int children = 0;
        for (HWND child = GetWindow(exam.window(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) ++children;
        EXPECT_EQ(children, 9);
        for (const int id : {IDC_QUESTION_TEXT, IDC_OPTION1, IDC_OPTION2, IDC_OPTION3, IDC_OPTION4}) {
            const LONG style = StyleOf(exam.Control(id));
            EXPECT_EQ(id == IDC_QUESTION_TEXT && HoldsJapanese(q.questionText) ? (style & ~SS_TYPEMASK) | SS_LEFT : style,
                      StyleOf(GetDlgItem(before, id)))
                << "control " << id;
            if (id == IDC_QUESTION_TEXT) {
                EXPECT_EQ((style & SS_TYPEMASK) == SS_OWNERDRAW, HoldsJapanese(q.questionText));
            }
            const RECT place = Place(exam.Control(id)), old_place = Place(GetDlgItem(before, id));
            EXPECT_TRUE(EqualRect(&place, &old_place)) << "control " << id << " moved";
            EXPECT_EQ(SendMessageW(exam.Control(id), WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(hFontNormal));
            EXPECT_TRUE(Pixels(exam.Control(id)) == Pixels(GetDlgItem(before, id)))
                << "control " << id << " looks different";
        }
    };
    expect_as_before(fitting, "first question");
    exam.Show(1);
    show_before(shrunk);
    EXPECT_FALSE(Pixels(exam.Control(IDC_QUESTION_TEXT)) == Pixels(GetDlgItem(before, IDC_QUESTION_TEXT)))
        << "a shrunk question looks the same as at the normal size";
    exam.Show(2);
    exam.Show(0);
    expect_as_before(fitting, "back after long questions");
    exam.Show(3);
    expect_as_before(japanese, "Japanese");
    DestroyWindow(before);
    DeleteObject(font);
}

// A question that does not fit as always shares the page with its options at one size, the largest from 20 down to
// 15 at which all of it fits; every text is then inside the page, in order and without overlap, at the old x and
// width; every option's label over its row holds all its lines (code answers line by line, emoji and rare kanji
// without a line wrapped again); the question scrolls only when even the floor size leaves it too little room;
// options are shortened only when the four cannot fit beside the question's first lines, the fewest that can be; a
// shortened option's tip holds its text, and a blank option is an empty row of one line.
TEST(LongTexts, AQuestionAndItsOptionsShareThePageAtOneSize) {
    const std::wstring code = L"def total(values):\n    result = 0\n    for v in values:\n\tresult += v\n    return result";
    std::wstring eight = L"1";
    for (wchar_t line = L'2'; line <= L'8'; ++line) eight += std::wstring(L"\n") + line;
    const std::wstring emoji = Text(L"\U0001F600", 400, false), rare_kanji = Text(L"\U0002000B", 400, false);
    // Emoji joined by ZWJ into one character as a reader sees it, wider than an option's line but not than the
    // screen, where its tip shows it whole.
    std::wstring wide = L"\U0001F600";
    const HDC screen = GetDC(nullptr);
    const HFONT normal = CreateExamFont(NORMAL_TEXT_HEIGHT, FW_NORMAL);
    const HGDIOBJ previous = SelectObject(screen, normal);
    for (RECT box = {}; box.right < 800; DrawTextW(screen, wide.c_str(), -1, &box, DT_CALCRECT | DT_SINGLELINE))
        wide += L"\u200D\U0001F600";
    SelectObject(screen, previous);
    DeleteObject(normal);
    ReleaseDC(nullptr, screen);
    const struct {
        Question question;
        int at_least, at_most;
        bool scrolls;
        int shortened;
        // What the first option shows when it is not its text: "…" in place of a character wider than its line.
        std::wstring first_shown = {};
    } cases[] = {
        {MakeQuestion(Text(ENGLISH, 650)), 20, 20, false, 0},  // shrank in its label before; now the page holds it at 20
        {MakeQuestion(L"Which is right?", {code, code + L"\n", L"x = 1", L"\tindented"}), 15, 20, false, 0},
        {MakeQuestion(Text(ENGLISH, 1500), {Text(ENGLISH, 150), Text(ENGLISH, 150), Text(ENGLISH, 150),
                                            Text(ENGLISH, 150)}), 15, 17, false, 0},
        {MakeQuestion(Text(ENGLISH, 1850), {Text(ENGLISH, 150), Text(ENGLISH, 150), Text(ENGLISH, 150),
                                            Text(ENGLISH, 150)}), 15, 15, false, 0},
        {MakeQuestion(L"Pick one.", {Text(ENGLISH, 800), Text(ENGLISH, 300), Text(ENGLISH, 300), L"d"}), 15, 19, false, 0},
        {MakeQuestion(Text(JAPANESE, 900, false), {JAPANESE.substr(0, 80), L"b", L"c", L"d"}), 15, 17, false, 0},
        // Fits the label, which would break inside an address: the page breaks it in the label's place.
        {MakeQuestion(Text(L"資料はhttps://example.com/a/b/c/d/eにあり、", 200, false)), 20, 20, false, 0},
        {MakeQuestion(Text(ENGLISH, 4000), {Text(ENGLISH, 150), L"b", L"c", L"d"}), 15, 15, true, 0},
        {MakeQuestion(Text(ENGLISH, 10000000), {Text(ENGLISH, 100000), L"b", L"c", L"d"}), 15, 15, true, 1},
        // Beside a question that scrolls, an option of 1,500 characters (about 17 lines) stays whole.
        {MakeQuestion(Text(ENGLISH, 4000), {Text(ENGLISH, 1500), L"b", L"c", L"d"}), 15, 15, true, 0},
        // 27 lines of options fit under a one-line question at 15 pixels: four options of 7 lines give up one line
        // (one option shortened); four of 8 lines give up 5, and four of 9 lines 9 (the longest down to 1, then one
        // more from the next).
        {MakeQuestion(L"Four of 600?", std::vector<std::wstring>(4, Text(ENGLISH, 600))), 15, 15, false, 1},
        {MakeQuestion(L"Four of 8 lines?", std::vector<std::wstring>(4, eight)), 15, 15, false, 1},
        {MakeQuestion(L"Four of 9 lines?", std::vector<std::wstring>(4, eight + L"\n9")), 15, 15, false, 2},
        {MakeQuestion(L"Emoji?", {emoji, rare_kanji, L"c", L"d"}), 15, 20, false, 0},
        {MakeQuestion(L"Blank?", {std::wstring(9000, L' '), L" \t\r\n\u3000", L"c", Text(L"\U0001F600", 3000, false)}),
         15, 15, false, 1},
        // A character wider than the line shows as "…", what follows it on the next line, and all of it in the tip.
        {MakeQuestion(L"Marks?", {L"before " + wide + L" after", L"b", L"c", L"d"}), 20, 20, false, 1,
         L"before … after"},
        // White space other than ASCII's is as blank, however long.
        {MakeQuestion(L"Blank too?", {std::wstring(3000, L'\u2003'), std::wstring(9000, L'\u3000'),
                                      std::wstring(3000, L'\u2028'), std::wstring(3000, L'\u2029')}),
         20, 20, false, 0},
    };
    std::vector<Question> questions;
    for (const auto& c : cases) questions.push_back(c.question);
    ExamWindow exam(questions);
    const HWND label = exam.Control(IDC_QUESTION_TEXT);
    for (size_t q = 0; q < std::size(cases); ++q) {
        exam.Show(static_cast<int>(q));
        const int height = FontHeight(label);
        SCOPED_TRACE("question " + std::to_string(q + 1) + " at " + std::to_string(height));
        EXPECT_TRUE(height >= cases[q].at_least && height <= cases[q].at_most);
        EXPECT_EQ(StyleOf(label) & SS_TYPEMASK, SS_OWNERDRAW);
        EXPECT_EQ(exam.Control(IDC_QUESTION_SCROLL) != nullptr, cases[q].scrolls);
        EXPECT_TRUE(TextOf(label) == cases[q].question.questionText.substr(0, LABEL_TEXT_LIMIT))
            << "the label does not hold the text";
        RECT above = Place(label);
        EXPECT_TRUE(above.left == 40 && above.top == 60 && above.right == 740);
        const std::vector<std::wstring> lines = DrawnOptionLines(exam.window(), cases[q].question);
        int shortened = 0;
        for (int k = 0; k < 4; ++k) {
            const HWND row = exam.Control(IDC_OPTION1 + k);
            const RECT place = Place(row);
            EXPECT_EQ(FontHeight(row), height) << "row " << k + 1 << " is not at the question's size";
            EXPECT_TRUE(place.left == 60 && place.right == 720 && place.top > above.bottom && place.bottom <= 490)
                << "row " << k + 1 << " is out of place";
            above = place;
            // All of the label's lines, as a label wraps them, are inside it; whatever it shows is the option's
            // text, all of it unless it ends in "…".
            const std::wstring& shown = lines[k];
            // (A question that only has its lines broken by the page keeps the rows as always, with no labels.)
            const HWND text_label = exam.Control(IDC_OPTION_TEXT1 + k);
            EXPECT_TRUE(Fits(text_label ? text_label : row, shown, height, DT_WORDBREAK | DT_NOPREFIX));
            const std::wstring written = Visible(cases[q].question.options[k]);
            const std::wstring seen = Visible(shown);
            const std::wstring tip = TipOf(exam.window(), row);
            if (!seen.empty() && seen.back() == ELLIPSIS[0]) {
                EXPECT_EQ(written.compare(0, seen.size() - 1, seen, 0, seen.size() - 1), 0) << "row " << k + 1;
                ExpectTipHoldsTheOption(exam.window(), tip, cases[q].question.options[k]);
                ++shortened;
            } else if (k == 0 && !cases[q].first_shown.empty()) {
                EXPECT_EQ(seen, Visible(cases[q].first_shown));
                ExpectTipHoldsTheOption(exam.window(), tip, cases[q].question.options[k]);
                ++shortened;
            } else {
                EXPECT_EQ(seen, written) << "row " << k + 1 << " does not show its whole text";
                EXPECT_EQ(tip, L"") << "a tip on row " << k + 1 << ", which is whole";
            }
            // Blank, it is one line, as tall as the row of "c".
            const RECT c_row = Place(exam.Control(IDC_OPTION3));
            if (written.empty()) {
                EXPECT_EQ(place.bottom - place.top, c_row.bottom - c_row.top);
            }
            EXPECT_EQ(shown.find(L'\t'), std::wstring::npos) << "a tab left for the label to expand on its own";
        }
        EXPECT_EQ(shortened, cases[q].shortened);
    }
    exam.Show(6);
    EXPECT_TRUE(Place(label).bottom == 180 && Place(exam.Control(IDC_OPTION1)).top == 200) << "not as always";
    // The code answer shows as its five lines, the indentation kept.
    const std::wstring code_row = DrawnOptionLines(exam.window(), exam.QuestionAt(1))[0];
    EXPECT_EQ(std::count(code_row.begin(), code_row.end(), L'\n'), 4);
    EXPECT_NE(code_row.find(L"\r\n    result = 0"), std::wstring::npos);
}

// The scrolling question: the wheel over it scrolls it by notches and leaves the focus with the option row that
// has it, the wheel elsewhere does nothing, the scroll bar stops where the last line is in view, and the next
// question that fits brings the normal label back.
TEST(LongTexts, TheWheelAndTheScrollBarScrollALongQuestion) {
    const std::wstring long_text = Text(ENGLISH, 4000);
    ExamWindow exam({MakeQuestion(long_text, {Text(ENGLISH, 150), L"b", L"c", L"d"}), MakeQuestion(L"Short again")});
    const HWND label = exam.Control(IDC_QUESTION_TEXT), bar = exam.Control(IDC_QUESTION_SCROLL);
    ASSERT_NE(bar, nullptr);
    const HDC dc = GetDC(label);
    const auto lines = WrapLines(dc, long_text, QUESTION_FLOOR_HEIGHT, 700, SIZE_MAX);
    ReleaseDC(label, dc);
    const std::vector<DWORD> top = Pixels(label);
    SetFocus(exam.Control(IDC_OPTION2));
    const RECT place = Place(label);
    POINT over = {place.left + 100, place.top + 50}, under = {place.left + 100, place.bottom + 30};
    ClientToScreen(exam.window(), &over);
    ClientToScreen(exam.window(), &under);
    UINT notch = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &notch, 0);
    const struct {
        POINT at;
        int delta;
        size_t line;
    } turns[] = {{over, -WHEEL_DELTA, notch},
                 {under, -WHEEL_DELTA, notch},  // over the options
                 {over, WHEEL_DELTA / 2, notch},  // half a notch
                 {over, WHEEL_DELTA / 2, 0}};
    for (const auto& turn : turns) {
        SendMessageW(GetFocus(), WM_MOUSEWHEEL, MAKEWPARAM(0, turn.delta), MAKELPARAM(turn.at.x, turn.at.y));
        EXPECT_EQ(GetScrollPos(bar, SB_CTL), static_cast<int>(lines[turn.line].first)) << "not at line " << turn.line;
    }
    EXPECT_EQ(GetFocus(), exam.Control(IDC_OPTION2)) << "the option row lost the focus";

    const size_t visible = static_cast<size_t>((place.bottom - place.top) / QUESTION_FLOOR_HEIGHT);
    for (const WPARAM action : {SB_BOTTOM, SB_LINEDOWN, SB_PAGEDOWN}) {
        SendMessageW(exam.window(), WM_VSCROLL, action, reinterpret_cast<LPARAM>(bar));
        EXPECT_EQ(GetScrollPos(bar, SB_CTL), static_cast<int>(lines[lines.size() - visible].first))
            << "the last page does not end with the last line";
    }
    SendMessageW(exam.window(), WM_VSCROLL, SB_LINEUP, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), static_cast<int>(lines[lines.size() - visible - 1].first));
    EXPECT_FALSE(Pixels(label) == top) << "scrolling changed nothing on screen";

    exam.Show(1);
    EXPECT_EQ(exam.Control(IDC_QUESTION_SCROLL), nullptr);
    EXPECT_EQ(StyleOf(label), WS_CHILD | WS_VISIBLE | SS_NOPREFIX);
    EXPECT_EQ(SendMessageW(label, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(hFontNormal));
}

// Characters no line starts with and characters no line ends with, in Japanese.
const std::wstring NO_LINE_START = L"、。，．）」』】〕｝〉》］｡､｣),.:;?!]}・：；？！ーｰゝゞヽヾ々…"
                                   L"ぁぃぅぇぉっゃゅょゎゕゖァィゥェォッャュョヮヵヶｧｨｩｪｫｬｭｮｯ";
const std::wstring NO_LINE_END = L"「『（【〔｛〈《［｢([{";

// Japanese in which every character that may not start a line follows a letter, and every opening bracket stands
// before one, so that among many widths some line would otherwise break at each of them.
std::wstring Kinsoku() {
    std::wstring text = L"ローマとヨーロッパ、ケンブリッジのベビーシッターであった……彼女は――そう言った。";
    for (const wchar_t c : NO_LINE_START) text += std::wstring(L"字") + c;
    for (const wchar_t c : NO_LINE_END) text += std::wstring(L"字") + c + L"字";
    return text;
}

// Marks that stay with what precedes them even across spaces, and what no line of Japanese starts with, spaces or
// not.
const std::wstring NO_START_AFTER_SPACE = L")]}?!;:、。，．）」』】〕｝〉》］｡､｣：；？！ー…‥"
                                          L"ぁぃぅぇぉっゃゅょゎゕゖァィゥェォッャュョヮヵヶｧｨｩｪｫｬｭｮｯ";
// No-break spaces and the word joiner, beside which no line breaks.
const std::wstring GLUE = L"\u00A0\u2007\u202F\u2060";

// Latin letters, digits and signs, half-width or full-width.
bool IsLatin(wchar_t c) { return (c > L' ' && c < 0x7F) || (c >= 0xFF10 && c <= 0xFF5A && std::iswalnum(c)); }

// `clusters`, characters as a reader sees them written one by one, repeated to `count` of them: the text, and which
// of its positions start a character.
std::pair<std::wstring, std::vector<bool>> Clustered(const std::vector<std::wstring>& clusters, size_t count) {
    std::wstring text;
    std::vector<bool> starts;
    for (size_t k = 0; k < count; ++k) {
        const std::wstring& character = clusters[k % clusters.size()];
        starts.push_back(true);
        starts.resize(starts.size() + character.size() - 1, false);
        text += character;
    }
    starts.push_back(true);
    return {text, starts};
}

// Whether `lines`, the start of `text` in lines (joined by LF or CR LF) up to "…", breaks them only where `starts`
// says a character as a reader sees it starts.
void ExpectBrokenBetweenCharacters(const std::wstring& lines, const std::wstring& text,
                                   const std::vector<bool>& starts) {
    size_t at = 0;
    for (const wchar_t c : lines) {
        if (c == L'\r') continue;
        if (c == L'\n' || c == ELLIPSIS[0]) {
            EXPECT_TRUE(starts[at]) << "a line broken inside a character, at " << at;
            if (c == ELLIPSIS[0]) return;
            continue;
        }
        ASSERT_EQ(c, text[at]) << "not the text, at " << at;
        ++at;
    }
}

// Characters as a reader sees them, each several UTF-16 units with no place to break a line between them, one row
// each: combining marks, a Thai vowel sign, emoji joined by ZWJ, a flag, a skin tone, a variation selector; Thai's
// SARA AM; Devanagari conjuncts (broken nowhere after a virama); kanji with ideographic variation selectors; Hangul
// syllables written as jamo; Persian joined by ZWNJ; kana with a combining voiced mark; letters joined by ZWJ.
const std::vector<std::vector<std::wstring>> CLUSTERS = {
    {L"e\u0301\u0323", L"\u0E01\u0E34", L"\U0001F468\u200D\U0001F469\u200D\U0001F467", L"\U0001F1EF\U0001F1F5",
     L"\U0001F44D\U0001F3FD", L"\u2764\uFE0F"},
    {L"ม", L"า", L"ก", L"สำ", L"ห", L"รั", L"บ"},
    {L"क्ष्म्य", L"क", L"स्त्री", L"क", L"मा"},
    {L"葛\U000E0100", L"辻\U000E0101", L"邉\U000E0102"},
    {L"\u1112\u1161\u11AB", L"\u1100\u116E\u11A8", L"\u110B\u1165"},
    {L"م", L"ی\u200C", L"خ", L"و", L"ا", L"ه", L"م"},
    {L"か\u3099", L"き\u3099", L"く\u3099", L"ウ\u3099"},
    {L"a\u200D", L"b\u200D", L"c\u200D"},
};

// A question whose four options are the rows of CLUSTERS from `first` on, 2,000 characters each: too long for the
// page.
Question ClusteredQuestion(size_t first) {
    std::vector<std::wstring> options;
    for (size_t k = first; k < first + 4; ++k) options.push_back(Clustered(CLUSTERS[k % CLUSTERS.size()], 2000).first);
    return MakeQuestion(L"Which script?", options);
}

// Whether a line may break before text[at] by strict Japanese line breaking and Unicode's: checked against the
// characters on either side, independently of how the page finds its breaks.
bool BreakAllowed(const std::wstring& text, size_t at) {
    const wchar_t last = text[at - 1], first = text[at];
    if (GLUE.find(last) != std::wstring::npos || GLUE.find(first) != std::wstring::npos) return false;
    if (first == L' ') {
        size_t after = at;
        while (after < text.size() && text[after] == L' ') ++after;
        return after == text.size() || NO_START_AFTER_SPACE.find(text[after]) == std::wstring::npos;
    }
    if (last == L' ') return NO_START_AFTER_SPACE.find(first) == std::wstring::npos;
    return NO_LINE_START.find(first) == std::wstring::npos && NO_LINE_END.find(last) == std::wstring::npos &&
           !(IsLatin(last) && IsLatin(first)) && !(last == first && (last == L'…' || last == L'―'));
}

// Where the system has no ICU that knows Indic conjuncts (Wine, a Windows whose ICU predates Unicode 15.1),
// characters as a reader sees them are found with tables generated from Unicode's data: they agree with every line
// of Unicode's own test of them, from the same data.
TEST(LongTexts, CharactersAsAReaderSeesThemAreUnicodesGraphemeClusters) {
    const std::string data = ReadWholeFile(HostPathForWindows(TESSAVON_GRAPHEME_BREAK_TEST));
    ASSERT_EQ(data.rfind("# GraphemeBreakTest-", 0), 0u) << "Unicode's GraphemeBreakTest.txt not read";
    EXPECT_EQ(data.substr(20, data.find(".txt") - 20), GraphemeTablesVersion()) << "tables of another Unicode";
    std::istringstream lines(data);
    size_t cases = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line.substr(0, line.find('#')));
        std::wstring text;
        std::vector<size_t> ends;  // where each cluster ends, in UTF-16 units
        for (std::string field; fields >> field;) {
            if (field == "\xC3\xB7") {  // ÷
                if (!text.empty()) ends.push_back(text.size());
            } else if (field != "\xC3\x97") {  // ×
                const unsigned long code = std::stoul(field, nullptr, 16);
                if (code >= 0x10000) {
                    text += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
                    text += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
                } else {
                    text += static_cast<wchar_t>(code);
                }
            }
        }
        if (text.empty()) continue;
        ++cases;
        std::vector<size_t> found;
        for (size_t at = 0; at < text.size();) found.push_back(at = GraphemeClusterEnd(text, at, text.size()));
        EXPECT_EQ(found, ends) << line;
    }
    EXPECT_GT(cases, 500u) << "Unicode's test read only in part";
}

// The page's own line breaking keeps every character and lets no line run past the width, for words, Japanese, a
// word longer than a line, surrogate pairs, and every kind of line break; in Japanese no line starts or ends where
// Japanese forbids, "……" and "――" stay whole, and a word, number or URL is not broken unless it alone is wider
// than the line. Finding the line that holds a position, or the line above one, gives the same lines as wrapping
// from the start.
TEST(LongTexts, WrappedLinesKeepEveryCharacterWithinTheWidth) {
    ExamWindow exam({MakeQuestion(L"Q")});
    const HWND label = exam.Control(IDC_QUESTION_TEXT);
    const HDC dc = GetDC(label);
    const HGDIOBJ previous = GetCurrentObject(dc, OBJ_FONT);
    const std::wstring latin = L"設定はhttps://example.com/setup-guide.htmlにある。IPアドレス192.168.10.25、"
                               L"料金は3.14ドル、成功率は99.95%、版は2.0.1で、全角の１２３４５とＡＢＣも一語。";
    // Emoji joined by ZWJ into one character as a reader sees it, wider than a line.
    std::wstring joined = L"\U0001F600";
    for (int k = 0; k < 20; ++k) joined += L"\u200D\U0001F600";
    struct Row {
        std::wstring text;
        int narrowest, widest;
        // Rows of break rules: every place line breaking allows is checked, without drawing.
        bool breaks = false;
        // Where the text's characters as a reader sees them start; empty when each unit is one.
        std::vector<bool> starts = {};
        // What the lines show, when it is not the text: "…" in place of a character wider than a line.
        std::wstring shown = {};
    };
    std::vector<Row> rows = {
        {Text(ENGLISH, 3000), 700, 700},
        {Text(JAPANESE, 3000, false), 700, 700},
        {Text(L"𠀋", 800, false), 700, 700},
        {Text(L"通信📡の設定 📡 network ", 1500, false), 700, 700},
        {L"before " + std::wstring(900, L'x') + L" after", 700, 700},
        {L"1\r\n2\r3\n\n5", 700, 700},
        {L"1\u20282\u20293\n\n5", 700, 700},
        {Kinsoku(), 100, 400, true},
        {latin, 150, 400, true},
        {Text(L"Quelle est la bonne réponse ? Vraiment ! Oui : non ; « ceci » (cela) 質問です ？ 本当 」 そう 。", 600),
         100, 400, true},
        {L"before " + joined + L" after", 100, 130, false, {}, L"before … after"},
        {Text(L"距離は42\u00A0kmで、1\u2007234\u202F567円。語\u2060語 and 42\u00A0km or 1\u2007234\u202F567", 120), 100, 400,
         true},
        {Text(L"字 ー字 ァ字 …字 ‥字 っ字 ゃ", 80), 100, 400, true},
    };
    for (size_t k = 0; k < CLUSTERS.size(); ++k) {
        auto [text, starts] = Clustered(CLUSTERS[k], k == 0 ? 300 : 40);
        rows.push_back({text, k == 0 ? 700 : 250, k == 0 ? 700 : 256, false, starts});
    }
    for (const auto& row : rows) {
        for (size_t at = 1; row.breaks && at < row.text.size(); ++at) {
            if (LastBreak(row.text, 0, at, row.text.size()) == at) {
                EXPECT_TRUE(BreakAllowed(row.text, at)) << "a break before " << at << " in " << WideToUtf8(row.text);
            }
        }
    }
    // At the normal size most lines are judged from the characters' widths, at the floor size all are measured.
    for (const int height : {QUESTION_FLOOR_HEIGHT, NORMAL_TEXT_HEIGHT})
    for (const auto& row : rows)
        for (int width = row.narrowest; width <= row.widest; width += 3) {
            SelectObject(dc, FittedFont(height));
            const std::wstring& text = row.text;
            SCOPED_TRACE(WideToUtf8(text.substr(0, 40)) + " at " + std::to_string(width) + ", height " +
                         std::to_string(height));
            const auto lines = WrapLines(dc, text, height, width, SIZE_MAX);
            std::wstring kept;
            for (size_t line = 0; line < lines.size(); ++line) {
                const auto [begin, end] = lines[line];
                ASSERT_TRUE(begin <= end && (line == 0 || begin >= lines[line - 1].second));
                SIZE extent = {};
                GetTextExtentPoint32W(dc, text.data() + begin, static_cast<int>(end - begin), &extent);
                EXPECT_LE(extent.cx, width) << "line " << line;
                EXPECT_FALSE(end > begin && IS_HIGH_SURROGATE(text[end - 1])) << "a surrogate pair split";
                EXPECT_TRUE(row.starts.empty() || (row.starts[begin] && row.starts[end])) << "a character split";
                if (line > 0 && begin > 0 && text[begin - 1] == L' ') {
                    EXPECT_EQ(NO_START_AFTER_SPACE.find(text[begin]), std::wstring::npos) << "line " << line;
                }
                kept += text.substr(begin, end - begin);
                // What lies between this line and the next, but white space, is left out, "…" in its place.
                const size_t next = line + 1 < lines.size() ? lines[line + 1].first : text.size();
                if (!Visible(text.substr(end, next - end)).empty()) kept += ELLIPSIS;
                EXPECT_EQ(LineStartAt(dc, text, end == begin ? begin : end - 1, width), begin) << "line " << line;
                if (line > 0) {
                    EXPECT_EQ(LineStartAbove(dc, text, begin, 1, width), lines[line - 1].first);
                }
                // A break inside the text, with nothing between the lines.
                if (line + 1 == lines.size() || lines[line + 1].first != end) continue;
                const wchar_t last = text[end - 1], first = text[end];
                if (IsLatin(last) && IsLatin(first)) {
                    size_t run_begin = end, run_end = end;
                    while (run_begin > 0 && IsLatin(text[run_begin - 1])) --run_begin;
                    while (run_end < text.size() && IsLatin(text[run_end])) ++run_end;
                    GetTextExtentPoint32W(dc, text.data() + run_begin, static_cast<int>(run_end - run_begin), &extent);
                    EXPECT_GT(extent.cx, width) << "a word broken on line " << line;
                    continue;  // one wider than the line breaks where it must
                }
                EXPECT_EQ(NO_LINE_START.find(first), std::wstring::npos) << "line " << line + 1 << " starts badly";
                EXPECT_EQ(NO_LINE_END.find(last), std::wstring::npos) << "line " << line << " ends badly";
                EXPECT_FALSE(last == first && (last == L'…' || last == L'―')) << "line " << line;
            }
            EXPECT_EQ(Visible(kept), Visible(row.shown.empty() ? text : row.shown));
            EXPECT_TRUE(text.size() > 10 || lines.size() == 5u) << "CR LF, CR, LF, U+2028, U+2029 and an empty line";
        }
    // A text judged from its characters' widths to fit the label's lines fits them as the label draws it.
    const int label_lines = 120 / LineHeight(dc, NORMAL_TEXT_HEIGHT);
    size_t judged = 0;
    for (size_t length = 20; length < 700; length += 20) {
        for (const std::wstring& text :
             {Text(ENGLISH, length), Text(L"Mississippi WWW iii", length), Text(JAPANESE, length / 3, false),
              Text(L"IPアドレスとDNSサーバ「設定」。", length / 2, false), Text(L"通信📡の設定 📡 ", length / 2, false)}) {
            if (!SurelyFitsLines(dc, text, 700, label_lines)) continue;
            ++judged;
            EXPECT_TRUE(Fits(label, text, NORMAL_TEXT_HEIGHT, LABEL_FORMAT)) << WideToUtf8(text);
        }
    }
    EXPECT_GT(judged, 10u);
    SelectObject(dc, previous);
    ReleaseDC(label, dc);
}

// An option too long even for the page ends in "…" with a tip in the exam's font, and its last line is drawn; the
// mouse resting on a shortened row shows its tip, which lies wholly inside the work area, however tall (60 lines,
// code), wide (a long address), or drawn in another font (emoji, Japanese) it is.
TEST(LongTexts, AnOptionTooLongForThePageIsShortenedWithATipThatFitsTheScreen) {
    const std::wstring url = L"https://example.com/" + std::wstring(3000, L'x');
    const std::wstring breaks = Text(L"a\tline\n", 300, false);
    // Its 1,000th character is the first half of an emoji.
    const std::wstring emoji = std::wstring(999, L'a') + L"😀😀" + Text(ENGLISH, 2000);
    std::wstring code;
    for (int line = 0; line < 40; ++line) code += L"    total += values[" + std::to_wstring(line) + L"]\n";
    ExamWindow exam({MakeQuestion(L"Which one?", {L"Short", url, breaks, emoji}),
                     MakeQuestion(L"And which?", {Text(JAPANESE, 1580, false), code,
                                                  L"first" + std::wstring(500, L'\n') + L"last", Text(L"😀", 2400, false)}),
                     MakeQuestion(L"Short options"), ClusteredQuestion(1), ClusteredQuestion(5)});
    const HWND tooltip = TooltipOf(exam.window());
    ASSERT_NE(tooltip, nullptr) << "no tooltip";
    EXPECT_EQ(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 3);
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(tooltip, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, L"Yu Gothic UI");
    RECT work_area = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work_area, 0);
    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_INITIAL, 1);
    for (int q = 0; q < 2; ++q) {
        exam.Show(q);
        const std::vector<std::wstring> lines = DrawnOptionLines(exam.window(), exam.QuestionAt(q));
        for (int k = q == 0 ? 1 : 0; k < 4; ++k) {
            SCOPED_TRACE("question " + std::to_string(q + 1) + ", row " + std::to_string(k + 1));
            const HWND row = exam.Control(IDC_OPTION1 + k);
            EXPECT_EQ(lines[k].back(), ELLIPSIS[0]);
            ExpectTipHoldsTheOption(exam.window(), TipOf(exam.window(), row), exam.QuestionAt(q).options[k]);

            // The row's last line, the one that ends in "…", is on screen (a button alone draws only 512 characters).
            const std::vector<DWORD> pixels = Pixels(exam.Control(IDC_OPTION_TEXT1 + k));
            const RECT label = Place(exam.Control(IDC_OPTION_TEXT1 + k));
            const size_t width = static_cast<size_t>(label.right - label.left);
            std::map<DWORD, size_t> colours;
            for (DWORD pixel : pixels) ++colours[pixel];
            const DWORD background =
                std::max_element(colours.begin(), colours.end(), [](auto& a, auto& b) { return a.second < b.second; })
                    ->first;
            const size_t last_line = pixels.size() - width * static_cast<size_t>(FontHeight(row));
            EXPECT_TRUE(std::any_of(pixels.begin() + static_cast<ptrdiff_t>(last_line), pixels.end(),
                                    [&](DWORD pixel) { return pixel != background; }))
                << "the last line is not drawn";
            // The row drawing its own text (thousands of characters, lines, tabs) and its focus anew leaves its
            // label be.
            SetFocus(row);
            RedrawWindow(row, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
            EXPECT_TRUE(Pixels(exam.Control(IDC_OPTION_TEXT1 + k), false) == pixels) << "the row draws over its label";

            // The mouse coming to rest on the row (one move, then none) shows the tip, inside the work area.
            RECT place = {};
            GetWindowRect(row, &place);
            SetCursorPos(place.left + 200, place.top + 10);
            SendMessageW(row, WM_MOUSEMOVE, 0, MAKELPARAM(200, 10));
            for (const ULONGLONG deadline = GetTickCount64() + 5000;
                 !IsWindowVisible(tooltip) && GetTickCount64() < deadline;) {
                Pump();
                Sleep(10);
            }
            EXPECT_TRUE(IsWindowVisible(tooltip)) << "no tip while the mouse rests on a shortened option";
            RECT tip_place = {}, inside = {};
            GetWindowRect(tooltip, &tip_place);
            EXPECT_TRUE(IntersectRect(&inside, &tip_place, &work_area) && EqualRect(&inside, &tip_place))
                << "the tip is off screen";
            SendMessageW(tooltip, TTM_POP, 0, 0);
            SetCursorPos(work_area.right - 1, work_area.bottom - 1);
            Pump();
        }
    }

    // Options of characters as a reader sees them, too long for the page: their lines, on the page and in the tip,
    // break only between characters, and the page's "…" follows a whole one.
    int tips = 0;
    for (const int q : {3, 4}) {
        exam.Show(q);
        const std::vector<std::wstring> lines = DrawnOptionLines(exam.window(), exam.QuestionAt(q));
        for (int k = 0; k < 4; ++k) {
            SCOPED_TRACE("question " + std::to_string(q + 1) + ", row " + std::to_string(k + 1));
            const auto [text, starts] = Clustered(CLUSTERS[((q == 3 ? 1 : 5) + k) % CLUSTERS.size()], 2000);
            const std::wstring tip = TipOf(exam.window(), exam.Control(IDC_OPTION1 + k));
            ExpectBrokenBetweenCharacters(lines[k], text, starts);
            // The longest give up lines first: an option that stays whole has no tip.
            if (!tip.empty()) ExpectBrokenBetweenCharacters(tip, text, starts);
            tips += !tip.empty();
        }
    }
    EXPECT_GE(tips, 4) << "too few options shortened to check their tips";

    // A click on an option's text, drawn over its row, checks the row.
    RECT text_place = {};
    GetWindowRect(exam.Control(IDC_OPTION_TEXT1 + 3), &text_place);
    SetCursorPos(text_place.left + 100, text_place.top + 5);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    for (const ULONGLONG deadline = GetTickCount64() + 5000;
         SendMessageW(exam.Control(IDC_OPTION4), BM_GETCHECK, 0, 0) != BST_CHECKED && GetTickCount64() < deadline;) {
        Pump();
        Sleep(10);
    }
    EXPECT_EQ(SendMessageW(exam.Control(IDC_OPTION4), BM_GETCHECK, 0, 0), BST_CHECKED)
        << "a click on the text did not reach its row";

    exam.Show(2);
    EXPECT_EQ(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 0) << "a tip left on a question that fits";
}

// Paging many times through questions of every kind makes no GDI or USER objects beyond those of the first round
// (fonts are made once and reused), and the fonts made for smaller sizes are deleted with the window.
TEST(LongTexts, PagingDoesNotGrowGdiOrUserObjects) {
    std::vector<LRESULT> fonts;
    {
        ExamWindow exam({MakeQuestion(L"Short"),
                         MakeQuestion(Text(ENGLISH, 600), {L"a", Text(ENGLISH, 150), L"c", L"d"}),
                         MakeQuestion(Text(ENGLISH, 3000), {Text(ENGLISH, 100000), L"b", L"c", L"d"}),
                         MakeQuestion(JAPANESE, {Text(ENGLISH, 80), L"b", L"c", L"d"})});
        const auto page_through = [&] {
            for (const int id : {IDC_NEXT, IDC_NEXT, IDC_NEXT, IDC_PREV, IDC_PREV, IDC_PREV}) {
                SendMessageW(exam.window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
                Pump();
                for (const int control : {IDC_QUESTION_TEXT, IDC_OPTION1})
                    fonts.push_back(SendMessageW(exam.Control(control), WM_GETFONT, 0, 0));
            }
        };
        page_through();
        const auto first_round = GuiObjects();
        EXPECT_GT(first_round.first, 0u);
        for (int round = 0; round < 10; ++round) page_through();
        const auto last_round = GuiObjects();
        EXPECT_EQ(last_round.first, first_round.first) << "GDI objects";
        EXPECT_EQ(last_round.second, first_round.second) << "USER objects";
        std::sort(fonts.begin(), fonts.end());
        fonts.erase(std::unique(fonts.begin(), fonts.end()), fonts.end());
        EXPECT_LE(fonts.size(), 5u) << "fonts are made anew instead of reused";
    }
    for (const LRESULT font : fonts)
        EXPECT_EQ(GetObjectType(reinterpret_cast<HFONT>(font)), 0u) << "a font outlived the window";
}

}  // namespace
