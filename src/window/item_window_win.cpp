#include "window/item_window_win.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "common/text.h"
#include "engine/batch.h"
#include "namespace/view_win.h"
#include "platform/platform.h"
#include "store/store.h"
#include "window/item_properties_win.h"
#include "window/restore.h"

namespace vz::win32 {

HINSTANCE ModuleInstance();

namespace {

constexpr const char* kClassName = "TView";
constexpr int kListId = 1;
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kRefillMessage = WM_APP + 1;       // refill once the command that changed the store is over
constexpr UINT kRebuildMenuMessage = WM_APP + 2;  // one menu rebuild for a burst of selection changes
constexpr ATOM kDialogClassAtom = 32770;          // "#32770"

TView::HelpViewer& Viewer() {
  static TView::HelpViewer viewer = [](HWND owner, const std::string& file, const std::string& macro) {
    WinHelpA(owner, file.c_str(), HELP_COMMAND, reinterpret_cast<ULONG_PTR>(macro.c_str()));
  };
  return viewer;
}

DWORD ListStyleOf(ViewMode mode) {
  switch (mode) {
    case ViewMode::LargeIcons: return LVS_ICON;
    case ViewMode::SmallIcons: return LVS_SMALLICON;
    case ViewMode::List: return LVS_LIST;
    case ViewMode::Details: return LVS_REPORT;
  }
  return LVS_LIST;
}

}  // namespace

// What each list item points at: its own copy of the identifier and the
// size it counts with.
struct TView::Row {
  ShredItemId id;
  std::int64_t bytes;
};

void TView::SetHelpViewer(HelpViewer viewer) { Viewer() = std::move(viewer); }

TView* TView::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (std::strcmp(cls, kClassName) != 0) return nullptr;
  return reinterpret_cast<TView*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

TView::TView(TVaporizerView* view, IShellBrowser* browser) : browser_(browser), view_(view) {
  if (view_) view_->AddRef();
  try {
    HINSTANCE instance = ModuleInstance();
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    bool registered = GetClassInfoExA(instance, kClassName, &existing) != FALSE;
    if (registered && existing.lpfnWndProc != &TView::WndProc) {
      // Left behind by an earlier load of the module at another place.
      UnregisterClassA(kClassName, instance);
      registered = false;
    }
    if (!registered) {
      WNDCLASSEXA wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = &TView::WndProc;
      wc.hInstance = instance;
      wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
      wc.lpszClassName = kClassName;
      if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw std::runtime_error("the item window's class cannot be registered");
    }
    // A bare window of 464 x 234 client pixels; its style becomes exactly a
    // child window's so that the view can parent and place it.
    RECT frame = {0, 0, 464, 234};
    AdjustWindowRectEx(&frame, WS_POPUP, FALSE, 0);
    hwnd_ = CreateWindowExA(0, kClassName, "", WS_POPUP, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                            nullptr, nullptr, instance, this);
    if (!hwnd_) throw std::runtime_error("the item window cannot be created");
    SetWindowLongPtrA(hwnd_, GWL_STYLE, WS_CHILD);
    FormCreate();
  } catch (...) {
    if (hwnd_) DestroyWindow(hwnd_);
    if (view_) view_->Release();
    throw;
  }
}

TView::~TView() {
  if (hwnd_) {
    KillTimer(hwnd_, kTimerId);
    DestroyWindow(hwnd_);
  }
  if (pm_) DestroyMenu(pm_);  // with its View submenu
  if (pmView_) DestroyMenu(pmView_);
  if (font_) DeleteObject(font_);
  browser_.Reset();
  if (view_) view_->Release();
}

namespace {
LRESULT CALLBACK ListSubclass(HWND list, UINT message, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* view = reinterpret_cast<TView*>(data);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      view->LVShredMouseDown(message == WM_LBUTTONDOWN, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      break;
    case WM_MOUSEMOVE:
      view->LVShredMouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      break;
    case WM_LBUTTONUP:
      view->LVShredMouseUp();
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(list, ListSubclass, 1);
      break;
  }
  return DefSubclassProc(list, message, wp, lp);
}
}  // namespace

void TView::LVShredMouseDown(bool leftButton, int x, int y) {
  LVHITTESTINFO hit{};
  hit.pt = {x, y};
  bool overItem = list_ && ListView_HitTest(list_, &hit) >= 0;
  gesture_.MouseDown(leftButton, overItem, x, y);
}

void TView::LVShredMouseMove(int x, int y) {
  if (gesture_.MouseMove(x, y)) StartItemDrag();
}

HRESULT TView::StartItemDrag() {
  if (!drag_ || inactive_ || !AnySelected()) return S_FALSE;
  // Only a move is offered: the items leave the store for the target.
  DWORD effect = DROPEFFECT_NONE;
  return drag_->StartDrag(DROPEFFECT_MOVE, &effect);
}

void TView::FormCreate() {
  HINSTANCE instance = ModuleInstance();
  font_ = CreateFontA(-10, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Sans Serif");
  RECT client{};
  GetClientRect(hwnd_, &client);
  // No in-place editing (no LVS_EDITLABELS); the system image lists are
  // shared and never destroyed by the list.
  list_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_LIST | LVS_SHAREIMAGELISTS | LVS_AUTOARRANGE,
                          0, 0, client.right, client.bottom, hwnd_,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), instance, nullptr);
  if (!list_) throw std::runtime_error("the item list cannot be created");
  // The list's mouse presses and moves reach the drag rule first.
  SetWindowSubclass(list_, ListSubclass, 1, reinterpret_cast<DWORD_PTR>(this));
  drag_ = std::make_shared<TDragInterface>(
      hwnd_,
      [this] {
        std::vector<ShredItemId> items;
        for (const ShredItemId* id : Selected()) items.push_back(*id);
        return items;
      },
      [this] { StartPruneTimer(); });
  if (font_) SendMessageA(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  for (int i = 0; i < kListColumnCount; ++i) {
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    col.fmt = kListColumns[i].rightAligned ? LVCFMT_RIGHT : LVCFMT_LEFT;
    col.cx = kListColumns[i].width;
    col.pszText = const_cast<char*>(kListColumns[i].caption);
    col.iSubItem = i;
    SendMessageA(list_, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&col));
  }

