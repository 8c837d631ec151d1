// Item identifiers for tests that need only the two paths filled.
#pragma once

#include <string>

#include "store/item_id.h"

namespace vz::test {

inline ShredItemId PathsItem(const std::string& original, const std::string& stored) {
  ShredItemId i{};
  SetField(i.originalPath, original);
  SetField(i.storedPath, stored);
  return i;
}

}  // namespace vz::test
