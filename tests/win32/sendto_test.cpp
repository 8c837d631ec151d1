// Where the Send To shortcut goes, and turning it on and off without the
// folder on the desktop.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <utility>
#include <vector>

#include "settings/sendto_win.h"
#include "win32/shell_support.h"

namespace vz::test {
namespace {

const char* const kShellFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Keeps the user's "Shell Folders" key as it was and puts it back.
class SendToPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    HKEY h = nullptr;
    existed_ = RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_READ, &h) == ERROR_SUCCESS;
    for (DWORD i = 0; existed_; ++i) {
      char name[256];
      BYTE data[2048];
      DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
      if (RegEnumValueA(h, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
      saved_.push_back({name, std::string(reinterpret_cast<char*>(data), dataSize)});
      types_.push_back(type);
    }
    if (h) RegCloseKey(h);
  }
  void TearDown() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kShellFolders);
    RegDeleteKeyA(HKEY_CURRENT_USER, kShellFolders);
    if (existed_) {
      HKEY h = nullptr;
      RegCreateKeyA(HKEY_CURRENT_USER, kShellFolders, &h);
      for (std::size_t i = 0; i < saved_.size(); ++i)
        RegSetValueExA(h, saved_[i].first.c_str(), 0, types_[i], reinterpret_cast<const BYTE*>(saved_[i].second.data()),
                       static_cast<DWORD>(saved_[i].second.size()));
      RegCloseKey(h);
    }
    CoUninitialize();
  }
  void SetSendTo(const char* value) {
    if (value) {
      RegPutString(HKEY_CURRENT_USER, kShellFolders, "SendTo", value);
    } else {
      HKEY h = nullptr;
      RegCreateKeyA(HKEY_CURRENT_USER, kShellFolders, &h);
      RegDeleteValueA(h, "SendTo");
      RegCloseKey(h);
    }
  }
  bool existed_ = false;
  std::vector<std::pair<std::string, std::string>> saved_;
  std::vector<DWORD> types_;
};

TEST_F(SendToPathTest, FileNameFollowsTheRecordedFolder) {
  SetSendTo("C:\\Users\\me\\SendTo");
  EXPECT_EQ(win32::SendToShortcutPath(), "C:\\Users\\me\\SendTo\\Vaporizer.lnk");
  SetSendTo("C:\\Users\\me\\SendTo\\");
  EXPECT_EQ(win32::SendToShortcutPath(), "C:\\Users\\me\\SendTo\\Vaporizer.lnk") << "no second backslash";
}

TEST_F(SendToPathTest, UnreadableKeyMeansTheOldFixedFolder) {
  RegDeleteTreeA(HKEY_CURRENT_USER, kShellFolders);
  ASSERT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kShellFolders));
  EXPECT_EQ(win32::SendToShortcutPath(), "C:\\WINDOWS\\SENDTO\\Vaporizer.lnk");
}

TEST_F(SendToPathTest, MissingValueAsksTheShellRatherThanTheDriveRoot) {
  char folder[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_SENDTO, nullptr, SHGFP_TYPE_CURRENT, folder), S_OK);
  SetSendTo(nullptr);
  EXPECT_EQ(win32::SendToShortcutPath(), std::string(folder) + "\\Vaporizer.lnk");
  SetSendTo("");
  EXPECT_EQ(win32::SendToShortcutPath(), std::string(folder) + "\\Vaporizer.lnk");
}

TEST_F(SendToPathTest, WithoutTheFolderOnTheDesktopOnWritesNothingButOffStillDeletes) {
  ScrubRegistration();
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  std::string folder = std::string(temp) + "vz-sendto";
  CreateDirectoryA(folder.c_str(), nullptr);
  SetSendTo(folder.c_str());
  std::string link = folder + "\\Vaporizer.lnk";

  win32::SetSendToShortcut(true);
  EXPECT_EQ(GetFileAttributesA(link.c_str()), INVALID_FILE_ATTRIBUTES);

  HANDLE f = CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  CloseHandle(f);
  win32::SetSendToShortcut(false);
  EXPECT_EQ(GetFileAttributesA(link.c_str()), INVALID_FILE_ATTRIBUTES) << "an old shortcut is removed";
  win32::SetSendToShortcut(false);  // nothing to remove: no failure
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
}  // namespace vz::test
