// The list of stored items as the Vaporizer folder shows it: one item per
// live sound record of every store, duplicates (by stored path, in any letter
// case) dropped, in drive order and then index order; then the leftovers
// (ListLeftovers), without an original path, of the type LeftoverType. The list is a
// snapshot; an item's name, type, size and icon are read when it is handed
// out, so a second walk after Reset reports current sizes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/item_id.h"

namespace vz {

struct TypeInfo {
  std::string typeName;
  int iconIndex = 0;
};
// Type name and small-icon index for a stored item; on Windows the shell's
// answer, elsewhere PortableTypeInfo.
using TypeInfoProvider = std::function<TypeInfo(const std::string& storedPath, std::uint32_t attributes)>;
TypeInfo PortableTypeInfo(const std::string& storedPath, std::uint32_t attributes);

// One stored item with every field whole, however long its paths are.
struct StoredItem {
  std::string originalPath, storedPath;
  std::string displayName;  // the name part of the original path
  std::string typeName;
  int iconIndex = 0;
};
// The items of the list, in its order, with their names and types read now.
std::vector<StoredItem> ListStoredItems(const TypeInfoProvider& info);
// The identifier of an item; nullopt when a path does not fit its fields.
std::optional<ShredItemId> ToShredItemId(const StoredItem& item);

class ShredEnumeration {
 public:
  ShredEnumeration();

  std::size_t Count() const { return items_.size(); }
  std::size_t Position() const { return position_; }
  // The next item with every field filled now; nullopt at the end.
  std::optional<ShredItemId> Next(const TypeInfoProvider& info);
  // False when the end was reached (the position then stays at the end).
  bool Skip(std::uint64_t count);
  void Reset() { position_ = 0; }

 private:
  std::vector<ShredItemId> items_;
  std::size_t position_ = 0;
};

// Fills the fields of a payload that are read at hand-out time.
void FillItemFields(ShredItemId& item, const TypeInfoProvider& info);

}  // namespace vz
