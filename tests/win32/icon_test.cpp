// The folder icon's state: the per-user icon location follows the stores,
// the desktop walk that finds the folder, and the refresh of the windows.
#include <windows.h>
#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/wide.h"
#include "settings/icon_win.h"
#include "store/store.h"
#include "support/drives.h"
#include "win32/shell_support.h"

namespace vz::test {
namespace {

const std::string kIconKey = std::string("CLSID\\") + kFolderId + "\\DefaultIcon";
const std::string kUserIconKey = std::string(kUserExplorerKey) + "\\DefaultIcon";
const std::string kUserClassKey = std::string("Software\\Classes\\CLSID\\") + kFolderId;

class IconTest : public ModuleTest {
 protected:
  void TearDown() override {
    module_->Unregister();
    ModuleTest::TearDown();
  }
  std::string UserIcon() { return RegString(HKEY_CURRENT_USER, kUserIconKey).value_or("<missing>"); }
  std::string Prepared(const char* name) { return RegString(HKEY_CLASSES_ROOT, kIconKey, name).value_or("?"); }
};

TEST_F(IconTest, UserIconLocationFollowsTheIndexFiles) {
  ASSERT_EQ(module_->Register(), S_OK);
  EnsureStores();
  module_->UpdateIcon();
  EXPECT_EQ(UserIcon(), Prepared("EMPTY"));

  // Any content counts, even a line that names nothing.
  MakeFile(DS("info.shr"), "\r\n");
  module_->UpdateIcon();
  EXPECT_EQ(UserIcon(), Prepared("FULL"));

  MakeFile(DS("info.shr"), "");
  module_->UpdateIcon();
  EXPECT_EQ(UserIcon(), Prepared("EMPTY"));
  // The machine-wide location that every user shares is never rewritten.
  EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, kIconKey).value_or(""), Prepared("EMPTY"));
}

bool UserClassKeyIn(REGSAM view, bool make) {
  HKEY h = nullptr;
  std::string key = kUserClassKey + "\\DefaultIcon";
  LONG rc = make ? RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &h,
                                   nullptr)
                 : RegOpenKeyExA(HKEY_CURRENT_USER, kUserClassKey.c_str(), 0, KEY_READ | view, &h);
  if (rc == ERROR_SUCCESS) RegCloseKey(h);
  return rc == ERROR_SUCCESS;
}

// Windows' HKEY_CLASSES_ROOT shows a user's own Software\Classes\CLSID\{id},
// once it exists, in place of the machine's key, whose name, server and
// ShellFolder rows then read as missing ("Merged View of HKEY_CLASSES_ROOT",
// learn.microsoft.com/windows/win32/sysinfo/merged-view-of-hkey-classes-root).
// Wine merges nothing, so the test looks at the user's key itself: the one
// an earlier release wrote, in either registry view, goes at registration
// and at every refresh, and none is made again.
TEST_F(IconTest, TheUsersIconStaysOutOfTheClassesWhereItWouldHideTheFolder) {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) ASSERT_TRUE(UserClassKeyIn(view, true));
  ASSERT_EQ(module_->Register(), S_OK);
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) EXPECT_FALSE(UserClassKeyIn(view, false)) << view;
  EXPECT_EQ(UserIcon(), Prepared("EMPTY"));
  ASSERT_TRUE(UserClassKeyIn(0, true));
  MakeFile(DS("info.shr"), "\r\n");
  module_->UpdateIcon();
  EXPECT_FALSE(UserClassKeyIn(0, false));
  EXPECT_EQ(UserIcon(), Prepared("FULL"));
  // The shell of 64-bit Windows reads the 64-bit view, whoever writes.
  EXPECT_EQ(RegString(HKEY_CURRENT_USER, kUserIconKey, "").value_or("?"), Prepared("FULL"));
  HKEY wide = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kUserIconKey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &wide), ERROR_SUCCESS);
  RegCloseKey(wide);
}

