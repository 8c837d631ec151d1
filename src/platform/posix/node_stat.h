// What a name in a folder (or a descriptor) holds, as this layer reports
// it: identity, kind, attributes, and the mount it is seen through.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace vz::posix {

struct NodeStat {
  struct stat st {};
  // The mount the name is seen through (statx's mount id; 0 where the
  // kernel does not tell), and whether the name is the root of a mount: a
  // file system, or a bind mount of a folder or a file of any.
  std::uint64_t mount = 0;
  bool mountRoot = false;
};

// The name in folder `dir`, never followed; an empty name asks `dir`
// itself (any descriptor, O_PATH ones too). False with errno on failure.
// One system call where the kernel has statx; kernels without the mount
// mark are answered from the mount table.
bool StatAt(int dir, const char* name, NodeStat* out);

FileId IdOf(const struct stat& st);
NodeKind KindOf(const struct stat& st);
// Whether someone other than this user (or the administrator) could change
// it: its owner, or write permission for others.
std::string SharedWith(const struct stat& st);
NodeInfo InfoOf(const NodeStat& s, std::optional<std::uint32_t> storedBits);
inline NodeInfo InfoOf(const struct stat& st, std::optional<std::uint32_t> storedBits) {
  NodeStat s;
  s.st = st;
  return InfoOf(s, storedBits);
}

}  // namespace vz::posix
