#include "win32/recording_browser.h"

#include <algorithm>

namespace vz::test {
namespace {

constexpr UINT kBrowserItemBase = 0xA000;  // the browser's own entry in each popup

LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

const char* FrameClass() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VzTestBrowserFrame";
    RegisterClassA(&wc);
    registered = true;
  }
  return "VzTestBrowserFrame";
}

}  // namespace

RecordingBrowser::RecordingBrowser(Options options) : options_(options) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  frame_ = CreateWindowExA(0, FrameClass(), "Test browser", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 800, 600,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  toolbar_ = CreateWindowExA(0, TOOLBARCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS, 0, 0, 0, 0, frame_,
                             reinterpret_cast<HMENU>(1), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  if (options_.dropDownToolbar) SendMessageA(toolbar_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
  status_ = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, frame_,
                            reinterpret_cast<HMENU>(2), GetModuleHandleA(nullptr), nullptr);
}

RecordingBrowser::~RecordingBrowser() {
  if (frame_) DestroyWindow(frame_);
}

const QITAB* RecordingBrowser::QiTable() {
  static const QITAB table[] = {QITABENT(RecordingBrowser, IShellBrowser),
                                QITABENT(RecordingBrowser, IOleWindow),
                                {nullptr, 0}};
  return table;
}

IFACEMETHODIMP RecordingBrowser::GetWindow(HWND* phwnd) {
  if (!phwnd) return E_POINTER;
  *phwnd = frame_;
  return S_OK;
}

IFACEMETHODIMP RecordingBrowser::InsertMenusSB(HMENU shared, LPOLEMENUGROUPWIDTHS widths) {
  if (options_.limited) return E_NOTIMPL;
  ++insertCalls;
  const std::pair<UINT, const char*> popups[] = {
      {FCIDM_MENU_FILE, "&File"}, {FCIDM_MENU_EDIT, "&Edit"}, {FCIDM_MENU_VIEW, "&View"}, {FCIDM_MENU_HELP, "&Help"}};
  int n = 0;
  for (const auto& p : popups) {
    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, kBrowserItemBase + n, "Browser's own");
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    mii.wID = p.first;
    mii.hSubMenu = popup;
    mii.dwTypeData = const_cast<char*>(p.second);
    InsertMenuItemA(shared, static_cast<UINT>(n++), TRUE, &mii);
  }
  if (widths) {
    widths->width[0] = 1;  // File
    widths->width[2] = 1;  // View
    widths->width[4] = 1;  // Help
  }
  installed.insert(shared);
  everInstalled.push_back(shared);
  return S_OK;
}

IFACEMETHODIMP RecordingBrowser::SetMenuSB(HMENU shared, HOLEMENU, HWND) {
  if (options_.limited) return E_NOTIMPL;
  ++setMenuCalls;
  currentMenu = shared;
  SetMenu(frame_, shared);
  return S_OK;
}

IFACEMETHODIMP RecordingBrowser::RemoveMenusSB(HMENU shared) {
  if (options_.limited) return E_NOTIMPL;
  ++removeCalls;
  // Take our popups back out (and free them: nobody else owns them).
  for (UINT id : {FCIDM_MENU_FILE, FCIDM_MENU_EDIT, FCIDM_MENU_VIEW, FCIDM_MENU_HELP}) {
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_SUBMENU;
    if (GetMenuItemInfoA(shared, id, FALSE, &mii) && mii.hSubMenu) {
      RemoveMenu(shared, id, MF_BYCOMMAND);
      DestroyMenu(mii.hSubMenu);
    }
  }
  installed.erase(shared);
  if (currentMenu == shared) {
    SetMenu(frame_, nullptr);
    currentMenu = nullptr;
  }
  return S_OK;
}

IFACEMETHODIMP RecordingBrowser::SetStatusTextSB(LPCWSTR text) {
  if (options_.limited) return E_NOTIMPL;
  char buf[512] = {};
  if (text) WideCharToMultiByte(CP_ACP, 0, text, -1, buf, sizeof buf - 1, nullptr, nullptr);
  statusTexts.push_back(buf);
  return S_OK;
}

