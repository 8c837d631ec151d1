// The module's plumbing: load and unload of Vaporizer.dll.
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace {
HINSTANCE g_instance = nullptr;
}

namespace vz::win32 {
HINSTANCE ModuleInstance() { return g_instance; }
}  // namespace vz::win32

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_instance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
