#include "window/date_text.h"

#include <gtest/gtest.h>

namespace vz {
namespace {

TEST(DateTextTest, FixedFormsSpellOutTheDate) {
  CivilTime t{1999, 7, 28, 15, 58, 56};
  EXPECT_EQ(FixedDateTimeText(t, DateStyle::LongDate), "Wednesday, July 28, 1999");
  EXPECT_EQ(FixedDateTimeText(t, DateStyle::LongTime), "3:58:56 PM");
  EXPECT_EQ(FixedDateTimeText(t, DateStyle::ShortDate), "7/28/1999");
  EXPECT_EQ(FixedDateTimeText(t, DateStyle::ShortTime), "3:58 PM");
}

TEST(DateTextTest, WeekdaysAndTheTwelveHourClock) {
  EXPECT_EQ(FixedDateTimeText({1899, 12, 30, 0, 0, 0}, DateStyle::LongDate), "Saturday, December 30, 1899");
  EXPECT_EQ(FixedDateTimeText({2000, 2, 29, 0, 0, 0}, DateStyle::LongDate), "Tuesday, February 29, 2000");
  EXPECT_EQ(FixedDateTimeText({2024, 1, 1, 0, 0, 0}, DateStyle::LongDate), "Monday, January 1, 2024");
  EXPECT_EQ(FixedDateTimeText({1990, 1, 1, 12, 12, 12}, DateStyle::LongDate), "Monday, January 1, 1990");
  EXPECT_EQ(FixedDateTimeText({2024, 1, 1, 0, 5, 9}, DateStyle::LongTime), "12:05:09 AM");
  EXPECT_EQ(FixedDateTimeText({2024, 1, 1, 12, 0, 0}, DateStyle::LongTime), "12:00:00 PM");
  EXPECT_EQ(FixedDateTimeText({2024, 1, 1, 11, 59, 58}, DateStyle::ShortTime), "11:59 AM");
  EXPECT_EQ(FixedDateTimeText({2024, 1, 1, 23, 1, 0}, DateStyle::ShortTime), "11:01 PM");
}

TEST(DateTextTest, ImpossibleTimesGiveNoText) {
  for (DateStyle s : {DateStyle::LongDate, DateStyle::LongTime, DateStyle::ShortDate, DateStyle::ShortTime}) {
    EXPECT_EQ(FixedDateTimeText({2023, 13, 1, 0, 0, 0}, s), "");
    EXPECT_EQ(FixedDateTimeText({2023, 2, 29, 0, 0, 0}, s), "");
    EXPECT_EQ(FixedDateTimeText({2023, 1, 1, 24, 0, 0}, s), "");
    EXPECT_EQ(FixedDateTimeText({}, s), "") << "an empty time";
    EXPECT_EQ(DateTimeText({2023, 0, 1, 0, 0, 0}, s), "");
  }
}

}  // namespace
}  // namespace vz
