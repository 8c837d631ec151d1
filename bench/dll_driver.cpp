// Drives Vaporizer.dll the way an outside program does: loads it, sends
// paths through the exported ExtPreparateData (or ExtPreparateDataW) and
// empties every store through the exported ShredAllItems, answering the
// caution question Yes the way a user would click it. Used by the forensic
// check under Wine.
//   dll_driver send PATH...        (exit 0 when the DLL took the list)
//   dll_driver sendw PATH...       (the same, the paths in UTF-16)
//   dll_driver shredall PASSES     (one pass or more, delete after, fill 0)
#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/batch.h"

namespace {

using ExtPreparateDataFn = unsigned char(WINAPI*)(const char*, int, unsigned char);
using ExtPreparateDataWFn = unsigned char(WINAPI*)(const wchar_t*, int, unsigned char);
using ShredAllItemsFn = int(WINAPI*)(const vz::ShredOptions*);

HWND g_box = nullptr;
int g_answered = 0;

void CALLBACK PressYes(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (!g_box || !IsWindow(g_box)) return;
  if (!IsWindowVisible(g_box)) {  // made, not yet shown
    SetTimer(nullptr, 0, 5, PressYes);
    return;
  }
  char title[256] = {};
  GetWindowTextA(g_box, title, sizeof title);
  std::printf("answered Yes to \"%s\"\n", title);
  ++g_answered;
  // A box with OK alone (warnings after the batch) is acknowledged.
  const int button = GetDlgItem(g_box, IDYES) || !GetDlgItem(g_box, IDOK) ? IDYES : IDOK;
  PostMessageA(g_box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(g_box, button)));
}

// A message box fills in its texts after it is activated, so it is
// answered from a timer that its own message loop runs.
LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
  // Taken from its creation on too: under Wine a box is at times never
  // activated, and would wait for ever.
  const bool made = code == HCBT_CREATEWND && !(reinterpret_cast<CBT_CREATEWNDA*>(lp)->lpcs->style & WS_CHILD);
  if ((code == HCBT_ACTIVATE || made) && reinterpret_cast<HWND>(wp) != g_box) {
    char cls[64] = {};
    GetClassNameA(reinterpret_cast<HWND>(wp), cls, sizeof cls);
    if (std::string(cls) == "#32770") {
      g_box = reinterpret_cast<HWND>(wp);
      SetTimer(nullptr, 0, 1, PressYes);
    }
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dll_driver send PATH... | dll_driver shredall PASSES\n");
    return 2;
  }
  HMODULE dll = LoadLibraryA("Vaporizer.dll");
  if (!dll) {
    std::fprintf(stderr, "dll_driver: Vaporizer.dll cannot be loaded (error %lu)\n", GetLastError());
    return 1;
  }
  HHOOK hook = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
  std::string command = argv[1];
  int rc = 2;
  if (command == "send") {
    auto send = reinterpret_cast<ExtPreparateDataFn>(reinterpret_cast<void*>(GetProcAddress(dll, "ExtPreparateData")));
    if (!send) {
      std::fprintf(stderr, "dll_driver: ExtPreparateData is not exported\n");
      return 1;
    }
    std::string buffer;
    for (int i = 2; i < argc; ++i) buffer += std::string(argv[i]) + '\0';
    buffer += '\0';
    unsigned char r = send(buffer.data(), argc - 2, 0);
    std::printf("ExtPreparateData returned %u\n", r);
    rc = r == 1 ? 0 : 1;
  } else if (command == "sendw") {
    auto send = reinterpret_cast<ExtPreparateDataWFn>(reinterpret_cast<void*>(GetProcAddress(dll, "ExtPreparateDataW")));
    if (!send) {
      std::fprintf(stderr, "dll_driver: ExtPreparateDataW is not exported\n");
      return 1;
    }
    // The arguments as the system has them, whatever the code page.
    int wargc = 0;
    LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
    std::wstring buffer;
    for (int i = 2; wargv && i < wargc; ++i) buffer += std::wstring(wargv[i]) + L'\0';
    buffer += L'\0';
    if (wargv) LocalFree(wargv);
    unsigned char r = send(buffer.data(), wargc - 2, 0);
    std::printf("ExtPreparateDataW returned %u\n", r);
    rc = r == 1 ? 0 : 1;
  } else if (command == "shredall" && argc == 3) {
    auto shred = reinterpret_cast<ShredAllItemsFn>(reinterpret_cast<void*>(GetProcAddress(dll, "ShredAllItems")));
    if (!shred) {
      std::fprintf(stderr, "dll_driver: ShredAllItems is not exported\n");
      return 1;
    }
    vz::ShredOptions options{static_cast<std::uint16_t>(std::atoi(argv[2])), 1, 0, 0};
    int r = shred(&options);
    std::printf("ShredAllItems returned %d after %d question(s)\n", r, g_answered);
    rc = r == 1 ? 0 : 1;
  } else {
    std::fprintf(stderr, "dll_driver: unknown command %s\n", command.c_str());
  }
  if (hook) UnhookWindowsHookEx(hook);
  FreeLibrary(dll);
  return rc;
}

#else
#include <cstdio>

int main() {
  std::fprintf(stderr, "dll_driver drives Vaporizer.dll and runs on Windows (or under Wine) only\n");
  return 2;
}
#endif
