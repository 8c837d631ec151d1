// The rules that keep a store whole when other processes share it: names
// a record holds are never handed out again, a name taken meanwhile costs
// a retry and not an item, and an item on its way to destruction leaves the
// list first and comes back only when nothing of it was touched.
#include <gtest/gtest.h>

#include "engine/batch.h"
#include "fault/store_audit.h"
#include "platform/platform.h"
#include "store/enum_shred.h"
#include "store/index_edit.h"
#include "store/send.h"
#include "store/store.h"
#include "support/drives.h"
#include "support/recording_platform.h"
#include "support/scripted_ui.h"
#include "window/restore.h"
#include "support/shared_values.h"

namespace vz::test {
namespace {


class IndexEditTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    EnsureStores();
  }
  std::string Index() { return Slurp(DS("info.shr")); }
  ScriptedUi ui;
};

// Something outside the Vaporizer creates the chosen stored name just
// before the move.
class NameThief : public RecordingPlatform {
 public:
  bool Refuse(const std::string& op, const std::string& path, std::int64_t offset, std::size_t size) override {
    // D1.txt is held by a record, so the first move is to go to D2.txt.
    if (!stolen_ && op == "MoveTo" && path.find("Work") != std::string::npos)
      stolen_ = NativePlatform().CreateEmptyFile(StoreDirOf('D') + "\\D2.txt");
    return RecordingPlatform::Refuse(op, path, offset, size);
  }

 private:
  bool stolen_ = false;
};

TEST_F(IndexEditTest, ANameThatARecordHoldsIsNeverReusedAndANameTakenMeanwhileCostsARetry) {
  // The record of an item that vanished by other means still holds D1.txt.
  MakeFile(DS("info.shr"), Own("D:\\Gone\\old.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"));
  MakeFile(D("Work\\a.txt"), "a");
  MakeFile(D("Work\\b.txt"), "b");
  NameThief thief;
  {
    ScopedPlatform use(thief);
    ScopedUi scope(ui);
    SendResult r = SendToStore({D("Work\\a.txt"), D("Work\\b.txt")}, kSendQuietly);
    EXPECT_TRUE(r.report.AllDone());
  }
  EXPECT_EQ(Slurp(DS("D2.txt")), "") << "what took the name is left alone";
  // a.txt lost D2.txt and went under the next free name, after b.txt's.
  // What took the name has no record: it is shown as a leftover.
  EXPECT_EQ(ShownItems(), (std::vector<std::string>{Own("D:\\Work\\b.txt -> D:\\VAPORIZE\\D3.txt"),
                                                Own("D:\\Work\\a.txt -> D:\\VAPORIZE\\D4.txt"), Own(" -> D:\\VAPORIZE\\D2.txt")}));
  EXPECT_EQ(Slurp(DS("D4.txt")), "a");
  EXPECT_EQ(Index().find("D2.txt"), std::string::npos) << "the record of the lost name was taken back";
}

TEST_F(IndexEditTest, AClaimedItemLeavesTheListAndARestoreFromAnOlderViewNeverTakesANewItemForIt) {
  MakeFile(DS("D1.txt"), "stored");
  MakeFile(DS("info.shr"), Own("D:\\Work\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"));
  std::vector<Claim> claims = ClaimStoredItems({DS("D1.txt")});
  ASSERT_EQ(claims.size(), 1u);
  EXPECT_EQ(claims[0].original, "D:\\Work\\a.txt");
  EXPECT_EQ(Slurp(claims[0].claimed), "stored");
  EXPECT_EQ(Index(), "");
  // A new item takes the name that is free again.
  MakeFile(D("Work\\b.txt"), "new");
  ScopedUi scope(ui);
  SendToStore({D("Work\\b.txt")}, kSendQuietly);
  ASSERT_EQ(Slurp(DS("D1.txt")), "new");
  Report r = RestoreItems({{"D:\\Work\\a.txt", DS("D1.txt")}});
  ASSERT_EQ(r.Items().size(), 1u);
  EXPECT_EQ(r.Items()[0].outcome, Outcome::Failed);
  EXPECT_FALSE(PathExists(D("Work\\a.txt")));
  EXPECT_EQ(ShownItems(), (std::vector<std::string>{Own("D:\\Work\\b.txt -> D:\\VAPORIZE\\D1.txt"),
                                                Own(" -> D:\\VAPORIZE\\~D1.txt")}));
}

