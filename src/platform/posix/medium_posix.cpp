// The medium under a path on Linux: the mount table, sysfs, statfs and the
// inode flags, read through the readers of platform/medium.h.
#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#include <sys/vfs.h>
#endif

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/medium.h"
#include "platform/posix/real_sources.h"
#include "platform/posix/volumes.h"

namespace vz {
namespace posix {

std::string RealSources::At(const std::string& path) const {
  if (sysRoot_.empty() || path.compare(0, 5, "/sys/") != 0) return path;
  return sysRoot_ + path.substr(4);
}

std::optional<std::string> RealSources::Read(const std::string& path) {
  int fd = ::open(At(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  std::string out;
  char buf[8192];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0 && out.size() < (4u << 20)) out.append(buf, static_cast<std::size_t>(n));
  ::close(fd);
  if (n < 0) return std::nullopt;
  return out;
}

std::optional<std::string> RealSources::LinkTarget(const std::string& path) {
  char buf[PATH_MAX];
  ssize_t n = ::readlink(At(path).c_str(), buf, sizeof buf - 1);
  if (n <= 0) return std::nullopt;
  return std::string(buf, static_cast<std::size_t>(n));
}

std::vector<std::string> RealSources::List(const std::string& dir) {
  std::vector<std::string> out;
  DIR* d = ::opendir(At(dir).c_str());
  if (!d) return out;
  while (dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") out.push_back(n);
  }
  ::closedir(d);
  return out;
}

std::optional<std::string> RealSources::RealPath(const std::string& path) {
  char buf[PATH_MAX];
  if (!::realpath(At(path).c_str(), buf)) return std::nullopt;
  return std::string(buf);
}

std::optional<std::uint64_t> RealSources::FsMagic(const std::string& path, std::string* why) {
#ifdef __linux__
  struct statfs s {};
  if (::statfs(path.c_str(), &s) == 0) return static_cast<std::uint64_t>(static_cast<unsigned long>(s.f_type));
  if (why) *why = std::strerror(errno);
#else
  (void)path;
  if (why) *why = "not asked on this system";
#endif
  return std::nullopt;
}

std::optional<std::string> RealSources::DeviceNumber(const std::string& node) {
  struct stat st {};
  if (::stat(node.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return std::nullopt;
  return std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
}

}  // namespace posix

MediumFacts NativeMediumOf(const std::string& path) {
  auto host = posix::ToHostPath(path);
  if (!host) {
    MediumFacts f;
    f.where = path;
    f.fileSystem.evidence = f.device.evidence = path + " lies on no drive of the volume table";
    return f;
  }
  posix::RealSources sources;
  return LinuxMediumFacts(*host, sources);
}

FileStorage NativeFileStorageOf(const std::string& path) {
  auto host = posix::ToHostPath(path);
  struct stat before {};
  if (!host || ::lstat(host->c_str(), &before) != 0 || !S_ISREG(before.st_mode)) return {std::nullopt, "not a regular file"};
  // Opening a file of another kind could have effects of its own.
  int fd = ::open(host->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return {std::nullopt, std::string("the file could not be opened: ") + std::strerror(errno)};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_ino != before.st_ino || st.st_dev != before.st_dev || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return {std::nullopt, "the file changed while it was looked at"};
  }
  FileStorage storage = NativeFileStorageOfOpen(fd, st.st_size);
  ::close(fd);
  return storage;
}

FileStorage NativeFileStorageOfOpen(int fd, std::int64_t size) {
  bool holes = false;
  if (size > 0) {
    off_t hole = ::lseek(fd, 0, SEEK_HOLE);
    holes = hole >= 0 && hole < size;
  }
  std::optional<std::uint32_t> flags;
  std::string why;
#ifdef __linux__
  int raw = 0;  // the kernel reads and writes an int, whatever the macro says
  if (::ioctl(fd, FS_IOC_GETFLAGS, &raw) == 0) flags = static_cast<std::uint32_t>(raw);
  else why = std::string("the file system keeps no inode flags here (") + std::strerror(errno) + ")";
#else
  why = "not asked on this system";
#endif
  return FileStorageFromInodeFlags(flags, why, holes);
}

}  // namespace vz
