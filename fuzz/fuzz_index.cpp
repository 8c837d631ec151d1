// The index file as any outside program or a torn write may leave it: read
// into lines, paired into records, listed as the folder shows it, and
// pruned. Pruning may drop only records whose items are gone, must leave
// whole records in their order, and must change nothing when run again.
#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "check.h"
#include "common/text.h"
#include "memory_platform.h"
#include "store/enum_shred.h"
#include "store/store.h"

using namespace vz;

namespace {
// Which stored paths exist is decided by their bytes, so the same input
// always gives the same drive.
bool Lives(const std::string& s) {
  unsigned sum = 0;
  for (unsigned char c : s) sum += c;
  return sum % 3 != 0;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = SplitLines(text);
  std::size_t chars = 0;
  for (const auto& l : lines) {
    FUZZ_CHECK(l.find_first_of("\r\n") == std::string::npos);
    chars += l.size();
  }
  FUZZ_CHECK(chars <= text.size());
  const std::vector<ShredItemRecord> records = PairRecords(lines);
  FUZZ_CHECK(records.size() == lines.size() / 2);

  fuzz::MemoryPlatform mem;
  ScopedPlatform use(mem);
  const std::string index = IndexPathOf('D');
  mem.AddFolder("D:\\VAPORIZE");
  mem.AddFile(index, text);
  for (const auto& r : records) {
    std::string stored = Trim(r.storedPath);
    if (stored.size() < 4 || stored.size() > 600 || !Lives(stored) || Plat().GetAttributes(stored)) continue;
    if (EqualsNoCase(stored, index)) continue;
    if (stored.back() == '\\' || Lives(stored + "/"))
      mem.AddFolder(stored);
    else
      mem.AddFile(stored, "content");
  }

  // The listing: live items only, each stored path once, every field ended.
  ShredEnumeration items;
  FUZZ_CHECK(items.Count() <= records.size());
  std::set<std::string> seen;
  while (auto id = items.Next(PortableTypeInfo)) {
    for (const char* f : {id->originalPath, id->storedPath, id->displayName, id->typeName})
      FUZZ_CHECK(std::memchr(f, '\0', 260) != nullptr);
    std::string stored = GetField(id->storedPath);
    FUZZ_CHECK(Exists(stored));
    FUZZ_CHECK(seen.insert(ToUpper(stored)).second);
  }
  FUZZ_CHECK(!items.Skip(1));

  PruneIndex();
  const std::string pruned = *mem.Content(index);
  const std::vector<std::string> kept = SplitLines(pruned);
  FUZZ_CHECK(kept.size() % 2 == 0);
  FUZZ_CHECK(pruned.empty() || pruned.size() >= 2 && pruned.compare(pruned.size() - 2, 2, "\r\n") == 0);
  // Kept records are whole records of the old index, in their order; a
  // record left out names an item that is not there.
  std::size_t k = 0;
  for (const auto& r : records) {
    if (k + 1 < kept.size() && kept[k] == r.originalPath && kept[k + 1] == r.storedPath) {
      k += 2;
      continue;
    }
    FUZZ_CHECK(!Exists(Trim(r.storedPath)));
  }
  FUZZ_CHECK(k == kept.size());

  // A second prune finds nothing more to drop.
  PruneIndex();
  FUZZ_CHECK(*mem.Content(index) == pruned);
  return 0;
}
