// The module's plumbing: load and unload of Vaporizer.dll.
#include <windows.h>

#include "common/ui.h"
#include "dragsource/formats_win.h"
#include "platform/win32/win32_platform.h"
#include "settings/icon_win.h"

namespace vz::win32 {
UserInterface& ShellUserInterface();

namespace {
HINSTANCE g_instance = nullptr;
}
HINSTANCE ModuleInstance() { return g_instance; }
}  // namespace vz::win32

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    vz::win32::g_instance = instance;
    DisableThreadLibraryCalls(instance);
    // Questions asked inside the shell go to the module's dialogs.
    vz::SetDefaultUi(&vz::win32::ShellUserInterface());
    // OLE for drag and drop, and the private clipboard formats.
    vz::win32::StartDragSourceLibrary();
    // The portable core's icon refresh reaches the shell code.
    vz::win32::InstallUpdateIconHook();
  } else if (reason == DLL_PROCESS_DETACH && !reserved) {
    // Unloaded by FreeLibrary; at process exit OLE is torn down anyway.
    vz::win32::StopDragSourceLibrary();
  }
  return TRUE;
}
