#include "common/dostime.h"

#include <cstdio>

namespace vz {
namespace {
bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysIn(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}
}  // namespace

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
