// Item identifiers as the shell hands them back: any bytes at all. The
// validating reader must refuse what is not exactly one of ours in either
// layout, never read past what it is given, and hand back texts without a
// NUL that survive being written again. Accepted identifiers then drive a
// restore on a drive held in memory, which must move nothing out of place.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "check.h"
#include "memory_platform.h"
#include "store/item_id.h"
#include "window/restore.h"

using namespace vz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact copy, so that one byte too far is caught.
  std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size ? size : 1]);
  if (size) std::memcpy(bytes.get(), data, size);
  const ClassicText& text = BytesAsText();

  auto listed = DecodeItemIdList(bytes.get(), size, text);
  std::size_t cb = size >= 2 ? static_cast<std::size_t>(bytes[0] | (bytes[1] << 8)) : 0;
  FUZZ_CHECK(!listed || size >= cb + 2);
  // Read by pointer alone, the reader takes the length field and then as
  // many bytes as it promises: the shell's contract.
  if (size >= 2 && size >= cb + 2) FUZZ_CHECK(DecodeItemIdList(bytes.get(), text).has_value() == listed.has_value());
  if (!listed) return 0;

  for (const std::string* f : {&listed->originalPath, &listed->storedPath, &listed->displayName, &listed->typeName})
    FUZZ_CHECK(f->find('\0') == std::string::npos);
  std::vector<unsigned char> again = EncodeItemIdList(*listed, text);
  if (!again.empty()) {
    auto reread = DecodeItemIdList(again.data(), again.size(), text);
    FUZZ_CHECK(reread && *reread == *listed);
    // The layouts are told apart by their size alone.
    std::size_t againCb = static_cast<std::size_t>(again[0] | (again[1] << 8));
    FUZZ_CHECK(again.size() == againCb + 2 && againCb % 2 == 0);
  }

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
  return 0;
}
