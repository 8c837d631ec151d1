// LVShred: the list of stored items in the item window. It keeps its rows
// sorted by caption as they are added, each row owning its own copy of the
// item's identifier, and shows the system's shared icon lists.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/item_id.h"
#include "window/item_commands.h"
#include "window/item_list.h"

namespace vz::win32 {

class ItemListView {
 public:
  // The list's own mouse messages, before the list handles them.
  using MouseWatcher = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;

  ItemListView() = default;
  ItemListView(const ItemListView&) = delete;
  ItemListView& operator=(const ItemListView&) = delete;

  // A child filling the parent's client area, in list mode, with the five
  // columns as wide as the DPI asks; throws when the window cannot be made.
  void Create(HWND parent, int id, HFONT font, UINT dpi, MouseWatcher watcher);
  // Another font and DPI: the text and the columns follow.
  void SetDpi(HFONT font, UINT dpi);
  // The window is gone (its parent was destroyed).
  void Forget() { hwnd_ = nullptr; }
  HWND Handle() const { return hwnd_; }
  HIMAGELIST LargeImages() const { return large_; }

  // A filling: Clear, then Insert each row, then Done.
  void Clear();
  void Insert(const ListRow& row);
  void Done();

  int Count() const;
  bool AnySelected() const;
  std::vector<const ShredItemId*> Selected() const;  // in list order
  std::vector<const ShredItemId*> All() const;
  std::int64_t RowBytes(int item) const;  // 0 for a folder
  bool ItemAt(int x, int y) const;
  // The item under the keyboard focus, in screen coordinates, for a menu
  // asked for from the keyboard; the list's corner without one.
  POINT MenuPoint() const;

  ViewMode Mode() const;
  void SetMode(ViewMode mode);
  void SelectAll();
  void InvertSelection();
  void FitTo(HWND parent);

 private:
  struct Row {
    ShredItemId id;
    std::int64_t bytes;
  };
  static LRESULT CALLBACK Subclass(HWND list, UINT message, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data);
  const Row* RowAt(int item) const;

  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  HIMAGELIST small_ = nullptr, large_ = nullptr;  // the system's, never destroyed
  MouseWatcher watcher_;
  std::vector<std::unique_ptr<Row>> rows_;  // the items' data, owned here
  std::vector<std::wstring> captions_;      // in list order
};

}  // namespace vz::win32
