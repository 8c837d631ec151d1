#include "cli/desktop.h"

#ifdef _WIN32
#include <windows.h>

#include <cwchar>
#include <string>

#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "store/clsids.h"

namespace vz::cli {
namespace {
using UpdateIconFn = void(WINAPI*)();
UpdateIconFn g_updateIcon = nullptr;
void CallUpdateIcon() {
  if (g_updateIcon) g_updateIcon();
}
}  // namespace

void ConnectDesktop() {
  // The extension that Explorer uses is the registered one.
  // Its path may be as long as the system allows.
  std::wstring key = win32::Widen(std::string("CLSID\\") + kClsidVaporizerFolderText + "\\InprocServer32");
  DWORD size = 0;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
    return;
  std::wstring path(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(path.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, &path[0], &size) != ERROR_SUCCESS)
    return;
  path.resize(wcslen(path.c_str()));
  if (path.empty()) return;
  HMODULE dll = LoadLibraryW(win32::SystemPath(win32::Narrow(path)).c_str());
  if (!dll) return;
  g_updateIcon = reinterpret_cast<UpdateIconFn>(reinterpret_cast<void*>(GetProcAddress(dll, "UpdateIcon")));
  if (g_updateIcon) win32::SetUpdateIconHook(CallUpdateIcon);
}

}  // namespace vz::cli

#else

namespace vz::cli {
void ConnectDesktop() {}
}  // namespace vz::cli

#endif
