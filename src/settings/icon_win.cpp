#include "settings/icon_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cctype>
#include <cstddef>
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
// that registration prepared in the machine's classes; false when the icon
// key is not there. Read there by name: in the caller's own registry view,
// where its own module registered, else in the 64-bit view that the shell
// of 64-bit Windows reads (a 32-bit caller whose module was not registered).
bool ChosenIconLocation(std::string& text) {
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, ClassesKey(FolderIconKey()), KEY_READ) != ERROR_SUCCESS &&
      key.Open(HKEY_LOCAL_MACHINE, ClassesKey(FolderIconKey()), KEY_READ | KEY_WOW64_64KEY) != ERROR_SUCCESS)
    return false;
  text = key.ReadString(IsStoreEmpty() ? "EMPTY" : "FULL");
  return true;
}

// The chosen location goes into the user's own key, never into the
// machine-wide one: a key that every user may write would let any account
// redirect the icon (or the handlers) of all users. It is the key where the
// desktop icon settings keep a user's icons for the system's desktop items,
// outside Software\Classes, so that it shadows nothing of the class.
void WriteUserIconLocation(const std::string& text) {
  RegKey key;
  if (key.Create(HKEY_CURRENT_USER, UserFolderIconKey(), KEY_WOW64_64KEY) == ERROR_SUCCESS) key.SetString("", text);
}

// Tells every shell window that the system image at imageIndex changed:
// the index is the first DWORD of the notice's one list, where receivers
// without a second list read it (and where SHCNF_DWORD would put the value
// itself, not the address of a variable holding it).
void AnnounceImageChange(int imageIndex) {
  SHChangeDWORDAsIDList number{};
  number.cb = static_cast<USHORT>(offsetof(SHChangeDWORDAsIDList, cbZero));
  number.dwItem1 = static_cast<DWORD>(imageIndex);
  SHChangeNotify(SHCNE_UPDATEIMAGE, SHCNF_IDLIST, &number, nullptr);
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

void RefreshShellWindows() {
  if (HWND desktop = FindWindowW(nullptr, L"Program Manager")) SendRefresh(desktop);
  EnumWindows(RefreshExplorerWindow, 0);
}

bool UpdateIconNow() {
  LPITEMIDLIST computerRaw = nullptr;
  SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computerRaw);
  IdList computer(computerRaw);

  // What an earlier release wrote for this user hid the machine's class.
  RemoveUserClassKey();
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
  // The location names this very module (registration wrote it), by a name
  // the loader need not know it by, such as its short form: the pictures
  // come from the module's own handle.
  HICON icon = LoadIconW(ModuleInstance(), MAKEINTRESOURCEW(resource));
  if (!icon) return false;

  if (systemList) ImageList_ReplaceIcon(systemList, index, icon);
  RefreshShellWindows();
  if (index != 0) AnnounceImageChange(index);
  return true;
}

void UpdateIconQuietly() {
  // An early stop is not an error for callers outside the registration.
  com::GuardOr(false, [] { return UpdateIconNow(); });
}

void InstallUpdateIconHook() { SetUpdateIconHook(&UpdateIconQuietly); }

}  // namespace vz::win32
