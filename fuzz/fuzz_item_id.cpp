// Item identifiers as the shell hands them back: any bytes at all. The
// validating readers must refuse what is not exactly one of ours, never
// read past what they are given, and hand back fields that end within
// their width. Accepted identifiers then drive a restore on a drive held in
// memory, which must move nothing out of place.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "check.h"
#include "common/text.h"
#include "memory_platform.h"
#include "store/item_id.h"
#include "window/restore.h"

using namespace vz;

namespace {
void CheckItem(const ShredItemId& id) {
  for (const char* f : {id.originalPath, id.storedPath, id.displayName, id.typeName})
    FUZZ_CHECK(std::memchr(f, '\0', 260) != nullptr);
  ShredItemIdList list = MakeIdList(id);
  auto again = ReadShredItemIdList(&list, sizeof list);
  FUZZ_CHECK(again.has_value());
  FUZZ_CHECK(std::memcmp(&*again, &id, sizeof id) == 0);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact copy, so that one byte too far is caught.
  std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size ? size : 1]);
  if (size) std::memcpy(bytes.get(), data, size);

  auto payload = ReadShredItemId(bytes.get(), size);
  FUZZ_CHECK(!payload || size == sizeof(ShredItemId));
  if (payload) CheckItem(*payload);

  auto listed = ReadShredItemIdList(bytes.get(), size);
  FUZZ_CHECK(!listed || size >= sizeof(ShredItemIdList));
  if (listed) CheckItem(*listed);

  // Read by pointer alone, the reader may take the length field and then
  // as many bytes as a 1050 there promises: the shell's contract.
  if (size >= 2) {
    std::uint16_t cb = static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
    if (cb != kShredItemIdCb || size >= sizeof(ShredItemIdList)) {
      auto byPointer = ReadShredItemIdList(bytes.get());
      FUZZ_CHECK(byPointer.has_value() == listed.has_value());
    }
  }

  if (listed) {
    fuzz::MemoryPlatform mem;
    mem.AddFile("D:\\VAPORIZE\\info.shr");
    mem.AddFile("D:\\VAPORIZE\\D1.txt", "stored");
    mem.AddFile("D:\\Work\\a.txt", "kept");
    ScopedPlatform use(mem);
    RestoreEntry e = MakeRestoreEntry(*listed);
    Report r = RestoreItems({e});
    // Moves always fail here; whatever the identifier said, files stay.
    FUZZ_CHECK(r.Count(Outcome::Done) == 0);
    FUZZ_CHECK(mem.Content("D:\\VAPORIZE\\D1.txt") && mem.Content("D:\\Work\\a.txt"));
    FUZZ_CHECK(*mem.Content("D:\\Work\\a.txt") == "kept");
  }
  return 0;
}
