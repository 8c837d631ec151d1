#include "platform/platform.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

namespace vz {
namespace {
Platform* g_current = nullptr;
}

Platform& Plat() { return g_current ? *g_current : NativePlatform(); }

ScopedPlatform::ScopedPlatform(Platform& p) : previous_(g_current) { g_current = &p; }
ScopedPlatform::~ScopedPlatform() { g_current = previous_; }

namespace {

// A folder on a system that keeps no named streams: nothing to reach.
class StreamlessFolder : public File {
 public:
  std::int64_t Size() override { return -1; }
  bool WriteAt(std::int64_t, const void*, std::size_t) override { return false; }
  bool Append(const std::string&) override { return false; }
  bool Flush() override { return true; }
  bool SetTimes(const CivilTime*, const CivilTime*, const CivilTime*) override { return false; }
};

}  // namespace

std::unique_ptr<File> Platform::OpenFolder(const std::string& path) {
  auto attrs = GetAttributes(path);
  if (!attrs || !(*attrs & kAttrDirectory) || (*attrs & kAttrReparsePoint)) return nullptr;
  return std::make_unique<StreamlessFolder>();
}

std::vector<bool> Platform::FlushFiles(const std::vector<File*>& files) {
  std::vector<bool> ok(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) ok[i] = files[i]->Flush();
  return ok;
}

// Flushes waiting together share one journal commit and one flush of the
// device's cache; a handful of them in flight is enough for that.
constexpr std::size_t kFlushThreads = 16;

std::vector<bool> FlushTogether(std::size_t n, const std::function<bool(std::size_t)>& flush) {
  std::vector<char> ok(n, 0);  // not vector<bool>: threads write neighbouring elements
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < n;) ok[i] = flush(i) ? 1 : 0;
  };
  std::vector<std::thread> pool;
  const std::size_t helpers = std::min(kFlushThreads, n) - (n > 0 ? 1 : 0);
  for (std::size_t t = 0; t < helpers; ++t) {
    try {
      pool.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // fewer threads: the work is still done, by those there are
    }
  }
  work();
  for (auto& t : pool) t.join();
  return std::vector<bool>(ok.begin(), ok.end());
}

std::string DriveTypeName(DriveType t) {
  switch (t) {
    case DriveType::Fixed: return "fixed";
    case DriveType::Removable: return "removable";
    case DriveType::Remote: return "network";
    case DriveType::CdRom: return "cdrom";
    case DriveType::RamDisk: return "ramdisk";
    case DriveType::NoRootDir: return "missing";
    default: return "unknown";
  }
}

std::string HexOf(const std::uint8_t* bytes, std::size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(n * 2);
  for (std::size_t i = 0; i < n; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out;
}

bool Exists(const std::string& path) { return Plat().GetAttributes(path).has_value(); }
bool FileExists(const std::string& path) {
  auto a = Plat().GetAttributes(path);
  return a && !(*a & kAttrDirectory);
}
bool DirectoryExists(const std::string& path) {
  auto a = Plat().GetAttributes(path);
  return a && (*a & kAttrDirectory);
}

}  // namespace vz
