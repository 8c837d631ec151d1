// Every operation that changes the stores, run again and again with the
// n-th call of one kind failing (open, write, flush, move, delete, search;
// once, or from then on), for every n up to the first run that never
// reaches it. Whatever fails, no user item may vanish or sit in a store
// unseen, no record may show an item under another item's name, and the
// report must name what did not happen.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/text.h"
#include "engine/batch.h"
#include "fault/fault_platform.h"
#include "fault/store_audit.h"
#include "platform/platform.h"
#include "store/enum_shred.h"
#include "store/send.h"
#include "store/store.h"
#include "support/drives.h"
#include "support/scripted_ui.h"
#include "window/restore.h"

namespace vz::test {
namespace {

struct TestItem {
  std::string original;
  bool folder = false;
};

const std::vector<std::string> kFolderParts = {"x.txt", "sub\\y.txt"};
const TestItem kA{"D:\\Work\\a.txt"};
const TestItem kB{"D:\\Work\\b.doc"};
const TestItem kF{"D:\\Work\\Folder", true};
const TestItem kOld{"D:\\Old\\a.txt"};   // sent before the operation under test
const TestItem kKeep{"D:\\Keep\\k.txt"};  // never given to anything
const char* const kExisting = "existing D:\\Work\\b.doc";

std::string Join(const std::string& base, const std::string& part) { return part.empty() ? base : base + "\\" + part; }

// A related report entry: the path itself, or something beneath it.
bool Related(const std::string& reported, const std::string& path) {
  return EqualsNoCase(reported, path) || StartsWithNoCase(reported, path + "\\") ||
         StartsWithNoCase(path, reported + "\\");
}
bool ReportsTrouble(const Report& r, const std::string& path) {
  for (const auto& i : r.Items())
    if (i.outcome != Outcome::Done && Related(i.path, path)) return true;
  return false;
}
const ItemReport* DoneEntry(const Report& r, const std::string& path) {
  for (const auto& i : r.Items())
    if (i.outcome == Outcome::Done && EqualsNoCase(i.path, path)) return &i;
  return nullptr;
}
std::string Dump(const Report& r) {
  std::string s;
  for (const auto& i : r.Items()) {
    s += "  " + i.path + ": " + (i.outcome == Outcome::Done ? i.action : i.outcome == Outcome::Failed ? "FAILED" : "SKIPPED");
    if (!i.detail.empty()) s += " (" + i.detail + ")";
    if (!i.target.empty()) s += " -> " + i.target;
    s += "\n";
  }
  return s;
}
std::string Dump(const Audit& a) {
  std::string s = "  shown:\n";
  for (const auto& i : a.shown) s += "    " + i.original + " -> " + i.stored + "\n";
  s += "  files:\n";
  for (const auto& m : a.markers) s += "    " + m.location + " holds " + m.original + "|" + m.part + "\n";
  for (const auto& u : a.unshownStoreEntries) s += "  unseen in a store: " + u + "\n";
  return s;
}

// Where an item's files are after the operation.
enum class Place { Original, Stored, Gone, Partly };
struct Located {
  Place place = Place::Gone;
  std::string storedTop;
  std::vector<std::string> problems;
};

Located Locate(const Audit& a, const TestItem& item) {
  Located out;
  std::vector<FoundMarker> found = a.Of(item.original);
  if (found.empty()) return out;
  const std::size_t parts = item.folder ? kFolderParts.size() : 1;
  int atOriginal = 0, inStore = 0;
  for (const auto& m : found) {
    std::string top = StoreTopOf(m.location);
    if (top.empty()) {
      if (EqualsNoCase(m.location, Join(item.original, m.part)))
        ++atOriginal;
      else
        out.problems.push_back(item.original + ": a file of it is at an unexpected place: " + m.location);
      continue;
    }
    ++inStore;
    if (!out.storedTop.empty() && !EqualsNoCase(out.storedTop, top))
      out.problems.push_back(item.original + ": its files are in two stored items");
    out.storedTop = top;
    if (!EqualsNoCase(m.location, Join(top, m.part)))
      out.problems.push_back(item.original + ": a file of it is at an unexpected place in the store: " + m.location);
    const ShownItem* shown = a.ShownAt(top);
    if (!shown)
      out.problems.push_back(item.original + ": it sits in the store as " + top + " but no item shows it");
    else if (Trim(shown->original) != item.original)
      out.problems.push_back(top + " holds " + item.original + " but is shown as " + shown->original);
  }
  if (atOriginal && inStore) out.problems.push_back(item.original + ": split between its place and the store");
  bool whole = found.size() == parts;
  out.place = !whole ? Place::Partly : inStore ? Place::Stored : Place::Original;
  return out;
}

constexpr int kMaxCalls = 5000;
const ShredOptions kOnePass{1, 1, 0, 0};

class FaultInjectionTest : public DrivesTest {
 protected:
  // A fresh set of drives for the next run.
  void Fresh() {
    DrivesTest::TearDown();
    DrivesTest::SetUp();
  }

