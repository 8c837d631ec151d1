// What a batch does after the passes: the read-back, handing the blocks
// back to the device, the volume's trim, and the receipt of the run.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "engine/batch.h"
#include "engine/receipt.h"
#include "platform/medium.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "store/send.h"
#include "store/store.h"
#include "support/drives.h"
#include "support/recording_platform.h"
#include "support/scripted_ui.h"

namespace vz::test {
namespace {

class DestructionTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    EnsureStores();
  }
  // Vaporizes one file of 10000 bytes with one pass through a fresh
  // recording platform, set up first; its report.
  ItemReport One(const std::function<void(RecordingPlatform&)>& setUp, const RunOptions& run = {}) {
    MakeFile(D("a.txt"), std::string(10000, 's'));
    rec = std::make_unique<RecordingPlatform>();
    setUp(*rec);
    ScopedPlatform use(*rec);
    ScopedUi scoped(ui);
    const ShredOptions one{1, 1, 0, 0};
    Report r = VaporizeBatch({D("a.txt")}, BatchEntries::Paths, &one, &run);
    EXPECT_EQ(r.Items().size(), 1u);
    return r.Items().empty() ? ItemReport{} : r.Items()[0];
  }
  std::unique_ptr<RecordingPlatform> rec;
  ScriptedUi ui;
};

TEST_F(DestructionTest, TheReadBackComparesWhatTheDeviceGivesBack) {
  RunOptions verify;
  verify.verify = true;
  struct Case {
    const char* fail;  // what the device does wrong
    Outcome outcome;
    bool verified;
    const char* text;
  } cases[] = {
      {"", Outcome::Done, true, "every byte read back"},
      {"ReadBack+differ", Outcome::Failed, false, "is not what was written"},
      {"ReadBack", Outcome::Done, false, "could not be read back"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fail);
    ItemReport i = One([&](RecordingPlatform& r) { if (*c.fail) r.FailOn(c.fail, "a.txt"); }, verify);
    EXPECT_EQ(i.outcome, c.outcome) << i.detail;
    EXPECT_EQ(PathExists(D("a.txt")), c.outcome == Outcome::Failed);
    ASSERT_TRUE(i.destruction && i.destruction->verified);
    EXPECT_EQ(*i.destruction->verified, c.verified);
    EXPECT_NE((i.detail + i.destruction->verify).find(c.text), std::string::npos) << i.destruction->verify;
    EXPECT_EQ(rec->Count("OpenExclusiveReadBack", "a.txt"), 1u);
  }
}

// Blocks that did not reach the device when they were handed back reach it
// by the volume's trim, where the settings and the system allow it.
TEST_F(DestructionTest, WhatTheFileCouldNotHandBackTheVolumeTrimReaches) {
  struct Case {
    bool discard, setting;
    const char* volumeAnswer;
    bool trimmed, volumeTrim;
    const char* text;
  } cases[] = {
      {true, true, "", true, false, "trimmed"},
      {false, true, "", true, true, "trimmed by the volume trim"},
      {false, true, "the volume trim needs root", false, true, "failing by test; the volume trim needs root"},
      {false, false, "", false, false, "off in the settings"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(SaveDestructionSettings({false, c.setting, false}));
    ItemReport i = One([&](RecordingPlatform& r) {
      if (c.discard) r.discardReaches = true;
      else r.FailOn("Discard", "a.txt");
      r.trimVolumeAnswer = c.volumeAnswer;
      // A device that takes discards under a file system that passes
      // nothing on by itself.
      r.medium.emplace();
      r.medium->discards = {Answer::Yes, "", "recorded"};
      r.medium->discardOnFree = {Answer::No, "", "recorded"};
    });
    ASSERT_TRUE(i.destruction && i.destruction->trimmed) << i.detail;
    EXPECT_EQ(*i.destruction->trimmed, c.trimmed) << i.destruction->trim;
    EXPECT_NE(i.destruction->trim.find(c.text), std::string::npos) << i.destruction->trim;
    EXPECT_EQ(rec->Count("TrimVolume"), c.volumeTrim ? 1u : 0u);
    EXPECT_EQ(rec->Count("Discard", "a.txt"), 1u);
  }
}

// The receipt names the item by its original path, keyed: a stored item is
// found under the path it was sent from, never under its stored name.
TEST_F(DestructionTest, TheReceiptOfARunFindsTheOriginalPath) {
  MakeFile(D("Work\\plan.doc"), "plan");
  ScriptedUi yes;
  ScopedUi scoped(yes);
  ASSERT_TRUE(SendToStore({D("Work\\plan.doc")}, 0).report.AllDone());
  ASSERT_TRUE(SaveDestructionSettings({false, true, true}));  // the settings' own receipt too
  RunOptions run;
  run.receipts.push_back(HostPath(D("r.jsonl")));
  const ShredOptions one{1, 1, 0, 0};
  std::string why;
  const auto key = *UserSecretKey(&why);
  const std::string files[] = {HostPath(D("r.jsonl")), DefaultReceiptPath(&why)};
  // The user's own receipt outlives the test (under Wine both builds share
  // one profile): only what this run adds counts.
  std::size_t before[2] = {};
  for (int i = 0; i < 2; ++i)
    if (auto text = ReadUserFile(files[i], &why)) before[i] = FindInReceipt(*text, D("Work\\plan.doc"), key, nullptr).size();
  ASSERT_TRUE(ShredAllItems(&one, &run).AllDone());
  for (int i = 0; i < 2; ++i) {
    auto text = ReadUserFile(files[i], &why);
    ASSERT_TRUE(text) << why;
    ReceiptCheck c = VerifyReceipt(*text, &key, UserAnchors(&why));
    EXPECT_FALSE(c.Broken()) << c.why;
    EXPECT_TRUE(c.anchored);
    EXPECT_EQ(c.uncheckedLines, 0u);
    EXPECT_EQ(text->find("plan"), std::string::npos);
    EXPECT_EQ(FindInReceipt(*text, D("Work\\plan.doc"), key, nullptr).size(), before[i] + 1);
    EXPECT_TRUE(FindInReceipt(*text, D("VAPORIZE\\D1.doc"), key, nullptr).empty());
  }
}

}  // namespace
}  // namespace vz::test
