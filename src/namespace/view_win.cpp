#include "namespace/view_win.h"

#include <commctrl.h>

#include <vector>

#include "namespace/drop_target_win.h"
#include "platform/win32/shell_support_win.h"
#include "platform/win32/wide.h"
#include "window/item_window_win.h"

namespace vz::win32 {
namespace {

int g_lastCheckedViewButton = 0;

void InsertEntries(HMENU popup, const std::vector<MenuEntry>& entries) {
  for (const MenuEntry& e : entries) {
    std::wstring text = Widen(e.text);
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_STATE | MIIM_ID | MIIM_TYPE;
    mii.fType = e.separator ? MFT_SEPARATOR : MFT_STRING;
    mii.fState = e.grayed ? MFS_GRAYED : MFS_ENABLED;
    mii.wID = static_cast<UINT>(e.id);
    if (!e.separator) mii.dwTypeData = &text[0];
    InsertMenuItemW(popup, static_cast<UINT>(e.position), TRUE, &mii);
  }
}

}  // namespace

int LastCheckedViewButton() { return g_lastCheckedViewButton; }

TVaporizerView::TVaporizerView(IShellFolder* folder, com::ComPtr<IMalloc> allocator)
    : folder_(folder), allocator_(std::move(allocator)) {}

TVaporizerView::~TVaporizerView() {
  // The item window holds the view, so it is gone by now; the menu may not be.
  RemoveMergedMenu();
}

const QITAB* TVaporizerView::QiTable() {
  static const QITAB table[] = {QITABENTMULTI(TVaporizerView, IOleWindow, IShellView),
                                QITABENT(TVaporizerView, IShellView), {nullptr, 0}};
  return table;
}

IFACEMETHODIMP TVaporizerView::GetWindow(HWND* phwnd) {
  if (!phwnd) return E_POINTER;
  return com::Guard([&]() -> HRESULT {
    *phwnd = window_ ? window_->Handle() : nullptr;
    return S_OK;
  });
}

IFACEMETHODIMP TVaporizerView::TranslateAccelerator(MSG* msg) {
  return com::Guard([&]() -> HRESULT {
    if (!msg || msg->message != WM_KEYDOWN || !window_) return E_NOTIMPL;
    // The command may run a message loop in which the browser lets the view
    // and its window go; both stay until it returns.
    std::shared_ptr<TView> window = window_;
    com::ComPtr<IShellView> self(this);
    // Keys typed elsewhere in the browser (its address box) are not ours.
    HWND own = window->Handle();
    if (!own || (msg->hwnd != own && !IsChild(own, msg->hwnd))) return E_NOTIMPL;
    if (msg->wParam == VK_DELETE) {
      window->Shred1Click();
      return S_OK;
    }
    if (msg->wParam == 'A' && (GetKeyState(VK_CONTROL) & 0x8000)) {
      window->SelectAll();  // the browser goes on with the key all the same
    }
    return E_NOTIMPL;
  });
}

IFACEMETHODIMP TVaporizerView::UIActivate(UINT state) {
  return com::Guard([&]() -> HRESULT {
    if (state == uiState_) return S_OK;
    RemoveMergedMenu();
    if (state != SVUIA_DEACTIVATE) {
      if (window_) {
        window_->LVShredSelectItem(-1, false);
        if (state == SVUIA_ACTIVATE_FOCUS && window_->List()) SetFocus(window_->List());
      }
    } else if (window_) {
      window_->SetInactive();
    }
    uiState_ = state;
    return S_OK;
  });
}

IFACEMETHODIMP TVaporizerView::Refresh() {
  return com::Guard([&]() -> HRESULT {
    if (window_) window_->FillItemList();
    return S_OK;
  });
}

IFACEMETHODIMP TVaporizerView::CreateViewWindow(IShellView*, LPCFOLDERSETTINGS settings, IShellBrowser* browser,
                                                RECT* rect, HWND* phwnd) {
  if (!phwnd) return E_POINTER;
  *phwnd = nullptr;
  if (!browser) return E_INVALIDARG;
  return com::Guard([&]() -> HRESULT {
    if (window_) DestroyItemWindow();  // a second window replaces the first
    viewMode_ = settings ? settings->ViewMode : 0;
    folderFlags_ = settings ? settings->fFlags : 0;
    browser_ = com::ComPtr<IShellBrowser>(browser);
    browserWindow_ = nullptr;
    if (FAILED(browser->GetWindow(&browserWindow_))) browserWindow_ = nullptr;

    HRESULT result = E_UNEXPECTED;
    try {
      window_ = TView::Create(this, browser);
      HWND hwnd = window_->Handle();
      *phwnd = hwnd;
      SetParent(hwnd, browserWindow_);
      RECT place{};
      if (rect) place = *rect;
      else if (browserWindow_) GetClientRect(browserWindow_, &place);
      SetWindowPos(hwnd, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                   SWP_SHOWWINDOW);
      ShowWindow(hwnd, SW_SHOW);
      result = hwnd ? S_OK : E_UNEXPECTED;

      window_->FillItemList();
      MergeToolbar();
      SetStatusParts();
      // A browser whose status bar had fewer parts dropped the second text.
      window_->UpdateStatusBar();

      // Drops into the open folder go where drops on its icon go; without
      // OLE the window simply takes no drops.
      com::ComPtr<IDropTarget> target;
      if (SUCCEEDED(CreateDropShred(nullptr, IID_IDropTarget, target.PutVoid(), hwnd))) {
        dropTarget_ = target;
        window_->AcceptDrops(dropTarget_.Get());
      }

      if (auto mode = ViewModeFromShell(viewMode_)) window_->SetViewMode(*mode);
      CheckViewButton(window_->CurrentViewMode());
    } catch (...) {
      result = E_UNEXPECTED;
    }
    if (FAILED(result)) {
      // A window the browser was not told about must not linger.
      DestroyItemWindow();
      *phwnd = nullptr;
    }
    return result;
  });
}

void TVaporizerView::DestroyItemWindow() {
  com::ComPtr<IShellView> self(this);  // the window's reference may be the last but one
  RemoveMergedMenu();
  // The window goes now (and its drop registration with it); the object
  // goes once nothing that runs in it holds it any more.
  if (std::shared_ptr<TView> window = std::move(window_)) window->Close();
  browser_.Reset();
}

IFACEMETHODIMP TVaporizerView::DestroyViewWindow() {
  return com::Guard([&]() -> HRESULT {
    DestroyItemWindow();
    return S_OK;
  });
}

IFACEMETHODIMP TVaporizerView::GetCurrentInfo(LPFOLDERSETTINGS settings) {
  if (!window_) return E_NOTIMPL;
  if (!settings) return E_POINTER;
  return com::Guard([&]() -> HRESULT {
    settings->ViewMode = ShellModeOf(window_->CurrentViewMode());
    settings->fFlags = FWF_AUTOARRANGE;
    return S_OK;
  });
}

IFACEMETHODIMP TVaporizerView::GetItemObject(UINT, REFIID, void**) { return E_NOTIMPL; }

void TVaporizerView::RemoveMergedMenu() {
  if (!menu_) return;
  if (browser_) browser_->RemoveMenusSB(menu_);
  DestroyMenu(menu_);
  menu_ = nullptr;
}

void TVaporizerView::RebuildMergedMenu(bool anySelected, int itemCount) {
  RemoveMergedMenu();
  if (!browser_) return;
  menu_ = CreateMenu();
  if (!menu_) return;
  OLEMENUGROUPWIDTHS widths{};
  browser_->InsertMenusSB(menu_, &widths);
  for (unsigned id : {kBrowserMenuFile, kBrowserMenuEdit, kBrowserMenuView, kBrowserMenuHelp}) {
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_SUBMENU;
    if (!GetMenuItemInfoW(menu_, id, FALSE, &mii) || !mii.hSubMenu) continue;
    switch (id) {
      case kBrowserMenuFile: BuildFileMenu(mii.hSubMenu, anySelected, itemCount); break;
      case kBrowserMenuEdit: BuildEditMenu(mii.hSubMenu); break;
      case kBrowserMenuView: BuildViewMenu(mii.hSubMenu); break;
      case kBrowserMenuHelp: BuildHelpMenu(mii.hSubMenu); break;
    }
  }
  browser_->SetMenuSB(menu_, nullptr, nullptr);
}

void TVaporizerView::BuildFileMenu(HMENU popup, bool anySelected, int itemCount) {
  InsertEntries(popup, FileMenuEntries(anySelected, itemCount));
}
void TVaporizerView::BuildEditMenu(HMENU popup) { InsertEntries(popup, EditMenuEntries()); }
void TVaporizerView::BuildViewMenu(HMENU popup) { InsertEntries(popup, ViewMenuEntries()); }
void TVaporizerView::BuildHelpMenu(HMENU popup) { InsertEntries(popup, HelpMenuEntries()); }

void TVaporizerView::InitMenuPopup(ViewMode current, int itemCount) {
  if (!menu_) return;
  CheckMenuRadioItem(menu_, cmd::kMenuLargeIcons, cmd::kMenuDetails, static_cast<UINT>(MenuIdOf(current)),
                     MF_BYCOMMAND);
  EnableMenuItem(menu_, cmd::kVaporizeAll, MF_BYCOMMAND | (itemCount < 1 ? MF_GRAYED : MF_ENABLED));
}

void TVaporizerView::CheckViewButton(ViewMode current) {
  if (toolbarHasDropDowns_) return;
  LRESULT ignored = 0;
  if (browser_ && g_lastCheckedViewButton != 0)
    browser_->SendControlMsg(FCW_TOOLBAR, TB_CHECKBUTTON, static_cast<WPARAM>(g_lastCheckedViewButton),
                             MAKELPARAM(FALSE, 0), &ignored);
  int id = ToolbarIdOf(current);
  if (browser_) browser_->SendControlMsg(FCW_TOOLBAR, TB_CHECKBUTTON, static_cast<WPARAM>(id), MAKELPARAM(TRUE, 0),
                                         &ignored);
  g_lastCheckedViewButton = id;
}

void TVaporizerView::MergeToolbar() {
  if (!browser_) return;
  HWND toolbar = nullptr;
  if (FAILED(browser_->GetControlWindow(FCW_TOOLBAR, &toolbar))) toolbar = nullptr;
  if (window_) window_->SetToolbarWindow(toolbar);
  toolbarHasDropDowns_ =
      toolbar && (SendMessageW(toolbar, TB_GETEXTENDEDSTYLE, 0, 0) & TBSTYLE_EX_DRAWDDARROWS) != 0;

  LRESULT ignored = 0, viewOffset = 0, stdOffset = 0;
  browser_->SendControlMsg(FCW_TOOLBAR, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0, &ignored);
  TBADDBITMAP viewBitmaps = {HINST_COMMCTRL, IDB_VIEW_SMALL_COLOR};
  if (FAILED(browser_->SendControlMsg(FCW_TOOLBAR, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&viewBitmaps),
                                      &viewOffset)))
    viewOffset = 0;
  TBADDBITMAP stdBitmaps = {HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
  if (FAILED(browser_->SendControlMsg(FCW_TOOLBAR, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&stdBitmaps),
                                      &stdOffset)))
    stdOffset = 0;

