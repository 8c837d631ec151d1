#include "engine/overwrite.h"

#include <algorithm>

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

std::unique_ptr<File> Overwriter::Open(const std::string& path, std::string* why) {
  std::string name;
  auto folder = OpenParent(path, &name, why);
  if (!folder) return nullptr;
  auto info = folder->Stat(name);
  if (!info) {
    *why = "not found";
    return nullptr;
  }
  // Opening a link by name would write over whatever it points at.
  if (info->kind == NodeKind::Link) {
    *why = "is a link";
    return nullptr;
  }
  if (info->kind != NodeKind::File) {
    *why = info->kind == NodeKind::Folder ? "is a folder" : "is not a regular file";
    return nullptr;
  }
  if (info->links > 1) {
    *why = "other hard links to its content exist";
    return nullptr;
  }
  std::string refusal;
  auto file = folder->OpenFile(name, FileAccess::Exclusive, &refusal);
  auto now = file ? file->Info() : std::nullopt;
  if (!file) *why = "cannot be opened for exclusive writing";
  else if (!now || now->id != info->id) *why = "was replaced while it was opened";
  else return file;
  return nullptr;
}

PassResult Overwriter::Write(File& file) {
  PassResult r;
  r.opened = true;
  bool direct = false;
  bool first = true;
  // Only the ranges that hold data: writing a hole would give it blocks,
  // and a sparse file larger than the free space would fill the disk.
  for (const auto& [from, length] : file.DataRanges()) {
    std::int64_t pos = from;
    std::int64_t handedOver = from;  // where the range not yet given to the device's queue begins
    const std::int64_t end = from + length;
    for (;;) {
      // Read per block so that the pass never writes past the end, whatever
      // the file does meanwhile.
      std::int64_t size = file.Size();
      if (size < 0) {
        r.error = "its size cannot be read";
        return r;
      }
      std::int64_t stop = std::min(end, size);
      if (pos >= stop) break;
      if (first) direct = size >= kDirectFrom && file.BypassCache();
      first = false;
      std::size_t n =
          static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(blockSize_), stop - pos));
      if (!file.WriteAt(pos, block_, n)) {
        std::string why = file.LastError();
        r.error = "writing failed at byte " + std::to_string(pos) + (why.empty() ? "" : " (" + why + ")");
        return r;
      }
      pos += static_cast<std::int64_t>(n);
      r.bytesWritten += static_cast<std::int64_t>(n);
      if (!direct && pos - handedOver >= kWriteBackChunk) {
        file.StartWriteBack(handedOver, pos - handedOver);
        handedOver = pos;
      }
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
