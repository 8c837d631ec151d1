#include "window/date_text.h"

#include <cstdio>

namespace vz {
namespace {

const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kLengths[m - 1];
}

bool IsValid(const CivilTime& t) {
  return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
         t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
         t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

// 0 = Sunday; the proleptic Gregorian calendar (Sakamoto's method).
int DayOfWeek(int y, int m, int d) {
  static const int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (m < 3) y -= 1;
  return (y + y / 4 - y / 100 + y / 400 + kOffsets[m - 1] + d) % 7;
}

}  // namespace

std::string FixedDateTimeText(const CivilTime& t, DateStyle style) {
  if (!IsValid(t)) return {};
  char buf[64];
  int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
  const char* ampm = t.hour < 12 ? "AM" : "PM";
  switch (style) {
    case DateStyle::LongDate:
      std::snprintf(buf, sizeof buf, "%s, %s %d, %d", kDays[DayOfWeek(t.year, t.month, t.day)],
                    kMonths[t.month - 1], t.day, t.year);
      break;
    case DateStyle::ShortDate:
      std::snprintf(buf, sizeof buf, "%d/%d/%d", t.month, t.day, t.year);
      break;
    case DateStyle::LongTime:
      std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", hour12, t.minute, t.second, ampm);
      break;
    case DateStyle::ShortTime:
      std::snprintf(buf, sizeof buf, "%d:%02d %s", hour12, t.minute, ampm);
      break;
    default:
      return {};
  }
  return buf;
}

std::string DateTimeText(const CivilTime& t, DateStyle style) {
  if (!IsValid(t)) return {};
  if (auto text = Plat().FormatDateTime(t, style)) return *text;
  return FixedDateTimeText(t, style);
}

}  // namespace vz
