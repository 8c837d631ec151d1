#include "settings/icon_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cctype>
#include <cwchar>
#include <iterator>
#include <string>

#include "platform/win32/com.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "settings/registry_win.h"
#include "store/store.h"

namespace vz::win32 {
namespace {

// Commands that make the desktop and Explorer windows reread their items.
constexpr WPARAM kRefreshCommand = 0xA065;
constexpr WPARAM kRefreshViewCommand = 0xA220;

// A refresh that an Explorer window does not take within this time is
// given up for that window: a hung window must not hang the caller.
constexpr UINT kRefreshTimeoutMs = 2000;

// The text the folder icon should show now: the "EMPTY" or "FULL" location
// that registration prepared in the machine's classes; empty when the icon
// key is not there. Read there by name: through HKEY_CLASSES_ROOT the
// user's own icon key, written below, would hide the machine's.
bool ChosenIconLocation(std::string& text) {
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, ClassesKey(FolderIconKey()), KEY_READ) != ERROR_SUCCESS) return false;
  text = key.ReadString(IsStoreEmpty() ? "EMPTY" : "FULL");
  return true;
}

// The chosen location goes into the user's own classes, never into the
// machine-wide key: a key that every user may write would let any account
// redirect the icon (or the handlers) of all users. The shell reads the
// user's classes merged over the machine's. Wine 8 does not merge them (its
// HKEY_CLASSES_ROOT shows only HKEY_LOCAL_MACHINE\Software\Classes), so under
// Wine the shell keeps the icon that registration wrote.
void WriteUserIconLocation(const std::string& text) {
  RegKey key;
  if (key.Create(HKEY_CURRENT_USER, UserFolderIconKey()) == ERROR_SUCCESS) key.SetString("", text);
}


// The three refresh messages, one after the other; a window that does not
// answer one in time (or is hung already) gets none of the rest.
void SendRefresh(HWND hwnd) {
  const struct {
    UINT message;
    WPARAM wParam;
  } messages[] = {{WM_COMMAND, kRefreshCommand}, {WM_COMMAND, kRefreshViewCommand}, {WM_WININICHANGE, 0}};
  for (const auto& m : messages) {
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(hwnd, m.message, m.wParam, 0, SMTO_ABORTIFHUNG, kRefreshTimeoutMs, &ignored)) return;
  }
}

BOOL CALLBACK RefreshExplorerWindow(HWND hwnd, LPARAM) {
  wchar_t cls[256] = {};
  GetClassNameW(hwnd, cls, static_cast<int>(std::size(cls)));
  if (_wcsicmp(cls, L"CabinetWClass") == 0 || _wcsicmp(cls, L"ExploreWClass") == 0) SendRefresh(hwnd);
  return TRUE;
}

}  // namespace

bool SplitIconLocation(const std::string& location, std::string& modulePath, int& resourceId) {
  if (location.size() < 5) return false;
  std::string digits = location.substr(location.size() - 3);
  for (char c : digits)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  resourceId = std::stoi(digits);
  modulePath = location.substr(0, location.size() - 5);
  return true;
}

IdList FindFolderOnDesktop(HWND owner) {
  com::ComPtr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.Put())) || !desktop) return nullptr;
  com::ComPtr<IEnumIDList> items;
  if (desktop->EnumObjects(owner, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items.Put()) != S_OK || !items)
    return nullptr;
  const std::wstring wanted = Widen("::" + ClsidText(kClsidVaporizerFolder));
  for (;;) {
    LPITEMIDLIST found = nullptr;
    ULONG fetched = 0;
    if (items->Next(1, &found, &fetched) != S_OK || !found) return nullptr;
    IdList item(found);
    // Known by its class, not by its name: a file or shortcut the user
    // called "Vaporizer" is not the folder. A namespace folder's parsing
    // name is "::" and its class id, in any letter case.
    STRRET name{};
    if (SUCCEEDED(desktop->GetDisplayNameOf(item.get(), SHGDN_FORPARSING, &name)) &&
        _wcsicmp(TakeStrRet(name, item.get()).c_str(), wanted.c_str()) == 0)
      return item;
  }
}

void RefreshShellWindows(int iconIndex) {
  if (HWND desktop = FindWindowW(nullptr, L"Program Manager")) SendRefresh(desktop);
  EnumWindows(RefreshExplorerWindow, 0);
  if (iconIndex != 0) {
    DWORD index = static_cast<DWORD>(iconIndex);
    SHChangeNotify(SHCNE_UPDATEIMAGE, SHCNF_DWORD, &index, nullptr);
  }
}

bool UpdateIconNow() {
  LPITEMIDLIST computerRaw = nullptr;
  SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computerRaw);
  IdList computer(computerRaw);

  std::string location;
  if (ChosenIconLocation(location)) WriteUserIconLocation(location);

  if (GetFixedDrives().empty()) return false;

  SHFILEINFOW info{};
  HIMAGELIST systemList = nullptr;
  if (computer) {
    systemList = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(reinterpret_cast<LPCWSTR>(computer.get()), 0, &info, sizeof info,
                       SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_ICON | SHGFI_DISPLAYNAME));
    if (info.hIcon) DestroyIcon(info.hIcon);  // only the list's handle is wanted
  }

  IdList folder = FindFolderOnDesktop();
  if (!folder) return false;

  SHFILEINFOW folderInfo{};
  if (!SHGetFileInfoW(reinterpret_cast<LPCWSTR>(folder.get()), 0, &folderInfo, sizeof folderInfo,
                      SHGFI_PIDL | SHGFI_SYSICONINDEX))
    return false;
  int index = folderInfo.iIcon;

  std::string modulePath;
  int resource = 0;
  if (!SplitIconLocation(location, modulePath, resource)) return false;
  HMODULE module = GetModuleHandleW(Widen(modulePath).c_str());
  if (!module) return false;
  HICON icon = LoadIconW(module, MAKEINTRESOURCEW(resource));
  if (!icon) return false;

  if (systemList) ImageList_ReplaceIcon(systemList, index, icon);
  RefreshShellWindows(index);
  return true;
}

void UpdateIconQuietly() {
  // An early stop is not an error for callers outside the registration.
  com::GuardOr(false, [] { return UpdateIconNow(); });
}

void InstallUpdateIconHook() { SetUpdateIconHook(&UpdateIconQuietly); }

}  // namespace vz::win32
