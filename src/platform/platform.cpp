#include "platform/platform.h"

namespace vz {
namespace {
Platform* g_current = nullptr;
}

Platform& Plat() { return g_current ? *g_current : NativePlatform(); }

ScopedPlatform::ScopedPlatform(Platform& p) : previous_(g_current) { g_current = &p; }
ScopedPlatform::~ScopedPlatform() { g_current = previous_; }

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
