// What the shell's desktop lists, one name a line; for an item named
// "Vaporizer" also the file of the module that the shell loaded to open it,
// after a tab. Used by the installer tests in both bitnesses.
//   --hide: keeps the desktop's folders of the Namespace key out of its list
//   from now until the Wine server ends (which keeps no access lists), in
//   both registry views: Wine reads no policy that hides desktop icons, but
//   checks a key's access list, so a DENY entry for Everyone on enumerating
//   the key's subkeys stands in for the policy.
#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>

namespace {

bool HideNamespace(REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\Namespace", 0,
                    READ_CONTROL | WRITE_DAC | view, &key) != ERROR_SUCCESS)
    return false;
  PACL dacl = nullptr, denied = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  EXPLICIT_ACCESSA deny{};
  deny.grfAccessPermissions = KEY_ENUMERATE_SUB_KEYS;
  deny.grfAccessMode = DENY_ACCESS;
  deny.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
  deny.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  deny.Trustee.ptstrName = const_cast<char*>("Everyone");
  bool ok = GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, &sd) ==
                ERROR_SUCCESS &&
            SetEntriesInAclA(1, &deny, dacl, &denied) == ERROR_SUCCESS &&
            SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, denied, nullptr) ==
                ERROR_SUCCESS;
  if (denied) LocalFree(denied);
  if (sd) LocalFree(sd);
  RegCloseKey(key);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--hide") == 0) {
    bool ok = HideNamespace(KEY_WOW64_64KEY);
    return HideNamespace(KEY_WOW64_32KEY) && ok ? 0 : 1;
  }
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
