#include "platform/posix/item_meta.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace vz::posix {
namespace {

// The item's own times, kept while it is stored: "atime-s.ns mtime-s.ns".
constexpr const char* kTimesXattr = "user.vaporizer.times";

// Runs `change` on the item through its magic link; an item of the user's
// own that the user may not write is made writable for it and then given
// its mode back (a user's extended attributes need the right to write).
template <class Change>
bool WithOwnerWrite(int fd, const Change& change) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISLNK(st.st_mode) || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) return false;
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (change(self)) return true;
  if (errno != EACCES || (st.st_mode & S_IWUSR) || st.st_uid != ::geteuid()) return false;
  if (::chmod(self.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0) return false;
  const bool ok = change(self);
  ::chmod(self.c_str(), st.st_mode & 07777);
  return ok;
}

}  // namespace

std::optional<std::uint32_t> StoredBitsOf(int fd) {
  char buf[16] = {};
  ssize_t n = ::fgetxattr(fd, kAttrXattr, buf, sizeof buf - 1);
  if (n <= 0) return std::nullopt;
  return static_cast<std::uint32_t>(std::strtoul(buf, nullptr, 10)) & kStoredBits;
}

// Attributes through a descriptor that may only name the item (O_PATH):
// the magic link of /proc reaches the same inode without a path, and
// without the right to open it, which its owner's own 000 file denies.
// Taking off read-only gives its owner what a pass or a walk needs: to
// read and write a file, to list, enter and change a folder.
bool SetAttributesOf(int fd, std::uint32_t attributes) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISLNK(st.st_mode)) return false;
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  mode_t mode = st.st_mode & 07777;
  const mode_t usable = S_IRUSR | S_IWUSR | (S_ISDIR(st.st_mode) ? S_IXUSR : 0);
  mode = (attributes & kAttrReadOnly) ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | usable);
  if (mode != (st.st_mode & 07777) && ::chmod(self.c_str(), mode) != 0) return false;
  std::string bits = std::to_string(attributes & kStoredBits);
  // File systems without extended attributes keep only the read-only bit.
  ::setxattr(self.c_str(), kAttrXattr, bits.data(), bits.size(), 0);
  return true;
}

bool KeepTimesOf(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  char text[96];
  std::snprintf(text, sizeof text, "%lld.%09ld %lld.%09ld", static_cast<long long>(st.st_atim.tv_sec),
                st.st_atim.tv_nsec, static_cast<long long>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec);
  return WithOwnerWrite(fd, [&](const std::string& self) {
    return ::setxattr(self.c_str(), kTimesXattr, text, std::strlen(text), 0) == 0;
  });
}

bool TakeBackTimesOf(int fd) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  char text[96] = {};
  const ssize_t n = ::getxattr(self.c_str(), kTimesXattr, text, sizeof text - 1);
  if (n <= 0) return false;
  long long as = 0, ms = 0;
  long ans = 0, mns = 0;
  const bool sound = std::sscanf(text, "%lld.%ld %lld.%ld", &as, &ans, &ms, &mns) == 4 && ans >= 0 &&
                     ans < 1000000000 && mns >= 0 && mns < 1000000000;
  // Forgotten first: its removal changes no time that is then set.
  WithOwnerWrite(fd, [&](const std::string& p) { return ::removexattr(p.c_str(), kTimesXattr) == 0; });
  if (!sound) return false;
  struct timespec ts[2] = {{static_cast<time_t>(as), ans}, {static_cast<time_t>(ms), mns}};
  return ::utimensat(AT_FDCWD, self.c_str(), ts, 0) == 0;
}

}  // namespace vz::posix
