#include "store/item_lookup.h"

#include "common/text.h"
#include "platform/platform.h"
#include "store/store.h"

namespace vz {
namespace {

const std::vector<std::size_t>* Find(const std::unordered_map<std::string, std::vector<std::size_t>>& index,
                                     const std::string& key) {
  auto it = index.find(key);
  return it == index.end() ? nullptr : &it->second;
}

}  // namespace

void StoredItemLookup::Names::Add(const std::string& name, std::size_t i) {
  exact[name].push_back(i);
  folded[ToUpper(name)].push_back(i);
}

StoredItemLookup::StoredItemLookup(std::vector<StoredItem> items) : items_(std::move(items)) {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    byName_.Add(FileNamePart(items_[i].storedPath), i);
    byStored_.Add(items_[i].storedPath, i);
    byOriginal_.Add(items_[i].originalPath, i);
  }
}

bool StoredItemLookup::IgnoresCase(const std::string& folder) const {
  auto it = ignoresCase_.find(folder);
  if (it == ignoresCase_.end()) it = ignoresCase_.emplace(folder, Plat().IgnoresCase(folder)).first;
  return it->second;
}

template <class FolderOf>
std::vector<std::size_t> StoredItemLookup::Folded(const Names& names, const std::string& key,
                                                  FolderOf folderOf) const {
  std::vector<std::size_t> out;
  if (const auto* hits = Find(names.folded, ToUpper(key)))
    for (std::size_t i : *hits)
      if (IgnoresCase(folderOf(items_[i]))) out.push_back(i);
  return out;
}

std::vector<std::size_t> StoredItemLookup::ByStoredName(const std::string& name) const {
  if (const auto* hits = Find(byName_.exact, name)) return *hits;
  return Folded(byName_, name, [](const StoredItem& s) { return StoreDirOf(s.storedPath[0]); });
}

std::vector<std::size_t> StoredItemLookup::ByPath(const std::string& path) const {
  if (const auto* hits = Find(byStored_.exact, path)) return *hits;
  if (const auto* hits = Find(byOriginal_.exact, path)) return *hits;
  auto found = Folded(byStored_, path, [](const StoredItem& s) { return StoreDirOf(s.storedPath[0]); });
  if (!found.empty()) return found;
  return Folded(byOriginal_, path, [](const StoredItem& s) { return FolderPart(s.originalPath); });
}

}  // namespace vz
