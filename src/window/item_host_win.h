// ItemWindowHost: what the item window asks of the view that shows it. The
// view implements it; the window holds it counted for as long as it lives,
// and knows nothing else of the view.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "window/item_commands.h"

namespace vz::win32 {

struct ItemWindowHost : IUnknown {
  // The folder whose items the window lists.
  virtual IShellFolder* Folder() = 0;
  // The browser's toolbar draws drop-down arrows (new-style ids 1008, 1009).
  virtual bool ToolbarHasDropDowns() = 0;
  // A new shared menu with the view's entries for this state.
  virtual void RebuildMergedMenu(bool anySelected, int itemCount) = 0;
  // WM_INITMENUPOPUP of a merged menu; nothing without one.
  virtual void InitMenuPopup(ViewMode current, int itemCount) = 0;
  // The toolbar's view buttons follow the list's mode.
  virtual void CheckViewButton(ViewMode current) = 0;
  virtual void SetStatusText(int part, const std::string& text) = 0;
  virtual void ShowMenuHint(const std::string& text) = 0;
  // The window became active (the browser is told).
  virtual void WindowActive() = 0;
};

}  // namespace vz::win32
