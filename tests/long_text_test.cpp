// Long questions and options on the real exam window, made inside the test process from the program's own
// window procedure: which size a text is shown at, when the question scrolls and an option is shortened, that a
// question that fits draws exactly the pixels it always did, and that paging costs no GDI or USER objects.
#include <gtest/gtest.h>

#include <windows.h>
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
    L"backup every Sunday night to tapes that are stored in a locked cabinet in the same server room. An online "
    L"retailer runs its checkout service on six virtual machines behind a load balancer. During a seasonal sale "
    L"the machines reach 95 percent CPU and customers see timeouts, yet for the rest of the year the same machines "
    L"idle at about 10 percent. The finance team wants to stop paying for capacity that sits unused most of the "
    L"year, and the operations team wants the service to stay responsive without anyone having to add machines by "
    L"hand at two in the morning. The application keeps no session state on the machines. A software company lets "
    L"developers deploy straight to production from their laptops. Last month a developer pushed a build that had "
    L"never been tested together with the latest database schema, and the customer portal was down for three "
    L"hours. Management now wants every change to be built the same way, tested automatically, and approved before "
    L"it reaches production, while still letting small fixes ship the same day. Which approach fits best?";
const std::wstring JAPANESE =
    L"ある製造業の会社では、工場の生産管理システムを社内のサーバで運用している。サーバは導入から七年が経ち、保守契約は"
    L"来年三月で終了する。情報システム部門は、クラウドへの移行、新しいサーバの購入、保守契約の延長の三案を比較している。";

// The first words of `text` up to about `length` characters, cut at a space; repeated when `text` is shorter.
std::wstring Words(const std::wstring& text, size_t length) {
    std::wstring words;
    while (words.size() < length) words += text + L" ";
    const size_t cut = words.rfind(L' ', length);
    return words.substr(0, cut == std::wstring::npos ? length : cut);
}

std::wstring Repeated(const std::wstring& text, size_t length) {
    std::wstring repeated;
    while (repeated.size() < length) repeated += text;
    return repeated.substr(0, length);
}

Question MakeQuestion(const std::wstring& text, std::vector<std::wstring> options = {L"Yes", L"No", L"Maybe", L"Never"}) {
    Question q;
    q.questionText = text;
    q.options = std::move(options);
    return q;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;  // posted by the window's destruction
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The program's main window, created in this process as wWinMain creates it, on a bank of one question; the
// test then puts its own questions in the exam and shows them with the program's ShowQuestion.
class ExamWindow {
public:
    explicit ExamWindow(const std::vector<Question>& questions) {
        static const ATOM registered = [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = WindowProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            wc.lpszClassName = CLASS_NAME;
            return RegisterClassW(&wc);
        }();
        EXPECT_NE(registered, 0);
        folder_.Write(L"questions.json", R"([{"questionText": "Q", "options": ["a", "b", "c", "d"], "correctAnswer": 0}])");
        window_ = CreateWindowExW(0, CLASS_NAME, L"Tessavon", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(window_, nullptr);
        ShowWindow(window_, SW_SHOW);
        examQuestions = questions;
        Show(0);
    }
    ~ExamWindow() {
        if (IsWindow(window_)) DestroyWindow(window_);
        Pump();
    }
    ExamWindow(const ExamWindow&) = delete;
    ExamWindow& operator=(const ExamWindow&) = delete;

    HWND window() const { return window_; }
    HWND Control(int id) const { return GetDlgItem(window_, id); }
    void Show(int index) {
        currentQuestionIndex = index;
        ShowQuestion(window_);
        UpdateWindow(window_);
        Pump();
    }
    void Destroy() { DestroyWindow(window_); }

private:
    TempWorkFolder folder_;
    HWND window_ = nullptr;
};

LOGFONTW FontOf(HWND control) {
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

std::wstring TextOf(HWND control) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, &text[0], static_cast<int>(text.size()))));
    return text;
}

LONG StyleOf(HWND control) { return GetWindowLongW(control, GWL_STYLE); }

int ChildCount(HWND window) {
    int count = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) ++count;
    return count;
}

