// What the system's cache still holds of a file that has not reached the
// device: on Linux its pages that are dirty or being written back
// (cachestat, since Linux 6.5). A flush that returns only once the file's
// data is on the device leaves none; one that only says so leaves them all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#ifdef __linux__
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace vz::test {

// The pages of the file at a host path that are not on the device yet;
// nullopt where the system cannot tell (another system, an older kernel)
// or the file cannot be opened.
inline std::optional<std::uint64_t> UnwrittenPages(const std::string& hostPath) {
#ifdef __linux__
  struct Range {
    std::uint64_t offset, length;  // length 0: to the end
  } range{0, 0};
  struct Stat {
    std::uint64_t cached, dirty, writeback, evicted, recentlyEvicted;
  } st{};
  constexpr long kCachestat = 451;  // the same number on every architecture
  int fd = ::open(hostPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  long r = ::syscall(kCachestat, fd, &range, &st, 0);
  ::close(fd);
  if (r != 0) return std::nullopt;
  return st.dirty + st.writeback;
#else
  (void)hostPath;
  return std::nullopt;
#endif
}

// Whether UnwrittenPages can answer on this system, tried on a file that
// exists.
inline bool CanSeeUnwrittenPages(const std::string& hostPath) { return UnwrittenPages(hostPath).has_value(); }

}  // namespace vz::test
