#include "engine/batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/report.h"
#include "common/report_text.h"
#include "common/ui.h"
#include "engine/link_support.h"
#include "engine/overwrite.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "store/store.h"
#include "support/drives.h"
#include "support/recording_platform.h"
#include "support/scripted_ui.h"
#include "support/shared_values.h"

namespace vz::test {
namespace {

constexpr char kCaution[] =
    "Caution: You are about to vaporize one or more items.\r\r"
    "Once items are vaporized, there is no way to restore them.\r\r"
    "Are you completely sure that you want to permanently delete ";

class CountingUi : public ScriptedUi {
 public:
  int pumps = 0;
  std::vector<std::string> events;
  void ProgressFile(std::size_t i, const std::string& d) override {
    ScriptedUi::ProgressFile(i, d);
    events.push_back("file " + d);
  }
  void ProgressFilesDone(std::size_t done) override {
    ScriptedUi::ProgressFilesDone(done);
    events.push_back("done " + std::to_string(done));
  }
  void ProcessMessages() override {
    ++pumps;
    events.push_back("pump");
  }
};

ShredOptions Options(std::uint16_t passes, bool deleteAfter, std::uint8_t fill, bool progress) {
  return ShredOptions{passes, static_cast<std::uint8_t>(deleteAfter), fill, static_cast<std::uint8_t>(progress)};
}

std::string Content(std::size_t n, char first) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(first + i % 23);
  return s;
}

class BatchTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    EnsureStores();
  }
  CountingUi ui;

  const ItemReport* Item(const Report& r, const std::string& path) {
    const ItemReport* i = r.Find(path);
    EXPECT_NE(i, nullptr) << "no report for " << path;
    return i;
  }
};

TEST_F(BatchTest, TheCautionQuestionIsAskedWordForWordWithTheInputCount) {
  MakeFile(D("tree\\a.txt"), "a");
  MakeFile(D("tree\\sub\\b.txt"), "b");
  MakeFile(D("tree\\sub\\c.txt"), "c");
  MakeFile(D("loose.txt"), "l");
  ScopedUi scoped(ui);
  VaporizeBatch({D("tree"), D("loose.txt")}, BatchEntries::Paths);
  ASSERT_EQ(ui.asked.size(), 1u);
  EXPECT_EQ(ui.asked[0].kind, Question::Caution);
  EXPECT_EQ(ui.asked[0].title, "Please use caution");
  EXPECT_EQ(ui.asked[0].text, std::string(kCaution) + "2 item(s) ?") << "input entries, not files found";
  EXPECT_EQ(ui.asked[0].text.find('\n'), std::string::npos);
}

TEST_F(BatchTest, AnEmptyListOrTheAnswerNoChangesNothing) {
  MakeFile(D("doc.txt"), "keep me");
  MakeFile(DS("info.shr"), Own("D:\\old.txt\r\nD:\\VAPORIZE\\D9.txt\r\n"));
  ui.answers = {false};
  RecordingPlatform rec;
  ScopedPlatform use(rec);
  ScopedUi scoped(ui);
  EXPECT_TRUE(VaporizeBatch({}, BatchEntries::StoredItems).Items().empty());
  EXPECT_TRUE(ui.asked.empty()) << "an empty list asks nothing";
  Report r = VaporizeBatch({D("doc.txt")}, BatchEntries::Paths);
  EXPECT_EQ(ui.asked.size(), 1u);
  EXPECT_EQ(Slurp(D("doc.txt")), "keep me");
  EXPECT_EQ(Slurp(DS("info.shr")), Own("D:\\old.txt\r\nD:\\VAPORIZE\\D9.txt\r\n")) << "no prune";
  EXPECT_EQ(rec.Count("UpdateIcon"), 0u);
  EXPECT_EQ(rec.Count("KvWriteDword"), 0u) << "settings are not even read";
  EXPECT_EQ(ui.begun, 0);
  const ItemReport* i = Item(r, D("doc.txt"));
  ASSERT_NE(i, nullptr);
  EXPECT_EQ(i->outcome, Outcome::Skipped);
  EXPECT_NE(i->detail.find("No"), std::string::npos);
}

