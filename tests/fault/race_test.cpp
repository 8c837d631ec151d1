// Another program changes the files between each check and the act that
// relies on it: at every step k of a send, a vaporize of a stored folder, a
// shred of a folder and a restore that replaces, the item, a folder above
// or inside it, the store or its index is swapped for a link into a victim
// tree that nobody chose; when a file is opened for its pass, another
// regular file may also be moved in under its name by rename. The victim
// stays byte for byte, and every chosen item is done or refused with a
// reason.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "common/report.h"
#include "common/ui.h"
#include "engine/batch.h"
#include "engine/link_support.h"
#include "platform/platform.h"
#include "store/intake.h"
#include "store/send.h"
#include "store/store.h"
#include "support/drives.h"
#include "support/scripted_ui.h"
#include "window/restore.h"
#include "support/shared_values.h"

namespace vz::test {
namespace {


struct Race {
  const char* op;
  const char* swapped;  // what is swapped for a link into the victim tree
  const char* path;     // its path; D1 is the stored item, wherever it was claimed to
  const char* target;   // the victim it then leads to
  // Else the victim file itself is moved in by rename, at the step that
  // opens the path only (before it, the walk rightly reads it as chosen).
  bool link = true;
};

// Every case of the table runs once per step.
const Race kRaces[] = {
    {"send", "the item", "Work\\att\\doc", "victim\\doc"},
    {"send", "its folder", "Work\\att", "victim"},
    {"send", "the store", "VAPORIZE", "victim"},
    {"send", "the index", "VAPORIZE\\info.shr", "victim\\info.shr"},
    {"shred", "the item", "Work\\att", "victim"},
    {"shred", "its folder", "Work", "victimroot"},
    {"shred", "a folder inside", "Work\\att\\sub", "victim\\sub"},
    {"vaporize", "the item", "VAPORIZE\\D1", "victim"},
    {"vaporize", "a folder inside", "VAPORIZE\\D1\\sub", "victim\\sub"},
    {"vaporize", "the store", "VAPORIZE", "victim"},
    {"vaporize", "the index", "VAPORIZE\\info.shr", "victim\\info.shr"},
    {"restore", "the stored item", "VAPORIZE\\D1", "victim\\doc"},
    {"restore", "the file it replaces", "Work\\att\\doc", "victim\\doc"},
    {"restore", "its folder", "Work\\att", "victim"},
    {"restore", "the store", "VAPORIZE", "victim"},
    {"shred", "a file inside, for another", "Work\\att\\a.txt", "victim\\a.txt", false},
    {"vaporize", "a file inside, for another", "VAPORIZE\\D1\\a.txt", "victim\\a.txt", false},
};

class RaceTest : public DrivesTest {
 protected:
  void Fresh(const std::string& op) {
    TearDown();
    SetUp();
    EnsureStores();
    for (const char* root : {"victim\\", "victimroot\\att\\", "Work\\att\\"})
      for (const char* f : {"doc", "a.txt", "sub\\c.txt", "D1\\x.txt", "info.shr"})
        MakeFile(D(std::string(root) + f), std::string(root) + f);
    ScopedUi scope(ui_);
    if (op == "vaporize") {
      ASSERT_TRUE(SendToStore({D("Work\\att")}, kSendQuietly).report.AllDone());
    }
    if (op == "restore") {
      ASSERT_TRUE(SendToStore({D("Work\\att\\doc")}, kSendQuietly).report.AllDone());
      MakeFile(D("Work\\att\\doc"), "newer");
    }
    victim_ = Snapshot({D("victim"), D("victimroot")});
  }

  Report Run(const std::string& op) {
    ScopedUi scope(ui_);
    if (op == "send") return SendToStore({D("Work\\att\\doc"), D("Work\\att\\sub")}, kSendAskFirst).report;
    if (op == "shred") return VaporizeItems(TakeIn({D("Work\\att")}, nullptr, Road::InPlace, PathOrigin::Listed).direct, &kOnePass);
    if (op == "vaporize") {
      ShredItemRecord item;
      item.originalPath = D("Work\\att");
      item.storedPath = DS("D1");
      return VaporizeStoredItems({item}, &kOnePass);
    }
    return RestoreItems({{D("Work\\att\\doc"), DS("D1")}});
  }

