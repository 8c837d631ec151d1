#include "store/store.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <set>

#include "common/drive_path.h"
#include "common/text.h"
#include "platform/platform.h"
#include "store/index_edit.h"
#include "store/own_store.h"

namespace vz {

std::string GetFixedDrives() {
  std::string letters;
  std::uint32_t mask = Plat().LogicalDriveMask();
  for (int i = 0; i < 26; ++i) {
    if (!(mask & (1u << i))) continue;
    char letter = static_cast<char>('a' + i);
    if (Plat().CarriesStore(static_cast<char>('A' + i), nullptr)) letters += letter;
  }
  return letters;
}

bool IsDirectory(const std::string& path) {
  auto a = Plat().GetAttributes(path);
  return a && (*a & kAttrDirectory);
}

namespace {

int g_lockWaitMs = 30000;

// Locks this thread holds, and how deeply, by upper-case store folder.
struct HeldLock {
  int depth = 0;
  std::unique_ptr<StoreLock> lock;
};
using HeldLocks = std::map<std::string, HeldLock>;
// Only a pointer, made with the first lock and freed with the last: a
// thread-local with a destructor has the runtime keep the module loaded
// until the thread ends and free it from inside the thread's exit, where
// the module's unload then waits on the very lock that exit holds, with
// the loader's lock held (every other thread that loads or frees a module
// hangs behind it).
thread_local HeldLocks* t_held = nullptr;

HeldLocks& ThreadsLocks() {
  if (!t_held) t_held = new HeldLocks;
  return *t_held;
}

void Release(HeldLocks::iterator it) {
  t_held->erase(it);
  if (t_held->empty()) {
    delete t_held;
    t_held = nullptr;
  }
}

}  // namespace

int StoreLockWait() { return g_lockWaitMs; }
void SetStoreLockWait(int ms) { g_lockWaitMs = ms; }

StoreGuard::StoreGuard(char drive, int waitMs) {
  if (!IsDriveLetter(drive)) {
    why_ = std::string("there is no drive ") + drive + ":";
    return;
  }
  Take(StoreDirOf(drive), waitMs);
}

StoreGuard::StoreGuard(const std::string& storeDir, int waitMs) { Take(storeDir, waitMs); }

void StoreGuard::Take(const std::string& storeDir, int waitMs) {
  const std::string name = std::string(1, ToUpperChar(storeDir.empty() ? '?' : storeDir[0])) + ":";
  key_ = ToUpper(storeDir);
  auto it = ThreadsLocks().try_emplace(key_).first;
  HeldLock& held = it->second;
  if (held.depth == 0) {
    bool busy = false;
    held.lock = Plat().LockStore(storeDir, waitMs, &busy);
    if (!held.lock) {
      Release(it);
      why_ = busy ? "the Vaporizer store on " + name + " is busy" : "the Vaporizer store on " + name + " could not be locked";
      return;
    }
  }
  ++held.depth;
  held_ = true;
}

StoreGuard::~StoreGuard() {
  if (!held_ || !t_held) return;
  auto it = t_held->find(key_);
  if (it != t_held->end() && --it->second.depth == 0) Release(it);
}

std::string SharedStoreDirOf(char drive) { return std::string(1, drive) + kStoreSuffix; }
std::string StoreDirOf(char drive) { return SharedStoreDirOf(drive) + "\\" + Plat().AccountName(); }
std::string IndexPathOf(char drive) { return StoreDirOf(drive) + "\\" + kIndexName; }

std::string StoreName(char drive) { return std::string("the Vaporizer store on ") + ToUpperChar(drive) + ":"; }

bool IsStoreTemporary(std::string_view name) {
  for (std::string_view own : {std::string_view(kIndexName), std::string_view(kDesktopIniName)})
    if (name.size() > own.size() + 1 && StartsWithNoCase(name, own) && name[own.size()] == '.') return true;
  return false;
}

bool IsStoreOwnFile(std::string_view name) {
  return EqualsNoCase(name, kIndexName) || EqualsNoCase(name, kDesktopIniName) || IsStoreTemporary(name);
}

std::string StoreProblem(Folder& store, const std::string& where) {
  auto self = store.Info();
  if (!self) return where + " cannot be read";
  if (self->kind != NodeKind::Folder) return where + " is a link, not a folder of its own";
  if (!self->sharedWith.empty()) return where + " may be changed by others: " + self->sharedWith;
  for (const char* name : {kIndexName, kDesktopIniName}) {
    auto info = store.Stat(name);
    if (!info) continue;
    const std::string what = where + "'s " + name;
    if (info->kind != NodeKind::File) return what + " is not a regular file";
    if (!info->sharedWith.empty()) return what + " may be changed by others: " + info->sharedWith;
  }
  return {};
}

std::unique_ptr<Folder> OpenStore(char drive, std::string* why) {
  std::string ignored;
  if (!why) why = &ignored;
  // The drive's store folder and this account's in it, as their owners
  // and permissions show them; then the folder held, and its own files.
  *why = StoreProblem(drive);
  if (!why->empty()) return nullptr;
  auto store = Plat().OpenFolder(StoreDirOf(ToUpperChar(drive)), why);
  if (!store) {
    *why = StoreName(drive) + " cannot be opened: " + *why;
    return nullptr;
  }
  *why = StoreProblem(*store, StoreName(drive));
  if (!why->empty()) return nullptr;
  return store;
}

std::vector<std::string> StoreProblems() {
  std::vector<std::string> out;
  for (char d : GetFixedDrives()) {
    // A store refused by its owners and permissions is named with them
    // (StoreRefusal); here what the handles find besides.
    if (!Plat().StatPath(StoreDirOf(d)) || !StoreRefusal(d).empty()) continue;
    std::string why;
    if (!OpenStore(d, &why)) out.push_back(why);
  }
  return out;
}

void RemoveStoreTemporaries(Folder& store) {
  // An index left aside by a replace cut short goes back first.
  for (const char* own : {kIndexName, kDesktopIniName}) FinishReplaceIn(store, own);
  std::vector<DirEntry> entries;
  if (!store.List(entries)) return;
  for (const auto& e : entries) {
    if (!IsStoreTemporary(e.name) || e.kind != NodeKind::File) continue;
    std::string why;
    if (auto n = store.OpenNode(e.name, &why)) n->Delete();
  }
}

void EnsureStores() {
  for (char d : GetFixedDrives()) EnsureStore(d);
}

void EnsureStore(char d) {
  if (!Plat().CarriesStore(d, nullptr)) return;
  // Made and checked as this account's own first; nothing is made in a
  // store that is not.
  if (!EnsureOwnStore(d).empty()) return;
  std::string why;
  auto store = OpenStore(d, &why);
  if (!store) return;
  StoreGuard guard(d, std::min(StoreLockWait(), 2000));
  if (guard.Held()) RemoveStoreTemporaries(*store);
}

std::int64_t GetItemSize(const std::string& path) {
  auto e = Plat().FindEntry(path);
  if (!e || (e->attributes & kAttrDirectory)) return -1;
  return e->size;
}

bool IsStoreDir(std::string_view path) {
  if (path.size() > kStoreDirLength && path.back() == '\\') path.remove_suffix(1);
  if (!IsStoreOrInside(path)) return false;
  return path.size() == kStoreDirLength || EqualsNoCase(path.substr(kStoreDirLength + 1), Plat().AccountName());
}

bool IsStoreOrInside(std::string_view path) {
  return path.size() >= kStoreDirLength && IsDriveLetter(path[0]) &&
         EqualsNoCase(path.substr(1, kStoreDirLength - 1), kStoreSuffix) &&
         (path.size() == kStoreDirLength || path[kStoreDirLength] == '\\');
}

namespace {

// Characters that Windows refuses in a name or reads as a wildcard, a
// stream or a separator.
bool SpecialInName(char c) { return IsControlChar(c) || std::string_view(":*?\"<>|/\\").find(c) != std::string_view::npos; }

}  // namespace

std::string StoreItemProblem(std::string_view path, char drive, std::string_view storeDir) {
  if (!IsStoreOrInside(path) || path.size() <= kStoreDirLength + 1) return "it is not an item of a store";
  if (drive && ToUpperChar(path[0]) != ToUpperChar(drive))
    return std::string("it lies in the store of drive ") + ToUpperChar(path[0]) + ":, not of this one";
  std::string own;
  if (storeDir.empty()) {
    own = StoreDirOf(path[0]);
    storeDir = own;
  }
  if (path.size() <= storeDir.size() + 1 || !EqualsNoCase(path.substr(0, storeDir.size()), storeDir) ||
      path[storeDir.size()] != '\\') {
    if (path.find('\\', kStoreDirLength + 1) == std::string_view::npos) return "it lies outside this account's store";
    return "it lies in another account's store";
  }
  std::string_view name = path.substr(storeDir.size() + 1);
  if (name.find('\\') != std::string_view::npos) return "it lies deeper than one name inside the store";
  if (name == "." || name == ".." || IsStoreOwnFile(name)) return "it names the store's own files";
  for (char c : name)
    if (SpecialInName(c)) return "its name holds a character that a stored name never has";
  if (name.back() == '.' || name.back() == ' ') return "its name ends in a dot or a blank";
  if (SystemLength(path) > kMaxRecordedPath) return "it is longer than " + ToDecimal(kMaxRecordedPath) + " characters";
  return {};
}

std::string StoredNameOf(std::string_view path) {
  if (!StoreItemProblem(path).empty()) return {};
  return std::string(path.substr(path.find_last_of('\\') + 1));
}

std::string StoredItemOf(std::string_view path) {
  if (!IsStoreOrInside(path)) return {};
  const std::string own = StoreDirOf(path[0]);
  if (path.size() <= own.size() + 1 || !StartsWithNoCase(path, own) || path[own.size()] != '\\') return {};
  return std::string(path.substr(0, path.find('\\', own.size() + 1)));
}

std::string RecordProblem(const std::string& originalPath, const std::string& storedPath, char drive,
                          std::string_view storeDir) {
  if (storedPath.empty()) return "it has no stored path";
  std::string why = StoreItemProblem(storedPath, drive, storeDir);
  if (!why.empty()) return "the stored path " + storedPath + ": " + why;
  if (originalPath.empty()) return "it has no original path";
  // The system would take the path only up to it.
  if (originalPath.find('\0') != std::string::npos) return "the original path holds a NUL character";
  if (!IsPlainFullPath(originalPath))
    return "the original path " + originalPath + " is not a full path on a drive";
  if (ToUpperChar(originalPath[0]) != ToUpperChar(drive))
    return "the original path " + originalPath + " is not on this store's drive";
  if (IsStoreOrInside(originalPath)) return "the original path " + originalPath + " lies in a store";
  if (SystemLength(originalPath) > kMaxRecordedPath)
    return "the original path is longer than " + ToDecimal(kMaxRecordedPath) + " characters";
  return {};
}

std::string UnrecordableReason(std::string_view path) {
  if (path.find_first_of("\r\n") != std::string_view::npos)
    return "the name holds a line break, which the index cannot hold";
  if (!path.empty() && static_cast<unsigned char>(path.back()) <= ' ')
    return "the name ends in a blank or a control character, which the index cannot keep";
  if (!Plat().ToCodePage(std::string(path)) && !IsUtf8(path))
    return "the name holds half of a UTF-16 character pair, which the index cannot hold";
  return {};
}

std::string IndexLineText(std::string_view raw, bool* utf8Broken) {
  const std::string_view mark = kUtf8LineMark;
  bool marked = raw.substr(0, mark.size()) == mark;
  if (utf8Broken) *utf8Broken = marked && !IsUtf8(raw.substr(mark.size()));
  if (marked) return std::string(raw.substr(mark.size()));
  return Plat().FromCodePage(std::string(raw));
}

std::string Relettered(std::string path, char from, char to) {
  if (from && path.size() >= 2 && path[1] == ':' && IsDriveLetter(path[0]) && ToUpperChar(path[0]) == ToUpperChar(from))
    path[0] = path[0] == ToUpperChar(path[0]) ? ToUpperChar(to) : static_cast<char>(ToUpperChar(to) - 'A' + 'a');
  return path;
}

std::vector<ShredItemRecord> ParseIndex(char drive, std::string_view text, char writtenAs, std::string_view storeDir) {
  struct Line {
    std::string raw;
    std::string text;  // trimmed, as read in its encoding
    bool broken;       // marked as UTF-8 but no UTF-8
    std::size_t number;
  };
  std::vector<ShredItemRecord> records;
  auto push = [&](ShredItemRecord r, const std::vector<const Line*>& lines) {
    for (const Line* l : lines) {
      r.lines.push_back(l->raw);
      if (l->broken) r.damage = "a line marked as UTF-8 holds bytes that are not UTF-8";
    }
    r.firstLine = lines.front()->number;
    records.push_back(std::move(r));
  };
  auto damaged = [&](const std::vector<const Line*>& lines, const char* why) {
    ShredItemRecord r;
    r.originalPath = lines.front()->text;
    if (lines.size() > 1) r.storedPath = lines[1]->text;
    r.damage = lines.size() > 1 ? RecordProblem(r.originalPath, r.storedPath, drive, storeDir) : why;
    push(std::move(r), lines);
  };
  // Lines seen since the last stored path: the last of them is the next
  // stored path's original path, those before it are left over.
  std::vector<Line> pending;
  auto flushLeftovers = [&](std::size_t count) {
    for (std::size_t i = 0; i < count; i += 2) {
      if (i + 1 < count)
        damaged({&pending[i], &pending[i + 1]}, "");
      else
        damaged({&pending[i]}, "a line without the stored path that should follow it");
    }
  };
  std::vector<std::string> lines = SplitLines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    bool broken = false;
    std::string trimmed = Relettered(Trim(IndexLineText(lines[i], &broken)), writtenAs, drive);
    if (trimmed.empty()) continue;
    Line line{lines[i], trimmed, broken, i + 1};
    if (!IsStoreOrInside(trimmed)) {
      pending.push_back(std::move(line));
      continue;
    }
    if (pending.empty()) {
      damaged({&line}, "a stored path without the original path that should come before it");
      records.back().storedPath = std::move(records.back().originalPath);
      records.back().originalPath.clear();
      continue;
    }
    flushLeftovers(pending.size() - 1);
    const Line& original = pending.back();
    ShredItemRecord r;
    r.originalPath = original.text;
    r.storedPath = trimmed;
    r.damage = RecordProblem(r.originalPath, r.storedPath, drive, storeDir);
    push(std::move(r), {&original, &line});
    pending.clear();
  }
  flushLeftovers(pending.size());
  return records;
}