TEST_F(IconTest, SendingTurnsTheIconFullAndVaporizingEmpty) {
  ASSERT_EQ(module_->Register(), S_OK);
  MakeFile(D("report.doc"), "text");
  auto send = module_->Proc<BYTE(WINAPI*)(const char*, INT32, BYTE)>("ExtPreparateData");
  ASSERT_NE(send, nullptr);
  const char list[] = "D:\\report.doc\0";
  ASSERT_EQ(send(list, 1, 1), 1);
  ASSERT_FALSE(PathExists(D("report.doc")));
  EXPECT_EQ(UserIcon(), Prepared("FULL")) << "the core's refresh reaches the shell code";

  // "Vaporize all" on the folder icon empties the stores and the icon.
  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(module_->Create(Guid(kMenuId), menu), S_OK);
  std::vector<std::string> titles;
  DialogDriver driver([&](HWND dialog) {
    titles.push_back(WindowText(dialog));
    Answer(dialog, true);
  });
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof info;
  info.lpVerb = MAKEINTRESOURCEA(1);
  EXPECT_EQ(menu->InvokeCommand(&info), S_OK);
  EXPECT_TRUE(WaitForJobs());
  ExpectCautionThenWarnings(titles);
  EXPECT_FALSE(PathExists(DS("D1.doc")));
  EXPECT_EQ(UserIcon(), Prepared("EMPTY"));
}

TEST_F(IconTest, WithoutTheIconKeyNothingIsWritten) {
  EnsureStores();
  module_->UpdateIcon();
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUserIconKey));
}

TEST_F(IconTest, RegistryIsWrittenEvenWhenTheRunStopsEarly) {
  // The prepared values exist but the folder is not on the desktop.
  RegPutString(HKEY_CLASSES_ROOT, kIconKey, "EMPTY", "C:\\nowhere.dll,-101");
  RegPutString(HKEY_CLASSES_ROOT, kIconKey, "FULL", "C:\\nowhere.dll,-102");
  MakeFile(DS("info.shr"), Own("D:\\a\r\nD:\\VAPORIZE\\D1\r\n"));
  EXPECT_FALSE(win32::UpdateIconNow());
  EXPECT_EQ(UserIcon(), "C:\\nowhere.dll,-102");
}

// Windows' loader compares module names, not files ("The name is compared
// (case independently) to the names of modules currently mapped", GetModuleHandleW,
// learn.microsoft.com/windows/win32/api/libloaderapi/nf-libloaderapi-getmodulehandlew),
// so it knows no module by the 8.3 name that registration writes, which
// Wine finds by the file. A location naming the module by a name nothing
// was loaded by still gives the module's own pictures.
TEST_F(IconTest, ThePicturesComeFromTheModuleWhateverNameTheLocationGivesIt) {
  ASSERT_EQ(module_->Register(), S_OK);
  const std::string shortName = "C:\\PROGRA~1\\VAPORI~1\\VAPORI~1.DLL";
  RegPutString(HKEY_CLASSES_ROOT, kIconKey, "EMPTY", shortName + ",-101");
  EXPECT_TRUE(win32::UpdateIconNow());
  EXPECT_EQ(UserIcon(), shortName + ",-101");
  // A picture the module lacks, or a missing value, stops the run after
  // the registry write.
  RegPutString(HKEY_CLASSES_ROOT, kIconKey, "EMPTY", shortName + ",-199");
  EXPECT_FALSE(win32::UpdateIconNow());
  HKEY h = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, kIconKey.c_str(), 0, KEY_SET_VALUE, &h), ERROR_SUCCESS);
  RegDeleteValueA(h, "EMPTY");
  RegCloseKey(h);
  EXPECT_FALSE(win32::UpdateIconNow());
  EXPECT_EQ(UserIcon(), "");
}

