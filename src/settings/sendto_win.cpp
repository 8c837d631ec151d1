#include "settings/sendto_win.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/win32/com.h"
#include "platform/win32/shell_support_win.h"
#include "platform/win32/wide.h"
#include "settings/icon_win.h"
#include "settings/registry_win.h"

namespace vz::win32 {
namespace {

constexpr const char* kShellFoldersKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kLegacySendTo = "C:\\WINDOWS\\SENDTO";

// A hidden window that stands as the owner of the desktop walk, should the
// shell want to ask something while enumerating. A system class, so no
// window procedure of this module outlives it.
class HiddenOwner {
 public:
  HiddenOwner()
      : hwnd_(CreateWindowExW(0, L"STATIC", L"Vaporizer", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr)) {}
  ~HiddenOwner() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  HiddenOwner(const HiddenOwner&) = delete;
  HiddenOwner& operator=(const HiddenOwner&) = delete;
  HWND Get() const { return hwnd_; }

 private:
  HWND hwnd_;
};

}  // namespace

std::string SendToShortcutPath() {
  std::string folder;
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, kShellFoldersKey, KEY_READ) != ERROR_SUCCESS) {
    folder = kLegacySendTo;
  } else {
    folder = key.ReadString("SendTo");
    if (folder.empty()) {
      // Without a recorded folder the name would fall to the root of
      // whatever drive is current, where turning the option off would then
      // delete somebody else's file: ask the shell instead, or write nothing.
      wchar_t buf[MAX_PATH] = {};
      if (SHGetFolderPathW(nullptr, CSIDL_SENDTO, nullptr, SHGFP_TYPE_CURRENT, buf) != S_OK || !buf[0]) return {};
      folder = Narrow(buf);
    }
  }
  if (folder.back() != '\\') folder += '\\';
  return folder + "Vaporizer.lnk";
}

void SetSendToShortcut(bool on) {
  std::string file = SendToShortcutPath();
  if (file.empty()) return;
  if (!on) {
    std::wstring wide = Widen(file);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(wide.c_str());
    return;
  }
  HiddenOwner owner;
  IdList target = FindFolderOnDesktop(owner.Get());
  if (!target) return;

  com::ComPtr<IShellLinkW> link;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid());
  if (FAILED(hr) || !link) throw ShellError(SystemMessage(static_cast<DWORD>(hr)));
  com::ComPtr<IPersistFile> persist;
  if (FAILED(link.As(persist))) return;
  link->SetDescription(Widen(kShortcutDescription).c_str());
  link->SetIDList(target.get());
  persist->Save(Widen(file).c_str(), FALSE);
}

}  // namespace vz::win32
