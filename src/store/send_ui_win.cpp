#include "store/send_ui_win.h"

#include <windows.h>

namespace vz::win32 {
bool AskConfirmSend(const std::string& title, const std::string& text) {
  return MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_YESNO) == IDYES;
}
}  // namespace vz::win32
