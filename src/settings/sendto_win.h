// The shortcut "Vaporizer.lnk" in the user's Send To menu, pointing at the
// folder's item on the desktop.
#pragma once

#include <string>

namespace vz::win32 {

constexpr const char* kShortcutDescription = "Orvel Technologies File Vaporizer";

// The shortcut's full file name; empty when the Send To folder is unknown.
std::string SendToShortcutPath();

// On: writes the shortcut when the folder is on the desktop (nothing when it
// is not); throws ShellError when the shell's link object cannot be made.
// Off: deletes the shortcut file if there is one. Needs COM on the thread.
void SetSendToShortcut(bool on);

}  // namespace vz::win32
