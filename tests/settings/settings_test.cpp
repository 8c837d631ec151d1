#include "settings/settings.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/drives.h"
#include "support/recording_platform.h"

namespace vz::test {
namespace {

class SettingsTest : public DrivesTest {
 protected:
  static KvValue Value(const char* name) { return Plat().KvRead(kSettingsKey, name); }
  static void Put(const char* name, std::uint32_t v) { ASSERT_TRUE(Plat().KvWriteDword(kSettingsKey, name, v)); }
};

TEST_F(SettingsTest, FreshAccountReadsDefaultsAndLeavesAnEmptyKey) {
  ASSERT_FALSE(Plat().KvOpenKey(kSettingsKey, false));
  VaporizerSettings s = LoadSettings();
  EXPECT_EQ(s.passCount, 3);
  EXPECT_FALSE(s.showProgress);
  EXPECT_TRUE(s.insertContextMenu);
  EXPECT_TRUE(s.insertSendTo);
  EXPECT_TRUE(Plat().KvOpenKey(kSettingsKey, false)) << "reading creates the key";
  for (const char* name : {"ShredCount", "ShowIndicator", "InsertContext", "InsertSendTo"})
    EXPECT_EQ(Value(name).type, KvType::Missing) << name << " must not be written by a read";
}

TEST_F(SettingsTest, StoredNumbersAreTakenAsTheyStand) {
  Put("ShredCount", 25);
  Put("ShowIndicator", 7);
  Put("InsertContext", 0);
  Put("InsertSendTo", 2);
  VaporizerSettings s = LoadSettings();
  EXPECT_EQ(s.passCount, 25) << "no range test on reading";
  EXPECT_TRUE(s.showProgress) << "any non-zero number is true";
  EXPECT_FALSE(s.insertContextMenu) << "a stored 0 is false, not missing";
  EXPECT_TRUE(s.insertSendTo);

  BatchSettings b = ReadBatchSettings();
  EXPECT_EQ(b.passes, 25) << "the batch uses the stored number unchanged";
  EXPECT_TRUE(b.showProgress);
  EXPECT_EQ(Value("ShowIndicator").dword, 7u) << "a readable value is not written back";

  Put("ShowIndicator", 0);
  b = ReadBatchSettings();
  EXPECT_FALSE(b.showProgress) << "a stored 0 is not missing";
  EXPECT_EQ(Value("ShowIndicator").dword, 0u);
}

// Every number is used only within the range the command line takes too: a
// value outside it is reported, the reader's default is used, and the
// stored value stays for the user to mend. A pass count never becomes 0 (a
// delete without an overwrite) nor wraps around in a 16-bit field.
TEST_F(SettingsTest, ANumberOutsideItsRangeIsReportedAndItsDefaultUsed) {
  for (const NumberSetting& n : kNumberSettings) {
    SCOPED_TRACE(n.name);
    std::vector<std::uint32_t> outside = {0xFFFFFFFEu};
    if (n.low > 0) outside.push_back(n.low - 1);
    if (n.high < 0xFFFFFFFFu) outside.push_back(n.high + 1);
    for (std::uint32_t v : outside) {
      Put(n.name, v);
      NumberRead r = ReadNumber(n);
      EXPECT_FALSE(r.value) << v;
      // The stored DWORD as it is stored: 4294967294, never -2.
      EXPECT_EQ(r.problem.rfind(std::string(n.name) + " in the settings is " + std::to_string(v) + ", ", 0), 0u)
          << r.problem;
    }
    for (std::uint32_t v : {n.low, n.high}) {
      Put(n.name, v);
      EXPECT_EQ(ReadNumber(n).value, v);
      EXPECT_TRUE(ReadNumber(n).problem.empty());
    }
  }
  for (std::uint32_t v : {0u, 65536u, 0xFFFFFFFEu}) {
    Put("ShredCount", v);
    EXPECT_EQ(LoadSettings().passCount, 3) << v;
    BatchSettings b = ReadBatchSettings();
    EXPECT_EQ(b.passes, 1) << v;
    ASSERT_EQ(b.problems.size(), 1u) << v;
    EXPECT_NE(b.problems[0].find("1 is used instead"), std::string::npos) << b.problems[0];
    SettingsView view = PeekSettings();
    EXPECT_EQ(view.values.passCount, 1);
    EXPECT_EQ(view.problems, b.problems);
    EXPECT_EQ(Value("ShredCount").dword, v) << "the user's value is left as it is";
  }
}

TEST_F(SettingsTest, ATextValueCountsAsMissingForEachReaderInItsOwnWay) {
  ASSERT_TRUE(Plat().KvWriteString(kSettingsKey, "ShredCount", "5"));
  EXPECT_EQ(LoadSettings().passCount, 3);
  EXPECT_EQ(Value("ShredCount").type, KvType::String) << "the screens' read writes nothing";

  BatchSettings b = ReadBatchSettings();
  EXPECT_EQ(b.passes, 1);
  KvValue v = Value("ShredCount");
  EXPECT_EQ(v.type, KvType::Dword) << "the batch writes its default back as a number";
  EXPECT_EQ(v.dword, 1u);
}

TEST_F(SettingsTest, FirstVaporizeOnAFreshAccountWritesOnePassWithProgress) {
  BatchSettings b = ReadBatchSettings();
  EXPECT_EQ(b.passes, 1);
  EXPECT_TRUE(b.showProgress);
  EXPECT_EQ(Value("ShredCount").type, KvType::Dword);
  EXPECT_EQ(Value("ShredCount").dword, 1u);
  EXPECT_EQ(Value("ShowIndicator").dword, 1u);
  VaporizerSettings s = LoadSettings();
  EXPECT_EQ(s.passCount, 1);
  EXPECT_TRUE(s.showProgress);
}

TEST_F(SettingsTest, WithoutAKeyTheReadersFallBackAndNothingIsWritten) {
  RecordingPlatform rec;
  ScopedPlatform use(rec);
  rec.FailOn("KvOpenKey+create");
  VaporizerSettings s = LoadSettings();
  EXPECT_EQ(s.passCount, 3);
  EXPECT_FALSE(s.showProgress);
  EXPECT_TRUE(s.insertContextMenu && s.insertSendTo);
  BatchSettings b = ReadBatchSettings();
  EXPECT_EQ(b.passes, 1);
  EXPECT_EQ(rec.Count("KvWriteDword"), 0u);

  bool switched = false;
  MenuSwitches sw{[&](bool) { switched = true; }, [&](bool) { switched = true; }};
  EXPECT_FALSE(SaveSettings(VaporizerSettings{}, sw));
  EXPECT_FALSE(switched) << "no registration changes when nothing could be saved";
  EXPECT_EQ(rec.Count("KvWriteDword"), 0u);
}

TEST_F(SettingsTest, SaveWritesInOrderAndAppliesEachSwitchAfterItsValue) {
  RecordingPlatform rec;
  ScopedPlatform use(rec);
  std::vector<std::string> order;
  MenuSwitches sw{[&](bool on) { order.push_back(std::string("menu:") + (on ? "on" : "off")); },
                  [&](bool on) { order.push_back(std::string("sendto:") + (on ? "on" : "off")); }};
  Put("ShowIndicator", 7);
  VaporizerSettings s{7, LoadSettings().showProgress, false, true};
  rec.calls.clear();
  ASSERT_TRUE(SaveSettings(s, sw));
  std::vector<std::string> writes;
  for (const auto& c : rec.calls)
    if (c.op == "KvWriteDword") writes.push_back(c.path);
  EXPECT_EQ(writes, (std::vector<std::string>{"ShredCount", "ShowIndicator", "InsertContext", "InsertSendTo"}));
  EXPECT_EQ(order, (std::vector<std::string>{"menu:off", "sendto:on"}));

  VaporizerSettings back = LoadSettings();
  EXPECT_EQ(Value("ShowIndicator").dword, 1u) << "true is saved as 1";
  EXPECT_EQ(back.passCount, 7);
  EXPECT_TRUE(back.showProgress);
  EXPECT_FALSE(back.insertContextMenu);
  EXPECT_TRUE(back.insertSendTo);
}

TEST_F(SettingsTest, AFailedWriteIsSkippedAndTheRestStillGoOut) {
  RecordingPlatform rec;
  ScopedPlatform use(rec);
  rec.FailOn("KvWriteDword", "ShowIndicator");
  ASSERT_TRUE(SaveSettings(VaporizerSettings{4, true, false, false}, MenuSwitches{}));
  EXPECT_EQ(Value("ShowIndicator").type, KvType::Missing);
  EXPECT_EQ(Value("ShredCount").dword, 4u);
  EXPECT_EQ(Value("InsertContext").dword, 0u);
  EXPECT_EQ(Value("InsertSendTo").dword, 0u);
}

TEST_F(SettingsTest, ASwitchThatThrowsEndsTheSaveAtThatStep) {
  MenuSwitches sw{[](bool) { throw std::runtime_error("registration refused"); },
                  [](bool) { FAIL() << "the second switch must not run"; }};
  EXPECT_THROW(SaveSettings(VaporizerSettings{2, false, true, true}, sw), std::runtime_error);
  EXPECT_EQ(Value("InsertContext").dword, 1u);
  EXPECT_EQ(Value("InsertSendTo").type, KvType::Missing);
}

// The emptying rules are acted on without a question: out of its range (or
// not a number) a rule is off, and the reader says why.
TEST_F(SettingsTest, EmptyingRulesOutsideTheirRangesAreOffAndReported) {
  EXPECT_FALSE(LoadEmptyingSettings().Any()) << "off until the user sets them";
  Put("EmptyAfterDays", 30);
  Put("StoreLimitMB", 16777217);
  EmptyingSettings s = LoadEmptyingSettings();
  EXPECT_EQ(s.afterDays, 30u);
  EXPECT_EQ(s.storeLimitMb, 0u);
  ASSERT_EQ(s.problems.size(), 1u);
  EXPECT_EQ(s.problems[0], "StoreLimitMB in the settings is 16777217, outside 0 to 16777216; 0 is used instead");
  ASSERT_TRUE(Plat().KvWriteString(kSettingsKey, "EmptyAfterDays", "30"));
  EXPECT_EQ(LoadEmptyingSettings().afterDays, 0u) << "a text is no number";

  EXPECT_TRUE(SaveEmptyingSettings({45, 500, {}}));
  EXPECT_EQ(Value("EmptyAfterDays").dword, 45u);
  EXPECT_EQ(Value("StoreLimitMB").dword, 500u);
  EXPECT_FALSE(SaveEmptyingSettings({3651, 1, {}}));
  EXPECT_EQ(Value("StoreLimitMB").dword, 500u) << "a save out of range writes nothing";
}

}  // namespace
}  // namespace vz::test

