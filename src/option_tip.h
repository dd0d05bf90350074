// The tip of a shortened option: its full text, up to 1,000 characters, shown when the mouse rests on its row, in a
// tip that always lies wholly on the screen.
#pragma once

#include <windows.h>

#include <string>

// Shows the full text of a shortened option when the mouse rests on its row; an empty text removes the tip. The
// tooltip is made with the first shortened option, owned by `window` and destroyed with it.
void SetOptionTip(HWND window, HWND row, const std::wstring& full_text);

// Before a shortened option's tip shows: keeps it wholly inside the work area at the size it really has. Whether
// `notice` was that, so the tip is where it must be.
bool PlaceOptionTip(const NMHDR* notice);

// Forgets the tooltip, destroyed with the main window that owns it.
void ForgetOptionTip();