  static void MakeItem(const TestItem& i) {
    if (!i.folder) return MakeFile(i.original, MarkerContent(i.original, ""));
    for (const auto& p : kFolderParts) MakeFile(Join(i.original, p), MarkerContent(i.original, p));
  }

  static void RemoveReal(const std::string& path) { ASSERT_TRUE(Plat().RemoveFile(path)) << path; }

  // Puts items into D:'s store as sending would leave them (names, files,
  // records), without the moves, which are slow under Wine and not what is
  // on trial in these runs. Returns their stored paths.
  static std::vector<std::string> StoreReal(const std::vector<TestItem>& items) {
    std::vector<std::string> stored;
    std::map<std::string, int> numbers;
    std::string index;
    for (const auto& i : items) {
      std::string ext = i.folder ? std::string() : ExtensionOf(i.original);
      std::string path = "D:\\VAPORIZE\\D" + std::to_string(++numbers[ToUpper(ext)]) + ext;
      if (!i.folder) MakeFile(path, MarkerContent(i.original, ""));
      for (const auto& p : i.folder ? kFolderParts : std::vector<std::string>{})
        MakeFile(Join(path, p), MarkerContent(i.original, p));
      index += FormatRecord(i.original, path);
      stored.push_back(path);
    }
    MakeFile(IndexPathOf('D'), index);
    return stored;
  }

  // Runs `operate` under every fault, after `prepare`, and `verify` after
  // each run. `kinds` are the kinds the operation must be seen to use.
  void Sweep(const std::function<void()>& prepare, const std::function<Report()>& operate,
             const std::function<void(const Report&, const Audit&)>& verify, std::vector<FaultKind> kinds) {
    int faultedRuns = 0;
    std::map<FaultKind, int> callsOfKind;
    for (FaultKind kind : kAllKinds) {
      for (FaultMode mode : {FaultMode::Once, FaultMode::FromThenOn}) {
        for (int n = 1; n <= kMaxCalls; ++n) {
          Fresh();
          prepare();
          if (HasFatalFailure()) return;
          FaultPlatform faults(kind, n, mode);
          ScriptedUi ui;
          Report report;
          {
            ScopedPlatform use(faults);
            ScopedUi scope(ui);
            report = operate();
          }
          Audit audit = TakeAudit();
          std::string failed;
          for (const auto& f : faults.Failed()) failed += "  " + f + "\n";
          SCOPED_TRACE(std::string("fault: ") + KindName(kind) + " call " + std::to_string(n) + ", " +
                       ModeName(mode) + "\nfailed calls:\n" + failed + "report:\n" + Dump(report) +
                       "drives:\n" + Dump(audit));
          verify(report, audit);
          if (HasFailure()) return;  // the first failing case is the one to read
          if (!faults.Hit()) {
            callsOfKind[kind] = faults.Calls();
            break;
          }
          ++faultedRuns;
        }
      }
    }
    std::string calls;
    for (const auto& c : callsOfKind) calls += std::string(" ") + KindName(c.first) + " " + std::to_string(c.second);
    std::printf("  %d runs met their fault; calls of each kind in a run without one:%s\n", faultedRuns, calls.c_str());
    for (FaultKind k : kinds) EXPECT_GT(callsOfKind[k], 0) << "the operation never made a " << KindName(k) << " call";
    EXPECT_GE(faultedRuns, static_cast<int>(kinds.size())) << "too few runs met their fault";
  }

  // Items that must be untouched.
  static void ExpectUntouched(const Audit& a, const TestItem& item) {
    Located l = Locate(a, item);
    EXPECT_EQ(l.place, Place::Original) << item.original << " was never given, yet it moved or vanished";
  }
  static void ExpectStoredAndShown(const Audit& a, const TestItem& item, const std::string& stored) {
    Located l = Locate(a, item);
    for (const auto& p : l.problems) ADD_FAILURE() << p;
    EXPECT_EQ(l.place, Place::Stored) << item.original;
    EXPECT_TRUE(EqualsNoCase(l.storedTop, stored)) << item.original << " is at " << l.storedTop;
  }
  static void ExpectNoOrphans(const Audit& a, const std::vector<std::string>& allowed = {}) {
    for (const auto& u : a.unshownStoreEntries) {
      bool ok = false;
      for (const auto& x : allowed) ok = ok || EqualsNoCase(u, x);
      EXPECT_TRUE(ok) << u << " sits in a store but the Vaporizer shows no item for it";
    }
  }