  // The system's icon lists, by way of My Computer's file information.
  LPITEMIDLIST computer = nullptr;
  if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer)) && computer) {
    SHFILEINFOA info{};
    ilSmall_ = reinterpret_cast<HIMAGELIST>(SHGetFileInfoA(reinterpret_cast<LPCSTR>(computer), 0, &info, sizeof info,
                                                           SHGFI_SYSICONINDEX | SHGFI_ICON | SHGFI_PIDL |
                                                               SHGFI_SMALLICON));
    if (info.hIcon) DestroyIcon(info.hIcon);
    info = SHFILEINFOA{};
    ilLarge_ = reinterpret_cast<HIMAGELIST>(SHGetFileInfoA(reinterpret_cast<LPCSTR>(computer), 0, &info, sizeof info,
                                                           SHGFI_SYSICONINDEX | SHGFI_ICON | SHGFI_PIDL));
    if (info.hIcon) DestroyIcon(info.hIcon);
    CoTaskMemFree(computer);
  }
  if (ilSmall_) SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(ilSmall_));
  if (ilLarge_) SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(ilLarge_));

  // PM: the list's and the window's context menu.
  pm_ = CreatePopupMenu();
  pmViewSub_ = CreatePopupMenu();
  for (const PopupEntry& e : ContextViewEntries())
    AppendMenuA(pmViewSub_, MF_STRING, static_cast<UINT_PTR>(e.id), e.text.c_str());
  AppendMenuA(pm_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(pmViewSub_), kContextViewSubmenu);
  for (const PopupEntry& e : ContextMenuEntries()) {
    if (e.separator) AppendMenuA(pm_, MF_SEPARATOR, 0, nullptr);
    else AppendMenuA(pm_, MF_STRING, static_cast<UINT_PTR>(e.id), e.text.c_str());
    if (e.isDefault) SetMenuDefaultItem(pm_, static_cast<UINT>(e.id), FALSE);
  }
  // PMView: the drop-down of the toolbar's view button.
  pmView_ = CreatePopupMenu();
  for (const ViewPopupEntry& e : ViewPopupEntries())
    AppendMenuA(pmView_, MF_STRING, static_cast<UINT_PTR>(e.id), e.text.c_str());
  for (HMENU radio : {pmViewSub_, pmView_}) {
    for (int i = 0; i < GetMenuItemCount(radio); ++i) {
      MENUITEMINFOA mii{};
      mii.cbSize = sizeof mii;
      mii.fMask = MIIM_FTYPE;
      GetMenuItemInfoA(radio, static_cast<UINT>(i), TRUE, &mii);
      mii.fType |= MFT_RADIOCHECK;
      SetMenuItemInfoA(radio, static_cast<UINT>(i), TRUE, &mii);
    }
  }
}

