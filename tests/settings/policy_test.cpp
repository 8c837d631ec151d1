// The machine policy: which values of the policy places count, and how they
// win over the user's settings, the send and the vaporize.
#include "settings/policy.h"

#include <gtest/gtest.h>

#include "engine/batch.h"
#include "settings/settings.h"
#include "store/intake.h"
#include "support/drives.h"
#include "support/forwarding_platform.h"
#include "support/scripted_ui.h"
#include "support/shared_values.h"

namespace vz::test {
namespace {


class PolicyPlatform : public ForwardingPlatform {
 public:
  using ForwardingPlatform::ForwardingPlatform;
  PolicyRead policy;
  PolicyRead ReadPolicy() override { return policy; }
};

class PolicyTest : public DrivesTest {
 protected:
  PolicyPlatform platform_{Plat()};
  ScopedPlatform scoped_{platform_};
  void Set(std::vector<PolicySource> sources) { platform_.policy.sources = std::move(sources); }
  static void Put(const char* name, std::uint32_t v) { ASSERT_TRUE(Plat().KvWriteDword(kSettingsKey, name, v)); }
};

// The strongest place that holds a valid value sets it; what is not a rule
// of the table, not a number or out of its range is ignored with why.
TEST_F(PolicyTest, OnlyValidValuesOfTheTableCountAndTheStrongestPlaceWins) {
  KvValue text{KvType::String, 0, "3"};
  Set({{"machine", {{"MinimumPasses", Dword(7)}, {"FillByte", Dword(256)}, {"Verify", text}, {"Wipe", Dword(1)}}},
       {"user", {{"MinimumPasses", Dword(2)}, {"FillByte", Dword(0xAA)}, {"Sending", Dword(2)}}}});
  platform_.policy.warnings = {"the policy X is ignored: others may write to it"};
  const Policy p = ReadMachinePolicy();
  struct Row {
    const char* name;
    std::uint32_t value;
    const char* source;
  } rows[] = {{"MinimumPasses", 7, "machine"}, {"FillByte", 0xAA, "user"}, {"Sending", 2, "user"}};
  ASSERT_EQ(p.values.size(), std::size(rows));
  for (const Row& r : rows) {
    ASSERT_TRUE(p.Find(r.name)) << r.name;
    EXPECT_EQ(p.Find(r.name)->value, r.value) << r.name;
    EXPECT_EQ(p.Find(r.name)->source, r.source) << r.name;
  }
  const std::vector<std::string> warnings = {
      "the policy X is ignored: others may write to it", "FillByte in machine is 256, outside 0 to 255: ignored",
      "Verify in machine is not a number: ignored", "Wipe in machine is no policy of this version: ignored"};
  EXPECT_EQ(p.warnings, warnings);
}

// Every reader gives the policy's values; the user's stay stored and are
// what is read without the policy.
TEST_F(PolicyTest, PolicyValuesWinOverTheUsersAndLeaveThemStored) {
  Put("ShredCount", 1);
  Put("Verify", 0);
  Put("TrimVolume", 1);
  Put("EmptyAfterDays", 5);
  Set({{"P", {{"MinimumPasses", Dword(3)}, {"Verify", Dword(1)}, {"TrimVolume", Dword(0)}, {"KeepReceipts", Dword(1)},
              {"EmptyAfterDays", Dword(30)}, {"StoreLimitMB", Dword(100)}, {"FileMenu", Dword(0)}}}});
  EXPECT_EQ(LoadSettings().passCount, 3);
  EXPECT_FALSE(LoadSettings().insertContextMenu);
  EXPECT_EQ(ReadBatchSettings().passes, 3);
  SettingsView v = PeekSettings();
  EXPECT_EQ(v.values.passCount, 3);
  EXPECT_EQ(v.minimumPasses, 3u);
  EXPECT_EQ(v.policy[0], "the policy in P (MinimumPasses)");
  EXPECT_EQ(v.policy[2], "the policy in P (FileMenu)");
  EXPECT_EQ(v.policy[1], "");
  DestructionView d = ReadDestructionSettings();
  EXPECT_TRUE(d.values.verify && !d.values.trimVolume && d.values.keepReceipts);
  EXPECT_EQ(d.policy[1], "the policy in P (TrimVolume)");
  EmptyingSettings e = LoadEmptyingSettings();
  EXPECT_EQ(e.afterDays, 30u);
  EXPECT_EQ(e.storeLimitMb, 100u);
  // Without the policy: the user's own, as a save writes them back.
  EXPECT_EQ(PeekSettings(false).values.passCount, 1);
  EXPECT_FALSE(ReadDestructionSettings(false).values.verify);
  EXPECT_EQ(LoadEmptyingSettings(false).afterDays, 5u);
  // A user above the lowest keeps theirs.
  Put("ShredCount", 5);
  EXPECT_EQ(ReadBatchSettings().passes, 5);
}

// Sending refused, or sent items vaporized at once, whatever the drive.
TEST_F(PolicyTest, SendingIsRefusedOrVaporizesAtOnce) {
  MakeFile(D("a.txt"), "a");
  for (std::uint32_t sending : {0u, 1u, 2u}) {
    Set({{"P", {{"Sending", Dword(sending)}}}});
    Intake in = TakeIn({D("a.txt")}, nullptr, Road::ByDrive, PathOrigin::Typed);
    EXPECT_EQ(in.refused.Items().size(), sending == 0 ? 1u : 0u) << sending;
    EXPECT_EQ(in.store.size(), sending == 1 ? 1u : 0u) << sending;
    ASSERT_EQ(in.direct.size(), sending == 2 ? 1u : 0u) << sending;
    if (sending == 0) EXPECT_EQ(in.refused.Items()[0].detail, "sending is turned off by the policy in P (Sending)");
    if (sending == 2) EXPECT_EQ(in.direct[0].noStore, "Items are vaporized at once by the policy in P (Sending).");
  }
}

// A vaporize makes the policy's lowest number of passes with its fill,
// whatever the caller asked, and reads back where the policy says so.
TEST_F(PolicyTest, AVaporizeTakesThePolicysPassesFillAndVerify) {
  MakeFile(D("a.txt"), std::string(5000, 'x'));
  Set({{"P", {{"MinimumPasses", Dword(2)}, {"FillByte", Dword(0xAA)}, {"Verify", Dword(1)}}}});
  ScriptedUi yes;
  ScopedUi ui(yes);
  const ShredOptions keep{1, 0, 0, 0};
  RunOptions run;
  run.verify = false;
  Intake in = TakeIn({D("a.txt")}, nullptr, Road::InPlace, PathOrigin::Typed);
  Report r = VaporizeItems(in.direct, &keep, &run);
  ASSERT_EQ(r.Items().size(), 1u);
  ASSERT_TRUE(r.Items()[0].destruction);
  EXPECT_EQ(r.Items()[0].destruction->passes, 2);
  EXPECT_EQ(r.Items()[0].destruction->fill, 0xAA);
  EXPECT_TRUE(r.Items()[0].destruction->verified.has_value());
  EXPECT_EQ(Slurp(D("a.txt")), std::string(5000, '\xAA'));
}

}  // namespace
}  // namespace vz::test
