// The failing layer itself, and the faults it found, each pinned down on
// its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fault/fault_platform.h"
#include "fault/store_audit.h"
#include "platform/platform.h"
#include "store/enum_shred.h"
#include "store/send.h"
#include "store/store.h"
#include "support/drives.h"
#include "support/scripted_ui.h"

namespace vz::test {
namespace {

class FaultLayerTest : public DrivesTest {};

TEST_F(FaultLayerTest, FailsExactlyTheNthCallOfItsKindOnceOrFromThenOn) {
  MakeFile(D("a.txt"), "a");
  FaultPlatform once(FaultKind::Search, 2, FaultMode::Once);
  {
    ScopedPlatform use(once);
    EXPECT_TRUE(Plat().GetAttributes(D("a.txt")).has_value());
    EXPECT_TRUE(Plat().CreateEmptyFile(D("b.txt"))) << "another kind is not counted";
    EXPECT_FALSE(Plat().FindEntry(D("a.txt")).has_value());
    EXPECT_TRUE(Plat().FindEntry(D("a.txt")).has_value());
  }
  EXPECT_EQ(once.Calls(), 3);
  ASSERT_EQ(once.Failed().size(), 1u);
  EXPECT_EQ(once.Failed()[0], "FindEntry " + D("a.txt"));

  FaultPlatform on(FaultKind::Move, 2, FaultMode::FromThenOn);
  {
    ScopedPlatform use(on);
    EXPECT_TRUE(Plat().MoveItem(D("a.txt"), D("c.txt")));
    EXPECT_FALSE(Plat().MoveItem(D("c.txt"), D("d.txt")));
    EXPECT_FALSE(Plat().MoveItem(D("c.txt"), D("e.txt")));
  }
  EXPECT_TRUE(PathExists(D("c.txt")));
  EXPECT_EQ(on.Failed().size(), 2u);

  FaultPlatform unreached(FaultKind::Flush, 1, FaultMode::Once);
  {
    ScopedPlatform use(unreached);
    Plat().GetAttributes(D("c.txt"));
  }
  EXPECT_FALSE(unreached.Hit());
}

TEST_F(FaultLayerTest, AFailingWriteLeavesTheFirstHalfOfItsData) {
  MakeFile(D("log.txt"), "start\r\n");
  FaultPlatform faults(FaultKind::Write, 1, FaultMode::Once, "Append");
  {
    ScopedPlatform use(faults);
    auto f = Plat().OpenAppend(D("log.txt"));
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(f->Append("0123456789"));
    EXPECT_TRUE(f->Append("ok"));
  }
  EXPECT_EQ(Slurp(D("log.txt")), "start\r\n01234ok");
}

class FoundFaultTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    EnsureStores();
  }
  ScriptedUi ui;
};

// An append cut short by a full disk once left half a record at the end of
// the index; every later record then paired its lines with the wrong ones,
// and the items sent after it vanished from the list for good.
TEST_F(FoundFaultTest, AnIndexWriteCutShortIsTakenBackAndTheNextSendRecordsWhole) {
  MakeFile(D("Work\\a.txt"), "a");
  MakeFile(D("Work\\b.txt"), "b");
  FaultPlatform faults(FaultKind::Write, 1, FaultMode::Once, "Append");
  SendResult r;
  {
    ScopedPlatform use(faults);
    ScopedUi scope(ui);
    r = SendToStore({D("Work\\a.txt"), D("Work\\b.txt")}, kSendQuietly);
  }
  ASSERT_TRUE(faults.Hit());
  EXPECT_EQ(Slurp(D("Work\\a.txt")), "a") << "the records come first, so nothing moved";
  EXPECT_EQ(r.report.Count(Outcome::Failed), 2u);
  EXPECT_EQ(Slurp(DS("info.shr")), "");
  SendToStore({D("Work\\a.txt"), D("Work\\b.txt")}, kSendQuietly);
  EXPECT_EQ(ShownItems(), (std::vector<std::string>{Own("D:\\Work\\a.txt -> D:\\VAPORIZE\\D1.txt"),
                                               Own("D:\\Work\\b.txt -> D:\\VAPORIZE\\D2.txt")}));
}

// A crash or a full disk in the middle of an append, with nothing left to
// take it back: the next send cuts the half record off instead of gluing
// its own record to it.
TEST_F(FoundFaultTest, AnIndexEndingInHalfARecordIsRepairedBeforeTheNextRecord) {
  MakeFile(D("Work\\a.txt"), "a");
  MakeFile(DS("D1.txt"), "x");
  for (const char* tail : {"D:\\src\\f197.txt\r\nD:\\VAPO", "D:\\src\\f197.txt\r\n", "D:\\src\\f1"}) {
    MakeFile(DS("info.shr"), std::string(Own("D:\\Work\\x.txt\r\nD:\\VAPORIZE\\D1.txt\r\n")) + tail);
    ScopedUi scope(ui);
    SendToStore({D("Work\\a.txt")}, kSendQuietly);
    EXPECT_EQ(Slurp(DS("info.shr")),
              Own("D:\\Work\\x.txt\r\nD:\\VAPORIZE\\D1.txt\r\nD:\\Work\\a.txt\r\nD:\\VAPORIZE\\D2.txt\r\n"))
        << tail;
    ASSERT_TRUE(Plat().MoveItem(DS("D2.txt"), D("Work\\a.txt")));
  }
}

