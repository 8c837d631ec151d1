// Restoring stored items to the places they were sent from: the Recycle Bin
// warning, the replace question for a file in the way, the moves, and one
// prune of the index files at the end.
#pragma once

#include <string>
#include <vector>

#include "common/dostime.h"
#include "common/report.h"
#include "common/ui.h"
#include "store/item_id.h"

namespace vz {

constexpr const char* kRecycleBinTitle = "Caution!";
constexpr const char* kRecycleBinText =
    "Warning:  Items moved to the Recycle Bin may become unavailable. Do you want to proceed?";
constexpr const char* kThisFolderContains = "This folder already contains a file called ";

// One selected item, paths trimmed.
struct RestoreEntry {
  std::string originalPath;  // where it goes back to
  std::string storedPath;    // d:\VAPORIZE\<stored name>
  int iconIndex = 0;         // in the system image list
};

RestoreEntry MakeRestoreEntry(const ShredItemId& id);

// True when the folder part of the path, upper-cased, holds "RECYCLED" at
// character positions 4 to 11 (C:\RECYCLED\x, c:\Recycled\sub\x).
bool IsRecycleBinPath(const std::string& originalPath);

// Local last-write time of a file at DOS resolution; the zero date for a
// folder, a missing path or a time a DOS date cannot hold.
CivilTime GetFileDate(const std::string& path);

// "1000 bytes"; "(folder)" for a folder, "(not available)" for a missing path.
std::string ByteCountText(const std::string& path);
// Long date + separator + long time of the item's local last-write time;
// empty when it cannot be read.
std::string ModifiedText(const std::string& path, const std::string& separator);

// The replace question for an entry whose original path holds a file.
ReplaceQuestion MakeReplaceQuestion(const RestoreEntry& entry);

// Restores the entries in order, asking through Ui(). Nothing at all happens
// for an empty list; otherwise the index files are pruned once and the icon
// updated at the end. An item that cannot go back stays in the store with
// its record, and the report says why.
Report RestoreItems(const std::vector<RestoreEntry>& entries);

}  // namespace vz
