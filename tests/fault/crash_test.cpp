// Every operation that changes the stores, killed just before its k-th
// change to the drives, for every k until a run gets through. Whatever the
// moment, no user item is lost, sits in a store unseen, is shown under
// another item's name or is shown while partly overwritten; and the next
// operations finish what the killed one left.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/batch.h"
#include "engine/link_support.h"
#include "fault/fault_fixture.h"
#include "store/intake.h"
#include "fault/fault_platform.h"
#include "store/own_store.h"
#include "store/send.h"
#include "support/scripted_ui.h"
#include "window/restore.h"

#include "support/child_process.h"
#include "support/shared_values.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vz::test {

[[noreturn]] void DieNow() {
  std::fflush(nullptr);
#ifdef _WIN32
  TerminateProcess(GetCurrentProcess(), 86);
#endif
  std::_Exit(86);
}

namespace {

// Where StoreFixture::StoreReal puts the items of these runs.
const std::string kStoredA = Own("D:\\VAPORIZE\\D1.txt"), kStoredB = Own("D:\\VAPORIZE\\D1.doc"), kStoredF = Own("D:\\VAPORIZE\\D1");

// The operations on trial; a child process runs one of them by name.
struct Operation {
  const char* name;
  std::function<void()> run;
};
const Operation kOperations[] = {
    {"send", [] { SendToStore({kA.original, kB.original, kF.original}, kSendQuietly); }},
    {"vaporize", [] { VaporizeBatch({kStoredA, kStoredF}, BatchEntries::StoredItems, &kOnePass); }},
    {"empty", [] { ShredAllItems(&kOnePass); }},
    {"restore", [] { RestoreItems({{kA.original, kStoredA}, {kF.original, kStoredF}}); }},
    {"replace", [] { RestoreItems({{kB.original, kStoredB}}); }},  // the scripted user says Replace
    {"migrate", [] { MoveEarlierStore('D'); }},
};

// A child runs "<operation> <n>": the operation, dying before its n-th
// change; it exits 0 when the operation got through first.
const bool kRegistered = RegisterChildRole("crash", [](const std::string& arg) {
  std::size_t space = arg.find(' ');
  FaultPlatform crash = FaultPlatform::CrashAt(std::atoi(arg.c_str() + space + 1));
  ScriptedUi ui;
  ScopedPlatform use(crash);
  ScopedUi scope(ui);
  for (const auto& op : kOperations)
    if (arg.compare(0, space, op.name) == 0) op.run();
});

// Shredding where they are: two passes of 0xFF over files in two folders
// and files given directly.
const ShredOptions kTwoPassesOfOnes{2, 1, 0xFF, 0};
std::vector<std::string> ShreddedFiles() {
  std::vector<std::string> files;
  for (int t = 0; t < 2; ++t)
    for (int i = 0; i < 12; ++i) files.push_back("D:\\Work\\w\\t" + std::to_string(t) + "\\f" + std::to_string(i) + ".txt");
  for (int i = 0; i < 6; ++i) files.push_back("D:\\Work\\s" + std::to_string(i) + ".txt");
  return files;
}
std::vector<std::string> ShredGiven() {
  std::vector<std::string> given{"D:\\Work\\w\\t0", "D:\\Work\\w\\t1"};
  for (int i = 0; i < 6; ++i) given.push_back("D:\\Work\\s" + std::to_string(i) + ".txt");
  return given;
}

// A child runs "<n>": the shred, dying before its n-th flush.
const bool kFlushRegistered = RegisterChildRole("crash-flush", [](const std::string& arg) {
  FaultPlatform crash = FaultPlatform::CrashBefore(FaultKind::Flush, std::atoi(arg.c_str()));
  ScriptedUi ui;
  ScopedPlatform use(crash);
  ScopedUi scope(ui);
  VaporizeItems(TakeIn(ShredGiven(), nullptr, Road::InPlace, PathOrigin::Listed).direct, &kTwoPassesOfOnes);
});

class CrashTest : public StoreFixture {
 protected:
  // Kills `name` at every change in turn; after each, `verify` the drives,
  // then `recover` as the user would and check that nothing is left behind.
  void Sweep(const std::string& name, const std::function<void()>& prepare,
             const std::function<void(const Audit&)>& verify, const std::function<void()>& recover,
             const std::function<void(const Audit&)>& recovered) {
    int deaths = 0;
    for (int n = FirstOfOurShare(); n < 400; n += ShareUnderWine()) {
      Fresh();
      prepare();
      if (HasFatalFailure()) return;
      int code = StartChild("crash", name + " " + std::to_string(n)).Wait();
      ASSERT_TRUE(code == 0 || code == 86) << "the child ended with " << code;
      Audit audit = TakeAudit();
      SCOPED_TRACE(name + " killed before its change " + std::to_string(n) + "\ndrives:\n" + Dump(audit));
      verify(audit);
      ScriptedUi ui;
      {
        ScopedUi scope(ui);
        recover();
      }
      Audit after = TakeAudit();
      SCOPED_TRACE("after recovering:\n" + Dump(after));
      recovered(after);
      // A killed run's own temporary files are never items, and the next
      // run removes them.
      for (const auto& t : after.temporaries) ADD_FAILURE() << t << " was left behind";
      if (HasFailure() || code == 0) break;
      ++deaths;
    }
    EXPECT_GE(deaths, 3) << name << " made too few changes to be killed in between";
    std::printf("  %s was killed at %d points\n", name.c_str(), deaths);
  }

