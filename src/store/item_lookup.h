// Stored items found by the names a user gives them: a stored name (C1.doc),
// or a path, the item's stored path or the one it came from. A name is
// matched as it is written first. Only when no item has it so, and only
// where the system itself finds names regardless of letter case (the
// volume of the store, or of the folder the item came from, ignores case),
// is it matched in any letter case: on a volume that keeps Report.txt and
// report.txt apart, the one name never stands for the other.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/enum_shred.h"

namespace vz {

class StoredItemLookup {
 public:
  explicit StoredItemLookup(std::vector<StoredItem> items);

  const StoredItem& Item(std::size_t i) const { return items_[i]; }
  // The indexes of the items a name stands for, each found with one hash
  // probe. Several mean that the name does not tell them apart: nothing may
  // be done with any of them.
  std::vector<std::size_t> ByStoredName(const std::string& name) const;
  std::vector<std::size_t> ByPath(const std::string& path) const;

 private:
  using Index = std::unordered_map<std::string, std::vector<std::size_t>>;
  struct Names {
    Index exact, folded;  // folded: by the name in upper case
    void Add(const std::string& name, std::size_t i);
  };
  // The items whose name is `key` in another letter case, in folders that
  // ignore case; folderOf gives the folder the system looks the name up in.
  template <class FolderOf>
  std::vector<std::size_t> Folded(const Names& names, const std::string& key, FolderOf folderOf) const;
  bool IgnoresCase(const std::string& folder) const;

  std::vector<StoredItem> items_;
  Names byName_, byStored_, byOriginal_;
  mutable std::unordered_map<std::string, bool> ignoresCase_;  // asked once per folder
};

}  // namespace vz
