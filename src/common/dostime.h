// Calendar times and the DOS date/time form (two-second resolution) through
// which every time written on an item passes. No time-zone conversion is
// made anywhere here: a local clock time is packed as it stands.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vz {

struct CivilTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  friend bool operator==(const CivilTime& a, const CivilTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second;
  }
  friend bool operator!=(const CivilTime& a, const CivilTime& b) { return !(a == b); }
};

struct DosDateTime {
  std::uint16_t date = 0;
  std::uint16_t time = 0;
};

// Fails outside 1980..2107 or for impossible fields; seconds round down to
// an even number.
std::optional<DosDateTime> ToDos(const CivilTime& t);
CivilTime FromDos(DosDateTime d);
// Both steps at once: the time as a DOS time would keep it.
std::optional<CivilTime> TruncateToDos(const CivilTime& t);

// The zero date of the date-time type readers use for "no date".
constexpr CivilTime kZeroDate{1899, 12, 30, 0, 0, 0};

// Seconds counted on the calendar from the first time to the second (negative
// when the second is earlier), each taken as a clock reading without zone:
// the distance two local readings stand apart.
std::int64_t SecondsBetween(const CivilTime& from, const CivilTime& to);
// The clock reading `seconds` after t (before it when negative).
CivilTime AddSeconds(const CivilTime& t, std::int64_t seconds);

// 2026-12-07T09:15:02, for machine-readable output.
std::string FormatIso(const CivilTime& t);

}  // namespace vz