// Whether `text` fits `width` x `height` drawn with `format` in the exam font of `height_px`, measured here
// independently of the program's own measuring.
bool Fits(HWND control, const std::wstring& text, int font_height, UINT format, int width, int height) {
    const HDC dc = GetDC(control);
    const HFONT font = CreateFontW(font_height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH,
                                   L"Yu Gothic UI");
    const HGDIOBJ previous = SelectObject(dc, font);
    RECT box = {0, 0, width, height};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, format | DT_CALCRECT);
    SelectObject(dc, previous);
    DeleteObject(font);
    ReleaseDC(control, dc);
    return box.right <= width && box.bottom <= height;
}

constexpr UINT LABEL_FORMAT = DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;
constexpr int LABEL_WIDTH = 700, LABEL_HEIGHT = 120;
constexpr int OPTION_HEIGHT = 35;

// A radio button's text starts right of its 13-pixel check box and half the width of a "0" after it.
int OptionTextWidth(HWND row, int font_height) {
    const HDC dc = GetDC(row);
    const HFONT font = CreateFontW(font_height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH,
                                   L"Yu Gothic UI");
    const HGDIOBJ previous = SelectObject(dc, font);
    SIZE zero = {};
    GetTextExtentPoint32W(dc, L"0", 1, &zero);
    SelectObject(dc, previous);
    DeleteObject(font);
    ReleaseDC(row, dc);
    return 660 - 13 - zero.cx / 2;
}

// The tooltip window the program made for the exam window, or nullptr.
HWND TooltipOf(HWND window) {
    struct Search {
        HWND owner, found;
    } search = {window, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND candidate, LPARAM param) {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[64] = {};
            GetClassNameW(candidate, name, 64);
            if (_wcsicmp(name, TOOLTIPS_CLASSW) == 0 && GetWindow(candidate, GW_OWNER) == s->owner) s->found = candidate;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The pixels of a control's client area as it shows them on screen.
std::vector<DWORD> Pixels(HWND control) {
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    Pump();
    RECT client = {};
    GetClientRect(control, &client);
    const HDC dc = GetDC(control);
    const HDC memory = CreateCompatibleDC(dc);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<DWORD> pixels(static_cast<const DWORD*>(bits),
                              static_cast<const DWORD*>(bits) + static_cast<size_t>(client.right) * client.bottom);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(control, dc);
    return pixels;
}

// The question label and the four option rows exactly as the program made them before texts were fitted:
// the same classes, styles, places and font, the question as written and the options with "&" doubled.
class WindowAsBefore {
public:
    WindowAsBefore() {
        static const ATOM registered = [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            wc.lpszClassName = L"TessavonAsBefore";
            return RegisterClassW(&wc);
        }();
        EXPECT_NE(registered, 0);
        // Below the exam window, so neither covers the other.
        window_ = CreateWindowExW(0, L"TessavonAsBefore", L"", WS_POPUP | WS_VISIBLE, 0, 600, 800, 400, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
        font_ = CreateFontW(20, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH, L"Yu Gothic UI");
        const auto make = [&](int id, const wchar_t* window_class, DWORD style, int x, int y, int width, int height) {
            const HWND control = CreateWindowExW(0, window_class, L"", style, x, y, width, height, window_,
                                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
        };
        make(IDC_QUESTION_TEXT, L"STATIC", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 40, 60, 700, 120);
        make(IDC_OPTION1, L"BUTTON", WS_CHILD | WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, 60, 200, 660, 35);
        for (int k = 1; k < 4; ++k)
            make(IDC_OPTION1 + k, L"BUTTON", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, 60, 200 + 45 * k, 660, 35);
    }
    ~WindowAsBefore() {
        DestroyWindow(window_);
        DeleteObject(font_);
    }
    WindowAsBefore(const WindowAsBefore&) = delete;
    WindowAsBefore& operator=(const WindowAsBefore&) = delete;

    void Show(const Question& q) {
        SetDlgItemTextW(window_, IDC_QUESTION_TEXT, q.questionText.c_str());
        for (int k = 0; k < 4; ++k) {
            std::wstring escaped;
            for (wchar_t c : k < static_cast<int>(q.options.size()) ? q.options[k] : std::wstring())
                escaped += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);
            SetDlgItemTextW(window_, IDC_OPTION1 + k, escaped.c_str());
        }
        UpdateWindow(window_);
        Pump();
    }
    HWND Control(int id) const { return GetDlgItem(window_, id); }

private:
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
};

// Live GDI and USER objects of this process. Wine answers 0 to GetGuiResources; there the GDI objects are
// counted in the process's own GDI handle table (PEB offset 0xF8 on x64, 16,384 entries of 24 bytes whose type
// byte is 0 when free), and the USER objects this program makes, windows, are counted one by one.
struct GuiObjects {
    DWORD gdi = 0, user = 0;
    bool operator==(const GuiObjects& other) const { return gdi == other.gdi && user == other.user; }
};

GuiObjects CountGuiObjects() {
    GuiObjects counted = {GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
                          GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)};
    if (counted.gdi == 0) {
        const auto* peb = reinterpret_cast<const BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
        const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + 0xF8);
        EXPECT_NE(table, nullptr) << "neither GetGuiResources nor a GDI handle table";
        for (size_t k = 0; table && k < 16384; ++k) counted.gdi += table[k * 24 + 14] != 0;
    }
    if (counted.user == 0) {
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM count) {
                *reinterpret_cast<DWORD*>(count) += 1;
                EnumChildWindows(
                    window, [](HWND, LPARAM inner) { return ++*reinterpret_cast<DWORD*>(inner), TRUE; }, count);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&counted.user));
    }
    return counted;
}