TEST_F(BatchTest, AFolderOfThreeFilesInTwoLevelsGoesCompletely) {
  MakeFile(DS("D1\\one.txt"), Content(3000, 'a'));
  MakeFile(DS("D1\\inner\\two.txt"), Content(10, 'b'));
  MakeFile(DS("D1\\inner\\three.txt"), "");
  MakeFile(DS("info.shr"), Own("D:\\Work\\Old\r\nD:\\VAPORIZE\\D1\r\n"));
  RecordingPlatform rec;
  ScopedPlatform use(rec);
  ScopedUi scoped(ui);
  Report r = VaporizeBatch({DS("D1")}, BatchEntries::StoredItems);
  const std::vector<std::string> ops = rec.Ops("");
  EXPECT_EQ(ui.asked.at(0).text, std::string(kCaution) + "1 item(s) ?");
  EXPECT_FALSE(PathExists(DS("D1")));
  EXPECT_TRUE(r.AllDone());
  EXPECT_EQ(r.Count(Outcome::Done), 5u) << "three files and two folders";
  // Deepest first, and only once it was empty.
  std::vector<std::string> removed;
  for (const auto& c : rec.CallsOf("Delete"))
    if (c.path.find(".txt") == std::string::npos && c.path.find("info.shr") == std::string::npos) removed.push_back(c.path);
  // The item was claimed first: out of the list under a name of its own.
  EXPECT_EQ(removed, (std::vector<std::string>{DS("~D1\\inner"), DS("~D1")}));
  EXPECT_EQ(Item(r, DS("D1"))->outcome, Outcome::Done) << "reported under the caller's name";
  EXPECT_EQ(Slurp(DS("info.shr")), "") << "the dead record is pruned";
  EXPECT_EQ(rec.Count("UpdateIcon"), 1u);
  ASSERT_FALSE(ops.empty());
  EXPECT_EQ(ops.back(), "UpdateIcon") << "the icon is refreshed last, after the prune";
  EXPECT_EQ(rec.Count("CreateNew", "info.shr.~"), 1u) << "the index replaced once, by a new file";
}

// The calls that open, write, flush, cut and delete files whose path holds
// `part`, each run of writes as one step. In the outline, opens are left
// out and every run of one kind is one step (cutting and deleting are "Cut").
std::vector<std::string> Steps(const RecordingPlatform& rec, const std::string& part, bool outline = false) {
  std::vector<std::string> seq;
  for (std::string op : rec.Ops(part)) {
    if (outline && (op == "Truncate" || op == "SetTimes" || op == "Delete")) op = "Cut";
    if ((op != "OpenExclusive" || outline) && op != "WriteAt" && op != "Flush" && op != "Truncate" &&
        op != "SetTimes" && op != "Delete" && op != "Cut")
      continue;
    if (seq.empty() || seq.back() != op || (op != "WriteAt" && !outline)) seq.push_back(op);
  }
  return seq;
}

// Where in the calls the n-th call of `op` on a path holding `part` is.
std::size_t At(const RecordingPlatform& rec, const std::string& op, const std::string& part, std::size_t n = 0) {
  for (std::size_t i = 0; i < rec.calls.size(); ++i)
    if (rec.calls[i].op == op && rec.calls[i].path.find(part) != std::string::npos && n-- == 0) return i;
  return rec.calls.size();
}

TEST_F(BatchTest, EveryPassOfEveryFileIsFlushedBeforeItsNextPassAndBeforeAnythingIsCut) {
  const std::vector<std::string> names{"a.bin", "b.bin", "c.bin", "d.bin"};
  for (std::size_t i = 0; i < names.size(); ++i) MakeFile(D("G\\" + names[i]), Content(3000 + 1000 * i, 'x'));
  RecordingPlatform rec;
  rec.FailOn("Flush", "c.bin", 1);  // its second pass does not reach the device
  ScopedPlatform use(rec);
  ScopedUi scoped(ui);
  ShredOptions o = Options(3, true, 0, false);
  Report r = VaporizeBatch({D("G")}, BatchEntries::Paths, &o);

  for (const auto& name : names) {
    const int passes = name == "c.bin" ? 2 : 3;
    std::vector<std::string> expected{"OpenExclusive"};
    for (int k = 0; k < passes; ++k) expected.insert(expected.end(), {"WriteAt", "Flush"});
    if (name != "c.bin") expected.insert(expected.end(), {"Truncate", "SetTimes", "Delete"});
    EXPECT_EQ(Steps(rec, name), expected) << name << ": held open from its first pass to its last flush";
  }
  // Pass k of all of them, then their flushes, then pass k + 1; nothing is
  // cut before the last flush.
  EXPECT_EQ(Steps(rec, D("G\\"), true), (std::vector<std::string>{"WriteAt", "Flush", "WriteAt", "Flush", "WriteAt", "Flush", "Cut"}));
  EXPECT_EQ(rec.Count("Flush"), 11u);

  EXPECT_EQ(GetItemSize(D("G\\c.bin")), 5000) << "not cut";
  const ItemReport* c = Item(r, D("G\\c.bin"));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->outcome, Outcome::Failed);
  EXPECT_NE(c->detail.find("pass 2 of 3 failed (the overwritten content could not be flushed"), std::string::npos)
      << c->detail;
  EXPECT_EQ(Item(r, D("G"))->outcome, Outcome::Skipped) << "its folder stays with it";
  for (const auto& name : {"a.bin", "b.bin", "d.bin"}) EXPECT_FALSE(PathExists(D("G\\") + name));

  auto times = rec.CallsOf("SetTimes", "a.bin");
  ASSERT_EQ(times.size(), 1u);
  const CivilTime stamp{1990, 1, 1, 12, 12, 12};
  EXPECT_EQ(times[0].created, stamp);
  EXPECT_EQ(times[0].accessed, stamp);
  EXPECT_EQ(times[0].written, stamp);
}

