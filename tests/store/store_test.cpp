#include <gtest/gtest.h>

#include <thread>

#include "common/text.h"
#include "platform/platform.h"
#include "store/clsids.h"
#include "store/own_store.h"
#include "store/store.h"
#include "support/drives.h"
#include "support/recording_platform.h"

namespace vz::test {
namespace {

class StoreTest : public DrivesTest {
 protected:
  // Writes an index file as given, bytes for bytes.
  void WriteIndex(const std::string& text) { MakeFile(DS("info.shr"), text); }
  std::string Index() { return Slurp(DS("info.shr")); }
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
    // The drive's store folder, and in it this account's store.
    const std::string dir = std::string(root) + "\\VAPORIZE\\" + Plat().AccountName();
    ASSERT_EQ(dir, StoreDirOf(root[0]));
    for (const std::string& folder : {std::string(root) + "\\VAPORIZE", dir}) {
      ASSERT_TRUE(IsDirectory(folder)) << folder;
      EXPECT_EQ(*Plat().GetAttributes(folder) & (kAttrHidden | kAttrSystem), kAttrHidden | kAttrSystem);
    }
    EXPECT_EQ(StoreProblem(root[0]), "");
    EXPECT_EQ(GetItemSize(dir + "\\info.shr"), 0);
    std::string ini = Slurp(dir + "\\desktop.ini");
    EXPECT_NE(ini.find("[.ShellClassInfo]"), std::string::npos);
    EXPECT_NE(ini.find(std::string("CLSID=") + kClsidVaporizerFolderText), std::string::npos);
    auto ia = Plat().GetAttributes(dir + "\\desktop.ini");
    EXPECT_EQ(*ia & (kAttrHidden | kAttrSystem | kAttrReadOnly), kAttrHidden | kAttrSystem);
  }
  EXPECT_FALSE(PathExists(E("VAPORIZE")));