std::optional<std::vector<ShredItemRecord>> ReadIndex(char drive) {
  auto store = OpenStore(drive);
  auto text = store ? ReadFileIn(*store, kIndexName, kMaxIndexBytes) : std::nullopt;
  if (!text) return std::nullopt;
  return ParseIndex(drive, *text, Plat().IndexLetter(drive));
}

std::string FormatRecord(const std::string& originalPath, const std::string& storedPath) {
  const std::string original = Trim(originalPath), stored = Trim(storedPath);
  auto originalBytes = Plat().ToCodePage(original), storedBytes = Plat().ToCodePage(stored);
  if (originalBytes && storedBytes) return *originalBytes + "\r\n" + *storedBytes + "\r\n";
  return kUtf8LineMark + original + "\r\n" + kUtf8LineMark + stored + "\r\n";
}

std::string StoredExtension(std::string_view originalPath) {
  std::string ext = ExtensionOf(originalPath);
  while (!ext.empty() && (ext.back() == '.' || ext.back() == ' ')) ext.pop_back();
  for (char c : ext)
    if (SpecialInName(c)) return {};
  return ext;
}

void PruneIndex() {
  for (char d : GetFixedDrives()) {
    // A record whose move is under way elsewhere names an item that is not
    // there yet: the lock keeps the prune away from it. A prune that cannot
    // have the lock is left to the next one.
    StoreGuard guard(d, std::min(StoreLockWait(), 2000));
    if (!guard.Held()) continue;
    auto store = OpenStore(d);
    if (!store) continue;
    RemoveStoreTemporaries(*store);
    auto text = ReadFileIn(*store, kIndexName, kMaxIndexBytes);
    // A failed question proves nothing (access denied, a passing device
    // error), and dropping the record of an item that is still there would
    // hide it from the user for good: absence is believed only when a
    // listing of the store lacks the name.
    std::vector<DirEntry> entries;
    if (!text || !store->List(entries)) continue;
    std::set<std::string> present;
    for (const auto& e : entries) present.insert(ToUpper(e.name));
    std::string kept;
    for (const auto& r : ParseIndex(d, *text, Plat().IndexLetter(d))) {
      // A record goes only when its item, a proper item of this store, is
      // gone; any other damaged record stays for the user to see.
      if (StoreItemProblem(r.storedPath, d).empty() &&
          !present.count(ToUpper(FileNamePart(r.storedPath))))
        continue;
      for (const auto& line : r.lines) kept += line + "\r\n";
    }
    // Rewriting identical bytes would change nothing; the file is replaced
    // in one step otherwise, so a failed write never cuts records off.
    if (kept != *text) ReplaceFileIn(*store, kIndexName, kept);
  }
}