TEST_F(BatchTest, AGroupIsBoundedByFilesAndByBytesSoNoFileWaitsForManyOthers) {
  std::vector<std::string> list;
  RecordingPlatform rec;  // groups of the size where each file is flushed on its own
  const std::size_t group = rec.FlushGroupFiles();
  for (std::size_t i = 0; i <= group; ++i) {
    list.push_back(D("s\\f" + std::to_string(i) + ".txt"));
    MakeFile(list.back(), "x");
  }
  MakeFile(D("s\\last.txt"), "y");
  rec.AddVirtualFile(D("big.bin"), kFlushGroupBytes + 1);
  ScopedPlatform use(rec);
  ScopedUi scoped(ui);
  list.insert(list.end(), {D("big.bin"), D("s\\last.txt")});
  ShredOptions o = Options(1, true, 0, false);
  EXPECT_TRUE(VaporizeBatch(list, BatchEntries::Paths, &o).AllDone());
  const std::string beyond = "\\f" + std::to_string(group) + ".txt";
  EXPECT_GT(At(rec, "Delete", ""), At(rec, "Flush", "", group - 1));
  EXPECT_LT(At(rec, "Delete", ""), At(rec, "WriteAt", beyond)) << "a full group goes before the next starts";
  EXPECT_LT(At(rec, "Delete", beyond), At(rec, "WriteAt", "big.bin")) << "a large file has a group of its own";
  EXPECT_LT(At(rec, "Delete", "big.bin"), At(rec, "WriteAt", "last.txt"));
  EXPECT_EQ(rec.Count("Flush"), group + 3);
}

TEST_F(BatchTest, APassWhoseFlushFailsLeavesTheFileAndItsFolder) {
  MakeFile(D("Work\\F\\bad.bin"), Content(4000, 'q'));
  MakeFile(D("Work\\F\\good.bin"), Content(4000, 'g'));
  RecordingPlatform rec;
  rec.FailOn("Flush", "bad.bin");
  ScopedPlatform use(rec);
  ScopedUi scoped(ui);
  ShredOptions o = Options(2, true, 0, false);
  Report r = VaporizeBatch({D("Work\\F")}, BatchEntries::Paths, &o);
  EXPECT_TRUE(PathExists(D("Work\\F\\bad.bin")));
  EXPECT_EQ(GetItemSize(D("Work\\F\\bad.bin")), 4000) << "not truncated";
  EXPECT_EQ(rec.Count("Truncate", "bad.bin"), 0u);
  EXPECT_EQ(rec.Count("OpenExclusive", "bad.bin"), 1u) << "no second pass after a failed one";
  EXPECT_FALSE(PathExists(D("Work\\F\\good.bin")));
  EXPECT_TRUE(PathExists(D("Work\\F")));
  const ItemReport* bad = Item(r, D("Work\\F\\bad.bin"));
  ASSERT_NE(bad, nullptr);
  EXPECT_EQ(bad->outcome, Outcome::Failed);
  EXPECT_NE(bad->detail.find("flush"), std::string::npos) << bad->detail;
  const ItemReport* folder = Item(r, D("Work\\F"));
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->outcome, Outcome::Skipped);
}

