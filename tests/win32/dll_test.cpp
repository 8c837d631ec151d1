#include <windows.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlwapi.h>

#include <cstdlib>
#include <thread>

#include "support/child_process.h"
#include "support/drives.h"
#include "win32/shell_support.h"

namespace vz::test {
namespace {

TEST(DllTest, LoadsWithLoadLibrary) {
  HMODULE h = LoadLibraryA("Vaporizer.dll");
  ASSERT_NE(h, nullptr) << "error " << GetLastError();
  FreeLibrary(h);
}

// In a process of its own, where nothing has loaded the module yet: exits
// 0 when the thread that loaded it could still choose its apartment, 1
// when the module had made it one, 2 when the module was there already.
const bool kApartmentChild = RegisterChildRole("dll-apartment", [](const std::string&) {
  if (GetModuleHandleA("Vaporizer.dll")) std::_Exit(2);
  HRESULT chosen = E_FAIL;
  std::thread([&] {
    HMODULE h = LoadLibraryA("Vaporizer.dll");
    chosen = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(chosen)) CoUninitialize();
    if (h) FreeLibrary(h);
  }).join();
  std::_Exit(chosen == S_OK ? 0 : 1);
});

TEST(DllTest, LoadingLeavesTheLoadingThreadFreeToChooseItsApartment) {
  EXPECT_EQ(StartChild("dll-apartment", "").Wait(), 0) << "1: the module made the thread an apartment of its own";
}

// The reference a browser thread hands to the threads it starts
// (SHSetThreadRef): the job's thread lets it go last thing before it lets
// the module go, and here waits in doing so until `letGo` is set.
struct ThreadRef : IUnknown {
  LONG refs = 1;
  DWORD owner = GetCurrentThreadId();
  HANDLE letGo = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  IFACEMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    *ppv = riid == IID_IUnknown ? this : nullptr;
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  IFACEMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs); }
  IFACEMETHODIMP_(ULONG) Release() override {
    if (GetCurrentThreadId() != owner) WaitForSingleObject(letGo, 30000);
    return InterlockedDecrement(&refs);
  }
};

// In a process of its own, as Explorer does it: the folder's "Vaporize all"
// starts a job; the caller lets its objects go and frees the module once
// DllCanUnloadNow agrees (CoFreeUnusedLibraries) while the job's thread
// still holds the module, which then unloads as that thread ends
// (SHGetThreadRef, FreeLibraryAndExitThread). Exits 0 when it did; 1 when
// it stayed mapped; 3 when the process hung, as an unload does that waits
// with the loader's lock held, which only the process's end passes.
DWORD WINAPI Watchdog(void*) {
  Sleep(60000);
  TerminateProcess(GetCurrentProcess(), 3);  // needs no loader lock
  return 0;
}
template <class F>
F Export(HMODULE h, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(h, name)));
}
const bool kLastJobChild = RegisterChildRole("dll-last-job", [](const std::string&) {
  CreateThread(nullptr, 0, &Watchdog, nullptr, 0, nullptr);
  CoInitialize(nullptr);
  DialogDriver driver([](HWND dialog) { Answer(dialog, true); });
  ThreadRef browser;
  SHSetThreadRef(&browser);
  HMODULE h = LoadLibraryA("Vaporizer.dll");
  auto send = Export<BYTE(WINAPI*)(const char*, INT32, BYTE)>(h, "ExtPreparateData");
  auto getClass = Export<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(h, "DllGetClassObject");
  auto canUnload = Export<HRESULT(WINAPI*)()>(h, "DllCanUnloadNow");
  const char list[] = "D:\\report.doc\0";
  SetEvent(browser.letGo);  // the send's thread need not wait
  if (!send || !getClass || !canUnload || send(list, 1, 0) != 1) std::_Exit(4);
  ResetEvent(browser.letGo);
  {
    com::ComPtr<IClassFactory> factory;
    com::ComPtr<IContextMenu> menu;
    if (FAILED(getClass(Guid(kMenuId), IID_IClassFactory, factory.PutVoid())) ||
        FAILED(factory->CreateInstance(nullptr, IID_IContextMenu, menu.PutVoid())))
      std::_Exit(4);
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(1);
    if (menu->InvokeCommand(&info) != S_OK) std::_Exit(4);
  }
  for (int i = 0; canUnload() != S_OK; ++i) {
    if (i == 3000) std::_Exit(5);
    Pump(10);
  }
  FreeLibrary(h);
  SetEvent(browser.letGo);
  for (int i = 0;; ++i) {
    // Asked without the loader's lock, which a hung unload holds.
    MEMORY_BASIC_INFORMATION mapped{};
    if (!VirtualQuery(h, &mapped, sizeof mapped) || mapped.Type != MEM_IMAGE || mapped.AllocationBase != h) break;
    if (i == 1000) TerminateProcess(GetCurrentProcess(), 1);
    Pump(10);
  }
  std::_Exit(0);
});

class DllJobTest : public DrivesTest {};

TEST_F(DllJobTest, TheModuleUnloadsOnTheThreadOfItsLastJob) {
  MakeFile(D("report.doc"), "text");
  EXPECT_EQ(StartChild("dll-last-job", "").Wait(), 0)
      << "1: the module stayed; 3: its unload hung; 4: the job did not start; 5: the job did not end";
  EXPECT_FALSE(PathExists(D("report.doc")));
  EXPECT_EQ(Slurp(DS("info.shr")), "") << "everything was vaporized";
}

}  // namespace
}  // namespace vz::test
