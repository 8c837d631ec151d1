// Walking the items of a batch by handles and destroying what is found:
// every file overwritten, stamped, cut and deleted, every folder removed
// once it is empty. Each item is first read whole (what it holds, and the
// identity of each thing in it), then acted on from the folders held open
// on the way, and every act checks that the handle it acts through holds
// what was read: something swapped in meanwhile is left alone, with a
// reason, and nothing outside the items is ever reached.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/report.h"
#include "platform/platform.h"

namespace vz {

struct WalkSettings {
  int passes = 1;
  bool deleteAfter = true;
  std::uint8_t fillByte = 0;
  bool showProgress = true;
  bool verify = false;      // each file read back from the device after its last pass
  bool trimVolume = true;   // freed blocks that did not reach the device reach it by a trim of the volume
};

// One item of a batch.
struct WalkItem {
  std::string path;   // a full path in the system's form
  std::string label;  // how the report names it, and what lies in it (label + "\" + the rest)
  std::string shown;  // what the progress display shows for it; empty: its label
  std::string original;  // the path it had before the batch, for the receipt; empty: its path
  // What the item was when it was checked; an item that is something else
  // now is left alone. nullopt: whatever is there when the walk reads it.
  std::optional<FileId> expected;
};

// What became of one item.
struct WalkOutcome {
  bool touched = false;  // something in it was opened for writing or removed
  bool gone = false;     // nothing of it is left under its name
  bool kept = false;     // overwritten completely and left in place, as asked
};

// Walks and destroys the items in order, reporting into `report`. A file
// given directly is kept after its passes unless deleteAfter is set; what
// lies in a folder always goes with the folder. An item that lies in
// another item of the list goes with that one, once. A folder that holds
// another drive's root or another file system is refused whole. Each file,
// folder and link that goes is described in the report (Report::Describe)
// for a receipt; volumeTrims, when given, gets one line per volume trimmed
// afterwards.
std::vector<WalkOutcome> WalkAndOverwrite(const std::vector<WalkItem>& items, const WalkSettings& settings,
                                          Report& report, std::vector<std::string>* volumeTrims = nullptr);

}  // namespace vz
