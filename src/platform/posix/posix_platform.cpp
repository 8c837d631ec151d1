// The platform layer on POSIX systems: drive letters come from the volume
// table, attributes that POSIX lacks (hidden, system, archive) are kept in an
// extended attribute, and "no sharing" is an advisory lock that every opener
// of this layer honours.
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <climits>
#include <cstring>
#include <memory>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "common/drive_path.h"
#ifdef __linux__
#include <linux/falloc.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/sysmacros.h>
#endif

#include "common/text.h"
#include "platform/medium.h"
#include "platform/platform.h"
#include "platform/posix/in_place.h"
#include "platform/posix/item_meta.h"
#include "platform/posix/kvstore.h"
#include "platform/posix/node_stat.h"
#include "platform/posix/volumes.h"

namespace vz {
namespace {

using posix::IdOf;
using posix::InfoOf;
using posix::KindOf;
using posix::kAttrXattr;
using posix::NodeStat;
using posix::StatAt;
using posix::kStoredBits;
using posix::KeepTimesOf;
using posix::SetAttributesOf;
using posix::StoredBitsOf;
using posix::TakeBackTimesOf;

// A file time here is an instant; the layer hands it out, and takes it, as
// the local time it is, so a local clock time written on a file is that
// moment in every time zone.
CivilTime FromTimespec(const struct timespec& ts) {
  struct tm tm {};
  time_t t = ts.tv_sec;
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

struct timespec ToTimespecOnce(const CivilTime& c);

// The same local time is turned into the same instant many times in a
// batch (the stamp before every delete); the zone's rules are read once
// for it, not twice per file.
struct timespec ToTimespec(const CivilTime& c) {
  struct Last {
    CivilTime civil;
    std::string zone;
    struct timespec ts;
  };
  static thread_local std::optional<Last> last;
  const char* tz = std::getenv("TZ");
  std::string zone = tz ? std::string("=") + tz : std::string();
  if (last && last->civil == c && last->zone == zone) return last->ts;
  last = Last{c, zone, ToTimespecOnce(c)};
  return last->ts;
}

struct timespec ToTimespecOnce(const CivilTime& c) {
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

// Volumes whose file system keeps no extended attributes: once one said
// so, nothing more is asked of their files.
class NoXattrVolumes {
 public:
  bool Lacks(dev_t volume) {
    std::lock_guard<std::mutex> hold(lock_);
    return none_.count(volume) != 0;
  }
  void Note(dev_t volume, int err) {
    if (err != ENOTSUP && err != EOPNOTSUPP) return;
    std::lock_guard<std::mutex> hold(lock_);
    none_.insert(volume);
  }

 private:
  std::mutex lock_;
  std::set<dev_t> none_;
};
NoXattrVolumes& XattrVolumes() {
  static NoXattrVolumes v;
  return v;
}

std::optional<std::uint32_t> BitsFrom(const char* buf, ssize_t n) {
  if (n <= 0) return std::nullopt;
  return static_cast<std::uint32_t>(std::strtoul(buf, nullptr, 10)) & kStoredBits;
}

// The attribute bits kept on a file of `volume`, asked by its host path;
// a link at the path's end is not followed.
std::optional<std::uint32_t> StoredBits(const std::string& host, dev_t volume) {
  if (XattrVolumes().Lacks(volume)) return std::nullopt;
  char buf[16] = {};
  ssize_t n = ::lgetxattr(host.c_str(), kAttrXattr, buf, sizeof buf - 1);
  if (n < 0) XattrVolumes().Note(volume, errno);
  return BitsFrom(buf, n);
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
  if (auto bits = StoredBits(host, st.st_dev)) a |= *bits;
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

// A descriptor shared by a folder and by what was opened from it, which
// acts by its name in that folder.
struct Fd {
  explicit Fd(int f) : fd(f) {}
  ~Fd() { ::close(fd); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int fd;
};
using FdRef = std::shared_ptr<Fd>;

std::string ErrorText(int err) {
  switch (err) {
    case ELOOP: return "is a link";
    case ENOTDIR: return "is not a folder";
    case ENOENT: return "does not exist";
    case EEXIST: return "exists already";
    default: return std::string("cannot be opened (") + std::strerror(err) + ")";
  }
}

void Say(std::string* why, const std::string& text) {
  if (why) *why = text;
}

// The system path of a name in a folder.
std::string Joined(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : WithTrailingBackslash(folder) + name;
}

// A name in a folder, for messages: its real path, as the user knows it
// here, where it has one; else its path in the system's form.
std::string Shown(const std::string& folder, const std::string& name) {
  const std::string system = Joined(folder, name);
  auto host = posix::ToHostPath(system);
  return host ? *host : system;
}

// Whether the name still holds what `own` (a descriptor of ours) holds.
// `known`: the identity of `own`, where the holder keeps it from its open.
bool StillHolds(int dir, const std::string& name, int own, const struct stat* known = nullptr) {
  struct stat there {}, mine {};
  if (known) mine = *known;
  else if (::fstat(own, &mine) != 0) return false;
  return ::fstatat(dir, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 && there.st_dev == mine.st_dev &&
         there.st_ino == mine.st_ino;
}

// rename without replacing. File systems that cannot promise it (older
// FUSE ones) get a check first; the store lock keeps our own writers apart
// there.
bool RenameAt(int fromDir, const std::string& from, int toDir, const std::string& to, bool replace) {
  if (replace) return ::renameat(fromDir, from.c_str(), toDir, to.c_str()) == 0;
  if (::renameat2(fromDir, from.c_str(), toDir, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  struct stat st {};
  if (::fstatat(toDir, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::renameat(fromDir, from.c_str(), toDir, to.c_str()) == 0;
}

// What every handle of this layer shares: its own descriptor, and the
// folder and name it was opened by, through which it is renamed and
// deleted once the name is seen to hold it still.
struct Place {
  FdRef dir;         // the folder it lies in; null for a volume's root
  std::string name;  // its name there, as the system holds it
  std::string path;  // in the system's form, for messages

  bool Delete(int own, bool folder, const struct stat* known = nullptr) {
    if (!dir) return false;
    if (!StillHolds(dir->fd, name, own, known)) return false;
    RaceStep("delete", path);
    return ::unlinkat(dir->fd, name.c_str(), folder ? AT_REMOVEDIR : 0) == 0;
  }
  bool MoveTo(int own, Folder& to, const std::string& newName, bool replace);
  bool ExchangeWith(int own, const std::string& other);
};

// The attribute bits kept on a file held open, unless its volume already
// said that it keeps no extended attributes.
std::optional<std::uint32_t> StoredBitsOn(int fd, dev_t volume) {
  if (XattrVolumes().Lacks(volume)) return std::nullopt;
  errno = 0;
  std::optional<std::uint32_t> bits = StoredBitsOf(fd);
  if (!bits && errno != 0) XattrVolumes().Note(volume, errno);
  return bits;
}

std::optional<NodeInfo> InfoOfFd(int fd) {
  NodeStat s;
  if (!StatAt(fd, "", &s)) return std::nullopt;
  return InfoOf(s, S_ISLNK(s.st.st_mode) ? std::nullopt : StoredBitsOn(fd, s.st.st_dev));
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
  // Over whole blocks, or the last one stays the file's.
  struct stat st {};
  const off_t block = ::fstat(fd, &st) == 0 && st.st_blksize > 0 ? st.st_blksize : 4096;
  if (size > 0) ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, 0, (size + block - 1) / block * block);
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

// From this many files of one volume on, a flush of the volume is cheaper
// than a flush of each.
constexpr std::size_t kSyncfsFrom = 16;

// Whether a syncfs of the volume is sure to have put every file's data on
// the device when it returns: the kernel's own disk file systems whose
// sync of the volume commits their journal or log and flushes the device's
// cache (ext2/3/4, xfs, btrfs, f2fs), and tmpfs, which has no device. Not
// network or FUSE file systems, whose servers keep caches of their own,
// nor FAT, which flushes no device cache on a syncfs. Asked once per volume.
bool SyncfsReaches(int fd, dev_t volume) {
  static std::mutex lock;
  static std::map<dev_t, bool> known;
  std::lock_guard<std::mutex> hold(lock);
  auto it = known.find(volume);
  if (it != known.end()) return it->second;
  bool reaches = false;
#ifdef __linux__
  struct statfs fs {};
  if (::fstatfs(fd, &fs) == 0) {
    switch (static_cast<unsigned long>(fs.f_type)) {
      case 0xEF53:      // ext2, ext3, ext4
      case 0x58465342:  // xfs
      case 0x9123683E:  // btrfs
      case 0xF2F52010:  // f2fs
      case 0x01021994:  // tmpfs
        reaches = true;
        break;
      default:
        break;
    }
  }
#else
  (void)fd;
#endif
  known.emplace(volume, reaches);
  return reaches;
}

// How many files a batch may hold open at once: the process's limit of
// descriptors, raised to what the system allows (its soft limit is often
// far below), less room for folders, settings and threads.
std::size_t HeldFilesLimit() {
  static const std::size_t limit = [] {
    struct rlimit r {};
    if (::getrlimit(RLIMIT_NOFILE, &r) != 0) return std::size_t{256};
    if (r.rlim_cur < r.rlim_max) {
      struct rlimit raised = r;
      raised.rlim_cur = std::min<rlim_t>(r.rlim_max, 1 << 20);
      if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) r = raised;
    }
    const rlim_t room = r.rlim_cur > 768 ? r.rlim_cur - 512 : r.rlim_cur / 3;
    return static_cast<std::size_t>(std::min<rlim_t>(room, 1 << 16));
  }();
  return limit;
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
  // `opened`: what the opener found the descriptor to be, where it asked.
  PosixFile(int fd, Place place, const struct stat* opened = nullptr) : fd_(fd), place_(std::move(place)) {
    if (opened) opened_ = *opened;
    else if (::fstat(fd_, &opened_) != 0) opened_ = {};
    fresh_ = opened != nullptr;
  }
  ~PosixFile() override { ::close(fd_); }

  std::int64_t Size() override {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
  }
  bool WriteAt(std::int64_t offset, const void* data, std::size_t n) override {
    Changed();
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
      if (w <= 0) return Failed(w < 0 ? errno : ENOSPC);
      p += w;
      offset += w;
      n -= static_cast<std::size_t>(w);
    }
    return true;
  }
  std::int64_t ReadAt(std::int64_t offset, void* data, std::size_t n) override {
    for (;;) {
      ssize_t r = ::pread(fd_, data, n, static_cast<off_t>(offset));
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) Failed(errno);
      return r;
    }
  }
  bool BypassCache() override {
    bypass_ = Direct(true) && Direct(false);
    return bypass_;
  }
  bool Append(const std::string& data) override { Changed(); return WriteAll(fd_, data.data(), data.size()) || Failed(errno); }
  bool Flush() override { return ::fdatasync(fd_) == 0 || Failed(errno); }
  int Descriptor() const { return fd_; }
  // The device of the file system it lies on; 0 when unknown.
  dev_t Volume() const { return opened_.st_dev; }

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

  bool KeptWhenReplaced() override { return KeepsReplacedFiles(fd_); }
  // The magic link of /proc reaches the very inode, named or not.
  bool ZeroAndRelease() override {
    Changed();
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || !KeepsReplacedFiles(fd_)) return false;
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    int w = ::open(self.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (w < 0) return false;
    WriteOver(w, st.st_size);
    ::close(w);
    return true;
  }
  std::string Discard() override {
    Changed();
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return "its size cannot be read (" + ErrnoText() + ")";
    // Over whole blocks: a hole that ends inside the last block only zeros
    // that block's tail in place, and the block stays the file's.
    const off_t block = st.st_blksize > 0 ? st.st_blksize : 4096;
    const off_t span = (st.st_size + block - 1) / block * block;
    if (st.st_size > 0 && ::fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, 0, span) != 0)
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
    Changed();
    // POSIX keeps no settable creation time; the other two are set.
    struct timespec ts[2];
    ts[0].tv_nsec = UTIME_OMIT;
    ts[1].tv_nsec = UTIME_OMIT;
    if (accessed) ts[0] = ToTimespec(*accessed);
    if (written) ts[1] = ToTimespec(*written);
    return ::futimens(fd_, ts) == 0;
  }
  bool Truncate(std::int64_t size) override { Changed(); return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 || Failed(errno); }
  // SEEK_DATA and SEEK_HOLE walk the ranges that hold blocks; a file system
  // that cannot tell answers with the whole file as one range.
  std::vector<std::pair<std::int64_t, std::int64_t>> DataRanges() override {
    std::vector<std::pair<std::int64_t, std::int64_t>> out;
    const std::int64_t size = Size();
    off_t pos = 0;
    while (pos < size) {
      off_t data = ::lseek(fd_, pos, SEEK_DATA);
      if (data < 0) {
        if (errno == ENXIO) break;  // only a hole is left
        return File::DataRanges();
      }
      off_t hole = ::lseek(fd_, data, SEEK_HOLE);
      if (hole < 0) return File::DataRanges();
      if (hole > size) hole = static_cast<off_t>(size);
      if (hole > data) out.emplace_back(data, hole - data);
      pos = hole;
    }
    return out;
  }
  std::string LastError() override { return error_; }
  std::optional<NodeInfo> Info() override {
    if (!fresh_) return InfoOfFd(fd_);
    fresh_ = false;
    return InfoOf(opened_, StoredBitsOn(fd_, opened_.st_dev));
  }
  bool SetAttributes(std::uint32_t attributes) override {
    Changed();
    return SetAttributesOf(fd_, attributes);
  }
  bool KeepOwnTimes() override {
    Changed();
    return KeepTimesOf(fd_);
  }
  bool TakeBackOwnTimes() override {
    Changed();
    return TakeBackTimesOf(fd_);
  }
  bool MoveTo(Folder& to, const std::string& name, bool replace) override {
    Changed();
    return place_.MoveTo(fd_, to, name, replace);
  }
  bool ExchangeWith(const std::string& name) override {
    Changed();
    return place_.ExchangeWith(fd_, name);
  }
  bool Delete() override {
    Changed();
    return place_.Delete(fd_, false, opened_.st_ino != 0 ? &opened_ : nullptr);
  }
  std::string Path() const override { return place_.path; }

 private:
  bool Failed(int err) {
    error_ = err == ENOSPC ? "no space left on the device" : std::strerror(err);
    return false;
  }
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

  // What the descriptor was when it was opened: its identity for as long as
  // it is held, and the whole answer to the first Info() until anything
  // changes through it.
  void Changed() { fresh_ = false; }
  int fd_;
  Place place_;
  struct stat opened_ {};
  bool fresh_ = false;
  bool bypass_ = false;    // direct writes were asked for and the file system takes them
  bool directOn_ = false;  // O_DIRECT is set on the descriptor
  std::string error_;
};

// Anything held as itself, a link included (O_PATH): it can be asked
// about, renamed and deleted, nothing more.
class PosixNode : public Node {
 public:
  PosixNode(int fd, Place place) : fd_(fd), place_(std::move(place)) {}
  ~PosixNode() override { ::close(fd_); }
  std::optional<NodeInfo> Info() override { return InfoOfFd(fd_); }
  bool SetAttributes(std::uint32_t attributes) override { return SetAttributesOf(fd_, attributes); }
  bool KeepOwnTimes() override { return KeepTimesOf(fd_); }
  bool TakeBackOwnTimes() override { return TakeBackTimesOf(fd_); }
  bool MoveTo(Folder& to, const std::string& name, bool replace) override {
    return place_.MoveTo(fd_, to, name, replace);
  }
  bool Delete() override {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 && place_.Delete(fd_, S_ISDIR(st.st_mode));
  }
  std::string Path() const override { return place_.path; }

 private:
  int fd_;
  Place place_;
};

constexpr const char* kStoreName = "VAPORIZE";
constexpr const char* kStoreHostName = ".VAPORIZE";

class PosixFolder : public Folder {
 public:
  // volumeRoot: the root of a drive, where the store's name in the
  // system's form (VAPORIZE, any case) is its dot name on the host.
  PosixFolder(FdRef self, Place place, bool volumeRoot)
      : self_(std::move(self)), place_(std::move(place)), root_(volumeRoot) {}

  std::optional<NodeInfo> Info() override { return InfoOfFd(self_->fd); }
  bool SetAttributes(std::uint32_t attributes) override { return SetAttributesOf(self_->fd, attributes); }
  bool KeepOwnTimes() override { return KeepTimesOf(self_->fd); }
  bool TakeBackOwnTimes() override { return TakeBackTimesOf(self_->fd); }
  bool MoveTo(Folder& to, const std::string& name, bool replace) override {
    return place_.MoveTo(self_->fd, to, name, replace);
  }
  bool Delete() override { return place_.Delete(self_->fd, true); }
  std::string Path() const override { return place_.path; }
  int Descriptor() const { return self_->fd; }
  const FdRef& Shared() const { return self_; }
  bool IsVolumeRoot() const { return root_; }

  bool List(std::vector<DirEntry>& out) override {
    int dup = ::openat(self_->fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dup < 0) return false;
    DIR* d = ::fdopendir(dup);
    if (!d) {
      ::close(dup);
      return false;
    }
    while (struct dirent* de = ::readdir(d)) {
      std::string name = de->d_name;
      if (name == "." || name == "..") continue;
      if (root_) {
        // At a drive's root the store shows under its own name, and a
        // folder that would be taken for it not at all.
        if (name == kStoreHostName) name = kStoreName;
        else if (EqualsNoCase(name, kStoreName)) continue;
      }
      // A mount is told by the kernel's own marks, not by the device: a
      // bind mount shows the same one as the folder around it.
      NodeStat s;
      if (!StatAt(self_->fd, de->d_name, &s)) continue;
      const struct stat& st = s.st;
      DirEntry e;
      e.name = name;
      e.kind = KindOf(st);
      e.id = IdOf(st);
      e.size = S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : 0;
      e.attributes = InfoOf(st, std::nullopt).attributes;
      e.mount = s.mount;
      e.mountRoot = s.mountRoot;
      out.push_back(std::move(e));
    }
    ::closedir(d);
    return true;
  }

  std::optional<NodeInfo> Stat(const std::string& name) override {
    std::string host;
    if (!HostName(name, &host, nullptr)) return std::nullopt;
    NodeStat s;
    if (!StatAt(self_->fd, host.c_str(), &s)) return std::nullopt;
    if (S_ISLNK(s.st.st_mode)) return InfoOf(s, std::nullopt);
    // The stored attribute bits of the name in this very folder: through
    // the folder's magic link in /proc, the name itself never followed.
    return InfoOf(s, StoredBits("/proc/self/fd/" + std::to_string(self_->fd) + "/" + host, s.st.st_dev));
  }

  std::unique_ptr<Folder> OpenFolder(const std::string& name, std::string* why) override {
    std::string host;
    if (!HostName(name, &host, why)) return nullptr;
    int fd = ::openat(self_->fd, host.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      int err = errno;
      Say(why, Shown(place_.path, name) + " " + (err == ELOOP || err == ENOTDIR ? LinkOrNot(host) : ErrorText(err)));
      return nullptr;
    }
    return std::make_unique<PosixFolder>(std::make_shared<Fd>(fd), Child(host, name), false);
  }

  std::unique_ptr<File> OpenFile(const std::string& name, FileAccess access, std::string* why) override {
    // The read back toggles O_DIRECT on the very descriptor that wrote.
    if (access == FileAccess::ExclusiveReadBack) access = FileAccess::Exclusive;
    std::string host;
    if (!HostName(name, &host, why)) return nullptr;
    int flags = access == FileAccess::Read        ? O_RDONLY
                : access == FileAccess::Exclusive ? O_RDWR
                : access == FileAccess::Append    ? O_WRONLY | O_APPEND
                                                  : O_WRONLY;
    // Without waiting: a pipe put where a file was expected would hang an
    // open for reading until somebody writes to it.
    int fd = ::openat(self_->fd, host.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    const std::string path = Shown(place_.path, name);
    if (fd < 0) {
      Say(why, path + " " + ErrorText(errno));
      return nullptr;
    }
    struct stat st {};
    std::string refusal;
    if (::fstat(fd, &st) != 0) refusal = ErrorText(errno);
    else if (!S_ISREG(st.st_mode)) refusal = "is not a regular file";
    else if (access != FileAccess::Read && !(st.st_mode & S_IWUSR)) refusal = "is read-only";
    // The sharing rules of Windows, as an advisory lock that every opener
    // of this layer honours: exclusive opens refuse when anyone else has
    // it, shared ones while an exclusive holder has it.
    else if (::flock(fd, (access == FileAccess::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0)
      refusal = "is in use";
    if (!refusal.empty()) {
      ::close(fd);
      Say(why, path + " " + refusal);
      return nullptr;
    }
    // F_SETFL takes the status flags alone, which are the ones it was opened with.
    ::fcntl(fd, F_SETFL, flags);
    return std::make_unique<PosixFile>(fd, Child(host, name), &st);
  }

  std::unique_ptr<Node> OpenNode(const std::string& name, std::string* why) override {
    std::string host;
    if (!HostName(name, &host, why)) return nullptr;
    int fd = ::openat(self_->fd, host.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      Say(why, Shown(place_.path, name) + " " + ErrorText(errno));
      return nullptr;
    }
    return std::make_unique<PosixNode>(fd, Child(host, name));
  }

  std::unique_ptr<File> CreateNew(const std::string& name, std::string* why) override {
    std::string host;
    if (!HostName(name, &host, why)) return nullptr;
    int fd = ::openat(self_->fd, host.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      Say(why, Shown(place_.path, name) + " " + ErrorText(errno));
      return nullptr;
    }
    posix::ReserveInPlace(fd);
    return std::make_unique<PosixFile>(fd, Child(host, name));
  }

  std::unique_ptr<Folder> MakeFolder(const std::string& name, std::string* why) override {
    std::string host;
    if (!HostName(name, &host, why)) return nullptr;
    // The store is its user's alone.
    const mode_t mode = root_ && host == kStoreHostName ? 0700 : 0777;
    if (::mkdirat(self_->fd, host.c_str(), mode) != 0) {
      Say(why, Shown(place_.path, name) + " " + ErrorText(errno));
      return nullptr;
    }
    return OpenFolder(name, why);
  }

 private:
  // The host's name for a name in the system's form.
  bool HostName(const std::string& name, std::string* host, std::string* why) const {
    std::string bad = BadNodeName(name);
    if (!bad.empty()) {
      Say(why, Shown(place_.path, name) + ": " + bad);
      return false;
    }
    *host = name;
    if (root_ && EqualsNoCase(name, kStoreName)) *host = kStoreHostName;
    return true;
  }
  std::string LinkOrNot(const std::string& host) const {
    struct stat st {};
    if (::fstatat(self_->fd, host.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
      return "is a link, not a folder";
    return "is not a folder";
  }
  Place Child(const std::string& host, const std::string& name) const {
    return Place{self_, host, Joined(place_.path, name)};
  }

  FdRef self_;
  Place place_;
  bool root_;
};

bool Place::MoveTo(int own, Folder& to, const std::string& newName, bool replace) {
  auto* dest = dynamic_cast<PosixFolder*>(&to);
  if (!dir || !dest || !BadNodeName(newName).empty()) return false;
  if (!StillHolds(dir->fd, name, own)) return false;
  RaceStep("move", path);
  std::string target = newName;
  if (dest->IsVolumeRoot() && EqualsNoCase(newName, kStoreName)) target = kStoreHostName;
  if (replace) {
    // What replaces a file takes over its permissions too.
    struct stat old {};
    if (::fstatat(dest->Descriptor(), target.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode)) {
      std::string self = "/proc/self/fd/" + std::to_string(own);
      ::chmod(self.c_str(), old.st_mode & 07777);
    }
  }
  if (!RenameAt(dir->fd, name, dest->Descriptor(), target, replace)) return false;
  if (replace) ::fsync(dest->Descriptor());
  // It is known by its new name from now on.
  dir = dest->Shared();
  name = target;
  path = Joined(dest->Path(), newName);
  return true;
}

bool Place::ExchangeWith(int own, const std::string& other) {
  struct stat there {};
  // Files alone, and never the store's own name at a drive's root.
  if (!dir || !BadNodeName(other).empty() || EqualsNoCase(other, kStoreName) || EqualsNoCase(other, kStoreHostName) ||
      ::fstatat(dir->fd, other.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(there.st_mode))
    return false;
  if (!StillHolds(dir->fd, name, own)) return false;
  RaceStep("move", path);
  // What takes a file's place takes over its permissions too.
  const std::string self = "/proc/self/fd/" + std::to_string(own);
  ::chmod(self.c_str(), there.st_mode & 07777);
  if (::renameat2(dir->fd, name.c_str(), dir->fd, other.c_str(), RENAME_EXCHANGE) != 0) return false;
  ::fsync(dir->fd);
  name = other;
  path = path.substr(0, path.find_last_of('\\') + 1) + other;
  return true;
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
  std::string ShownPath(const std::string& path) override {
    auto host = posix::ToHostPath(path);
    return host ? *host : Platform::ShownPath(path);
  }

  char IndexLetter(char drive) override {
    for (const auto& v : posix::Volumes())
      if (v.letter == ToUpperChar(drive) && v.indexLetter) return v.indexLetter;
    return drive;
  }

  std::optional<std::string> ResolvePath(const std::string& path, PathOrigin, std::string* why) override {
    return posix::ResolveSystemPath(path, why);
  }
  std::vector<std::optional<std::string>> ResolvePaths(const std::vector<std::string>& paths, PathOrigin origin,
                                                       std::vector<std::string>& whys) override {
    posix::ResolveOnce once;
    return Platform::ResolvePaths(paths, origin, whys);
  }

  std::optional<std::uint32_t> GetAttributes(const std::string& path) override {
    auto host = Host(path);
    struct stat st {};
    if (!host || ::lstat(host->c_str(), &st) != 0) return std::nullopt;
    return AttributesOf(*host, st);
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

  FileStorage OpenFileStorageOf(File& file, const std::string& path) override {
    auto* own = dynamic_cast<PosixFile*>(&file);
    if (!own) return Platform::OpenFileStorageOf(file, path);
    return NativeFileStorageOfOpen(own->Descriptor(), own->Size());
  }

  std::optional<FileId> IdentityOf(const std::string& path) override {
    auto host = Host(path);
    struct stat st {};
    if (!host || ::lstat(host->c_str(), &st) != 0) return std::nullopt;
    return IdOf(st);
  }

  std::optional<NodeInfo> StatPath(const std::string& path) override {
    auto host = Host(path);
    struct stat st {};
    if (!host || ::lstat(host->c_str(), &st) != 0) return std::nullopt;
    return InfoOf(st, S_ISLNK(st.st_mode) ? std::nullopt : StoredBits(*host, st.st_dev));
  }

  std::unique_ptr<Folder> OpenFolder(const std::string& path, std::string* why) override {
    std::string checked;
    if (!posix::ToHostPath(path)) {
      // The rules of the system's paths: no "." or "..", no other drive's volume.
      posix::ResolveSystemPath(path, &checked);
      Say(why, path + ": " + (checked.empty() ? std::string("not a path on a drive") : checked));
      return nullptr;
    }
    const posix::Volume* volume = nullptr;
    for (const auto& v : posix::Volumes())
      if (v.letter == ToUpperChar(path[0])) volume = &v;
    if (!volume) return nullptr;
    // The volume's root is where the table says; from there on, nothing is followed.
    int fd = ::open(volume->root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      Say(why, volume->root + " " + ErrorText(errno));
      return nullptr;
    }
    std::string root = std::string(1, path[0]) + ":\\";
    std::unique_ptr<Folder> at = std::make_unique<PosixFolder>(std::make_shared<Fd>(fd), Place{nullptr, {}, root}, true);
    for (std::string_view name : PathNames(path)) {
      at = at->OpenFolder(std::string(name), why);
      if (!at) return nullptr;
    }
    return at;
  }

  std::vector<std::pair<char, FileId>> VolumeRoots() override {
    std::vector<std::pair<char, FileId>> ids;
    for (const auto& v : posix::Volumes()) {
      struct stat st {};
      if (::stat(v.root.c_str(), &st) == 0) ids.emplace_back(v.letter, IdOf(st));
    }
    return ids;
  }

  std::uint32_t LinkCount(const std::string& path) override {
    auto host = Host(path);
    struct stat st {};
    if (!host || ::lstat(host->c_str(), &st) != 0) return 0;
    return static_cast<std::uint32_t>(st.st_nlink);
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
  // Many files on one volume whose file system flushes whole (SyncfsReaches)
  // are flushed by one syncfs of the volume: it returns once every file's
  // data and the journal are on the device, with the device's cache
  // flushed, as each file's fdatasync would, at the cost of one. It also
  // waits for what others are writing there, and it cannot tell which file
  // failed: when it fails, each file's own fdatasync says. Few files, and
  // the other file systems, get an fdatasync each, from several threads.
  std::vector<bool> FlushFiles(const std::vector<File*>& files) override {
    std::vector<int> fds;
    std::map<dev_t, std::vector<std::size_t>> byVolume;
    for (std::size_t i = 0; i < files.size(); ++i) {
      auto* own = dynamic_cast<PosixFile*>(files[i]);
      if (!own) return Platform::FlushFiles(files);
      fds.push_back(own->Descriptor());
      byVolume[own->Volume()].push_back(i);
    }
    std::vector<bool> ok(files.size(), false);
    std::vector<std::size_t> single;
    for (const auto& [volume, at] : byVolume) {
      if (volume != 0 && at.size() >= kSyncfsFrom && SyncfsReaches(fds[at[0]], volume) && ::syncfs(fds[at[0]]) == 0) {
        for (std::size_t i : at) ok[i] = true;
        continue;
      }
      single.insert(single.end(), at.begin(), at.end());
    }
    std::vector<bool> each = FlushTogether(single.size(), [&](std::size_t k) { return ::fdatasync(fds[single[k]]) == 0; });
    for (std::size_t k = 0; k < single.size(); ++k) ok[single[k]] = each[k];
    return ok;
  }

  // As many as the process may keep open, with room for everything else.
  std::size_t FlushGroupFiles() override { return HeldFilesLimit(); }

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
