// Several processes on one store at once, as several Explorer windows and
// companion programs would be: senders, vaporizers (which prune) and
// restorers over a few hundred items whose files carry contents of their
// own. Under Wine, half of them run from the other build when it stands
// beside this one. Afterwards every item is whole in exactly one place, or
// destroyed by a command that said so.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/batch.h"
#include "fault/fault_fixture.h"
#include "store/enum_shred.h"
#include "store/send.h"
#include "support/child_process.h"
#include "support/scripted_ui.h"
#include "window/restore.h"
#include "support/shared_values.h"

namespace vz::test {
namespace {

constexpr int kItems = 240;  // every tenth one a folder

TestItem Item(int i) {
  return {"D:\\Work\\f" + std::to_string(i) + (i % 10 ? ".txt" : ""), i % 10 == 0};
}

// Every few stored items, picked by the worker's number, with their original paths.
std::vector<ShredItemId> Pick(int worker, int round, std::size_t most) {
  std::vector<ShredItemId> all, out;
  ShredEnumeration e;
  while (auto id = e.Next(PortableTypeInfo)) all.push_back(*id);
  for (std::size_t i = (worker * 7 + round * 3) % 5; i < all.size() && out.size() < most; i += 4) out.push_back(all[i]);
  return out;
}

// "first last": sends those items, a few at a time.
const bool kSender = RegisterChildRole("stress-send", [](const std::string& arg) {
  int first = std::atoi(arg.c_str()), last = std::atoi(arg.c_str() + arg.find(' ') + 1);
  ScriptedUi ui;
  ScopedUi scope(ui);
  for (int i = first; i <= last; i += 3) {
    std::vector<std::string> paths;
    for (int k = i; k <= last && k < i + 3; ++k) paths.push_back(Item(k).original);
    SendToStore(paths, kSendQuietly);
  }
});

// "worker": vaporizes stored items round after round; writes the original
// paths of those its reports call destroyed to D:\destroyed-<worker>.
const bool kVaporizer = RegisterChildRole("stress-vaporize", [](const std::string& arg) {
  int worker = std::atoi(arg.c_str());
  ScriptedUi ui;
  ScopedUi scope(ui);
  std::string destroyed;
  for (int round = 0; round < 8; ++round) {
    std::map<std::string, std::string> originals;
    std::vector<ShredItemRecord> items;
    for (const auto& id : Pick(worker, round, 5)) {
      items.push_back({GetField(id.originalPath), GetField(id.storedPath)});
      originals[items.back().storedPath] = items.back().originalPath;
    }
    Report report = VaporizeStoredItems(items, &kOnePass);
    for (const auto& i : report.Items())
      if (i.outcome == Outcome::Done && originals.count(i.path)) destroyed += originals[i.path] + "\n";
  }
  Plat().ReplaceFileContents("D:\\destroyed-" + arg, destroyed);
});

// "worker": restores stored items round after round.
const bool kRestorer = RegisterChildRole("stress-restore", [](const std::string& arg) {
  int worker = std::atoi(arg.c_str());
  ScriptedUi ui;
  ScopedUi scope(ui);
  for (int round = 0; round < 8; ++round) {
    std::vector<RestoreEntry> entries;
    for (const auto& id : Pick(worker, round, 5)) entries.push_back(MakeRestoreEntry(id));
    RestoreItems(entries);
  }
});

class StressTest : public StoreFixture {};

TEST_F(StressTest, ProcessesSharingAStoreNeverLoseHideOrDoubleAnItem) {
  EnsureStores();
  for (int i = 0; i < kItems; ++i) MakeItem(Item(i));
  {
    ScriptedUi ui;
    ScopedUi scope(ui);
    std::vector<std::string> first;
    for (int i = 0; i < kItems / 2; ++i) first.push_back(Item(i).original);
    SendToStore(first, kSendQuietly);
  }
  const int q = kItems / 4;
  const std::vector<std::pair<std::string, std::string>> roles = {
      {"stress-send", std::to_string(2 * q) + " " + std::to_string(3 * q - 1)},
      {"stress-send", std::to_string(3 * q) + " " + std::to_string(4 * q - 1)},
      {"stress-vaporize", "1"}, {"stress-vaporize", "2"}, {"stress-restore", "3"}, {"stress-restore", "4"}};
  std::vector<ChildProcess> children;
  for (std::size_t k = 0; k < roles.size(); ++k) children.push_back(StartChild(roles[k].first, roles[k].second, k % 2));
  for (auto& c : children) EXPECT_EQ(c.Wait(), 0);
  if (OtherBuildPresent()) std::printf("  half of the processes ran from the other build\n");

  std::set<std::string> destroyed;
  for (const char* worker : {"1", "2"})
    for (const auto& line : SplitLines(Slurp(std::string("D:\\destroyed-") + worker)))
      if (!line.empty()) destroyed.insert(line);
  Audit a = TakeAudit();
  std::map<std::string, int> places;
  for (int i = 0; i < kItems; ++i) {
    const TestItem item = Item(i);
    Located l = Locate(a, item);
    for (const auto& p : l.problems) ADD_FAILURE() << p;
    ++places[l.place == Place::Original ? "back or never sent" : l.place == Place::Stored ? "stored" : "gone"];
    if (destroyed.count(item.original))
      EXPECT_EQ(l.place, Place::Gone) << item.original << " was reported destroyed";
    else
      EXPECT_TRUE(l.place == Place::Original || l.place == Place::Stored) << item.original << " is lost or torn";
  }
  ExpectNoOrphans(a);
  std::set<std::string> storedPaths;
  for (const auto& line : SplitLines(Slurp(DS("info.shr"))))
    if (line.find("VAPORIZE") != std::string::npos) EXPECT_TRUE(storedPaths.insert(ToUpper(line)).second) << line << " twice";
  std::printf("  %d items: %d back or never sent, %d stored, %d destroyed\n", kItems, places["back or never sent"],
              places["stored"], places["gone"]);
  EXPECT_GT(places["gone"], 0);
}

}  // namespace
}  // namespace vz::test
