// A look at the program's windows from inside the program, for what Wine will not hand across processes:
// the controls' fonts (WM_GETFONT carries a GDI handle, which only means something in its own process), the
// window's own icons (WM_GETICON), the window class's brush, icon and cursor, and which system icon a message
// box shows. The test hooks window_spy.dll into the program's GUI thread, sends the window
// SPY_REQUEST_MESSAGE, and the hook answers with a SpyReport in a WM_COPYDATA.
#pragma once

#include <windows.h>

constexpr wchar_t SPY_DLL_NAME[] = L"window_spy.dll";
constexpr char SPY_HOOK_NAME[] = "SpyCallWndProc";
// Registered message: wParam is the window that receives the report.
constexpr wchar_t SPY_REQUEST_MESSAGE[] = L"TessavonTestSpyRequest";
constexpr ULONG_PTR SPY_REPORT_TAG = 0x53505931;  // "SPY1"
constexpr int SPY_MAX_CONTROLS = 16;

struct SpiedControl {
    int id;
    ULONG64 font;      // the handle, only to tell which controls share a font
    int logfont_size;  // what GetObjectW returned; 0 when the control has no usable font
    LOGFONTW logfont;
};

struct SpyReport {
    ULONG64 class_background;
    ULONG64 class_icon;
    ULONG64 class_small_icon;
    ULONG64 class_cursor;
    ULONG64 class_menu_name;
    ULONG64 class_style;
    ULONG64 class_extra_bytes;
    ULONG64 window_extra_bytes;
    ULONG64 window_big_icon;  // WM_GETICON: the window's own icons
    ULONG64 window_small_icon;
    int control_count;  // the window's children, in z-order
    SpiedControl controls[SPY_MAX_CONTROLS];
    // The system icon an SS_ICON child shows, as test_support's MessageBoxSeen names it: "error",
    // "information", "warning", "question", "other", or "none" without such a child.
    wchar_t icon[16];
};
