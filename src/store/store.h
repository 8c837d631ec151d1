// The stores: on every fixed drive the store folder d:\VAPORIZE, shared by
// the drive's accounts, holds one store per account, d:\VAPORIZE\<account>
// (its SID on Windows, its user id on POSIX), which only that account can
// use or see; in it the index file "info.shr", "desktop.ini" and the
// stored items, named as below.
//
// The index holds two CR LF lines per record: the original path, then the
// stored path. A record whose two paths both have an exact form in the
// system's code page (the ANSI code page on Windows, no best-fit
// look-alike and no default character standing in; on POSIX always) is
// written in it, byte for byte as earlier versions wrote every record, and
// they read it as before. Any other record is written in UTF-8 with a
// UTF-8 byte-order mark (EF BB BF) at the start of each of its two lines:
// a line of the code page always starts with a drive letter, so the mark
// tells the two apart, and a record stays two lines. Readers take each
// line by its own start.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/dostime.h"

namespace vz {

// The drive's store folder, after the drive letter.
constexpr const char* kStoreSuffix = ":\\VAPORIZE";
constexpr std::size_t kStoreDirLength = 11;  // "X:\VAPORIZE"
constexpr const char* kIndexName = "info.shr";
constexpr const char* kDesktopIniName = "desktop.ini";
// Starts every line of a record written in UTF-8.
constexpr const char* kUtf8LineMark = "\xEF\xBB\xBF";
// The longest path a record carries, in characters as Windows counts them
// (UTF-16 units). Past 259 the platform layer takes paths in their long
// form; the bound keeps every copy made of a record (item identifiers, the
// item window's rows) of a size fixed in advance.
constexpr std::size_t kMaxRecordedPath = 1023;

class StoreLock;
class Folder;

// The most an index file may hold; a larger one is refused unread.
constexpr std::size_t kMaxIndexBytes = std::size_t{128} << 20;
// Items taken out of the list to be vaporized are renamed to a name that
// begins with this mark, which no sent item's name has; an item that a
// vaporize did not finish keeps it until Vaporize all does.
constexpr char kClaimMark = '~';

// The store's own files: "info.shr", "desktop.ini", and the temporary
// files they are rewritten through (their name, a dot and more:
// info.shr.~k2v9xz, and the forms earlier versions left). None of them is
// ever an item.
bool IsStoreOwnFile(std::string_view name);
// One of those temporary files.
bool IsStoreTemporary(std::string_view name);

// Why a store folder held open may not be used, with its own files: it
// must be a folder of its own (no link, no reparse point) that nobody but
// this user can change (on POSIX: owned by this user or the administrator
// and writable by no other), and its index and desktop.ini, where present,
// regular files of the same kind. `where` names it in the text ("the
// Vaporizer store on C:"). Empty when it may be used.
std::string StoreProblem(Folder& store, const std::string& where);
// The store of a drive, opened by handles from the drive's root and
// checked as above; null, with *why naming the drive and what is wrong
// (or that there is no store), otherwise.
std::unique_ptr<Folder> OpenStore(char drive, std::string* why = nullptr);
// Removes what runs cut short left of the store's own temporary files.
// Only under the store's lock, where no run of ours is writing one.
void RemoveStoreTemporaries(Folder& store);
// "the Vaporizer store on C:"
std::string StoreName(char drive);

// An entry of a store that no sound record names: what a vaporize did not
// finish, an item whose record was lost, a temporary file of a run that
// was cut short. Vaporize all destroys the first two; the next change of
// the store removes the third.
struct Leftover {
  char drive = 0;
  std::string name;        // in the store, as the system holds it
  std::string storedPath;  // d:\VAPORIZE\ + name
  std::string reason;
  bool temporary = false;  // one of the store's own temporary files
};
std::vector<Leftover> ListLeftovers();
// The type under which the item window shows a leftover.
std::string LeftoverType(std::string_view name);
// Why each fixed drive's store, where there is one, cannot be used.
std::vector<std::string> StoreProblems();

// How long a guard waits for another holder by default (milliseconds).
int StoreLockWait();
void SetStoreLockWait(int ms);

// Holds the lock of one drive's store for its scope: every change of an
// index and every move into or out of a store happens under it, so that
// processes (and both builds of the module) take turns. On one thread it
// may be taken again inside its scope.
class StoreGuard {
 public:
  // This account's store on the drive.
  explicit StoreGuard(char drive, int waitMs = StoreLockWait());
  // Any store folder: the drive's store folder itself for the earlier
  // layout.
  StoreGuard(const std::string& storeDir, int waitMs);
  ~StoreGuard();
  StoreGuard(const StoreGuard&) = delete;
  StoreGuard& operator=(const StoreGuard&) = delete;

  bool Held() const { return held_; }
  // Why it is not held: "the Vaporizer store on C: is busy" after the
  // longest wait, or that it could not be locked at all.
  const std::string& Why() const { return why_; }

