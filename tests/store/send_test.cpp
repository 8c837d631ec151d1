#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "common/text.h"
#include "platform/platform.h"
#include "store/send.h"
#include "store/store.h"
#include "support/drives.h"
#include "support/scripted_ui.h"

namespace vz::test {
namespace {

class SendTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    EnsureStores();
  }
  std::string Index(char d = 'D') { return Slurp(IndexPathOf(d)); }
  SendResult Send(std::vector<std::string> paths, bool ask = false) {
    ScopedUi scope(ui);
    return SendToStore(paths, (ask ? kSendAskFirst : kSendQuietly) | kSendRefreshIcon);
  }
  ScriptedUi ui;
};

TEST_F(SendTest, MovesIntoTheDrivesStoreAndRecordsTheItem) {
  MakeFile(D("Work\\report.doc"), "report");
  SendResult r = Send({D("Work\\report.doc")});
  EXPECT_EQ(r.result, 1);
  EXPECT_FALSE(PathExists(D("Work\\report.doc")));
  EXPECT_EQ(Slurp(DS("D1.doc")), "report");
  EXPECT_EQ(Index(), Own("D:\\Work\\report.doc\r\nD:\\VAPORIZE\\D1.doc\r\n"));
  ASSERT_EQ(r.report.Items().size(), 1u);
  EXPECT_EQ(r.report.Items()[0].outcome, Outcome::Done);
  EXPECT_EQ(r.report.Items()[0].target, Own("D:\\VAPORIZE\\D1.doc"));
  EXPECT_TRUE(ui.asked.empty()) << "the list road asks nothing";
}

TEST_F(SendTest, TwoFilesOfTheSameNameGetTwoNumbersAndAFolderKeepsItsTree) {
  MakeFile(D("A\\report.doc"), "a");
  MakeFile(D("B\\report.doc"), "b");
  MakeFile(D("Old.v2\\sub\\x.txt"), "x");
  MakeFile(D("Makefile"), "m");
  Send({D("A\\report.doc"), D("B\\report.doc"), D("Old.v2"), D("Makefile")});
  EXPECT_EQ(Index(),
            Own("D:\\A\\report.doc\r\nD:\\VAPORIZE\\D1.doc\r\n"
            "D:\\B\\report.doc\r\nD:\\VAPORIZE\\D2.doc\r\n"
            "D:\\Old.v2\r\nD:\\VAPORIZE\\D1.v2\r\n"
            "D:\\Makefile\r\nD:\\VAPORIZE\\D1\r\n"));
  EXPECT_EQ(Slurp(DS("D2.doc")), "b");
  EXPECT_EQ(Slurp(DS("D1.v2\\sub\\x.txt")), "x");
}

TEST_F(SendTest, TheLetterKeepsItsCaseAsWritten) {
  MakeFile(D("a.txt"), "a");
  Send({"d:\\a.txt"});
  EXPECT_EQ(Index(), Own("d:\\a.txt\r\nd:\\VAPORIZE\\d1.txt\r\n"));
  EXPECT_TRUE(PathExists(DS("d1.txt")));
}

TEST_F(SendTest, ItemsAlreadyInAStoreAndTheStoreItselfStayPut) {
  MakeFile(DS("D1.doc"), "stored");
  MakeFile(DS("info.shr"), Own("D:\\r.doc\r\nD:\\VAPORIZE\\D1.doc\r\n"));
  SendResult r = Send({DS("D1.doc"), Own("d:\\vaporize\\D1.doc")}, true);
  EXPECT_EQ(r.result, 1);
  EXPECT_TRUE(ui.asked.empty()) << "nothing is asked";
  EXPECT_EQ(Slurp(DS("D1.doc")), "stored");
  EXPECT_EQ(Index(), Own("D:\\r.doc\r\nD:\\VAPORIZE\\D1.doc\r\n"));
  EXPECT_EQ(r.report.Count(Outcome::Skipped), 2u);

  r = Send({DS()});
  EXPECT_TRUE(IsDirectory(DS()));
  EXPECT_EQ(Index(), Own("D:\\r.doc\r\nD:\\VAPORIZE\\D1.doc\r\n")) << "nothing is recorded";
  EXPECT_FALSE(r.report.AllDone());
}

