// The exported entry through which the folder icon's "Vaporize all" and
// outside programs empty every store.
#include <windows.h>

#include <cstring>

#include "engine/batch.h"

extern "C" int WINAPI ShredAllItems(const vz::ShredOptions* options) {
  // Nothing may escape into a caller that knows nothing of C++.
  try {
    if (options) {
      // The caller's record may sit at any address.
      vz::ShredOptions copy;
      std::memcpy(&copy, options, sizeof copy);
      vz::ShredAllItems(&copy);
    } else {
      vz::ShredAllItems(nullptr);
    }
  } catch (...) {
  }
  return 1;
}
