#include "engine/receipt.h"

#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>

#include "common/text.h"
#include "platform/platform.h"
#include "support/drives.h"

namespace vz::test {
namespace {

using json = nlohmann::ordered_json;

const std::string kKey(32, 'k');

ReceiptRun RunOf(const char* command) {
  ReceiptRun run;
  run.command = command;
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t s = 0, e; (e = text.find('\n', s)) != std::string::npos; s = e + 1)
    lines.push_back(text.substr(s, e - s + 1));
  return lines;
}
std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l;
  return out;
}

// Three runs of one receipt (lines 1-5: three items, one a failure, run,
// seal; 6-8: one item; 9-11: one item), and the anchors written with them:
// `after[k]` is the file as it stood after run k.
struct Fixture {
  std::string text;
  std::string after[4];
  std::vector<ReceiptAnchor> anchors;
  Fixture() {
    Report r;
    r.Done("C:\\VAPORIZE\\C1.doc", "vaporized");
    Destruction d;
    d.original = "C:\\Work\\secret-plan.doc";
    d.size = 5000;
    d.passes = 1;
    d.trimmed = true;
    d.trim = "trimmed";
    d.reachWhy = "secret-plan.doc lies on a virtual disk";
    r.Describe(d);
    r.Done("C:\\Work\\other.txt", "vaporized");
    r.Failed("C:\\Work\\stuck.txt", "stuck.txt could not be opened");
    Report second, third;
    second.Done("D:\\x.bin", "vaporized");
    third.Skipped("D:\\y.bin", "left alone");
    const Report* runs[] = {&r, &second, &third};
    for (int k = 0; k < 3; ++k) {
      ReceiptAnchor a;
      text += ReceiptLines(*runs[k], RunOf(k ? "shred" : "vaporize"), kKey, TailOf(text), &a);
      anchors.push_back(a);
      after[k + 1] = text;
    }
  }
};

// A line as a forger without the key makes it: content changed, its chain
// value made again with plain SHA-256 (or its plain hash, in the earlier
// form).
std::string Forged(const std::string& line, const std::function<void(json&)>& change, const char* member = "chain") {
  json j = json::parse(line);
  change(j);
  j.erase(member);
  std::string body = j.dump();
  body.pop_back();
  return body + ",\"" + member + "\":\"" + HexOf(*Sha256(body)) + "\"}\n";
}

// A receipt in the earlier, unkeyed form: a plain hash of each line, and of
// the line before it.
std::string Legacy(int items) {
  std::string out, prev(64, '0');
  auto add = [&](json j) {
    j["prev"] = prev;
    std::string body = j.dump();
    body.pop_back();
    std::string line = body + ",\"hash\":\"" + HexOf(*Sha256(body)) + "\"}";
    prev = HexOf(*Sha256(line));
    out += line + "\n";
  };
  for (int i = 0; i < items; ++i) add({{"receipt", "item"}, {"path_hmac", "ab"}, {"outcome", "done"}, {"passes", 1}});
  add({{"receipt", "run"}, {"items", items}});
  return out;
}

TEST(ReceiptTest, AWholeReceiptVerifiesEndsWhereItsAnchorsSayAndNamesNothing) {
  Fixture f;
  ReceiptCheck c = VerifyReceipt(f.text, &kKey, f.anchors);
  EXPECT_FALSE(c.Broken()) << c.why;
  EXPECT_EQ(c.lines, 11u);
  EXPECT_EQ(c.runs, 3u);
  EXPECT_TRUE(c.anchored);
  EXPECT_EQ(c.uncheckedLines, 0u);
  for (const char* name : {"secret-plan", "other.txt", "stuck", "Work", "x.bin"})
    EXPECT_EQ(f.text.find(name), std::string::npos) << name;
  EXPECT_FALSE(VerifyReceipt(f.text, &kKey).anchored);  // no anchors: nothing to tell of its end
}

