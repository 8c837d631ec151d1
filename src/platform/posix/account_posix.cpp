// Accounts and permissions on POSIX: the effective user id names the
// account, and the mode bits tell what others may do. An access control
// list cannot grant more than the group bits show (they are its mask), so
// the bits are the whole answer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix/in_place.h"
#include "platform/posix/volumes.h"

namespace vz {
namespace {

std::string Mode(mode_t mode) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "mode %04o", static_cast<unsigned>(mode & 07777));
  return buf;
}

// Opens the last name itself, never a link, for fchmod.
int OpenNoFollow(const std::string& host) {
  return ::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
}

bool ChmodExactly(const std::string& host, mode_t mode) {
  int fd = OpenNoFollow(host);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && ::fchmod(fd, mode) == 0;
  ::close(fd);
  return ok;
}

// mkdir gives at most what the umask allows: a folder starts with none of
// the rights others should not have, and is then given its mode exactly.
bool MakeFolder(const std::string& path, mode_t mode) {
  auto host = posix::ToHostPath(path);
  if (!host || ::mkdir(host->c_str(), 0700) != 0) return false;
  return ChmodExactly(*host, mode);
}

}  // namespace

std::string Platform::AccountName() { return std::to_string(::geteuid()); }

std::optional<Ownership> Platform::OwnershipOf(const std::string& path) {
  auto host = posix::ToHostPath(path);
  struct stat st {};
  if (!host || ::lstat(host->c_str(), &st) != 0) return std::nullopt;
  Ownership o;
  o.folder = S_ISDIR(st.st_mode);
  o.link = S_ISLNK(st.st_mode);
  o.special = !o.folder && !o.link && !S_ISREG(st.st_mode);
  o.owner = std::to_string(st.st_uid);
  o.ownerTrusted = st.st_uid == ::geteuid();
  const mode_t m = st.st_mode;
  const bool dir = S_ISDIR(m);
  if (m & S_IWOTH) o.othersMayWrite = "anyone may write to it (" + Mode(m) + ")";
  else if (m & S_IWGRP) o.othersMayWrite = "its group may write to it (" + Mode(m) + ")";
  // A folder that others may enter lets them open what is in it by name.
  if (m & (S_IRGRP | S_IROTH | (dir ? S_IXGRP | S_IXOTH : 0)))
    o.othersMayRead = std::string(dir ? "others may list or enter it" : "others may read it") + " (" + Mode(m) + ")";
  if (dir && (m & (S_IWGRP | S_IWOTH)) && !(m & S_ISVTX))
    o.othersMayRemove = "others may rename or remove what it holds (writable without the sticky bit, " + Mode(m) + ")";
  return o;
}

bool Platform::MakePrivateFolder(const std::string& path) {
  if (!MakeFolder(path, 0700)) return false;
  // A store's index is written over in place before its blocks are freed:
  // on btrfs only in a folder marked No_COW, done while it is empty.
  if (auto host = posix::ToHostPath(path)) {
    int fd = OpenNoFollow(*host);
    if (fd >= 0) {
      posix::MarkFolderInPlace(fd);
      ::close(fd);
    }
  }
  return true;
}

bool Platform::MakePrivate(const std::string& path) {
  auto host = posix::ToHostPath(path);
  struct stat st {};
  if (!host || ::lstat(host->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return ChmodExactly(*host, 0700);
}

bool Platform::MakeSharedFolder(const std::string& path) {
  const bool root = ::geteuid() == 0;
  if (!MakeFolder(path, root ? 01777 : 0700)) return false;
  SetAttributes(path, kAttrHidden | kAttrSystem);
  return true;
}

}  // namespace vz
