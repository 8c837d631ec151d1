#include <gtest/gtest.h>

#include "common/dostime.h"
#include "common/text.h"

namespace vz {
namespace {

TEST(TextTest, LinesEndAtCrLfOrCrLfAndKeepEmptyOnes) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitLines("a\r\nb\r\n"), (V{"a", "b"}));
  EXPECT_EQ(SplitLines("a\rb\rc"), (V{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\nb\n"), (V{"a", "b"}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb"), (V{"a", "", "b"}));
  EXPECT_EQ(SplitLines("\n"), (V{""}));
  EXPECT_EQ(SplitLines("a\n\rb"), (V{"a", "", "b"})) << "LF CR is two endings";
  EXPECT_TRUE(SplitLines("").empty());
}

TEST(TextTest, PathParts) {
  EXPECT_EQ(FileNamePart("C:\\Work\\report.doc"), "report.doc");
  EXPECT_EQ(FileNamePart("C:report.doc"), "report.doc");
  EXPECT_EQ(FolderPart("C:\\Work\\report.doc"), "C:\\Work\\");
  EXPECT_EQ(FolderPart("report.doc"), "");
  EXPECT_EQ(ExtensionOf("C:\\Work\\report.doc"), ".doc");
  EXPECT_EQ(ExtensionOf("C:\\Work\\Makefile"), "");
  EXPECT_EQ(ExtensionOf("C:\\Work.d\\Makefile"), "") << "only the name part counts";
  EXPECT_EQ(ExtensionOf("C:\\Work\\old.v2.tar"), ".tar");
  EXPECT_EQ(Trim(" \t C:\\a b \r\n"), "C:\\a b");
  EXPECT_TRUE(EqualsNoCase("c:\\vaporize", "C:\\VAPORIZE"));
}

TEST(TextTest, DisplayWidthCountsTerminalColumns) {
  const std::pair<const char*, std::size_t> cases[] = {
      {"plain.txt", 9},         {"caf\xC3\xA9", 4},       {"cafe\xCC\x81", 4},  // é precomposed and combined
      {"\xE6\x97\xA5\xE6\x9C\xAC", 4}, {"\xF0\x9F\x98\x80!", 3}, {"\xEF\xBC\xA1", 2},  // fullwidth A
      {"a\xFF" "b", 3},             {"", 0}};
  for (const auto& [text, columns] : cases) EXPECT_EQ(DisplayWidth(text), columns) << text;
}

TEST(DosTimeTest, TwoSecondResolutionAndRange) {
  CivilTime t{2026, 12, 7, 9, 15, 3};
  auto d = ToDos(t);
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(FromDos(*d), (CivilTime{2026, 12, 7, 9, 15, 2}));
  EXPECT_FALSE(ToDos({1979, 12, 31, 23, 59, 59}).has_value());
  EXPECT_FALSE(ToDos({2023, 2, 29, 0, 0, 0}).has_value());
  EXPECT_TRUE(ToDos({2024, 2, 29, 0, 0, 0}).has_value());
  auto stamp = ToDos({1990, 1, 1, 12, 12, 12});
  ASSERT_TRUE(stamp.has_value());
  EXPECT_EQ(FromDos(*stamp), (CivilTime{1990, 1, 1, 12, 12, 12}));
  EXPECT_EQ(FormatIso({2026, 1, 2, 3, 4, 6}), "2026-01-02T03:04:06");
}

TEST(DosTimeTest, CalendarDistancesCrossMonthsLeapDaysAndCenturies) {
  const struct {
    CivilTime from, to;
    std::int64_t seconds;
  } cases[] = {{{2024, 2, 28, 23, 0, 0}, {2024, 3, 1, 1, 0, 0}, 26 * 3600},  // through a leap day
               {{2023, 12, 31, 23, 59, 59}, {2024, 1, 1, 0, 0, 1}, 2},
               {{1999, 12, 1, 0, 0, 0}, {2000, 3, 1, 0, 0, 0}, 91 * 86400},  // 2000 is a leap year
               {{2100, 2, 28, 0, 0, 0}, {2100, 3, 1, 0, 0, 0}, 86400},        // 2100 is not
               {{2026, 5, 1, 12, 0, 0}, {2026, 4, 1, 12, 0, 0}, -30 * 86400}};
  for (const auto& c : cases) {
    EXPECT_EQ(SecondsBetween(c.from, c.to), c.seconds) << FormatIso(c.from);
    EXPECT_EQ(AddSeconds(c.from, c.seconds), c.to) << FormatIso(c.from);
  }
}

}  // namespace
}  // namespace vz
