// What the drives hold after an operation, read through the real platform:
// where each user item's files are, which stored items the Vaporizer shows
// and under which original path, and what sits in a store unseen. Every
// file of a test item carries a marker naming the item and its own place
// within it, so an item is recognised wherever it went.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vz::test {

// The content written into a file of an item: "vz item D:\Work\Folder|sub\y.txt".
std::string MarkerContent(const std::string& original, const std::string& part);

struct FoundMarker {
  std::string original, part;  // what the marker says
  std::string location;        // where the file is now
};

struct ShownItem {
  std::string original, stored;
};

struct Audit {
  std::vector<FoundMarker> markers;
  std::vector<ShownItem> shown;                    // the item list, as the Vaporizer folder shows it
  std::vector<std::string> storeEntries;           // every entry of every store but the index and desktop.ini
  std::vector<std::string> unshownStoreEntries;    // entries no shown item names (orphans)
  std::vector<std::string> temporaries;            // the stores' own temporary files

  // Markers of one item.
  std::vector<FoundMarker> Of(const std::string& original) const;
  // The shown item whose stored path is `stored`, or null.
  const ShownItem* ShownAt(const std::string& stored) const;
};

// Walks the fixed drive D:, the removable E: and C:'s store.
Audit TakeAudit();

// The items the Vaporizer shows, as "original -> stored", in list order.
std::vector<std::string> ShownItems();

// "D:\VAPORIZE\<account>\D1.txt" for "D:\VAPORIZE\<account>\D1.txt\sub\y.txt"; empty
// outside this account's store.
std::string StoreTopOf(const std::string& path);

}  // namespace vz::test
