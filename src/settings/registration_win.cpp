#include "settings/registration_win.h"

#include "settings/icon_win.h"
#include "settings/registry_win.h"
#include "settings/sendto_win.h"

namespace vz::win32 {
namespace {

void CheckApproval(LONG rc) {
  if (rc != ERROR_SUCCESS) throw ShellError(SystemMessage(static_cast<DWORD>(rc)));
}

void WriteApproval(RegKey& key, const ClassId& id, const char* text) {
  CheckApproval(key.SetString(ClsidText(id), text));
}

}  // namespace

std::string ApprovalKey() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  bool nt = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  return nt ? "SOFTWARE\\Microsoft\\WindowsNT\\CurrentVersion\\Shell Extensions\\Approved"
            : "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
}

std::string FileMenuHandlerKey(const char* root) {
  return std::string(root) + "\\ShellEx\\ContextMenuHandlers\\" + ClsidText(kClsidShredFileMenu);
}

void SetFileMenuRegistration(bool on) {
  for (const char* root : {"*", "Folder"}) {
    if (on)
      WriteString(HKEY_CLASSES_ROOT, FileMenuHandlerKey(root), "", ClsidText(kClsidShredFileMenu));
    else
      RegDeleteKeyA(HKEY_CLASSES_ROOT, FileMenuHandlerKey(root).c_str());
  }
}

void RegisterClassCommon(const ServerClass& c) {
  std::string key = "CLSID\\" + ClsidText(*c.id);
  WriteString(HKEY_CLASSES_ROOT, key, "", c.description);
  WriteString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "", ServerPathOf(ModuleFilePath()));
  if (c.threading != Threading::Single)
    WriteString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "ThreadingModel", "Apartment");
}

void UnregisterClassCommon(const ServerClass& c) {
  std::string key = "CLSID\\" + ClsidText(*c.id);
  RegDeleteKeyA(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str());
  RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
}

void RegisterNamespaceFolder() {
  const std::string folder = ClsidText(kClsidVaporizerFolder);
  const std::string menu = ClsidText(kClsidVaporizerMenu);
  const std::string prop = ClsidText(kClsidVaporizerProp);
  const std::string classKey = FolderClassKey();
  const std::string shortPath = ShortPathOf(ModuleFilePath());

  {
    RegKey approval;
    CheckApproval(approval.Create(HKEY_LOCAL_MACHINE, ApprovalKey()));
    WriteApproval(approval, kClsidVaporizerFolder, "Vaporizer");
    WriteApproval(approval, kClsidVaporizerMenu, "Orvel Vaporizer Context Menu");
    WriteApproval(approval, kClsidShredFileMenu, "Orvel Vaporizer Context Menu");
    WriteApproval(approval, kClsidVaporizerProp, "Orvel Vaporizer Properties");
  }

  WriteString(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "", shortPath);
  WriteString(HKEY_CLASSES_ROOT, classKey + "\\InProcServer32\\", "ThreadingModel", "Apartment");
  WriteString(HKEY_LOCAL_MACHINE, kNamespaceKeyPrefix + folder, "", "Vaporizer");
  {
    // Folder, drop target, has a property sheet: 0x20000140, low byte first.
    static const BYTE attributes[4] = {0x40, 0x01, 0x00, 0x20};
    RegKey key;
    if (key.Create(HKEY_CLASSES_ROOT, classKey + "\\ShellFolder\\") != ERROR_SUCCESS ||
        key.SetBinary("Attributes", attributes, sizeof attributes) != ERROR_SUCCESS)
      throw ShellError(kRegistryEntryError);
  }
  WriteString(HKEY_CLASSES_ROOT, classKey + "\\DefaultIcon", "", shortPath + ",-101");
  WriteString(HKEY_CLASSES_ROOT, classKey + "\\DefaultIcon\\", "EMPTY", shortPath + ",-101");
  WriteString(HKEY_CLASSES_ROOT, classKey + "\\DefaultIcon\\", "FULL", shortPath + ",-102");
  // The icon and handler keys keep the security they inherit: opening them
  // to every account would let anyone redirect every user's folder.
  WriteString(HKEY_CLASSES_ROOT, classKey + "\\ShellEx\\ContextMenuHandlers\\" + menu, "", menu);
  WriteString(HKEY_CLASSES_ROOT, classKey + "\\ShellEx\\PropertySheetHandlers\\" + prop, "", prop);
  WriteString(HKEY_CLASSES_ROOT, classKey + "\\ShredNumber", "", "1");

  SetFileMenuRegistration(true);
  SetSendToShortcut(true);
  if (!UpdateIconNow()) throw ShellError("The Vaporizer folder is not on the desktop");
}

void UnregisterNamespaceFolder() {
  LONG rc = RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kNamespaceKeyPrefix + ClsidText(kClsidVaporizerFolder)).c_str());
  if (rc != ERROR_SUCCESS) throw ShellError(SystemMessage(static_cast<DWORD>(rc)));

  SetFileMenuRegistration(false);
  SetSendToShortcut(false);
  // The icon location that this user's refreshes wrote.
  RegDeleteKeyA(HKEY_CURRENT_USER, UserFolderIconKey().c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, ("Software\\Classes\\" + FolderClassKey()).c_str());

  RegKey approval;
  CheckApproval(approval.Open(HKEY_LOCAL_MACHINE, ApprovalKey(), KEY_SET_VALUE));
  for (const ClassId* id : {&kClsidVaporizerFolder, &kClsidVaporizerMenu, &kClsidShredFileMenu, &kClsidVaporizerProp})
    CheckApproval(RegDeleteValueA(approval.Get(), ClsidText(*id).c_str()));
  approval.Close();

  RefreshShellWindows(0);
}

}  // namespace vz::win32
