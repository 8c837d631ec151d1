#include "settings/icon_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string>

#include "platform/win32/com.h"
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

struct PidlDeleter {
  void operator()(ITEMIDLIST* p) const { CoTaskMemFree(p); }
};

// A name the shell gave, in upper case; empty for a name given as an offset.
std::string UpperName(STRRET& name) {
  std::string text;
  switch (name.uType) {
    case STRRET_WSTR: {
      if (!name.pOleStr) return {};
      int n = WideCharToMultiByte(CP_ACP, 0, name.pOleStr, -1, nullptr, 0, nullptr, nullptr);
      if (n > 0) {
        text.resize(static_cast<std::size_t>(n));
        WideCharToMultiByte(CP_ACP, 0, name.pOleStr, -1, &text[0], n, nullptr, nullptr);
        text.resize(static_cast<std::size_t>(n - 1));
      }
      CoTaskMemFree(name.pOleStr);
      break;
    }
    case STRRET_CSTR:
      text.assign(name.cStr, strnlen(name.cStr, sizeof name.cStr));
      break;
    default:  // an offset into the identifier gives no text
      return {};
  }
  if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
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
    if (!SendMessageTimeoutA(hwnd, m.message, m.wParam, 0, SMTO_ABORTIFHUNG, kRefreshTimeoutMs, &ignored)) return;
  }
}

BOOL CALLBACK RefreshExplorerWindow(HWND hwnd, LPARAM) {
  char cls[256] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  std::string name = cls;
  CharUpperBuffA(&name[0], static_cast<DWORD>(name.size()));
  if (name == "CABINETWCLASS" || name == "EXPLOREWCLASS") SendRefresh(hwnd);
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

LPITEMIDLIST FindFolderOnDesktop(HWND owner) {
  com::ComPtr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.Put())) || !desktop) return nullptr;
  com::ComPtr<IEnumIDList> items;
  if (desktop->EnumObjects(owner, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items.Put()) != S_OK || !items)
    return nullptr;
  const std::string wanted = "::" + ClsidText(kClsidVaporizerFolder);
  for (;;) {
    LPITEMIDLIST item = nullptr;
    ULONG fetched = 0;
    if (items->Next(1, &item, &fetched) != S_OK || !item) return nullptr;
    // Known by its class, not by its name: a file or shortcut the user
    // called "Vaporizer" is not the folder. A namespace folder's parsing
    // name is "::" and its class id.
    STRRET name{};
    if (SUCCEEDED(desktop->GetDisplayNameOf(item, SHGDN_FORPARSING, &name)) && UpperName(name) == wanted)
      return item;
    CoTaskMemFree(item);
  }
}

void RefreshShellWindows(int iconIndex) {
  if (HWND desktop = FindWindowA(nullptr, "Program Manager")) SendRefresh(desktop);
  EnumWindows(RefreshExplorerWindow, 0);
  if (iconIndex != 0) {
    DWORD index = static_cast<DWORD>(iconIndex);
    SHChangeNotify(SHCNE_UPDATEIMAGE, SHCNF_DWORD, &index, nullptr);
  }
}

bool UpdateIconNow() {
  LPITEMIDLIST computerRaw = nullptr;
  SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computerRaw);
  std::unique_ptr<ITEMIDLIST, PidlDeleter> computer(computerRaw);

  std::string location;
  if (ChosenIconLocation(location)) WriteUserIconLocation(location);

  if (GetFixedDrives().empty()) return false;

  SHFILEINFOA info{};
  HIMAGELIST systemList = nullptr;
  if (computer) {
    systemList = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA(reinterpret_cast<LPCSTR>(computer.get()), 0, &info, sizeof info,
                       SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_ICON | SHGFI_DISPLAYNAME));
    if (info.hIcon) DestroyIcon(info.hIcon);  // only the list's handle is wanted
  }

  std::unique_ptr<ITEMIDLIST, PidlDeleter> folder(FindFolderOnDesktop());
  if (!folder) return false;

  SHFILEINFOA folderInfo{};
  if (!SHGetFileInfoA(reinterpret_cast<LPCSTR>(folder.get()), 0, &folderInfo, sizeof folderInfo,
                      SHGFI_PIDL | SHGFI_SYSICONINDEX))
    return false;
  int index = folderInfo.iIcon;

  std::string modulePath;
  int resource = 0;
  if (!SplitIconLocation(location, modulePath, resource)) return false;
  HMODULE module = GetModuleHandleA(modulePath.c_str());
  if (!module) return false;
  HICON icon = LoadIconA(module, MAKEINTRESOURCEA(resource));
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
