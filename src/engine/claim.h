// Stored items taken out of the user's list before a batch destroys them,
// and given back when the batch left them whole.
#pragma once

#include <string>
#include <vector>

#include "common/dostime.h"
#include "common/report.h"
#include "engine/walk.h"

namespace vz {

// A stored item of a batch after it was claimed: where it is now, what the
// caller called it, and what the walk did to it.
struct Claimed {
  std::string given, claimed, original;
  std::optional<FileId> id;  // what was claimed
  WalkOutcome outcome;
};

// Claims the stored items of the list (one name directly in a store); the
// rest stays as given. Each claimed item stands in the returned list under
// the name it was claimed to; one given twice stands there once. The ones
// that could not be claimed are left alone and reported. originals, when
// given, is parallel to the list: the original path each stored item was
// listed with.
// ids, parallel to the list too: what each entry was when the user chose it;
// sentDates, when given, parallel as well: the date sent each stored item
// was listed with, which it must still carry.
std::vector<std::string> ClaimItems(std::vector<std::string> list, const std::vector<std::string>* originals,
                                    const std::vector<std::optional<FileId>>& ids,
                                    const std::vector<std::optional<CivilTime>>* sentDates,
                                    std::vector<Claimed>& claims, Report& report);

// Puts back into the list what a batch left whole: a claimed item that
// nothing was opened or removed in (a file in use, a failing device), or a
// file overwritten completely and kept as asked, gets its record again,
// under its old name where that is still free. What was partly destroyed
// stays out of the list as a leftover named in the report.
void GiveBackUntouched(const std::vector<Claimed>& claims, Report& report);

}  // namespace vz