TEST_F(IndexEditTest, AnUntouchedItemGoesBackToTheListAndATouchedOneStaysOutNamed) {
  // fail: which call fails; back: whether the item is listed again after;
  // keep: overwritten and kept as asked, which leaves it whole.
  const struct {
    const char* fail;
    bool back, keep;
  } cases[] = {{"OpenExclusive", true, false}, {"Flush", false, false}, {"nothing", true, true}};
  const ShredOptions keep{1, 0, 'Z', 0};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fail);
    TearDown();
    SetUp();
    MakeFile(DS("D1.txt"), "stored");
    MakeFile(DS("info.shr"), Own("D:\\Work\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"));
    RecordingPlatform rec;
    rec.FailOn(c.fail, "VAPORIZE");
    Report r;
    {
      ScopedPlatform use(rec);
      ScopedUi scope(ui);
      r = VaporizeBatch({DS("D1.txt")}, BatchEntries::StoredItems, c.keep ? &keep : &kOnePass);
    }
    EXPECT_EQ(r.AllDone(), c.keep);
    if (c.back) {
      EXPECT_EQ(ShownItems(), std::vector<std::string>{Own("D:\\Work\\a.txt -> D:\\VAPORIZE\\D1.txt")});
      EXPECT_EQ(Slurp(DS("D1.txt")), c.keep ? "ZZZZZZ" : "stored");
    } else {
      // Out of the list of items, shown as a leftover for Vaporize all.
      EXPECT_EQ(ShownItems(), std::vector<std::string>{Own(" -> D:\\VAPORIZE\\~D1.txt")});
      const ItemReport& last = r.Items().back();
      EXPECT_EQ(last.path, DS("D1.txt"));
      EXPECT_NE(last.detail.find(Own("what is left of it is D:\\VAPORIZE\\~D1.txt")), std::string::npos) << last.detail;
      EXPECT_TRUE(PathExists(DS("~D1.txt")));
    }
  }
}

// Something outside the Vaporizer takes the old name of the first item
// while it is claimed and being overwritten.
class OldNameThief : public RecordingPlatform {
 public:
  explicit OldNameThief(std::string name) : name_(std::move(name)) {}
  bool Refuse(const std::string& op, const std::string& path, std::int64_t offset, std::size_t size) override {
    if (op == "OpenExclusive" && !name_.empty()) NativePlatform().CreateEmptyFile(name_), name_.clear();
    return RecordingPlatform::Refuse(op, path, offset, size);
  }

 private:
  std::string name_;
};

TEST_F(IndexEditTest, ItemsKeptAsAskedGoBackTogetherUnderTheirNamesOrNamesNoOtherOfThemWants) {
  MakeFile(DS("D1.txt"), "one");
  MakeFile(DS("D2.txt"), "two");
  MakeFile(DS("info.shr"), Own("D:\\Work\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\nD:\\Work\\b.txt\r\nD:\\VAPORIZE\\D2.txt\r\n"));
  OldNameThief thief(DS("D1.txt"));
  const ShredOptions keep{1, 0, 'Z', 0};
  Report r;
  {
    ScopedPlatform use(thief);
    ScopedUi scope(ui);
    r = VaporizeStoredItems({{"D:\\Work\\a.txt", DS("D1.txt")}, {"D:\\Work\\b.txt", DS("D2.txt")}},
                            &keep);
  }
  EXPECT_TRUE(r.AllDone());
  // D2.txt is the second item's own; the first gets the next free name.
  EXPECT_EQ(ShownItems(), (std::vector<std::string>{Own("D:\\Work\\a.txt -> D:\\VAPORIZE\\D3.txt"),
                                                Own("D:\\Work\\b.txt -> D:\\VAPORIZE\\D2.txt"), Own(" -> D:\\VAPORIZE\\D1.txt")}));
  EXPECT_EQ(Slurp(DS("D3.txt")), "ZZZ");
  EXPECT_EQ(Slurp(DS("D1.txt")), "") << "what took the name is left alone";
  EXPECT_EQ(thief.Count("Append", "info.shr"), 1u) << "both records go back in one write";
}

}  // namespace
}  // namespace vz::test