  // The stored item is renamed when it is claimed: wherever it is now.
  // The table's "VAPORIZE" is this account's store in it.
  std::string Where(std::string path) {
    const std::string own = DS().substr(3), item = own + "\\D1";
    if (path.rfind("VAPORIZE", 0) == 0) path = own + path.substr(8);
    for (const std::string& claimed : {own + "\\~D1", item})
      if (path.rfind(item, 0) == 0 && PathExists(D(claimed))) return D(claimed + path.substr(item.size()));
    return D(path);
  }

  // What of the victim tree is not as it was.
  std::string Changed(const std::map<std::string, std::string>& now) const {
    std::string out;
    for (const auto& [path, content] : victim_) {
      auto it = now.find(path);
      if (it == now.end()) out += " gone: " + path;
      else if (it->second != content) out += " changed: " + path + " (now \"" + it->second.substr(0, 40) + "\")";
    }
    for (const auto& [path, content] : now)
      if (!victim_.count(path)) out += " new: " + path;
    return out;
  }

  ScriptedUi ui_;
  std::map<std::string, std::string> victim_;
};

TEST_F(RaceTest, ASwapAtAnyStepNeverReachesWhatWasNotChosen) {
  // Natively every step of every case; under Wine, where each swap runs
  // host programs, every sixth step, a different sixth for each case.
  const int stride = UnderWine() ? 6 : 1;
  int runs = 0, swaps = 0, offset = 0;
  for (const Race& race : kRaces) {
    // The steps of the operation, counted on a run without a swap.
    int steps = 0;
    Fresh(race.op);
    if (HasFatalFailure()) return;
    SetRaceHook([&](const char*, const std::string&) { ++steps; });
    Run(race.op);
    SetRaceHook(nullptr);
    // A move at the open step is one run, whatever the stride.
    if (!race.link) steps = 1;
    for (int k = race.link ? offset++ % stride : 0; k < steps; k += stride) {
      SCOPED_TRACE(std::string(race.op) + ": " + race.swapped + " swapped at step " + std::to_string(k + 1) + " of " +
                   std::to_string(steps));
      Fresh(race.op);
      if (HasFatalFailure()) return;
      int step = 0;
      std::string where, link, moved;
      SetRaceHook([&](const char* name, const std::string& path) {
        if (race.link) {
          if (step++ != k) return;
          where = name;
          link = Where(race.path);
          swaps += SwapForLink(link, D(race.target));
        } else if (moved.empty() && std::string(name) == "open" && path == Where(race.path)) {
          where = name;
          moved = path;
          swaps += SwapByRename(moved, D(race.target));
        }
      });
      Report r = Run(race.op);
      SetRaceHook(nullptr);
      if (!race.link) {
        EXPECT_FALSE(moved.empty()) << "the file was never opened";
      }
      if (!moved.empty()) PutBack(moved, D(race.target));
      // Before anything else looks at the drive: under Wine a link can only
      // be removed as itself by the host, wherever the run put it.
      const std::string changed = Changed(Snapshot({D("victim"), D("victimroot")}));
      if (!link.empty()) RemoveLinksBeneath(D());
      ++runs;
      EXPECT_EQ(changed, "") << "swapped at the step \"" << where << "\"";
      EXPECT_FALSE(r.Items().empty());
      for (const auto& i : r.Items())
        EXPECT_TRUE(i.outcome == Outcome::Done || !i.detail.empty()) << i.path << " left without a reason";
    }
  }
  std::printf("  %d runs, %d swaps\n", runs, swaps);
  EXPECT_GT(swaps, runs / 2) << "links could not be made here";
}

}  // namespace
}  // namespace vz::test
