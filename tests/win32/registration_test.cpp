// Registration through the module's own exports: every row read back with
// its exact data, unregistration, and what each leaves behind.
#include <windows.h>
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "settings/registration_win.h"
#include "settings/settings.h"
#include "support/drives.h"
#include "win32/recording_browser.h"
#include "win32/shell_support.h"

namespace vz::test {
namespace {

const std::string kFolderKey = std::string("CLSID\\") + kFolderId;
const std::string kNamespaceKey =
    std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\Namespace\\") + kFolderId;
// The list the shell reads; the "WindowsNT" key of old documents approves nothing.
const std::string kApprovalKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const std::string kUserStarHandler = std::string("Software\\Classes\\*\\ShellEx\\ContextMenuHandlers\\") + kFileMenuId;
const std::string kUserFolderHandler =
    std::string("Software\\Classes\\Folder\\ShellEx\\ContextMenuHandlers\\") + kFileMenuId;

std::string ShortPath(const std::string& path) {
  char buf[MAX_PATH] = {};
  DWORD n = GetShortPathNameA(path.c_str(), buf, sizeof buf);
  return n && n < sizeof buf ? std::string(buf, n) : path;
}

// Size of a value's data in bytes; -1 when it is missing.
long RawSize(HKEY root, const std::string& key, const std::string& name) {
  DWORD size = 0;
  if (RegGetValueA(root, key.c_str(), name.empty() ? nullptr : name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, nullptr,
                   nullptr, &size) != ERROR_SUCCESS)
    return -1;
  return static_cast<long>(size);
}

// The item the desktop lists under the name "Vaporizer", found without the
// code under test.
LPITEMIDLIST DesktopItemNamed(const char* wanted) {
  com::ComPtr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.Put()))) return nullptr;
  com::ComPtr<IEnumIDList> items;
  if (desktop->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items.Put()) != S_OK) return nullptr;
  LPITEMIDLIST item = nullptr;
  while (items->Next(1, &item, nullptr) == S_OK) {
    STRRET name{};
    char text[MAX_PATH] = {};
    if (SUCCEEDED(desktop->GetDisplayNameOf(item, SHGDN_NORMAL, &name)) &&
        SUCCEEDED(StrRetToBufA(&name, item, text, sizeof text)) && lstrcmpiA(text, wanted) == 0)
      return item;
    CoTaskMemFree(item);
  }
  return nullptr;
}

BOOL CALLBACK KeepPage(HPROPSHEETPAGE page, LPARAM kept) {
  reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(kept)->push_back(page);
  return TRUE;
}

class RegistrationTest : public ModuleTest {
 protected:
  void TearDown() override {
    module_->Unregister();
    ModuleTest::TearDown();
  }
};

struct Row {
  HKEY root;
  std::string key, name, data;
};