 private:
  void Take(const std::string& storeDir, int waitMs);
  std::string key_;
  bool held_ = false;
  std::string why_;
};
// One record of an index file. Read from an index, it also says where it
// stands there and whether it may be acted on.
struct ShredItemRecord {
  std::string originalPath;  // line 1, trimmed; empty when the record lacks it
  std::string storedPath;    // line 2, trimmed; empty when the record lacks it
  std::vector<std::string> lines;  // its lines exactly as they stand, for a rewrite
  std::size_t firstLine = 0;       // number of its first line, from 1
  // Why nothing may be done with it; empty for a sound record.
  std::string damage;
  bool Sound() const { return damage.empty(); }
};

// Lower-case letters of the fixed drives in alphabetical order ("cd"): the
// drives that carry a store for this user.
std::string GetFixedDrives();
// True when the path's attributes can be read and say directory.
bool IsDirectory(const std::string& path);
// Creates or repairs every fixed drive's store; failures are silent. A
// store that is not what it should be (StoreProblem) is left untouched,
// and nothing is written through it. Temporary files that a run cut short
// left behind are removed.
void EnsureStores();
// The same for one drive, when it carries a store.
void EnsureStore(char drive);
// Size of the first directory entry matching the path; -1 for a folder or
// when nothing matches.
std::int64_t GetItemSize(const std::string& path);
// Drops from every fixed drive's index the records whose item, a proper
// item of that drive's store, is gone; every other record stays, damaged
// ones included.
// The index is replaced in one step, so a failure leaves it whole.
void PruneIndex();
// True when no fixed drive has an index file longer than zero bytes.
bool IsStoreEmpty();
// The date sent of a stored item as the folder shows it: the last-write
// time stamped when it was sent, as a DOS time. nullopt when it cannot be
// told.
std::optional<CivilTime> DateSent(const std::string& storedPath);

// For a drive letter as given: "d:\VAPORIZE", the drive's store folder;
// "d:\VAPORIZE\<account>", this account's store on it, and its index.
std::string SharedStoreDirOf(char drive);
std::string StoreDirOf(char drive);
std::string IndexPathOf(char drive);

// "X:\VAPORIZE" itself or this account's store in it; the store folder
// or anything inside it (every account's store), in any letter case.
bool IsStoreDir(std::string_view path);
bool IsStoreOrInside(std::string_view path);
// Why `path` is not one item of this account's store on its drive (the
// store's path, "\" and one name that no system reads as another: not the
// index or desktop.ini, no wildcard, stream or separator, no dot or blank
// at its end); empty when it is. With a drive letter, the store must be
// that drive's. storeDir, when given, stands for this account's store (the
// earlier layout's items lay in the drive's store folder itself).
std::string StoreItemProblem(std::string_view path, char drive = 0, std::string_view storeDir = {});
// The stored name of an item of this account's store ("C1.doc" of
// "C:\VAPORIZE\<account>\C1.doc"); empty for any other path.
std::string StoredNameOf(std::string_view path);
// The item of this account's store that a path is or lies in
// ("C:\VAPORIZE\<account>\C1" of "...\C1\sub\x.txt"); empty for a path
// outside it.
std::string StoredItemOf(std::string_view path);
// Why a record may not be acted on in the index of `drive`: its stored path
// must be an item of that drive's store, its original path a plain full
// path on the same drive outside every store, neither longer than
// kMaxRecordedPath. Empty for a sound record.
std::string RecordProblem(const std::string& originalPath, const std::string& storedPath, char drive,
                          std::string_view storeDir = {});
// Why a path cannot be written into an index as it is: a line break would
// split it, blanks or control characters at its end would be trimmed away,
// and on Windows half of a UTF-16 pair has no form in either encoding.
// Empty when it can.
std::string UnrecordableReason(std::string_view path);

// The text of one index line as it stands in the file: after the UTF-8
// mark the UTF-8 that follows it, else the line in the system's code page.
// *utf8Broken (when given) tells a marked line whose bytes are no UTF-8.
std::string IndexLineText(std::string_view raw, bool* utf8Broken = nullptr);

// A path of a record under another letter: a drive letter `from` (either
// case) becomes `to`, in the case the path wrote it; any other path stays.
std::string Relettered(std::string path, char from, char to);

// The one reader of index files. Lines end at CR, LF or CR LF; blank lines
// carry nothing. A line that names a store or lies inside one is a stored
// path and the line before it its original path, so a record that lost or
// gained a line leaves the records after it whole. Every record comes back,
// in order: the sound ones, and the damaged ones with the reason.
// writtenAs: the letter the index speaks (Platform::IndexLetter), read as
// `drive`; 0 when it is the drive's own. storeDir: as for StoreItemProblem.
std::vector<ShredItemRecord> ParseIndex(char drive, std::string_view text, char writtenAs = 0,
                                        std::string_view storeDir = {});
// The records of a drive's index; nullopt when it cannot be read.
std::optional<std::vector<ShredItemRecord>> ReadIndex(char drive);
// The two lines of a record as appended to an index file, in the encoding
// the rule above gives it.
std::string FormatRecord(const std::string& originalPath, const std::string& storedPath);
// The extension a stored name takes from the item's name: its own, without
// dots or blanks at the end, or none when it holds a character that a
// stored name may not carry.
std::string StoredExtension(std::string_view originalPath);

// Finds stored names: drive letter as written + smallest free number from 1
// + extension, free meaning that no entry of the store directory has that
// name in any letter case. Reads the directory once and remembers what it
// hands out, so a batch of sends costs one listing, not a probe per number.
class StoredNameAllocator {
 public:
  // driveAsWritten: the first character of the original path.
  std::string Allocate(char driveAsWritten, const std::string& extension);
  // Takes the name itself when it is free (an item keeps its name).
  bool Take(char drive, const std::string& name);
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