LRESULT CALLBACK TView::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* self = static_cast<TView*>(create->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self) self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<TView*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
  try {
    return self->OnMessage(message, wParam, lParam);
  } catch (...) {
    // Nothing may unwind into the window manager.
    return 0;
  }
}

LRESULT TView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = hwnd_;
  switch (message) {
    case WM_COMMAND:
      if (!inactive_) Command(static_cast<int>(wParam));
      break;
    case WM_NOTIFY:
      if (auto* header = reinterpret_cast<NMHDR*>(lParam)) return OnNotify(header);
      break;
    case WM_INITMENUPOPUP:
      if (!inactive_ && view_ && view_->MergedMenu()) view_->InitMenuPopup(CurrentViewMode(), ItemCount());
      break;
    case WM_MENUSELECT:
      if (!inactive_) OnMenuSelect(LOWORD(wParam));
      break;
    case WM_SETTINGCHANGE:
      try {
        if (view_) view_->Refresh();
      } catch (...) {
      }
      break;
    case WM_CONTEXTMENU:
      OnContextMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_SIZE:
      ResizeList();
      break;
    case WM_SETFOCUS:
      FormActivate();
      return 0;
    case WM_TIMER:
      if (wParam == kTimerId) {
        Timer1Timer();
        return 0;
      }
      break;
    case kRefillMessage:
      refillPending_ = false;
      FillItemList();
      return 0;
    case kRebuildMenuMessage:
      menuPending_ = false;
      if (view_ && !destroying_) view_->RebuildMergedMenu(AnySelected(), ItemCount());
      return 0;
    case WM_DESTROY:
      destroying_ = true;
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      list_ = nullptr;
      return DefWindowProcA(hwnd, message, wParam, lParam);
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT TView::OnNotify(NMHDR* header) {
  if (header->hwndFrom == list_ && list_) {
    switch (header->code) {
      case LVN_ITEMCHANGED: {
        auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        if (filling_ || !(change->uChanged & LVIF_STATE)) break;
        if (!((change->uOldState ^ change->uNewState) & LVIS_SELECTED)) break;
        if (change->iItem < 0) {
          // A change of every item at once: count the selection afresh.
          counters_.ClearSelection();
          for (int i = -1; (i = ListView_GetNextItem(list_, i, LVNI_SELECTED)) >= 0;)
            counters_.SelectionChanged(RowBytes(i), true);
          LVShredSelectItem(-1, false);
        } else {
          LVShredSelectItem(change->iItem, (change->uNewState & LVIS_SELECTED) != 0);
        }
        break;
      }
      case LVN_BEGINLABELEDITA:
      case LVN_BEGINLABELEDITW:
        return TRUE;  // captions are not edited in place
      case NM_DBLCLK:
        Properties1Click();
        // The press that follows a double click starts no drag.
        gesture_.DoubleClick();
        break;
      case LVN_BEGINDRAG:
        // The list tracks the first moves itself and reports the drag here.
        if (gesture_.Armed()) {
          gesture_.MouseUp();
          StartItemDrag();
        }
        break;
      case LVN_KEYDOWN: {
        // Where the browser does not pass keys through the view's
        // accelerators, the list still honours them.
        auto* key = reinterpret_cast<NMLVKEYDOWN*>(header);
        if (key->wVKey == VK_DELETE) Shred1Click();
        else if (key->wVKey == 'A' && (GetKeyState(VK_CONTROL) & 0x8000)) SelectAll();
        break;
      }
      case NM_SETFOCUS:
        // Focus given by FormActivate has been reported there already.
        if (view_ && !activating_) view_->WindowActive();
        break;
      default:
        break;
    }
    return 0;
  }
  if (inactive_) return 0;
  switch (header->code) {
    case TBN_DROPDOWN:
      OnToolbarDropDown(reinterpret_cast<NMTOOLBARA*>(header));
      return TBDDRET_DEFAULT;
    case TTN_NEEDTEXTA: {
      auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
      if (const char* tip = ToolbarTooltip(static_cast<int>(info->hdr.idFrom)))
        lstrcpynA(info->szText, tip, sizeof info->szText);
      return 0;
    }
    case TTN_NEEDTEXTW: {
      auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
      if (const char* tip = ToolbarTooltip(static_cast<int>(info->hdr.idFrom)))
        MultiByteToWideChar(CP_ACP, 0, tip, -1, info->szText, static_cast<int>(std::size(info->szText)));
      return 0;
    }
    default:
      return 0;
  }
}

void TView::OnToolbarDropDown(NMTOOLBARA* info) {
  HWND toolbar = toolbar_ ? toolbar_ : info->hdr.hwndFrom;
  RECT r{};
  if (toolbar) {
    SendMessageA(toolbar, TB_GETRECT, static_cast<WPARAM>(info->iItem), reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(toolbar, nullptr, reinterpret_cast<POINT*>(&r), 2);
  }
  ViewMode current = CurrentViewMode();
  const auto entries = ViewPopupEntries();
  for (const ViewPopupEntry& e : entries)
    if (e.mode == current)
      CheckMenuRadioItem(pmView_, entries.front().id, entries.back().id, static_cast<UINT>(e.id), MF_BYCOMMAND);
  int chosen = static_cast<int>(TrackPopupMenu(pmView_, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, r.left,
                                               r.bottom, 0, hwnd_, nullptr));
  for (const ViewPopupEntry& e : entries)
    if (e.id == chosen) SetViewMode(e.mode);
}

void TView::OnContextMenu(int x, int y) {
  if (!pm_) return;
  if (x == -1 && y == -1) {
    // From the keyboard: under the focused item, else at the list's corner.
    POINT at{0, 0};
    int focused = list_ ? ListView_GetNextItem(list_, -1, LVNI_FOCUSED) : -1;
    RECT r{};
    if (focused >= 0 && ListView_GetItemRect(list_, focused, &r, LVIR_LABEL)) at = {r.left, r.bottom};
    ClientToScreen(list_ ? list_ : hwnd_, &at);
    x = at.x;
    y = at.y;
  }
  PopupState state = PopupStateFor(AnySelected(), ItemCount(), CurrentViewMode());
  EnableMenuItem(pm_, cmd::kRestore, MF_BYCOMMAND | (state.restore ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(pm_, cmd::kVaporizeSelected, MF_BYCOMMAND | (state.shredSelected ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(pm_, cmd::kVaporizeAll, MF_BYCOMMAND | (state.shredAll ? MF_ENABLED : MF_GRAYED));
  CheckMenuRadioItem(pmViewSub_, cmd::kMenuLargeIcons, cmd::kMenuDetails, static_cast<UINT>(MenuIdOf(state.checked)),
                     MF_BYCOMMAND);
  int chosen = static_cast<int>(
      TrackPopupMenu(pm_, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, x, y, 0, hwnd_, nullptr));
  // The window's own menu works whether or not the browser's commands do.
  if (chosen != 0) RunAction(ActionOf(chosen, false));
}

void TView::OnMenuSelect(int command) {
  const char* hint = MenuHint(command);
  std::string text;
  if (hint) {
    text = hint;
  } else {
    for (const ViewPopupEntry& e : ViewPopupEntries())
      if (e.id == command) text = e.hint;
  }
  if (!text.empty() && view_) view_->ShowMenuHint(text);
}

void TView::FormActivate() {
  if (view_) view_->WindowActive();
  if (list_) {
    activating_ = true;
    SetFocus(list_);
    activating_ = false;
    InvalidateRect(list_, nullptr, TRUE);
  }
}

void TView::ResizeList() {
  if (!list_ || !hwnd_) return;
  RECT client{};
  GetClientRect(hwnd_, &client);
  MoveWindow(list_, 0, 0, client.right, client.bottom, TRUE);
}

void TView::FillItemList() {
  if (!hwnd_ || !list_ || destroying_) return;
  IShellFolder* folder = view_ ? view_->Folder() : nullptr;
  com::ComPtr<IEnumIDList> items;
  if (folder && SUCCEEDED(folder->EnumObjects(hwnd_, SHCONTF_NONFOLDERS, items.Put())) && items) {
    filling_ = true;
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list_);
    rows_.clear();
    captions_.clear();
    counters_.Reset();
    try {
      for (;;) {
        PITEMID_CHILD pidl = nullptr;
        ULONG fetched = 0;
        if (items->Next(1, &pidl, &fetched) != S_OK || !pidl) break;
        // Only what reads as a stored item's identifier becomes a row.
        std::optional<ShredItemId> id = ReadShredItemIdList(pidl);
        CoTaskMemFree(pidl);
        if (!id) continue;
        ListRow row = MakeListRow(*id);
        InsertRow(row);
        counters_.Listed(row);
      }
    } catch (...) {
      // What was listed so far stays.
    }
    counters_.SetItemCount(ListView_GetItemCount(list_));
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
    filling_ = false;
  }
  LVShredSelectItem(-1, false);
}

void TView::InsertRow(const ListRow& row) {
  auto data = std::make_unique<Row>(Row{row.id, row.isFile ? row.bytes : 0});
  std::size_t at = SortedPosition(captions_, row.caption, [](const std::string& a, const std::string& b) {
    return lstrcmpA(a.c_str(), b.c_str()) < 0;
  });
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = static_cast<int>(at);
  item.pszText = const_cast<char*>(row.caption.c_str());
  item.iImage = row.iconIndex;
  item.lParam = reinterpret_cast<LPARAM>(data.get());
  int index = static_cast<int>(SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  if (index < 0) return;
  rows_.push_back(std::move(data));
  captions_.insert(captions_.begin() + index, row.caption);
  for (int c = 0; c < 4; ++c) {
    LVITEMA sub{};
    sub.iSubItem = c + 1;
    sub.pszText = const_cast<char*>(row.columns[c].c_str());
    SendMessageA(list_, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&sub));
  }
}

const TView::Row* TView::ItemData(int item) const {
  if (!list_ || item < 0) return nullptr;
  LVITEMA li{};
  li.mask = LVIF_PARAM;
  li.iItem = item;
  if (!SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&li))) return nullptr;
  return reinterpret_cast<const Row*>(li.lParam);
}

std::int64_t TView::RowBytes(int item) const {
  const Row* row = ItemData(item);
  return row ? row->bytes : 0;
}

std::vector<const ShredItemId*> TView::Selected() const {
  std::vector<const ShredItemId*> out;
  if (!list_) return out;
  for (int i = -1; (i = ListView_GetNextItem(list_, i, LVNI_SELECTED)) >= 0;)
    if (const Row* row = ItemData(i)) out.push_back(&row->id);
  return out;
}

std::vector<const ShredItemId*> TView::AllItems() const {
  std::vector<const ShredItemId*> out;
  if (!list_) return out;
  int count = ListView_GetItemCount(list_);
  for (int i = 0; i < count; ++i)
    if (const Row* row = ItemData(i)) out.push_back(&row->id);
  return out;
}

bool TView::AnySelected() const { return list_ && ListView_GetSelectedCount(list_) > 0; }

void TView::LVShredSelectItem(int item, bool selected) {
  if (!hwnd_ || destroying_ || !view_) return;
  if (item < 0) {
    menuPending_ = false;
    view_->RebuildMergedMenu(AnySelected(), ItemCount());
  } else {
    // Selecting many items one by one rebuilds the menus once, not once each.
    if (!menuPending_) menuPending_ = PostMessageA(hwnd_, kRebuildMenuMessage, 0, 0) != FALSE;
    if (!menuPending_) view_->RebuildMergedMenu(AnySelected(), ItemCount());
    counters_.SelectionChanged(RowBytes(item), selected);
  }
  UpdateStatusBar();
}

void TView::UpdateStatusBar() {
  if (!view_) return;
  view_->SetStatusText(0, counters_.CountText());
  view_->SetStatusText(1, counters_.SizeText(DecimalSeparator()));
}

ViewMode TView::CurrentViewMode() const {
  if (!list_) return ViewMode::List;
  switch (GetWindowLongPtrA(list_, GWL_STYLE) & LVS_TYPEMASK) {
    case LVS_ICON: return ViewMode::LargeIcons;
    case LVS_SMALLICON: return ViewMode::SmallIcons;
    case LVS_REPORT: return ViewMode::Details;
    default: return ViewMode::List;
  }
}

void TView::SetViewMode(ViewMode mode) {
  if (!list_) return;
  LONG_PTR style = GetWindowLongPtrA(list_, GWL_STYLE);
  SetWindowLongPtrA(list_, GWL_STYLE, (style & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) | ListStyleOf(mode));
  InvalidateRect(list_, nullptr, TRUE);
}

void TView::Command(int command) {
  if (inactive_) return;
  RunAction(ActionOf(command, view_ && view_->ToolbarHasDropDowns()));
}

void TView::RunAction(const CommandAction& action) {
  switch (action.action) {
    case Action::SetViewMode:
      SetViewMode(action.mode);
      if (view_) view_->CheckViewButton(CurrentViewMode());
      break;
    case Action::NextViewMode:
      SetViewMode(NextViewMode(CurrentViewMode()));
      if (view_) view_->CheckViewButton(CurrentViewMode());
      break;
    case Action::VaporizeSelected: Shred1Click(); break;
    case Action::VaporizeAll: EmptyVaporizer1Click(); break;
    case Action::Properties: Properties1Click(); break;
    case Action::Restore: Restore1Click(); break;
    case Action::SelectAll: SelectAll(); break;
    case Action::InvertSelection: InvertSelection(); break;
    case Action::Help: Help(); break;
    case Action::About: About(); break;
    case Action::None: break;
  }
}

void TView::SelectAll() {
  if (!list_) return;
  int count = ListView_GetItemCount(list_);
  for (int i = 0; i < count; ++i) ListView_SetItemState(list_, i, LVIS_SELECTED, LVIS_SELECTED);
}

void TView::InvertSelection() {
  if (!list_) return;
  int count = ListView_GetItemCount(list_);
  for (int i = 0; i < count; ++i) {
    UINT now = ListView_GetItemState(list_, i, LVIS_SELECTED);
    ListView_SetItemState(list_, i, (now & LVIS_SELECTED) ? 0 : LVIS_SELECTED, LVIS_SELECTED);
  }
}

namespace {
// Marks a command that changes the store as running, so that another one
// started from inside its dialogs waits for a later click.
class BusyScope {
 public:
  explicit BusyScope(bool& flag) : flag_(flag), entered_(!flag) { flag_ = true; }
  ~BusyScope() {
    if (entered_) flag_ = false;
  }
  bool Entered() const { return entered_; }

 private:
  bool& flag_;
  bool entered_;
};
}  // namespace

void TView::Shred1Click() {
  std::vector<const ShredItemId*> chosen = Selected();
  if (chosen.empty()) return;
  BusyScope busy(busy_);
  if (!busy.Entered()) return;
  VaporizeBatch(StoredPathsOf(chosen), BatchEntries::StoredItems);
  RequestRefill();
}

void TView::EmptyVaporizer1Click() {
  BusyScope busy(busy_);
  if (!busy.Entered()) return;
  VaporizeBatch(StoredPathsOf(AllItems()), BatchEntries::StoredItems);
  RequestRefill();
}

void TView::Restore1Click() {
  std::vector<const ShredItemId*> chosen = Selected();
  if (chosen.empty()) return;
  BusyScope busy(busy_);
  if (!busy.Entered()) return;
  std::vector<RestoreEntry> entries;
  entries.reserve(chosen.size());
  for (const ShredItemId* id : chosen) entries.push_back(MakeRestoreEntry(*id));
  RestoreItems(entries);
  RequestRefill();
}

void TView::Properties1Click() {
  std::vector<ShredItemId> chosen;
  for (const ShredItemId* id : Selected()) chosen.push_back(*id);
  ShowItemProperties(hwnd_, ilLarge_, chosen);
}

void TView::Help() {
  std::optional<std::string> file = HelpFile();
  if (!file) return;
  if (Viewer()) Viewer()(hwnd_, *file, HelpJumpMacro());
}

void TView::About() { MessageBoxA(hwnd_, AboutText().c_str(), kAboutTitle, MB_OK | MB_ICONINFORMATION); }

void TView::StartPruneTimer() {
  if (!hwnd_) return;
  waitTicks_ = 0;
  timerRunning_ = SetTimer(hwnd_, kTimerId, 1000, nullptr) != 0;
}

namespace {
BOOL CALLBACK FindVisibleDialog(HWND hwnd, LPARAM lParam) {
  if (GetClassLongPtrA(hwnd, GCW_ATOM) != kDialogClassAtom || !IsWindowVisible(hwnd)) return TRUE;
  *reinterpret_cast<HWND*>(lParam) = hwnd;
  return FALSE;
}
}  // namespace

void TView::Timer1Timer() {
  KillTimer(hwnd_, kTimerId);
  // The file operation dialog of whoever took the items: prune once no
  // dialog shows any more. Waiting is a new tick, not a sleep, so the shell
  // stays responsive; a dialog that never closes delays the prune by at
  // most a few minutes, and pruning early only leaves records to drop later.
  constexpr int kMaxWaitTicks = 600;  // 5 minutes of 500 ms
  HWND dialog = nullptr;
  EnumWindows(FindVisibleDialog, reinterpret_cast<LPARAM>(&dialog));
  if (dialog && waitTicks_ < kMaxWaitTicks) {
    ++waitTicks_;
    timerRunning_ = SetTimer(hwnd_, kTimerId, 500, nullptr) != 0;
    if (timerRunning_) return;
  }
  timerRunning_ = false;
  PruneIndex();
  Plat().UpdateIcon();
  RequestRefill();
}

void TView::RequestRefill() {
  // The icon update asks Explorer to refresh its windows, which refills the
  // list; a host that does not pass that on still sees the change.
  if (!hwnd_ || refillPending_) return;
  refillPending_ = PostMessageA(hwnd_, kRefillMessage, 0, 0) != FALSE;
}

std::string TView::DecimalSeparator() const {
  char buf[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, sizeof buf) > 1) return buf;
  return ".";
}

}  // namespace vz::win32