TEST_F(RegistrationTest, WritesEveryRowWithItsExactData) {
  ASSERT_EQ(module_->Register(), S_OK);
  const std::string path = module_->Path();
  const std::string shortPath = ShortPath(path);
  const std::string server = path.find(' ') == std::string::npos ? path : shortPath;
  const std::string f = kFolderKey;
  const Row rows[] = {
      {HKEY_CLASSES_ROOT, f, "", "Vaporizer"},
      // The folder's own server path is rewritten in its short form.
      {HKEY_CLASSES_ROOT, f + "\\InprocServer32", "", shortPath},
      {HKEY_CLASSES_ROOT, f + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {HKEY_LOCAL_MACHINE, kApprovalKey, kFolderId, "Vaporizer"},
      {HKEY_LOCAL_MACHINE, kApprovalKey, kMenuId, "Orvel Vaporizer Context Menu"},
      {HKEY_LOCAL_MACHINE, kApprovalKey, kFileMenuId, "Orvel Vaporizer Context Menu"},
      {HKEY_LOCAL_MACHINE, kApprovalKey, kPropId, "Orvel Vaporizer Properties"},
      {HKEY_LOCAL_MACHINE, kNamespaceKey, "", "Vaporizer"},
      {HKEY_CLASSES_ROOT, f + "\\DefaultIcon", "", shortPath + ",-101"},
      {HKEY_CLASSES_ROOT, f + "\\DefaultIcon", "EMPTY", shortPath + ",-101"},
      {HKEY_CLASSES_ROOT, f + "\\DefaultIcon", "FULL", shortPath + ",-102"},
      {HKEY_CLASSES_ROOT, f + "\\ShellEx\\ContextMenuHandlers\\" + kMenuId, "", kMenuId},
      {HKEY_CLASSES_ROOT, f + "\\ShellEx\\PropertySheetHandlers\\" + kPropId, "", kPropId},
      {HKEY_CLASSES_ROOT, f + "\\ShredNumber", "", "1"},
      {HKEY_CLASSES_ROOT, std::string("*\\ShellEx\\ContextMenuHandlers\\") + kFileMenuId, "", kFileMenuId},
      {HKEY_CLASSES_ROOT, std::string("Folder\\ShellEx\\ContextMenuHandlers\\") + kFileMenuId, "", kFileMenuId},
      {HKEY_CLASSES_ROOT, std::string("CLSID\\") + kPropId, "", "Orvel Vaporizer Properties Pages"},
      {HKEY_CLASSES_ROOT, std::string("CLSID\\") + kPropId + "\\InprocServer32", "", server},
      {HKEY_CLASSES_ROOT, std::string("CLSID\\") + kPropId + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {HKEY_CLASSES_ROOT, std::string("CLSID\\") + kFileMenuId, "", "Orvel Vaporizer Context Menu for Files"},
      {HKEY_CLASSES_ROOT, std::string("CLSID\\") + kFileMenuId + "\\InprocServer32", "", server},
      {HKEY_CLASSES_ROOT, std::string("CLSID\\") + kFileMenuId + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {HKEY_CLASSES_ROOT, std::string("CLSID\\") + kMenuId, "", "Orvel Vaporizer Context Menu"},
      {HKEY_CLASSES_ROOT, std::string("CLSID\\") + kMenuId + "\\InprocServer32", "", server},
      {HKEY_CLASSES_ROOT, std::string("CLSID\\") + kMenuId + "\\InprocServer32", "ThreadingModel", "Apartment"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.key + " [" + r.name + "]");
    EXPECT_EQ(RegString(r.root, r.key, r.name).value_or("<missing>"), r.data);
    EXPECT_EQ(RawSize(r.root, r.key, r.name), static_cast<long>(r.data.size() + 1)) << "stored with its NUL";
  }
  auto attributes = RegBinary(HKEY_CLASSES_ROOT, f + "\\ShellFolder", "Attributes");
  ASSERT_TRUE(attributes.has_value());
  EXPECT_EQ(*attributes, (std::vector<BYTE>{0x40, 0x01, 0x00, 0x20}));
  // Nothing but the rows: the folder's class has no threading model of its
  // own from the common registration, and no class has a ProgID.
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, f + "\\ProgID"));
  // The refresh at the end wrote this user's icon location: empty stores.
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, std::string(kUserExplorerKey) + "\\DefaultIcon").value_or(""), shortPath + ",-101");
}

TEST_F(RegistrationTest, SendToShortcutPointsAtTheFolderOnTheDesktop) {
  ASSERT_EQ(module_->Register(), S_OK);
  std::string file = SendToFolder() + "\\Vaporizer.lnk";
  ASSERT_NE(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES) << file;

  com::ComPtr<IShellLinkA> link;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.PutVoid()), S_OK);
  com::ComPtr<IPersistFile> persist;
  ASSERT_EQ(link.As(persist), S_OK);
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
  ASSERT_EQ(persist->Load(wide, STGM_READ), S_OK);
  char description[MAX_PATH] = {};
  link->GetDescription(description, sizeof description);
  EXPECT_STREQ(description, "Orvel Technologies File Vaporizer");

  LPITEMIDLIST target = nullptr;
  ASSERT_EQ(link->GetIDList(&target), S_OK);
  LPITEMIDLIST folder = DesktopItemNamed("Vaporizer");
  ASSERT_NE(folder, nullptr);
  EXPECT_TRUE(ILIsEqual(target, folder)) << "the target is the folder's item, not a file";
  CoTaskMemFree(target);
  CoTaskMemFree(folder);
}