// What a window registered for image changes is told.
struct ImageNotice {
  int count = 0;
  SHChangeDWORDAsIDList number{};
};
LRESULT CALLBACK NoticeWindow(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  auto* seen = reinterpret_cast<ImageNotice*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));

  PIDLIST_ABSOLUTE* pidls = nullptr;
  LONG event = 0;
  HANDLE lock = message == WM_APP && seen ? SHChangeNotification_Lock(reinterpret_cast<HANDLE>(wp), static_cast<DWORD>(lp), &pidls, &event) : nullptr;
  if (!lock) return DefWindowProcA(hwnd, message, wp, lp);
  if (event == SHCNE_UPDATEIMAGE && pidls[0]) {
    ++seen->count;
    std::memcpy(&seen->number, pidls[0], std::min<std::size_t>(ILGetSize(pidls[0]), sizeof seen->number));
  }
  SHChangeNotification_Unlock(lock);
  return 0;
}

// A receiver without a second list reads the changed image's index from
// the first DWORD of the first ("iImage = *(int UNALIGNED *)((BYTE *)pidl1
// + 2)", SHHandleUpdateImage, learn.microsoft.com/windows/win32/api/
// shlobj_core/nf-shlobj_core-shhandleupdateimage), which is where Windows
// puts an SHCNF_DWORD value; Wine drops SHCNF_DWORD notices, so the list is
// sent as Windows would build it.
TEST_F(IconTest, TheImageChangeNamesTheFoldersImageAndItsIcon) {
  ASSERT_EQ(module_->Register(), S_OK);
  win32::IdList folder = win32::FindFolderOnDesktop();
  ASSERT_NE(folder, nullptr);
  SHFILEINFOW info{};
  ASSERT_TRUE(SHGetFileInfoW(reinterpret_cast<LPCWSTR>(folder.get()), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_SYSICONINDEX));
  ImageNotice seen;
  HWND hwnd = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&seen));
  SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&NoticeWindow));
  SHChangeNotifyEntry all{nullptr, TRUE};
  ULONG id = SHChangeNotifyRegister(hwnd, SHCNRF_ShellLevel | SHCNRF_NewDelivery, SHCNE_UPDATEIMAGE, WM_APP, 1, &all);
  MakeFile(D("VAPORIZE\\info.shr"), "\r\n");
  EXPECT_TRUE(win32::UpdateIconNow());
  for (int i = 0; i < 20 && seen.count == 0; ++i) Pump(50);
  SHChangeNotifyDeregister(id);
  DestroyWindow(hwnd);
  ASSERT_EQ(seen.count, 1);
  EXPECT_EQ(seen.number.dwItem1, static_cast<DWORD>(info.iIcon)) << "the folder's image, not an address";
}

