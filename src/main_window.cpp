// Entry point and main window of the exam. The window procedure only routes messages; each message has its
// own handler below, and the exam itself lives in exam_flow.cpp.
#include "main_window.h"

#include <windowsx.h>

#include <exception>
#include <utility>

#include "control_ids.h"
#include "exam_flow.h"
#include "option_tip.h"
#include "question_page.h"
#include "page_layout.h"
#include "question_bank.h"
#include "text_fitting.h"

HFONT hFontNormal = nullptr;
HFONT hFontBold = nullptr;

namespace {

struct ControlLayout {
    int id;
    const wchar_t* window_class;
    DWORD style;
    int x, y, width, height;
    const wchar_t* text;
};

// The nine controls, in creation order. No control has WS_TABSTOP: the exam is worked with the mouse.
// The question label does not treat "&" as a mnemonic, so texts like "R&D" show as written.
const ControlLayout CONTROLS[] = {
    {IDC_QUESTION_NUMBER, L"STATIC", WS_CHILD | WS_VISIBLE, 40, 20, 300, 40, L""},
    {IDC_TIMER_LABEL, L"STATIC", WS_CHILD | WS_VISIBLE | SS_RIGHT, 540, 20, 200, 40, L""},
    {IDC_QUESTION_TEXT, L"STATIC", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, QUESTION_LEFT, QUESTION_TOP, QUESTION_WIDTH,
     QUESTION_HEIGHT, L""},
    {IDC_OPTION1, L"BUTTON", WS_CHILD | WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, OPTION_LEFT, OPTION_TOP,
     OPTION_WIDTH, OPTION_HEIGHT, L""},
    {IDC_OPTION2, L"BUTTON", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, OPTION_LEFT, OPTION_TOP + OPTION_PITCH,
     OPTION_WIDTH, OPTION_HEIGHT, L""},
    {IDC_OPTION3, L"BUTTON", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, OPTION_LEFT, OPTION_TOP + 2 * OPTION_PITCH,
     OPTION_WIDTH, OPTION_HEIGHT, L""},
    {IDC_OPTION4, L"BUTTON", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, OPTION_LEFT, OPTION_TOP + 3 * OPTION_PITCH,
     OPTION_WIDTH, OPTION_HEIGHT, L""},
    {IDC_PREV, L"BUTTON", WS_CHILD | WS_VISIBLE, 530, 500, 110, 40, L"Previous"},
    {IDC_NEXT, L"BUTTON", WS_CHILD | WS_VISIBLE, 650, 500, 110, 40, L"Next"},
};

// The order in which the controls are given their fonts.
const int BOLD_FONT_CONTROLS[] = {IDC_QUESTION_NUMBER, IDC_TIMER_LABEL};
const int NORMAL_FONT_CONTROLS[] = {IDC_QUESTION_TEXT, IDC_OPTION1, IDC_OPTION2, IDC_OPTION3,
                                    IDC_OPTION4,       IDC_PREV,    IDC_NEXT};

// Builds the whole exam: fonts, bank, draw, controls, first question, full time, running timer; for a preview (the
// creation parameter), the same fonts, controls and page on its questions, with no time shown or counted.
// Returning FALSE refuses the window after a load failure the loader has already reported.
BOOL OnCreate(HWND window, LPCREATESTRUCT create) {
    hFontNormal = CreateExamFont(NORMAL_TEXT_HEIGHT, FW_NORMAL);
    hFontBold = CreateExamFont(24, FW_BOLD);
    // Texts that fit are shown in this very font; only other sizes are made by the page layout.
    UseNormalFont(hFontNormal);

    PreviewStart* preview = static_cast<PreviewStart*>(create->lpCreateParams);
    if (!preview && !LoadQuestions(window)) {
        PostQuitMessage(1);
        return FALSE;
    }
    if (!preview) PrepareExam();

    for (const ControlLayout& c : CONTROLS) {
        CreateWindowExW(0, c.window_class, c.text, c.style, c.x, c.y, c.width, c.height, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), nullptr, nullptr);
    }
    for (int id : BOLD_FONT_CONTROLS)
        SendMessageW(GetDlgItem(window, id), WM_SETFONT, reinterpret_cast<WPARAM>(hFontBold), TRUE);
    for (int id : NORMAL_FONT_CONTROLS)
        SendMessageW(GetDlgItem(window, id), WM_SETFONT, reinterpret_cast<WPARAM>(hFontNormal), TRUE);

