#include "window/list_view_win.h"

#include <shellapi.h>
#include <shlobj.h>

#include <stdexcept>

#include "platform/win32/dpi.h"
#include "platform/win32/shell_support_win.h"
#include "platform/win32/wide.h"

namespace vz::win32 {
namespace {

DWORD ListStyleOf(ViewMode mode) {
  switch (mode) {
    case ViewMode::LargeIcons: return LVS_ICON;
    case ViewMode::SmallIcons: return LVS_SMALLICON;
    case ViewMode::List: return LVS_LIST;
    case ViewMode::Details: return LVS_REPORT;
  }
  return LVS_LIST;
}

// The system's shared icon lists, by way of My Computer's file information.
void SystemImageLists(HIMAGELIST& small, HIMAGELIST& large) {
  LPITEMIDLIST found = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &found)) || !found) return;
  IdList computer(found);
  for (bool isSmall : {true, false}) {
    SHFILEINFOW info{};
    UINT flags = SHGFI_SYSICONINDEX | SHGFI_ICON | SHGFI_PIDL | (isSmall ? SHGFI_SMALLICON : 0);
    auto list = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(reinterpret_cast<LPCWSTR>(computer.get()), 0, &info, sizeof info, flags));
    if (info.hIcon) DestroyIcon(info.hIcon);
    (isSmall ? small : large) = list;
  }
}

}  // namespace

void ItemListView::Create(HWND parent, int id, HFONT font, UINT dpi, MouseWatcher watcher) {
  dpi_ = dpi;
  RECT client{};
  GetClientRect(parent, &client);
  // No in-place editing (no LVS_EDITLABELS); the system image lists are
  // shared and never destroyed by the list.
  hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_LIST | LVS_SHAREIMAGELISTS | LVS_AUTOARRANGE, 0,
                          0, client.right, client.bottom, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                          ModuleInstance(), nullptr);
  if (!hwnd_) throw std::runtime_error("the item list cannot be created");
  watcher_ = std::move(watcher);
  SetWindowSubclass(hwnd_, &ItemListView::Subclass, 1, reinterpret_cast<DWORD_PTR>(this));
  if (font) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  for (int i = 0; i < kListColumnCount; ++i) {
    std::wstring caption = Widen(kListColumns[i].caption);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    col.fmt = kListColumns[i].rightAligned ? LVCFMT_RIGHT : LVCFMT_LEFT;
    col.cx = Scaled(kListColumns[i].width, dpi);
    col.pszText = &caption[0];
    col.iSubItem = i;
    SendMessageW(hwnd_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&col));
  }
  SystemImageLists(small_, large_);
  if (small_) SendMessageW(hwnd_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(small_));
  if (large_) SendMessageW(hwnd_, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(large_));
}

void ItemListView::SetDpi(HFONT font, UINT dpi) {
  if (!hwnd_) return;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  for (int i = 0; i < kListColumnCount; ++i) {
    int width = static_cast<int>(SendMessageW(hwnd_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
    SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i), MulDiv(width, static_cast<int>(dpi), static_cast<int>(dpi_)));
  }
  dpi_ = dpi;
}

LRESULT CALLBACK ItemListView::Subclass(HWND list, UINT message, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<ItemListView*>(data);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(list, &ItemListView::Subclass, 1);
    self->hwnd_ = nullptr;
  } else if (self->watcher_ && ((message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
                                message == WM_CAPTURECHANGED)) {
    self->watcher_(message, wp, lp);
  }
  return DefSubclassProc(list, message, wp, lp);
}

void ItemListView::Clear() {
  if (!hwnd_) return;
  SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(hwnd_);
  rows_.clear();
  captions_.clear();
}

