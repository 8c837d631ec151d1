// Emptying every store for an outside caller of the ShredAllItems export.
#pragma once

#include "engine/batch.h"

namespace vz::win32 {

// ShredAllItems with the caller's options record, which may be unaligned,
// or null for the settings.
Report ShredAllForCaller(const ShredOptions* options);

}  // namespace vz::win32
