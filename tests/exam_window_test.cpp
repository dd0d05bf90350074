// The exam window as the candidate meets it: the real tessavon.exe started in a folder with a bank of the
// test's making, its window, controls, fonts and texts read from outside, and Previous, Next and the option
// rows clicked. Also the start that fails: only the loader's message box, never the window.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "exam_window_support.h"
#include "bank_messages.h"
#include "question_bank.h"

namespace {

struct ExpectedControl {
    int id;
    const wchar_t* window_class;
    LONG style;
    RECT place;  // in the main window's client area: left, top, right, bottom
    bool bold;
};

// The nine controls in creation order. No control takes the keyboard focus by Tab (no WS_TABSTOP), the
// question label shows "&" as written (SS_NOPREFIX), and only the first option row starts the radio group.
const ExpectedControl CONTROLS[] = {
    {IDC_QUESTION_NUMBER, L"Static", WS_CHILD | WS_VISIBLE, {40, 20, 340, 60}, true},
    {IDC_TIMER_LABEL, L"Static", WS_CHILD | WS_VISIBLE | SS_RIGHT, {540, 20, 740, 60}, true},
    {IDC_QUESTION_TEXT, L"Static", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, {40, 60, 740, 180}, false},
    {IDC_OPTION1, L"Button", WS_CHILD | WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, {60, 200, 720, 235}, false},
    {IDC_OPTION2, L"Button", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, {60, 245, 720, 280}, false},
    {IDC_OPTION3, L"Button", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, {60, 290, 720, 325}, false},
    {IDC_OPTION4, L"Button", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, {60, 335, 720, 370}, false},
    {IDC_PREV, L"Button", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, {530, 500, 640, 540}, false},
    {IDC_NEXT, L"Button", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, {650, 500, 760, 540}, false},
};

RECT PlaceInParent(HWND control) {
    RECT place = {};
    GetWindowRect(control, &place);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

std::string Describe(const RECT& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ") " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

// The children of the main window, in z-order, which is their creation order.
std::vector<HWND> Children(HWND window) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

void ExpectExamFont(const SpiedControl& control, bool bold) {
    SCOPED_TRACE("font of control " + std::to_string(control.id));
    ASSERT_EQ(control.logfont_size, static_cast<int>(sizeof(LOGFONTW))) << "no font set";
    const LOGFONTW& f = control.logfont;
    // A positive height asks for the cell height.
    EXPECT_EQ(f.lfHeight, bold ? 24 : 20);
    EXPECT_EQ(f.lfWeight, bold ? FW_BOLD : FW_NORMAL);
    EXPECT_EQ(f.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(std::wstring(f.lfFaceName), L"Yu Gothic UI");
    EXPECT_EQ(f.lfWidth, 0);
    EXPECT_EQ(f.lfEscapement, 0);
    EXPECT_EQ(f.lfOrientation, 0);
    EXPECT_FALSE(f.lfItalic || f.lfUnderline || f.lfStrikeOut);
    EXPECT_EQ(f.lfOutPrecision, OUT_DEFAULT_PRECIS);
    EXPECT_EQ(f.lfClipPrecision, CLIP_DEFAULT_PRECIS);
    EXPECT_EQ(f.lfQuality, DEFAULT_QUALITY);
    EXPECT_EQ(f.lfPitchAndFamily, FF_SWISS | DEFAULT_PITCH);
}

// 800x600 outside, frame included, whenever it is not maximised.
void ExpectFullSizeUnlessMaximised(HWND window) {
    if (IsZoomed(window)) return;
    RECT outer = {};
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.right - outer.left, 800);
    EXPECT_EQ(outer.bottom - outer.top, 600);
}

// Started normally and started maximised (the show command a shortcut can pass): the same 800x600 window with
// the same nine controls at the same fixed places, the first of 60 questions, the full time.
TEST(ExamWindow, OpensWithTheFirstQuestionAndNineControlsAtFixedPlaces) {
    const std::vector<BankEntry> bank = NumberedBank(75);
    for (const WORD show_command : {static_cast<WORD>(SW_SHOWDEFAULT), static_cast<WORD>(SW_SHOWMAXIMIZED)}) {
        SCOPED_TRACE(show_command == SW_SHOWDEFAULT ? "started normally" : "started maximised");
        ExamProgram exam(BankJson(bank), show_command);
        const HWND window = exam.WaitForMainWindow();
        ASSERT_NE(window, nullptr) << "no main window";

        EXPECT_EQ(WindowTextOf(window), L"Tessavon");
        const LONG style = GetWindowLongW(window, GWL_STYLE);
        EXPECT_EQ(style & ~(WS_VISIBLE | WS_CLIPSIBLINGS | WS_MAXIMIZE), WS_OVERLAPPEDWINDOW);
        EXPECT_EQ(GetWindowLongW(window, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
        EXPECT_EQ(GetMenu(window), nullptr);
        EXPECT_EQ(GetParent(window), nullptr);
        EXPECT_EQ(IsZoomed(window) != FALSE, show_command == SW_SHOWMAXIMIZED);
        ExpectFullSizeUnlessMaximised(window);

        const std::vector<HWND> children = Children(window);
        ASSERT_EQ(children.size(), std::size(CONTROLS));
        for (size_t k = 0; k < children.size(); ++k) {
            const ExpectedControl& expected = CONTROLS[k];
            const HWND control = children[k];
            SCOPED_TRACE("control " + std::to_string(expected.id));
            EXPECT_EQ(GetDlgCtrlID(control), expected.id);
            const std::wstring window_class = ClassNameOf(control);
            EXPECT_EQ(_wcsicmp(window_class.c_str(), expected.window_class), 0) << WideToUtf8(window_class);
            EXPECT_EQ(GetWindowLongW(control, GWL_STYLE), expected.style);
            EXPECT_EQ(GetWindowLongW(control, GWL_EXSTYLE), 0);
            EXPECT_EQ(Describe(PlaceInParent(control)), Describe(expected.place));
        }

        const QuestionView view = exam.View();
        EXPECT_EQ(view.number, L"Question 1 / 60");
        ExpectShowsEntry(view, bank);
        EXPECT_EQ(view.checked, (std::array<bool, 4>{false, false, false, false}));
        EXPECT_EQ(exam.Text(IDC_PREV), L"Previous");
        EXPECT_EQ(exam.Text(IDC_NEXT), L"Next");
        ExpectTimeLeft(exam);

        // What only the program's own thread can read: icons, the class, the fonts.
        const SpyReport inside = SpyOnWindow(window);
        EXPECT_EQ(inside.class_background, static_cast<ULONG64>(COLOR_WINDOW + 1));
        EXPECT_EQ(inside.window_big_icon, 0u) << "the window has no icon of its own";
        EXPECT_EQ(inside.window_small_icon, 0u);
        EXPECT_EQ(inside.class_icon, 0u);
        EXPECT_EQ(inside.class_small_icon, 0u);
        EXPECT_EQ(inside.class_cursor, 0u);
        EXPECT_EQ(inside.class_menu_name, 0u);
        EXPECT_EQ(inside.class_style, 0u);
        EXPECT_EQ(inside.class_extra_bytes, 0u);
        EXPECT_EQ(inside.window_extra_bytes, 0u);
        ASSERT_EQ(inside.control_count, static_cast<int>(std::size(CONTROLS)));
        std::set<ULONG64> bold_fonts, normal_fonts;
        for (int k = 0; k < inside.control_count; ++k) {
            EXPECT_EQ(inside.controls[k].id, CONTROLS[k].id);
            ExpectExamFont(inside.controls[k], CONTROLS[k].bold);
            (CONTROLS[k].bold ? bold_fonts : normal_fonts).insert(inside.controls[k].font);
        }
        // One bold font for the two labels at the top, one normal font for the rest.
        EXPECT_EQ(bold_fonts.size(), 1u);
        EXPECT_EQ(normal_fonts.size(), 1u);

        // Maximising or restoring moves nothing: the controls keep their places near the top left.
        const bool was_maximised = IsZoomed(window);
        exam.Send(WM_SYSCOMMAND, was_maximised ? SC_RESTORE : SC_MAXIMIZE, 0);
        EXPECT_NE(IsZoomed(window) != FALSE, was_maximised);
        ExpectFullSizeUnlessMaximised(window);
        for (size_t k = 0; k < children.size(); ++k)
            EXPECT_EQ(Describe(PlaceInParent(children[k])), Describe(CONTROLS[k].place))
                << "control " << CONTROLS[k].id << (was_maximised ? " after restoring" : " after maximising");
        CloseAndExpectStatusZero(exam.program(), exam.window());
    }
}

// Three questions: all three in turn, never beyond either end, the option marks cleared by every move and
// left alone when a button does nothing; the time left is not reset by moving.
TEST(ExamWindow, PreviousAndNextStayWithinTheExamAndClearTheMarks) {
    const std::vector<BankEntry> bank = NumberedBank(3);
    ExamProgram exam(BankJson(bank));
    const HWND window = exam.WaitForMainWindow();
    ASSERT_NE(window, nullptr) << "no main window";
    const std::array<bool, 4> no_marks = {false, false, false, false};

    const QuestionView first = exam.View();
    EXPECT_EQ(first.number, L"Question 1 / 3");
    EXPECT_EQ(first.checked, no_marks);
    const int first_entry = ExpectShowsEntry(first, bank);
    exam.Tick(5);

    // Clicking an option row checks it and unchecks the others; nothing else changes.
    exam.Click(IDC_OPTION3);
    QuestionView marked = first;
    marked.checked = {false, false, true, false};
    EXPECT_EQ(exam.View(), marked);
    exam.Click(IDC_OPTION1);
    marked.checked = {true, false, false, false};
    EXPECT_EQ(exam.View(), marked);

    // "Previous" at the first question does nothing, so the mark stays.
    exam.Click(IDC_PREV);
    EXPECT_EQ(exam.View(), marked);

    // Tab and the arrow keys do not move the focus: no dialog-style keyboard handling. The keys go through the
    // program's message loop; a posted "Next" after them tells when they have been handled. Clicking the
    // checked row again takes the focus back from "Previous".
    exam.Click(IDC_OPTION1);
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    const DWORD gui_thread = GetWindowThreadProcessId(window, nullptr);
    ASSERT_TRUE(GetGUIThreadInfo(gui_thread, &gui));
    EXPECT_EQ(gui.hwndFocus, exam.Control(IDC_OPTION1)) << "a clicked option row has the focus";
    for (const WPARAM key : {VK_TAB, VK_DOWN, VK_RIGHT}) {
        PostMessageW(exam.Control(IDC_OPTION1), WM_KEYDOWN, key, 1);
        PostMessageW(exam.Control(IDC_OPTION1), WM_KEYUP, key, 0xC0000001);
    }
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_NEXT, BN_CLICKED),
                 reinterpret_cast<LPARAM>(exam.Control(IDC_NEXT)));
    for (const ULONGLONG deadline = GetTickCount64() + WINDOW_TIMEOUT_MS;
         exam.Text(IDC_QUESTION_NUMBER) == first.number && GetTickCount64() < deadline;)
        Sleep(5);
    ASSERT_TRUE(GetGUIThreadInfo(gui_thread, &gui));
    EXPECT_EQ(gui.hwndFocus, exam.Control(IDC_OPTION1)) << "the focus moved to control " << GetDlgCtrlID(gui.hwndFocus);

    // The move that the posted "Next" made: the second question, marks cleared.
    const QuestionView second = exam.View();
    EXPECT_EQ(second.number, L"Question 2 / 3");
    EXPECT_EQ(second.checked, no_marks);
    const int second_entry = ExpectShowsEntry(second, bank);
    EXPECT_NE(second_entry, first_entry);

    exam.Click(IDC_OPTION2);
    exam.Click(IDC_NEXT);
    const QuestionView third = exam.View();
    EXPECT_EQ(third.number, L"Question 3 / 3");
    EXPECT_EQ(third.checked, no_marks);
    const int third_entry = ExpectShowsEntry(third, bank);
    EXPECT_EQ((std::set<int>{first_entry, second_entry, third_entry}).size(), 3u) << "each bank entry once";

    // "Next" at the last question does nothing, so the mark stays.
    exam.Click(IDC_OPTION4);
    marked = third;
    marked.checked = {false, false, false, true};
    exam.Click(IDC_NEXT);
    EXPECT_EQ(exam.View(), marked);

    // Going back shows the earlier questions again, with no option checked.
    exam.Click(IDC_PREV);
    EXPECT_EQ(exam.View(), second);
    exam.Click(IDC_PREV);
    EXPECT_EQ(exam.View(), first);

    // Only the command's identifier counts: a notification code and a null control handle change nothing, and
    // commands from anything else are ignored.
    exam.Send(WM_COMMAND, MAKEWPARAM(IDC_NEXT, BN_DOUBLECLICKED), 0);
    EXPECT_EQ(exam.View(), second);
    for (const int id : {IDC_OPTION1, IDC_QUESTION_TEXT, IDC_TIMER_LABEL, 0, 999})
        exam.Send(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    EXPECT_EQ(exam.View(), second);

    // Moving did not give back any time.
    ExpectTimeLeft(exam);
    CloseAndExpectStatusZero(exam.program(), exam.window());
}

// A bank larger than an exam: sixty distinct entries numbered 1 to 60, walked forwards to the end and back.
TEST(ExamWindow, SixtyQuestionsOfALargerBankAreNumberedOneToSixty) {
    const std::vector<BankEntry> bank = NumberedBank(75);
    ExamProgram exam(BankJson(bank));
    ASSERT_NE(exam.WaitForMainWindow(), nullptr) << "no main window";

    std::vector<QuestionView> shown;
    std::set<int> entries;
    for (int k = 1; k <= 60; ++k) {
        shown.push_back(exam.View());
        EXPECT_EQ(shown.back().number, L"Question " + std::to_wstring(k) + L" / 60");
        entries.insert(ExpectShowsEntry(shown.back(), bank));
        exam.Click(IDC_NEXT);
    }
    EXPECT_EQ(entries.size(), 60u) << "sixty different bank entries";
    EXPECT_EQ(entries.count(-1), 0u);
    EXPECT_EQ(exam.View(), shown.back()) << "Next after the last question";

    for (int k = 59; k >= 1; --k) {
        exam.Click(IDC_PREV);
        EXPECT_EQ(exam.View(), shown[k - 1]);
    }
    exam.Click(IDC_PREV);
    EXPECT_EQ(exam.View(), shown.front()) << "Previous at the first question";
    CloseAndExpectStatusZero(exam.program(), exam.window());
}

// Texts as the bank author wrote them: "&" is shown, not taken as a mnemonic (the option buttons get it
// doubled), Japanese comes through unchanged, a question with fewer than four options leaves the remaining rows
// empty, one with more shows its first four, and on a shared page code answers and shortened options are read as
// written from their rows, never from the labels that draw them. Each bank holds one short question among longer
// ones, so it is always reached from a question that filled every row; the walk reaches each from both sides.
TEST(ExamWindow, ShowsTextsAsWrittenAndEmptyRowsForMissingOptions) {
    struct Shown {
        BankEntry entry;
        std::array<std::wstring, 4> option_texts;  // the buttons' window texts
        bool shared = false;                        // the question shares the page with its options
    };
    const Shown ampersands = {{"R&D && Q&A: which is right?", {"R&D", "A&&B", "&", "Tom & Jerry"}},
                              {L"R&&D", L"A&&&&B", L"&&", L"Tom && Jerry"}};
    const Shown japanese = {{u8"日本の首都は？", {u8"東京", u8"大阪", u8"京都", u8"札幌"}},
                            {L"東京", L"大阪", L"京都", L"札幌"}};
    const Shown six = {{"Six options", {"s1", "s2", "s3", "s4", "s5", "s6"}}, {L"s1", L"s2", L"s3", L"s4"}};
    const Shown two = {{"Two options", {"Yes", "No"}}, {L"Yes", L"No", L"", L""}};
    const Shown none = {{"No options", {}}, {L"", L"", L"", L""}};
    const Shown shared = {{"A\tlong " + std::string(1500, 'q'), {"R&D", "b", "c", "d"}},
                          {L"R&&D", L"b", L"c", L"d"}, true};
    const Shown code = {{"Which is right?", {"if x:\n\treturn 1", "a = 1\r\nb = 2", "tab\there", "d"}},
                        {L"if x:\n\treturn 1", L"a = 1\r\nb = 2", L"tab\there", L"d"}, true};
    const Shown shortened = {{"Which one?", {std::string(20000, 'x') + "&", "b", "c", "d"}},
                             {std::wstring(20000, L'x') + L"&&", L"b", L"c", L"d"}, true};
    const std::vector<std::vector<Shown>> banks = {{ampersands, shared, two, code, japanese},
                                                   {six, shortened, none, ampersands}};

    for (const std::vector<Shown>& questions : banks) {
        std::vector<BankEntry> bank;
        for (const Shown& q : questions) bank.push_back(q.entry);
        SCOPED_TRACE(BankJson(bank));
        ExamProgram exam(BankJson(bank));
        ASSERT_NE(exam.WaitForMainWindow(), nullptr) << "no main window";

        const int n = static_cast<int>(questions.size());
        std::vector<int> walk;  // positions 1..n and back to 1
        for (int k = 1; k <= n; ++k) walk.push_back(k);
        for (int k = n - 1; k >= 1; --k) walk.push_back(k);
        for (size_t step = 0; step < walk.size(); ++step) {
            if (step > 0) exam.Click(walk[step] > walk[step - 1] ? IDC_NEXT : IDC_PREV);
            const QuestionView view = exam.View();
            EXPECT_EQ(view.number, L"Question " + std::to_wstring(walk[step]) + L" / " + std::to_wstring(n));
            const std::string question = WideToUtf8(view.question);
            const Shown* expected = nullptr;
            for (const Shown& q : questions)
                if (q.entry.question == question) expected = &q;
            ASSERT_NE(expected, nullptr) << "unknown question on show: " << view;
            EXPECT_EQ(view.options, expected->option_texts) << view;
            for (int k = 0; k < 4; ++k) {  // a shared page's option labels, which hold no text
                const HWND label = exam.Control(IDC_OPTION_TEXT1 + k);
                EXPECT_EQ(label ? exam.Send(WM_GETTEXTLENGTH, 0, 0, label) : -1, expected->shared ? 0 : -1) << view;
            }
        }
        CloseAndExpectStatusZero(exam.program(), exam.window());
    }
}

// "[]" is a bank with no questions: the window opens with empty labels and rows, and the buttons do nothing.
TEST(ExamWindow, EmptyExamShowsNothingAndTheButtonsDoNothing) {
    ExamProgram exam(std::string("[]"));
    ASSERT_NE(exam.WaitForMainWindow(), nullptr) << "no main window";
    QuestionView empty;
    empty.checked = {false, false, false, false};
    EXPECT_EQ(exam.View(), empty);
    for (const int id : {IDC_NEXT, IDC_PREV, IDC_NEXT, IDC_NEXT}) {
        exam.Click(id);
        EXPECT_EQ(exam.View(), empty) << "after clicking " << id;
    }
    EXPECT_EQ(exam.Text(IDC_PREV), L"Previous");
    EXPECT_EQ(exam.Text(IDC_NEXT), L"Next");
    ExpectTimeLeft(exam);
    CloseAndExpectStatusZero(exam.program(), exam.window());
}

// The checker's preview: the exam's window on question N of the bank in file order, numbered in the whole bank (no
// draw of 60), with its right option marked; Previous and Next go through the whole bank, and no time is shown or
// counted, whatever ticks arrive.
TEST(ExamWindow, ThePreviewShowsTheBanksQuestionsInFileOrderWithTheRightOptionMarked) {
    const std::vector<BankEntry> bank = NumberedBank(70);
    ExamProgram preview(BankJson(bank), SW_SHOWDEFAULT, L"--show 68 questions.json");
    ASSERT_NE(preview.WaitForMainWindow(), nullptr) << "no preview window";
    const auto expect_entry = [&](int k) {
        SCOPED_TRACE("bank entry " + std::to_string(k));
        const QuestionView view = preview.View();
        EXPECT_EQ(view.number, L"Question " + std::to_wstring(k) + L" / 70");
        EXPECT_EQ(ExpectShowsEntry(view, bank), k - 1);
        std::array<bool, 4> right = {false, false, false, false};
        right[(k - 1) % 4] = true;  // BankJson's answers: 0, 1, 2, 3, 0, ...
        EXPECT_EQ(view.checked, right);
    };
    expect_entry(68);
    for (int k = 69; k <= 70; ++k) {
        preview.Click(IDC_NEXT);
        expect_entry(k);
    }
    preview.Click(IDC_NEXT);
    expect_entry(70);
    for (int k = 69; k >= 1; --k) {
        preview.Click(IDC_PREV);
        expect_entry(k);
    }
    preview.Click(IDC_PREV);
    expect_entry(1);

    EXPECT_EQ(preview.Text(IDC_TIMER_LABEL), L"");
    preview.Tick(3);
    EXPECT_EQ(preview.Text(IDC_TIMER_LABEL), L"");
    EXPECT_EQ(ProcessWindows(preview.pid(), MESSAGE_BOX_CLASS, false).size(), 0u) << "the preview said time is up";
    CloseAndExpectStatusZero(preview.program(), preview.window());
}

// The client area below the header row as the screen shows it now.
std::vector<DWORD> ScreenPixels(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 60};
    ClientToScreen(window, &origin);
    const int width = client.right, height = client.bottom - origin.y;
    const HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    SelectObject(memory, previous);
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// The same area after the window has drawn itself anew: the drawing reaches the screen a little after the program
// has done it, so the screen is read until two reads agree (at most for two seconds).
std::vector<DWORD> PagePixels(const ExamProgram& program) {
    const HWND window = program.window();
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    program.Send(WM_NULL, 0, 0);
    std::vector<DWORD> pixels = ScreenPixels(window);
    for (int read = 0; read < 40; ++read) {
        Sleep(50);
        std::vector<DWORD> again = ScreenPixels(window);
        if (again == pixels) break;
        pixels = std::move(again);
    }
    return pixels;
}

// The preview draws the page as the exam does, pixel for pixel: a Japanese question that shares the page with its
// options, one of them shortened, shown by the exam with its right option checked and by the checker's preview.
TEST(ExamWindow, ThePreviewDrawsThePageAsTheExamDoes) {
    const std::string sentence = u8"保守契約の延長について、次のうち正しいものはどれか。";
    std::string japanese;
    while (japanese.size() < 2400) japanese += sentence;
    const std::string bank = BankJson({{japanese, {u8"東京", std::string(3000, 'x'), "c", "d"}}});
    std::vector<DWORD> seen[2];
    for (const bool previewing : {false, true}) {
        ExamProgram program(bank, SW_SHOWDEFAULT, previewing ? L"--show 1 questions.json" : L"");
        ASSERT_NE(program.WaitForMainWindow(), nullptr) << (previewing ? "no preview window" : "no exam window");
        ASSERT_NE(program.Control(IDC_OPTION_TEXT1), nullptr) << "the question does not share the page";
        if (!previewing) program.Send(BM_SETCHECK, BST_CHECKED, 0, program.Control(IDC_OPTION1));
        seen[previewing] = PagePixels(program);
        CloseAndExpectStatusZero(program.program(), program.window());
    }
    EXPECT_TRUE(seen[0] == seen[1]) << "the preview's page looks different from the exam's";
}

// A bank that cannot be used: the loader's message box, owned by the main window that is never shown, and after
// OK the program ends with status 1.
TEST(ExamStart, ABankThatCannotBeLoadedShowsOnlyItsMessage) {
    const std::string prefix = FORMAT_ERROR_PREFIX;
    const struct {
        const char* what;
        std::optional<std::string> bank;
        std::wstring caption;
        std::string text;
    } cases[] = {
        {"no questions.json", std::nullopt, L"Error", "Could not find questions.json."},
        {"a syntax error", std::string(R"([{"questionText": "Q", "options": ["a"] "correctAnswer": 0}])"),
         L"JSON Parse Error",
         prefix + "[json.exception.parse_error.101] parse error at line 1, column 55: syntax error while parsing "
                  "object - unexpected string literal; expected '}'"},
        {"a question of the wrong shape",
         std::string(R"([{"questionText": "Q1", "options": ["a", "b", "c", "d"], "correctAnswer": 0},)"
                     R"( {"questionText": "Q2", "options": ["a", "b", "c", "d"], "correctAnswer": "1"}])"),
         L"JSON Parse Error",
         prefix + "Question 2 (line 1, column 79): \"correctAnswer\" must be a number, true or false, not a string."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExamProgram exam(c.bank);
        const HWND box = exam.WaitForMessageBox();
        ASSERT_NE(box, nullptr) << "no message box";
        // The box belongs to the main window, which exists but was never shown.
        const std::vector<HWND> main_windows = exam.TopLevelWindows(CLASS_NAME);
        ASSERT_EQ(main_windows.size(), 1u);
        EXPECT_FALSE(IsWindowVisible(main_windows[0])) << "the main window was shown";
        EXPECT_EQ(ReadProgramMessageBox(box), ErrorBox(c.caption, WidenAscii(c.text), main_windows[0]));

        PressOk(box);
        DWORD status = 0;
        ASSERT_TRUE(exam.program().WaitForExit(status)) << "the program did not end after OK";
        EXPECT_EQ(status, 1u);
    }
}

}  // namespace
