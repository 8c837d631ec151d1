#include "engine/receipt.h"

#include <gtest/gtest.h>

#include "common/text.h"

namespace vz::test {
namespace {

const std::string kKey(32, 'k');

ReceiptRun Run(const char* command) {
  ReceiptRun run;
  run.command = command;
  return run;
}

// Two runs of a receipt: three items, one of them a failure, then one.
std::string TwoRuns() {
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
  std::string text = ReceiptLines(r, Run("vaporize"), kKey, "");
  Report second;
  second.Done("D:\\x.bin", "vaporized");
  std::size_t last = text.rfind('\n', text.size() - 2) + 1;
  return text + ReceiptLines(second, Run("shred"), kKey, text.substr(last, text.size() - last - 1));
}

std::size_t LineOf(const std::string& text, std::size_t byte) {
  std::size_t line = 1;
  for (std::size_t i = 0; i < byte; ++i) line += text[i] == '\n';
  return line;
}

TEST(ReceiptTest, AWholeReceiptVerifiesAndNamesNothing) {
  const std::string text = TwoRuns();
  ReceiptCheck c = VerifyReceipt(text);
  EXPECT_EQ(c.broken, 0u) << c.why;
  EXPECT_EQ(c.lines, 6u);
  for (const char* name : {"secret-plan", "other.txt", "stuck", "Work", "x.bin"})
    EXPECT_EQ(text.find(name), std::string::npos) << name;
}

// Any byte changed (every byte of the first line, every ninth of the
// others), a line removed or two swapped: the first line that no longer
// holds is named.
TEST(ReceiptTest, EveryChangedByteNamesItsLine) {
  const std::string text = TwoRuns();
  for (std::size_t i = 0; i < text.size(); i += i < text.find('\n') + 1 ? 1 : 9) {
    std::string changed = text;
    changed[i] = static_cast<char>(changed[i] == 'x' ? 'y' : 'x');
    ReceiptCheck c = VerifyReceipt(changed);
    // A line end made into a character joins two lines into the first.
    ASSERT_EQ(c.broken, LineOf(text, i)) << "byte " << i << ": " << c.why;
  }
  std::vector<std::string> lines;
  for (std::size_t s = 0, e; (e = text.find('\n', s)) != std::string::npos; s = e + 1) lines.push_back(text.substr(s, e - s + 1));
  const std::string removed = lines[0] + lines[2] + lines[3], swapped = lines[1] + lines[0];
  EXPECT_EQ(VerifyReceipt(removed).broken, 2u);
  EXPECT_EQ(VerifyReceipt(swapped).broken, 1u);
  EXPECT_EQ(VerifyReceipt(text.substr(0, text.size() - 1)).broken, 6u);  // cut short
}

TEST(ReceiptTest, FindingTakesThePathAndTheKey) {
  const std::string text = TwoRuns();
  std::size_t others = 0;
  auto hits = FindInReceipt(text, "C:\\Work\\secret-plan.doc", kKey, &others);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].line, 1u);
  EXPECT_EQ(hits[0].outcome, "done");
  EXPECT_EQ(FindInReceipt(text, "C:\\Work\\stuck.txt", kKey, nullptr)[0].outcome, "failed");
  EXPECT_TRUE(FindInReceipt(text, "C:\\Work\\never.doc", kKey, nullptr).empty());
  EXPECT_TRUE(FindInReceipt(text, "C:\\Work\\secret-plan.doc", std::string(32, 'o'), &others).empty());
  EXPECT_EQ(others, 4u);
}

}  // namespace
}  // namespace vz::test