  // A second run keeps what is recorded.
  WriteIndex(Own("D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"));
  EnsureStores();
  EXPECT_EQ(Index(), Own("D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"));
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

TEST_F(StoreTest, PruneKeepsLiveRecordsInOrderAndDropsDeadOnesButNotTheOddLine) {
  EnsureStores();
  MakeFile(DS("D1.txt"), "1");
  MakeDir(DS("D2"));
  MakeFile(DS("D3.doc"), "3");
  WriteIndex(
      Own("D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"
      "D:\\gone.txt\r\nD:\\VAPORIZE\\D9.txt\r\n"
      "D:\\Old\r\nD:\\VAPORIZE\\D2\r\n"
      "D:\\b.doc\nD:\\VAPORIZE\\D3.doc\r"
      "D:\\odd.txt"));
  PruneIndex();
  EXPECT_EQ(Index(),
            Own("D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"
            "D:\\Old\r\nD:\\VAPORIZE\\D2\r\n"
            "D:\\b.doc\r\nD:\\VAPORIZE\\D3.doc\r\n"
            "D:\\odd.txt\r\n")) << "a line without its stored path is a damaged record, kept for the user to see";
}

TEST_F(StoreTest, PruneKeepsDuplicateRecordsAndLeavesAnAllLiveIndexAlone) {
  EnsureStores();
  MakeFile(DS("D1.txt"), "1");
  // Both records name a live item (paths are matched without regard to
  // case), so both stay, and the index is not even written.
  std::string text = Own("D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\nD:\\b.txt\r\nd:\\vaporize\\D1.txt\r\n");
  WriteIndex(text);
  RecordingPlatform rec;
  {
    ScopedPlatform use(rec);
    PruneIndex();
  }
  EXPECT_EQ(Index(), text);
  EXPECT_EQ(rec.Count("CreateNew"), 0u) << "no new index";
}

TEST_F(StoreTest, PruneEmptiesAnIndexWhoseItemsAreAllGone) {
  EnsureStores();
  WriteIndex(Own("D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"));
  EXPECT_FALSE(IsStoreEmpty());
  PruneIndex();
  EXPECT_EQ(Index(), "");
  EXPECT_TRUE(IsStoreEmpty());
}

TEST_F(StoreTest, StoreIsFullWhenAnyIndexHoldsAnything) {
  EXPECT_TRUE(IsStoreEmpty()) << "no store at all";
  EnsureStores();
  EXPECT_TRUE(IsStoreEmpty());
  MakeFile(CS("info.shr"), "\r\n");
  EXPECT_FALSE(IsStoreEmpty()) << "a single empty line counts as full";
}

TEST_F(StoreTest, StoredNamesTakeTheSmallestFreeNumberPerFullName) {
  EnsureStores();
  EXPECT_EQ(AllocateStoredName('D', ".doc"), "D1.doc");
  MakeFile(DS("D1.doc"), "");
  EXPECT_EQ(AllocateStoredName('D', ".doc"), "D2.doc");
  EXPECT_EQ(AllocateStoredName('D', ""), "D1") << "only the full name counts";
  EXPECT_EQ(AllocateStoredName('d', ".DOC"), "d2.DOC") << "the letter keeps its case; the search ignores case";
  MakeDir(DS("D2.doc"));
  EXPECT_EQ(AllocateStoredName('D', ".doc"), "D3.doc") << "a folder takes the name too";
  Plat().RemoveFile(DS("D1.doc"));
  EXPECT_EQ(AllocateStoredName('D', ".doc"), "D1.doc") << "numbers are reused once free";
}

TEST_F(StoreTest, AllocatorRemembersWhatItHandedOutAndWhatWasReleased) {
  EnsureStores();
  MakeFile(DS("D2.txt"), "");
  StoredNameAllocator a;
  EXPECT_EQ(a.Allocate('D', ".txt"), "D1.txt");
  EXPECT_EQ(a.Allocate('D', ".txt"), "D3.txt");
  EXPECT_EQ(a.Allocate('D', ".TXT"), "D4.TXT");
  EXPECT_EQ(a.Allocate('D', ".bin"), "D1.bin");
  a.Release('D', "D1.txt");
  EXPECT_EQ(a.Allocate('D', ".txt"), "D1.txt");
  EXPECT_EQ(a.Allocate('D', ".txt"), "D5.txt");
}

// Each record as "first line:S" when sound, "first line:D:part of the reason"
// when damaged.
std::vector<std::string> Summary(const std::string& text) {
  std::vector<std::string> out;
  for (const auto& r : ParseIndex('D', text)) {
    std::string s = std::to_string(r.firstLine) + (r.Sound() ? ":S" : ":D");
    out.push_back(s);
    if (!r.Sound()) out.back() += ":" + r.damage;
  }
  return out;
}

TEST(IndexReaderTest, DamageStaysInItsRecordAndEveryReasonIsGiven) {
  struct Case {
    std::string text;
    std::vector<std::string> expected;  // "line:S", or "line:D:" and a part of the reason
  };
  const Case cases[] = {
      {Own("D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"), {"1:S"}},
      {Own("\r\nD:\\a.txt\r\n \r\nD:\\VAPORIZE\\D1.txt"), {"2:S"}},
      // A stored path edited by hand to name a live folder.
      {Own("D:\\a.txt\r\nD:\\docs\r\nD:\\b.txt\r\nD:\\VAPORIZE\\D2.txt\r\n"),
       {"1:D:the stored path D:\\docs: it is not an item of a store", "3:S"}},
      // A line break in an original path, written by an older version.
      {Own("D:\\a\nb.txt\r\nD:\\VAPORIZE\\D1.txt\r\nD:\\c.txt\r\nD:\\VAPORIZE\\D2.txt\r\nD:\\odd"),
       {"1:D:without the stored path", "2:D:the original path b.txt is not a full path", "4:S",
        "6:D:without the stored path"}},
      {Own("D:\\VAPORIZE\\D1.txt\r\nD:\\VAPORIZE\\D2.txt"), {"1:D:without the original path", "2:D:without the original"}},
      {Own("D:\\a\r\nC:\\VAPORIZE\\C1.txt\r\nD:\\b\r\nd:\\vaporize\\d1"), {"1:D:store of drive C:", "3:S"}},
      {Own("D:\\a\r\nD:\\VAPORIZE\\INFO.SHR\r\nD:\\b\r\nD:\\VAPORIZE\\x\\y\r\nD:\\c\r\nD:\\VAPORIZE\\D*.txt\r\n"
       "D:\\e\r\nD:\\VAPORIZE\\D1.txt.\r\nD:\\f\r\nD:\\VAPORIZE\r\nD:\\g\r\nD:\\VAPORIZE\\desktop.ini\r\n"
       "D:\\h\r\nD:\\VAPORIZE\\D1:s"),
       {"1:D:the store's own files", "3:D:deeper than one name", "5:D:a character", "7:D:ends in a dot",
        "9:D:not an item of a store", "11:D:the store's own files", "13:D:a character"}},
      {Own("D:\\x\\..\\y\r\nD:\\VAPORIZE\\D1\r\nC:\\x\r\nD:\\VAPORIZE\\D2\r\nD:\\\r\nD:\\VAPORIZE\\D3\r\n"
       "D:\\VAPORIZE.\\x\r\nD:\\VAPORIZE\\D4"),
       {"1:D:not a full path", "3:D:not on this store's drive", "5:D:not a full path", "7:S"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> got = Summary(c.text);
    ASSERT_EQ(got.size(), c.expected.size()) << c.text;
    for (std::size_t i = 0; i < got.size(); ++i) {
      const std::string& e = c.expected[i];
      std::size_t cut = e.find(':', e.find(':') + 1);
      EXPECT_EQ(got[i].substr(0, cut == std::string::npos ? got[i].size() : cut), e.substr(0, cut)) << c.text;
      if (cut != std::string::npos) {
        EXPECT_NE(got[i].find(e.substr(cut + 1)), std::string::npos) << got[i];
      }
    }
  }
}

TEST_F(StoreTest, PruneKeepsDamagedRecordsUnlessTheirStoredItemIsGone) {
  EnsureStores();
  MakeFile(DS("D1.txt"), "1");
  MakeDir(D("docs"));
  // A record edited to point at a live folder, a torn original path whose
  // item lives, one whose item is gone, and an unpaired line.
  const std::string keep =
      Own("D:\\a.txt\r\nD:\\docs\r\n"
      "b.txt\r\nD:\\VAPORIZE\\D1.txt\r\n");
  WriteIndex(keep + Own("c.txt\r\nD:\\VAPORIZE\\D7.txt\r\nD:\\odd"));
  PruneIndex();
  EXPECT_EQ(Index(), keep + "D:\\odd\r\n");
  EXPECT_TRUE(IsDirectory(D("docs")));
}

TEST_F(StoreTest, FormatRecord) {
  EXPECT_EQ(FormatRecord(" D:\\a b.txt\t", Own("D:\\VAPORIZE\\D1.txt ")), Own("D:\\a b.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"));
}

}  // namespace
}  // namespace vz::test