// A question that fits shows exactly as before fitting existed, pixel for pixel, also when it follows a question
// that needed a smaller font, a scrolling label and shortened options; a question that does not fit does not.
TEST(LongTexts, AQuestionThatFitsDrawsTheSamePixelsAsBefore) {
    const Question fitting = MakeQuestion(Words(ENGLISH, 330), {L"R&D and Q&A", Words(ENGLISH, 60), L"東京", L"4"});
    const Question japanese = MakeQuestion(JAPANESE.substr(0, 150), {L"保守契約を延長する", L"b", L"c", L"d"});
    const Question shrunk = MakeQuestion(Words(ENGLISH, 600), {L"a", Words(ENGLISH, 160), L"c", L"d"});
    const Question scrolled = MakeQuestion(Words(ENGLISH, 2000), {Words(ENGLISH, 5000), L"b", L"c", L"d"});
    ExamWindow exam({fitting, shrunk, scrolled, japanese});
    WindowAsBefore before;
    const auto expect_as_before = [&](const Question& q, const char* when) {
        SCOPED_TRACE(when);
        before.Show(q);
        EXPECT_EQ(ChildCount(exam.window()), 9);
        for (const int id : {IDC_QUESTION_TEXT, IDC_OPTION1, IDC_OPTION2, IDC_OPTION3, IDC_OPTION4}) {
            EXPECT_EQ(StyleOf(exam.Control(id)), StyleOf(before.Control(id))) << "control " << id;
            EXPECT_EQ(SendMessageW(exam.Control(id), WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(hFontNormal));
            EXPECT_TRUE(Pixels(exam.Control(id)) == Pixels(before.Control(id))) << "control " << id << " looks different";
        }
    };
    expect_as_before(fitting, "first question");
    exam.Show(1);
    before.Show(shrunk);
    EXPECT_FALSE(Pixels(exam.Control(IDC_QUESTION_TEXT)) == Pixels(before.Control(IDC_QUESTION_TEXT)))
        << "a shrunk question looks the same as at the normal size";
    exam.Show(2);
    exam.Show(0);
    expect_as_before(fitting, "back after long questions");
    exam.Show(3);
    expect_as_before(japanese, "Japanese");
}

// The question label takes the largest size from 20 down to 15 at which the whole text fits it: English of
// about 800 characters still fits, Japanese wraps between its characters.
TEST(LongTexts, ALongQuestionShrinksToTheLargestSizeThatFits) {
    const std::vector<std::wstring> texts = {Words(ENGLISH, 420), Words(ENGLISH, 500), Words(ENGLISH, 650),
                                             Words(ENGLISH, 800), Repeated(JAPANESE, 250), Repeated(JAPANESE, 330)};
    std::vector<Question> questions;
    for (const std::wstring& text : texts) questions.push_back(MakeQuestion(text));
    ExamWindow exam(questions);
    const HWND label = exam.Control(IDC_QUESTION_TEXT);
    int previous_height = NORMAL_TEXT_HEIGHT;
    for (size_t k = 0; k < texts.size(); ++k) {
        SCOPED_TRACE(std::to_string(texts[k].size()) + " characters");
        exam.Show(static_cast<int>(k));
        const LOGFONTW font = FontOf(label);
        EXPECT_GE(font.lfHeight, QUESTION_FLOOR_HEIGHT);
        EXPECT_LT(font.lfHeight, NORMAL_TEXT_HEIGHT);
        EXPECT_EQ(std::wstring(font.lfFaceName), L"Yu Gothic UI");
        EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
        EXPECT_EQ(font.lfWeight, FW_NORMAL);
        EXPECT_TRUE(Fits(label, texts[k], font.lfHeight, LABEL_FORMAT, LABEL_WIDTH, LABEL_HEIGHT));
        EXPECT_FALSE(Fits(label, texts[k], font.lfHeight + 1, LABEL_FORMAT, LABEL_WIDTH, LABEL_HEIGHT))
            << "a larger size fits too";
        if (k < 4) {
            EXPECT_LE(font.lfHeight, previous_height) << "a longer English text got a larger size";
            previous_height = font.lfHeight;
        }
        EXPECT_EQ(StyleOf(label), WS_CHILD | WS_VISIBLE | SS_NOPREFIX);
        EXPECT_EQ(TextOf(label), texts[k]);
        EXPECT_EQ(exam.Control(IDC_QUESTION_SCROLL), nullptr);
    }
}

// Past the floor the label draws the text itself at the floor size and scrolls: its scroll bar starts at the
// top, the wheel over the question scrolls it, the option that has the focus keeps it, and the next question
// that fits brings the label back.
TEST(LongTexts, AQuestionTooLongForTheFloorScrollsFromTheTop) {
    const std::wstring long_text = Words(ENGLISH, 2400);
    ExamWindow exam({MakeQuestion(long_text), MakeQuestion(L"Short again"), MakeQuestion(Repeated(ENGLISH, 1000000))});
    const HWND label = exam.Control(IDC_QUESTION_TEXT);
    const HWND bar = exam.Control(IDC_QUESTION_SCROLL);
    ASSERT_NE(bar, nullptr) << "no scroll bar";
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_EQ(StyleOf(label) & SS_TYPEMASK, SS_OWNERDRAW);
    EXPECT_EQ(FontOf(label).lfHeight, QUESTION_FLOOR_HEIGHT);
    EXPECT_EQ(TextOf(label), long_text) << "the label holds the whole text";

    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(bar, SB_CTL, &info));
    EXPECT_EQ(info.nPos, 0);
    EXPECT_EQ(info.nPage, 8u) << "lines of 15 pixels in a label of 120";
    const size_t lines = WrapLines(label, long_text, QUESTION_FLOOR_HEIGHT, LABEL_WIDTH).size();
    EXPECT_EQ(info.nMax + 1, static_cast<int>(lines));
    EXPECT_GT(lines, 8u);
    const std::vector<DWORD> top = Pixels(label);

    SetFocus(exam.Control(IDC_OPTION2));
    RECT place = {};
    GetWindowRect(label, &place);
    const auto wheel = [&](POINT at, int delta) {
        SendMessageW(GetFocus(), WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(at.x, at.y));
        Pump();
        return GetScrollPos(bar, SB_CTL);
    };
    UINT lines_per_notch = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines_per_notch, 0);
    const POINT over_question = {place.left + 100, place.top + 50}, below_it = {place.left + 100, place.bottom + 60};
    EXPECT_EQ(wheel(over_question, -WHEEL_DELTA), static_cast<int>(lines_per_notch));
    EXPECT_EQ(wheel(below_it, -WHEEL_DELTA), static_cast<int>(lines_per_notch)) << "the wheel away from the question";
    EXPECT_EQ(wheel(over_question, WHEEL_DELTA / 2), static_cast<int>(lines_per_notch)) << "half a notch";
    EXPECT_EQ(wheel(over_question, WHEEL_DELTA / 2), 0);
    EXPECT_EQ(GetFocus(), exam.Control(IDC_OPTION2)) << "the option row lost the focus";

    SendMessageW(exam.window(), WM_VSCROLL, SB_BOTTOM, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), info.nMax - static_cast<int>(info.nPage) + 1) << "the last line at the bottom";
    EXPECT_FALSE(Pixels(label) == top) << "scrolling changed nothing on screen";
    SendMessageW(exam.window(), WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), info.nMax - static_cast<int>(info.nPage) + 1) << "scrolled past the end";

    exam.Show(1);
    EXPECT_EQ(exam.Control(IDC_QUESTION_SCROLL), nullptr);
    EXPECT_EQ(StyleOf(label), WS_CHILD | WS_VISIBLE | SS_NOPREFIX);
    EXPECT_EQ(SendMessageW(label, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(hFontNormal));

    // A million characters are not measured at every size: they go straight to the scrolling label.
    exam.Show(2);
    ASSERT_NE(exam.Control(IDC_QUESTION_SCROLL), nullptr);
    ASSERT_TRUE(GetScrollInfo(exam.Control(IDC_QUESTION_SCROLL), SB_CTL, &info));
    EXPECT_EQ(info.nPos, 0);
    EXPECT_GT(info.nMax, 1000000 / 120) << "fewer lines than a million characters need";
}

