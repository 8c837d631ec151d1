#include "platform/win32/modal.h"

#include <atomic>

#include "platform/win32/wide.h"

namespace vz::win32 {
namespace {

// The shell calls the module on its user-interface threads only; each
// thread has its own command and its own boxes.
thread_local HWND t_owner = nullptr;
std::atomic<int> g_showing{0};

class Showing {
 public:
  Showing() { ++g_showing; }
  ~Showing() { --g_showing; }
  Showing(const Showing&) = delete;
  Showing& operator=(const Showing&) = delete;
};

}  // namespace

BoxOwnerScope::BoxOwnerScope(HWND commandWindow) : previous_(t_owner) {
  HWND root = commandWindow ? GetAncestor(commandWindow, GA_ROOT) : nullptr;
  t_owner = root ? root : commandWindow;
}

BoxOwnerScope::~BoxOwnerScope() { t_owner = previous_; }

HWND BoxOwner(HWND fallback) { return t_owner && IsWindow(t_owner) ? t_owner : fallback; }

bool ModalBoxShowing() { return g_showing > 0; }

int ModalMessageBox(HWND owner, const std::string& text, const std::string& title, UINT flags) {
  Showing showing;
  return MessageBoxW(owner, Widen(text).c_str(), Widen(title).c_str(), flags);
}

INT_PTR ModalDialog(HINSTANCE instance, const DLGTEMPLATE* dialog, HWND owner, DLGPROC proc, LPARAM param) {
  Showing showing;
  return DialogBoxIndirectParamW(instance, dialog, owner, proc, param);
}

}  // namespace vz::win32
