// The settings page in a real property sheet, driven by the messages a user
// causes: the slider, the check boxes, the Apply button.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <prsht.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/schedule.h"
#include "support/drives.h"
#include "win32/shell_support.h"

namespace vz::test {
namespace {

const std::string kSettings = "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\";
const std::string kStarHandler = std::string("*\\ShellEx\\ContextMenuHandlers\\") + kFileMenuId;
const std::string kFolderHandler = std::string("Folder\\ShellEx\\ContextMenuHandlers\\") + kFileMenuId;
constexpr int kApplyButton = 0x3021;  // the sheet's Apply

std::string ShortcutFile() { return SendToFolder() + "\\Vaporizer.lnk"; }
bool ShortcutExists() { return GetFileAttributesA(ShortcutFile().c_str()) != INVALID_FILE_ATTRIBUTES; }

BOOL CALLBACK CollectPage(HPROPSHEETPAGE page, LPARAM lParam) {
  reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(lParam)->push_back(page);
  return TRUE;
}
BOOL CALLBACK RefusePage(HPROPSHEETPAGE, LPARAM lParam) {
  ++*reinterpret_cast<int*>(lParam);
  return FALSE;
}

class SettingsPageTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
    ScrubRegistration();
    module_ = std::make_unique<Module>();
    ASSERT_EQ(module_->Register(), S_OK);  // the folder on the desktop, for the shortcut
    // Registration turns both on; the page is what should turn them on here.
    RegDeleteKeyA(HKEY_CLASSES_ROOT, kStarHandler.c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, kFolderHandler.c_str());
    DeleteFileA(ShortcutFile().c_str());
  }
  void TearDown() override {
    if (sheet_) DestroyWindow(sheet_);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Policies\\Vaporizer");
    std::string why;
    SwitchEmptyingSchedule(false, {}, &why);
    module_->Unregister();
    module_.reset();
    ScrubRegistration();
    CoUninitialize();
    DrivesTest::TearDown();
  }