// The scrolling label's own line breaking keeps every character and never lets a line run past the label, for
// words, Japanese, a word longer than a line, and the three kinds of line break.
TEST(LongTexts, WrappedLinesKeepEveryCharacterWithinTheWidth) {
    ExamWindow exam({MakeQuestion(L"Q")});
    const HWND label = exam.Control(IDC_QUESTION_TEXT);
    const std::wstring texts[] = {Words(ENGLISH, 3000), Repeated(JAPANESE, 3000),
                                  L"before " + std::wstring(900, L'x') + L" after",
                                  L"one\r\ntwo\rthree\n\nfive   spaced    words\n", L"𠀋𠀋" + Repeated(L"𠀋", 400)};
    const HDC dc = GetDC(label);
    const HGDIOBJ previous = SelectObject(dc, FittedFont(QUESTION_FLOOR_HEIGHT));
    for (const std::wstring& text : texts) {
        SCOPED_TRACE(WideToUtf8(text.substr(0, 40)));
        const auto lines = WrapLines(label, text, QUESTION_FLOOR_HEIGHT, LABEL_WIDTH);
        std::wstring kept, expected;
        size_t last_end = 0;
        for (size_t line = 0; line < lines.size(); ++line) {
            const auto [begin, end] = lines[line];
            ASSERT_LE(begin, end);
            ASSERT_GE(begin, last_end);
            last_end = end;
            SIZE extent = {};
            GetTextExtentPoint32W(dc, text.data() + begin, static_cast<int>(end - begin), &extent);
            EXPECT_LE(extent.cx, LABEL_WIDTH) << "line " << line;
            EXPECT_FALSE(end > begin && IS_HIGH_SURROGATE(text[end - 1])) << "a surrogate pair split";
            kept += text.substr(begin, end - begin);
        }
        std::copy_if(text.begin(), text.end(), std::back_inserter(expected), [](wchar_t c) { return !std::iswspace(c); });
        kept.erase(std::remove_if(kept.begin(), kept.end(), [](wchar_t c) { return std::iswspace(c); }), kept.end());
        EXPECT_EQ(kept, expected);
    }
    EXPECT_EQ(WrapLines(label, L"one\r\ntwo\rthree\n\nfive", QUESTION_FLOOR_HEIGHT, LABEL_WIDTH).size(), 5u);
    SelectObject(dc, previous);
    ReleaseDC(label, dc);
}