TEST_F(RegistrationTest, UnregistrationRemovesItsRowsAndLeavesTheRest) {
  ASSERT_EQ(module_->Register(), S_OK);
  // The handler a standard user turned on in their own classes goes too.
  RegPutString(HKEY_CURRENT_USER, kUserStarHandler, "", kFileMenuId);
  RegPutString(HKEY_CURRENT_USER, kUserFolderHandler, "", kFileMenuId);
  ASSERT_EQ(module_->Unregister(), S_OK);
  const std::string f = kFolderKey;
  struct Gone {
    HKEY root;
    std::string key;
  };
  for (const Gone& g : {Gone{HKEY_LOCAL_MACHINE, kNamespaceKey}, Gone{HKEY_CLASSES_ROOT, f + "\\InprocServer32"},
                        Gone{HKEY_CLASSES_ROOT, std::string("CLSID\\") + kPropId},
                        Gone{HKEY_CLASSES_ROOT, std::string("CLSID\\") + kFileMenuId},
                        Gone{HKEY_CLASSES_ROOT, std::string("CLSID\\") + kMenuId},
                        Gone{HKEY_CLASSES_ROOT, std::string("*\\ShellEx\\ContextMenuHandlers\\") + kFileMenuId},
                        Gone{HKEY_CLASSES_ROOT, std::string("Folder\\ShellEx\\ContextMenuHandlers\\") + kFileMenuId},
                        Gone{HKEY_CURRENT_USER, kUserExplorerKey}, Gone{HKEY_CURRENT_USER, "Software\\Classes\\" + f},
                        Gone{HKEY_CURRENT_USER, kUserStarHandler}, Gone{HKEY_CURRENT_USER, kUserFolderHandler}}) {
    EXPECT_FALSE(RegKeyExists(g.root, g.key)) << g.key;
  }
  for (const char* id : {kFolderId, kMenuId, kFileMenuId, kPropId})
    EXPECT_FALSE(RegString(HKEY_LOCAL_MACHINE, kApprovalKey, id).has_value()) << id;
  EXPECT_EQ(GetFileAttributesA((SendToFolder() + "\\Vaporizer.lnk").c_str()), INVALID_FILE_ATTRIBUTES);
  // The parents of the handler keys stay, and so does the folder's class key
  // with its subkeys: a key with subkeys is not deleted by the platform.
  EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "*\\ShellEx\\ContextMenuHandlers"));
  EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "Folder\\ShellEx\\ContextMenuHandlers"));
  EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, f + "\\DefaultIcon"));
}

DWORD RunProgram(std::string command);

// The notes the module gives of its last run, one line each.
std::string Notes(const Module& module) {
  auto report = module.Proc<INT32(WINAPI*)(wchar_t*, INT32)>("RegistrationReportW");
  if (!report) return "<no RegistrationReportW>";
  wchar_t text[4096] = {};
  INT32 n = report(text, 4096);
  return n < 4096 ? win32::Narrow(std::wstring(text, static_cast<std::size_t>(n))) : "<too long>";
}

// Unregistration tries every step: a second one says that nothing was
// registered, fails, and still removes what an earlier run left.
TEST_F(RegistrationTest, SecondUnregistrationSaysSoAndStillTakesEveryStep) {
  ASSERT_EQ(module_->Register(), S_OK);
  ASSERT_EQ(module_->Unregister(), S_OK);
  EXPECT_EQ(Notes(*module_), "");
  const std::string handler = std::string("*\\ShellEx\\ContextMenuHandlers\\") + kFileMenuId;
  RegPutString(HKEY_CLASSES_ROOT, handler, "", kFileMenuId);
  RegPutString(HKEY_LOCAL_MACHINE, kApprovalKey, kFolderId, "Vaporizer");
  RegPutString(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kMenuId, "", "Orvel Vaporizer Context Menu");

  EXPECT_EQ(module_->Unregister(), E_FAIL);
  EXPECT_EQ(Notes(*module_), "not registered: the folder's desktop key was not there\n");
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, handler));
  EXPECT_FALSE(RegString(HKEY_LOCAL_MACHINE, kApprovalKey, kFolderId).has_value());
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kMenuId)) << "later classes are handled too";
}

