#include "window/restore.h"

#include <gtest/gtest.h>

#include <thread>

#include "common/text.h"
#include "platform/platform.h"
#include "store/store.h"
#include "support/recording_platform.h"
#include "support/scripted_ui.h"
#include "window/store_fixture.h"

#ifdef _WIN32
#include "platform/win32/win32_platform.h"
#endif

namespace vz::test {
namespace {

// Counts the desktop refreshes a restore asks for; only the Windows layer
// has a desktop to tell, so elsewhere the count stays unobserved.
int g_iconUpdates = 0;
#ifdef _WIN32
constexpr bool kIconsObservable = true;
struct IconCounter {
  IconCounter() { win32::SetUpdateIconHook([] { ++g_iconUpdates; }); }
  ~IconCounter() { win32::SetUpdateIconHook(nullptr); }
};
#else
constexpr bool kIconsObservable = false;
struct IconCounter {};
#endif

class RestoreTest : public StoreTest {
 protected:
  ScriptedUi ui;
  ScopedUi scoped{ui};
  IconCounter icons;
  void SetUp() override {
    StoreTest::SetUp();
    g_iconUpdates = 0;
  }

  RestoreEntry Entry(const std::string& original, const std::string& stored, int icon = 3) {
    return {original, stored, icon};
  }
  // Files left beside a restored one (set-aside copies of a replaced file).
  static std::size_t EntriesIn(const std::string& dir) {
    std::vector<DirEntry> entries;
    Plat().ListDirectory(dir, entries);
    return entries.size();
  }
};

// Restoring many items reads and rewrites each index a fixed number of
// times, however many items go back; a replace question among them is asked
// with the store's lock let go, as another process would find it.
TEST_F(RestoreTest, TheIndexWorkDoesNotGrowWithTheItemsAndQuestionsAreAskedUnlocked) {
  struct LockProbe : ScriptedUi {
    bool free = true;
    bool ConfirmReplace(const ReplaceQuestion& q) override {
      std::thread([this] { free = StoreGuard('D', 50).Held() && free; }).join();
      return ScriptedUi::ConfirmReplace(q);
    }
  } probe;
  ScopedUi use(probe);
  std::vector<std::size_t> work;
  for (int count : {3, 12}) {
    std::vector<RestoreEntry> entries;
    for (int i = 0; i < count; ++i) {
      const std::string n = std::to_string(count) + "-" + std::to_string(i) + ".txt";
      entries.push_back(Entry(D("W\\" + n), StoreFile(D("W\\" + n), "D" + n, n)));
    }
    MakeFile(entries[1].originalPath, "in the way");
    RecordingPlatform rec;
    ScopedPlatform platform(rec);
    EXPECT_TRUE(RestoreItems(entries).AllDone());
    work.push_back(rec.Count("ReadWholeFile", "info.shr") + rec.Count("ReplaceFileContents", "info.shr"));
  }
  EXPECT_EQ(work[0], work[1]) << "readings and rewrites of the index for 3 items, then for 12";
  EXPECT_EQ(probe.replaceAsked.size(), 2u);
  EXPECT_TRUE(probe.free) << "a question is asked with the lock let go";
}

TEST_F(RestoreTest, FileGoesBackAndItsRecordIsDropped) {
  MakeDir(D("Work"));
  std::string stored = StoreFile(D("Work\\a.txt"), "D1.txt", "alpha");
  std::string other = StoreFile(D("Work\\b.txt"), "D2.txt", "beta");

  Report r = RestoreItems({Entry(D("Work\\a.txt"), stored)});

  EXPECT_EQ(Slurp(D("Work\\a.txt")), "alpha");
  EXPECT_FALSE(PathExists(stored));
  EXPECT_FALSE(HasRecord(D("Work\\a.txt"), stored));
  EXPECT_TRUE(HasRecord(D("Work\\b.txt"), other)) << "other records stay";
  EXPECT_TRUE(ui.asked.empty());
  EXPECT_TRUE(ui.replaceAsked.empty());
  ASSERT_EQ(r.Items().size(), 1u);
  EXPECT_EQ(r.Items()[0].outcome, Outcome::Done);
  EXPECT_EQ(r.Items()[0].target, D("Work\\a.txt"));
  if (kIconsObservable) {
    EXPECT_EQ(g_iconUpdates, 1);
  }
}

TEST_F(RestoreTest, DeletedFolderChainIsCreatedAgain) {
  std::string fileStored = StoreFile(D("Gone\\deeper\\still\\a.txt"), "D1.txt", "file");
  MakeFile(DS("D1\\inner\\x.bin"), "tree");
  AppendRecord(D("Lost\\Project"), DS("D1"));
  ASSERT_FALSE(PathExists(D("Gone")));

  Report r = RestoreItems({Entry(D("Gone\\deeper\\still\\a.txt"), fileStored),
                           Entry(D("Lost\\Project"), DS("D1"))});

  EXPECT_TRUE(r.AllDone());
  EXPECT_EQ(Slurp(D("Gone\\deeper\\still\\a.txt")), "file");
  EXPECT_EQ(Slurp(D("Lost\\Project\\inner\\x.bin")), "tree") << "a stored folder comes back whole";
  EXPECT_EQ(Index(), "");
}

TEST_F(RestoreTest, ReplaceYesClearsReadOnlyAndReplacesTheExistingFile) {
  std::string stored = StoreFile(D("Work\\a.txt"), "D1.txt", "stored data");
  SetWriteTime(stored, {2003, 6, 15, 10, 20, 30});
  MakeFile(D("Work\\a.txt"), "old!");
  SetWriteTime(D("Work\\a.txt"), {1999, 7, 28, 15, 58, 56});
  ASSERT_TRUE(Plat().SetAttributes(D("Work\\a.txt"), kAttrReadOnly));
  ui.replaceAnswers = {true};

  Report r = RestoreItems({Entry(D("Work\\a.txt"), stored, 42)});

  ASSERT_EQ(ui.replaceAsked.size(), 1u);
  const ReplaceQuestion& q = ui.replaceAsked[0];
  EXPECT_EQ(q.thisText, "This folder already contains a file called " + D("Work\\a.txt"));
  EXPECT_EQ(q.iconIndex, 42);
  EXPECT_EQ(q.existingBytes, "4 bytes");
  EXPECT_EQ(q.storedBytes, "11 bytes");
  EXPECT_NE(q.existingDate.find("1999"), std::string::npos) << q.existingDate;
  EXPECT_NE(q.existingDate.find(",  "), std::string::npos) << "existing file: comma and two blanks";
  EXPECT_NE(q.storedDate.find("2003"), std::string::npos) << q.storedDate;
  EXPECT_NE(q.storedDate.find(", "), std::string::npos);
  EXPECT_EQ(q.storedDate.find(",  "), std::string::npos) << "stored item: comma and one blank";

  EXPECT_EQ(Slurp(D("Work\\a.txt")), "stored data");
  EXPECT_FALSE(*Plat().GetAttributes(D("Work\\a.txt")) & kAttrReadOnly);
  EXPECT_FALSE(PathExists(stored));
  EXPECT_FALSE(HasRecord(D("Work\\a.txt"), stored));
  EXPECT_EQ(EntriesIn(D("Work")), 1u) << "nothing of the replaced file is left beside it";
  EXPECT_TRUE(r.AllDone());
}

TEST_F(RestoreTest, ReplaceNoKeepsBothFilesAndTheRecord) {
  std::string first = StoreFile(D("Work\\a.txt"), "D1.txt", "stored");
  std::string second = StoreFile(D("Work\\b.txt"), "D2.txt", "second");
  MakeFile(D("Work\\a.txt"), "existing");
  ui.replaceAnswers = {false};

  Report r = RestoreItems({Entry(D("Work\\a.txt"), first), Entry(D("Work\\b.txt"), second)});

  EXPECT_EQ(ui.replaceAsked.size(), 1u);
  EXPECT_EQ(Slurp(D("Work\\a.txt")), "existing");
  EXPECT_EQ(Slurp(first), "stored");
  EXPECT_TRUE(HasRecord(D("Work\\a.txt"), first));
  EXPECT_EQ(Slurp(D("Work\\b.txt")), "second") << "No skips that entry only";
  const ItemReport* a = r.Find(D("Work\\a.txt"));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->outcome, Outcome::Skipped);
  EXPECT_FALSE(a->detail.empty());
}

// The user agreed to replace, but the stored item cannot be moved in (it
// went away while the question was open): the file they had must survive.
class VanishingUi : public ScriptedUi {
 public:
  std::string removeOnQuestion;
  bool ConfirmReplace(const ReplaceQuestion& q) override {
    Plat().RemoveFile(removeOnQuestion);
    return ScriptedUi::ConfirmReplace(q);
  }
};

TEST_F(RestoreTest, FailedMoveAfterYesKeepsTheExistingFile) {
  std::string stored = StoreFile(D("Work\\a.txt"), "D1.txt", "stored");
  MakeFile(D("Work\\a.txt"), "precious");
  ASSERT_TRUE(Plat().SetAttributes(D("Work\\a.txt"), kAttrReadOnly));
  VanishingUi vanishing;
  vanishing.removeOnQuestion = stored;
  ScopedUi scope(vanishing);

  Report r = RestoreItems({Entry(D("Work\\a.txt"), stored)});

  EXPECT_EQ(vanishing.replaceAsked.size(), 1u);
  EXPECT_EQ(Slurp(D("Work\\a.txt")), "precious");
  EXPECT_TRUE(*Plat().GetAttributes(D("Work\\a.txt")) & kAttrReadOnly) << "left exactly as it was";
  EXPECT_EQ(EntriesIn(D("Work")), 1u);
  ASSERT_EQ(r.Items().size(), 1u);
  EXPECT_EQ(r.Items()[0].outcome, Outcome::Failed);
}

TEST_F(RestoreTest, FolderAtTheOriginalPathStopsTheItemWithoutAQuestion) {
  std::string stored = StoreFile(D("Work\\a.txt"), "D1.txt", "stored");
  MakeFile(D("Work\\a.txt\\inside.txt"), "someone else's");

  Report r = RestoreItems({Entry(D("Work\\a.txt"), stored)});

  EXPECT_TRUE(ui.replaceAsked.empty());
  EXPECT_EQ(Slurp(stored), "stored");
  EXPECT_TRUE(HasRecord(D("Work\\a.txt"), stored));
  EXPECT_EQ(Slurp(D("Work\\a.txt\\inside.txt")), "someone else's");
  EXPECT_EQ(EntriesIn(D("Work\\a.txt")), 1u) << "nothing merged into the folder";
  ASSERT_EQ(r.Items().size(), 1u);
  EXPECT_EQ(r.Items()[0].outcome, Outcome::Failed);
  EXPECT_NE(r.Items()[0].detail.find("folder"), std::string::npos) << r.Items()[0].detail;
}

TEST_F(RestoreTest, StoredFolderOverAnExistingFileAsksWithFolderWords) {
  MakeFile(DS("D1\\x.txt"), "x");
  AppendRecord(D("Work\\Old"), DS("D1"));
  MakeFile(D("Work\\Old"), "a file now");
  ui.replaceAnswers = {true};

  Report r = RestoreItems({Entry(D("Work\\Old"), DS("D1"))});

  ASSERT_EQ(ui.replaceAsked.size(), 1u);
  EXPECT_EQ(ui.replaceAsked[0].storedBytes, "(folder)");
  EXPECT_FALSE(ui.replaceAsked[0].storedDate.empty());
  EXPECT_EQ(Slurp(D("Work\\Old\\x.txt")), "x");
  EXPECT_TRUE(r.AllDone());
}

class RecycleBinRestore : public RestoreTest, public ::testing::WithParamInterface<bool> {};

TEST_P(RecycleBinRestore, WarningIsAskedOnceAndNoKeepsOnlyRecycleBinItems) {
  bool yes = GetParam();
  std::string a = StoreFile(D("Work\\a.txt"), "D1.txt", "a");
  std::string bin = StoreFile(D("RECYCLED\\D5.txt"), "D2.txt", "bin");
  std::string b = StoreFile(D("Work\\b.txt"), "D3.txt", "b");
  ui.answers = {yes};

  Report r = RestoreItems({Entry(D("Work\\a.txt"), a), Entry(D("RECYCLED\\D5.txt"), bin), Entry(D("Work\\b.txt"), b)});

  ASSERT_EQ(ui.asked.size(), 1u);
  EXPECT_EQ(ui.asked[0].kind, Question::RecycleBinWarning);
  EXPECT_EQ(ui.asked[0].title, "Caution!");
  EXPECT_EQ(ui.asked[0].text,
            "Warning:  Items moved to the Recycle Bin may become unavailable. Do you want to proceed?");
  EXPECT_EQ(Slurp(D("Work\\a.txt")), "a");
  EXPECT_EQ(Slurp(D("Work\\b.txt")), "b");
  EXPECT_EQ(PathExists(D("RECYCLED\\D5.txt")), yes);
  EXPECT_EQ(PathExists(bin), !yes);
  EXPECT_EQ(HasRecord(D("RECYCLED\\D5.txt"), bin), !yes);
  EXPECT_EQ(r.Count(Outcome::Done), yes ? 3u : 2u);
  EXPECT_EQ(r.Count(Outcome::Skipped), yes ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(BothAnswers, RecycleBinRestore, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Yes" : "No"; });

TEST(RecycleBinPathTest, NameMustStandAtPositionsFourToEleven) {
  EXPECT_TRUE(IsRecycleBinPath("C:\\RECYCLED\\C1.doc"));
  EXPECT_TRUE(IsRecycleBinPath("c:\\Recycled\\sub\\x.txt"));
  EXPECT_TRUE(IsRecycleBinPath("C:\\RECYCLEDOLD\\x"));
  EXPECT_TRUE(IsRecycleBinPath("D:\\RECYCLED\\x.txt"));
  EXPECT_FALSE(IsRecycleBinPath("C:\\x.txt"));
  EXPECT_FALSE(IsRecycleBinPath("D:\\Data\\RECYCLED\\x"));
  EXPECT_FALSE(IsRecycleBinPath("C:\\Docs\\RECYCLED\\x"));
  EXPECT_FALSE(IsRecycleBinPath("\\\\server\\share\\RECYCLED\\x"));
  EXPECT_FALSE(IsRecycleBinPath("C:\\RECYCLED")) << "a file of that name at the root is not in the folder";
  EXPECT_FALSE(IsRecycleBinPath("C:\\RECYCLE\\x"));
  EXPECT_FALSE(IsRecycleBinPath(""));
}

TEST_F(RestoreTest, RecycledFolderDeeperDownAsksNothing) {
  std::string stored = StoreFile(D("Data\\RECYCLED\\x"), "D1", "x");
  ui.answers = {false};

  Report r = RestoreItems({Entry(D("Data\\RECYCLED\\x"), stored)});

  EXPECT_TRUE(ui.asked.empty());
  EXPECT_EQ(Slurp(D("Data\\RECYCLED\\x")), "x");
  EXPECT_TRUE(r.AllDone());
}

TEST_F(RestoreTest, EmptyListDoesNothingAtAll) {
  // A dead record and an index without CR LF endings: any prune would
  // rewrite the file.
  std::ofstream(HostPath(DS("info.shr")), std::ios::binary) << Own("D:\\gone.txt\nD:\\VAPORIZE\\D9.txt");
  ui.answers = {true};

  Report r = RestoreItems({});

  EXPECT_TRUE(r.Items().empty());
  EXPECT_TRUE(ui.asked.empty());
  EXPECT_EQ(Index(), Own("D:\\gone.txt\nD:\\VAPORIZE\\D9.txt"));
  if (kIconsObservable) {
    EXPECT_EQ(g_iconUpdates, 0);
  }
}

TEST_F(RestoreTest, StoredFileRemovedByOtherMeansIsReportedAndPruned) {
  std::string gone = StoreFile(D("Work\\gone.txt"), "D1.txt", "gone");
  std::string kept = StoreFile(D("Work\\kept.txt"), "D2.txt", "kept");
  ASSERT_TRUE(Plat().RemoveFile(gone));
  MakeFile(D("Work\\gone.txt"), "the user's own file");

  Report r = RestoreItems({Entry(D("Work\\gone.txt"), gone), Entry(D("Work\\kept.txt"), kept)});

  EXPECT_TRUE(ui.replaceAsked.empty()) << "nothing to put in its place, so nothing to ask";
  EXPECT_EQ(Slurp(D("Work\\gone.txt")), "the user's own file");
  EXPECT_EQ(Slurp(D("Work\\kept.txt")), "kept");
  EXPECT_EQ(Index(), "") << "the dead record is pruned";
  const ItemReport* g = r.Find(D("Work\\gone.txt"));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->outcome, Outcome::Failed);
  EXPECT_NE(g->detail.find("no longer exists"), std::string::npos) << g->detail;
}

TEST_F(RestoreTest, StoredPathOutsideAStoreIsNeverMoved) {
  MakeFile(D("Work\\victim.txt"), "not stored");
  AppendRecord(D("Elsewhere\\victim.txt"), D("Work\\victim.txt"));
  MakeFile(DS("D1.txt"), "stored");

  Report r = RestoreItems({Entry(D("Elsewhere\\victim.txt"), D("Work\\victim.txt")),
                           Entry(D("Elsewhere\\up.txt"), DS("..\\Work\\victim.txt")),
                           Entry("relative.txt", DS("D1.txt"))});

  EXPECT_EQ(Slurp(D("Work\\victim.txt")), "not stored");
  EXPECT_FALSE(PathExists(D("Elsewhere")));
  EXPECT_EQ(Slurp(DS("D1.txt")), "stored");
  EXPECT_EQ(r.Count(Outcome::Failed), 3u);
}

TEST_F(RestoreTest, EntriesAreTrimmedFromIdentifiers) {
  ShredItemId id = MakeId("  " + D("Work\\a.txt") + "\t", " " + DS("D1.txt") + "\r\n", "Text", 9);
  RestoreEntry e = MakeRestoreEntry(id);
  EXPECT_EQ(e.originalPath, D("Work\\a.txt"));
  EXPECT_EQ(e.storedPath, DS("D1.txt"));
  EXPECT_EQ(e.iconIndex, 9);
}

TEST_F(RestoreTest, FileDateIsLocalAtTwoSecondsAndZeroForFoldersAndMissingPaths) {
  MakeFile(D("t.txt"), "t");
  SetWriteTime(D("t.txt"), {2001, 5, 5, 12, 0, 3});
  CivilTime t = GetFileDate(D("t.txt"));
  EXPECT_EQ(t, *TruncateToDos(Plat().ToLocal({2001, 5, 5, 12, 0, 3})));
  EXPECT_EQ(t.second, 2);
  MakeDir(D("dir"));
  EXPECT_EQ(GetFileDate(D("dir")), kZeroDate);
  EXPECT_EQ(GetFileDate(D("missing.txt")), kZeroDate);
  EXPECT_EQ(ByteCountText(D("t.txt")), "1 bytes");
  EXPECT_EQ(ByteCountText(D("dir")), "(folder)");
  EXPECT_EQ(ByteCountText(D("missing.txt")), "(not available)");
  EXPECT_EQ(ModifiedText(D("missing.txt"), ", "), "");
}

}  // namespace
}  // namespace vz::test
