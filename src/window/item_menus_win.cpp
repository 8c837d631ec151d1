#include "window/item_menus_win.h"

#include <stdexcept>

#include "platform/win32/wide.h"

namespace vz::win32 {
namespace {

void MakeRadioGroup(HMENU menu) {
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_FTYPE;
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &mii);
    mii.fType |= MFT_RADIOCHECK;
    SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &mii);
  }
}

}  // namespace

ItemMenus::ItemMenus() : pm_(CreatePopupMenu()), pmViewSub_(CreatePopupMenu()), pmView_(CreatePopupMenu()) {
  if (!pm_ || !pmViewSub_ || !pmView_) {
    Destroy();
    throw std::runtime_error("the item window's menus cannot be made");
  }
  for (const PopupEntry& e : ContextViewEntries())
    AppendMenuW(pmViewSub_, MF_STRING, static_cast<UINT_PTR>(e.id), Widen(e.text).c_str());
  AppendMenuW(pm_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(pmViewSub_), Widen(kContextViewSubmenu).c_str());
  for (const PopupEntry& e : ContextMenuEntries()) {
    if (e.separator) AppendMenuW(pm_, MF_SEPARATOR, 0, nullptr);
    else AppendMenuW(pm_, MF_STRING, static_cast<UINT_PTR>(e.id), Widen(e.text).c_str());
    if (e.isDefault) SetMenuDefaultItem(pm_, static_cast<UINT>(e.id), FALSE);
  }
  for (const ViewPopupEntry& e : ViewPopupEntries())
    AppendMenuW(pmView_, MF_STRING, static_cast<UINT_PTR>(e.id), Widen(e.text).c_str());
  MakeRadioGroup(pmViewSub_);
  MakeRadioGroup(pmView_);
}

ItemMenus::~ItemMenus() { Destroy(); }

void ItemMenus::Destroy() {
  // PM takes its View submenu with it once it holds it.
  for (HMENU menu : {pm_, pmViewSub_, pmView_})
    if (menu && IsMenu(menu)) DestroyMenu(menu);
  pm_ = pmViewSub_ = pmView_ = nullptr;
}

int ItemMenus::TrackContext(HWND owner, POINT at, const PopupState& state) {
  EnableMenuItem(pm_, cmd::kRestore, MF_BYCOMMAND | (state.restore ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(pm_, cmd::kVaporizeSelected, MF_BYCOMMAND | (state.shredSelected ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(pm_, cmd::kVaporizeAll, MF_BYCOMMAND | (state.shredAll ? MF_ENABLED : MF_GRAYED));
  CheckMenuRadioItem(pmViewSub_, cmd::kMenuLargeIcons, cmd::kMenuDetails, static_cast<UINT>(MenuIdOf(state.checked)),
                     MF_BYCOMMAND);
  return static_cast<int>(TrackPopupMenu(pm_, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, at.x,
                                         at.y, 0, owner, nullptr));
}

std::optional<ViewMode> ItemMenus::TrackViewDropDown(HWND owner, const RECT& button, ViewMode current) {
  const auto entries = ViewPopupEntries();
  for (const ViewPopupEntry& e : entries)
    if (e.mode == current)
      CheckMenuRadioItem(pmView_, entries.front().id, entries.back().id, static_cast<UINT>(e.id), MF_BYCOMMAND);
  int chosen = static_cast<int>(TrackPopupMenu(pmView_, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, button.left,
                                               button.bottom, 0, owner, nullptr));
  for (const ViewPopupEntry& e : entries)
    if (e.id == chosen) return e.mode;
  return std::nullopt;
}

}  // namespace vz::win32