TEST_F(BatchTest, AFileThatCannotBeOverwrittenIsNeverDeletedWithItsFolder) {
  const std::string held = Content(2048, 'h');
  MakeFile(D("Work\\F\\a.txt"), "a");
  MakeFile(D("Work\\F\\sub\\held.bin"), held);
  MakeFile(D("Work\\F\\sub\\b.txt"), "b");
  MakeFile(D("Work\\F\\other\\c.txt"), "c");
  MakeFile(D("Work\\G.txt"), "after the failure");
  auto holder = Plat().OpenExclusive(D("Work\\F\\sub\\held.bin"));
  ASSERT_NE(holder, nullptr);
  ScopedUi scoped(ui);
  ShredOptions o = Options(1, true, 0, false);
  Report r = VaporizeBatch({D("Work\\F"), D("Work\\G.txt")}, BatchEntries::Paths, &o);
  holder.reset();

  EXPECT_EQ(Slurp(D("Work\\F\\sub\\held.bin")), held) << "left whole, in place";
  EXPECT_FALSE(PathExists(D("Work\\F\\sub\\b.txt")));
  EXPECT_FALSE(PathExists(D("Work\\F\\a.txt")));
  EXPECT_FALSE(PathExists(D("Work\\F\\other"))) << "a clean sibling folder still goes";
  EXPECT_FALSE(PathExists(D("Work\\G.txt"))) << "the loop goes on past a failed file";
  EXPECT_EQ(Item(r, D("Work\\F\\sub\\held.bin"))->outcome, Outcome::Failed);
  EXPECT_EQ(Item(r, D("Work\\F\\sub"))->outcome, Outcome::Skipped);
  EXPECT_EQ(Item(r, D("Work\\F"))->outcome, Outcome::Skipped);
  EXPECT_EQ(Item(r, D("Work\\F\\other"))->outcome, Outcome::Done);
  EXPECT_EQ(r.Count(Outcome::Failed), 1u);
}

// Named streams (on Windows a download's Zone.Identifier with the addresses
// it came from, or documents that programs keep beside a file) get the same
// passes and flushes as the file's content before it is cut, and a folder's
// own before it goes. One that cannot be overwritten holds nothing back;
// the warning names it. Driven through the platform's test double, since
// Wine keeps no named streams.
TEST_F(BatchTest, NamedStreamsGetEveryPassAndFlushBeforeTheCutAndAFailureIsNamed) {
  const struct {
    const char* op;
    const char* on;       // the stream, or the file whose streams are listed
    const char* warning;  // on the file or the folder
  } cases[] = {
      {"", "", ""},
      {"OpenStream", "a.bin:two", "its named stream \"two\" could not be opened"},
      {"WriteAt", "a.bin:one", "its named stream \"one\" was not overwritten completely: writing failed"},
      {"Flush", "a.bin:two", "\"two\" was overwritten, but the overwritten content could not be flushed"},
      {"StreamNames", "a.bin", "its named streams could not be listed"},
      {"OpenStream", "G:own", "its named stream \"own\" could not be opened"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.op) + " " + c.on);
    MakeFile(D("G\\a.bin"), Content(3000, 'a'));
    RecordingPlatform rec;
    rec.AddStream(D("G\\a.bin"), "one", 3000);
    rec.AddStream(D("G\\a.bin"), "two", 20);
    rec.AddStream(D("G"), "own", 5);
    if (*c.op) rec.FailOn(c.op, c.on);
    ScopedPlatform use(rec);
    ScopedUi scoped(ui);
    ShredOptions o = Options(2, true, 0xAB, false);
    Report r = VaporizeBatch({D("G")}, BatchEntries::Paths, &o);
    EXPECT_TRUE(r.AllDone());
    EXPECT_FALSE(PathExists(D("G")));
    const std::string warned = Item(r, D("G\\a.bin"))->warning + " / " + Item(r, D("G"))->warning;
    EXPECT_EQ(warned.find("named stream") != std::string::npos, *c.warning != '\0') << warned;
    EXPECT_NE(warned.find(c.warning), std::string::npos) << warned;
    const std::vector<std::string> full{"WriteAt", "Flush", "WriteAt", "Flush"};
    for (const char* stream : {"a.bin:one", "a.bin:two", "G:own"}) {
      const bool spared = *c.on && std::string(stream).find(c.on) != std::string::npos;
      EXPECT_EQ(Steps(rec, stream) == full, !spared) << stream;
      // The folder goes last of all it held.
      const std::size_t cut = stream[0] == 'G' ? At(rec, "Delete", D("G"), rec.Count("Delete", D("G")) - 1)
                                                : At(rec, "Truncate", "a.bin");
      if (!spared) {
        EXPECT_LT(At(rec, "Flush", stream, 1), cut) << stream << ": flushed before the cut";
      }
    }
    EXPECT_FALSE(rec.virtualBytes.empty());
    EXPECT_TRUE(AllBytesAre(std::string(rec.virtualBytes.begin(), rec.virtualBytes.end()), 0xAB));
  }
}

