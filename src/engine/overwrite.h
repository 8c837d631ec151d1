// One overwrite pass over one file: every byte of it written over with one
// fixed byte value, in place, and flushed to the device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vz {

class File;
class Folder;

// Bytes written per call. Chosen by measurement (bench/overwrite.sh --blocks):
// from about 256 KiB up a pass runs at the device's limit, also where each
// write waits for the device (around the cache: 64 KiB blocks take twice as
// long); 1 MiB keeps a margin on slower devices and costs one small
// allocation per batch.
constexpr std::size_t kOverwriteBlockSize = std::size_t{1} << 20;

// A file of at least this many bytes is written around the system's cache
// where the system allows it, straight to the device: no copying, no cache
// upkeep and no write-back left for the flush (bench/overwrite.sh). Smaller
// ones go through the cache, so that a group of them costs one flush.
constexpr std::int64_t kDirectFrom = std::int64_t{8} << 20;

// Where the cache is used, each range of this many bytes is handed to the
// device at once while the pass goes on, so that writing and flushing
// overlap.
constexpr std::int64_t kWriteBackChunk = std::int64_t{8} << 20;

// A batch overwrites files in groups of at most Platform::FlushGroupFiles
// files (each holds a handle until the group's last flush) and about this
// many bytes: pass k of every file of a group, then one flush of them all,
// then pass k + 1.
constexpr std::int64_t kFlushGroupBytes = std::int64_t{64} << 20;

struct PassResult {
  bool ok = false;
  bool opened = false;  // the file was opened for writing: it may have changed
  std::int64_t bytesWritten = 0;
  std::string error;    // why the pass failed; empty when it did not
  std::string warning;  // the named streams it could not overwrite; empty when none
};

class Overwriter;

// The named streams of one open file or folder (File::StreamNames): each
// gets the same passes and flushes as the file's own content, before the
// file is cut and deleted. One that cannot be overwritten does not stop the
// file; the warning names it.
class NamedStreams {
 public:
  // Lists the streams of an open file or folder and opens each.
  void Open(File& owner);
  // One pass over every stream still open; the bytes written. What was
  // written goes on `toFlush`, to be flushed with the rest of its group.
  std::int64_t Write(Overwriter& overwriter, std::vector<File*>& toFlush);
  // Takes the flush results of the streams the last Write put on the list,
  // found from `first` on in `ok`; the index after them.
  std::size_t Flushed(const std::vector<bool>& ok, std::size_t first);
  void Close();
  // Each stream that was not overwritten completely; empty when none.
  const std::string& Warning() const { return warning_; }

 private:
  struct Stream {
    std::string name;
    std::unique_ptr<File> file;
  };
  void Drop(Stream& s, const std::string& why);
  std::vector<Stream> streams_;
  std::vector<Stream*> written_;  // by the last Write, in the order of its flush list
  std::string warning_;
};

// Runs passes with one buffer that is filled once and reused for every
// block of every pass. It starts on a page boundary, as writes around the
// system's cache want.
class Overwriter {
 public:
  explicit Overwriter(std::uint8_t fillByte, std::size_t blockSize = kOverwriteBlockSize);

  // Opens a file for its passes, without sharing (readBack: so that it can
  // be read back past the caches). Links and files with other hard links
  // are refused unopened: writing through them would reach content that
  // was never given. Null, with *why, on failure.
  std::unique_ptr<File> Open(const std::string& path, std::string* why, bool readBack = false);

  // Writes the fill byte over every range of an open file that holds data
  // (never beyond its end, never into a hole of a sparse file), without
  // the flush that makes it a pass: the caller flushes before the next pass
  // and before the file is cut or deleted.
  PassResult Write(File& file);

  // A whole pass: opens, writes and flushes, the named streams too; a pass
  // whose flush fails has failed, since the bytes may never reach the disk.
  PassResult Pass(const std::string& path);

  // Reads a flushed file back from the device, past the caches, and
  // compares every byte with the fill.
  struct Check {
    bool read = false;   // it could be read back
    bool same = false;   // and every byte was the fill
    std::string text;    // what was found, or why it could not be read
  };
  Check Verify(File& file);

  // `passes` passes over the named streams of a folder before it goes; the
  // warning that names those it could not overwrite.
  // The folder held open is the one whose streams these are.
  std::string FolderStreams(Folder& folder, int passes);

 private:
  std::vector<std::uint8_t> storage_;
  std::vector<std::uint8_t> readStorage_;  // for Verify, made at its first use
  std::uint8_t* block_;  // blockSize_ bytes of storage_, from a page boundary
  std::size_t blockSize_;
};

// One pass with the given fill byte; true when every byte of the file was
// written over and flushed.
bool OverwriteFile(const std::string& path, std::uint8_t fillByte);

// Why a pass failed when its flush failed.
extern const char* const kFlushFailed;

}  // namespace vz
