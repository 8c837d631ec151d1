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
#include "window/item_host_win.h"

namespace vz::win32 {

class TView;

// The view is the item window's host; to the shell it is an IShellView and
// nothing else.
class TVaporizerView : public com::Object<TVaporizerView, IShellView, ItemWindowHost> {
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

  // ItemWindowHost
  IShellFolder* Folder() override { return folder_.Get(); }
  bool ToolbarHasDropDowns() override { return toolbarHasDropDowns_; }
  // A new shared menu: the browser's popups with the view's entries on top.
  void RebuildMergedMenu(bool anySelected, int itemCount) override;
  // Radio mark on the current mode, "Vaporize &all" only with items.
  void InitMenuPopup(ViewMode current, int itemCount) override;
  // The toolbar's view buttons follow the list's mode (old-style toolbar).
  void CheckViewButton(ViewMode current) override;
  void SetStatusText(int part, const std::string& text) override;
  void ShowMenuHint(const std::string& text) override;
  void WindowActive() override;

 private:
  // Takes the shared menu back out of the browser and destroys it.
  void RemoveMergedMenu();
  void BuildFileMenu(HMENU popup, bool anySelected, int itemCount);
  void BuildEditMenu(HMENU popup);
  void BuildViewMenu(HMENU popup);
  void BuildHelpMenu(HMENU popup);
  void MergeToolbar();
  void SetStatusParts();
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
  std::shared_ptr<TView> window_;
};

// Hands out a new view for the folder.
HRESULT CreateVaporizerView(IShellFolder* folder, REFIID riid, void** ppv);

// The command id of the toolbar's view button that was checked last, shared
// by every view of the process.
int LastCheckedViewButton();

}  // namespace vz::win32
