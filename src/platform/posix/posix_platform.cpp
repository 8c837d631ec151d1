// The platform layer on POSIX systems: drive letters come from the volume
// table, attributes that POSIX lacks (hidden, system, archive) are kept in an
// extended attribute, and "no sharing" is an advisory lock that every opener
// of this layer honours.
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <climits>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#ifdef __linux__
#include <linux/falloc.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/sysmacros.h>
#endif

#include "common/text.h"
#include "platform/medium.h"
#include "platform/platform.h"
#include "platform/posix/kvstore.h"
#include "platform/posix/volumes.h"

namespace vz {
namespace {

constexpr const char* kAttrXattr = "user.vaporizer.attributes";
constexpr std::uint32_t kStoredBits = kAttrHidden | kAttrSystem | kAttrArchive;

// A file time here is an instant; the layer hands it out, and takes it, as
// the local time it is, so a local clock time written on a file is that
// moment in every time zone.
CivilTime FromTimespec(const struct timespec& ts) {
  struct tm tm {};
  time_t t = ts.tv_sec;
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

struct timespec ToTimespec(const CivilTime& c) {
  struct tm tm {};
  tm.tm_year = c.year - 1900;
  tm.tm_mon = c.month - 1;
  tm.tm_mday = c.day;
  tm.tm_hour = c.hour;
  tm.tm_min = c.minute;
  tm.tm_sec = c.second;
  tm.tm_isdst = -1;  // whatever the zone's rule is on that day
  struct timespec ts {};
  ts.tv_sec = mktime(&tm);
  return ts;
}

std::string LastComponent(const std::string& host) {
  auto p = host.find_last_of('/');
  return p == std::string::npos ? host : host.substr(p + 1);
}

std::optional<std::uint32_t> StoredBits(const std::string& host) {
  char buf[16] = {};
  ssize_t n = ::getxattr(host.c_str(), kAttrXattr, buf, sizeof buf - 1);
  if (n <= 0) return std::nullopt;
  return static_cast<std::uint32_t>(std::strtoul(buf, nullptr, 10)) & kStoredBits;
}

std::uint32_t AttributesOf(const std::string& host, const struct stat& st) {
  if (S_ISLNK(st.st_mode)) {
    struct stat target {};
    bool dir = ::stat(host.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    return kAttrReparsePoint | (dir ? std::uint32_t{kAttrDirectory} : 0u);
  }
  std::uint32_t a = 0;
  if (S_ISDIR(st.st_mode)) a |= kAttrDirectory;
  if (!(st.st_mode & S_IWUSR)) a |= kAttrReadOnly;
  if (auto bits = StoredBits(host)) a |= *bits;
  else if (!S_ISDIR(st.st_mode)) a |= kAttrArchive;
  std::string name = LastComponent(host);
  if (!name.empty() && name[0] == '.') a |= kAttrHidden;
  return a;
}

DirEntry EntryOf(const std::string& host, const std::string& name, const struct stat& st) {
  DirEntry e;
  e.name = name;
  e.attributes = AttributesOf(host, st);
  e.size = S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : 0;
  e.written = FromTimespec(st.st_mtim);
  e.accessed = FromTimespec(st.st_atim);
  e.created = e.written;
  struct statx sx {};
  if (::statx(AT_FDCWD, host.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME, &sx) == 0 &&
      (sx.stx_mask & STATX_BTIME)) {
    struct timespec ts {static_cast<time_t>(sx.stx_btime.tv_sec), 0};
    e.created = FromTimespec(ts);
  }
  return e;
}

std::optional<std::string> Host(const std::string& systemPath) { return posix::ToHostPath(systemPath); }

bool MakeParents(const std::string& host) {
  std::size_t pos = 0;
  while ((pos = host.find('/', pos + 1)) != std::string::npos) {
    std::string partial = host.substr(0, pos);
    if (::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool WriteAll(int fd, const char* data, std::size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, data, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    data += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

std::string ErrnoText() { return std::strerror(errno); }

// Zeros over a file's content, to the device, then its blocks handed back.
void WriteOver(int fd, off_t size) {
  static const char zeros[65536] = {};
  for (off_t at = 0; at < size;) {
    ssize_t w = ::pwrite(fd, zeros, static_cast<std::size_t>(std::min<off_t>(sizeof zeros, size - at)), at);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    at += w;
  }
  ::fdatasync(fd);
#ifdef __linux__
  if (size > 0) ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, 0, size);
#endif
}

// Whether a file replaced by a rename can still be written through a handle
// held on it without touching other files: not on FUSE file systems, which
// may free its blocks when its name goes.
bool KeepsReplacedFiles(int fd) {
#ifdef __linux__
  struct statfs fs {};
  return ::fstatfs(fd, &fs) == 0 && fs.f_type != 0x65735546;  // FUSE_SUPER_MAGIC
#else
  (void)fd;
  return true;
#endif
}

#ifdef __linux__
// Whether the file system on a device passes freed blocks on to it at once
// (mounted with discard, or btrfs's discard=sync), asked of the mount table
// once per device.
bool DiscardsOnFree(dev_t dev) {
  static std::mutex lock;
  static std::map<dev_t, bool> known;
  std::lock_guard<std::mutex> hold(lock);
  auto it = known.find(dev);
  if (it != known.end()) return it->second;
  bool on = false;
  int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  std::string table;
  char buf[8192];
  ssize_t n;
  while (fd >= 0 && (n = ::read(fd, buf, sizeof buf)) > 0) table.append(buf, static_cast<std::size_t>(n));
  if (fd >= 0) ::close(fd);
  for (const auto& m : ParseMountInfo(table)) {
    if (m.major != major(dev) || m.minor != minor(dev)) continue;
    // discard=async passes them on later, in the background, and may never
    // get to it before the volume is unmounted.
    const std::string all = "," + m.options + "," + m.superOptions + ",";
    on = on || all.find(",discard,") != std::string::npos || all.find(",discard=sync,") != std::string::npos;
  }
  known.emplace(dev, on);
  return on;
}
#endif

class PosixFile : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { ::close(fd_); }

  std::int64_t Size() override {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
  }
  bool WriteAt(std::int64_t offset, const void* data, std::size_t n) override {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
      const bool direct = bypass_ && DirectFits(offset, p, n) && Direct(true);
      if (!direct) Direct(false);
      ssize_t w = ::pwrite(fd_, p, n, static_cast<off_t>(offset));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0 && direct && errno == EINVAL) {
        bypass_ = false;  // the file system takes no direct writes after all
        continue;
      }
      if (w <= 0) return false;
      p += w;
      offset += w;
      n -= static_cast<std::size_t>(w);
    }
    return true;
  }
  bool BypassCache() override {
    bypass_ = Direct(true) && Direct(false);
    return bypass_;
  }
  bool Append(const std::string& data) override { return WriteAll(fd_, data.data(), data.size()); }
  bool Flush() override { return ::fdatasync(fd_) == 0; }
  int Descriptor() const { return fd_; }

  // O_DIRECT reads come from the device: the kernel first writes back what
  // the cache holds of the range, then reads around the cache.
  std::int64_t ReadBack(std::int64_t offset, void* buffer, std::size_t n, std::string* why) override {
    const bool wasDirect = directOn_;
    if (!Direct(true)) {
      if (why) *why = "the file system reads only through its cache (" + ErrnoText() + ")";
      return -1;
    }
    ssize_t got;
    do got = ::pread(fd_, buffer, n, static_cast<off_t>(offset));
    while (got < 0 && errno == EINTR);
    const int err = errno;
    Direct(wasDirect);
    if (got < 0 && why) {
      errno = err;
      *why = err == EINVAL ? "the file system reads only through its cache (EINVAL)" : "reading failed (" + ErrnoText() + ")";
    }
    return got;
  }

#ifdef __linux__
  std::vector<ByteRange> Extents() override {
    std::vector<ByteRange> out;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || st.st_size == 0) return out;
    constexpr unsigned kBatch = 64;
    std::vector<char> buf(sizeof(struct fiemap) + kBatch * sizeof(struct fiemap_extent));
    for (std::uint64_t start = 0;;) {
      std::memset(buf.data(), 0, buf.size());
      auto* map = reinterpret_cast<struct fiemap*>(buf.data());
      map->fm_start = start;
      map->fm_length = FIEMAP_MAX_OFFSET - start;
      map->fm_flags = FIEMAP_FLAG_SYNC;
      map->fm_extent_count = kBatch;
      if (::ioctl(fd_, FS_IOC_FIEMAP, map) != 0) return {};
      if (map->fm_mapped_extents == 0) return out;
      bool last = false;
      for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
        const struct fiemap_extent& e = map->fm_extents[i];
        // Data kept with the metadata or not yet placed has no range of its own.
        if (e.fe_flags & (FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DATA_INLINE | FIEMAP_EXTENT_NOT_ALIGNED)) return {};
        out.push_back({static_cast<std::int64_t>(e.fe_physical), static_cast<std::int64_t>(e.fe_length)});
        start = e.fe_logical + e.fe_length;
        last = last || (e.fe_flags & FIEMAP_EXTENT_LAST);
      }
      if (last) return out;
    }
  }

  std::string Discard() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return "its size cannot be read (" + ErrnoText() + ")";
    if (st.st_size > 0 &&
        ::fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(st.st_size)) != 0)
      return errno == EOPNOTSUPP ? "the file system cannot hand a file's blocks back (no hole punching)"
                                 : "punching a hole over it failed (" + ErrnoText() + ")";
    if (!DiscardsOnFree(st.st_dev))
      return "its blocks were freed, but the file system is mounted without discard and tells the device nothing";
    return {};
  }
#endif
  bool StartWriteBack(std::int64_t offset, std::int64_t length) override {
#ifdef __linux__
    return ::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE) == 0;
#else
    (void)offset;
    (void)length;
    return false;
#endif
  }
  bool SetTimes(const CivilTime*, const CivilTime* accessed, const CivilTime* written) override {
    // POSIX keeps no settable creation time; the other two are set.
    struct timespec ts[2];
    ts[0].tv_nsec = UTIME_OMIT;
    ts[1].tv_nsec = UTIME_OMIT;
    if (accessed) ts[0] = ToTimespec(*accessed);
    if (written) ts[1] = ToTimespec(*written);
    return ::futimens(fd_, ts) == 0;
  }

 private:
  // Direct writes want whole pages at page offsets from page-aligned memory.
  static bool DirectFits(std::int64_t offset, const char* p, std::size_t n) {
    constexpr std::uintptr_t kPage = 4096;
    return offset % static_cast<std::int64_t>(kPage) == 0 && n % kPage == 0 &&
           reinterpret_cast<std::uintptr_t>(p) % kPage == 0;
  }
  bool Direct(bool on) {
    if (on == directOn_) return true;
    int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) != 0) return false;
    directOn_ = on;
    return true;
  }

  int fd_;
  bool bypass_ = false;    // direct writes were asked for and the file system takes them
  bool directOn_ = false;  // O_DIRECT is set on the descriptor
};