// The desktop's list kept from the folder: Windows hides it by the desktop
// icons' policy ("HideDesktopIcons\NewStartPanel", a value of 1 under the
// class id); Wine reads no such policy but does check a key's access list,
// so the Namespace key is also closed to enumeration (a DENY entry for
// Everyone, "How DACLs Control Access to an Object",
// learn.microsoft.com/windows/win32/secauthz/how-dacls-control-access-to-an-object).
class HiddenDesktop {
 public:
  HiddenDesktop() {
    RegPutDword(HKEY_CURRENT_USER, kHideKey, kFolderId, 1);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kNamespaceParent, 0, READ_CONTROL | WRITE_DAC, &key_) != ERROR_SUCCESS) return;
    PACL dacl = nullptr, denied = nullptr;
    GetSecurityInfo(key_, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, &saved_);
    EXPLICIT_ACCESSA deny{};
    deny.grfAccessPermissions = KEY_ENUMERATE_SUB_KEYS;
    deny.grfAccessMode = DENY_ACCESS;
    deny.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    deny.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    deny.Trustee.ptstrName = const_cast<char*>("Everyone");
    if (SetEntriesInAclA(1, &deny, dacl, &denied) == ERROR_SUCCESS) {
      SetSecurityInfo(key_, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, denied, nullptr);
      LocalFree(denied);
    }
  }
  ~HiddenDesktop() {
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (saved_ && GetSecurityDescriptorDacl(saved_, &present, &dacl, &defaulted))
      SetSecurityInfo(key_, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr);
    if (saved_) LocalFree(saved_);
    if (key_) RegCloseKey(key_);
    RegDeleteKeyA(HKEY_CURRENT_USER, kHideKey);
  }
  HiddenDesktop(const HiddenDesktop&) = delete;
  HiddenDesktop& operator=(const HiddenDesktop&) = delete;

 private:
  static constexpr const char* kHideKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\HideDesktopIcons\\NewStartPanel";
  static constexpr const char* kNamespaceParent = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\Namespace";
  HKEY key_ = nullptr;
  PSECURITY_DESCRIPTOR saved_ = nullptr;
};

TEST_F(RegistrationTest, AFolderTheDesktopDoesNotListIsAWarningNotAFailure) {
  {
    HiddenDesktop hidden;
    ASSERT_EQ(module_->Register(), S_OK);
    EXPECT_EQ(DesktopItemNamed("Vaporizer"), nullptr) << "the desktop must not list the folder here";
    EXPECT_EQ(Notes(*module_), std::string(win32::kNotOnDesktopWarning) + "\n");
    // Every row is written: the handler classes after the folder too.
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kNamespaceKey).value_or(""), "Vaporizer");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kApprovalKey, kPropId).value_or(""), "Orvel Vaporizer Properties");
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kMenuId + "\\InprocServer32"));
    ASSERT_EQ(module_->Unregister(), S_OK);
    EXPECT_EQ(Notes(*module_), "");
  }
  // Shown again, the folder is listed at the next registration, without a word.
  ASSERT_EQ(module_->Register(), S_OK);
  EXPECT_EQ(Notes(*module_), "");
  LPITEMIDLIST listed = DesktopItemNamed("Vaporizer");
  EXPECT_NE(listed, nullptr);
  CoTaskMemFree(listed);
}

