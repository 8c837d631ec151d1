// The name maps of a drop ("FileNameMap", "FileNameMapW"): NUL-ended names
// in 8- or 16-bit characters, an empty one ending the list, at most count x
// 260 characters read and never more than the block holds.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "check.h"
#include "common/text.h"
#include "store/send.h"

using namespace vz;

namespace {
template <class S>
void CheckNames(const std::vector<S>& names, std::size_t available, std::uint32_t count) {
  std::size_t read = 0;
  for (const auto& n : names) {
    FUZZ_CHECK(n.find(typename S::value_type(0)) == S::npos);
    read += n.size() + 1;
  }
  // Each name was found with its NUL inside the block and inside the bound
  // (a dropped trailing quote only makes it shorter).
  FUZZ_CHECK(read <= available);
  FUZZ_CHECK(read <= static_cast<std::size_t>(count) * kMaxPath);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint32_t count = data[0] % 24;
  const std::size_t bytes = size - 1;
  // Exact copies, so that reading past the block is caught.
  std::unique_ptr<char[]> narrow(new char[bytes ? bytes : 1]);
  if (bytes) std::memcpy(narrow.get(), data + 1, bytes);
  CheckNames(SplitNameMap(narrow.get(), bytes, count), bytes, count);

  const std::size_t units = bytes / 2;
  std::unique_ptr<char16_t[]> wide(new char16_t[units ? units : 1]);
  if (units) std::memcpy(wide.get(), data + 1, units * 2);
  CheckNames(SplitNameMapWide(wide.get(), units, count), units, count);
  return 0;
}
