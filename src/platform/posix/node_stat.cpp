#include "platform/posix/node_stat.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <mutex>
#include <set>

#include "platform/medium.h"

namespace vz::posix {
namespace {

void FromStatx(const struct statx& sx, struct stat* st) {
  *st = {};
  st->st_dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
  st->st_ino = sx.stx_ino;
  st->st_mode = sx.stx_mode;
  st->st_nlink = sx.stx_nlink;
  st->st_uid = sx.stx_uid;
  st->st_gid = sx.stx_gid;
  st->st_rdev = makedev(sx.stx_rdev_major, sx.stx_rdev_minor);
  st->st_size = static_cast<off_t>(sx.stx_size);
  st->st_blksize = static_cast<blksize_t>(sx.stx_blksize);
  st->st_blocks = static_cast<blkcnt_t>(sx.stx_blocks);
  st->st_atim = {static_cast<time_t>(sx.stx_atime.tv_sec), static_cast<long>(sx.stx_atime.tv_nsec)};
  st->st_mtim = {static_cast<time_t>(sx.stx_mtime.tv_sec), static_cast<long>(sx.stx_mtime.tv_nsec)};
  st->st_ctim = {static_cast<time_t>(sx.stx_ctime.tv_sec), static_cast<long>(sx.stx_ctime.tv_nsec)};
}

// The mount points of the mount table, read again only when the kernel
// says it changed: for kernels that put no mount mark on a name.
class MountPoints {
 public:
  bool Holds(const std::string& path) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (fd_ < 0) fd_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    struct pollfd p {fd_, POLLPRI, 0};
    if (fd_ >= 0 && (!read_ || (::poll(&p, 1, 0) > 0 && (p.revents & (POLLERR | POLLPRI))))) {
      std::string text;
      char buf[8192];
      ssize_t n;
      ::lseek(fd_, 0, SEEK_SET);
      while ((n = ::read(fd_, buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
      points_.clear();
      for (const auto& m : ParseMountInfo(text)) points_.insert(m.mountPoint);
      read_ = true;
    }
    return points_.count(path) > 0;
  }

 private:
  std::mutex mutex_;
  int fd_ = -1;
  bool read_ = false;
  std::set<std::string> points_;
};

bool InMountTable(int dir, const char* name) {
  static MountPoints* points = new MountPoints();  // lives as long as the process
  char buf[PATH_MAX];
  ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(dir)).c_str(), buf, sizeof buf - 1);
  if (n <= 0) return false;
  std::string path(buf, static_cast<std::size_t>(n));
  if (*name) path += (path == "/" ? "" : "/") + std::string(name);
  return points->Holds(path);
}

}  // namespace

bool StatAt(int dir, const char* name, NodeStat* out) {
  *out = NodeStat{};
  const int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | (*name ? 0 : AT_EMPTY_PATH);
  struct statx sx {};
  if (::statx(dir, name, flags, STATX_BASIC_STATS | STATX_MNT_ID, &sx) == 0) {
    FromStatx(sx, &out->st);
    if (sx.stx_mask & STATX_MNT_ID) out->mount = sx.stx_mnt_id;
    if (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) {
      out->mountRoot = (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
      return true;
    }
  } else if (errno != ENOSYS || ::fstatat(dir, name, &out->st, flags) != 0) {
    return false;
  }
  // An older kernel: a link is never a mount; anything else is one where
  // the mount table says so.
  out->mountRoot = !S_ISLNK(out->st.st_mode) && InMountTable(dir, name);
  return true;
}

FileId IdOf(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

NodeKind KindOf(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return NodeKind::File;
  if (S_ISDIR(st.st_mode)) return NodeKind::Folder;
  if (S_ISLNK(st.st_mode)) return NodeKind::Link;
  return NodeKind::Other;
}

std::string SharedWith(const struct stat& st) {
  // The program never changes its identity: asked once.
  static const uid_t me = ::geteuid();
  static const gid_t group = ::getegid();
  if (st.st_uid != me && st.st_uid != 0) return "it belongs to another user (uid " + std::to_string(st.st_uid) + ")";
  if (S_ISLNK(st.st_mode)) return {};
  if (st.st_mode & S_IWOTH) return "every user may write to it";
  if ((st.st_mode & S_IWGRP) && st.st_gid != group && st.st_gid != 0)
    return "the users of group " + std::to_string(st.st_gid) + " may write to it";
  return {};
}

NodeInfo InfoOf(const NodeStat& s, std::optional<std::uint32_t> storedBits) {
  const struct stat& st = s.st;
  NodeInfo i;
  i.kind = KindOf(st);
  i.id = IdOf(st);
  i.mount = s.mount;
  i.mountRoot = s.mountRoot;
  i.size = S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : 0;
  i.links = static_cast<std::uint32_t>(st.st_nlink);
  i.sharedWith = SharedWith(st);
  if (i.kind == NodeKind::Link) {
    i.attributes = kAttrReparsePoint;
    return i;
  }
  if (i.kind == NodeKind::Folder) i.attributes |= kAttrDirectory;
  if (!(st.st_mode & S_IWUSR)) i.attributes |= kAttrReadOnly;
  if (storedBits) i.attributes |= *storedBits;
  else if (i.kind != NodeKind::Folder) i.attributes |= kAttrArchive;
  return i;
}

}  // namespace vz::posix
