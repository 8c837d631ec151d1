// Emptying by rule: by the date sent as the folder shows it (the tests set
// it back on the stored items), and by each store's size, oldest first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "engine/emptying.h"
#include "platform/platform.h"
#include "store/send.h"
#include "store/store.h"
#include "support/drives.h"
#include "support/scripted_ui.h"
#include "window/restore.h"
#include "support/shared_values.h"

namespace vz::test {
namespace {

constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kMiB = 1024 * 1024;

class EmptyingTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    EnsureStores();
  }
  // Sends what is at `path` and sets its date sent back by `daysAgo`;
  // returns its stored path.
  std::string SendAged(const std::string& path, std::int64_t daysAgo) {
    SendResult r = SendToStore({path}, kSendQuietly);
    EXPECT_TRUE(r.report.AllDone()) << path;
    std::string stored = r.report.Items().empty() ? "" : r.report.Items()[0].target;
    EXPECT_TRUE(Plat().SetWriteTime(stored, AddSeconds(now_, -daysAgo * kDay))) << stored;
    return stored;
  }
  std::string SendFile(const std::string& path, std::int64_t bytes, std::int64_t daysAgo) {
    MakeSparseFile(path, bytes);
    return SendAged(path, daysAgo);
  }
  static std::vector<std::string> Names(const EmptyingChoice& c) {
    std::vector<std::string> out;
    for (const auto& w : c.chosen) out.push_back(FileNamePart(w.item.originalPath));
    return out;
  }
  static std::vector<std::string> Listed() {
    std::vector<std::string> out;
    for (const auto& i : ListStoredItems(PortableTypeInfo)) out.push_back(FileNamePart(i.originalPath));
    return out;
  }

  ScriptedUi ui;
  ScopedUi scope{ui};
  CivilTime now_ = *TruncateToDos(Plat().LocalNow());  // even seconds: dates sent keep them exactly
};

TEST_F(EmptyingTest, OlderThanTakesTheItemsSentLongerAgoOldestFirstAndOnlyThose) {
  MakeFile(D("tree\\sub\\deep.txt"), "deep");
  SendFile(D("mid.txt"), 10, 10);
  SendAged(D("tree"), 35);  // a folder goes by the date sent on it, whatever it holds
  SendFile(D("old.txt"), 10, 40);
  SendFile(D("new.txt"), 10, 0);
  SendFile(D("edge.txt"), 10, 30);  // exactly 30 days is not more than 30

  EmptyingChoice c = ChooseByRule(RuleOfSettings({30, 0}), now_);
  EXPECT_EQ(Names(c), (std::vector<std::string>{"old.txt", "tree"}));
  EXPECT_EQ(c.kept, 3u);
  ASSERT_FALSE(c.chosen.empty());
  EXPECT_EQ(c.chosen[0].why, "sent 40 days ago");
  EXPECT_TRUE(VaporizeChosen(c, &kOnePass).AllDone());
  ASSERT_EQ(ui.asked.size(), 1u);
  EXPECT_NE(ui.asked[0].text.find(" 2 item(s) ?"), std::string::npos);
  EXPECT_EQ(Listed(), (std::vector<std::string>{"mid.txt", "new.txt", "edge.txt"}));
  EXPECT_TRUE(VaporizeChosen(ChooseByRule(RuleOfSettings({0, 0}), now_), &kOnePass).Items().empty())
      << "no rule takes nothing";
}

TEST_F(EmptyingTest, KeepUnderTakesTheOldestOfEachStoreUntilItIsDownToTheLimit) {
  SendFile(D("b.bin"), 2 * kMiB, 20);
  SendFile(D("a.bin"), 3 * kMiB, 30);
  SendFile(D("c.bin"), 1 * kMiB, 10);
  SendFile(C("x.bin"), 1 * kMiB, 50);  // another drive's store, under every limit
  const struct {
    EmptyingSettings settings;
    std::vector<std::string> chosen;
  } cases[] = {{{0, 6}, {}},
               {{0, 5}, {"a.bin"}},
               {{0, 3}, {"a.bin"}},
               {{0, 2}, {"a.bin", "b.bin"}},
               {{0, 1}, {"a.bin", "b.bin"}},
               {{40, 4}, {"x.bin", "a.bin"}},  // the age's share counts towards the limit
               {{25, 2}, {"x.bin", "a.bin", "b.bin"}}};
  for (const auto& t : cases) {
    EmptyingChoice c = ChooseByRule(RuleOfSettings(t.settings), now_);
    EXPECT_EQ(Names(c), t.chosen) << DescribeRule(RuleOfSettings(t.settings));
    EXPECT_EQ(c.kept + c.chosen.size(), 4u);
    EXPECT_TRUE(c.problems.Items().empty());
  }
  EXPECT_EQ(DescribeRule(RuleOfSettings({25, 2})), "older than 25 days, each store under 2 MB");
  VaporizeChosen(ChooseByRule(RuleOfSettings({0, 2}), now_), &kOnePass);
  EXPECT_EQ(Listed(), (std::vector<std::string>{"x.bin", "c.bin"}));
}

TEST_F(EmptyingTest, AnItemWhoseDateSentIsNotKnownIsKeptAndTheStoreSaysSo) {
  std::string stored = SendFile(D("a.bin"), 2 * kMiB, 40);
  ASSERT_TRUE(Plat().SetWriteTime(stored, {1979, 6, 1, 0, 0, 0}));  // before any DOS date
  EmptyingChoice c = ChooseByRule(RuleOfSettings({1, 1}), now_);
  EXPECT_TRUE(c.chosen.empty());
  ASSERT_EQ(c.problems.Items().size(), 1u);
  EXPECT_EQ(ToUpper(c.problems.Items()[0].path), ToUpper(DS()));
  EXPECT_NE(c.problems.Items()[0].detail.find("2 MB, over the limit of 1 MB"), std::string::npos);
  // Small sizes read as what they are, never 0 KB over 0 KB.
  const struct {
    std::uint64_t limit;
    const char* says;
  } small[] = {{1000, "2 MB, over the limit of 1000 bytes"}, {1, "over the limit of 1 byte"},
               {1536, "over the limit of 1.5 KB"}};
  for (const auto& t : small) {
    EmptyingRule rule;
    rule.storeLimitBytes = t.limit;
    c = ChooseByRule(rule, now_);
    ASSERT_EQ(c.problems.Items().size(), 1u);
    EXPECT_NE(c.problems.Items()[0].detail.find(t.says), std::string::npos) << c.problems.Items()[0].detail;
  }
}

// Restored and sent again from the same place while the run went on, an
// item gets the old stored name and record back: only its date sent tells
// it from the one that was chosen.
TEST_F(EmptyingTest, AnItemSentDuringTheRunIsNeverTouched) {
  std::string stored = SendFile(D("report.doc"), 10, 40);
  EmptyingChoice c = ChooseByRule(RuleOfSettings({30, 0}), now_);
  ASSERT_EQ(c.chosen.size(), 1u);
  ASSERT_TRUE(RestoreItems({{D("report.doc"), stored}}).AllDone());
  MakeFile(D("report.doc"), "the new report");
  ASSERT_EQ(SendToStore({D("report.doc")}, kSendQuietly).report.Items()[0].target, stored);
  SendFile(D("later.doc"), 10, 0);

  Report r = VaporizeChosen(c, &kOnePass);
  EXPECT_EQ(r.Count(Outcome::Done), 0u);
  EXPECT_EQ(Slurp(stored), "the new report");
  EXPECT_EQ(Listed(), (std::vector<std::string>{"report.doc", "later.doc"}));
}

}  // namespace
}  // namespace vz::test
