// Emptying every store for an outside caller of the ShredAllItems export.
#include "engine/shred_all_win.h"

#include <cstring>

namespace vz::win32 {

Report ShredAllForCaller(const ShredOptions* options) {
  if (!options) return ShredAllItems(nullptr);
  // The caller's record may sit at any address.
  ShredOptions copy;
  std::memcpy(&copy, options, sizeof copy);
  return ShredAllItems(&copy);
}

}  // namespace vz::win32