  // An item given to a destruction that was cut short: still stored, whole
  // and shown; or no longer shown at all (what is left of it is unseen and
  // goes with the next "vaporize all").
  static void ExpectWholeOrUnseen(const Audit& a, const TestItem& item, const std::string& stored) {
    Located l = Locate(a, item);
    EXPECT_NE(l.place, Place::Original) << item.original << " came out of the store";
    const ShownItem* shown = a.ShownAt(stored);
    if (!shown) return;
    EXPECT_EQ(Trim(shown->original), item.original);
    EXPECT_EQ(l.place, Place::Stored) << stored << " is shown but partly destroyed";
    for (const auto& p : l.problems) ADD_FAILURE() << p;
  }
  // Back whole, or still stored whole and shown; nothing in between.
  static void ExpectBackOrStored(const Audit& a, const TestItem& item) {
    Located l = Locate(a, item);
    for (const auto& p : l.problems) ADD_FAILURE() << p;
    EXPECT_TRUE(l.place == Place::Original || l.place == Place::Stored) << item.original << " is lost or torn";
  }
  // The newer file that a restore replaces: at its place, or listed in the
  // Vaporizer under its path; gone only once the restored item took its
  // place. Never left somewhere nobody is told of.
  static void ExpectNewerFileKeptOrReplaced(const Audit& a) {
    std::vector<FoundMarker> newer = a.Of(kExisting);
    if (newer.empty()) {
      EXPECT_EQ(Locate(a, kB).place, Place::Original) << "the newer file vanished, and b.doc did not take its place";
      return;
    }
    const std::string& at = newer[0].location;
    const ShownItem* shown = a.ShownAt(StoreTopOf(at));
    EXPECT_TRUE(EqualsNoCase(at, kB.original) || (shown && shown->original == kB.original))
        << "the newer file is at " << at << ", and nothing shows it";
  }
  static void ExpectNothingOf(const Audit& a, const std::vector<TestItem>& items) {
    for (const auto& i : items) EXPECT_TRUE(a.Of(i.original).empty()) << i.original << " was not finished";
    EXPECT_TRUE(a.storeEntries.empty()) << a.storeEntries.size() << " entries are left in the store";
  }
};

TEST_F(CrashTest, AKilledSendLeavesEveryItemInItsPlaceOrStoredAndShown) {
  Sweep(
      "send",
      [&] {
        EnsureStores();
        StoreReal({kOld});
        for (const auto& i : {kA, kB, kF, kKeep}) MakeItem(i);
      },
      [&](const Audit& a) {
        ExpectStoredAndShown(a, kOld, kStoredA);
        ExpectUntouched(a, kKeep);
        for (const auto& i : {kA, kB, kF}) ExpectBackOrStored(a, i);
        ExpectNoOrphans(a);
      },
      // Sending again what stayed: the index takes new records whatever the
      // killed send left at its end, and no name of a record is reused.
      [&] {
        std::vector<std::string> left;
        for (const auto& i : {kA, kB, kF})
          if (PathExists(i.original)) left.push_back(i.original);
        SendToStore(left, kSendQuietly);
      },
      [&](const Audit& a) {
        for (const auto& i : {kOld, kA, kB, kF}) {
          Located l = Locate(a, i);
          for (const auto& p : l.problems) ADD_FAILURE() << p;
          EXPECT_EQ(l.place, Place::Stored) << i.original;
        }
        ExpectNoOrphans(a);
      });
}

TEST_F(CrashTest, AKilledVaporizeNeverShowsAPartlyDestroyedItemAndVaporizeAllFinishesIt) {
  for (const char* op : {"vaporize", "empty"}) {
    const bool all = std::string(op) == "empty";
    Sweep(
        op,
        [&] {
          EnsureStores();
          StoreReal({kA, kB, kF});
          MakeItem(kKeep);
        },
        [&](const Audit& a) {
          ExpectWholeOrUnseen(a, kA, kStoredA);
          ExpectWholeOrUnseen(a, kF, kStoredF);
          if (all) ExpectWholeOrUnseen(a, kB, kStoredB);
          else ExpectStoredAndShown(a, kB, kStoredB);
          ExpectUntouched(a, kKeep);
        },
        [&] { ShredAllItems(&kOnePass); },
        [&](const Audit& a) {
          ExpectNothingOf(a, {kA, kB, kF});
          ExpectUntouched(a, kKeep);
        });
  }
}

// Killed after a pass was written over every file and before its flush:
// every file is still there, at its length, untouched or overwritten
// whole, never cut or deleted before its passes reached the device; the
// next shred finishes them.
TEST_F(CrashTest, AShredKilledBeforeAFlushHasDeletedNothingItDidNotFlush) {
  const std::vector<std::string> files = ShreddedFiles();
  int deaths = 0;
  for (int n = FirstOfOurShare(); n < 200; n += ShareUnderWine()) {
    Fresh();
    for (std::size_t i = 0; i < files.size(); ++i) MakeFile(files[i], std::string(1000 + i, static_cast<char>('a' + i % 26)));
    int code = StartChild("crash-flush", std::to_string(n)).Wait();
    ASSERT_TRUE(code == 0 || code == 86) << "the child ended with " << code;
    SCOPED_TRACE("killed before flush " + std::to_string(n));
    if (code == 0) {
      for (const auto& f : files) EXPECT_FALSE(PathExists(f)) << f << " was left by a run that got through";
      break;
    }
    ++deaths;
    for (std::size_t i = 0; i < files.size(); ++i) {
      ASSERT_TRUE(PathExists(files[i])) << files[i] << " was deleted before its passes were flushed";
      const std::string now = Slurp(files[i]);
      EXPECT_TRUE(now == std::string(1000 + i, static_cast<char>('a' + i % 26)) || now == std::string(1000 + i, '\xFF'))
          << files[i] << " is neither untouched nor overwritten whole (" << now.size() << " bytes)";
    }
    ScriptedUi ui;
    ScopedUi scope(ui);
    EXPECT_TRUE(VaporizeItems(TakeIn(ShredGiven(), nullptr, Road::InPlace, PathOrigin::Listed).direct, &kTwoPassesOfOnes)
                    .AllDone());
    for (const auto& f : files) EXPECT_FALSE(PathExists(f)) << f << " was not finished by the next shred";
    if (HasFailure()) break;
  }
  // Each pass ends with one flush request per file.
  int ours = 0;
  for (int n = 1; n <= 2 * static_cast<int>(files.size()); ++n) ours += OursUnderWine(n);
  EXPECT_EQ(deaths, ours);
}

TEST_F(CrashTest, AKilledRestoreLeavesEveryItemBackOrStoredAndShown) {
  Sweep(
      "restore",
      [&] {
        EnsureStores();
        StoreReal({kA, kF});
      },
      [&](const Audit& a) {
        for (const auto& i : {kA, kF}) ExpectBackOrStored(a, i);
        ExpectNoOrphans(a);
      },
      [&] { PruneIndex(); },
      [&](const Audit& a) {
        for (const auto& i : {kA, kF}) ExpectBackOrStored(a, i);
        ExpectNoOrphans(a);
      });
}

TEST_F(CrashTest, AKilledReplacingRestoreNeverHidesTheFileItReplaces) {
  auto check = [&](const Audit& a) {
    ExpectBackOrStored(a, kB);
    ExpectNewerFileKeptOrReplaced(a);
    ExpectNoOrphans(a);
  };
  Sweep(
      "replace",
      [&] {
        EnsureStores();
        StoreReal({kB});
        MakeFile(kB.original, MarkerContent(kExisting, ""));
      },
      check, [&] { PruneIndex(); }, check);
}

// The earlier layout's store (items and index in D:\VAPORIZE itself) moving
// into this account's, where D1.txt is taken: each item stays whole in the
// old store with its record, or is listed once in the new one; the next
// run finishes the move.
TEST_F(CrashTest, AKilledMoveOfTheEarlierStoreLosesNothingAndListsNothingTwice) {
  const std::string old = "D:\\VAPORIZE\\", own = DS() + "\\";
  auto inOldStore = [&](const Audit& a, const TestItem& i) {
    std::vector<FoundMarker> found = a.Of(i.original);
    if (found.size() != (i.folder ? kFolderParts.size() : 1) || !StartsWithNoCase(found[0].location, old)) return false;
    const std::string top = found[0].location.substr(0, found[0].location.find('\\', old.size()));
    for (const auto& m : found)
      if (!EqualsNoCase(m.location, Join(top, m.part))) return false;
    return Slurp(old + "info.shr").find(i.original + "\r\n" + top + "\r\n") != std::string::npos;
  };
  auto expectOnce = [&](const Audit& a, const TestItem& i, bool orInOldStore) {
    Located l = Locate(a, i);
    int shown = 0;
    for (const auto& s : a.shown) shown += s.original == i.original;
    EXPECT_LE(shown, 1) << i.original << " is listed twice";
    if (orInOldStore && inOldStore(a, i)) return;
    for (const auto& p : l.problems) ADD_FAILURE() << p;
    EXPECT_EQ(l.place, Place::Stored) << i.original << " is lost";
  };
  Sweep(
      "migrate",
      [&] {
        EnsureStores();
        for (const auto& stored : StoreReal({kA, kB, kF}))
          ASSERT_TRUE(Plat().MoveItem(stored, old + FileNamePart(stored)));
        std::string index = Slurp(IndexPathOf('D'));
        for (std::size_t at; (at = index.find(own)) != std::string::npos;) index.replace(at, own.size(), old);
        MakeFile(old + "info.shr", index);
        StoreReal({kOld});
      },
      [&](const Audit& a) {
        for (const auto& i : {kOld, kA, kB, kF}) expectOnce(a, i, i.original != kOld.original);
        ExpectNoOrphans(a);
      },
      [&] { EnsureStores(); },
      [&](const Audit& a) {
        for (const auto& i : {kOld, kA, kB, kF}) expectOnce(a, i, false);
        ExpectNoOrphans(a);
        EXPECT_FALSE(PathExists(old + "info.shr"));
      });
}

}  // namespace
}  // namespace vz::test
