#include "engine/overwrite.h"

#include <algorithm>

#include "platform/platform.h"

namespace vz {

Overwriter::Overwriter(std::uint8_t fillByte, std::size_t blockSize)
    : buffer_(std::max<std::size_t>(blockSize, 1), fillByte) {}

PassResult Overwriter::Pass(const std::string& path) {
  PassResult r;
  auto entry = Plat().FindEntry(path);
  if (!entry) {
    r.error = "not found";
    return r;
  }
  // Opening a link by name would write over whatever it points at, which
  // was never given to us.
  if (entry->attributes & kAttrReparsePoint) {
    r.error = "is a link";
    return r;
  }
  if (entry->attributes & kAttrDirectory) {
    r.error = "is a folder";
    return r;
  }
  // The content is shared with names outside what was given.
  if (Plat().LinkCount(path) > 1) {
    r.error = "other hard links to its content exist";
    return r;
  }
  auto file = Plat().OpenExclusive(path);
  if (!file) {
    r.error = "cannot be opened for exclusive writing";
    return r;
  }
  r.opened = true;
  std::int64_t pos = 0;
  std::int64_t handedOver = 0;  // bytes already given to the device's queue
  for (;;) {
    // Read per block so that the pass never writes past the end, whatever
    // the file does meanwhile.
    std::int64_t size = file->Size();
    if (size < 0) {
      r.error = "its size cannot be read";
      return r;
    }
    if (pos >= size) break;
    std::size_t n = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(buffer_.size()), size - pos));
    if (!file->WriteAt(pos, buffer_.data(), n)) {
      r.error = "writing failed at byte " + std::to_string(pos);
      return r;
    }
    pos += static_cast<std::int64_t>(n);
    r.bytesWritten = pos;
    if (pos - handedOver >= kWriteBackChunk) {
      file->StartWriteBack(handedOver, pos - handedOver);
      handedOver = pos;
    }
  }
  if (!file->Flush()) {
    r.error = "the overwritten content could not be flushed to the device";
    return r;
  }
  r.ok = true;
  return r;
}

bool OverwriteFile(const std::string& path, std::uint8_t fillByte) {
  return Overwriter(fillByte).Pass(path).ok;
}

}  // namespace vz
