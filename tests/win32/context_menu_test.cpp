// The two context-menu handlers through their COM interfaces, as the shell
// drives them: Initialize with a data object, QueryContextMenu, InvokeCommand.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "store/store.h"
#include "support/drives.h"
#include "win32/shell_support.h"

namespace vz::test {
namespace {

class ContextMenuTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    module_ = std::make_unique<Module>();
    EnsureStores();
    menu_ = CreatePopupMenu();
    AppendMenuA(menu_, MF_STRING, 1, "Open");
    AppendMenuA(menu_, MF_STRING, 2, "Properties");
  }
  void TearDown() override {
    DestroyMenu(menu_);
    module_.reset();
    CoUninitialize();
    DrivesTest::TearDown();
  }

  com::ComPtr<IDataObject> Files(const std::vector<std::string>& paths, bool offer = true) {
    return DropData(offer ? Offer::Files : Offer::Nothing, paths);
  }
  struct Item {
    UINT id;
    bool separator;
    std::string text;
  };
  Item ItemAt(int position) {
    char text[128] = {};
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text;
    EXPECT_TRUE(GetMenuItemInfoA(menu_, position, TRUE, &info));
    return {info.wID, (info.fType & MFT_SEPARATOR) != 0, text};
  }
  static HRESULT Invoke(IContextMenu* menu, const char* verb) {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.lpVerb = verb;
    info.nShow = SW_SHOWNORMAL;
    HRESULT hr = menu->InvokeCommand(&info);
    EXPECT_TRUE(WaitForJobs());  // the command's work runs off this thread
    return hr;
  }
  static const char* Verb(UINT n) { return MAKEINTRESOURCEA(n); }
  // One stored file on D:, recorded in its index.
  void StoreOneItem() {
    MakeFile(DS("D1.txt"), "secret");
    MakeFile(DS("info.shr"), Own("D:\\Work\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"));
  }

  std::unique_ptr<Module> module_;
  HMENU menu_ = nullptr;
};

using VaporizerMenuTest = ContextMenuTest;

TEST_F(VaporizerMenuTest, InitializeWantsADataObjectAndHasNoStrings) {
  com::ComPtr<IShellExtInit> init;
  ASSERT_EQ(module_->Create(Guid(kMenuId), init), S_OK);
  EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);
  EXPECT_EQ(init->Initialize(nullptr, Files({}, false).Get(), nullptr), S_OK);
  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(init.As(menu), S_OK);
  char buf[64] = {};
  EXPECT_EQ(menu->GetCommandString(1, GCS_HELPTEXTA, nullptr, buf, sizeof buf), E_NOTIMPL);
}

TEST_F(VaporizerMenuTest, AddsNothingWhileTheStoresAreEmpty) {
  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(module_->Create(Guid(kMenuId), menu), S_OK);
  EXPECT_EQ(menu->QueryContextMenu(menu_, 1, 100, 200, CMF_NORMAL), MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0));
  EXPECT_EQ(GetMenuItemCount(menu_), 2);
}

TEST_F(VaporizerMenuTest, AddsSeparatorAndItemWhereTheShellAsks) {
  StoreOneItem();
  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(module_->Create(Guid(kMenuId), menu), S_OK);
  // Nothing for a double click, which wants the default item alone
  // ("CMF_DEFAULTONLY", learn.microsoft.com/windows/win32/api/shobjidl_core/
  // nf-shobjidl_core-icontextmenu-querycontextmenu).
  EXPECT_EQ(menu->QueryContextMenu(menu_, 1, 100, 200, CMF_DEFAULTONLY), MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0));
  EXPECT_EQ(GetMenuItemCount(menu_), 2);
  EXPECT_EQ(menu->QueryContextMenu(menu_, 1, 100, 200, CMF_NORMAL), MAKE_HRESULT(SEVERITY_SUCCESS, 0, 2));
  ASSERT_EQ(GetMenuItemCount(menu_), 4);
  Item separator = ItemAt(1), command = ItemAt(2);
  EXPECT_TRUE(separator.separator);
  EXPECT_EQ(separator.id, 100u);
  EXPECT_FALSE(command.separator);
  EXPECT_EQ(command.id, 101u);
  EXPECT_EQ(command.text, "Vaporize all");
  EXPECT_EQ(ItemAt(0).text, "Open");
  EXPECT_EQ(ItemAt(3).text, "Properties");
}

