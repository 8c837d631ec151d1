// Placeholder faces until the real dialogs land.
#include "window/restore_ui_win.h"

#include <windows.h>

namespace vz::win32 {
bool AskRecycleBinWarning(const std::string& title, const std::string& text) {
  return MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_YESNO | MB_DEFBUTTON2 | MB_SYSTEMMODAL | MB_ICONQUESTION) == IDYES;
}
bool AskConfirmReplace(const ReplaceQuestion&) { return false; }
}  // namespace vz::win32
