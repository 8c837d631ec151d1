// Placeholder faces until the real caution box and progress window land.
#include "engine/ui_win.h"

#include <windows.h>

namespace vz::win32 {
bool AskCaution(const std::string& title, const std::string& text) {
  return MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_YESNO | MB_DEFBUTTON2 | MB_SYSTEMMODAL | MB_ICONWARNING) == IDYES;
}
void ProgressBegin(std::size_t, int) {}
void ProgressFile(const std::string&) {}
void ProgressPass(int) {}
void ProgressFilesDone(std::size_t) {}
void ProgressEnd() {}
}  // namespace vz::win32
