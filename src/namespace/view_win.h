// TVaporizerView: the folder's IShellView. It puts the item window into the
// browser and is the only part that talks to the browser: merged menus,
// toolbar buttons and status bar texts all go through IShellBrowser.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>

#include "platform/win32/com.h"
#include "window/item_commands.h"

namespace vz::win32 {

class TView;

class TVaporizerView : public com::Object<TVaporizerView, IShellView> {
 public:
  // folder: the folder that creates the view; held counted so that it
  // outlives the view.
  TVaporizerView(IShellFolder* folder, com::ComPtr<IMalloc> allocator);
  ~TVaporizerView() override;

  static const QITAB* QiTable();

  // IOleWindow
  IFACEMETHODIMP GetWindow(HWND* phwnd) override;
  IFACEMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IShellView
  IFACEMETHODIMP TranslateAccelerator(MSG* msg) override;
  IFACEMETHODIMP EnableModeless(BOOL) override { return E_NOTIMPL; }
  IFACEMETHODIMP UIActivate(UINT state) override;
  IFACEMETHODIMP Refresh() override;
  IFACEMETHODIMP CreateViewWindow(IShellView* previous, LPCFOLDERSETTINGS settings, IShellBrowser* browser,
                                  RECT* rect, HWND* phwnd) override;
  IFACEMETHODIMP DestroyViewWindow() override;
  IFACEMETHODIMP GetCurrentInfo(LPFOLDERSETTINGS settings) override;
  IFACEMETHODIMP AddPropertySheetPages(DWORD, LPFNSVADDPROPSHEETPAGE, LPARAM) override { return E_NOTIMPL; }
  IFACEMETHODIMP SaveViewState() override { return E_NOTIMPL; }
  IFACEMETHODIMP SelectItem(PCUITEMID_CHILD, SVSIF) override { return E_NOTIMPL; }
  IFACEMETHODIMP GetItemObject(UINT, REFIID, void** ppv) override;

  // What the item window calls.
  IShellBrowser* Browser() const { return browser_.Get(); }
  IShellFolder* Folder() const { return folder_.Get(); }
  IMalloc* Allocator() const { return allocator_.Get(); }
  bool ToolbarHasDropDowns() const { return toolbarHasDropDowns_; }
  HMENU MergedMenu() const { return menu_; }
  TView* ItemWindow() const { return window_.get(); }

  // Takes the shared menu back out of the browser and destroys it.
  void RemoveMergedMenu();
  // A new shared menu: the browser's popups with the view's entries on top.
  void RebuildMergedMenu(bool anySelected, int itemCount);
  void BuildFileMenu(HMENU popup, bool anySelected, int itemCount);
  void BuildEditMenu(HMENU popup);
  void BuildViewMenu(HMENU popup);
  void BuildHelpMenu(HMENU popup);
  // WM_INITMENUPOPUP of a merged menu: radio mark on the current mode,
  // "Vaporize &all" only with items.
  void InitMenuPopup(ViewMode current, int itemCount);
  // The toolbar's view buttons follow the list's mode (old-style toolbar).
  void CheckViewButton(ViewMode current);
  void MergeToolbar();
  void SetStatusParts();
  void SetStatusText(int part, const std::string& text);
  void ShowMenuHint(const std::string& text);
  void WindowActive();

 private:
  void DestroyItemWindow();

  UINT viewMode_ = 0;
  UINT folderFlags_ = 0;
  com::ComPtr<IShellBrowser> browser_;
  com::ComPtr<IShellFolder> folder_;
  HWND browserWindow_ = nullptr;
  com::ComPtr<IMalloc> allocator_;
  com::ComPtr<IDropTarget> dropTarget_;
  HMENU menu_ = nullptr;
  UINT uiState_ = SVUIA_DEACTIVATE;
  bool toolbarHasDropDowns_ = false;
  std::unique_ptr<TView> window_;
  bool comInitialized_ = false;
  bool dropRegistered_ = false;
};

// Hands out a new view for the folder.
HRESULT CreateVaporizerView(IShellFolder* folder, REFIID riid, void** ppv);

// The command id of the toolbar's view button that was checked last, shared
// by every view of the process.
int LastCheckedViewButton();

}  // namespace vz::win32