TEST_F(VaporizerMenuTest, CommandOneVaporizesEveryStoreAfterTheCaution) {
  StoreOneItem();
  MakeFile(CS("orphan.bin"), "left behind");
  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(module_->Create(Guid(kMenuId), menu), S_OK);
  std::vector<std::string> titles;
  DialogDriver driver([&](HWND dialog) {
    titles.push_back(WindowText(dialog));
    Answer(dialog, true);
  });
  EXPECT_EQ(Invoke(menu.Get(), Verb(1)), S_OK);
  ExpectCautionThenWarnings(titles);
  EXPECT_FALSE(PathExists(DS("D1.txt")));
  EXPECT_FALSE(PathExists(CS("orphan.bin")));
  EXPECT_TRUE(IsStoreEmpty());
}

// A verb that is not ours fails, or the shell takes "delete" or
// "properties" for done.
TEST_F(VaporizerMenuTest, OtherCommandsAndVerbTextsFailAndDoNothing) {
  StoreOneItem();
  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(module_->Create(Guid(kMenuId), menu), S_OK);
  // A verb text whose address happens to end in 0x0001 is still text.
  std::vector<char> block(0x20000);
  auto base = reinterpret_cast<std::uintptr_t>(block.data());
  char* odd = block.data() + ((0x10001 - (base & 0xFFFF)) & 0xFFFF);
  ASSERT_EQ(reinterpret_cast<std::uintptr_t>(odd) & 0xFFFF, 1u);
  std::memcpy(odd, "delete", 7);

  DialogDriver driver([](HWND dialog) { Answer(dialog, true); });
  EXPECT_EQ(Invoke(menu.Get(), Verb(0)), E_INVALIDARG);
  EXPECT_EQ(Invoke(menu.Get(), Verb(2)), E_INVALIDARG);
  EXPECT_EQ(Invoke(menu.Get(), odd), E_FAIL);
  EXPECT_EQ(Invoke(menu.Get(), "properties"), E_FAIL);
  EXPECT_EQ(driver.Count(), 0) << "no question, nothing vaporized";
  EXPECT_TRUE(PathExists(DS("D1.txt")));
}

using ShredFileMenuTest = ContextMenuTest;

TEST_F(ShredFileMenuTest, InitializeReadsTheFileListAndLeavesOutDriveRoots) {
  com::ComPtr<IShellExtInit> init;
  ASSERT_EQ(module_->Create(Guid(kFileMenuId), init), S_OK);
  struct Case {
    const char* what;
    std::vector<std::string> paths;
    bool offer;
    HRESULT expected;
  } cases[] = {
      {"no data object", {}, true, E_INVALIDARG},
      {"no file list", {"D:\\a.txt"}, false, DV_E_FORMATETC},
      {"a drive root alone", {"C:\\"}, true, E_FAIL},
      {"drive roots only", {"C:\\", "D:\\", "E:"}, true, E_FAIL},
      {"a root and a file", {"C:\\", "D:\\a.txt"}, true, S_OK},
      {"a four-character path", {"D:\\a"}, true, S_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    com::ComPtr<IDataObject> data;
    if (std::string(c.what) != "no data object") data = Files(c.paths, c.offer);
    EXPECT_EQ(init->Initialize(nullptr, data.Get(), nullptr), c.expected);
  }
}

TEST_F(ShredFileMenuTest, AddsOneItemUnlessTheDefaultAloneIsAskedOrTheUserTurnedItOff) {
  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(module_->Create(Guid(kFileMenuId), menu), S_OK);
  EXPECT_EQ(menu->QueryContextMenu(menu_, 0, 300, 400, CMF_DEFAULTONLY), MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0));
  // The user's own setting counts, whatever the machine's handler keys say
  // (a standard user cannot remove those of a machine-wide install).
  RegPutDword(HKEY_CURRENT_USER, "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\", "InsertContext", 0);
  EXPECT_EQ(menu->QueryContextMenu(menu_, 0, 300, 400, CMF_NORMAL), MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0));
  ASSERT_EQ(GetMenuItemCount(menu_), 2);
  RegPutDword(HKEY_CURRENT_USER, "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\", "InsertContext", 1);
  EXPECT_EQ(menu->QueryContextMenu(menu_, 0, 300, 400, CMF_EXPLORE), MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1));
  ASSERT_EQ(GetMenuItemCount(menu_), 3);
  Item item = ItemAt(0);
  EXPECT_EQ(item.id, 300u);
  EXPECT_EQ(item.text, "Send to Vaporizer");
  char buf[64] = {};
  EXPECT_EQ(menu->GetCommandString(0, GCS_VERBA, nullptr, buf, sizeof buf), E_NOTIMPL);
}

