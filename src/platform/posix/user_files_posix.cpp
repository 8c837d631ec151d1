// The user's own files on POSIX: the secret key, the data folder and files
// of chained lines, each readable by the user alone.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/kvstore.h"

namespace vz {
namespace {

constexpr std::size_t kKeyBytes = 32;

std::string Errno(const std::string& what) { return what + " (" + std::strerror(errno) + ")"; }

bool WriteAll(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

// Reads a whole open file from its start.
bool ReadAll(int fd, std::string& out) {
  char buf[65536];
  for (off_t at = 0;;) {
    ssize_t n = ::pread(fd, buf, sizeof buf, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buf, static_cast<std::size_t>(n));
    at += n;
  }
}

// A secret kept where others can read it, or that someone else owns, is no
// secret of this user's.
std::optional<std::string> ReadKey(const std::string& path, std::string* why) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *why = Errno("the key " + path + " cannot be read");
    return std::nullopt;
  }
  struct stat st {};
  std::string key;
  bool ok = ::fstat(fd, &st) == 0 && ReadAll(fd, key);
  ::close(fd);
  if (!ok || !S_ISREG(st.st_mode)) *why = "the key " + path + " cannot be read";
  else if (st.st_uid != ::geteuid()) *why = "the key " + path + " belongs to another user";
  else if (st.st_mode & 077) *why = "others may read the key " + path + " (its mode must be 0600)";
  else if (key.size() != kKeyBytes) *why = "the key " + path + " is damaged (not " + std::to_string(kKeyBytes) + " bytes)";
  else return key;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> UserSecretKey(std::string* why, bool make) {
  std::string ignored;
  if (!why) why = &ignored;
  const std::string dir = posix::ConfigDir(), path = dir + "/receipt.key";
  if (::access(path.c_str(), F_OK) == 0 || errno != ENOENT) return ReadKey(path, why);
  if (!make) {
    *why = "there is no key " + path;
    return std::nullopt;
  }
  if (!posix::MakeDirs(dir)) {
    *why = Errno("the folder " + dir + " cannot be made");
    return std::nullopt;
  }
  // Written whole under a name of its own, then linked into place: two
  // first uses at once both end up with the one key that got there first.
  std::string tmp = path + ".XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) {
    *why = Errno("the key cannot be made in " + dir);
    return std::nullopt;
  }
  char key[kKeyBytes];
  bool ok = ::fchmod(fd, 0600) == 0 && RandomBytes(key, sizeof key) && WriteAll(fd, key, sizeof key) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  std::memset(key, 0, sizeof key);
  if (ok && ::link(tmp.c_str(), path.c_str()) != 0 && errno != EEXIST) ok = false;
  ::unlink(tmp.c_str());
  if (!ok) {
    *why = Errno("the key " + path + " cannot be made");
    return std::nullopt;
  }
  return ReadKey(path, why);
}

std::optional<std::string> UserKeyFolder(std::string* why) {
  const std::string dir = posix::ConfigDir();
  if (posix::MakeDirs(dir)) return dir;
  if (why) *why = Errno("the folder " + dir + " cannot be made");
  return std::nullopt;
}

std::optional<std::string> UserDataFolder(std::string* why) {
  std::string dir = posix::UserDir("XDG_DATA_HOME", "/.local/share");
  if (posix::MakeDirs(dir)) return dir;
  if (why) *why = Errno("the folder " + dir + " cannot be made");
  return std::nullopt;
}

bool AppendLocked(const std::string& hostPath, const std::function<std::string(const std::string& contents)>& make,
                  std::string* why) {
  std::string ignored;
  if (!why) why = &ignored;
  int fd = ::open(hostPath.c_str(), O_RDWR | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
  if (fd < 0) {
    *why = Errno(hostPath + " cannot be opened for writing");
    return false;
  }
  struct stat st {};
  std::string text;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!ok) *why = hostPath + " is not a plain file";
  while (ok && ::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ok = false;
      *why = Errno(hostPath + " cannot be locked");
    }
  }
  if (ok && !ReadAll(fd, text)) {
    ok = false;
    *why = Errno(hostPath + " cannot be read");
  }
  if (ok) {
    std::string add = make(text);
    if (!WriteAll(fd, add.data(), add.size()) || ::fdatasync(fd) != 0) {
      ok = false;
      *why = Errno(hostPath + " cannot be written");
    }
  }
  ::close(fd);
  return ok;
}

std::optional<std::string> ReadUserFile(const std::string& hostPath, std::string* why) {
  int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  std::string text;
  struct stat st {};
  if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ReadAll(fd, text)) {
    ::close(fd);
    return text;
  }
  if (why) *why = Errno(hostPath + " cannot be read");
  if (fd >= 0) ::close(fd);
  return std::nullopt;
}

}  // namespace vz