// Every tampering names the line, or the run, where the receipt breaks.
TEST(ReceiptTest, EveryTamperingIsNamedByLineOrRun) {
  const Fixture f;
  const std::vector<std::string> l = Lines(f.text);
  auto without = [&](std::size_t from, std::size_t to) {  // lines from..to (1-based) removed
    std::vector<std::string> v = l;
    v.erase(v.begin() + static_cast<long>(from - 1), v.begin() + static_cast<long>(to));
    return Join(v);
  };
  auto replaced = [&](std::size_t n, const std::string& line) {
    std::vector<std::string> v = l;
    v[n - 1] = line;
    return Join(v);
  };
  struct Row {
    const char* what;
    std::string text;
    std::size_t line, run, missingRun;
    const char* why;
  } rows[] = {
      {"cut inside a run", Join({l[0], l[1]}), 2, 1, 0, "its seal is missing"},
      {"cut inside a line", f.text.substr(0, f.text.size() - 5), 11, 3, 0, "no line end"},
      {"cut at a run's end", f.after[2], 0, 0, 3, "cut short, or replaced by an older copy"},
      {"replaced by an older copy", f.after[1], 0, 0, 2, "runs were written to it"},
      {"a run removed", without(6, 8), 6, 2, 0, "run 2 was removed"},
      {"the first run removed", without(1, 5), 1, 1, 0, "does not start a receipt"},
      {"two lines swapped", Join({l[1], l[0], l[2], l[3], l[4]}), 1, 1, 0, "it was moved"},
      {"two runs swapped", Join({l[0], l[1], l[2], l[3], l[4], l[8], l[9], l[10], l[5], l[6], l[7]}), 6, 2, 0,
       "run 2 was removed or moved"},
      {"an item line put in", replaced(2, l[1] + l[1]), 3, 1, 0, "does not follow line 2"},
      {"an item line removed", without(2, 2), 2, 1, 0, "does not follow line 1"},
      {"passes edited, plain hash recomputed",
       replaced(1, Forged(l[0], [](json& j) { j["passes"] = 35; })), 1, 1, 0, "it was changed"},
      {"failed made done, plain hash recomputed",
       replaced(3, Forged(l[2], [](json& j) { j["outcome"] = "done"; })), 3, 1, 0, "it was changed"},
      {"the seal's count edited", replaced(5, Forged(l[4], [](json& j) { j["items"] = 2; })), 5, 1, 0,
       "it was changed"},
      {"a line in the earlier form put in", replaced(6, Legacy(0) + l[5]), 6, 2, 0, "earlier, unkeyed form"},
  };
  for (const Row& r : rows) {
    ReceiptCheck c = VerifyReceipt(r.text, &kKey, f.anchors);
    EXPECT_EQ(c.broken, r.line) << r.what << ": " << c.why;
    EXPECT_EQ(c.run, r.run) << r.what;
    EXPECT_EQ(c.missingRun, r.missingRun) << r.what;
    EXPECT_NE(c.why.find(r.why), std::string::npos) << r.what << ": " << c.why;
  }
}

// Any byte changed (every byte of the first line, every eleventh of the
// others) names its own line.
TEST(ReceiptTest, EveryChangedByteNamesItsLine) {
  const std::string text = Fixture().text;
  std::size_t line = 1;
  for (std::size_t i = 0; i < text.size(); i += i < text.find('\n') + 1 ? 1 : 11) {
    std::string changed = text;
    changed[i] = static_cast<char>(changed[i] == 'x' ? 'y' : 'x');
    line = 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<long>(i), '\n'));
    // A line end made into a character joins two lines into the first.
    ASSERT_EQ(VerifyReceipt(changed, &kKey).broken, line) << "byte " << i;
  }
}

// Without the key the lines are followed and the seals counted, but no
// line is proved; another key proves none of them either.
TEST(ReceiptTest, WithoutTheKeyWhatCouldNotBeCheckedIsCounted) {
  const Fixture f;
  const std::string other(32, 'o');
  for (const std::string* key : {static_cast<const std::string*>(nullptr), &other}) {
    ReceiptCheck c = VerifyReceipt(f.text, key);
    EXPECT_FALSE(c.Broken()) << c.why;
    EXPECT_EQ(c.uncheckedLines, 11u);
    EXPECT_EQ(c.otherKey, ReceiptKeyId(kKey));
  }
  // A changed line, even with its chain value made again, no longer leads
  // to the next one.
  std::vector<std::string> l = Lines(f.text);
  l[0] = Forged(l[0], [](json& j) { j["passes"] = 35; });
  EXPECT_EQ(VerifyReceipt(Join(l), nullptr).broken, 2u);
}