TEST_F(ShredFileMenuTest, RefusesVerbsItDoesNotOwn) {
  MakeFile(D("a.txt"), "x");
  com::ComPtr<IShellExtInit> init;
  ASSERT_EQ(module_->Create(Guid(kFileMenuId), init), S_OK);
  ASSERT_EQ(init->Initialize(nullptr, Files({"D:\\a.txt"}).Get(), nullptr), S_OK);
  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(init.As(menu), S_OK);
  DialogDriver driver([](HWND dialog) { Answer(dialog, true); });
  EXPECT_EQ(Invoke(menu.Get(), "open"), E_FAIL);
  EXPECT_EQ(Invoke(menu.Get(), Verb(1)), E_INVALIDARG);
  EXPECT_EQ(driver.Count(), 0);
  EXPECT_TRUE(PathExists(D("a.txt")));
}

TEST_F(ShredFileMenuTest, SendsTheSelectionAfterYes) {
  MakeFile(D("Work\\report.doc"), "draft");
  com::ComPtr<IShellExtInit> init;
  ASSERT_EQ(module_->Create(Guid(kFileMenuId), init), S_OK);
  ASSERT_EQ(init->Initialize(nullptr, Files({"C:\\", "D:\\Work\\report.doc"}).Get(), nullptr), S_OK);
  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(init.As(menu), S_OK);
  std::string title, message;
  DialogDriver driver([&](HWND dialog) {
    title = WindowText(dialog);
    message = DialogMessage(dialog);
    Answer(dialog, true);
  });
  EXPECT_EQ(Invoke(menu.Get(), Verb(0)), S_OK);
  ASSERT_EQ(driver.Count(), 1) << "one question, about the file only";
  EXPECT_EQ(title, "Send to Vaporizer?");
  EXPECT_NE(message.find("Are you sure you want to send 'report.doc' to the Vaporizer?"), std::string::npos) << message;
  EXPECT_FALSE(PathExists(D("Work\\report.doc")));
  EXPECT_EQ(Slurp(DS("D1.doc")), "draft");
  EXPECT_EQ(Slurp(DS("info.shr")), Own("D:\\Work\\report.doc\r\nD:\\VAPORIZE\\D1.doc\r\n"));
}

TEST_F(ShredFileMenuTest, NoLeavesEverythingInPlace) {
  MakeFile(D("a.txt"), "x");
  MakeFile(D("b.txt"), "y");
  com::ComPtr<IShellExtInit> init;
  ASSERT_EQ(module_->Create(Guid(kFileMenuId), init), S_OK);
  ASSERT_EQ(init->Initialize(nullptr, Files({"D:\\a.txt", "D:\\b.txt"}).Get(), nullptr), S_OK);
  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(init.As(menu), S_OK);
  std::string title;
  DialogDriver driver([&](HWND dialog) {
    title = WindowText(dialog);
    Answer(dialog, false);
  });
  EXPECT_EQ(Invoke(menu.Get(), Verb(0)), S_OK);
  EXPECT_EQ(title, "Send multiple items to Vaporizer?");
  EXPECT_TRUE(PathExists(D("a.txt")));
  EXPECT_TRUE(PathExists(D("b.txt")));
  EXPECT_EQ(Slurp(DS("info.shr")), "");
}