TEST_F(BatchTest, ZeroPassesStillStampCutAndDelete) {
  MakeFile(D("f.txt"), "abc");
  RecordingPlatform rec;
  ScopedPlatform use(rec);
  ScopedUi scoped(ui);
  ShredOptions o = Options(0, true, 0, false);
  Report r = VaporizeBatch({D("f.txt")}, BatchEntries::Paths, &o);
  EXPECT_TRUE(r.AllDone());
  EXPECT_EQ(rec.Count("WriteAt"), 0u);
  EXPECT_EQ(rec.Count("Truncate", "f.txt"), 1u);
  EXPECT_EQ(rec.Count("SetTimes", "f.txt"), 1u);
  EXPECT_FALSE(PathExists(D("f.txt")));
}

TEST_F(BatchTest, WithoutDeleteGivenFilesStayOverwrittenAndGivenFoldersStillGo) {
  MakeFile(D("keep.bin"), Content(1500, 'k'));
  MakeFile(D("dir\\inside.bin"), Content(700, 'i'));
  MakeFile(D("dir\\deeper\\more.bin"), Content(70, 'm'));
  ScopedUi scoped(ui);
  ShredOptions o = Options(1, false, 0xAA, false);
  Report r = VaporizeBatch({D("keep.bin"), D("dir")}, BatchEntries::Paths, &o);
  std::string kept = Slurp(D("keep.bin"));
  EXPECT_EQ(kept.size(), 1500u);
  EXPECT_TRUE(AllBytesAre(kept, 0xAA));
  EXPECT_FALSE(PathExists(D("dir")));
  EXPECT_EQ(Item(r, D("keep.bin"))->action, "overwritten");
  EXPECT_EQ(r.Count(Outcome::Failed), 0u);
}

TEST_F(BatchTest, ReadOnlyFilesAndFoldersAreVaporizedAndKeepTheAttributeWhenLeft) {
  MakeFile(D("ro.txt"), Content(900, 'r'));
  MakeFile(D("rof\\x.txt"), "x");
  MakeFile(D("stays.txt"), Content(900, 's'));
  for (const char* p : {"ro.txt", "stays.txt"}) ASSERT_TRUE(Plat().SetAttributes(D(p), kAttrReadOnly));
  ASSERT_TRUE(Plat().SetAttributes(D("rof"), kAttrDirectory | kAttrReadOnly));
  RecordingPlatform rec;
  rec.FailOn("WriteAt", "stays.txt");
  ScopedPlatform use(rec);
  ScopedUi scoped(ui);
  ShredOptions o = Options(1, true, 0, false);
  Report r = VaporizeBatch({D("ro.txt"), D("rof"), D("stays.txt")}, BatchEntries::Paths, &o);
  EXPECT_FALSE(PathExists(D("ro.txt")));
  EXPECT_FALSE(PathExists(D("rof")));
  EXPECT_EQ(Item(r, D("stays.txt"))->outcome, Outcome::Failed);
  auto a = Plat().GetAttributes(D("stays.txt"));
  ASSERT_TRUE(a.has_value());
  EXPECT_TRUE(*a & kAttrReadOnly) << "a file left in place keeps its attribute";
}

TEST_F(BatchTest, AStoredFolderHoldingALinkLeavesTheLinkedFolderWhole) {
  MakeFile(D("Documents\\letter.txt"), "Dear reader");
  MakeFile(D("Documents\\sub\\notes.txt"), "notes");
  MakeFile(DS("D1\\mine.txt"), "mine");
  RecordingPlatform rec;
  rec.AddFakeLink(DS("D1\\docs"), D("Documents"), true);
  rec.AddFakeLink(DS("D2.txt"), D("Documents\\letter.txt"), false);
  rec.AddFakeLink(DS("D3"), D("Documents"), true);
  ScopedPlatform use(rec);
  ScopedUi scoped(ui);
  Report r = VaporizeBatch({DS("D1"), DS("D2.txt"), DS("D3\\")}, BatchEntries::Paths);
  EXPECT_EQ(Slurp(D("Documents\\letter.txt")), "Dear reader");
  EXPECT_EQ(Slurp(D("Documents\\sub\\notes.txt")), "notes");
  EXPECT_FALSE(rec.FakeLinkExists(DS("D1\\docs")));
  EXPECT_FALSE(rec.FakeLinkExists(DS("D2.txt")));
  EXPECT_FALSE(rec.FakeLinkExists(DS("D3")));
  EXPECT_EQ(rec.Count("List", "Documents"), 0u);
  EXPECT_EQ(rec.Count("List", "D3"), 0u);
  EXPECT_FALSE(PathExists(DS("D1")));
  EXPECT_EQ(rec.Count("OpenExclusive", "Documents"), 0u);
  EXPECT_EQ(rec.Count("OpenExclusive", "docs"), 0u);
  EXPECT_EQ(rec.Count("OpenExclusive", "D2.txt"), 0u);
  EXPECT_EQ(rec.Count("Truncate", "D2.txt"), 0u);
  EXPECT_TRUE(r.AllDone());
}

