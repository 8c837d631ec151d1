// Values and checks that many suites use alike, kept once so that the
// suites also build together as one translation unit.
#pragma once

#include <cstdint>
#include <string>

#include "engine/batch.h"
#include "platform/platform.h"

namespace vz::test {

// One pass of zeros, the file deleted after it, no progress shown.
inline const ShredOptions kOnePass{1, 1, 0, 0};

inline bool AllBytesAre(const std::string& s, unsigned char b) {
  for (char c : s)
    if (static_cast<unsigned char>(c) != b) return false;
  return true;
}

// A DWORD value of a policy or setting, as the key-value store gives it.
inline KvValue Dword(std::uint32_t v) { return {KvType::Dword, v, {}}; }

}  // namespace vz::test
