// The per-drive stores: d:\VAPORIZE on every fixed drive, its index file
// "info.shr" (two CR LF lines per record: original path, stored path) and
// "desktop.ini", and the names that stored items get.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vz {

constexpr const char* kStoreSuffix = ":\\VAPORIZE";       // after the drive letter
constexpr const char* kStoreSuffixSlash = ":\\VAPORIZE\\";
constexpr const char* kIndexName = "info.shr";
constexpr const char* kDesktopIniName = "desktop.ini";

class StoreLock;

// How long a guard waits for another holder by default (milliseconds).
int StoreLockWait();
void SetStoreLockWait(int ms);

// Holds the lock of one drive's store for its scope: every change of an
// index and every move into or out of a store happens under it, so that
// processes (and both builds of the module) take turns. On one thread it
// may be taken again inside its scope.
class StoreGuard {
 public:
  explicit StoreGuard(char drive, int waitMs = StoreLockWait());
  ~StoreGuard();
  StoreGuard(const StoreGuard&) = delete;
  StoreGuard& operator=(const StoreGuard&) = delete;

  bool Held() const { return held_; }
  // Why it is not held: "the Vaporizer store on C: is busy" after the
  // longest wait, or that it could not be locked at all.
  const std::string& Why() const { return why_; }

 private:
  int slot_;
  bool held_ = false;
  std::string why_;
};
// One record of an index file.
struct ShredItemRecord {
  std::string originalPath;
  std::string storedPath;
};

// Lower-case letters of the fixed drives in alphabetical order ("cd").
std::string GetFixedDrives();
// True when the path's attributes can be read and say directory.
bool IsDirectory(const std::string& path);
// Creates or repairs every fixed drive's store; failures are silent.
void EnsureStores();
// Size of the first directory entry matching the path; -1 for a folder or
// when nothing matches.
std::int64_t GetItemSize(const std::string& path);
// Drops dead records (and an odd last line) from every fixed drive's index.
// The index is replaced in one step, so a failure leaves it whole.
void PruneIndex();
// True when no fixed drive has an index file longer than zero bytes.
bool IsStoreEmpty();

// "d:\VAPORIZE" and "d:\VAPORIZE\info.shr" for a drive letter as given.
std::string StoreDirOf(char drive);
std::string IndexPathOf(char drive);

// The lines of an index file; nullopt when it cannot be read.
std::optional<std::vector<std::string>> ReadIndexLines(const std::string& indexPath);
// Pairs lines into records; an odd last line is ignored.
std::vector<ShredItemRecord> PairRecords(const std::vector<std::string>& lines);
// The two lines of a record as appended to an index file.
std::string FormatRecord(const ShredItemRecord& record);

// Finds stored names: drive letter as written + smallest free number from 1
// + extension, free meaning that no entry of the store directory has that
// name in any letter case. Reads the directory once and remembers what it
// hands out, so a batch of sends costs one listing, not a probe per number.
class StoredNameAllocator {
 public:
  // driveAsWritten: the first character of the original path.
  std::string Allocate(char driveAsWritten, const std::string& extension);
  // Forgets an allocation whose move did not happen.
  void Release(char driveAsWritten, const std::string& name);

 private:
  struct Drive {
    bool loaded = false;
    std::set<std::string> taken;  // upper case
    // Per upper-case (letter + extension): numbers below this are known taken.
    std::vector<std::pair<std::string, std::uint64_t>> floors;
  };
  Drive& Load(char drive);
  std::uint64_t& FloorFor(Drive& d, const std::string& key);
  Drive drives_[26];
};

// The single-call form: one search with a fresh directory listing.
std::string AllocateStoredName(char driveAsWritten, const std::string& extension);

}  // namespace vz