  // Shows the sheet with the handler's pages, General and Emptying, as the
  // shell does.
  void Open() {
    com::ComPtr<IShellPropSheetExt> ext;
    ASSERT_EQ(module_->Create(Guid(kPropId), ext), S_OK);
    std::vector<HPROPSHEETPAGE> pages;
    ASSERT_EQ(ext->AddPages(CollectPage, reinterpret_cast<LPARAM>(&pages)), S_OK);
    ASSERT_EQ(pages.size(), 2u);
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_MODELESS;
    header.pszCaption = "Vaporizer";
    header.nPages = 2;
    header.phpage = pages.data();
    sheet_ = reinterpret_cast<HWND>(PropertySheetA(&header));
    ASSERT_NE(sheet_, nullptr);
    page_ = reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0));
    ASSERT_NE(page_, nullptr);
  }
  std::string TabText(int i) {
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETTABCONTROL, 0, 0));
    char tab[64] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = tab;
    item.cchTextMax = sizeof tab;
    SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
    return tab;
  }
  HWND Ctl(int id) { return GetDlgItem(page_, id); }
  std::string Label() { return WindowText(Ctl(1003)); }
  int Slider() { return static_cast<int>(SendMessageA(Ctl(1002), TBM_GETPOS, 0, 0)); }
  bool Checked(int id) { return SendMessageA(Ctl(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  bool ApplyEnabled() { return IsWindowEnabled(GetDlgItem(sheet_, kApplyButton)) != FALSE; }
  void Click(int id) { SendMessageA(Ctl(id), BM_CLICK, 0, 0); }
  void PressApply() {
    ASSERT_TRUE(ApplyEnabled());
    SendMessageA(GetDlgItem(sheet_, kApplyButton), BM_CLICK, 0, 0);
  }
  // The user drags the thumb to a position and lets go.
  void DragSliderTo(int position) {
    SendMessageA(Ctl(1002), TBM_SETPOS, TRUE, position);
    NMHDR released{Ctl(1002), 1002, static_cast<UINT>(NM_RELEASEDCAPTURE)};
    SendMessageA(page_, WM_NOTIFY, 1002, reinterpret_cast<LPARAM>(&released));
  }
  DWORD Stored(const char* name) { return RegDword(HKEY_CURRENT_USER, kSettings, name).value_or(0xDEAD); }

  std::unique_ptr<Module> module_;
  HWND sheet_ = nullptr;
  HWND page_ = nullptr;
};

TEST_F(SettingsPageTest, ShowsTheTemplateTextsAndLayout) {
  Open();
  EXPECT_EQ(TabText(0), "General");
  EXPECT_EQ(TabText(1), "Emptying") << "beside it";

  EXPECT_EQ(WindowText(Ctl(1000)), "Vaporizer");
  EXPECT_EQ(WindowText(Ctl(1001)), "Vaporizer Options ");
  EXPECT_EQ(WindowText(Ctl(1004)), "Show progress indicator while vaporizing");
  EXPECT_EQ(WindowText(Ctl(1050)), "Add \"Send to Vaporizer\" option to right-click context menu");
  EXPECT_EQ(WindowText(Ctl(1051)), "Add Vaporizer option under \"Send To...\" context menu");
  std::string statics = DialogMessage(page_);
  for (const char* text :
       {"Use the slider below to specify how many times Vaporizer will overwrite vaporized files with random data "
        "before truncating and deleting them. The greater the value the more secure (but slower) the process.",
        "Faster", "More secure",
        "Note: 7 or more overwrites qualifies for government and military class security."})
    EXPECT_NE(statics.find(text), std::string::npos) << text;

  // Positions in dialog units, as the template gives them: left, top, width, height.
  struct Place {
    int id;
    RECT units;
  } places[] = {{1002, {39, 78, 130, 21}}, {1003, {9, 102, 195, 8}}, {1051, {6, 182, 192, 10}}};
  for (const Place& p : places) {
    RECT expected = p.units, actual{};
    MapDialogRect(page_, &expected);  // the dialog manager maps each number alone
    GetWindowRect(Ctl(p.id), &actual);
    MapWindowPoints(nullptr, page_, reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_EQ(actual.left, expected.left) << p.id;
    EXPECT_EQ(actual.top, expected.top) << p.id;
    EXPECT_EQ(actual.right - actual.left, expected.right) << p.id;
    EXPECT_EQ(actual.bottom - actual.top, expected.bottom) << p.id;
  }
}

TEST_F(SettingsPageTest, StoredCountOutsideTheRangeShowsAtTheEndAndIsSavedThere) {
  RegPutDword(HKEY_CURRENT_USER, kSettings, "ShredCount", 25);
  Open();
  EXPECT_EQ(Slider(), 10);
  EXPECT_EQ(Label(), "The files will be overwritten for 25 time(s)");
  EXPECT_FALSE(Checked(1004)) << "defaults: progress off, both options on";
  EXPECT_TRUE(Checked(1050));
  EXPECT_TRUE(Checked(1051));
  EXPECT_FALSE(ApplyEnabled());
  Click(1004);
  PressApply();
  EXPECT_EQ(Stored("ShredCount"), 10u);
  EXPECT_EQ(Stored("ShowIndicator"), 1u);
  EXPECT_EQ(Stored("InsertContext"), 1u);
  EXPECT_EQ(Stored("InsertSendTo"), 1u);
  EXPECT_FALSE(ApplyEnabled()) << "the sheet took the apply";
}

// The receipt setting: off until ticked, and a tick enables Apply, which
// writes it as the command line's --receipts does.
TEST_F(SettingsPageTest, TheReceiptBoxKeepsItsSetting) {
  Open();
  EXPECT_EQ(WindowText(Ctl(1052)), "keep a receipt of every vaporize");
  EXPECT_FALSE(Checked(1052));
  Click(1052);
  PressApply();
  EXPECT_EQ(Stored("KeepReceipts"), 1u);
  EXPECT_EQ(Stored("TrimVolume"), 1u) << "the other two keep their values";
}

// What the machine policy sets is greyed and named as the administrator's,
// the slider starts at its lowest passes, and Apply keeps the user's own.
TEST_F(SettingsPageTest, PolicyValuesAreGreyedAndLeaveTheUsersOwn) {
  const std::string policy = "Software\\Policies\\Vaporizer";
  RegPutDword(HKEY_CURRENT_USER, policy, "KeepReceipts", 1);
  RegPutDword(HKEY_CURRENT_USER, policy, "FileMenu", 0);
  RegPutDword(HKEY_CURRENT_USER, policy, "MinimumPasses", 4);
  RegPutDword(HKEY_CURRENT_USER, kSettings, "ShredCount", 6);
  Open();
  for (int id : {1050, 1052}) EXPECT_FALSE(IsWindowEnabled(Ctl(id))) << id;
  EXPECT_EQ(WindowText(Ctl(1052)), "keep a receipt of every vaporize");
  ASSERT_TRUE(Ctl(1067));
  EXPECT_EQ(WindowText(Ctl(1067)), "Set by your administrator");
  EXPECT_TRUE(IsWindowVisible(Ctl(1067)));
  EXPECT_TRUE(IsWindowEnabled(Ctl(1004)));
  EXPECT_TRUE(Checked(1052));
  EXPECT_FALSE(Checked(1050));
  EXPECT_EQ(SendMessageA(Ctl(1002), TBM_GETRANGEMIN, 0, 0), 4);
  Click(1004);
  PressApply();
  RegDeleteKeyA(HKEY_CURRENT_USER, policy.c_str());
  EXPECT_EQ(Stored("KeepReceipts"), 0u) << "the user's own, not the policy's";
  EXPECT_EQ(Stored("InsertContext"), 1u);
  EXPECT_EQ(Stored("ShredCount"), 6u);
}

TEST_F(SettingsPageTest, SliderMovesRelabelAndEnableApply) {
  Open();
  EXPECT_EQ(Label(), "The files will be overwritten for 3 time(s)");
  EXPECT_FALSE(ApplyEnabled());
  DragSliderTo(7);
  EXPECT_EQ(Label(), "The files will be overwritten for 7 time(s)");
  EXPECT_TRUE(ApplyEnabled());
  // A key press moves it by one and reports the move.
  SendMessageA(Ctl(1002), WM_KEYDOWN, VK_RIGHT, 0);
  SendMessageA(Ctl(1002), WM_KEYUP, VK_RIGHT, 0);
  EXPECT_EQ(Slider(), 8);
  EXPECT_EQ(Label(), "The files will be overwritten for 8 time(s)");
}

TEST_F(SettingsPageTest, ApplyAfterOnlyTheSliderWritesAllFourAndBothSwitches) {
  RegPutDword(HKEY_CURRENT_USER, kSettings, "ShowIndicator", 1);
  RegPutDword(HKEY_CURRENT_USER, kSettings, "InsertContext", 0);
  RegPutDword(HKEY_CURRENT_USER, kSettings, "InsertSendTo", 0);
  RegPutString(HKEY_CLASSES_ROOT, kStarHandler, "", kFileMenuId);  // left from earlier, to be removed
  Open();
  EXPECT_TRUE(Checked(1004));
  EXPECT_FALSE(Checked(1050));
  EXPECT_FALSE(Checked(1051));
  DragSliderTo(5);
  PressApply();
  EXPECT_EQ(Stored("ShredCount"), 5u);
  EXPECT_EQ(Stored("ShowIndicator"), 1u);
  EXPECT_EQ(Stored("InsertContext"), 0u);
  EXPECT_EQ(Stored("InsertSendTo"), 0u);
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kStarHandler)) << "the off switch ran";
  EXPECT_FALSE(ShortcutExists());
}

TEST_F(SettingsPageTest, TickingTheOptionsRegistersTheHandlerAndWritesTheShortcut) {
  RegPutDword(HKEY_CURRENT_USER, kSettings, "InsertContext", 0);
  RegPutDword(HKEY_CURRENT_USER, kSettings, "InsertSendTo", 0);
  Open();
  Click(1050);
  Click(1051);
  PressApply();
  EXPECT_EQ(Stored("InsertContext"), 1u);
  EXPECT_EQ(Stored("InsertSendTo"), 1u);
  EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, kStarHandler).value_or(""), kFileMenuId);
  EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, kFolderHandler).value_or(""), kFileMenuId);
  EXPECT_TRUE(ShortcutExists());

  Click(1050);
  Click(1051);
  PressApply();
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kStarHandler));
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kFolderHandler));
  EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "Folder\\ShellEx\\ContextMenuHandlers")) << "parents stay";
  EXPECT_FALSE(ShortcutExists());
}

