#include <gtest/gtest.h>

#include <string>

#include "common/report_text.h"

namespace vz {
namespace {

TEST(ReportTextTest, ListsWhatWasNotDoneWithItsReasonButNotWhatTheUserKept) {
  Report r;
  r.Done("C:\\a.txt", "restored", "C:\\a.txt");
  r.Failed("C:\\b.txt", "the stored item no longer exists");
  r.Declined("C:\\c.txt", "the existing file at the original path was kept");
  r.Skipped("C:\\d", "a folder of that name is at the original path");
  EXPECT_EQ(ProblemText(r, "restored"),
            "2 items could not be restored:\n\nfailed: C:\\b.txt: the stored item no longer exists\n"
            "skipped: C:\\d: a folder of that name is at the original path");

  Report one;
  one.Failed("D:\\x", "it does not exist");
  EXPECT_EQ(ProblemText(one, "sent to the Vaporizer"),
            "1 item could not be sent to the Vaporizer:\n\nfailed: D:\\x: it does not exist");

  Report kept, done;
  kept.Declined("D:\\y", "left in place: the caution question was answered No");
  done.Done("D:\\z", "vaporized");
  EXPECT_EQ(ProblemText(kept, "vaporized"), "") << "the user's own No tells nothing";
  EXPECT_EQ(ProblemText(done, "vaporized"), "");
  EXPECT_EQ(ProblemText(Report{}, "vaporized"), "");
}

TEST(ReportTextTest, CutToTenItemsWithLongPathsShortenedInTheMiddle) {
  Report r;
  const std::string deep = "C:\\" + std::string(200, 'd') + "\\report.doc";
  r.Failed(deep, "the index could not be written");
  for (int i = 0; i < 24; ++i) r.Skipped("C:\\f" + std::to_string(i), "not found");
  std::string text = ProblemText(r, "vaporized");
  EXPECT_EQ(text.substr(0, 32), "25 items could not be vaporized:");
  // 120 characters of the path: its first third and its end.
  EXPECT_NE(text.find("\nfailed: C:\\" + std::string(37, 'd') + "..." + std::string(66, 'd') +
                      "\\report.doc: the index could not be written\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("skipped: C:\\f8: not found\n...and 15 more."), std::string::npos);
  EXPECT_EQ(text.find("C:\\f9"), std::string::npos) << "ten items, no more";
}

TEST(ReportTextTest, APathIsShortenedByCharactersNeverInsideOne) {
  // Two bytes for each Cyrillic letter, four for the emoji: 120 characters
  // are kept, each whole.
  std::string deep = "C:\\";
  for (int i = 0; i < 150; ++i) deep += "\xD0\x96";
  deep += "\\\xF0\x9F\x98\x80.txt";
  Report r;
  r.Failed(deep, "in use");
  std::string text = ProblemText(r, "vaporized");
  std::string expected = "C:\\";
  for (int i = 0; i < 37; ++i) expected += "\xD0\x96";
  expected += "...";
  for (int i = 0; i < 71; ++i) expected += "\xD0\x96";
  expected += "\\\xF0\x9F\x98\x80.txt: in use";
  EXPECT_NE(text.find("\nfailed: " + expected), std::string::npos) << text;
}

TEST(ReportTextTest, ItemsDoneWithAWarningFollowTheProblemsWithinTheSameLimit) {
  Report r;
  r.Done("D:\\a.txt", "vaporized");
  r.Warn("the overwrite cannot be relied on: btrfs is a copy-on-write file system");
  r.Failed("D:\\b.txt", "in use");
  r.Done("D:\\c.txt", "vaporized");
  EXPECT_EQ(ProblemText(r, "vaporized"),
            "1 item could not be vaporized:\n\nfailed: D:\\b.txt: in use\n\n"
            "1 item was vaporized with a warning:\n\nwarning: D:\\a.txt: the overwrite cannot be relied on: "
            "btrfs is a copy-on-write file system");
  EXPECT_EQ(ProblemText(r, "vaporized", 1), "1 item could not be vaporized:\n\nfailed: D:\\b.txt: in use\n...and 1 more.");
  Report warnedOnly;
  warnedOnly.Done("D:\\x", "vaporized");
  warnedOnly.Warn("the file is compressed");
  EXPECT_EQ(ProblemText(warnedOnly, "vaporized"),
            "1 item was vaporized with a warning:\n\nwarning: D:\\x: the file is compressed");
  // A note concerns the whole operation: it comes first, and alone it is said too.
  Report noted;
  noted.Done("D:\\y", "vaporized");
  noted.Note("ShredCount in the settings is 0");
  EXPECT_EQ(ProblemText(noted, "vaporized"), "ShredCount in the settings is 0");
  warnedOnly.Append(noted);
  EXPECT_EQ(ProblemText(warnedOnly, "vaporized").rfind("ShredCount in the settings is 0\n\n1 item was", 0), 0u);
}

}  // namespace
}  // namespace vz
