// The module's modal boxes: whose window they belong to, and whether one
// of them is showing.
#pragma once

#include <windows.h>

#include <string>

namespace vz::win32 {

// While a command runs, the boxes it opens belong to the top-level window
// the command came from: that window is disabled while they show, so it
// cannot be closed underneath them. Scopes nest; the innermost wins.
class BoxOwnerScope {
 public:
  explicit BoxOwnerScope(HWND commandWindow);
  ~BoxOwnerScope();
  BoxOwnerScope(const BoxOwnerScope&) = delete;
  BoxOwnerScope& operator=(const BoxOwnerScope&) = delete;

 private:
  HWND previous_;
};

// The owner for a box opened now: the running command's window while it
// still exists, else `fallback`.
HWND BoxOwner(HWND fallback = nullptr);

// True while one of the module's own modal boxes or dialogs shows.
bool ModalBoxShowing();

// A message box (texts in the core's text, shown whole) and a dialog from
// an in-memory template, counted as the module's own.
int ModalMessageBox(HWND owner, const std::string& text, const std::string& title, UINT flags);
INT_PTR ModalDialog(HINSTANCE instance, const DLGTEMPLATE* dialog, HWND owner, DLGPROC proc, LPARAM param);

}  // namespace vz::win32