// A volatile key cannot hold a lasting subkey: every write of the handler
// below it fails, as the machine's classes do for a standard user.
void MakeVolatile(HKEY root, const std::string& key) {
  RegDeleteKeyA(root, key.c_str());
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(h);
}

TEST_F(SettingsPageTest, AUserWhoCannotWriteTheMachinesClassesGetsTheItemInTheirOwn) {
  const std::string parent = "Folder\\ShellEx\\ContextMenuHandlers";
  const std::string userParent = "Software\\Classes\\" + parent;
  const std::string userHandler = "Software\\Classes\\" + kFolderHandler;
  HKEY h = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, parent.c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
  DWORD subkeys = 0;
  RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(h);
  if (subkeys != 0) GTEST_SKIP() << "the prefix has other folder handlers";
  MakeVolatile(HKEY_CLASSES_ROOT, parent);

  RegPutDword(HKEY_CURRENT_USER, kSettings, "InsertContext", 0);
  RegPutDword(HKEY_CURRENT_USER, kSettings, "InsertSendTo", 0);
  Open();
  std::vector<std::string> shown;
  DialogDriver driver([&](HWND dialog) {
    shown.push_back(DialogMessage(dialog));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  Click(1050);
  Click(1051);
  PressApply();
  EXPECT_TRUE(shown.empty()) << shown.front();
  EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, kStarHandler)) << "the machine's classes where they can be written";
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, userHandler).value_or(""), kFileMenuId) << "else the user's own";
  EXPECT_TRUE(ShortcutExists()) << "the save went on to the shortcut";
  Click(1050);
  PressApply();
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kStarHandler));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, userHandler)) << "off removes both";

  // Where neither can be written the save shows why and ends there.
  MakeVolatile(HKEY_CURRENT_USER, userParent);
  Click(1050);
  Click(1051);
  PressApply();
  RegDeleteKeyA(HKEY_CURRENT_USER, userParent.c_str());
  RegDeleteKeyA(HKEY_CLASSES_ROOT, parent.c_str());
  RegCreateKeyA(HKEY_CLASSES_ROOT, parent.c_str(), &h);
  RegCloseKey(h);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("Error creating system registry entry"), std::string::npos) << shown[0];
  EXPECT_EQ(Stored("InsertContext"), 1u) << "written before the switch";
  EXPECT_EQ(Stored("InsertSendTo"), 1u) << "the save ended at the failed switch";
  EXPECT_TRUE(ShortcutExists());
}