TEST_F(BatchTest, HostSymlinksAreRemovedAndTheirTargetsKept) {
  if (!CanMakeSymlinks()) GTEST_SKIP() << "this host makes no symbolic links; the fake-link cases cover it";
  MakeFile(D("Documents\\letter.txt"), "Dear reader");
  MakeFile(D("Documents\\sub\\notes.txt"), "notes");
  MakeFile(DS("D1\\mine.txt"), "mine");
  ASSERT_TRUE(MakeSymlink(D("Documents"), DS("D1\\docs")));
  ASSERT_TRUE(MakeSymlink(D("Documents\\letter.txt"), DS("D2.txt")));
  ASSERT_TRUE(MakeSymlink(D("Documents"), DS("D3")));
  ScopedUi scoped(ui);
  Report r = VaporizeBatch({DS("D1"), DS("D2.txt"), DS("D3\\")}, BatchEntries::Paths);
  EXPECT_EQ(Slurp(D("Documents\\letter.txt")), "Dear reader");
  EXPECT_EQ(Slurp(D("Documents\\sub\\notes.txt")), "notes");
  EXPECT_FALSE(PathExists(DS("D1")));
  EXPECT_FALSE(PathExists(DS("D2.txt")));
  EXPECT_FALSE(PathExists(DS("D3")));
  EXPECT_TRUE(r.AllDone());
}

TEST_F(BatchTest, AHardLinkedFileLosesOnlyItsNameAndTheOtherNameKeepsTheContent) {
  MakeFile(D("keep\\orig.txt"), "shared content");
  MakeDir(DS("D1"));
  ASSERT_TRUE(MakeHardLink(D("keep\\orig.txt"), DS("D1\\twin.txt")));
  ScopedUi scoped(ui);
  ShredOptions o = Options(2, true, 0, false);
  Report r = VaporizeBatch({DS("D1")}, BatchEntries::Paths, &o);
  EXPECT_EQ(Slurp(D("keep\\orig.txt")), "shared content");
  EXPECT_FALSE(PathExists(DS("D1")));
  const ItemReport* twin = Item(r, DS("D1\\twin.txt"));
  ASSERT_NE(twin, nullptr);
  EXPECT_NE(twin->detail.find("not overwritten because other links"), std::string::npos) << twin->detail;
  EXPECT_NE(twin->outcome, Outcome::Done) << "its content was not vaporized";
}

TEST_F(BatchTest, TheProgressShowsOriginalPathsInUpperCaseAndOrphansUnderTheirStoredPath) {
  MakeFile(DS("D1.doc"), "report");
  MakeFile(DS("D2.txt"), "orphan");
  MakeFile(CS("C1.txt"), "on c");
  MakeFile(DS("info.shr"), Own("D:\\Work\\report.doc\r\nD:\\VAPORIZE\\D1.doc\r\n"));
  MakeFile(CS("info.shr"), Own("c:\\Mixed\\Case.txt\r\nC:\\vaporize\\c1.TXT\r\n"));
  ScopedUi scoped(ui);
  ShredOptions o = Options(1, true, 0, true);
  VaporizeBatch({Own("d:\\VAPORIZE\\D1.doc"), DS("D2.txt"), CS("C1.txt")}, BatchEntries::StoredItems, &o);
  EXPECT_EQ(ui.progressFiles, (std::vector<std::string>{"D:\\WORK\\REPORT.DOC", DS("D2.txt"),
                                                        "C:\\MIXED\\CASE.TXT"}));
  EXPECT_EQ(ui.begun, 1);
  EXPECT_EQ(ui.ended, 1);
  EXPECT_EQ(ui.progressTotal, 3u);
  EXPECT_EQ(ui.progressPassCount, 1);
  EXPECT_EQ(ui.filesDone, 3u);
}