// When any option does not fit its row on one line, all four rows share one smaller size; only the rows that
// need two lines wrap, and each row's whole text fits it.
TEST(LongTexts, OptionsThatDoNotFitShareOneSmallerSize) {
    const struct {
        std::vector<std::wstring> options;
        int at_least, at_most;  // the common size expected, in pixels
    } cases[] = {
        {{L"Short", Words(ENGLISH, 85), L"R&D", L"c"}, 18, 19},
        {{Words(ENGLISH, 120), L"b", Words(ENGLISH, 165), L"d & e"}, 13, 17},
        {{JAPANESE.substr(0, 45), L"東京", JAPANESE.substr(0, 70), L"京都"}, 13, 17},
    };
    std::vector<Question> questions;
    for (const auto& c : cases) questions.push_back(MakeQuestion(L"Which one?", c.options));
    ExamWindow exam(questions);
    for (size_t q = 0; q < std::size(cases); ++q) {
        exam.Show(static_cast<int>(q));
        const int height = FontOf(exam.Control(IDC_OPTION1)).lfHeight;
        SCOPED_TRACE("question " + std::to_string(q + 1) + ", options at " + std::to_string(height));
        EXPECT_GE(height, cases[q].at_least);
        EXPECT_LE(height, cases[q].at_most);
        for (int k = 0; k < 4; ++k) {
            const HWND row = exam.Control(IDC_OPTION1 + k);
            const std::wstring& text = cases[q].options[k];
            EXPECT_EQ(SendMessageW(row, WM_GETFONT, 0, 0), SendMessageW(exam.Control(IDC_OPTION1), WM_GETFONT, 0, 0));
            std::wstring escaped;
            for (wchar_t c : text) escaped += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);
            EXPECT_EQ(TextOf(row), escaped) << "row " << k + 1 << " was changed";
            const int width = OptionTextWidth(row, height);
            const bool one_line = Fits(row, text, height, DT_SINGLELINE | DT_NOPREFIX, width, OPTION_HEIGHT);
            EXPECT_EQ((StyleOf(row) & BS_MULTILINE) != 0, !one_line) << "row " << k + 1;
            EXPECT_TRUE(Fits(row, text, height, DT_WORDBREAK | DT_NOPREFIX, width, OPTION_HEIGHT))
                << "row " << k + 1 << " does not fit";
        }
    }
}

