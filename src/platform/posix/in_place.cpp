#include "platform/posix/in_place.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/medium.h"

namespace vz::posix {
namespace {

bool OnBtrfs(int fd) {
  struct statfs fs {};
  return ::fstatfs(fd, &fs) == 0 && static_cast<unsigned long>(fs.f_type) == BTRFS_SUPER_MAGIC;
}

bool HasNoCow(int fd) {
  int flags = 0;
  return ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_NOCOW_FL);
}

}  // namespace

bool MarkFolderInPlace(int folder, std::string* why) {
  if (!OnBtrfs(folder) || HasNoCow(folder)) return true;
  int flags = 0;
  if (::ioctl(folder, FS_IOC_GETFLAGS, &flags) == 0) {
    flags |= FS_NOCOW_FL;
    if (::ioctl(folder, FS_IOC_SETFLAGS, &flags) == 0) return true;
  }
  if (why) *why = std::strerror(errno);
  return false;
}

void ReserveInPlace(int file) {
  if (HasNoCow(file)) ::fallocate(file, FALLOC_FL_KEEP_SIZE, 0, 4096);  // a wish: the data are written either way
}

std::string NamesMayRemain(const std::string& store) {
  const std::string snapshot =
      "the index is written over in place (No_COW), but a btrfs snapshot keeps the old versions it holds, original "
      "paths and all";
  // A store not made yet is made in place: its drive answers.
  std::string at = store;
  int fd = ::open(store.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  for (int up = 0; fd < 0 && up < 2; ++up) {
    at = at.substr(0, at.find_last_of('/'));
    fd = ::open(at.empty() ? "/" : at.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  if (fd < 0) return {};
  struct statfs fs {};
  const bool ok = ::fstatfs(fd, &fs) == 0;
  const bool btrfs = ok && static_cast<unsigned long>(fs.f_type) == BTRFS_SUPER_MAGIC;
  const bool marked = at != store || HasNoCow(fd);
  ::close(fd);
  if (!ok) return {};
  if (btrfs)
    return marked ? snapshot
                  : "they may stay on the disk: the store's folder could not be marked No_COW, so btrfs writes each "
                    "new version of the index to fresh blocks and leaves the old ones, original paths and all";
  const std::string name = FileSystemOfMagic(static_cast<std::uint64_t>(fs.f_type));
  if (name == "zfs" || name == "bcachefs" || name == "nilfs2" || name == "f2fs")
    return "they may stay on the disk: " + name +
           " writes each new version of the index to fresh blocks and leaves the old ones, original paths and all";
  return {};
}

}  // namespace vz::posix