// When the half record cannot be taken back, nothing more is recorded on
// that drive: each later record would be read out of step.
TEST_F(FoundFaultTest, AHalfRecordThatCannotBeTakenBackStopsSendingToThatDrive) {
  MakeFile(D("Work\\a.txt"), "a");
  MakeFile(D("Work\\b.txt"), "b");
  MakeFile(C("Work\\c.txt"), "c");
  FaultPlatform faults(FaultKind::Write, 1, FaultMode::FromThenOn, "Append");
  SendResult r;
  {
    ScopedPlatform use(faults);
    ScopedUi scope(ui);
    r = SendToStore({D("Work\\a.txt"), D("Work\\b.txt"), C("Work\\c.txt")}, kSendQuietly);
  }
  // Every append fails here, so c.txt on C: stays too; what matters is
  // that nothing lands in a store without its record and the report says so.
  EXPECT_EQ(Slurp(D("Work\\a.txt")), "a");
  EXPECT_EQ(Slurp(D("Work\\b.txt")), "b");
  EXPECT_EQ(Slurp(C("Work\\c.txt")), "c");
  EXPECT_EQ(Slurp(DS("info.shr")), "") << "the torn half was taken back";
  EXPECT_EQ(r.report.Count(Outcome::Failed), 3u);
}

TEST_F(FoundFaultTest, AnIndexThatKeepsTheTornHalfRefusesFurtherRecords) {
  MakeFile(D("Work\\a.txt"), "a");
  MakeFile(D("Work\\b.txt"), "b");
  // Putting it back means writing what it held.
  MakeFile(DS("info.shr"), Own("D:\\Work\\old.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"));
  // The append fails, and so does every attempt to put the index back.
  FaultPlatform faults(FaultKind::Write, 1, FaultMode::FromThenOn);
  SendResult r;
  {
    ScopedPlatform use(faults);
    ScopedUi scope(ui);
    r = SendToStore({D("Work\\a.txt"), D("Work\\b.txt")}, kSendQuietly);
  }
  EXPECT_EQ(Slurp(D("Work\\a.txt")), "a");
  EXPECT_EQ(Slurp(D("Work\\b.txt")), "b");
  ASSERT_NE(r.report.Find(D("Work\\b.txt")), nullptr);
  EXPECT_EQ(r.report.Find(D("Work\\b.txt"))->outcome, Outcome::Failed);
  EXPECT_NE(r.report.Find(D("Work\\b.txt"))->detail.find("half a record"), std::string::npos);
}

// A failed attribute query proves nothing: pruning once took it for a
// missing item and dropped the record of an item still in the store.
TEST_F(FoundFaultTest, APruneThatCannotReadAnItemsAttributesKeepsItsRecord) {
  MakeFile(DS("D1.txt"), "live");
  MakeFile(DS("D3\\inner.txt"), "live folder");
  const std::string index =
      Own("D:\\Work\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"
      "D:\\Work\\gone.txt\r\nD:\\VAPORIZE\\D2.txt\r\n"
      "D:\\Work\\Dir\r\nD:\\VAPORIZE\\D3\r\n"
      "D:\\Work\\far.txt\r\nD:\\Nowhere\\Deeper\\x.txt\r\n");
  MakeFile(DS("info.shr"), index);
  FaultPlatform faults(FaultKind::Search, 1, FaultMode::FromThenOn, "Stat");
  {
    ScopedPlatform use(faults);
    PruneIndex();
  }
  ASSERT_TRUE(faults.Hit());
  // The listing still works, so the dead record is known dead and goes;
  // the damaged one stays for the user to see.
  EXPECT_EQ(Slurp(DS("info.shr")),
            Own("D:\\Work\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\nD:\\Work\\Dir\r\nD:\\VAPORIZE\\D3\r\n"
            "D:\\Work\\far.txt\r\nD:\\Nowhere\\Deeper\\x.txt\r\n"));

  // With no way at all to look, nothing is dropped.
  MakeFile(DS("info.shr"), index);
  FaultPlatform blind(FaultKind::Search, 1, FaultMode::FromThenOn);
  {
    ScopedPlatform use(blind);
    PruneIndex();
  }
  EXPECT_EQ(Slurp(DS("info.shr")), index);
}

}  // namespace
}  // namespace vz::test
