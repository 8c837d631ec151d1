// The module: its entry point, its class table and its exports. Each
// export is a guard around one call into the code that does the work.
#include <windows.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "common/ui.h"
#include "engine/batch.h"
#include "engine/batch_job_win.h"
#include "engine/shred_all_win.h"
#include "handlers/props_dialog_win.h"
#include "handlers/shred_file_menu_win.h"
#include "handlers/vaporizer_menu_win.h"
#include "handlers/vaporizer_prop_win.h"
#include "namespace/folder_win.h"
#include "platform/win32/com.h"
#include "platform/win32/modal.h"
#include "platform/win32/wide.h"
#include "settings/icon_win.h"
#include "settings/server_win.h"
#include "store/send.h"
#include "window/shell_ui_win.h"

namespace vz::win32 {
namespace {

// In the order registration and unregistration handle them: the factories
// were made menu, file menu, properties, folder, each put in front of the
// list, so the folder (whose registration does the namespace rows) is first.
const ServerClass kClasses[] = {
    {&kClsidVaporizerFolder, "Vaporizer", Threading::Single, &CreateVaporizerFolder, &RegisterNamespaceFolder,
     &UnregisterNamespaceFolder},
    {&kClsidVaporizerProp, "Orvel Vaporizer Properties Pages", Threading::Apartment, &CreateVaporizerProp, nullptr,
     nullptr},
    {&kClsidShredFileMenu, "Orvel Vaporizer Context Menu for Files", Threading::Apartment, &CreateShredFileMenu,
     nullptr, nullptr},
    {&kClsidVaporizerMenu, "Orvel Vaporizer Context Menu", Threading::Apartment, &CreateVaporizerMenu, nullptr,
     nullptr},
};
}  // namespace

// A send for an outside caller, run as a job: what the export answers.
template <class Send>
BYTE SendForCaller(Send send) {
  BYTE result = 0;
  RunJob(BoxOwner(), [&] {
    vz::SendResult sent = send();
    result = sent.result;
    return sent.report;
  });
  return result;
}

// The paths of a buffer of 16-bit ones, as the core speaks them.
std::vector<std::string> NarrowPaths(const wchar_t* buffer, INT32 count) {
  std::vector<std::string> paths;
  for (const auto& p : vz::SplitPathBufferWide(reinterpret_cast<const char16_t*>(buffer), count))
    paths.push_back(Narrow(std::wstring(p.begin(), p.end())));
  return paths;
}
}  // namespace vz::win32

using namespace vz::win32;
using vz::com::Guard;
using vz::com::GuardOr;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    // Only pointers are set here, under the loader lock: OLE, clipboard
    // formats and window classes wait for the thread that first needs them.
    vz::SetDefaultUi(&ShellUserInterface());
    vz::SetDirectVaporizer(&vz::VaporizeDirectItems);
    InstallUpdateIconHook();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  return Guard([&] { return GetClassObject(kClasses, std::size(kClasses), clsid, riid, ppv); });
}

STDAPI DllCanUnloadNow() { return Guard([] { return CanUnloadNow(); }); }

STDAPI DllRegisterServer() { return Guard([] { return RegisterServer(kClasses, std::size(kClasses)); }); }

STDAPI DllUnregisterServer() { return Guard([] { return UnregisterServer(kClasses, std::size(kClasses)); }); }

// The notes of the last registration or unregistration in this process,
// one line each, for the companion program to show: the length of the text
// in characters; the text with its NUL when `size` holds it.
extern "C" INT32 WINAPI RegistrationReportW(wchar_t* buffer, INT32 size) {
  return GuardOr<INT32>(0, [&] {
    std::wstring text;
    for (const std::string& line : RegistrationNotes()) text += Widen(line) + L"\n";
    const auto length = static_cast<INT32>(text.size());
    if (buffer && size > length) std::copy(text.c_str(), text.c_str() + length + 1, buffer);
    return length;
  });
}

// The exports run their work off the calling thread and wait for it while
// that thread's messages run, so that a caller with windows stays
// responsive and the batch shows its own progress with Cancel.

// (The caller's buffers stay valid throughout: its call has not returned.)

extern "C" BYTE WINAPI ExtPreparateData(const char* buffer, INT32 count, BYTE refreshIcon) {
  return GuardOr<BYTE>(0, [&] { return SendForCaller([&] { return vz::PrepareAndSend(buffer, count, refreshIcon != 0); }); });
}

extern "C" BYTE WINAPI ExtPreparateDataW(const wchar_t* buffer, INT32 count, BYTE refreshIcon) {
  return GuardOr<BYTE>(0, [&] {
    return SendForCaller([&] { return vz::PrepareAndSend(NarrowPaths(buffer, count), refreshIcon != 0); });
  });
}

extern "C" int WINAPI ShredAllItems(const vz::ShredOptions* options) {
  // 1 whatever happened: the caller learns nothing more from the result.
  GuardOr(false, [&] { return RunJob(BoxOwner(), [&] { return ShredAllForCaller(options); }).AllDone(); });
  return 1;
}

extern "C" void WINAPI UpdateIcon() { UpdateIconQuietly(); }

extern "C" INT32 WINAPI ShowVaporizerProps(TFMProps* dialog) {
  return GuardOr<INT32>(0, [&] { return ShowSettingsDialog(dialog); });
}