// Opens an existing regular file the way the Windows sharing rules allow:
// exclusive opens refuse when anyone else has it, shared ones refuse while
// an exclusive holder has it. The read-only attribute refuses writing even
// to root, as it does on Windows.
std::unique_ptr<File> OpenHost(const std::string& systemPath, int flags, int lockOp) {
  auto host = Host(systemPath);
  if (!host) return nullptr;
  struct stat st {};
  if (::lstat(host->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  if (!(st.st_mode & S_IWUSR)) return nullptr;
  int fd = ::open(host->c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return nullptr;
  if (::flock(fd, lockOp | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixFile>(fd);
}

// flock on the store folder itself: the store keeps its layout, and the
// kernel drops the lock with the last descriptor of a process that dies.
class PosixStoreLock : public StoreLock {
 public:
  explicit PosixStoreLock(int fd) : fd_(fd) {}
  ~PosixStoreLock() override { ::close(fd_); }

 private:
  int fd_;
};

// rename without replacing. File systems that cannot promise it (older
// FUSE ones) get a check first; the store lock keeps our own writers apart
// there.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) return false;
  return ::rename(from.c_str(), to.c_str()) == 0;
}

#ifndef FS_CASEFOLD_FL
#define FS_CASEFOLD_FL 0x40000000
#endif

// Whether names in an existing folder are found regardless of case: FAT
// and exFAT (in the kernel or through FUSE) fold every name; ext4 and f2fs
// fold those of a folder marked +F. Anything else, and anything that
// cannot be asked, is taken as exact.
bool FolderIgnoresCase(const std::string& host) {
  struct statfs fs {};
  if (::statfs(host.c_str(), &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x4D44:      // MSDOS_SUPER_MAGIC: vfat, msdos
    case 0x2011BAB0:  // EXFAT_SUPER_MAGIC
      return true;
    case 0x65735546: {  // FUSE_SUPER_MAGIC: the mount table names the file system
      char real[PATH_MAX];
      std::ifstream in("/proc/self/mountinfo");
      std::stringstream table;
      table << in.rdbuf();
      std::vector<MountEntry> mounts = ParseMountInfo(table.str());
      const MountEntry* m = ::realpath(host.c_str(), real) ? MountOf(mounts, real) : nullptr;
      return m && (m->fsType == "fuse.fusefat" || m->fsType == "fuse.exfat");
    }
    default:
      break;
  }
  int fd = ::open(host.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool folded = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_CASEFOLD_FL);
  ::close(fd);
  return folded;
}

int RemoveOne(const char* path, const struct stat*, int type, struct FTW*) {
  return type == FTW_DP ? ::rmdir(path) : ::unlink(path);
}

class PosixPlatform : public Platform {
 public:
  std::uint32_t LogicalDriveMask() override {
    std::uint32_t mask = 0;
    for (const auto& v : posix::Volumes()) mask |= 1u << (v.letter - 'A');
    return mask;
  }

  DriveType DriveTypeOf(char letter) override {
    letter = ToUpperChar(letter);
    for (const auto& v : posix::Volumes()) {
      if (v.letter != letter) continue;
      struct stat st {};
      if (::stat(v.root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return DriveType::NoRootDir;
      return v.type;
    }
    return DriveType::NoRootDir;
  }

  bool CarriesStore(char letter, std::string* why) override { return posix::CarriesStore(letter, why); }

  char IndexLetter(char drive) override {
    for (const auto& v : posix::Volumes())
      if (v.letter == ToUpperChar(drive) && v.indexLetter) return v.indexLetter;
    return drive;
  }

  std::optional<std::string> ResolvePath(const std::string& path, PathOrigin, std::string* why) override {
    return posix::ResolveSystemPath(path, why);
  }

  std::optional<std::uint32_t> GetAttributes(const std::string& path) override {
    auto host = Host(path);
    struct stat st {};
    if (!host || ::lstat(host->c_str(), &st) != 0) return std::nullopt;
    return AttributesOf(*host, st);
  }

  bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
    auto host = Host(path);
    struct stat st {};
    if (!host || ::lstat(host->c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return false;
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & kAttrReadOnly) ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    if (::chmod(host->c_str(), mode) != 0) return false;
    std::string bits = std::to_string(attributes & kStoredBits);
    // File systems without extended attributes keep only the read-only bit.
    ::setxattr(host->c_str(), kAttrXattr, bits.data(), bits.size(), 0);
    return true;
  }

  bool SetWriteTime(const std::string& path, const CivilTime& written) override {
    auto host = Host(path);
    struct stat st {};
    if (!host || ::lstat(host->c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return false;
    struct timespec ts[2];
    ts[0].tv_nsec = UTIME_OMIT;
    ts[1] = ToTimespec(written);
    return ::utimensat(AT_FDCWD, host->c_str(), ts, AT_SYMLINK_NOFOLLOW) == 0;
  }

  std::optional<DirEntry> FindEntry(const std::string& path) override {
    auto host = Host(path);
    struct stat st {};
    if (!host || ::lstat(host->c_str(), &st) != 0) return std::nullopt;
    std::string p = WithoutTrailingBackslash(path);
    return EntryOf(*host, p.substr(p.find_last_of('\\') + 1), st);
  }

  bool ListDirectory(const std::string& dir, std::vector<DirEntry>& out) override {
    auto host = Host(dir);
    if (!host) return false;
    DIR* d = ::opendir(host->c_str());
    if (!d) return false;
    std::string base = *host == "/" ? "" : *host;
    while (struct dirent* de = ::readdir(d)) {
      std::string name = de->d_name;
      if (name == "." || name == "..") continue;
      std::string child = base + "/" + name;
      struct stat st {};
      if (::lstat(child.c_str(), &st) != 0) continue;
      // Names the system's paths cannot carry, and folders that would be
      // taken for a store, are invisible to it; the store shows under its
      // own name.
      auto sys = posix::ToSystemPath(child);
      if (!sys || sys->size() <= 3) continue;
      out.push_back(EntryOf(child, sys->substr(sys->find_last_of('\\') + 1), st));
    }
    ::closedir(d);
    return true;
  }

  std::uint32_t LinkCount(const std::string& path) override {
    auto host = Host(path);
    struct stat st {};
    if (!host || ::lstat(host->c_str(), &st) != 0) return 0;
    return static_cast<std::uint32_t>(st.st_nlink);
  }

  bool MakeDirectory(const std::string& path) override {
    auto host = Host(path);
    return host && ::mkdir(host->c_str(), 0777) == 0;
  }

  bool CreateEmptyFile(const std::string& path) override {
    auto host = Host(path);
    if (!host) return false;
    int fd = ::open(host->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    ::close(fd);
    return true;
  }

  std::optional<std::string> ReadWholeFile(const std::string& path) override {
    auto host = Host(path);
    if (!host) return std::nullopt;
    int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buf[65536];
    for (;;) {
      ssize_t n = ::read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) { ::close(fd); return std::nullopt; }
      if (n == 0) break;
      text.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
  }

  bool ReplaceFileContents(const std::string& path, const std::string& content) override {
    auto host = Host(path);
    if (!host) return false;
    std::string tmp = *host + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;
    struct stat old {};
    if (::stat(host->c_str(), &old) == 0) {
      ::fchmod(fd, old.st_mode & 07777);
    } else {
      // A new file gets the usual permissions, not mkstemp's private ones.
      mode_t mask = ::umask(0);
      ::umask(mask);
      ::fchmod(fd, 0666 & ~mask);
    }
    bool ok = WriteAll(fd, content.data(), content.size()) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    // Held through the replace, so that what the old file said is written
    // over in its own blocks before the file system frees them.
    int was = ok ? ::open(host->c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK) : -1;
    // A file with other names keeps showing the content under them.
    if (was >= 0 && (::fstat(was, &old) != 0 || !S_ISREG(old.st_mode) || old.st_nlink != 1)) {
      ::close(was);
      was = -1;
    }
    // Exchanged rather than renamed over where the file system can: the old
    // content then keeps its name until it has been written over. Some file
    // systems (FUSE ones among them) free a replaced file's blocks at once
    // and reuse them, so writing through a handle to it would land in other
    // files' blocks.
    bool exchanged = false;
#ifdef RENAME_EXCHANGE
    exchanged = ok && was >= 0 && ::renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, host->c_str(), RENAME_EXCHANGE) == 0;
#endif
    if (!ok || (!exchanged && ::rename(tmp.c_str(), host->c_str()) != 0)) {
      if (was >= 0) ::close(was);
      ::unlink(tmp.c_str());
      return false;
    }
    std::string dir = host->substr(0, host->find_last_of('/') + 1);
    int dfd = ::open(dir.empty() ? "/" : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
      ::fsync(dfd);
      ::close(dfd);
    }
    if (was >= 0) {
      if (exchanged || KeepsReplacedFiles(was)) WriteOver(was, old.st_size);
      ::close(was);
    }
    if (exchanged) ::unlink(tmp.c_str());
    return true;
  }

  bool WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                      const std::string& value) override {
    std::string text = ReadWholeFile(path).value_or("");
    std::vector<std::string> lines = SplitLines(text);
    std::string header = "[" + section + "]";
    std::size_t sec = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (EqualsNoCase(Trim(lines[i]), header)) { sec = i; break; }
    std::string entry = key + "=" + value;
    if (sec == lines.size()) {
      lines.push_back(header);
      lines.push_back(entry);
    } else {
      std::size_t i = sec + 1;
      bool done = false;
      for (; i < lines.size() && !(Trim(lines[i]).size() && Trim(lines[i])[0] == '['); ++i) {
        std::string l = Trim(lines[i]);
        auto eq = l.find('=');
        if (eq != std::string::npos && EqualsNoCase(Trim(l.substr(0, eq)), key)) {
          lines[i] = entry;
          done = true;
          break;
        }
      }
      if (!done) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i), entry);
    }
    std::string out;
    for (const auto& l : lines) out += l + "\r\n";
    auto attrs = GetAttributes(path);
    if (attrs && (*attrs & kAttrReadOnly)) SetAttributes(path, *attrs & ~kAttrReadOnly);
    bool ok = ReplaceFileContents(path, out);
    if (!ok && !Exists(path)) {
      auto host = Host(path);
      int fd = host ? ::open(host->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666) : -1;
      if (fd >= 0) {
        ok = WriteAll(fd, out.data(), out.size());
        ::close(fd);
      }
    }
    if (attrs) SetAttributes(path, *attrs);
    return ok;
  }

  std::unique_ptr<File> OpenExclusive(const std::string& path) override {
    return OpenHost(path, O_RDWR, LOCK_EX);
  }

#ifdef __linux__
  // The file system commits what it freed first (a copy-on-write one frees
  // old extents only then), and FITRIM finds them free.
  std::string TrimVolume(const std::string& path, const std::vector<ByteRange>& ranges) override {
    auto host = Host(path);
    if (!host) return "the path lies on no drive of the volume table";
    int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return "the volume could not be opened (" + ErrnoText() + ")";
    ::syncfs(fd);
    std::vector<ByteRange> todo = ranges;
    if (todo.empty()) todo.push_back({0, -1});
    std::string why;
    for (const auto& r : todo) {
      struct fstrim_range range {};
      range.start = static_cast<std::uint64_t>(r.offset);
      range.len = r.length < 0 ? UINT64_MAX : static_cast<std::uint64_t>(r.length);
      if (::ioctl(fd, FITRIM, &range) == 0) continue;
      why = errno == EPERM ? "the volume trim needs root (CAP_SYS_ADMIN)"
            : errno == EOPNOTSUPP || errno == ENOTTY ? "the file system or its device takes no trim of its free space"
                                                     : "FITRIM failed (" + ErrnoText() + ")";
      break;
    }
    ::close(fd);
    return why;
  }
#endif
  std::unique_ptr<File> OpenSharedWrite(const std::string& path, bool truncate) override {
    return OpenHost(path, O_WRONLY | (truncate ? O_TRUNC : 0), LOCK_SH);
  }
  std::unique_ptr<File> OpenAppend(const std::string& path) override {
    return OpenHost(path, O_WRONLY | O_APPEND, LOCK_SH);
  }
  // fdatasync from several threads rather than one syncfs: measured alike,
  // but a syncfs also waits for everything else that is being written to
  // the volume, and it cannot tell which file failed.
  std::vector<bool> FlushFiles(const std::vector<File*>& files) override {
    std::vector<int> fds;
    for (File* f : files) {
      auto* own = dynamic_cast<PosixFile*>(f);
      if (!own) return Platform::FlushFiles(files);
      fds.push_back(own->Descriptor());
    }
    return FlushTogether(fds.size(), [&](std::size_t i) { return ::fdatasync(fds[i]) == 0; });
  }

  bool IgnoresCase(const std::string& dir) override {
    auto host = Host(dir);
    if (!host) return false;
    std::string h = *host;
    struct stat st {};
    while (::stat(h.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      auto slash = h.find_last_of('/');
      if (slash == std::string::npos || slash == 0) return false;
      h.erase(slash);
    }
    return FolderIgnoresCase(h);
  }

  bool MoveItem(const std::string& from, const std::string& to) override {
    auto src = Host(from), dst = Host(to);
    if (!src || !dst) return false;
    struct stat st {};
    if (::lstat(src->c_str(), &st) != 0) return false;
    if (::lstat(dst->c_str(), &st) == 0) return false;
    // A rename keeps the item on its file system; across file systems it
    // fails rather than leave a copy behind. The folders above the
    // destination are made only when missing (a restore to a folder that is
    // gone), not before every move.
    if (RenameNoReplace(*src, *dst)) return true;
    return errno == ENOENT && MakeParents(*dst) && RenameNoReplace(*src, *dst);
  }

  std::unique_ptr<StoreLock> LockStore(const std::string& storeDir, int waitMs, bool* busy) override {
    if (busy) *busy = false;
    auto host = Host(storeDir);
    if (!host) return nullptr;
    int fd = ::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    auto pause = std::chrono::microseconds(200);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
        if (busy) *busy = errno == EWOULDBLOCK;
        ::close(fd);
        return nullptr;
      }
      std::this_thread::sleep_for(pause);
      if (pause < std::chrono::milliseconds(20)) pause *= 2;
    }
    return std::make_unique<PosixStoreLock>(fd);
  }

  bool RemoveFile(const std::string& path) override {
    auto host = Host(path);
    struct stat st {};
    if (!host || ::lstat(host->c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return ::unlink(host->c_str()) == 0;
  }

  bool DeleteItem(const std::string& path) override {
    auto host = Host(path);
    struct stat st {};
    if (!host || ::lstat(host->c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) return ::unlink(host->c_str()) == 0;
    return ::nftw(host->c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS) == 0;
  }

  bool RemoveEmptyDirectory(const std::string& path) override {
    auto host = Host(path);
    struct stat st {};
    if (!host || ::lstat(host->c_str(), &st) != 0) return false;
    if (S_ISLNK(st.st_mode)) return ::unlink(host->c_str()) == 0;
    return ::rmdir(host->c_str()) == 0;
  }

  bool RemoveLink(const std::string& path) override {
    auto host = Host(path);
    struct stat st {};
    if (!host || ::lstat(host->c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
    return ::unlink(host->c_str()) == 0;
  }

  CivilTime LocalNow() override {
    time_t t = ::time(nullptr);
    struct tm tm {};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  }

  // File times are handed out in local time already.
  CivilTime ToLocal(const CivilTime& raw) override { return raw; }

  // The C library's locales have no long date form to match the system's,
  // so callers keep their own fixed form here.
  std::optional<std::string> FormatDateTime(const CivilTime&, DateStyle) override { return std::nullopt; }

  bool KvOpenKey(const std::string& key, bool create) override { return posix::KvOpenKey(key, create); }
  KvValue KvRead(const std::string& key, const std::string& name) override { return posix::KvRead(key, name); }
  bool KvWriteDword(const std::string& key, const std::string& name, std::uint32_t value) override {
    return posix::KvWriteDword(key, name, value);
  }
  bool KvWriteString(const std::string& key, const std::string& name, const std::string& value) override {
    return posix::KvWriteString(key, name, value);
  }

  // There is no desktop icon to refresh here.
  void UpdateIcon() override {}
};

}  // namespace

Platform& NativePlatform() {
  static PosixPlatform p;
  return p;
}

}  // namespace vz