std::optional<CivilTime> DateSent(const std::string& storedPath) {
  auto e = Plat().FindEntry(storedPath);
  return e ? TruncateToDos(e->written) : std::nullopt;
}

bool IsStoreEmpty() {
  std::int64_t total = 0;
  for (char d : GetFixedDrives()) {
    std::int64_t size = GetItemSize(IndexPathOf(d));
    if (size > 0) total += size;
  }
  return total == 0;
}

StoredNameAllocator::Drive& StoredNameAllocator::Load(char drive) {
  int slot = ToUpperChar(drive) - 'A';
  if (slot < 0 || slot >= 26) slot = 0;
  Drive& d = drives_[slot];
  if (!d.loaded) {
    d.loaded = true;
    std::vector<DirEntry> entries;
    if (auto store = OpenStore(drive)) store->List(entries);
    for (const auto& e : entries) d.taken.insert(ToUpper(e.name));
    // A name that a record still holds stays taken after its item has gone:
    // a new item under it would be listed and restored as the old one.
    for (const auto& name : RecordedNames(drive)) d.taken.insert(name);
  }
  return d;
}

std::uint64_t& StoredNameAllocator::FloorFor(Drive& d, const std::string& key) {
  for (auto& f : d.floors)
    if (f.first == key) return f.second;
  d.floors.emplace_back(key, 1);
  return d.floors.back().second;
}