IFACEMETHODIMP RecordingBrowser::GetControlWindow(UINT id, HWND* phwnd) {
  if (options_.limited) return E_NOTIMPL;
  if (!phwnd) return E_POINTER;
  *phwnd = id == FCW_TOOLBAR ? toolbar_ : id == FCW_STATUS ? status_ : nullptr;
  return *phwnd ? S_OK : E_FAIL;
}

IFACEMETHODIMP RecordingBrowser::SendControlMsg(UINT id, UINT message, WPARAM wParam, LPARAM lParam,
                                                LRESULT* result) {
  if (options_.limited) return E_NOTIMPL;
  controlMessages.push_back({id, message, wParam, lParam});
  HWND target = id == FCW_TOOLBAR ? toolbar_ : id == FCW_STATUS ? status_ : nullptr;
  if (!target) return E_FAIL;
  LRESULT r = SendMessageA(target, message, wParam, lParam);
  if (message == TB_ADDBITMAP && id == FCW_TOOLBAR) {
    auto* added = reinterpret_cast<TBADDBITMAP*>(lParam);
    if (added && added->nID == IDB_STD_SMALL_COLOR) stdBitmapOffset = r;
    if (added && added->nID == IDB_VIEW_SMALL_COLOR) viewBitmapOffset = r;
  }
  if (result) *result = r;
  return S_OK;
}

IFACEMETHODIMP RecordingBrowser::QueryActiveShellView(IShellView** view) {
  if (view) *view = nullptr;
  return E_NOINTERFACE;
}

IFACEMETHODIMP RecordingBrowser::OnViewWindowActive(IShellView*) {
  if (options_.limited) return E_NOTIMPL;
  ++activeCalls;
  return S_OK;
}

IFACEMETHODIMP RecordingBrowser::SetToolbarItems(LPTBBUTTONSB buttons, UINT count, UINT flags) {
  if (options_.limited) return E_NOTIMPL;
  toolbarItems.emplace_back(buttons, buttons + count);
  toolbarFlags.push_back(flags);
  if (flags == FCT_MERGE) SendMessageA(toolbar_, TB_ADDBUTTONSA, count, reinterpret_cast<LPARAM>(buttons));
  return S_OK;
}

std::string RecordingBrowser::StatusText(int part) const {
  char buf[256] = {};
  LRESULT length = SendMessageA(status_, SB_GETTEXTLENGTHA, static_cast<WPARAM>(part), 0);
  if (LOWORD(length) >= sizeof buf) return "(too long)";
  SendMessageA(status_, SB_GETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(buf));
  return buf;
}

std::vector<int> RecordingBrowser::StatusPartEdges() const {
  int edges[8] = {};
  int n = static_cast<int>(SendMessageA(status_, SB_GETPARTS, 8, reinterpret_cast<LPARAM>(edges)));
  return std::vector<int>(edges, edges + std::max(0, n));
}

HMENU RecordingBrowser::Popup(UINT id) const {
  if (!currentMenu) return nullptr;
  MENUITEMINFOA mii{};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_SUBMENU;
  if (!GetMenuItemInfoA(currentMenu, id, FALSE, &mii)) return nullptr;
  return mii.hSubMenu;
}

std::vector<ControlMessage> RecordingBrowser::MessagesTo(UINT control, UINT message) const {
  std::vector<ControlMessage> out;
  for (const auto& m : controlMessages)
    if (m.control == control && m.message == message) out.push_back(m);
  return out;
}

std::vector<MenuItemSeen> MenuItems(HMENU menu) {
  std::vector<MenuItemSeen> items;
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char text[256] = {};
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
    mii.dwTypeData = text;
    mii.cch = sizeof text;
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &mii)) continue;
    MenuItemSeen seen;
    seen.id = mii.wID;
    seen.text = text;
    seen.separator = (mii.fType & MFT_SEPARATOR) != 0;
    seen.grayed = (mii.fState & MFS_GRAYED) != 0;
    seen.checked = (mii.fState & MFS_CHECKED) != 0;
    seen.radio = (mii.fType & MFT_RADIOCHECK) != 0;
    items.push_back(seen);
  }
  return items;
}

}  // namespace vz::test
