// Shows one of the module's screens for a few seconds, for the screenshot
// script: "page" puts the settings pages in a property sheet as the
// folder's Properties do, "dialog" opens the properties dialog; with
// "emptying-" before either, the Emptying page or tab is the one shown.
// "warnings" runs "Vaporize all" from the folder icon's menu, answers its
// caution question Yes and leaves the box that tells what it did.
//   show_settings.exe [emptying-]page|dialog|warnings seconds
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// {5B7C1E2D-8F43-4D6B-9A21-3C7E5F90D1A4}, the property-sheet handler.
const GUID kPropClass = {0x5B7C1E2D, 0x8F43, 0x4D6B, {0x9A, 0x21, 0x3C, 0x7E, 0x5F, 0x90, 0xD1, 0xA4}};

BOOL CALLBACK Collect(HPROPSHEETPAGE page, LPARAM lParam) {
  reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(lParam)->push_back(page);
  return TRUE;
}

// {5B7C1E2B-8F43-4D6B-9A21-3C7E5F90D1A4}, the folder icon's context menu.
const GUID kMenuClass = {0x5B7C1E2B, 0x8F43, 0x4D6B, {0x9A, 0x21, 0x3C, 0x7E, 0x5F, 0x90, 0xD1, 0xA4}};

// The dialog's second tab, chosen as a click on it chooses it.
void CALLBACK SecondTab(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  HWND dialog = FindWindowA("#32770", "Properties: Vaporizer");
  HWND tabs = dialog ? FindWindowExA(dialog, nullptr, WC_TABCONTROLA, nullptr) : nullptr;
  if (!tabs) return;
  TabCtrl_SetCurSel(tabs, 1);
  NMHDR change{tabs, static_cast<UINT_PTR>(GetDlgCtrlID(tabs)), static_cast<UINT>(TCN_SELCHANGE)};
  SendMessageA(dialog, WM_NOTIFY, change.idFrom, reinterpret_cast<LPARAM>(&change));
}

void CALLBACK CloseDialog(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (HWND dialog = FindWindowA("#32770", "Properties: Vaporizer")) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  if (HWND box = FindWindowA("#32770", "Vaporizer")) PostMessageA(box, WM_COMMAND, IDOK, 0);
}

// Answers the caution question Yes as soon as it is up.
LRESULT CALLBACK AnswerCaution(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND w = reinterpret_cast<HWND>(wParam);
    char title[64] = {}, cls[16] = {};
    GetWindowTextA(w, title, sizeof title);
    GetClassNameA(w, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") == 0 && std::strcmp(title, "Please use caution") == 0)
      PostMessageA(w, WM_COMMAND, IDYES, 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

int ShowWarnings(HMODULE module, UINT milliseconds) {
  auto getClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  IContextMenu* menu = nullptr;
  if (!getClassObject || FAILED(getClassObject(kMenuClass, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
    return 2;
  factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu));
  factory->Release();
  if (!menu) return 2;
  HHOOK hook = SetWindowsHookExA(WH_CBT, AnswerCaution, nullptr, GetCurrentThreadId());
  SetTimer(nullptr, 0, milliseconds, CloseDialog);
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof info;
  info.lpVerb = MAKEINTRESOURCEA(1);  // "Vaporize all"
  info.nShow = SW_SHOWNORMAL;
  HRESULT hr = menu->InvokeCommand(&info);
  // The command runs as a job and its box comes later: the program stays,
  // its messages running, until the timer has closed the box.
  DWORD end = GetTickCount() + milliseconds + 1000;
  MSG msg;
  while (GetTickCount() < end) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(20);
  }
  UnhookWindowsHookEx(hook);
  menu->Release();
  return SUCCEEDED(hr) ? 0 : 6;
}

int ShowPage(HMODULE module, UINT milliseconds, int startPage) {
  auto getClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  IShellPropSheetExt* ext = nullptr;
  if (!getClassObject || FAILED(getClassObject(kPropClass, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
    return 2;
  factory->CreateInstance(nullptr, IID_IShellPropSheetExt, reinterpret_cast<void**>(&ext));
  factory->Release();
  if (!ext) return 2;
  std::vector<HPROPSHEETPAGE> pages;
  ext->AddPages(Collect, reinterpret_cast<LPARAM>(&pages));
  ext->Release();
  if (pages.empty()) return 3;
  PROPSHEETHEADERA header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_MODELESS | PSH_PROPTITLE;
  header.pszCaption = "Vaporizer";
  header.nPages = static_cast<UINT>(pages.size());
  header.nStartPage = static_cast<UINT>(startPage);
  header.phpage = pages.data();
  HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header));
  if (!sheet) return 4;
  DWORD end = GetTickCount() + milliseconds;
  MSG msg;
  while (IsWindow(sheet) && GetTickCount() < end) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!PropSheet_IsDialogMessage(sheet, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
    Sleep(20);
  }
  DestroyWindow(sheet);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 1;
  UINT seconds = argc > 2 ? static_cast<UINT>(std::atoi(argv[2])) : 8;
  CoInitialize(nullptr);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  HMODULE module = LoadLibraryA("Vaporizer.dll");
  if (!module) return 2;
  int rc = 1;
  const bool emptying = std::strncmp(argv[1], "emptying-", 9) == 0;
  const char* mode = emptying ? argv[1] + 9 : argv[1];
  if (std::strcmp(mode, "page") == 0) {
    rc = ShowPage(module, seconds * 1000, emptying ? 1 : 0);
  } else if (std::strcmp(mode, "warnings") == 0) {
    rc = ShowWarnings(module, seconds * 1000);
  } else if (std::strcmp(mode, "dialog") == 0) {
    if (emptying) SetTimer(nullptr, 0, 500, SecondTab);
    auto show = reinterpret_cast<INT32(WINAPI*)(void*)>(
        reinterpret_cast<void*>(GetProcAddress(module, "ShowVaporizerProps")));
    SetTimer(nullptr, 0, seconds * 1000, CloseDialog);
    rc = show && show(nullptr) == IDCANCEL ? 0 : 5;
  }
  FreeLibrary(module);
  CoUninitialize();
  return rc;
}