std::string StoredNameAllocator::Allocate(char driveAsWritten, const std::string& extension) {
  Drive& d = Load(driveAsWritten);
  std::string upperLetter(1, ToUpperChar(driveAsWritten));
  std::string upperExt = ToUpper(extension);
  std::uint64_t& floor = FloorFor(d, upperLetter + "|" + upperExt);
  std::uint64_t n = floor;
  while (d.taken.count(upperLetter + std::to_string(n) + upperExt)) ++n;
  d.taken.insert(upperLetter + std::to_string(n) + upperExt);
  floor = n + 1;
  return std::string(1, driveAsWritten) + std::to_string(n) + extension;
}

bool StoredNameAllocator::Take(char drive, const std::string& name) {
  return Load(drive).taken.insert(ToUpper(name)).second;
}

void StoredNameAllocator::Release(char driveAsWritten, const std::string& name) {
  Drive& d = Load(driveAsWritten);
  d.taken.erase(ToUpper(name));
  d.floors.clear();  // the freed number may lie below a floor
}

std::string LeftoverType(std::string_view name) {
  return !name.empty() && name[0] == kClaimMark ? "Partly vaporized" : "Not in the index";
}

std::vector<Leftover> ListLeftovers() {
  std::vector<Leftover> out;
  for (char d : GetFixedDrives()) {
    auto store = OpenStore(d);
    std::vector<DirEntry> entries;
    if (!store || !store->List(entries)) continue;
    std::set<std::string> recorded;
    if (auto text = ReadFileIn(*store, kIndexName, kMaxIndexBytes))
      for (const auto& r : ParseIndex(d, *text, Plat().IndexLetter(d)))
        if (r.Sound()) recorded.insert(ToUpper(FileNamePart(r.storedPath)));
    for (const auto& e : entries) {
      if (EqualsNoCase(e.name, kIndexName) || EqualsNoCase(e.name, kDesktopIniName) || recorded.count(ToUpper(e.name)))
        continue;
      Leftover l;
      l.drive = d;
      l.name = e.name;
      l.storedPath = StoreDirOf(ToUpperChar(d)) + "\\" + e.name;
      l.temporary = IsStoreTemporary(e.name);
      l.reason = l.temporary ? "a temporary file of a run that was cut short; the next change of the store removes it"
                 : e.name[0] == kClaimMark
                     ? "partly vaporized: a vaporize did not finish it (or is running now); Vaporize all finishes it"
                     : "no record of the index names it; Vaporize all destroys it";
      out.push_back(std::move(l));
    }
  }
  return out;
}

std::string AllocateStoredName(char driveAsWritten, const std::string& extension) {
  StoredNameAllocator a;
  return a.Allocate(driveAsWritten, extension);
}

}  // namespace vz
