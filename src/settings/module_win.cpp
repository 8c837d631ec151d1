// The module's plumbing: load and unload of Vaporizer.dll.
#include <windows.h>

#include "common/ui.h"
#include "platform/win32/win32_platform.h"

namespace vz::win32 {
UserInterface& ShellUserInterface();

namespace {
HINSTANCE g_instance = nullptr;
}
HINSTANCE ModuleInstance() { return g_instance; }
}  // namespace vz::win32

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    vz::win32::g_instance = instance;
    DisableThreadLibraryCalls(instance);
    // Questions asked inside the shell go to the module's dialogs.
    vz::SetDefaultUi(&vz::win32::ShellUserInterface());
  }
  return TRUE;
}
