#include <windows.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/ui.h"
#include "platform/win32/com.h"
#include "store/send_ui_win.h"
#include "store/send.h"
#include "store/send_win.h"
#include "store/store.h"
#include "support/drives.h"
#include "win32/shell_support.h"
#include "window/shell_ui_win.h"

namespace vz::test {
namespace {

class SendWinTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    EnsureStores();
  }
  void TearDown() override {
    if (dll_) FreeLibrary(dll_);
    DrivesTest::TearDown();
  }
  // The exported entry point as an outside program finds it in the module.
  using PrepareFn = BYTE(WINAPI*)(const char*, INT32, BYTE);
  PrepareFn Export() {
    if (!dll_) dll_ = LoadLibraryA("Vaporizer.dll");
    return dll_ ? reinterpret_cast<PrepareFn>(reinterpret_cast<void*>(GetProcAddress(dll_, "ExtPreparateData")))
                : nullptr;
  }
  HMODULE dll_ = nullptr;
  static com::ComPtr<IDataObject> Drop(std::vector<std::string> files, std::vector<std::wstring> map = {}) {
    return DropData(Offer::Files, std::move(files), std::move(map));
  }
};

TEST_F(SendWinTest, ConfirmSendDialogShowsTheQuestionAndAnswersYesOrNo) {
  {
    DialogAnswerer answer({IDYES});
    EXPECT_TRUE(win32::AskConfirmSend("Send to Vaporizer?", "Are you sure you want to send 'a&b.txt' to the Vaporizer?"));
    ASSERT_EQ(answer.Seen().size(), 1u);
    EXPECT_EQ(answer.Seen()[0].title, "Send to Vaporizer?");
    EXPECT_EQ(answer.Seen()[0].Text(101), "Are you sure you want to send 'a&b.txt' to the Vaporizer?");
    EXPECT_EQ(answer.Seen()[0].Text(IDYES), "&Yes");
    EXPECT_EQ(answer.Seen()[0].Text(IDNO), "&No");
  }
  {
    DialogAnswerer answer({IDNO});
    EXPECT_FALSE(win32::AskConfirmSend("t", "m"));
  }
  {
    DialogAnswerer answer({IDCANCEL});
    EXPECT_FALSE(win32::AskConfirmSend("t", "m")) << "Esc answers No";
  }
}

TEST_F(SendWinTest, DropWithANameMapRecordsTheMappedNameAfterTheRealDialog) {
  MakeFile(D("Temp\\~wrd0001.tmp"), "draft");
  ScopedUi shell(win32::ShellUserInterface());
  DialogAnswerer answer({IDYES});
  SendResult r = win32::SendDataObject(Drop({D("Temp\\~wrd0001.tmp")}, {L"Letter.doc\""}).Get(), false);
  EXPECT_EQ(r.result, 1);
  ASSERT_EQ(answer.Seen().size(), 1u);
  EXPECT_EQ(answer.Seen()[0].title, "Send to Vaporizer?");
  EXPECT_EQ(answer.Seen()[0].Text(101), "Are you sure you want to send 'Letter.doc' to the Vaporizer?");
  EXPECT_EQ(Slurp(DS("info.shr")), Own("D:\\Temp\\Letter.doc\r\nD:\\VAPORIZE\\D1.tmp\r\n"));
  EXPECT_EQ(Slurp(DS("D1.tmp")), "draft");
}

TEST_F(SendWinTest, DropAnsweredNoMovesNothingAndEmptyDropReportsNothing) {
  MakeFile(D("a.txt"), "a");
  MakeFile(D("b.txt"), "b");
  ScopedUi shell(win32::ShellUserInterface());
  {
    DialogAnswerer answer({IDNO});
    SendResult r = win32::SendDataObject(Drop({D("a.txt"), D("b.txt")}).Get(), false);
    EXPECT_EQ(r.result, 1);
    ASSERT_EQ(answer.Seen().size(), 1u);
    EXPECT_EQ(answer.Seen()[0].title, "Send multiple items to Vaporizer?");
    EXPECT_EQ(answer.Seen()[0].Text(101), "Send 2 selected items to the Vaporizer?");
  }
  EXPECT_TRUE(PathExists(D("a.txt")));
  EXPECT_EQ(Slurp(DS("info.shr")), "");
  EXPECT_EQ(win32::SendDataObject(Drop({}).Get(), false).result, 0);
}

