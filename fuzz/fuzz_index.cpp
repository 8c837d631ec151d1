// The index file as any outside program or a torn write may leave it: read
// into records, listed as the folder shows it, and pruned. Pruning may drop
// only records whose items are gone, must leave the others whole in their
// order, and must change nothing when run again.
#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "check.h"
#include "common/drive_path.h"
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
  std::vector<std::string> nonBlank;
  for (const auto& l : lines) {
    FUZZ_CHECK(l.find_first_of("\r\n") == std::string::npos);
    chars += l.size();
    if (!Trim(IndexLineText(l)).empty()) nonBlank.push_back(l);
  }
  FUZZ_CHECK(chars <= text.size());
  // Every line that carries anything is in exactly one record, in order;
  // a sound record's stored path is one item of this drive's store.
  const std::vector<ShredItemRecord> records = ParseIndex('D', text);
  std::vector<std::string> regathered;
  for (const auto& r : records) {
    FUZZ_CHECK(!r.lines.empty() && r.lines.size() <= 2);
    regathered.insert(regathered.end(), r.lines.begin(), r.lines.end());
    if (r.Sound()) {
      FUZZ_CHECK(StoreItemProblem(r.storedPath, 'D').empty());
      FUZZ_CHECK(IsPlainFullPath(r.originalPath) && !IsStoreOrInside(r.originalPath));
      // Written again, it reads back as the same record.
      auto again = ParseIndex('D', FormatRecord(r.originalPath, r.storedPath));
      FUZZ_CHECK(again.size() == 1 && again[0].Sound() && again[0].originalPath == r.originalPath &&
                 again[0].storedPath == r.storedPath);
    }
  }
  FUZZ_CHECK(regathered == nonBlank);

  fuzz::MemoryPlatform mem;
  ScopedPlatform use(mem);
  const std::string index = IndexPathOf('D');
  mem.AddFolder(SharedStoreDirOf('D'));
  mem.AddFolder(StoreDirOf('D'));
  mem.AddFile(index, text);
  for (const auto& r : records) {
    const std::string& stored = r.storedPath;
    if (stored.size() < 4 || stored.size() > 600 || !Lives(stored) || Plat().GetAttributes(stored)) continue;
    if (EqualsNoCase(stored, index)) continue;
    if (stored.back() == '\\' || Lives(stored + "/"))
      mem.AddFolder(stored);
    else
      mem.AddFile(stored, "content");
  }

  // The listing: live sound records only, each stored path once, no
  // field with a NUL inside.
  ShredEnumeration items;
  FUZZ_CHECK(items.Count() <= records.size());
  std::set<std::string> seen;
  while (auto id = items.Next(PortableTypeInfo)) {
    for (const std::string* f : {&id->originalPath, &id->storedPath, &id->displayName, &id->typeName})
      FUZZ_CHECK(f->find('\0') == std::string::npos);
    std::string stored = GetField(id->storedPath);
    FUZZ_CHECK(Exists(stored));
    // A record names a proper item of the store; a leftover is any other
    // entry of the store, listed whatever its name, so that nothing hides.
    if (GetField(id->originalPath).empty())
      FUZZ_CHECK(stored.size() > StoreDirOf('D').size() && stored.rfind('\\') == StoreDirOf('D').size() &&
                 EqualsNoCase(stored.substr(0, StoreDirOf('D').size()), StoreDirOf('D')));
    else
      FUZZ_CHECK(StoreItemProblem(stored, 'D').empty());
    FUZZ_CHECK(seen.insert(ToUpper(stored)).second);
  }
  FUZZ_CHECK(!items.Skip(1));

  // A prune drops only records whose item, a proper item of the store, is
  // gone; the others stay whole and in order, damaged ones included.
  PruneIndex();
  const std::string pruned = *mem.Content(index);
  // Left as it was when nothing goes, or written whole.
  FUZZ_CHECK(pruned == text || pruned.empty() || pruned.size() >= 2 && pruned.compare(pruned.size() - 2, 2, "\r\n") == 0);
  std::vector<std::string> expected;
  for (const auto& r : records) {
    if (StoreItemProblem(r.storedPath, 'D').empty() && !Exists(r.storedPath)) continue;
    expected.insert(expected.end(), r.lines.begin(), r.lines.end());
  }
  // A store that fails its checks is never written through: its index
  // stays exactly as it was.
  const bool sound = OpenStore('D') != nullptr;
  FUZZ_CHECK(sound ? SplitLines(pruned) == expected : pruned == text);

  // A second prune finds nothing more to drop.
  PruneIndex();
  FUZZ_CHECK(*mem.Content(index) == pruned);
  return 0;
}
