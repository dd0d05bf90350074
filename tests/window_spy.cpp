// The in-process half of the window spy (see window_spy.h): a WH_CALLWNDPROC hook that, when it sees the
// request message, reads the window's class, every child's font and any icon it shows on the program's own
// thread and sends the answer back. It changes nothing in the program.
#include "window_spy.h"

#include <cwchar>

#include "system_icon_name.h"

extern "C" __declspec(dllexport) LRESULT CALLBACK SpyCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT request = RegisterWindowMessageW(SPY_REQUEST_MESSAGE);
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == request) {
        const HWND window = call->hwnd;
        SpyReport report = {};
        wcscpy(report.icon, L"none");
        report.class_background = GetClassLongPtrW(window, GCLP_HBRBACKGROUND);
        report.class_icon = GetClassLongPtrW(window, GCLP_HICON);
        report.class_small_icon = GetClassLongPtrW(window, GCLP_HICONSM);
        report.class_cursor = GetClassLongPtrW(window, GCLP_HCURSOR);
        report.class_menu_name = GetClassLongPtrW(window, GCLP_MENUNAME);
        report.class_style = GetClassLongPtrW(window, GCL_STYLE);
        report.class_extra_bytes = GetClassLongPtrW(window, GCL_CBCLSEXTRA);
        report.window_extra_bytes = GetClassLongPtrW(window, GCL_CBWNDEXTRA);
        report.window_big_icon = SendMessageW(window, WM_GETICON, ICON_BIG, 0);
        report.window_small_icon = SendMessageW(window, WM_GETICON, ICON_SMALL, 0);
        for (HWND child = GetWindow(window, GW_CHILD); child && report.control_count < SPY_MAX_CONTROLS;
             child = GetWindow(child, GW_HWNDNEXT)) {
            SpiedControl& control = report.controls[report.control_count++];
            control.id = GetDlgCtrlID(child);
            const HFONT font = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
            control.font = reinterpret_cast<ULONG64>(font);
            control.logfont_size = font ? GetObjectW(font, sizeof control.logfont, &control.logfont) : 0;
            wchar_t child_class[16] = {};
            GetClassNameW(child, child_class, 16);
            if (_wcsicmp(child_class, L"Static") == 0 && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                wcscpy(report.icon, SystemIconName(reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0))));
        }
        COPYDATASTRUCT data = {SPY_REPORT_TAG, sizeof report, &report};
        SendMessageW(reinterpret_cast<HWND>(call->wParam), WM_COPYDATA, reinterpret_cast<WPARAM>(window),
                     reinterpret_cast<LPARAM>(&data));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