  std::vector<ToolbarButton> buttons = ToolbarButtons(toolbarHasDropDowns_);
  std::size_t bytes = buttons.size() * sizeof(TBBUTTON);
  TaskMem<TBBUTTON> block(static_cast<TBBUTTON*>(allocator_->Alloc(bytes)));
  if (!block) return;
  ZeroMemory(block.get(), bytes);
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const ToolbarButton& b = buttons[i];
    TBBUTTON& t = block.get()[i];
    t.fsState = TBSTATE_ENABLED;
    t.iString = -1;
    if (b.separator) {
      t.fsStyle = TBSTYLE_SEP;
      continue;
    }
    t.idCommand = b.id;
    t.fsStyle = TBSTYLE_BUTTON;
    t.iBitmap = b.image + static_cast<int>(b.bitmaps == ToolbarButton::Bitmaps::View ? viewOffset : stdOffset);
  }
  browser_->SetToolbarItems(block.get(), static_cast<UINT>(buttons.size()), FCT_MERGE);
  if (window_) CheckViewButton(window_->CurrentViewMode());
}

void TVaporizerView::SetStatusParts() {
  if (!browser_) return;
  LRESULT ignored = 0;
  browser_->SendControlMsg(FCW_STATUS, SB_SIMPLE, FALSE, 0, &ignored);
  int edges[2] = {kStatusPartEdges[0], kStatusPartEdges[1]};
  browser_->SendControlMsg(FCW_STATUS, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges), &ignored);
}

void TVaporizerView::SetStatusText(int part, const std::string& text) {
  if (!browser_) return;
  LRESULT ignored = 0;
  std::wstring wide = Widen(text);
  browser_->SendControlMsg(FCW_STATUS, SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(wide.c_str()),
                           &ignored);
}

void TVaporizerView::ShowMenuHint(const std::string& text) {
  if (!browser_) return;
  browser_->SetStatusTextSB(Widen(text).c_str());
}

void TVaporizerView::WindowActive() {
  if (browser_) browser_->OnViewWindowActive(this);
}

HRESULT CreateVaporizerView(IShellFolder* folder, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  com::ComPtr<IMalloc> allocator;
  HRESULT hr = SHGetMalloc(allocator.Put());
  if (FAILED(hr)) return hr;
  if (!allocator) return E_OUTOFMEMORY;
  return TVaporizerView::CreateInstance(riid, ppv, folder, std::move(allocator));
}

}  // namespace vz::win32