TEST_F(SendWinTest, ExtPreparateDataIsExportedByItsPlainName) {
  auto fn = Export();
  ASSERT_NE(fn, nullptr);
  MakeFile(D("Work\\report.doc"), "r");
  MakeFile(D("Work\\Notes"), "n");
  const char buf[] = "D:\\Work\\report.doc\0D:\\Work\\Notes\0\0";
  EXPECT_EQ(fn(buf, 2, 0), 1);
  EXPECT_EQ(Slurp(DS("info.shr")),
            Own("D:\\Work\\report.doc\r\nD:\\VAPORIZE\\D1.doc\r\nD:\\Work\\Notes\r\nD:\\VAPORIZE\\D1\r\n"));
  // Count 0 reads nothing but still makes the stores.
  SetFileAttributesA(DS("desktop.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(DS("desktop.ini").c_str());
  EXPECT_EQ(fn(buf, 0, 0), 0);
  EXPECT_NE(GetFileAttributesA(DS("desktop.ini").c_str()), INVALID_FILE_ATTRIBUTES);
}

// What the exported function is handed goes through the same intake as
// every other road: nothing that is not an item of a fixed drive outside
// the stores is touched, and each refusal says why.
TEST_F(SendWinTest, ExtPreparateDataTouchesNothingThatIsNoItemAndSaysWhy) {
  auto fn = Export();
  ASSERT_NE(fn, nullptr);
  MakeFile(D("Work\\b.txt"), "b");
  MakeFile(DS("D1.txt"), "stored");
  MakeFile(DS("info.shr"), Own("D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"));
  MakeFile(E("e.txt"), "e");
  const auto before = Snapshot({D(), E()});
  // A caution question would mean that something was about to be destroyed.
  DialogAnswerer answer({}, IDYES);
  for (const std::string& entry : std::vector<std::string>{" D:\\Work\\b.txt", "D:\\VAPORIZE", " D:\\VAPORIZE", "D:\\VAPORIZE. ", Own("d:\\vaporize\\D1.txt"),
                            "D:\\", " D:\\", "D:\\Work\\..", "E:\\", " E:\\e.txt", "D:", "D:Work\\b.txt", "Work\\b.txt",
                            "b.txt", "\\Work\\b.txt", "\\\\server\\share\\b.txt"}) {
    SCOPED_TRACE(entry);
    std::string buffer = std::string(entry) + '\0' + '\0';
    EXPECT_EQ(fn(buffer.c_str(), 1, 0), 1);
    SendResult r = PrepareAndSend(buffer.c_str(), 1, false);
    ASSERT_EQ(r.report.Items().size(), 1u);
    EXPECT_EQ(r.report.Items()[0].outcome, Outcome::Skipped);
    EXPECT_FALSE(r.report.Items()[0].detail.empty());
    EXPECT_EQ(Snapshot({D(), E()}), before);
  }
  EXPECT_TRUE(answer.Seen().empty()) << answer.Seen()[0].title;
}

// A dropped path longer than the index takes is refused whole; cut to a
// buffer's size it could name its own parent folder.
TEST_F(SendWinTest, ALongDroppedPathIsReadWholeAndRefused) {
  std::string folder = D(std::string(150, 'f'));
  MakeFile(folder + "\\keep.txt", "k");
  std::string longPath = folder + "\\" + std::string(900, 'n') + ".txt";
  const auto before = Snapshot({D()});
  ScopedUi shell(win32::ShellUserInterface());
  DialogAnswerer answer({}, IDYES);
  SendResult r = win32::SendDataObject(Drop({longPath}).Get(), false);
  ASSERT_EQ(r.report.Items().size(), 1u);
  EXPECT_EQ(r.report.Items()[0].path, longPath) << "read at its full length";
  EXPECT_NE(r.report.Items()[0].detail.find("too long"), std::string::npos);
  EXPECT_TRUE(answer.Seen().empty());
  EXPECT_EQ(Snapshot({D()}), before);
}

}  // namespace
}  // namespace vz::test
