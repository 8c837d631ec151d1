// The folder icon: empty or full bin, and the refresh of the desktop and of
// every Explorer window.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "platform/win32/shell_support_win.h"

namespace vz::win32 {

// Writes the user's icon location for the current stores, replaces the
// folder's picture in the small system image list, refreshes the windows
// and announces the changed image. False when the run stopped early (no
// fixed drive, no folder on the desktop, no image index, no icon); the
// registry is written before any such stop.
bool UpdateIconNow();

// The desktop item that is the Vaporizer folder, known by its class id, as
// the desktop's enumerator hands it out; null when there is none or the
// desktop cannot be enumerated.
IdList FindFolderOnDesktop(HWND owner = nullptr);

// Sends the desktop and every Explorer window the refresh commands, giving
// up on a window that does not answer within two seconds.
void RefreshShellWindows();

// UpdateIconNow for callers to whom an early stop is no error: the
// exported UpdateIcon and, once installed, the platform layer's UpdateIcon
// that the portable core calls.
void UpdateIconQuietly();
void InstallUpdateIconHook();

// The parts of an icon location "path,-101": the module path before the
// last five characters and the three-digit resource number after them.
// False for a text that has no such form.
bool SplitIconLocation(const std::string& location, std::string& modulePath, int& resourceId);

}  // namespace vz::win32