TEST_F(SendTest, MixedDropVaporizesTheRemovableItemFirstThenAsksAndSends) {
  MakeFile(D("a.txt"), "keep me");
  MakeFile(E("b.txt"), "destroy me");
  SendResult r = Send({D("a.txt"), E("b.txt")}, true);
  ASSERT_EQ(ui.asked.size(), 2u);
  EXPECT_EQ(ui.asked[0].kind, Question::Caution);
  EXPECT_EQ(ui.asked[1].kind, Question::ConfirmSend);
  EXPECT_EQ(ui.asked[1].title, "Send to Vaporizer?");
  EXPECT_EQ(ui.asked[1].text, "Are you sure you want to send 'a.txt' to the Vaporizer?");
  EXPECT_FALSE(PathExists(E("b.txt")));
  EXPECT_EQ(Slurp(DS("D1.txt")), "keep me");
  EXPECT_EQ(Index(), Own("D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"));
  EXPECT_EQ(r.report.Count(Outcome::Done), 2u);
}

TEST_F(SendTest, NoToTheConfirmationMovesNothingButStillReportsEntries) {
  MakeFile(D("a.txt"), "a");
  ui.answers = {false};
  SendResult r = Send({D("a.txt")}, true);
  EXPECT_EQ(r.result, 1);
  EXPECT_TRUE(PathExists(D("a.txt")));
  EXPECT_EQ(Index(), "");
  ASSERT_EQ(r.report.Items().size(), 1u);
  EXPECT_EQ(r.report.Items()[0].detail, "the user said No");
}

TEST_F(SendTest, EmptyListAndPathsThatAreNotDrivePaths) {
  EXPECT_EQ(Send({}).result, 0);
  // A relative name that happens to start with a fixed drive's letter is
  // not a path on that drive.
  MakeFile(D("Dnotes.txt"), "n");
  SendResult r = Send({"Dnotes.txt", "\\\\server\\share\\x.txt", "", "D:"});
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(Index(), "");
  EXPECT_EQ(r.report.Count(Outcome::Done), 0u);
  EXPECT_TRUE(PathExists(D("Dnotes.txt")));
}

// The date sent, which the folder shows and emptying by age counts from,
// is stamped on every item: a read-only file and a folder too (not on what
// the folder holds), each long untouched before.
TEST_F(SendTest, ReadOnlyFilesAndFoldersAreStampedWithTheDateSentToo) {
  const CivilTime old{2001, 2, 3, 4, 5, 6};
  MakeFile(D("ro.txt"), "r");
  MakeFile(D("rw.txt"), "w");
  MakeFile(D("dir\\in.txt"), "i");
  for (const char* p : {"ro.txt", "rw.txt", "dir\\in.txt", "dir"}) ASSERT_TRUE(Plat().SetWriteTime(D(p), old)) << p;
  ASSERT_TRUE(Plat().SetAttributes(D("ro.txt"), kAttrReadOnly));
  auto lo = TruncateToDos(Plat().LocalNow());
  ASSERT_TRUE(lo.has_value());
  Send({D("ro.txt"), D("rw.txt"), D("dir")});
  EXPECT_EQ(Index(), Own("D:\\ro.txt\r\nD:\\VAPORIZE\\D1.txt\r\nD:\\rw.txt\r\nD:\\VAPORIZE\\D2.txt\r\n"
                         "D:\\dir\r\nD:\\VAPORIZE\\D1\r\n"));
  for (const char* stored : {"D1.txt", "D2.txt", "D1"}) {
    // The local clock as a DOS time, stored without zone.
    CivilTime stamped = Plat().FindEntry(DS(stored))->written;
    EXPECT_EQ(stamped.second % 2, 0) << stored;
    EXPECT_GE(SecondsBetween(*lo, stamped), 0) << stored;
    EXPECT_LT(SecondsBetween(*lo, stamped), 600) << stored;
  }
  EXPECT_EQ(Plat().FindEntry(DS("D1\\in.txt"))->written, old) << "what a folder holds keeps its times";
  EXPECT_TRUE(*Plat().GetAttributes(DS("D1.txt")) & kAttrReadOnly) << "and its attributes";
  Plat().SetAttributes(DS("D1.txt"), 0);
}

