#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace vz {
namespace {

// Windows formats with the user's locale, whatever it is: the test looks
// only for what every locale shows. Elsewhere there are no locale forms.
TEST(PlatformDateFormatTest, LocaleFormsShowTheirPartsOrNothing) {
  CivilTime t{1999, 7, 28, 15, 58, 56};
  auto longDate = Plat().FormatDateTime(t, DateStyle::LongDate);
  auto shortDate = Plat().FormatDateTime(t, DateStyle::ShortDate);
  auto longTime = Plat().FormatDateTime(t, DateStyle::LongTime);
  auto shortTime = Plat().FormatDateTime(t, DateStyle::ShortTime);
#ifdef _WIN32
  ASSERT_TRUE(longDate && shortDate && longTime && shortTime);
  EXPECT_NE(longDate->find("1999"), std::string::npos) << *longDate;
  EXPECT_NE(longDate->find("28"), std::string::npos) << *longDate;
  EXPECT_NE(shortDate->find("28"), std::string::npos) << *shortDate;
  EXPECT_GT(longDate->size(), shortDate->size()) << "the long form spells out more";
  EXPECT_NE(longTime->find("58"), std::string::npos) << *longTime;
  EXPECT_NE(longTime->find("56"), std::string::npos) << "the long time has seconds: " << *longTime;
  EXPECT_NE(shortTime->find("58"), std::string::npos) << *shortTime;
  EXPECT_EQ(shortTime->find("56"), std::string::npos) << "the short time has none: " << *shortTime;
  EXPECT_EQ(longDate->find('\0'), std::string::npos);
  EXPECT_FALSE(Plat().FormatDateTime({2023, 2, 30, 0, 0, 0}, DateStyle::LongDate)) << "no such day";
#else
  EXPECT_FALSE(longDate || shortDate || longTime || shortTime);
#endif
}

}  // namespace
}  // namespace vz
