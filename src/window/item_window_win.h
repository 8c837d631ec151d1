// TView: the window that fills the Vaporizer folder in Explorer. Its list
// LVShred shows every stored item; its commands arrive from its own popup
// menus and from the menus and toolbar that its host merges into Explorer.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/com.h"
#include "platform/win32/dpi.h"
#include "window/drag_data.h"
#include "window/item_commands.h"
#include "window/item_host_win.h"
#include "window/item_list.h"
#include "window/item_menus_win.h"
#include "window/list_view_win.h"

namespace vz::win32 {

class TView : public std::enable_shared_from_this<TView> {
 public:
  // The only way to make the window: for a host and its browser, each held
  // counted for the object's life. The window starts as a bare child window
  // that the host parents, places and shows. Shared, because a command, a
  // drag or a message keeps the object alive for as long as it runs, even
  // when the host lets it go meanwhile.
  static std::shared_ptr<TView> Create(ItemWindowHost* host, IShellBrowser* browser);
  ~TView();
  TView(const TView&) = delete;
  TView& operator=(const TView&) = delete;

  static TView* FromHandle(HWND hwnd);

  // Takes the window down (the host is done with it); whatever still runs
  // in it finishes on an object without a window.
  void Close();
  // Registers the target for drops on the window, with OLE initialised on
  // this thread for as long as it stays registered. The registration goes
  // with the window, whoever destroys it.
  bool AcceptDrops(IDropTarget* target);

  HWND Handle() const { return hwnd_; }
  HWND List() const { return list_.Handle(); }
  HIMAGELIST LargeImages() const { return list_.LargeImages(); }

  // Refills the list from the folder's enumerator; a failed enumeration
  // keeps the list as it was. Menus and status bar follow in both cases.
  void FillItemList();
  // The selection handler: item -1 for "no item" (after a filling, on
  // activation), else the row whose selection changed.
  void LVShredSelectItem(int item, bool selected);
  // Writes the two status bar parts from the counters.
  void UpdateStatusBar();

  ViewMode CurrentViewMode() const { return list_.Mode(); }
  void SetViewMode(ViewMode mode) { list_.SetMode(mode); }
  int ItemCount() const { return counters_.ItemCount(); }
  bool AnySelected() const { return list_.AnySelected(); }
  const ListCounters& Counters() const { return counters_; }

  // Once set, commands, notifications, menu pop-ups and hints are ignored.
  void SetInactive() { inactive_ = true; }
  bool Inactive() const { return inactive_; }

  // Runs a command number as it arrives in WM_COMMAND.
  void Command(int command);
  void SelectAll() { list_.SelectAll(); }
  void InvertSelection() { list_.InvertSelection(); }
  void Shred1Click();           // vaporize selected
  void EmptyVaporizer1Click();  // vaporize all
  void Restore1Click();
  void Properties1Click();
  void Help();
  void About();

  // The toolbar window that the browser handed out, if any.
  void SetToolbarWindow(HWND toolbar) { toolbar_ = toolbar; }

  // Timer1: started when items may have been dragged out of the store;
  // prunes the index and updates the icon once none of the module's own
  // boxes shows and no command runs.
  void StartPruneTimer();
  bool PruneTimerRunning() const { return timerRunning_; }

  // Dragging the selected items out (move only); refused while a command
  // that changes the store runs. The drag carries the items selected when
  // it starts, whatever becomes of the window.
  HRESULT StartItemDrag();

  // The help viewer; tests replace it to see what would be opened.
  using HelpViewer = std::function<void(HWND owner, const std::string& file, const std::string& macro)>;
  static void SetHelpViewer(HelpViewer viewer);

 private:
  struct Token {};

 public:
  TView(Token, ItemWindowHost* host, IShellBrowser* browser);

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void FormCreate();
  void DpiChanged();
  void OnDestroy();
  void OnListMouse(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnNotify(NMHDR* header);
  void OnContextMenu(int x, int y);
  void OnToolbarDropDown(NMTOOLBARW* info);
  void OnMenuSelect(int command);
  void Timer1Timer();
  void FormActivate();
  void RunAction(const CommandAction& action);
  // Vaporizes the items off the window thread; busy until that is over.
  void VaporizeItems(std::vector<ShredItemRecord> items);
  void RequestRefill();
  std::string DecimalSeparator() const;

  com::ComPtr<ItemWindowHost> host_;
  com::ComPtr<IShellBrowser> browser_;
  HWND hwnd_ = nullptr;
  HWND toolbar_ = nullptr;
  Font font_;
  ItemListView list_;
  std::unique_ptr<ItemMenus> menus_;
  ListCounters counters_;
  com::ComPtr<IDropTarget> dropTarget_;  // registered on the window
  std::unique_ptr<com::OleScope> ole_;   // while it is
  bool inactive_ = false;
  bool filling_ = false;
  bool destroying_ = false;
  bool activating_ = false;
  bool busy_ = false;  // a command that changes the store is running (or its job)
  bool refillPending_ = false;
  bool menuPending_ = false;
  bool timerRunning_ = false;
  int waitTicks_ = 0;  // half seconds the prune has waited
  DragGesture gesture_;
};

}  // namespace vz::win32
