#include "settings/registration_win.h"

#include <vector>

#include "platform/win32/event_log.h"
#include "platform/win32/wide.h"
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

std::vector<std::string> g_notes;

}  // namespace

void ClearRegistrationNotes() { g_notes.clear(); }
void AddRegistrationNote(const std::string& line) { g_notes.push_back(line); }
const std::vector<std::string>& RegistrationNotes() { return g_notes; }
void AddEventSource() {
  RegKey key;
  if (key.Create(HKEY_LOCAL_MACHINE, kEventSourceKey) != ERROR_SUCCESS) throw ShellError(kRegistryEntryError);
  // On 64-bit Windows the 64-bit module, registered first, stays the
  // message file: the 32-bit one beside it names itself only where no
  // registered message file is there.
  BOOL wow = FALSE;
  if (IsWow64Process(GetCurrentProcess(), &wow) && wow) {
    wchar_t existing[MAX_PATH] = {};
    DWORD size = sizeof existing;
    if (RegGetValueW(key.Get(), nullptr, L"EventMessageFile", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, existing, &size) == ERROR_SUCCESS &&
        GetFileAttributesW(existing) != INVALID_FILE_ATTRIBUTES)
      return;
  }
  const std::wstring file = Widen(ModuleFilePath());
  const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  if (RegSetValueExW(key.Get(), L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                     static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS ||
      RegSetValueExW(key.Get(), L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                     sizeof types) != ERROR_SUCCESS)
    throw ShellError(kRegistryEntryError);
}

void RemoveEventSource() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, Widen(kEventSourceKey).c_str()); }

std::string FileMenuHandlerKey(const char* root) {
  return std::string(root) + "\\ShellEx\\ContextMenuHandlers\\" + ClsidText(kClsidShredFileMenu);
}

void SetFileMenuRegistration(bool on) {
  const std::string handler = ClsidText(kClsidShredFileMenu);
  LONG kept = ERROR_SUCCESS;
  for (const char* root : {"*", "Folder"}) {
    std::string key = ClassesKey(FileMenuHandlerKey(root));
    if (!on) {
      RegDeleteKeyW(HKEY_CURRENT_USER, Widen(key).c_str());
      LONG rc = RegDeleteKeyW(HKEY_LOCAL_MACHINE, Widen(key).c_str());
      if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) kept = rc;
    } else if (!TryWriteString(HKEY_LOCAL_MACHINE, key, "", handler)) {
      // A user who may not change the machine's classes gets the item in
      // their own.
      WriteString(HKEY_CURRENT_USER, key, "", handler);
    }
  }
  if (kept != ERROR_SUCCESS)
    throw MachineWideKept(std::string(kMachineWideKeptText) + " (" + SystemMessage(static_cast<DWORD>(kept)) + ")");
}

void RegisterClassCommon(const ServerClass& c) {
  std::string key = ClassesKey("CLSID\\" + ClsidText(*c.id));
  WriteString(HKEY_LOCAL_MACHINE, key, "", c.description);
  WriteString(HKEY_LOCAL_MACHINE, key + "\\InprocServer32", "", ServerPathOf(ModuleFilePath()));
  if (c.threading != Threading::Single)
    WriteString(HKEY_LOCAL_MACHINE, key + "\\InprocServer32", "ThreadingModel", "Apartment");
}

void UnregisterClassCommon(const ServerClass& c) {
  std::string key = ClassesKey("CLSID\\" + ClsidText(*c.id));
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, Widen(key + "\\InprocServer32").c_str());
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, Widen(key).c_str());
}

