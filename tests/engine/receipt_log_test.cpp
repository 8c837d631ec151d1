// A vaporize's receipt in the system's log: when it goes there, and that
// its records carry the facts of the receipt's own lines.
#include "engine/receipt_log.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "engine/batch.h"
#include "settings/policy.h"
#include "settings/settings.h"
#include "store/intake.h"
#include "support/drives.h"
#include "support/forwarding_platform.h"
#include "support/scripted_ui.h"
#include "support/shared_values.h"

namespace vz::test {
namespace {

using json = nlohmann::ordered_json;

class LogPlatform : public ForwardingPlatform {
 public:
  using ForwardingPlatform::ForwardingPlatform;
  PolicyRead policy;
  std::vector<LogRecord> records;
  std::string refusal;
  PolicyRead ReadPolicy() override { return policy; }
  std::string WriteSystemLog(const std::vector<LogRecord>& r) override {
    records.insert(records.end(), r.begin(), r.end());
    return refusal;
  }
};


std::string Field(const LogRecord& r, const std::string& name) {
  for (const LogField& f : r.fields)
    if (f.name == name) return f.value;
  return "<none>";
}

std::vector<std::string> Names(const LogRecord& r) {
  std::vector<std::string> names;
  for (const LogField& f : r.fields) names.push_back(f.name);
  return names;
}

class ReceiptLogTest : public DrivesTest {
 protected:
  LogPlatform platform_{Plat()};
  ScopedPlatform scoped_{platform_};
  ScriptedUi yes_;
  ScopedUi ui_{yes_};

  Report Vaporize(const std::string& name) {
    MakeFile(D(name), std::string(3000, 'x'));
    const ShredOptions keep{1, 0, 0, 0};
    Intake in = TakeIn({D(name)}, nullptr, Road::InPlace, PathOrigin::Typed);
    return VaporizeItems(in.direct, &keep);
  }
};

// Off for users by default; on by the user's setting or by the policy,
// which also wins where it turns the log off.
TEST_F(ReceiptLogTest, TheUsersSettingOrThePolicyDecides) {
  struct Case {
    bool user;
    int policy;  // -1: not set
    bool logged;
  } cases[] = {{false, -1, false}, {true, -1, true}, {false, 1, true}, {true, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.user) + " " + std::to_string(c.policy));
    platform_.records.clear();
    DestructionSettings d;
    d.logReceipts = c.user;
    ASSERT_TRUE(SaveDestructionSettings(d));
    platform_.policy.sources.clear();
    if (c.policy >= 0) platform_.policy.sources = {{"P", {{"LogReceipts", Dword(c.policy)}}}};
    Report r = Vaporize("a.txt");
    EXPECT_TRUE(r.AllDone());
    EXPECT_EQ(platform_.records.size(), c.logged ? 2u : 0u);
  }
}

// Every field of the receipt's item and run lines, with the same values and
// the same run; the path only as its keyed hash unless the policy asks for
// names.
TEST_F(ReceiptLogTest, RecordsCarryTheReceiptsFactsAndNamesOnlyByPolicy) {
  DestructionSettings d;
  d.logReceipts = d.keepReceipts = true;
  ASSERT_TRUE(SaveDestructionSettings(d));
  for (bool names : {false, true}) {
    SCOPED_TRACE(names);
    platform_.records.clear();
    platform_.policy.sources = {{"P", {{"LogNames", Dword(names)}}}};
    ASSERT_TRUE(Vaporize("secret-plan.txt").AllDone());
    ASSERT_EQ(platform_.records.size(), 2u);
    const LogRecord &item = platform_.records[0], &run = platform_.records[1];
    EXPECT_EQ(item.event, kItemEvent);
    EXPECT_EQ(item.level, LogLevel::Info);
    EXPECT_EQ(Names(item), ItemLogFields());
    EXPECT_EQ(run.event, kRunEvent);
    EXPECT_EQ(Names(run), RunLogFields());
    std::string why;
    const std::string receipt = *ReadUserFile(DefaultReceiptPath(&why), &why);
    std::vector<json> lines;
    for (std::size_t s = 0, e; (e = receipt.find('\n', s)) != std::string::npos; s = e + 1)
      lines.push_back(json::parse(receipt.substr(s, e - s)));
    ASSERT_GE(lines.size(), 3u);
    const json &itemLine = lines[lines.size() - 3], &runLine = lines[lines.size() - 2];
    for (const char* f : {"outcome", "action", "path_hmac", "kind", "started", "finished", "key", "run"})
      EXPECT_EQ(Field(item, f), itemLine[f].get<std::string>()) << f;
    for (const char* f : {"size", "passes", "fill", "flushed"}) EXPECT_EQ(Field(item, f), itemLine[f].dump()) << f;
    EXPECT_EQ(Field(item, "volume"), itemLine["medium"]["volume"].get<std::string>());
    EXPECT_EQ(Field(item, "verdict"), itemLine["medium"]["verdict"].get<std::string>());
    for (const char* f : {"command", "started", "finished", "key", "run"})
      EXPECT_EQ(Field(run, f), runLine[f].get<std::string>()) << f;
    EXPECT_EQ(Field(run, "done"), "1");
    EXPECT_EQ(Field(item, "user"), Plat().AccountName());
    EXPECT_EQ(Field(item, "path"), names ? D("secret-plan.txt") : "");
    EXPECT_EQ(item.message.find("secret-plan") != std::string::npos, names) << item.message;
    for (const LogRecord& r : platform_.records) {
      if (!names || r.event == kRunEvent) EXPECT_EQ(r.message.find("secret-plan"), std::string::npos) << r.message;
      if (!names)
        for (const LogField& f : r.fields) EXPECT_EQ(f.value.find("secret-plan"), std::string::npos) << f.name;
    }
  }
}

// A log that refuses the records fails the run's report, naming the log.
TEST_F(ReceiptLogTest, ARefusedLogIsAFailure) {
  platform_.policy.sources = {{"P", {{"LogReceipts", Dword(1)}}}};
  platform_.refusal = "no journal";
  Report r = Vaporize("a.txt");
  const ItemReport* log = r.Find("(the system's log)");
  ASSERT_TRUE(log);
  EXPECT_EQ(log->outcome, Outcome::Failed);
  EXPECT_EQ(log->detail, "the receipt could not be logged: no journal");
}

}  // namespace
}  // namespace vz::test
