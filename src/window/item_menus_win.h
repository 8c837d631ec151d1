// The item window's own menus: PM, the list's and the window's context menu
// with its "&View" submenu, and PMView, the drop-down of the toolbar's view
// button.
#pragma once

#include <windows.h>

#include <optional>

#include "window/item_commands.h"

namespace vz::win32 {

class ItemMenus {
 public:
  ItemMenus();
  ~ItemMenus();
  ItemMenus(const ItemMenus&) = delete;
  ItemMenus& operator=(const ItemMenus&) = delete;

  // PM at a screen point, its entries enabled for the state and the mode's
  // entry checked; the chosen command, 0 for none.
  int TrackContext(HWND owner, POINT at, const PopupState& state);
  // PMView under a screen rectangle, the current mode checked; the mode
  // chosen, if any.
  std::optional<ViewMode> TrackViewDropDown(HWND owner, const RECT& button, ViewMode current);

 private:
  void Destroy();
  HMENU pm_ = nullptr, pmViewSub_ = nullptr, pmView_ = nullptr;
};

}  // namespace vz::win32
