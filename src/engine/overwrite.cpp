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
  auto file = folder->OpenFile(name, readBack ? FileAccess::ExclusiveReadBack : FileAccess::Exclusive, &refusal);
  auto now = file ? file->Info() : std::nullopt;
  if (!file) *why = "cannot be opened for exclusive writing";
  else if (!now || now->id != info->id) *why = "was replaced while it was opened";
  else return file;
  return nullptr;
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
  bool direct = false;
  bool first = true;
  // Only the ranges that hold data: writing a hole would give it blocks,
  // and a sparse file larger than the free space would fill the disk.
  for (const auto& [from, length] : file.DataRanges()) {
    std::int64_t pos = from;
    std::int64_t handedOver = from;  // where the range not yet given to the device's queue begins
    const std::int64_t end = from + length;
    while (pos < end) {
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
  NamedStreams streams;
  streams.Open(*file);
  r = Write(*file);
  if (!r.ok) return r;
  std::vector<File*> toFlush{file.get()};
  streams.Write(*this, toFlush);
  std::vector<bool> flushed = Plat().FlushFiles(toFlush);
  streams.Flushed(flushed, 1);
  r.warning = streams.Warning();
  if (!flushed[0]) {
    r.ok = false;
    r.error = kFlushFailed;
  }
  return r;
}

std::string Overwriter::FolderStreams(Folder& folder, int passes) {
  auto handle = passes > 0 ? folder.OwnStreams() : nullptr;
  if (!handle) return {};
  NamedStreams streams;
  streams.Open(*handle);
  for (int pass = 1; pass <= passes; ++pass) {
    std::vector<File*> toFlush;
    streams.Write(*this, toFlush);
    streams.Flushed(Plat().FlushFiles(toFlush), 0);
  }
  return streams.Warning();
}

void NamedStreams::Open(File& owner) {
  auto names = owner.StreamNames();
  if (!names) {
    warning_ = "its named streams could not be listed, so any it has were not overwritten";
    return;
  }
  for (const auto& name : *names) {
    streams_.push_back({name, owner.OpenStream(name)});
    if (!streams_.back().file) Drop(streams_.back(), "could not be opened for exclusive writing");
  }
}

std::int64_t NamedStreams::Write(Overwriter& overwriter, std::vector<File*>& toFlush) {
  std::int64_t bytes = 0;
  written_.clear();
  for (auto& s : streams_) {
    if (!s.file) continue;
    PassResult r = overwriter.Write(*s.file);
    bytes += r.bytesWritten;
    if (!r.ok) {
      Drop(s, "was not overwritten completely: " + r.error);
      continue;
    }
    written_.push_back(&s);
    toFlush.push_back(s.file.get());
  }
  return bytes;
}

std::size_t NamedStreams::Flushed(const std::vector<bool>& ok, std::size_t first) {
  for (Stream* s : written_) {
    if (first >= ok.size() || !ok[first]) Drop(*s, std::string("was overwritten, but ") + kFlushFailed);
    ++first;
  }
  written_.clear();
  return first;
}

void NamedStreams::Close() {
  for (auto& s : streams_) s.file.reset();
  written_.clear();
}

void NamedStreams::Drop(Stream& s, const std::string& why) {
  s.file.reset();
  warning_ += (warning_.empty() ? "" : "; ") + std::string("its named stream \"") + s.name + "\" " + why +
              ", and what it holds may stay readable";
}

bool OverwriteFile(const std::string& path, std::uint8_t fillByte) {
  return Overwriter(fillByte).Pass(path).ok;
}

}  // namespace vz