// The program's unregistration also takes the approvals that earlier
// releases wrote under the "WindowsNT" spelling, and that key once empty.
TEST_F(RegistrationTest, TheProgramRemovesTheApprovalsUnderBothSpellings) {
  const std::string oldKey = "SOFTWARE\\Microsoft\\WindowsNT\\CurrentVersion\\Shell Extensions\\Approved";
  const char* other = "{00000000-0000-0000-0000-0000000000AA}";
  ASSERT_EQ(module_->Register(), S_OK);
  for (const char* id : {kFolderId, kMenuId, kFileMenuId, kPropId}) RegPutString(HKEY_LOCAL_MACHINE, oldKey, id, "x");
  RegPutString(HKEY_LOCAL_MACHINE, kApprovalKey, other, "another program's");
  std::string exe = module_->Path();
  exe = exe.substr(0, exe.rfind('\\') + 1) + "vaporizer.exe";
  ASSERT_NE(GetFileAttributesA(exe.c_str()), INVALID_FILE_ATTRIBUTES) << exe;
  EXPECT_EQ(RunProgram("\"" + exe + "\" unregister \"" + module_->Path() + "\""), 0u);
  for (const char* id : {kFolderId, kMenuId, kFileMenuId, kPropId})
    EXPECT_FALSE(RegString(HKEY_LOCAL_MACHINE, kApprovalKey, id).has_value()) << id;
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\WindowsNT")) << "emptied, the old key goes";
  EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kApprovalKey, other).value_or(""), "another program's");
  HKEY h = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApprovalKey.c_str(), 0, KEY_SET_VALUE, &h) == ERROR_SUCCESS)
    RegDeleteValueA(h, other), RegCloseKey(h);
}