  // A stored item given to a batch: gone and reported done, or still there
  // with its record and the trouble reported.
  static void ExpectVaporizedOrKept(const Report& r, const Audit& a, const TestItem& item, const std::string& stored) {
    Located l = Locate(a, item);
    for (const auto& p : l.problems) ADD_FAILURE() << p;
    if (!Exists(stored)) {
      EXPECT_TRUE(l.place == Place::Gone) << item.original << ": its files left the store without being vaporized";
      EXPECT_NE(DoneEntry(r, stored), nullptr) << stored << " is gone but the report does not say so";
      return;
    }
    EXPECT_TRUE(l.place != Place::Original) << item.original << " came out of the store";
    const ShownItem* shown = a.ShownAt(stored);
    EXPECT_TRUE(shown && Trim(shown->original) == item.original)
        << stored << " is still in the store but lost its record";
    EXPECT_TRUE(ReportsTrouble(r, stored)) << stored << " is still there but the report names no failure";
    EXPECT_EQ(DoneEntry(r, stored), nullptr) << stored << " is reported done but is still there";
  }
};

TEST_F(FaultInjectionTest, SendingNeverHidesAnItemNorRecordsItUnderAnotherName) {
  const std::string removable = "E:\\gone.txt";
  Sweep(
      [&] {
        EnsureStores();
        StoreReal({kOld});
        MakeItem(kA);
        MakeItem(kB);
        MakeItem(kF);
        MakeItem(kKeep);
        MakeFile(removable, MarkerContent(removable, ""));
      },
      [&] { return SendToStore({kA.original, kB.original, kF.original, removable}, kSendQuietly).report; },
      [&](const Report& r, const Audit& a) {
        ExpectStoredAndShown(a, kOld, "D:\\VAPORIZE\\D1.txt");
        ExpectUntouched(a, kKeep);
        for (const TestItem& item : {kA, kB, kF}) {
          Located l = Locate(a, item);
          for (const auto& p : l.problems) ADD_FAILURE() << p;
          if (l.place == Place::Stored) {
            const ItemReport* done = DoneEntry(r, item.original);
            EXPECT_TRUE(done && EqualsNoCase(done->target, l.storedTop))
                << item.original << " was stored as " << l.storedTop << " but the report does not say so";
          } else {
            EXPECT_EQ(l.place, Place::Original) << item.original << " is neither in its place nor in the store";
            EXPECT_TRUE(ReportsTrouble(r, item.original)) << item.original << " stayed but no failure is reported";
            EXPECT_EQ(DoneEntry(r, item.original), nullptr) << item.original << " stayed but is reported sent";
          }
        }
        // Items on a drive without a store are destroyed at once, or stay and are named.
        if (Exists(removable)) EXPECT_TRUE(ReportsTrouble(r, removable));
        else EXPECT_NE(DoneEntry(r, removable), nullptr);
        ExpectNoOrphans(a);
      },
      {FaultKind::Open, FaultKind::Write, FaultKind::Flush, FaultKind::Move, FaultKind::Delete, FaultKind::Search});
}

TEST_F(FaultInjectionTest, VaporizingLeavesWhatItCouldNotDestroyRecordedAndNamed) {
  std::vector<std::string> stored;
  Sweep(
      [&] {
        EnsureStores();
        stored = StoreReal({kA, kB, kF});
        MakeItem(kKeep);
      },
      [&] { return VaporizeBatch({stored[0], stored[2]}, BatchEntries::StoredItems, &kOnePass); },
      [&](const Report& r, const Audit& a) {
        ASSERT_EQ(stored.size(), 3u);
        ExpectVaporizedOrKept(r, a, kA, stored[0]);
        ExpectVaporizedOrKept(r, a, kF, stored[2]);
        ExpectStoredAndShown(a, kB, stored[1]);
        ExpectUntouched(a, kKeep);
        ExpectNoOrphans(a);
      },
      {FaultKind::Open, FaultKind::Write, FaultKind::Flush, FaultKind::Delete, FaultKind::Search});
}

TEST_F(FaultInjectionTest, VaporizingEverythingKeepsTheRecordsOfWhatStays) {
  std::vector<std::string> stored;
  const std::string orphan = "D:\\VAPORIZE\\orphan.bin";
  Sweep(
      [&] {
        EnsureStores();
        stored = StoreReal({kA, kB, kF});
        MakeFile(orphan, "no record names this");
        MakeItem(kKeep);
      },
      [&] { return ShredAllItems(&kOnePass); },
      [&](const Report& r, const Audit& a) {
        ASSERT_EQ(stored.size(), 3u);
        ExpectVaporizedOrKept(r, a, kA, stored[0]);
        ExpectVaporizedOrKept(r, a, kB, stored[1]);
        ExpectVaporizedOrKept(r, a, kF, stored[2]);
        if (Exists(orphan)) EXPECT_TRUE(ReportsTrouble(r, orphan));
        ExpectUntouched(a, kKeep);
        ExpectNoOrphans(a, {orphan});
      },
      {FaultKind::Open, FaultKind::Write, FaultKind::Flush, FaultKind::Delete, FaultKind::Search});
}

TEST_F(FaultInjectionTest, PruningDropsOnlyDeadRecordsAndNeverTearsTheIndex) {
  std::vector<std::string> stored;
  std::vector<ShredItemRecord> before;
  Sweep(
      [&] {
        EnsureStores();
        stored = StoreReal({kOld, kA, kB, kF});
        ASSERT_EQ(stored.size(), 4u);
        // Two records whose items are gone.
        RemoveReal(stored[0]);
        RemoveReal(stored[2]);
        before = *ReadIndex('D');
      },
      [&] {
        PruneIndex();
        return Report{};
      },
      [&](const Report&, const Audit& a) {
        ExpectStoredAndShown(a, kA, stored[1]);
        ExpectStoredAndShown(a, kF, stored[3]);
        ExpectNoOrphans(a);
        auto records = ReadIndex('D');
        ASSERT_TRUE(records.has_value());
        for (const auto& rec : *records) {
          EXPECT_TRUE(rec.Sound()) << "the index holds a damaged record: " << rec.damage;
          bool known = false;
          for (const auto& b : before) known = known || (b.originalPath == rec.originalPath && b.storedPath == rec.storedPath);
          EXPECT_TRUE(known) << "a record that was never written: " << rec.originalPath << " / " << rec.storedPath;
        }
      },
      {FaultKind::Open, FaultKind::Write, FaultKind::Search});
}

TEST_F(FaultInjectionTest, RestoringPutsItemsBackOrLeavesThemRecordedAndKeepsTheFileInTheWay) {
  std::vector<RestoreEntry> entries;
  Sweep(
      [&] {
        EnsureStores();
        std::vector<std::string> stored = StoreReal({kA, kB, kF});
        ASSERT_EQ(stored.size(), 3u);
        entries = {{kA.original, stored[0]}, {kB.original, stored[1]}, {kF.original, stored[2]}};
        // A newer file of the same name now stands where b.doc was.
        MakeFile(kB.original, MarkerContent(kExisting, ""));
      },
      [&] { return RestoreItems(entries); },
      [&](const Report& r, const Audit& a) {
        bool bBack = false;
        for (const TestItem& item : {kA, kB, kF}) {
          Located l = Locate(a, item);
          for (const auto& p : l.problems) ADD_FAILURE() << p;
          if (l.place == Place::Original) {
            EXPECT_NE(DoneEntry(r, item.original), nullptr) << item.original << " is back but not reported so";
            if (item.original == kB.original) bBack = true;
          } else {
            EXPECT_EQ(l.place, Place::Stored) << item.original << " is neither back nor in the store";
            EXPECT_TRUE(ReportsTrouble(r, item.original)) << item.original << " stayed stored but no failure is named";
          }
        }
        // The user's newer file: replaced only when b.doc took its place;
        // anywhere else but its own place only when the report says where.
        std::vector<FoundMarker> existing = a.Of(kExisting);
        if (existing.empty()) {
          EXPECT_TRUE(bBack) << "the file in the way vanished but b.doc did not take its place";
        } else {
          ASSERT_EQ(existing.size(), 1u);
          const std::string& at = existing[0].location;
          if (!EqualsNoCase(at, kB.original)) {
            bool named = false;
            for (const auto& i : r.Items())
              named = named || (i.outcome != Outcome::Done && (i.path == at || i.detail.find(at) != std::string::npos));
            EXPECT_TRUE(named) << "the file in the way was left at " << at << " and the report does not say so";
          }
        }
        ExpectNoOrphans(a);
      },
      {FaultKind::Open, FaultKind::Write, FaultKind::Move, FaultKind::Delete, FaultKind::Search});
}

}  // namespace
}  // namespace vz::test
