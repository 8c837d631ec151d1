// The buffer that an outside program hands to ExtPreparateData: paths ended
// by NULs, an empty one ending the list, and a count that bounds the scan to
// count x 260 characters. The buffer here is exactly that long, so a read
// beyond the bound is caught. The paths then go through the send road on a
// drive held in memory.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "common/text.h"
#include "memory_platform.h"
#include "store/send.h"
#include "store/store.h"

using namespace vz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::int32_t count = static_cast<std::int8_t>(data[0]) % 40;
  const std::size_t bound = count > 0 ? static_cast<std::size_t>(count) * kMaxPath : 1;
  // The caller's promise: count x 260 readable bytes. Past the fuzzer's
  // bytes the buffer holds no NUL, so scans run to the bound.
  std::vector<char> buffer(bound, 'x');
  std::memcpy(buffer.data(), data + 1, std::min(bound, size - 1));
  std::unique_ptr<char[]> exact(new char[bound]);
  std::memcpy(exact.get(), buffer.data(), bound);

  std::vector<std::string> paths = SplitPathBuffer(exact.get(), count);
  if (count <= 0) FUZZ_CHECK(paths.empty());
  std::size_t offset = 0;
  for (const auto& p : paths) {
    FUZZ_CHECK(!p.empty());
    FUZZ_CHECK(p.find('\0') == std::string::npos);
    FUZZ_CHECK(offset + p.size() < bound);
    FUZZ_CHECK(std::memcmp(exact.get() + offset, p.data(), p.size()) == 0);
    FUZZ_CHECK(exact[offset + p.size()] == '\0');
    offset += p.size() + 1;
  }

  fuzz::MemoryPlatform mem;
  mem.AddFolder("D:\\Work");
  mem.AddFile("D:\\Work\\a.txt", "a");
  ScopedPlatform use(mem);
  SendResult r = PrepareAndSend(exact.get(), count, false);
  FUZZ_CHECK(r.result == (paths.empty() ? 0 : 1));
  // Nothing can move on this drive, so nothing may be reported sent.
  FUZZ_CHECK(r.report.Count(Outcome::Done) == 0);
  FUZZ_CHECK(mem.Content("D:\\Work\\a.txt") != nullptr);
  return 0;
}
