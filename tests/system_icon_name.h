// Names the system icon a message box shows. Shared icons are one handle per process, so this only works in
// the process that shows the icon: the test's own, or the program's through window_spy.dll.
#pragma once

#include <windows.h>

// "error", "information", "warning", "question", "none" for no icon, or "other".
inline const wchar_t* SystemIconName(HICON icon) {
    if (!icon) return L"none";
    const struct {
        LPCWSTR id;
        const wchar_t* name;
    } known[] = {{IDI_ERROR, L"error"},
                 {IDI_INFORMATION, L"information"},
                 {IDI_WARNING, L"warning"},
                 {IDI_QUESTION, L"question"}};
    for (const auto& k : known)
        if (LoadIconW(nullptr, k.id) == icon) return k.name;
    return L"other";
}