TEST_F(BatchTest, TheDisplayLookupTakesTheFirstMatchingLineAndNeverTheVeryFirst) {
  MakeFile(DS("D1.txt"), "1");
  MakeFile(DS("D2.txt"), "2");
  // D1.txt heads the combined lines; D2.txt is recorded twice.
  MakeFile(CS("info.shr"), "");
  MakeFile(DS("info.shr"),
           Own("D:\\VAPORIZE\\D1.txt\r\nD:\\x\r\nD:\\first.txt\r\nD:\\VAPORIZE\\D2.txt\r\n"
           "D:\\second.txt\r\nD:\\VAPORIZE\\D2.txt\r\n"));
  ScopedUi scoped(ui);
  ShredOptions o = Options(1, true, 0, true);
  VaporizeBatch({DS("D1.txt"), DS("D2.txt")}, BatchEntries::StoredItems, &o);
  EXPECT_EQ(ui.progressFiles, (std::vector<std::string>{DS("D1.txt"), "D:\\FIRST.TXT"}));
}

TEST_F(BatchTest, MessagesRunBetweenFiles) {
  MakeFile(D("a.txt"), "a");
  MakeFile(D("b.txt"), "b");
  ScopedUi scoped(ui);
  ShredOptions o = Options(1, true, 0, true);
  VaporizeBatch({D("a.txt"), D("b.txt")}, BatchEntries::Paths, &o);
  EXPECT_EQ(ui.events, (std::vector<std::string>{"pump", "file " + D("a.txt"), "pump", "file " + D("b.txt"), "pump",
                                                 "done 1", "pump", "done 2", "pump"}))
      << "without the display flag the paths themselves are shown";
  EXPECT_EQ(ui.progressPasses, (std::vector<int>{1})) << "one flush for the pass of both";
}

TEST_F(BatchTest, WithoutOptionsTheSettingsDecideAndDefaultsAreWrittenBack) {
  MakeFile(D("a.txt"), "a");
  RecordingPlatform rec;
  ScopedPlatform use(rec);
  ScopedUi scoped(ui);
  VaporizeBatch({D("a.txt")}, BatchEntries::Paths);
  EXPECT_EQ(rec.Count("Flush", "a.txt"), 1u) << "one pass on a fresh account";
  EXPECT_EQ(ui.begun, 1) << "with the progress display";
  EXPECT_EQ(Plat().KvRead(kSettingsKey, "ShredCount").dword, 1u);
  EXPECT_EQ(Plat().KvRead(kSettingsKey, "ShowIndicator").dword, 1u);

  ASSERT_TRUE(Plat().KvWriteDword(kSettingsKey, "ShredCount", 25));
  ASSERT_TRUE(Plat().KvWriteDword(kSettingsKey, "ShowIndicator", 0));
  MakeFile(D("b.txt"), "b");
  VaporizeBatch({D("b.txt")}, BatchEntries::Paths);
  EXPECT_EQ(rec.Count("Flush", "b.txt"), 25u) << "the stored count, unchanged";
  EXPECT_EQ(ui.begun, 1) << "no progress display this time";
  EXPECT_FALSE(PathExists(D("b.txt")));

  // A count outside 1 to 65535 never turns vaporizing into a plain delete:
  // one pass, and the report says why.
  for (std::uint32_t bad : {0u, 65536u}) {
    ASSERT_TRUE(Plat().KvWriteDword(kSettingsKey, "ShredCount", bad));
    MakeFile(D("c.txt"), "c");
    const std::size_t before = rec.Count("Flush", "c.txt");
    Report r = VaporizeBatch({D("c.txt")}, BatchEntries::Paths);
    ASSERT_EQ(rec.Count("Flush", "c.txt") - before, 1u) << bad;
    EXPECT_EQ(Item(r, D("c.txt"))->action, "vaporized");
    ASSERT_EQ(r.Notes().size(), 1u);
    EXPECT_EQ(r.Notes()[0], "ShredCount in the settings is " + std::to_string(bad) +
                                ", outside 1 to 65535; 1 is used instead");
  }
}

