#include <gtest/gtest.h>

#include <thread>

#include "common/text.h"
#include "platform/platform.h"
#include "store/clsids.h"
#include "store/store.h"
#include "support/drives.h"
#include "support/recording_platform.h"

namespace vz::test {
namespace {

class StoreTest : public DrivesTest {
 protected:
  // Writes an index file as given, bytes for bytes.
  void WriteIndex(const std::string& text) { MakeFile(D("VAPORIZE\\info.shr"), text); }
  std::string Index() { return Slurp(D("VAPORIZE\\info.shr")); }
};

TEST_F(StoreTest, StoreLockKeepsOtherHoldersOutUntilReleasedAndNamesTheBusyDrive) {
  EnsureStores();
  const int wait = StoreLockWait();
  SetStoreLockWait(50);
  // Another thread stands for another process: it takes the lock its own way.
  auto tryElsewhere = [](std::string* why) {
    bool held = false;
    std::thread([&] {
      StoreGuard g('D');
      held = g.Held();
      *why = g.Why();
    }).join();
    return held;
  };
  std::string why;
  {
    StoreGuard outer('d');
    ASSERT_TRUE(outer.Held());
    StoreGuard inner('D');  // the same thread may take it again
    EXPECT_TRUE(inner.Held());
    EXPECT_FALSE(tryElsewhere(&why));
    EXPECT_EQ(why, "the Vaporizer store on D: is busy");
  }
  EXPECT_TRUE(tryElsewhere(&why));
  StoreGuard none('E');  // no store on a removable drive
  EXPECT_FALSE(none.Held());
  EXPECT_EQ(none.Why(), "the Vaporizer store on E: could not be locked");
  SetStoreLockWait(wait);
}

TEST_F(StoreTest, FixedDrivesAreLowerCaseAndSorted) {
  // C: and D: are fixed; E: is removable and carries no store.
  EXPECT_EQ(GetFixedDrives(), "cd");
}

TEST_F(StoreTest, EnsureStoresCreatesAndRepairsEveryFixedDrive) {
  EnsureStores();
  for (const char* root : {"C:", "D:"}) {
    std::string dir = std::string(root) + "\\VAPORIZE";
    ASSERT_TRUE(IsDirectory(dir)) << dir;
    auto a = Plat().GetAttributes(dir);
    EXPECT_EQ(*a & (kAttrHidden | kAttrSystem), kAttrHidden | kAttrSystem);
    EXPECT_EQ(GetItemSize(dir + "\\info.shr"), 0);
    std::string ini = Slurp(dir + "\\desktop.ini");
    EXPECT_NE(ini.find("[.ShellClassInfo]"), std::string::npos);
    EXPECT_NE(ini.find(std::string("CLSID=") + kClsidVaporizerFolderText), std::string::npos);
    auto ia = Plat().GetAttributes(dir + "\\desktop.ini");
    EXPECT_EQ(*ia & (kAttrHidden | kAttrSystem | kAttrReadOnly), kAttrHidden | kAttrSystem);
  }
  EXPECT_FALSE(PathExists(E("VAPORIZE")));

  // A second run keeps what is recorded.
  WriteIndex("D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n");
  EnsureStores();
  EXPECT_EQ(Index(), "D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n");
}

TEST_F(StoreTest, ItemSizes) {
  MakeFile(D("empty.txt"), "");
  MakeFile(D("five.txt"), "12345");
  MakeDir(D("folder"));
  EXPECT_EQ(GetItemSize(D("empty.txt")), 0);
  EXPECT_EQ(GetItemSize(D("five.txt")), 5);
  EXPECT_EQ(GetItemSize(D("folder")), -1);
  EXPECT_EQ(GetItemSize(D("missing.txt")), -1);
  MakeSparseFile(D("big.bin"), 5LL << 30);
  EXPECT_EQ(GetItemSize(D("big.bin")), 5LL << 30);
}

TEST_F(StoreTest, PruneKeepsLiveRecordsInOrderAndDropsDeadOnesAndTheOddLine) {
  EnsureStores();
  MakeFile(D("VAPORIZE\\D1.txt"), "1");
  MakeDir(D("VAPORIZE\\D2"));
  MakeFile(D("VAPORIZE\\D3.doc"), "3");
  WriteIndex(
      "D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"
      "D:\\gone.txt\r\nD:\\VAPORIZE\\D9.txt\r\n"
      "D:\\Old\r\nD:\\VAPORIZE\\D2\r\n"
      "D:\\b.doc\nD:\\VAPORIZE\\D3.doc\r"
      "D:\\odd.txt");
  PruneIndex();
  EXPECT_EQ(Index(),
            "D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"
            "D:\\Old\r\nD:\\VAPORIZE\\D2\r\n"
            "D:\\b.doc\r\nD:\\VAPORIZE\\D3.doc\r\n");
}

TEST_F(StoreTest, PruneKeepsDuplicateRecordsAndLeavesAnAllLiveIndexAlone) {
  EnsureStores();
  MakeFile(D("VAPORIZE\\D1.txt"), "1");
  // Both records name a live item (paths are matched without regard to
  // case), so both stay, and the index is not even written.
  std::string text = "D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\nD:\\b.txt\r\nd:\\vaporize\\D1.txt\r\n";
  WriteIndex(text);
  RecordingPlatform rec;
  {
    ScopedPlatform use(rec);
    PruneIndex();
  }
  EXPECT_EQ(Index(), text);
  EXPECT_EQ(rec.Count("ReplaceFileContents"), 0u);
}

TEST_F(StoreTest, PruneEmptiesAnIndexWhoseItemsAreAllGone) {
  EnsureStores();
  WriteIndex("D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n");
  EXPECT_FALSE(IsStoreEmpty());
  PruneIndex();
  EXPECT_EQ(Index(), "");
  EXPECT_TRUE(IsStoreEmpty());
}

TEST_F(StoreTest, StoreIsFullWhenAnyIndexHoldsAnything) {
  EXPECT_TRUE(IsStoreEmpty()) << "no store at all";
  EnsureStores();
  EXPECT_TRUE(IsStoreEmpty());
  MakeFile(C("VAPORIZE\\info.shr"), "\r\n");
  EXPECT_FALSE(IsStoreEmpty()) << "a single empty line counts as full";
}

TEST_F(StoreTest, StoredNamesTakeTheSmallestFreeNumberPerFullName) {
  EnsureStores();
  EXPECT_EQ(AllocateStoredName('D', ".doc"), "D1.doc");
  MakeFile(D("VAPORIZE\\D1.doc"), "");
  EXPECT_EQ(AllocateStoredName('D', ".doc"), "D2.doc");
  EXPECT_EQ(AllocateStoredName('D', ""), "D1") << "only the full name counts";
  EXPECT_EQ(AllocateStoredName('d', ".DOC"), "d2.DOC") << "the letter keeps its case; the search ignores case";
  MakeDir(D("VAPORIZE\\D2.doc"));
  EXPECT_EQ(AllocateStoredName('D', ".doc"), "D3.doc") << "a folder takes the name too";
  Plat().RemoveFile(D("VAPORIZE\\D1.doc"));
  EXPECT_EQ(AllocateStoredName('D', ".doc"), "D1.doc") << "numbers are reused once free";
}

TEST_F(StoreTest, AllocatorRemembersWhatItHandedOutAndWhatWasReleased) {
  EnsureStores();
  MakeFile(D("VAPORIZE\\D2.txt"), "");
  StoredNameAllocator a;
  EXPECT_EQ(a.Allocate('D', ".txt"), "D1.txt");
  EXPECT_EQ(a.Allocate('D', ".txt"), "D3.txt");
  EXPECT_EQ(a.Allocate('D', ".TXT"), "D4.TXT");
  EXPECT_EQ(a.Allocate('D', ".bin"), "D1.bin");
  a.Release('D', "D1.txt");
  EXPECT_EQ(a.Allocate('D', ".txt"), "D1.txt");
  EXPECT_EQ(a.Allocate('D', ".txt"), "D5.txt");
}

TEST_F(StoreTest, IndexLinesAndRecords) {
  EnsureStores();
  WriteIndex("a\r\nb\rc\nd\r\ne");
  auto lines = ReadIndexLines(D("VAPORIZE\\info.shr"));
  ASSERT_TRUE(lines.has_value());
  auto records = PairRecords(*lines);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].originalPath, "c");
  EXPECT_EQ(records[1].storedPath, "d");
  EXPECT_FALSE(ReadIndexLines(C("VAPORIZE\\none.shr")).has_value());
  EXPECT_EQ(FormatRecord({" D:\\a b.txt\t", "D:\\VAPORIZE\\D1.txt "}), "D:\\a b.txt\r\nD:\\VAPORIZE\\D1.txt\r\n");
}

}  // namespace
}  // namespace vz::test