void RegisterNamespaceFolder() {
  const std::string folder = ClsidText(kClsidVaporizerFolder);
  const std::string menu = ClsidText(kClsidVaporizerMenu);
  const std::string prop = ClsidText(kClsidVaporizerProp);
  const std::string classKey = ClassesKey(FolderClassKey());
  const std::string shortPath = ShortPathOf(ModuleFilePath());

  {
    RegKey approval;
    CheckApproval(approval.Create(HKEY_LOCAL_MACHINE, kApprovalKey));
    WriteApproval(approval, kClsidVaporizerFolder, "Vaporizer");
    WriteApproval(approval, kClsidVaporizerMenu, "Orvel Vaporizer Context Menu");
    WriteApproval(approval, kClsidShredFileMenu, "Orvel Vaporizer Context Menu");
    WriteApproval(approval, kClsidVaporizerProp, "Orvel Vaporizer Properties");
  }

  WriteString(HKEY_LOCAL_MACHINE, classKey + "\\InprocServer32", "", shortPath);
  WriteString(HKEY_LOCAL_MACHINE, classKey + "\\InProcServer32\\", "ThreadingModel", "Apartment");
  WriteString(HKEY_LOCAL_MACHINE, kNamespaceKeyPrefix + folder, "", "Vaporizer");
  {
    // Folder, drop target, has a property sheet: 0x20000140, low byte first.
    static const BYTE attributes[4] = {0x40, 0x01, 0x00, 0x20};
    RegKey key;
    if (key.Create(HKEY_LOCAL_MACHINE, classKey + "\\ShellFolder\\") != ERROR_SUCCESS ||
        key.SetBinary("Attributes", attributes, sizeof attributes) != ERROR_SUCCESS)
      throw ShellError(kRegistryEntryError);
  }
  WriteString(HKEY_LOCAL_MACHINE, classKey + "\\DefaultIcon", "", shortPath + ",-101");
  WriteString(HKEY_LOCAL_MACHINE, classKey + "\\DefaultIcon\\", "EMPTY", shortPath + ",-101");
  WriteString(HKEY_LOCAL_MACHINE, classKey + "\\DefaultIcon\\", "FULL", shortPath + ",-102");
  // The icon and handler keys keep the security they inherit: opening them
  // to every account would let anyone redirect every user's folder.
  WriteString(HKEY_LOCAL_MACHINE, classKey + "\\ShellEx\\ContextMenuHandlers\\" + menu, "", menu);
  WriteString(HKEY_LOCAL_MACHINE, classKey + "\\ShellEx\\PropertySheetHandlers\\" + prop, "", prop);
  WriteString(HKEY_LOCAL_MACHINE, classKey + "\\ShredNumber", "", "1");

  AddEventSource();
  SetFileMenuRegistration(true);
  SetSendToShortcut(true);
  // A desktop that hides its icons by policy, or a system without one
  // (Server Core), lists no folder: everything is registered all the same,
  // and the folder shows wherever the desktop shows it.
  if (!UpdateIconNow()) AddRegistrationNote(kNotOnDesktopWarning);
}

void UnregisterNamespaceFolder() {
  // Every step is tried, whatever an earlier one found; what stays is named.
  bool kept = false;
  LONG rc = RegDeleteKeyW(HKEY_LOCAL_MACHINE, Widen(kNamespaceKeyPrefix + ClsidText(kClsidVaporizerFolder)).c_str());
  if (rc == ERROR_FILE_NOT_FOUND) {
    AddRegistrationNote("not registered: the folder's desktop key was not there");
    kept = true;
  } else if (rc != ERROR_SUCCESS) {
    AddRegistrationNote("not removed: the folder's desktop key (" + SystemMessage(static_cast<DWORD>(rc)) + ")");
    kept = true;
  }

  try {
    SetFileMenuRegistration(false);
  } catch (const MachineWideKept& e) {
    AddRegistrationNote(std::string("not removed: ") + e.what());
    kept = true;
  }
  SetSendToShortcut(false);
  RemoveEventSource();
  // The icon location that this user's refreshes wrote, and the class key
  // an earlier release wrote it to.
  for (const std::string& key : {UserFolderIconKey(), UserFolderExplorerKey()})
    RegDeleteKeyExW(HKEY_CURRENT_USER, Widen(key).c_str(), KEY_WOW64_64KEY, 0);
  RemoveUserClassKey();

  RegKey approval;
  rc = approval.Open(HKEY_LOCAL_MACHINE, kApprovalKey, KEY_SET_VALUE);
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
    AddRegistrationNote("not removed: the shell's approvals (" + SystemMessage(static_cast<DWORD>(rc)) + ")");
    kept = true;
  }
  for (const ClassId* id : {&kClsidVaporizerFolder, &kClsidVaporizerMenu, &kClsidShredFileMenu, &kClsidVaporizerProp}) {
    if (!approval) break;
    rc = RegDeleteValueW(approval.Get(), Widen(ClsidText(*id)).c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
      AddRegistrationNote("not removed: the shell's approval of " + ClsidText(*id) + " (" +
                          SystemMessage(static_cast<DWORD>(rc)) + ")");
      kept = true;
    }
  }
  approval.Close();

  RefreshShellWindows();
  if (kept) throw ShellError("the folder's unregistration left what is named above");
}

}  // namespace vz::win32
