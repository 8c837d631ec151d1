// The settings page that the property-sheet handler adds to the folder
// icon's Properties: dialog template 2000 and its procedure.
#pragma once

#include <windows.h>

namespace vz::win32 {

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The pass count last written into a settings page's label, shared by every
// page of the process.
int LastShownPasses();

}  // namespace vz::win32
