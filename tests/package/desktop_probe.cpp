// What the shell's desktop lists, one name a line; for an item named
// "Vaporizer" also the file of the module that the shell loaded to open it,
// after a tab. Used by the installer tests in both bitnesses.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>

int main() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  IShellFolder* desktop = nullptr;
  IEnumIDList* items = nullptr;
  if (FAILED(SHGetDesktopFolder(&desktop)) ||
      desktop->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items) != S_OK)
    return 1;
  LPITEMIDLIST item = nullptr;
  while (items->Next(1, &item, nullptr) == S_OK) {
    STRRET name{};
    char text[MAX_PATH] = {};
    if (SUCCEEDED(desktop->GetDisplayNameOf(item, SHGDN_NORMAL, &name)) &&
        SUCCEEDED(StrRetToBufA(&name, item, text, sizeof text))) {
      std::printf("%s", text);
      IShellFolder* folder = nullptr;
      if (lstrcmpiA(text, "Vaporizer") == 0 &&
          SUCCEEDED(desktop->BindToObject(item, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)))) {
        // The module whose code the folder object's table of methods lies in.
        HMODULE loaded = nullptr;
        char module[MAX_PATH] = {}, full[MAX_PATH] = {};
        if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               *reinterpret_cast<LPCSTR*>(folder), &loaded) &&
            GetModuleFileNameA(loaded, module, MAX_PATH) && GetLongPathNameA(module, full, MAX_PATH))
          std::printf("\t%s", full);
        folder->Release();
      }
      std::printf("\n");
    }
    CoTaskMemFree(item);
  }
  items->Release();
  desktop->Release();
  return 0;
}