    // The preview is the exam flow's other mode, the bank's questions in file order.
    if (preview)
        StartPreview(window, preview->questions, preview->first);
    else
        StartExam(window);
    return TRUE;
}

// Releases what creation made and ends the message loop; also runs for a window refused during creation.
void OnDestroy(HWND window) {
    KillTimer(window, ID_EXAM_TIMER);
    if (hFontNormal) DeleteObject(hFontNormal);
    if (hFontBold) DeleteObject(hFontBold);
    hFontNormal = nullptr;
    hFontBold = nullptr;
    ReleaseQuestionPage();
    PostQuitMessage(0);
}

// Nothing is drawn by hand; the class brush paints the background.
void OnPaint(HWND window) {
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    EndPaint(window, &ps);
}

// Clicks on Previous and Next; the notification code and control handle do not matter.
void OnCommand(HWND window, int id, HWND, UINT) { NavigateExam(window, id); }

// The once-a-second exam tick.
void OnTimer(HWND window, UINT id) { ExamTick(window, id); }

// Labels that draw their texts themselves: the question's while it shares the page with its options, and the
// options' lines over their rows.
void OnDrawItem(HWND, const DRAWITEMSTRUCT* item) {
    if (item->CtlID == IDC_QUESTION_TEXT)
        DrawQuestionLines(item);
    else
        DrawOptionLines(item);
}

// The scroll bar of a question too long for its label.
void OnVScroll(HWND, HWND, UINT action, int) { ScrollQuestion(action); }

// A shortened option's tip is about to show: it is kept on screen (TRUE says it is placed). Other notices need
// nothing, as the default handling does.
LRESULT OnNotify(HWND, int, NMHDR* notice) { return PlaceOptionTip(notice) ? TRUE : FALSE; }

// The mouse wheel reaches the main window from whichever control has the focus; it scrolls a long question
// when the pointer is over it.
void OnMouseWheel(HWND, int x, int y, int delta, UINT) { ScrollQuestionByWheel(POINT{x, y}, delta); }

// A handler ran out of memory (the only exception they can meet): say so and end the program with status 1.
// During creation the window is refused; afterwards it is destroyed, and the quit code posted last is the one
// the message loop returns.
LRESULT OnOutOfMemory(HWND window, UINT message) {
    MessageBoxW(window, L"Tessavon has run out of memory and must close.", L"Error", MB_ICONERROR | MB_OK);
    if (message == WM_CREATE) return -1;
    DestroyWindow(window);
    PostQuitMessage(1);
    return 0;
}

}  // namespace

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // No exception may unwind into the system's code that called us.
    try {
        switch (message) {
            HANDLE_MSG(window, WM_CREATE, OnCreate);
            HANDLE_MSG(window, WM_DESTROY, OnDestroy);
            HANDLE_MSG(window, WM_PAINT, OnPaint);
            HANDLE_MSG(window, WM_COMMAND, OnCommand);
            HANDLE_MSG(window, WM_TIMER, OnTimer);
            HANDLE_MSG(window, WM_DRAWITEM, OnDrawItem);
            HANDLE_MSG(window, WM_VSCROLL, OnVScroll);
            HANDLE_MSG(window, WM_MOUSEWHEEL, OnMouseWheel);
            // windowsx.h has no cracker for it.
            case WM_NOTIFY:
                return OnNotify(window, static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam));
        }
    } catch (const std::exception&) {
        return OnOutOfMemory(window, message);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int RunMainWindow(HINSTANCE instance, int show_command, PreviewStart* preview) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = CLASS_NAME;
    RegisterClassW(&wc);

    HWND window = CreateWindowExW(0, CLASS_NAME, L"Tessavon", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 800,
                                  600, nullptr, nullptr, instance, preview);
    // A refused window means the bank was refused (and the user told why) or the window could not be made:
    // either way the program failed, and a launcher or script must be able to tell.
    if (!window) return 1;
    ShowWindow(window, show_command);

    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // The quit code: 0 after an exam that ended by its time or by closing the window.
    return static_cast<int>(msg.wParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
    return RunMainWindow(instance, show_command, nullptr);
}
