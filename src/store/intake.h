// The one intake of the paths that a user or a caller names: every road
// (the exported function, the file menu, drops, the companion program)
// passes its entries through here. Each entry is resolved once, the way
// the system itself resolves it, and every check and the action that
// follows use that same string.
#pragma once

#include <string>
#include <vector>

#include "common/report.h"
#include "platform/platform.h"

namespace vz {

struct IntakeItem {
  std::string given;         // the entry as the caller named it
  std::string path;          // as the system resolves it: what was checked and what is acted on
  std::string recordedPath;  // the original path its record will carry (store road)
  // What the path held when it was checked: whatever is found there later
  // is acted on only while it is still the same. nullopt when nothing was
  // there.
  std::optional<FileId> id;
  std::string noStore;       // on the store road, why its drive keeps no store, where the system says
};

// Where the accepted entries go.
enum class Road {
  ByDrive,  // items on fixed drives into their drive's store, others vaporized where they are
  InPlace,  // every item vaporized where it is
};

struct Intake {
  std::vector<IntakeItem> store;   // to move into their drive's store
  std::vector<IntakeItem> direct;  // to vaporize where they are
  Report refused;                  // each with its reason; nothing is touched for them
};

// mappedNames: when not null and parallel to entries, the name each item is
// to be recorded under (a drop whose source hands out temporary names).
// Refused: what is not a full path on a drive (a leading blank makes a path
// relative), what the system cannot resolve, drive roots, the store itself
// and anything inside a store, drives that do not exist, and on the store
// road names the index cannot hold and paths longer than a record carries
// (kMaxRecordedPath). Vaporized where they are, paths may be as long as
// the system allows. origin: whether the entries were typed or listed
// (Platform::ResolvePath): a typed entry that Win32 reads as another name
// is refused; a listed one is taken as exactly the entry it names.
Intake TakeIn(const std::vector<std::string>& entries, const std::vector<std::string>* mappedNames, Road road,
              PathOrigin origin);

// The resolved paths of the items, in order.
std::vector<std::string> PathsOf(const std::vector<IntakeItem>& items);

}  // namespace vz
