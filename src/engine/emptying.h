// Emptying the Vaporizer by rule: the items sent longer ago than a given
// time, and on each drive the oldest items while its store holds more than
// a given size. The choice is made from the stores as they stand when it is
// made, and the chosen items are vaporized against the records they were
// chosen by, so that an item sent in the meantime is never touched.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/dostime.h"
#include "common/report.h"
#include "engine/batch.h"
#include "settings/settings.h"
#include "store/enum_shred.h"

namespace vz {

struct EmptyingRule {
  std::optional<std::int64_t> olderThanSeconds;  // items sent longer ago than this go
  std::optional<std::uint64_t> storeLimitBytes;  // each drive's store is brought down to this
  bool Any() const { return olderThanSeconds || storeLimitBytes; }
};

// The rule of the user's settings; a setting of 0 leaves its part off.
EmptyingRule RuleOfSettings(const EmptyingSettings& s);
// "older than 30 days, each store under 500 MB"; "no rule" when empty.
std::string DescribeRule(const EmptyingRule& rule);

// One stored item as a rule weighs it.
struct Weighed {
  StoredItem item;
  // The date sent as the folder shows it (the stored item's last-write
  // time as a DOS time); nullopt when it cannot be told, and then no rule
  // takes the item.
  std::optional<CivilTime> sent;
  std::uint64_t bytes = 0;  // a file's size, or the sizes of all a folder holds
  std::string why;          // why the rule takes it
};

struct EmptyingChoice {
  std::vector<Weighed> chosen;  // those the rule takes, oldest first
  std::size_t kept = 0;         // the listed items it leaves
  Report problems;              // stores it cannot bring down to the limit, and why
};

// What the rule takes from the stores as they stand, measured at `now`
// (the local clock, as items are stamped).
EmptyingChoice ChooseByRule(const EmptyingRule& rule, const CivilTime& now);

// Vaporizes the chosen items, each only while its record still pairs the
// original path with the stored one it was chosen by.
Report VaporizeChosen(const EmptyingChoice& choice, const ShredOptions* options, const RunOptions* run = nullptr);

}  // namespace vz