TEST_F(RegistrationTest, SettingsSurviveRegistrationAndUnregistration) {
  RegPutDword(HKEY_CURRENT_USER, "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\", "InsertContext", 0);
  RegPutDword(HKEY_CURRENT_USER, "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\", "ShredCount", 7);
  ASSERT_EQ(module_->Register(), S_OK);
  // Registration turns the handler on whatever the setting says...
  EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, std::string("*\\ShellEx\\ContextMenuHandlers\\") + kFileMenuId));
  ASSERT_EQ(module_->Unregister(), S_OK);
  // ...and neither run touches the settings.
  EXPECT_EQ(RegDword(HKEY_CURRENT_USER, "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\", "InsertContext"), 0u);
  EXPECT_EQ(RegDword(HKEY_CURRENT_USER, "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\", "ShredCount"), 7u);
}

// The installer keeps its choices in the machine's settings key (64-bit
// view): each user's defaults until the user writes a value of their own.
TEST_F(RegistrationTest, TheInstallersChoicesAreDefaultsUntilTheUserChooses) {
  const char* key = "SOFTWARE\\Orvel\\Gearloft\\Vaporizer";
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  const DWORD off = 0;
  for (const char* name : {"InsertContext", "InsertSendTo"})
    RegSetValueExA(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof off);
  RegCloseKey(h);
  const SettingsView installed = PeekSettings();
  RegPutDword(HKEY_CURRENT_USER, "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\", "InsertSendTo", 1);
  const SettingsView chosen = PeekSettings();
  for (const char* made : {key, "SOFTWARE\\Orvel\\Gearloft", "SOFTWARE\\Orvel"})
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, made, KEY_WOW64_64KEY, 0);
  EXPECT_FALSE(installed.values.insertContextMenu);
  EXPECT_FALSE(installed.values.insertSendTo);
  EXPECT_FALSE(chosen.values.insertContextMenu);
  EXPECT_TRUE(chosen.values.insertSendTo);
}

// Windows asks now and then; the answer comes from the object and lock
// counts alone, never from the desktop, which may lie on a slow share.
TEST_F(RegistrationTest, CanUnloadWhenNoObjectLivesWhereverTheFolderIs) {
  ASSERT_EQ(module_->Register(), S_OK);
  EXPECT_EQ(module_->CanUnloadNow(), S_OK) << "the folder on the desktop holds nothing of the module";
  ASSERT_EQ(module_->Unregister(), S_OK);

  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(module_->Create(Guid(kMenuId), menu), S_OK);
  EXPECT_EQ(module_->CanUnloadNow(), S_FALSE) << "a live object keeps its code loaded";
  menu.Reset();
  EXPECT_EQ(module_->CanUnloadNow(), S_OK);

  com::ComPtr<IClassFactory> factory;
  ASSERT_EQ(module_->GetClassObject(Guid(kPropId), IID_IClassFactory, factory.PutVoid()), S_OK);
  factory->LockServer(TRUE);
  factory.Reset();
  EXPECT_EQ(module_->CanUnloadNow(), S_FALSE) << "a lock keeps it loaded with no object alive";
  ASSERT_EQ(module_->GetClassObject(Guid(kPropId), IID_IClassFactory, factory.PutVoid()), S_OK);
  factory->LockServer(FALSE);
  factory.Reset();
  EXPECT_EQ(module_->CanUnloadNow(), S_OK);

  // The settings pages in an open sheet keep the code behind them, each of them.
  com::ComPtr<IShellPropSheetExt> prop;
  ASSERT_EQ(module_->Create(Guid(kPropId), prop), S_OK);
  std::vector<HPROPSHEETPAGE> pages;
  ASSERT_EQ(prop->AddPages(KeepPage, reinterpret_cast<LPARAM>(&pages)), S_OK);
  prop.Reset();
  ASSERT_EQ(pages.size(), 2u);
  for (HPROPSHEETPAGE page : pages) {
    EXPECT_EQ(module_->CanUnloadNow(), S_FALSE) << "a page is in a sheet";
    DestroyPropertySheetPage(page);
  }
  EXPECT_EQ(module_->CanUnloadNow(), S_OK);

  // A frame that destroys the view's window before telling the view leaves
  // no drop target registered, and so nothing of the module alive.
  com::ComPtr<IShellFolder> folder;
  com::ComPtr<IShellBrowser> browser;
  com::ComPtr<IShellView> view;
  ASSERT_EQ(module_->Create(Guid(kFolderId), folder), S_OK);
  ASSERT_EQ(RecordingBrowser::CreateInstance(IID_IShellBrowser, browser.PutVoid(), RecordingBrowser::Options{}), S_OK);
  ASSERT_EQ(folder->CreateViewObject(nullptr, IID_IShellView, view.PutVoid()), S_OK);
  FOLDERSETTINGS fs{FVM_LIST, 0};
  RECT rect{0, 0, 300, 200};
  HWND window = nullptr;
  ASSERT_EQ(view->CreateViewWindow(nullptr, &fs, browser.Get(), &rect, &window), S_OK);
  DestroyWindow(static_cast<RecordingBrowser*>(browser.Get())->Frame());
  EXPECT_FALSE(IsWindow(window));
  view->DestroyViewWindow();
  view.Reset();
  folder.Reset();
  browser.Reset();
  EXPECT_EQ(module_->CanUnloadNow(), S_OK);
}

// The DACL of a key, as its security descriptor holds it.
struct Dacl {
  bool present = false;
  bool null = false;
  std::vector<std::pair<std::string, ACCESS_MASK>> allowed;  // SID text, mask
};

Dacl ReadDacl(const std::string& key) {
  Dacl d;
  HKEY h = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, READ_CONTROL, &h) != ERROR_SUCCESS) return d;
  DWORD size = 0;
  RegGetKeySecurity(h, DACL_SECURITY_INFORMATION, nullptr, &size);
  std::vector<BYTE> buf(size ? size : 1);
  if (RegGetKeySecurity(h, DACL_SECURITY_INFORMATION, buf.data(), &size) == ERROR_SUCCESS) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    GetSecurityDescriptorDacl(buf.data(), &present, &acl, &defaulted);
    d.present = present;
    d.null = present && !acl;
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
      void* ace = nullptr;
      if (!GetAce(acl, i, &ace)) continue;
      auto* header = static_cast<ACE_HEADER*>(ace);
      if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
      auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
      char* sid = nullptr;
      ConvertSidToStringSidA(&allowed->SidStart, &sid);
      d.allowed.emplace_back(sid ? sid : "?", allowed->Mask);
      if (sid) LocalFree(sid);
    }
  }
  RegCloseKey(h);
  return d;
}

