#include "platform/win32/com.h"

namespace vz::com {
std::atomic<long>& ObjectCount() {
  static std::atomic<long> count{0};
  return count;
}
}  // namespace vz::com