// An option too long for two lines at the smallest size ends in "…" at a word boundary (within a single huge
// word, at a character), and the mouse resting on its row shows the full text; the other rows have no tip.
TEST(LongTexts, AnOptionTooLongEvenAtTheSmallestSizeIsShortenedWithATip) {
    const std::wstring huge = Words(ENGLISH, 100000);
    const std::wstring url = L"https://example.com/" + std::wstring(400, L'x');
    const std::vector<std::wstring> options = {L"Short", huge, url, Repeated(JAPANESE, 300)};
    ExamWindow exam({MakeQuestion(L"Which one?", options), MakeQuestion(L"Next one")});
    const HWND tooltip = TooltipOf(exam.window());
    ASSERT_NE(tooltip, nullptr) << "no tooltip";
    EXPECT_EQ(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 3);
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE("row " + std::to_string(k + 1));
        const HWND row = exam.Control(IDC_OPTION1 + k);
        EXPECT_EQ(FontOf(row).lfHeight, OPTION_FLOOR_HEIGHT);
        const std::wstring shown = TextOf(row);
        std::vector<wchar_t> tip(4096, L'\0');
        TTTOOLINFOW tool = {};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = exam.window();
        tool.uId = reinterpret_cast<UINT_PTR>(row);
        tool.lpszText = tip.data();
        SendMessageW(tooltip, TTM_GETTEXTW, tip.size(), reinterpret_cast<LPARAM>(&tool));
        if (k == 0) {
            EXPECT_EQ(shown, options[0]);
            EXPECT_EQ(std::wstring(tip.data()), L"");
            continue;
        }
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.back(), ELLIPSIS[0]);
        const std::wstring kept = shown.substr(0, shown.size() - 1);
        EXPECT_EQ(options[k].compare(0, kept.size(), kept), 0) << "not the start of the option";
        EXPECT_GT(kept.size(), 100u) << "shortened far more than two lines need";
        if (k == 1) {
            EXPECT_EQ(options[k][kept.size()], L' ') << "cut inside a word";
        }
        EXPECT_TRUE(Fits(row, shown, OPTION_FLOOR_HEIGHT, DT_WORDBREAK | DT_NOPREFIX,
                         OptionTextWidth(row, OPTION_FLOOR_HEIGHT), OPTION_HEIGHT));
        const std::wstring expected_tip = options[k].size() > 1000 ? options[k].substr(0, 1000) + L"…" : options[k];
        EXPECT_EQ(std::wstring(tip.data()), expected_tip);
    }
    // The mouse coming to rest on a shortened row (one move, then none) shows the tip after the usual delay.
    RECT place = {};
    GetWindowRect(exam.Control(IDC_OPTION2), &place);
    SetCursorPos(place.left + 200, place.top + 15);
    SendMessageW(exam.Control(IDC_OPTION2), WM_MOUSEMOVE, 0, MAKELPARAM(200, 15));
    for (const ULONGLONG deadline = GetTickCount64() + 5000; !IsWindowVisible(tooltip) && GetTickCount64() < deadline;) {
        Pump();
        Sleep(10);
    }
    EXPECT_TRUE(IsWindowVisible(tooltip)) << "no tip while the mouse rests on a shortened option";

    exam.Show(1);
    EXPECT_EQ(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 0) << "a tip left on a question that fits";
}

