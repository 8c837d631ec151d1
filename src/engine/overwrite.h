// One overwrite pass over one file: every byte of it written over with one
// fixed byte value, in place, and flushed to the device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vz {

// Bytes written per call. Chosen by measurement (bench/overwrite.sh): from
// about 256 KiB up a pass runs at the device's limit; 1 MiB keeps a margin
// on slower devices and costs one small allocation per batch.
constexpr std::size_t kOverwriteBlockSize = std::size_t{1} << 20;

// While a pass writes, each range of this many bytes is handed to the
// device at once instead of waiting for the flush at the end, so writing
// and flushing overlap (measured by bench/overwrite.sh).
constexpr std::int64_t kWriteBackChunk = std::int64_t{8} << 20;

struct PassResult {
  bool ok = false;
  bool opened = false;  // the file was opened for writing: it may have changed
  std::int64_t bytesWritten = 0;
  std::string error;  // why the pass failed; empty when it did not
};

// Runs passes with one buffer that is filled once and reused for every
// block of every pass.
class Overwriter {
 public:
  explicit Overwriter(std::uint8_t fillByte, std::size_t blockSize = kOverwriteBlockSize);

  // Opens the file without sharing, writes the fill byte over it from
  // offset 0 to its end (never beyond it) and flushes it to the device; a
  // pass whose flush fails has failed, since the bytes may never reach the
  // disk. Links and files with other hard links are refused unopened.
  PassResult Pass(const std::string& path);

 private:
  std::vector<std::uint8_t> buffer_;
};

// One pass with the given fill byte; true when every byte of the file was
// written over and flushed.
bool OverwriteFile(const std::string& path, std::uint8_t fillByte);

}  // namespace vz