TEST_F(RegistrationTest, SharedKeysGrantNobodyMoreThanTheirParent) {
  ASSERT_EQ(module_->Register(), S_OK);
  Dacl parent = ReadDacl(kFolderKey);
  for (const std::string& key : {kFolderKey + "\\DefaultIcon", kFolderKey + "\\ShellEx\\ContextMenuHandlers",
                                 kFolderKey + "\\ShellEx\\PropertySheetHandlers"}) {
    SCOPED_TRACE(key);
    Dacl d = ReadDacl(key);
    EXPECT_FALSE(d.null) << "a null DACL lets every account rewrite the key";
    EXPECT_EQ(d.present, parent.present);
    for (const auto& grant : d.allowed) {
      bool covered = false;
      for (const auto& p : parent.allowed) covered |= p.first == grant.first && (grant.second & ~p.second) == 0;
      EXPECT_TRUE(covered) << grant.first << " gets 0x" << std::hex << grant.second;
    }
  }
}

TEST_F(RegistrationTest, FailedWriteEndsRegistrationBeforeTheHandlerClasses) {
  // A volatile class key cannot hold the lasting InprocServer32 subkey.
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, kFolderKey.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &h, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(h);
  EXPECT_EQ(module_->Register(), E_FAIL);
  EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, kFolderKey).value_or(""), "Vaporizer") << "what was written stays";
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kNamespaceKey));
  for (const char* id : {kMenuId, kFileMenuId, kPropId})
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + id)) << id;
}

// Runs a program of the prefix and returns its exit code.
DWORD RunProgram(std::string command) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 0xFFFFFFFF;
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

TEST_F(RegistrationTest, Regsvr32RegistersAndUnregisters) {
  std::string dll = module_->Path();
  ASSERT_EQ(RunProgram("regsvr32 /s \"" + dll + "\""), 0u);
  EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kNamespaceKey).value_or(""), "Vaporizer");
  EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kMenuId + "\\InprocServer32"));
  ASSERT_EQ(RunProgram("regsvr32 /s /u \"" + dll + "\""), 0u);
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kNamespaceKey));
  EXPECT_NE(RunProgram("regsvr32 /s /u \"" + dll + "\""), 0u) << "the second unregistration fails";
}

// A module in a folder whose path holds a blank registers its short path.
TEST(RegistrationPathTest, PathWithBlankIsWrittenInShortForm) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  ScrubRegistration();
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string programFolder = std::string(exe).substr(0, std::string(exe).rfind('\\'));
  std::string folder = programFolder + "\\with blank";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string copy = folder + "\\Vaporizer.dll";
  ASSERT_TRUE(CopyFileA((programFolder + "\\Vaporizer.dll").c_str(), copy.c_str(), FALSE));
  {
    HMODULE h = LoadLibraryA(copy.c_str());
    ASSERT_NE(h, nullptr);
    auto reg = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(h, "DllRegisterServer")));
    auto unreg =
        reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(h, "DllUnregisterServer")));
    EXPECT_EQ(reg(), S_OK);
    std::string shortPath = ShortPath(copy);
    EXPECT_EQ(shortPath.find(' '), std::string::npos);
    for (const char* id : {kFolderId, kMenuId, kFileMenuId, kPropId})
      EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, std::string("CLSID\\") + id + "\\InprocServer32").value_or(""), shortPath)
          << id;
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, kFolderKey + "\\DefaultIcon", "FULL").value_or(""), shortPath + ",-102");
    unreg();
    FreeLibrary(h);
  }
  ScrubRegistration();
  DeleteFileA(copy.c_str());
  RemoveDirectoryA(folder.c_str());
  CoUninitialize();
}

}  // namespace
}  // namespace vz::test
