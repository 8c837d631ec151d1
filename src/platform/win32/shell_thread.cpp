#include "platform/win32/shell_thread.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <memory>

namespace vz::win32 {
namespace {

struct Start {
  std::function<void()> work, holdCaller;
  HMODULE module = nullptr;
  IUnknown* process = nullptr;
  IUnknown* caller = nullptr;
};

DWORD WINAPI ThreadProc(void* parameter) {
  HMODULE module = nullptr;
  {
    std::unique_ptr<Start> start(static_cast<Start*>(parameter));
    module = start->module;
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    try {
      start->work();
      if (start->holdCaller) start->holdCaller();
    } catch (...) {
      // Nothing may unwind out of a thread.
    }
    // What the work kept goes while COM is still there.
    start->work = nullptr;
    start->holdCaller = nullptr;
    if (start->caller) start->caller->Release();
    if (start->process) start->process->Release();
    if (SUCCEEDED(com)) CoUninitialize();
  }
  // The module may unload the moment its last reference goes: nothing of
  // its code may run after that.
  FreeLibraryAndExitThread(module, 0);
  return 0;
}

}  // namespace

bool StartShellThread(std::function<void()> work, std::function<void()> holdCaller, Handle* ended) {
  static const char marker = 0;
  auto start = std::make_unique<Start>();
  start->work = std::move(work);
  start->holdCaller = std::move(holdCaller);
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&marker), &start->module))
    return false;
  if (FAILED(SHGetInstanceExplorer(&start->process))) start->process = nullptr;
  if (FAILED(SHGetThreadRef(&start->caller))) start->caller = nullptr;
  HANDLE thread = CreateThread(nullptr, 0, &ThreadProc, start.get(), 0, nullptr);
  if (!thread) {
    if (start->caller) start->caller->Release();
    if (start->process) start->process->Release();
    FreeLibrary(start->module);
    return false;
  }
  start.release();
  if (ended) {
    ended->reset(thread);
  } else {
    CloseHandle(thread);
  }
  return true;
}

}  // namespace vz::win32