TEST_F(BatchTest, AnOptionsRecordReplacesAllFourValues) {
  ASSERT_TRUE(Plat().KvWriteDword(kSettingsKey, "ShredCount", 5));
  ASSERT_TRUE(Plat().KvWriteDword(kSettingsKey, "ShowIndicator", 1));
  MakeFile(D("a.bin"), Content(3000, 'z'));
  RecordingPlatform rec;
  ScopedPlatform use(rec);
  ScopedUi scoped(ui);
  ShredOptions o = Options(2, false, 0x5A, false);
  VaporizeBatch({D("a.bin")}, BatchEntries::Paths, &o);
  EXPECT_EQ(rec.Count("Flush", "a.bin"), 2u);
  EXPECT_EQ(ui.begun, 0);
  EXPECT_TRUE(AllBytesAre(Slurp(D("a.bin")), 0x5A));
  EXPECT_EQ(rec.Count("KvRead", "ShredCount") + rec.Count("KvRead", "ShowIndicator"), 0u)
      << "the four values are not read when a record is given";
}

TEST_F(BatchTest, AFolderGivenBesideItsParentIsHandledOnceAndMissingNamesHoldNothingBack) {
  MakeFile(D("A\\B\\x.txt"), "x");
  MakeFile(D("A\\y.txt"), "y");
  ScopedUi scoped(ui);
  ShredOptions o = Options(1, true, 0, false);
  Report r = VaporizeBatch({D("A\\B"), D("A"), D("A\\y.txt"), D("A\\nothing.txt")}, BatchEntries::Paths, &o);
  EXPECT_FALSE(PathExists(D("A")));
  EXPECT_EQ(r.Count(Outcome::Failed), 0u);
  EXPECT_EQ(Item(r, D("A\\nothing.txt"))->outcome, Outcome::Skipped) << "named, and no reason to keep A";
}

TEST_F(BatchTest, AFileThatCannotBeDeletedKeepsItsFolderAndTheLoopGoesOn) {
  MakeFile(D("A\\stuck.txt"), "s");
  MakeFile(D("A\\free.txt"), "f");
  MakeFile(D("later.txt"), "l");
  RecordingPlatform rec;
  rec.FailOn("Delete", "stuck.txt");
  ScopedPlatform use(rec);
  ScopedUi scoped(ui);
  ShredOptions o = Options(1, true, 0, false);
  Report r = VaporizeBatch({D("A"), D("later.txt")}, BatchEntries::Paths, &o);
  EXPECT_TRUE(PathExists(D("A\\stuck.txt")));
  EXPECT_FALSE(PathExists(D("A\\free.txt")));
  EXPECT_FALSE(PathExists(D("later.txt")));
  EXPECT_EQ(Item(r, D("A\\stuck.txt"))->outcome, Outcome::Failed);
  EXPECT_EQ(Item(r, D("A"))->outcome, Outcome::Skipped);
}

// Cancel stops between passes and between files: what no pass reached goes
// back into the list whole, what a pass reached stays out of it, named.
TEST_F(BatchTest, CancelStopsBetweenPassesAndFilesAndLeavesWholeItemsListed) {
  MakeFile(DS("D1.txt"), Content(3000, 'a'));
  MakeFile(DS("D2.txt"), Content(100, 'b'));
  MakeFile(DS("info.shr"), Own("D:\\W\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\nD:\\W\\b.txt\r\nD:\\VAPORIZE\\D2.txt\r\n"));
  ScopedUi scoped(ui);
  ui.cancel = [this] { return !ui.progressFiles.empty(); };  // pressed while the first file's first pass ran
  ShredOptions o = Options(3, true, 0, true);
  Report r = VaporizeStoredItems({{"D:\\W\\a.txt", DS("D1.txt")}, {"D:\\W\\b.txt", DS("D2.txt")}}, &o);
  EXPECT_EQ(ui.progressPasses, (std::vector<int>{1})) << "no second pass";
  const ItemReport* a = Item(r, DS("D1.txt"));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->outcome, Outcome::Failed);
  std::string told = ProblemText(r, "vaporized");
  EXPECT_NE(told.find("cancelled after pass 1 of 3"), std::string::npos) << told;
  EXPECT_NE(told.find("partly vaporized; what is left of it is D:\\VAPORIZE\\"), std::string::npos) << told;
  EXPECT_EQ(told.find("D2.txt"), std::string::npos) << "the whole one is no problem of the user's";
  EXPECT_TRUE(Item(r, DS("D2.txt"))->declined);
  EXPECT_EQ(Slurp(DS("D2.txt")), Content(100, 'b'));
  EXPECT_EQ(Slurp(DS("info.shr")), Own("D:\\W\\b.txt\r\nD:\\VAPORIZE\\D2.txt\r\n"));
}

}  // namespace
}  // namespace vz::test