TEST(IconLocationTest, SplitsPathAndResourceNumber) {
  struct Case {
    const char* text;
    bool ok;
    const char* path;
    int id;
  } cases[] = {
      {"C:\\VZ\\VAPORI~1.DLL,-101", true, "C:\\VZ\\VAPORI~1.DLL", 101},
      {"C:\\VZ\\VAPORI~1.DLL,-102", true, "C:\\VZ\\VAPORI~1.DLL", 102},
      {",-110", true, "", 110},
      {"-101", false, "", 0},          // shorter than five characters
      {"", false, "", 0},
      {"C:\\a.dll,-1x1", false, "", 0},  // not a decimal number
      {"C:\\a.dll,- 01", false, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string path;
    int id = 0;
    ASSERT_EQ(win32::SplitIconLocation(c.text, path, id), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(path, c.path);
    EXPECT_EQ(id, c.id);
  }
}

class FindFolderTest : public IconTest {};

TEST_F(FindFolderTest, FindsTheRegisteredFolderOnly) {
  EXPECT_EQ(win32::FindFolderOnDesktop(), nullptr) << "not registered yet";
  ASSERT_EQ(module_->Register(), S_OK);
  win32::IdList item = win32::FindFolderOnDesktop();
  ASSERT_NE(item, nullptr);
  com::ComPtr<IShellFolder> desktop;
  ASSERT_EQ(SHGetDesktopFolder(desktop.Put()), S_OK);
  STRRET name{};
  ASSERT_EQ(desktop->GetDisplayNameOf(item.get(), SHGDN_NORMAL, &name), S_OK);
  EXPECT_EQ(win32::TakeStrRet(name, item.get()), L"Vaporizer");
  item.reset();
  ASSERT_EQ(module_->Unregister(), S_OK);
  EXPECT_EQ(win32::FindFolderOnDesktop(), nullptr);
}

TEST_F(FindFolderTest, ADesktopItemThatIsOnlyNamedVaporizerIsNotTheFolder) {
  char desktopPath[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktopPath), S_OK);
  const std::string folder = std::string(desktopPath) + "\\vApOrIzEr", file = folder + ".txt";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  MakeFile(file, "not the folder");
  win32::IdList impostor = win32::FindFolderOnDesktop();
  EXPECT_EQ(module_->CanUnloadNow(), S_OK) << "no folder on the desktop keeps the module";
  ASSERT_EQ(module_->Register(), S_OK);
  win32::IdList item = win32::FindFolderOnDesktop();
  RemoveDirectoryA(folder.c_str());
  DeleteFileA(file.c_str());
  EXPECT_EQ(impostor, nullptr);
  ASSERT_NE(item, nullptr);
  char path[MAX_PATH] = {};
  EXPECT_FALSE(SHGetPathFromIDListA(item.get(), path)) << "not a file system item: " << path;
}

// Windows of the two Explorer classes and one other, recording what they get.
struct Recorded {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Recorded>* g_log = nullptr;

LRESULT CALLBACK Recorder(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_log && (message == WM_COMMAND || message == WM_WININICHANGE)) {
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (std::string(cls) != "VzOtherWindow") g_log->push_back({message, wParam, lParam});
    else g_log->push_back({0, 0, 0});  // marks a message that should not have come
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST(RefreshTest, SendsTheThreeMessagesToEveryExplorerWindow) {
  std::vector<HWND> windows;
  for (const char* cls : {"CabinetWClass", "ExploreWClass", "VzOtherWindow"}) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Recorder;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = cls;
    RegisterClassA(&wc);
    windows.push_back(CreateWindowExA(0, cls, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr));
    ASSERT_NE(windows.back(), nullptr);
  }
  std::vector<Recorded> log;
  g_log = &log;
  win32::RefreshShellWindows();
  g_log = nullptr;
  for (HWND w : windows) DestroyWindow(w);

  // Two Explorer windows, three messages each, in order; the other window none.
  ASSERT_EQ(log.size(), 6u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(log[i * 3].message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(log[i * 3].wParam, 0xA065u);
    EXPECT_EQ(log[i * 3 + 1].message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(log[i * 3 + 1].wParam, 0xA220u);
    EXPECT_EQ(log[i * 3 + 2].message, static_cast<UINT>(WM_WININICHANGE));
    EXPECT_EQ(log[i * 3 + 2].wParam, 0u);
    EXPECT_EQ(log[i * 3 + 2].lParam, 0);
  }
}

TEST(RefreshTest, AnExplorerWindowThatTakesNoMessagesHoldsTheRefreshForSecondsAtMost) {
  HANDLE up = CreateEventA(nullptr, TRUE, FALSE, nullptr), release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread hung([&] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "CabinetWClass";
    RegisterClassA(&wc);  // or the one another test made
    HWND w = CreateWindowExA(0, "CabinetWClass", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    SetEvent(up);
    WaitForSingleObject(release, 30000);  // hung: no message is taken meanwhile
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    DestroyWindow(w);
  });
  WaitForSingleObject(up, 10000);
  std::atomic<bool> done{false};
  std::thread refresh([&] {
    win32::RefreshShellWindows();
    done = true;
  });
  for (int i = 0; i < 80 && !done; ++i) Sleep(100);
  bool inTime = done;
  SetEvent(release);
  refresh.join();
  hung.join();
  CloseHandle(up);
  CloseHandle(release);
  EXPECT_TRUE(inTime) << "the caller was held for more than eight seconds";
}

}  // namespace
}  // namespace vz::test
