#include "common/dostime.h"

#include <cstdio>

namespace vz {
namespace {
bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysIn(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}
// Days from 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}
void CivilFromDays(std::int64_t z, CivilTime& t) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
}
std::int64_t CalendarSeconds(const CivilTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }
}  // namespace

std::int64_t SecondsBetween(const CivilTime& from, const CivilTime& to) {
  return CalendarSeconds(to) - CalendarSeconds(from);
}

CivilTime AddSeconds(const CivilTime& t, std::int64_t seconds) {
  const std::int64_t total = CalendarSeconds(t) + seconds;
  const std::int64_t days = FloorDiv(total, 86400), rest = total - days * 86400;
  CivilTime out;
  CivilFromDays(days, out);
  out.hour = static_cast<int>(rest / 3600);
  out.minute = static_cast<int>(rest % 3600 / 60);
  out.second = static_cast<int>(rest % 60);
  return out;
}

std::optional<DosDateTime> ToDos(const CivilTime& t) {
  if (t.year < 1980 || t.year > 2107 || t.month < 1 || t.month > 12) return std::nullopt;
  if (t.day < 1 || t.day > DaysIn(t.year, t.month)) return std::nullopt;
  if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59)
    return std::nullopt;
  DosDateTime d;
  d.date = static_cast<std::uint16_t>(((t.year - 1980) << 9) | (t.month << 5) | t.day);
  d.time = static_cast<std::uint16_t>((t.hour << 11) | (t.minute << 5) | (t.second / 2));
  return d;
}

CivilTime FromDos(DosDateTime d) {
  CivilTime t;
  t.year = 1980 + (d.date >> 9);
  t.month = (d.date >> 5) & 0x0F;
  t.day = d.date & 0x1F;
  t.hour = d.time >> 11;
  t.minute = (d.time >> 5) & 0x3F;
  t.second = (d.time & 0x1F) * 2;
  return t;
}

std::optional<CivilTime> TruncateToDos(const CivilTime& t) {
  auto d = ToDos(t);
  if (!d) return std::nullopt;
  return FromDos(*d);
}

std::string FormatIso(const CivilTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

}  // namespace vz