// A standard user's RegDeleteKey on the machine's classes of a machine-wide
// install answers ERROR_ACCESS_DENIED. So does RegDeleteKey, for anyone, on
// a key that has a subkey ("The subkey to be deleted must not have
// subkeys", learn.microsoft.com/windows/win32/api/winreg/nf-winreg-regdeletekeyw),
// which stands in for it here: turning the item off says what stays, and the
// item is gone from this user's menus all the same.
TEST_F(SettingsPageTest, TurningTheItemOffWhereTheMachinesKeysStaySaysSoAndHidesItForThisUser) {
  RegPutString(HKEY_CLASSES_ROOT, kStarHandler, "", kFileMenuId);
  RegPutString(HKEY_CLASSES_ROOT, kFolderHandler, "", kFileMenuId);
  RegPutString(HKEY_CLASSES_ROOT, kStarHandler + "\\kept", "", "");
  Open();
  std::vector<std::string> shown;
  DialogDriver driver([&](HWND dialog) {
    shown.push_back(DialogMessage(dialog));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  Click(1050);
  PressApply();
  RegDeleteKeyA(HKEY_CLASSES_ROOT, (kStarHandler + "\\kept").c_str());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("stays registered for the other users of this computer"), std::string::npos) << shown[0];
  EXPECT_EQ(Stored("InsertContext"), 0u);
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kFolderHandler)) << "what could go went";
  EXPECT_TRUE(ShortcutExists()) << "the save went on to the shortcut";
  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(module_->Create(Guid(kFileMenuId), menu), S_OK);
  HMENU popup = CreatePopupMenu();
  EXPECT_EQ(menu->QueryContextMenu(popup, 0, 1, 2, CMF_NORMAL), MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0));
  DestroyMenu(popup);
}