// Receipts of the earlier form verify as what they are; a keyed run added
// to one holds its lines too.
TEST(ReceiptTest, ReceiptsOfTheEarlierFormStillVerify) {
  const std::string old = Legacy(2);
  ReceiptCheck c = VerifyReceipt(old, &kKey);
  EXPECT_FALSE(c.Broken()) << c.why;
  EXPECT_EQ(c.legacyLines, 3u);
  EXPECT_EQ(c.lines, 3u);
  Report r;
  r.Done("D:\\x.bin", "vaporized");
  ReceiptAnchor a;
  const std::string both = old + ReceiptLines(r, RunOf("empty"), kKey, TailOf(old), &a);
  c = VerifyReceipt(both, &kKey, {a});
  EXPECT_FALSE(c.Broken()) << c.why;
  EXPECT_EQ(c.legacyLines, 3u);
  EXPECT_EQ(c.keyedLines, 3u);
  EXPECT_EQ(c.runs, 2u);
  EXPECT_TRUE(c.anchored);
  // An old line rewritten with its plain hashes made again breaks the first
  // keyed line, which holds the old lines' last value under the key.
  std::vector<std::string> l = Lines(both);
  l[0] = Forged(l[0], [](json& j) { j["passes"] = 35; }, "hash");
  l[1] = Forged(l[1], [&](json& j) { j["prev"] = HexOf(*Sha256(l[0].substr(0, l[0].size() - 1))); }, "hash");
  l[2] = Forged(l[2], [&](json& j) { j["prev"] = HexOf(*Sha256(l[1].substr(0, l[1].size() - 1))); }, "hash");
  EXPECT_EQ(VerifyReceipt(Join(l), &kKey).broken, 4u);
}

TEST(ReceiptTest, FindingTakesThePathAndTheKey) {
  const std::string text = Fixture().text;
  std::size_t others = 0;
  auto hits = FindInReceipt(text, "C:\\Work\\secret-plan.doc", kKey, &others);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].line, 1u);
  EXPECT_EQ(hits[0].outcome, "done");
  EXPECT_EQ(FindInReceipt(text, "C:\\Work\\stuck.txt", kKey, nullptr)[0].outcome, "failed");
  EXPECT_TRUE(FindInReceipt(text, "C:\\Work\\never.doc", kKey, nullptr).empty());
  EXPECT_TRUE(FindInReceipt(text, "C:\\Work\\secret-plan.doc", std::string(32, 'o'), &others).empty());
  EXPECT_EQ(others, 5u);
}

// Written through the user's own files: each run's end is kept beside the
// key, and a receipt put back as it was before a run is found out.
class ReceiptFileTest : public DrivesTest {};

TEST_F(ReceiptFileTest, AnOlderCopyPutBackIsFoundByTheAnchorsBesideTheKey) {
  const std::string file = HostPath(D("r.jsonl"));
  Report r;
  r.Done("D:\\a.txt", "vaporized");
  std::string why, older;
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(WriteReceipt(file, r, RunOf("shred"), &why)) << why;
    if (i == 0) older = *ReadUserFile(file, &why);
  }
  const std::string key = *UserSecretKey(&why, false);
  ReceiptCheck c = VerifyReceipt(*ReadUserFile(file, &why), &key, UserAnchors(&why));
  EXPECT_TRUE(c.anchored) << c.why;
  MakeFile(D("r.jsonl"), older);
  c = VerifyReceipt(older, &key, UserAnchors(&why));
  EXPECT_EQ(c.missingRun, 2u) << c.why;
}

}  // namespace
}  // namespace vz::test