TEST_F(ShredFileMenuTest, ALaterInitializeReplacesTheSelection) {
  com::ComPtr<IShellExtInit> init;
  ASSERT_EQ(module_->Create(Guid(kFileMenuId), init), S_OK);
  ASSERT_EQ(init->Initialize(nullptr, Files({"D:\\first.txt", "D:\\second.txt"}).Get(), nullptr), S_OK);
  ASSERT_EQ(init->Initialize(nullptr, Files({"D:\\third.txt"}).Get(), nullptr), S_OK);
  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(init.As(menu), S_OK);
  std::string message;
  DialogDriver driver([&](HWND dialog) {
    message = DialogMessage(dialog);
    Answer(dialog, false);
  });
  EXPECT_EQ(Invoke(menu.Get(), Verb(0)), S_OK);
  EXPECT_NE(message.find("'third.txt'"), std::string::npos) << message;
}

TEST_F(ShredFileMenuTest, PathLongerThanABufferArrivesWhole) {
  std::string name = std::string(290, 'n') + ".txt";
  com::ComPtr<IShellExtInit> init;
  ASSERT_EQ(module_->Create(Guid(kFileMenuId), init), S_OK);
  ASSERT_EQ(init->Initialize(nullptr, Files({"D:\\" + name}).Get(), nullptr), S_OK);
  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(init.As(menu), S_OK);
  std::string message;
  DialogDriver driver([&](HWND dialog) {
    message = DialogMessage(dialog);
    Answer(dialog, false);
  });
  EXPECT_EQ(Invoke(menu.Get(), Verb(0)), S_OK);
  EXPECT_NE(message.find("'" + name + "'"), std::string::npos) << message;
}

TEST_F(ShredFileMenuTest, MakesAMissingStoreAndTellsWhatItCouldNotSendInABoxOfTheCallersWindow) {
  // D: came after the folder last looked: it has no store yet.
  ASSERT_TRUE(Plat().DeleteItem(DS()));
  MakeFile(D("Work\\report.doc"), "draft");
  com::ComPtr<IShellExtInit> init;
  ASSERT_EQ(module_->Create(Guid(kFileMenuId), init), S_OK);
  ASSERT_EQ(init->Initialize(nullptr, Files({"D:\\Work\\report.doc", "D:\\Work\\gone.txt"}).Get(), nullptr), S_OK);
  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(init.As(menu), S_OK);
  HWND top = CreateWindowExA(0, "STATIC", "Explorer", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr, nullptr,
                             nullptr);
  HWND child = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 10, 10, top, nullptr, nullptr, nullptr);
  std::vector<std::string> texts;
  std::vector<HWND> owners;
  DialogDriver driver([&](HWND dialog) {
    texts.push_back(DialogMessage(dialog));
    owners.push_back(GetWindow(dialog, GW_OWNER));
    Answer(dialog, true);
  });
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof info;
  info.hwnd = child;
  info.lpVerb = Verb(0);
  EXPECT_EQ(menu->InvokeCommand(&info), S_OK);
  EXPECT_TRUE(WaitForJobs());
  DestroyWindow(top);
  EXPECT_EQ(Slurp(DS("D1.doc")), "draft") << "the store was made first";
  ASSERT_EQ(texts.size(), 2u) << "the question, then the box";
  EXPECT_EQ(texts[1], "1 item could not be sent to the Vaporizer:\n\nfailed: D:\\Work\\gone.txt: it does not exist");
  EXPECT_EQ(owners, (std::vector<HWND>{top, top}));
}

}  // namespace
}  // namespace vz::test
