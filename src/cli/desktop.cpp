#include "cli/desktop.h"

#ifdef _WIN32
#include <windows.h>

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
  std::wstring key = win32::Widen(std::string("CLSID\\") + kClsidVaporizerFolderText + "\\InprocServer32");
  wchar_t path[MAX_PATH + 1] = {};
  LONG size = sizeof path - sizeof path[0];
  if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), path, &size) != ERROR_SUCCESS || !path[0]) return;
  HMODULE dll = LoadLibraryW(path);
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
