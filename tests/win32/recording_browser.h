// An IShellBrowser for tests: a real frame window with a real toolbar and
// status bar, menus like Explorer's File, Edit, View and Help popups, and a
// record of every call a view makes. In the "limited" mode it answers like
// a browser that implements only GetWindow, BrowseObject and
// QueryActiveShellView.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <set>
#include <string>
#include <vector>

#include "platform/win32/com.h"
#include "win32/shell_support.h"

namespace vz::test {

struct ControlMessage {
  UINT control;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

class RecordingBrowser : public com::Object<RecordingBrowser, IShellBrowser> {
 public:
  struct Options {
    bool dropDownToolbar = false;  // TBSTYLE_EX_DRAWDDARROWS on the toolbar
    bool limited = false;          // most methods answer E_NOTIMPL
  };
  explicit RecordingBrowser(Options options);
  ~RecordingBrowser() override;
  static const QITAB* QiTable();

  // IOleWindow
  IFACEMETHODIMP GetWindow(HWND* phwnd) override;
  IFACEMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IShellBrowser
  IFACEMETHODIMP InsertMenusSB(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
  IFACEMETHODIMP SetMenuSB(HMENU shared, HOLEMENU, HWND) override;
  IFACEMETHODIMP RemoveMenusSB(HMENU shared) override;
  IFACEMETHODIMP SetStatusTextSB(LPCWSTR text) override;
  IFACEMETHODIMP EnableModelessSB(WINBOOL) override { return E_NOTIMPL; }
  IFACEMETHODIMP TranslateAcceleratorSB(MSG*, WORD) override { return E_NOTIMPL; }
  IFACEMETHODIMP BrowseObject(PCUIDLIST_RELATIVE, UINT) override { return S_OK; }
  IFACEMETHODIMP GetViewStateStream(DWORD, IStream**) override { return E_NOTIMPL; }
  IFACEMETHODIMP GetControlWindow(UINT id, HWND* phwnd) override;
  IFACEMETHODIMP SendControlMsg(UINT id, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  IFACEMETHODIMP QueryActiveShellView(IShellView** view) override;
  IFACEMETHODIMP OnViewWindowActive(IShellView*) override;
  IFACEMETHODIMP SetToolbarItems(LPTBBUTTONSB buttons, UINT count, UINT flags) override;

  HWND Frame() const { return frame_; }
  HWND Toolbar() const { return toolbar_; }
  HWND StatusBar() const { return status_; }
  long References() { AddRef(); return static_cast<long>(Release()); }

  // The status bar as the user reads it.
  std::string StatusText(int part) const;
  std::vector<int> StatusPartEdges() const;

  // What the view did.
  int insertCalls = 0, setMenuCalls = 0, removeCalls = 0, activeCalls = 0;
  HMENU currentMenu = nullptr;          // the menu last given to SetMenuSB
  std::set<HMENU> installed;            // shared menus holding our popups now
  std::vector<HMENU> everInstalled;
  std::vector<std::string> statusTexts;  // SetStatusTextSB
  std::vector<ControlMessage> controlMessages;
  std::vector<std::vector<TBBUTTON>> toolbarItems;  // one entry per SetToolbarItems
  std::vector<UINT> toolbarFlags;
  LRESULT stdBitmapOffset = -1, viewBitmapOffset = -1;

  // The browser's own popup of the current shared menu, found by its id.
  HMENU Popup(UINT id) const;
  std::vector<ControlMessage> MessagesTo(UINT control, UINT message) const;

 private:
  Options options_;
  HWND frame_ = nullptr, toolbar_ = nullptr, status_ = nullptr;
};

// One item of a menu as the user sees it.
struct MenuItemSeen {
  UINT id = 0;
  std::string text;
  bool separator = false;
  bool grayed = false;
  bool checked = false;
  bool radio = false;
};
std::vector<MenuItemSeen> MenuItems(HMENU menu);

}  // namespace vz::test
