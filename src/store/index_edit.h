// Changes to one drive's index file. Each is made while the caller holds
// that store's StoreGuard, so that no other process reads, extends or
// replaces the index in between.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "common/dostime.h"
#include "store/store.h"

namespace vz {

// Cuts half a record off the end of the index: a last line without its
// line end, or an original path whose stored path was never written (a
// write cut short by a full disk or a crash). The next record then starts
// on a line of its own instead of extending the torn one. False when the
// index cannot be read or the repair cannot be written.
bool RepairIndexTail(char drive);
// The same for the index file at `path`.
bool RepairIndexTailAt(const std::string& path);

// Appends the records in one write and flushes them to the device, after
// repairing the tail. A record that carries its lines is written as they
// stand; any other in the form FormatRecord gives it. On failure whatever part of them was written is taken
// back, and *why says what went wrong.
bool AppendRecords(char drive, const std::vector<ShredItemRecord>& records, std::string* why);

// Drops every record whose stored path is one of these (any letter case)
// in one replacement of the index. True when none of them is left.
bool DropRecords(char drive, const std::vector<std::string>& storedPaths);

// The names (upper case) that any line of the index gives as a stored
// name of this drive's store, whether its item is there or not. A name is
// never handed out again while a record holds it.
std::set<std::string> RecordedNames(char drive);

// Takes stored items out of the user's reach before they are destroyed:
// under the lock, each is renamed inside its store to a name no record
// holds and its record is dropped. A destruction cut short then leaves
// unlisted remains, which vaporizing everything finishes, and never a
// listed item that is partly overwritten.
struct Claim {
  std::string given;     // the stored path as given
  std::string claimed;   // where it is now; empty when it was not claimed
  std::string original;  // the original path of its record; empty for an orphan
  std::string why;       // why it was not claimed
  std::optional<FileId> id;  // what was claimed
};
// originals, when given, is parallel to storedPaths: an item whose
// original path is given is claimed only while its record still pairs the
// two, so that an item which took the name since is never touched. ids,
// when given, is parallel too: an item is claimed only while its name holds
// what was there when the user chose it. So are sentDates: an item whose
// date sent is given (its last-write time as a DOS time) is claimed only
// while it still carries it, which tells an item restored and sent again
// from the same place from the one that was listed.
std::vector<Claim> ClaimStoredItems(const std::vector<std::string>& storedPaths,
                                    const std::vector<std::string>* originals = nullptr,
                                    const std::vector<std::optional<FileId>>* ids = nullptr,
                                    const std::vector<std::optional<CivilTime>>* sentDates = nullptr);

}  // namespace vz