void ItemListView::Insert(const ListRow& row) {
  if (!hwnd_) return;
  auto data = std::make_unique<Row>(Row{row.id, row.isFile ? row.bytes : 0});
  // Every cell in 16-bit text: a name is shown as it is, whatever its script.
  std::wstring caption = Widen(row.caption);
  std::size_t at = SortedPosition(captions_, caption, [](const std::wstring& a, const std::wstring& b) {
    return lstrcmpW(a.c_str(), b.c_str()) < 0;
  });
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = static_cast<int>(at);
  item.pszText = &caption[0];
  item.iImage = row.iconIndex;
  item.lParam = reinterpret_cast<LPARAM>(data.get());
  int index = static_cast<int>(SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (index < 0) return;
  rows_.push_back(std::move(data));
  captions_.insert(captions_.begin() + index, caption);
  for (int c = 0; c < 4; ++c) {
    std::wstring text = Widen(row.columns[c]);
    LVITEMW sub{};
    sub.iSubItem = c + 1;
    sub.pszText = &text[0];
    SendMessageW(hwnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&sub));
  }
}

void ItemListView::Done() {
  if (!hwnd_) return;
  SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

int ItemListView::Count() const { return hwnd_ ? ListView_GetItemCount(hwnd_) : 0; }

bool ItemListView::AnySelected() const { return hwnd_ && ListView_GetSelectedCount(hwnd_) > 0; }

const ItemListView::Row* ItemListView::RowAt(int item) const {
  if (!hwnd_ || item < 0) return nullptr;
  LVITEMW li{};
  li.mask = LVIF_PARAM;
  li.iItem = item;
  if (!SendMessageW(hwnd_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&li))) return nullptr;
  return reinterpret_cast<const Row*>(li.lParam);
}

std::int64_t ItemListView::RowBytes(int item) const {
  const Row* row = RowAt(item);
  return row ? row->bytes : 0;
}

std::vector<const ShredItemId*> ItemListView::Selected() const {
  std::vector<const ShredItemId*> out;
  if (!hwnd_) return out;
  for (int i = -1; (i = ListView_GetNextItem(hwnd_, i, LVNI_SELECTED)) >= 0;)
    if (const Row* row = RowAt(i)) out.push_back(&row->id);
  return out;
}

std::vector<const ShredItemId*> ItemListView::All() const {
  std::vector<const ShredItemId*> out;
  for (int i = 0, n = Count(); i < n; ++i)
    if (const Row* row = RowAt(i)) out.push_back(&row->id);
  return out;
}

bool ItemListView::ItemAt(int x, int y) const {
  LVHITTESTINFO hit{};
  hit.pt = {x, y};
  return hwnd_ && ListView_HitTest(hwnd_, &hit) >= 0;
}

POINT ItemListView::MenuPoint() const {
  POINT at{0, 0};
  if (!hwnd_) return at;
  int focused = ListView_GetNextItem(hwnd_, -1, LVNI_FOCUSED);
  RECT r{};
  if (focused >= 0 && ListView_GetItemRect(hwnd_, focused, &r, LVIR_LABEL)) at = {r.left, r.bottom};
  ClientToScreen(hwnd_, &at);
  return at;
}

ViewMode ItemListView::Mode() const {
  if (!hwnd_) return ViewMode::List;
  switch (GetWindowLongPtrW(hwnd_, GWL_STYLE) & LVS_TYPEMASK) {
    case LVS_ICON: return ViewMode::LargeIcons;
    case LVS_SMALLICON: return ViewMode::SmallIcons;
    case LVS_REPORT: return ViewMode::Details;
    default: return ViewMode::List;
  }
}

void ItemListView::SetMode(ViewMode mode) {
  if (!hwnd_) return;
  LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
  SetWindowLongPtrW(hwnd_, GWL_STYLE, (style & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) | ListStyleOf(mode));
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void ItemListView::SelectAll() {
  for (int i = 0, n = Count(); i < n; ++i) ListView_SetItemState(hwnd_, i, LVIS_SELECTED, LVIS_SELECTED);
}

void ItemListView::InvertSelection() {
  for (int i = 0, n = Count(); i < n; ++i) {
    UINT now = ListView_GetItemState(hwnd_, i, LVIS_SELECTED);
    ListView_SetItemState(hwnd_, i, (now & LVIS_SELECTED) ? 0 : LVIS_SELECTED, LVIS_SELECTED);
  }
}

void ItemListView::FitTo(HWND parent) {
  if (!hwnd_ || !parent) return;
  RECT client{};
  GetClientRect(parent, &client);
  MoveWindow(hwnd_, 0, 0, client.right, client.bottom, TRUE);
}

}  // namespace vz::win32