TEST_F(SendTest, PathsTooLongToRecordAreNeverMoved) {
  std::string folder = D("f");
  for (char c : std::string("ghijk")) folder += "\\" + std::string(200, c);
  std::string longPath = folder + "\\" + std::string(30, 'n') + ".txt";
  ASSERT_GT(longPath.size(), kMaxRecordedPath);
  MakeDir(folder);
  if (!PathExists(folder)) GTEST_SKIP() << "the host cannot create the folder";
  SendResult r = Send({longPath});
  EXPECT_EQ(Index(), "");
  ASSERT_EQ(r.report.Items().size(), 1u);
  EXPECT_NE(r.report.Items()[0].detail.find("too long"), std::string::npos);
}

TEST_F(SendTest, MappedNamesAreRecordedUnderTheDroppedItemsFolder) {
  MakeFile(D("Temp\\~tmp123.doc"), "mapped");
  std::vector<std::string> paths{D("Temp\\~tmp123.doc")}, names{"Report.doc  "};
  ScopedUi scope(ui);
  SendResult r = SendToStore(paths, kSendAskFirst, &names);
  ASSERT_EQ(ui.asked.size(), 1u);
  EXPECT_EQ(ui.asked[0].text, "Are you sure you want to send 'Report.doc' to the Vaporizer?");
  EXPECT_EQ(Index(), Own("D:\\Temp\\Report.doc\r\nD:\\VAPORIZE\\D1.doc\r\n"));
}

TEST_F(SendTest, ConfirmationTextsForTheThreeCases) {
  MakeFile(D("f.txt"), "");
  MakeDir(D("Folder"));
  std::string title, message;
  ConfirmSendTexts({D("Folder")}, nullptr, &title, &message);
  EXPECT_EQ(title, "Confirm Folder Delete");
  EXPECT_EQ(message, "Are you sure you want to remove the folder 'Folder' and move all its contents to the Vaporizer?");
  ConfirmSendTexts({D("f.txt")}, nullptr, &title, &message);
  EXPECT_EQ(title, "Send to Vaporizer?");
  EXPECT_EQ(message, "Are you sure you want to send 'f.txt' to the Vaporizer?");
  ConfirmSendTexts({D("f.txt"), D("Folder"), D("x")}, nullptr, &title, &message);
  EXPECT_EQ(title, "Send multiple items to Vaporizer?");
  EXPECT_EQ(message, "Send 3 selected items to the Vaporizer?");
}

TEST(PathBufferTest, SplitStopsAtTheEmptyStringAndNeverReadsPastTheBound) {
  const char buf[] = "C:\\a.txt\0D:\\b\0\0E:\\ignored\0";
  auto paths = SplitPathBuffer(buf, 5);
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[1], "D:\\b");
  EXPECT_TRUE(SplitPathBuffer(buf, 0).empty());
  EXPECT_TRUE(SplitPathBuffer(buf, -3).empty());
  EXPECT_TRUE(SplitPathBuffer(nullptr, 2).empty());
  // A buffer of exactly count x 260 characters and no NUL at all: nothing
  // is read beyond it (the sanitizer build would catch it).
  std::vector<char> full(2 * 260, 'x');
  char* heap = new char[full.size()];
  std::memcpy(heap, full.data(), full.size());
  EXPECT_TRUE(SplitPathBuffer(heap, 2).empty());
  heap[5] = '\0';
  auto one = SplitPathBuffer(heap, 2);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0], "xxxxx");
  delete[] heap;
}

TEST_F(SendTest, PrepareWithNoPathsStillEnsuresTheStores) {
  Plat().RemoveFile(DS("info.shr"));
  Plat().RemoveFile(DS("desktop.ini"));
  Plat().SetAttributes(DS(), kAttrDirectory);
  Plat().RemoveEmptyDirectory(DS());
  ASSERT_FALSE(PathExists(DS()));
  SendResult r = PrepareAndSend("\0\0", 0, false);
  EXPECT_EQ(r.result, 0);
  EXPECT_TRUE(PathExists(DS("info.shr")));
}

}  // namespace
}  // namespace vz::test