namespace vz::test {
namespace {

// Defaults, stored numbers (any but 0 is on), and text that counts as missing.
TEST_F(SettingsTest, TheDestructionSettingsTakeTheirDefaultsAndStoredValues) {
  DestructionView fresh = ReadDestructionSettings();
  EXPECT_FALSE(fresh.values.verify);
  EXPECT_TRUE(fresh.values.trimVolume);
  EXPECT_FALSE(fresh.values.keepReceipts);
  EXPECT_FALSE(fresh.written[0] || fresh.written[1] || fresh.written[2]) << "a read writes nothing";
  Put("Verify", 7);
  Put("TrimVolume", 0);
  ASSERT_TRUE(Plat().KvWriteString(kSettingsKey, "KeepReceipts", "1"));
  DestructionView v = ReadDestructionSettings();
  EXPECT_TRUE(v.values.verify);
  EXPECT_FALSE(v.values.trimVolume);
  EXPECT_FALSE(v.values.keepReceipts);
  EXPECT_FALSE(v.written[2]);
  ASSERT_TRUE(SaveDestructionSettings({false, true, true}));
  EXPECT_EQ(Value("Verify").dword, 0u);
  EXPECT_EQ(Value("KeepReceipts").type, KvType::Dword);
  EXPECT_TRUE(ReadDestructionSettings().values.keepReceipts);
}

}  // namespace
}  // namespace vz::test