TEST_F(SettingsPageTest, HandlerInterfaceAnswers) {
  com::ComPtr<IShellPropSheetExt> ext;
  ASSERT_EQ(module_->Create(Guid(kPropId), ext), S_OK);
  com::ComPtr<IShellExtInit> init;
  ASSERT_EQ(ext.As(init), S_OK);
  EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(ext->ReplacePage(0, CollectPage, 0), E_NOTIMPL);
  int offered = 0;
  EXPECT_EQ(ext->AddPages(RefusePage, reinterpret_cast<LPARAM>(&offered)), S_OK) << "refused pages are no failure";
  EXPECT_EQ(offered, 2);
}

// The Emptying page applies as a page of the sheet does (learn.microsoft.com:
// "PSM_CHANGED message", "PSN_APPLY notification code"): its numbers within
// their ranges (a box past the range is saved at its end, as the up-down
// control's range says: "UDM_SETRANGE32 message"), its box switching the
// scheduled emptying.
TEST_F(SettingsPageTest, EmptyingPageSavesItsRulesAndSwitchesTheSchedule) {
  StartTaskScheduler();
  RegPutDword(HKEY_CURRENT_USER, kSettings, "EmptyAfterDays", 30);
  Open();
  ASSERT_TRUE(SendMessageA(sheet_, PSM_SETCURSEL, 1, 0));
  page_ = reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0));
  EXPECT_EQ(WindowText(Ctl(1061)), "30");
  EXPECT_EQ(WindowText(Ctl(1063)), "0");
  EXPECT_FALSE(Checked(1065));
  EXPECT_FALSE(ApplyEnabled()) << "showing the values is no change";
  SetWindowTextA(Ctl(1063), "99999999");
  EXPECT_TRUE(ApplyEnabled());
  Click(1065);
  PressApply();
  EXPECT_EQ(Stored("EmptyAfterDays"), 30u);
  EXPECT_EQ(Stored("StoreLimitMB"), 16777216u);
  EXPECT_EQ(WindowText(Ctl(1063)), "16777216") << "shown as saved";
  std::string why;
  auto schedule = ReadEmptyingSchedule(&why);
  ASSERT_TRUE(schedule.has_value()) << why;
  EXPECT_TRUE(schedule->on);
  EXPECT_NE(WindowText(Ctl(1066)).find("emptying.log"), std::string::npos) << "where the runs leave their lines";
  Click(1065);
  PressApply();
  schedule = ReadEmptyingSchedule(&why);
  ASSERT_TRUE(schedule.has_value()) << why;
  EXPECT_FALSE(schedule->on);
}

}  // namespace
}  // namespace vz::test
