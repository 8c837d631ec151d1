// What the POSIX layer keeps of an item beside its content: the Windows
// attributes that a mode cannot carry, and its own times while it is
// stored. All of it through a descriptor, which may only name the item
// (O_PATH).
#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace vz::posix {

// Where the hidden, system and archive attributes are kept.
constexpr const char* kAttrXattr = "user.vaporizer.attributes";
constexpr std::uint32_t kStoredBits = kAttrHidden | kAttrSystem | kAttrArchive;

std::optional<std::uint32_t> StoredBitsOf(int fd);
bool SetAttributesOf(int fd, std::uint32_t attributes);
// Node::KeepOwnTimes and Node::TakeBackOwnTimes.
bool KeepTimesOf(int fd);
bool TakeBackTimesOf(int fd);

}  // namespace vz::posix
