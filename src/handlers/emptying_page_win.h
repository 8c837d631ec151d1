// The Emptying page: the two emptying rules and the switch of the scheduled
// emptying, from dialog template 2001. The property-sheet handler adds it
// beside the General page; the properties dialog shows it as a tab of its
// own, and drives it with the same messages a property sheet sends.
#pragma once

#include <windows.h>
#include <prsht.h>

namespace vz::win32 {

INT_PTR CALLBACK EmptyingPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The page for a property sheet, whose release calls `callback`.
HPROPSHEETPAGE CreateEmptyingPage(LPFNPSPCALLBACKW callback);

// The page as a child dialog of `parent` (the properties dialog): without a
// caption, and telling its changes to the parent with PSM_CHANGED.
HWND CreateEmptyingSheet(HWND parent);

// Saves what the page shows, as a sheet's OK or Apply does (PSN_APPLY).
void ApplyEmptyingPage(HWND page);

}  // namespace vz::win32