// Paging many times through questions of every kind makes no GDI or USER objects beyond those of the first
// round, and the fonts made for smaller sizes are deleted with the window.
TEST(LongTexts, PagingDoesNotGrowGdiOrUserObjects) {
    std::vector<HFONT> fonts_seen;
    {
        ExamWindow exam({MakeQuestion(L"Short", {L"a", L"b", L"c", L"d"}),
                         MakeQuestion(Words(ENGLISH, 600), {L"a", Words(ENGLISH, 150), L"c", L"d"}),
                         MakeQuestion(Words(ENGLISH, 3000), {Words(ENGLISH, 100000), L"b", L"c", L"d"}),
                         MakeQuestion(JAPANESE, {Words(ENGLISH, 80), L"b", L"c", L"d"})});
        const auto page_through = [&] {
            for (int k = 0; k < 4; ++k) {
                SendMessageW(exam.window(), WM_COMMAND, MAKEWPARAM(IDC_NEXT, BN_CLICKED), 0);
                Pump();
                for (const int id : {IDC_QUESTION_TEXT, IDC_OPTION1})
                    fonts_seen.push_back(reinterpret_cast<HFONT>(SendMessageW(exam.Control(id), WM_GETFONT, 0, 0)));
            }
            for (int k = 0; k < 4; ++k) {
                SendMessageW(exam.window(), WM_COMMAND, MAKEWPARAM(IDC_PREV, BN_CLICKED), 0);
                Pump();
            }
        };
        page_through();
        const GuiObjects after_first_round = CountGuiObjects();
        EXPECT_GT(after_first_round.gdi, 0u);
        for (int round = 0; round < 50; ++round) page_through();
        EXPECT_TRUE(CountGuiObjects() == after_first_round)
            << "GDI " << after_first_round.gdi << " -> " << CountGuiObjects().gdi << ", USER " << after_first_round.user
            << " -> " << CountGuiObjects().user;
        std::sort(fonts_seen.begin(), fonts_seen.end());
        fonts_seen.erase(std::unique(fonts_seen.begin(), fonts_seen.end()), fonts_seen.end());
        EXPECT_LE(fonts_seen.size(), 5u) << "fonts are made anew instead of reused";
        for (HFONT font : fonts_seen) EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
        exam.Destroy();
        Pump();
    }
    for (HFONT font : fonts_seen) EXPECT_EQ(GetObjectType(font), 0u) << "a font outlived the window";
}

}  // namespace
