#include "engine/overwrite.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace vz {

const char* const kFlushFailed = "the overwritten content could not be flushed to the device";

namespace {
constexpr std::size_t kPage = 4096;
}

Overwriter::Overwriter(std::uint8_t fillByte, std::size_t blockSize)
    : storage_(std::max<std::size_t>(blockSize, 1) + kPage, fillByte), blockSize_(std::max<std::size_t>(blockSize, 1)) {
  auto at = reinterpret_cast<std::uintptr_t>(storage_.data());
  block_ = storage_.data() + (kPage - at % kPage) % kPage;
}

std::unique_ptr<File> Overwriter::Open(const std::string& path, std::string* why, bool readBack) {
  auto entry = Plat().FindEntry(path);
  if (!entry) {
    *why = "not found";
    return nullptr;
  }
  // Opening a link by name would write over whatever it points at.
  if (entry->attributes & kAttrReparsePoint) {
    *why = "is a link";
    return nullptr;
  }
  if (entry->attributes & kAttrDirectory) {
    *why = "is a folder";
    return nullptr;
  }
  if (Plat().LinkCount(path) > 1) {
    *why = "other hard links to its content exist";
    return nullptr;
  }
  auto file = readBack ? Plat().OpenExclusiveReadBack(path) : Plat().OpenExclusive(path);
  if (!file) *why = "cannot be opened for exclusive writing";
  return file;
}

Overwriter::Check Overwriter::Verify(File& file) {
  Check c;
  if (readStorage_.empty()) readStorage_.resize(blockSize_ + 2 * kPage);
  auto at = reinterpret_cast<std::uintptr_t>(readStorage_.data());
  std::uint8_t* buffer = readStorage_.data() + (kPage - at % kPage) % kPage;
  const std::size_t chunk = (blockSize_ + kPage - 1) / kPage * kPage;  // whole pages, as the device reads them
  const std::int64_t size = file.Size();
  if (size < 0) {
    c.text = "its size cannot be read";
    return c;
  }
  for (std::int64_t pos = 0; pos < size;) {
    std::string why;
    std::int64_t got = file.ReadBack(pos, buffer, chunk, &why);
    if (got < 0) {
      c.text = "it could not be read back past the caches: " + why;
      return c;
    }
    c.read = true;
    if (got == 0) {
      c.text = "the device gave back " + std::to_string(pos) + " of its " + std::to_string(size) + " bytes";
      return c;
    }
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(got, size - pos));
    // Whole blocks at once; byte by byte only to name the first that differs.
    for (std::size_t i = 0; i < n; i += blockSize_) {
      const std::size_t len = std::min(blockSize_, n - i);
      if (std::memcmp(buffer + i, block_, len) == 0) continue;
      std::size_t k = i;
      while (buffer[k] == block_[0]) ++k;
      char text[96];
      std::snprintf(text, sizeof text, "byte %lld reads 0x%02X where 0x%02X was written",
                    static_cast<long long>(pos + static_cast<std::int64_t>(k)), buffer[k], block_[0]);
      c.text = text;
      return c;
    }
    pos += static_cast<std::int64_t>(n);
  }
  c.read = c.same = true;
  c.text = "every byte read back from the device as written";
  return c;
}

PassResult Overwriter::Write(File& file) {
  PassResult r;
  r.opened = true;
  std::int64_t pos = 0;
  std::int64_t handedOver = 0;  // bytes already given to the device's queue
  bool direct = false;
  for (;;) {
    // Read per block so that the pass never writes past the end, whatever
    // the file does meanwhile.
    std::int64_t size = file.Size();
    if (size < 0) {
      r.error = "its size cannot be read";
      return r;
    }
    if (pos >= size) break;
    if (pos == 0) direct = size >= kDirectFrom && file.BypassCache();
    std::size_t n =
        static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(blockSize_), size - pos));
    if (!file.WriteAt(pos, block_, n)) {
      r.error = "writing failed at byte " + std::to_string(pos);
      return r;
    }
    pos += static_cast<std::int64_t>(n);
    r.bytesWritten = pos;
    if (!direct && pos - handedOver >= kWriteBackChunk) {
      file.StartWriteBack(handedOver, pos - handedOver);
      handedOver = pos;
    }
  }
  r.ok = true;
  return r;
}

PassResult Overwriter::Pass(const std::string& path) {
  PassResult r;
  auto file = Open(path, &r.error);
  if (!file) return r;
  r = Write(*file);
  if (r.ok && !file->Flush()) {
    r.ok = false;
    r.error = kFlushFailed;
  }
  return r;
}

bool OverwriteFile(const std::string& path, std::uint8_t fillByte) {
  return Overwriter(fillByte).Pass(path).ok;
}

}  // namespace vz
