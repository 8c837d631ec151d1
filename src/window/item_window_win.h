// TView: the window that fills the Vaporizer folder in Explorer. Its list
// LVShred shows every stored item; its commands arrive from its own popup
// menus and from the menus and toolbar that the view merges into Explorer.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/com.h"
#include "store/item_id.h"
#include "window/item_commands.h"
#include "window/item_list.h"

#include "window/drag_data.h"
#include "window/drag_interface_win.h"

namespace vz::win32 {

class TVaporizerView;

class TView {
 public:
  // The only way to make the window: for a view and its browser, each held
  // counted for the window's life. The window starts as a bare child
  // window that the view parents, places and shows.
  TView(TVaporizerView* view, IShellBrowser* browser);
  ~TView();
  TView(const TView&) = delete;
  TView& operator=(const TView&) = delete;

  static TView* FromHandle(HWND hwnd);

  HWND Handle() const { return hwnd_; }
  HWND List() const { return list_; }
  HIMAGELIST LargeImages() const { return ilLarge_; }

  // Refills the list from the folder's enumerator; a failed enumeration
  // keeps the list as it was. Menus and status bar follow in both cases.
  void FillItemList();
  // The selection handler: item -1 for "no item" (after a filling, on
  // activation), else the row whose selection changed.
  void LVShredSelectItem(int item, bool selected);
  // Writes the two status bar parts from the counters.
  void UpdateStatusBar();

  ViewMode CurrentViewMode() const;
  void SetViewMode(ViewMode mode);
  int ItemCount() const { return counters_.ItemCount(); }
  bool AnySelected() const;
  const ListCounters& Counters() const { return counters_; }

  // Once set, commands, notifications, menu pop-ups and hints are ignored.
  void SetInactive() { inactive_ = true; }
  bool Inactive() const { return inactive_; }

  // Runs a command number as it arrives in WM_COMMAND.
  void Command(int command);
  void SelectAll();
  void InvertSelection();
  void Shred1Click();             // vaporize selected
  void EmptyVaporizer1Click();    // vaporize all
  void Restore1Click();
  void Properties1Click();
  void Help();
  void About();

  // The toolbar window that the browser handed out, if any.
  void SetToolbarWindow(HWND toolbar) { toolbar_ = toolbar; }
  HWND ToolbarWindow() const { return toolbar_; }

  // Timer1: started when items may have been dragged out of the store;
  // prunes the index and updates the icon once no dialog is showing.
  void StartPruneTimer();
  bool PruneTimerRunning() const { return timerRunning_; }

  // Dragging the selected items out: the mouse rule of the list, and the
  // drag itself (move only). The drag's data follows the selection.
  void LVShredMouseDown(bool leftButton, int x, int y);
  void LVShredMouseMove(int x, int y);
  void LVShredMouseUp() { gesture_.MouseUp(); }
  HRESULT StartItemDrag();

  // The help viewer; tests replace it to see what would be opened.
  using HelpViewer = std::function<void(HWND owner, const std::string& file, const std::string& macro)>;
  static void SetHelpViewer(HelpViewer viewer);

 private:
  struct Row;
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void FormCreate();
  LRESULT OnNotify(NMHDR* header);
  void OnContextMenu(int x, int y);
  void OnToolbarDropDown(NMTOOLBARA* info);
  void OnMenuSelect(int command);
  void Timer1Timer();
  void FormActivate();
  void RunAction(const CommandAction& action);
  void ResizeList();
  void InsertRow(const ListRow& row);
  const Row* ItemData(int item) const;
  std::int64_t RowBytes(int item) const;
  std::vector<const ShredItemId*> Selected() const;
  std::vector<const ShredItemId*> AllItems() const;
  void RequestRefill();
  std::string DecimalSeparator() const;

  com::ComPtr<IShellBrowser> browser_;
  TVaporizerView* view_ = nullptr;  // one reference held, released in the destructor
  HWND hwnd_ = nullptr;
  HWND list_ = nullptr;
  HWND toolbar_ = nullptr;
  HFONT font_ = nullptr;
  HIMAGELIST ilSmall_ = nullptr, ilLarge_ = nullptr;
  HMENU pm_ = nullptr, pmViewSub_ = nullptr, pmView_ = nullptr;
  ListCounters counters_;
  std::vector<std::unique_ptr<Row>> rows_;  // the list items' data, owned here
  std::vector<std::string> captions_;       // the captions in list order
  bool inactive_ = false;
  bool filling_ = false;
  bool destroying_ = false;
  bool activating_ = false;
  bool busy_ = false;            // a command that changes the store is running
  bool refillPending_ = false;
  bool menuPending_ = false;
  bool timerRunning_ = false;
  int waitTicks_ = 0;  // half seconds the prune has waited for a dialog
  DragGesture gesture_;
  std::shared_ptr<TDragInterface> drag_;  // shared with the drag's COM objects
};

}  // namespace vz::win32
