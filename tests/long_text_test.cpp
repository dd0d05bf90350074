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
#include <string>
#include <vector>

#include "control_ids.h"
#include "exam_flow.h"
#include "main_window.h"
#include "question_bank.h"
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

// Whether `text` fits `box` drawn with `format` in the exam font of `height`, measured here in the control's DC.
// An option row's box is its width less the 13-pixel check box and half a "0", and its height.
bool Fits(HWND control, const std::wstring& text, int height, UINT format, bool option_row) {
    const HDC dc = GetDC(control);
    const HFONT font = CreateExamFont(height, FW_NORMAL);
    const HGDIOBJ previous = SelectObject(dc, font);
    RECT box = {};
    GetClientRect(control, &box);
    SIZE zero = {};
    GetTextExtentPoint32W(dc, L"0", 1, &zero);
    if (option_row) box.right -= 13 + zero.cx / 2;
    const RECT limit = box;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, format | DT_CALCRECT);
    SelectObject(dc, previous);
    DeleteObject(font);
    ReleaseDC(control, dc);
    return box.right <= limit.right && box.bottom <= limit.bottom;
}

// The pixels of a control's client area as it shows them on screen.
std::vector<DWORD> Pixels(HWND control) {
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
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

// A question that fits shows exactly as before fitting existed, pixel for pixel: the same as the question label
// and option rows made as the program made them before, also when it follows questions that needed a smaller font,
// a scrolling label and shortened options. A question that does not fit does not look the same.
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
            EXPECT_EQ(StyleOf(exam.Control(id)), StyleOf(GetDlgItem(before, id))) << "control " << id;
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

// The question label takes the largest size from 20 down to 15 at which the whole text fits it (English of about
// 800 characters still does; Japanese wraps between its characters); past that it keeps 15 and scrolls.
TEST(LongTexts, ALongQuestionShrinksToTheLargestSizeThatFitsOrScrolls) {
    const std::vector<std::wstring> texts = {
        Text(ENGLISH, 420),         Text(ENGLISH, 650),  Text(ENGLISH, 800),    Text(JAPANESE, 250, false),
        Text(JAPANESE, 400, false), Text(ENGLISH, 2400), Text(ENGLISH, 1000000)};
    std::vector<Question> questions;
    for (const std::wstring& text : texts) questions.push_back(MakeQuestion(text));
    ExamWindow exam(questions);
    const HWND label = exam.Control(IDC_QUESTION_TEXT);
    for (size_t k = 0; k < texts.size(); ++k) {
        SCOPED_TRACE(std::to_string(texts[k].size()) + " characters");
        exam.Show(static_cast<int>(k));
        const int height = FontHeight(label);
        EXPECT_EQ(TextOf(label), texts[k]) << "the label holds the whole text";
        const HWND bar = exam.Control(IDC_QUESTION_SCROLL);
        if (k < 5) {
            EXPECT_GE(height, QUESTION_FLOOR_HEIGHT);
            EXPECT_LT(height, NORMAL_TEXT_HEIGHT);
            EXPECT_TRUE(Fits(label, texts[k], height, LABEL_FORMAT, false));
            EXPECT_FALSE(Fits(label, texts[k], height + 1, LABEL_FORMAT, false)) << "a larger size fits too";
            EXPECT_EQ(StyleOf(label), WS_CHILD | WS_VISIBLE | SS_NOPREFIX);
            EXPECT_EQ(bar, nullptr);
            continue;
        }
        EXPECT_EQ(height, QUESTION_FLOOR_HEIGHT);
        EXPECT_EQ(StyleOf(label) & SS_TYPEMASK, SS_OWNERDRAW);
        ASSERT_NE(bar, nullptr) << "no scroll bar";
        SCROLLINFO info = {sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
        ASSERT_TRUE(GetScrollInfo(bar, SB_CTL, &info));
        EXPECT_EQ(info.nPos, 0);
        EXPECT_EQ(info.nPage, 8u) << "lines of 15 pixels in a label of 120";
        EXPECT_EQ(info.nMax + 1, static_cast<int>(WrapLines(label, texts[k], QUESTION_FLOOR_HEIGHT, 700).size()));
    }
}

// The scrolling question: the wheel over it scrolls it by notches and leaves the focus with the option row that
// has it, the wheel elsewhere does nothing, the scroll bar stops at the last line, and the next question that
// fits brings the normal label back.
TEST(LongTexts, TheWheelAndTheScrollBarScrollALongQuestion) {
    ExamWindow exam({MakeQuestion(Text(ENGLISH, 2400)), MakeQuestion(L"Short again")});
    const HWND label = exam.Control(IDC_QUESTION_TEXT), bar = exam.Control(IDC_QUESTION_SCROLL);
    ASSERT_NE(bar, nullptr);
    const std::vector<DWORD> top = Pixels(label);
    SetFocus(exam.Control(IDC_OPTION2));
    RECT place = {};
    GetWindowRect(label, &place);
    UINT notch = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &notch, 0);
    const struct {
        POINT at;
        int delta, position;
    } turns[] = {{{place.left + 100, place.top + 50}, -WHEEL_DELTA, static_cast<int>(notch)},
                 {{place.left + 100, place.bottom + 60}, -WHEEL_DELTA, static_cast<int>(notch)},  // over the options
                 {{place.left + 100, place.top + 50}, WHEEL_DELTA / 2, static_cast<int>(notch)},  // half a notch
                 {{place.left + 100, place.top + 50}, WHEEL_DELTA / 2, 0}};
    for (const auto& turn : turns) {
        SendMessageW(GetFocus(), WM_MOUSEWHEEL, MAKEWPARAM(0, turn.delta), MAKELPARAM(turn.at.x, turn.at.y));
        EXPECT_EQ(GetScrollPos(bar, SB_CTL), turn.position) << "after " << turn.delta << " at y " << turn.at.y;
    }
    EXPECT_EQ(GetFocus(), exam.Control(IDC_OPTION2)) << "the option row lost the focus";

    SCROLLINFO info = {sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(bar, SB_CTL, &info);
    for (const WPARAM action : {SB_BOTTOM, SB_LINEDOWN}) {
        SendMessageW(exam.window(), WM_VSCROLL, action, reinterpret_cast<LPARAM>(bar));
        EXPECT_EQ(GetScrollPos(bar, SB_CTL), info.nMax - static_cast<int>(info.nPage) + 1) << "not at the last line";
    }
    EXPECT_FALSE(Pixels(label) == top) << "scrolling changed nothing on screen";

    exam.Show(1);
    EXPECT_EQ(exam.Control(IDC_QUESTION_SCROLL), nullptr);
    EXPECT_EQ(StyleOf(label), WS_CHILD | WS_VISIBLE | SS_NOPREFIX);
    EXPECT_EQ(SendMessageW(label, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(hFontNormal));
}

// The scrolling label's own line breaking keeps every character and lets no line run past the label, for words,
// Japanese, a word longer than a line, surrogate pairs, and the three kinds of line break.
TEST(LongTexts, WrappedLinesKeepEveryCharacterWithinTheWidth) {
    ExamWindow exam({MakeQuestion(L"Q")});
    const HWND label = exam.Control(IDC_QUESTION_TEXT);
    const HDC dc = GetDC(label);
    const HGDIOBJ previous = SelectObject(dc, FittedFont(QUESTION_FLOOR_HEIGHT));
    for (const std::wstring& text :
         {Text(ENGLISH, 3000), Text(JAPANESE, 3000, false), Text(L"𠀋", 800, false),
          L"before " + std::wstring(900, L'x') + L" after", std::wstring(L"1\r\n2\r3\n\n5")}) {
        SCOPED_TRACE(WideToUtf8(text.substr(0, 40)));
        const auto lines = WrapLines(label, text, QUESTION_FLOOR_HEIGHT, 700);
        std::wstring kept;
        for (size_t line = 0; line < lines.size(); ++line) {
            const auto [begin, end] = lines[line];
            ASSERT_TRUE(begin <= end && (line == 0 || begin >= lines[line - 1].second));
            SIZE extent = {};
            GetTextExtentPoint32W(dc, text.data() + begin, static_cast<int>(end - begin), &extent);
            EXPECT_LE(extent.cx, 700) << "line " << line;
            EXPECT_FALSE(end > begin && IS_HIGH_SURROGATE(text[end - 1])) << "a surrogate pair split";
            kept += text.substr(begin, end - begin);
        }
        const auto visible = [](const std::wstring& all) {
            std::wstring shown;
            std::copy_if(all.begin(), all.end(), std::back_inserter(shown),
                         [](wchar_t c) { return !std::iswspace(c); });
            return shown;
        };
        EXPECT_EQ(visible(kept), visible(text));
        EXPECT_TRUE(text.size() > 10 || lines.size() == 5u) << "CR LF, CR, LF and an empty line make five lines";
    }
    SelectObject(dc, previous);
    ReleaseDC(label, dc);
}

// When any option does not fit its row on one line, all four rows share one smaller size, only the rows that need
// two lines wrap, and every whole text fits. An option too long even at 13 pixels ends in "…" at a word boundary
// (in one huge word, at a character), and the mouse resting on its row shows the full text.
TEST(LongTexts, OptionsShareOneSmallerSizeAndTheLongestAreShortenedWithATip) {
    const std::wstring huge = Text(ENGLISH, 100000);
    const struct {
        std::vector<std::wstring> options;
        int at_least, at_most;
    } cases[] = {
        {{L"Short", Text(ENGLISH, 85), L"R&D", L"c"}, 18, 19},
        {{Text(ENGLISH, 120), L"b", Text(ENGLISH, 165), L"d & e"}, 13, 17},
        {{JAPANESE.substr(0, 45), L"東京", JAPANESE.substr(0, 70), L"京都"}, 13, 17},
        {{L"Short", huge, L"https://example.com/" + std::wstring(400, L'x'), Text(JAPANESE, 300, false)}, 13, 13},
    };
    std::vector<Question> questions;
    for (const auto& c : cases) questions.push_back(MakeQuestion(L"Which one?", c.options));
    questions.push_back(MakeQuestion(L"Short options"));
    ExamWindow exam(questions);
    for (size_t q = 0; q < std::size(cases); ++q) {
        exam.Show(static_cast<int>(q));
        const int height = FontHeight(exam.Control(IDC_OPTION1));
        SCOPED_TRACE("question " + std::to_string(q + 1) + ", options at " + std::to_string(height));
        EXPECT_TRUE(height >= cases[q].at_least && height <= cases[q].at_most);
        for (int k = 0; k < 4; ++k) {
            const HWND row = exam.Control(IDC_OPTION1 + k);
            const std::wstring& text = cases[q].options[k];
            const std::wstring shown = TextOf(row);
            EXPECT_EQ(FontHeight(row), height);
            const bool shortened = !Fits(row, text, height, DT_WORDBREAK | DT_NOPREFIX, true);
            EXPECT_EQ(shortened, q == 3 && k > 0) << "row " << k + 1;
            if (!shortened) {
                std::wstring escaped;
                for (wchar_t c : text) escaped += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);
                EXPECT_EQ(shown, escaped) << "row " << k + 1 << " was changed";
            } else {
                ASSERT_EQ(shown.back(), ELLIPSIS[0]);
                const std::wstring kept = shown.substr(0, shown.size() - 1);
                EXPECT_EQ(text.compare(0, kept.size(), kept), 0) << "not the start of the option";
                EXPECT_GT(kept.size(), 100u) << "shortened far more than two lines need";
                EXPECT_TRUE(k != 1 || text[kept.size()] == L' ') << "cut inside a word";
                EXPECT_TRUE(Fits(row, shown, height, DT_WORDBREAK | DT_NOPREFIX, true));
            }
            const bool one_line = Fits(row, shown, height, DT_SINGLELINE | DT_NOPREFIX, true);
            EXPECT_EQ((StyleOf(row) & BS_MULTILINE) != 0, !one_line) << "row " << k + 1;
        }
    }

    // The tips: one for each shortened row, with the full text (the first 1,000 characters of a longer one).
    HWND tooltip = nullptr;
    while ((tooltip = FindWindowExW(nullptr, tooltip, TOOLTIPS_CLASSW, nullptr)) &&
           GetWindow(tooltip, GW_OWNER) != exam.window()) {
    }
    ASSERT_NE(tooltip, nullptr) << "no tooltip";
    EXPECT_EQ(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 3);
    std::vector<wchar_t> tip(4096, L'\0');
    TTTOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = exam.window();
    tool.uId = reinterpret_cast<UINT_PTR>(exam.Control(IDC_OPTION2));
    tool.lpszText = tip.data();
    SendMessageW(tooltip, TTM_GETTEXTW, tip.size(), reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(std::wstring(tip.data()), huge.substr(0, 1000) + ELLIPSIS);

    // The mouse coming to rest on a shortened row (one move, then none) shows the tip after the usual delay.
    RECT place = {};
    GetWindowRect(exam.Control(IDC_OPTION2), &place);
    SetCursorPos(place.left + 200, place.top + 15);
    SendMessageW(exam.Control(IDC_OPTION2), WM_MOUSEMOVE, 0, MAKELPARAM(200, 15));
    for (const ULONGLONG deadline = GetTickCount64() + 5000;
         !IsWindowVisible(tooltip) && GetTickCount64() < deadline;) {
        Pump();
        Sleep(10);
    }
    EXPECT_TRUE(IsWindowVisible(tooltip)) << "no tip while the mouse rests on a shortened option";
    exam.Show(static_cast<int>(std::size(cases)));
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
        for (int round = 0; round < 50; ++round) page_through();
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
