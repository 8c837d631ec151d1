#include "store/own_store.h"

#include <map>
#include <optional>
#include <set>

#include "common/text.h"
#include "platform/platform.h"
#include "store/clsids.h"
#include "store/index_edit.h"
#include "store/store.h"

namespace vz {
namespace {

constexpr const char* kRemoveIt = ": an administrator can remove it";

std::string DriveName(char drive) { return std::string(1, ToUpperChar(drive)) + ":"; }
// A path of the stores in a message: as the user knows it.
std::string Shown(const std::string& path) { return Plat().ShownPath(path); }

// What stands at a path of the stores, and why it may not be used as the
// folder (or file) it should be: empty when it may. `missing` is the
// answer when nothing is there.
std::string Standing(const std::string& path, bool folder, const std::optional<Ownership>& o, const std::string& missing) {
  if (!o) return Exists(path) ? Shown(path) + " cannot be checked" : missing;
  if (o->link) return Shown(path) + " is a link, not a " + (folder ? "folder" : "file") + " of its own" + kRemoveIt;
  if (o->folder != folder || o->special) return Shown(path) + (folder ? " is not a folder" : " is not a regular file") + kRemoveIt;
  return {};
}

// The drive's store folder holds every account's store: nobody but its
// owner may take one away (its owner could, and gains nothing by it: the
// stores inside are checked themselves).
std::string SharedProblem(char drive) {
  const std::string shared = SharedStoreDirOf(drive);
  auto o = Plat().OwnershipOf(shared);
  std::string why = Standing(shared, true, o, "there is no Vaporizer store on drive " + DriveName(drive));
  if (why.empty() && !o->othersMayRemove.empty())
    why = "other accounts may take away what " + Shown(shared) + " holds (" + o->othersMayRemove + ")" + kRemoveIt +
          ", or let only its owner do that";
  return why;
}

// A file or folder of this account's store: its own, and nobody else may
// change it.
std::string OwnProblem(const std::string& path, bool folder, const std::optional<Ownership>& o,
                       const std::string& missing) {
  std::string why = Standing(path, folder, o, missing);
  if (!why.empty()) return why;
  if (!o->ownerTrusted) return Shown(path) + " belongs to another account (" + o->owner + ")" + kRemoveIt;
  const std::string& change = o->othersMayWrite.empty() ? o->othersMayRemove : o->othersMayWrite;
  if (!change.empty()) return "other accounts may change " + Shown(path) + " (" + change + ")" + kRemoveIt;
  return {};
}

std::string AccountStoreProblem(char drive) {
  const std::string own = StoreDirOf(drive);
  auto o = Plat().OwnershipOf(own);
  std::string missing = "there is no Vaporizer store of this account on drive " + DriveName(drive);
  if (!o)
    if (auto shared = Plat().OwnershipOf(SharedStoreDirOf(drive)); shared && !shared->ownerTrusted)
      missing += " (" + Shown(SharedStoreDirOf(drive)) + " belongs to another account (" + shared->owner +
                 "), which may not let this one make its store there)";
  std::string why = OwnProblem(own, true, o, missing);
  if (!why.empty()) return why;
  if (!o->othersMayRead.empty()) {
    Plat().MakePrivate(own);
    o = Plat().OwnershipOf(own);
    if (!o || !o->othersMayRead.empty())
      return "other accounts may read " + Shown(own) + " (" + (o ? o->othersMayRead : "") + "), and it could not be made private";
  }
  for (const char* name : {kIndexName, kDesktopIniName}) {
    const std::string path = own + "\\" + name;
    auto f = Plat().OwnershipOf(path);
    if (!f && !Exists(path)) continue;
    why = OwnProblem(path, false, f, {});
    if (!why.empty()) return why;
  }
  return {};
}

// Names in the drive's store folder that are stores of accounts: a user id
// (digits) or a SID ("S-1-..."). A stored name starts with a letter and a
// digit, or with the mark of a claimed item, and is never one of them.
bool IsAccountStoreName(const std::string& name) {
  if (StartsWithNoCase(name, "S-1-")) return true;
  return !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
}

// The index line of a stored path beside an original line kept as it
// stands: in the encoding that line was written in.
std::string StoredLine(const std::string& originalLine, const std::string& stored) {
  const std::string mark = kUtf8LineMark;
  if (originalLine.compare(0, mark.size(), mark) != 0)
    if (auto bytes = Plat().ToCodePage(stored)) return *bytes;
  return mark + stored;
}

}  // namespace

std::string StoreProblem(char drive) {
  std::string why = SharedProblem(drive);
  return why.empty() ? AccountStoreProblem(drive) : why;
}

std::string StoreRefusal(char drive) {
  if (!Plat().OwnershipOf(SharedStoreDirOf(drive))) return {};
  std::string why = SharedProblem(drive);
  if (!why.empty() || !Plat().OwnershipOf(StoreDirOf(drive))) return why;
  return AccountStoreProblem(drive);
}

std::string EnsureOwnStore(char drive) {
  const std::string shared = SharedStoreDirOf(drive), own = StoreDirOf(drive);
  auto a = Plat().GetAttributes(shared);
  if (!a) Plat().MakeSharedFolder(shared);
  else if ((*a & (kAttrHidden | kAttrSystem)) != (kAttrHidden | kAttrSystem))
    Plat().SetAttributes(shared, *a | kAttrHidden | kAttrSystem);  // where this account may
  // Nothing is made in a store folder that is not checked first.
  std::string why = SharedProblem(drive);
  if (!why.empty()) return why;
  if (!Plat().OwnershipOf(own) && !Exists(own)) Plat().MakePrivateFolder(own);
  why = AccountStoreProblem(drive);
  if (!why.empty()) return why;
  // The folder's desktop.ini is read only where the folder is marked system.
  if (auto oa = Plat().GetAttributes(own)) Plat().SetAttributes(own, *oa | kAttrHidden | kAttrSystem);
  const std::string index = IndexPathOf(drive), ini = own + "\\" + kDesktopIniName;
  if (!Exists(index)) Plat().CreateEmptyFile(index);
  Plat().WriteIniString(ini, ".ShellClassInfo", "CLSID", kClsidVaporizerFolderText);
  Plat().SetAttributes(ini, kAttrHidden | kAttrSystem);
  MoveEarlierStore(drive);
  return {};
}

Report MoveEarlierStore(char drive) {
  Report report;
  drive = ToUpperChar(drive);
  const std::string shared = SharedStoreDirOf(drive), oldIndex = shared + "\\" + kIndexName;
  const std::string own = StoreDirOf(drive);
  // The earlier layout's store is its index's owner's; where the file
  // system knows no owners, the first account that comes takes it.
  const std::string me = Plat().AccountName();
  auto owner = Plat().OwnershipOf(oldIndex);
  if (!owner || owner->folder || owner->link || !(owner->owner == me || (owner->owner.empty() && owner->ownerTrusted)))
    return report;
  auto fail = [&](const std::string& why) {
    report.Failed(oldIndex, why + "; the items of the earlier layout stay where they are until the next time");
    return report;
  };
  // The earlier layout's writers lock the drive's store folder itself.
  StoreGuard oldGuard(shared, StoreLockWait());
  if (!oldGuard.Held()) return fail(oldGuard.Why());
  StoreGuard newGuard(drive);
  if (!newGuard.Held()) return fail(newGuard.Why());
  std::string why = StoreProblem(drive);
  if (!why.empty()) return fail(why);
  // Half a record at the end was never followed by its move.
  if (!RepairIndexTailAt(oldIndex)) return fail("the earlier index could not be read or repaired");
  auto text = Plat().ReadWholeFile(oldIndex);
  auto newText = Plat().ReadWholeFile(IndexPathOf(drive));
  std::vector<DirEntry> oldEntries, newEntries;
  if (!text || !newText || !Plat().ListDirectory(shared, oldEntries) || !Plat().ListDirectory(own, newEntries))
    return fail("a store could not be read");
  std::set<std::string> oldNames, newNames;
  for (const auto& e : oldEntries) oldNames.insert(ToUpper(e.name));
  for (const auto& e : newEntries) newNames.insert(ToUpper(e.name));
  // What a run cut short wrote to the new index already: records whose
  // items have not come, by original path, and records carried over.
  std::multimap<std::string, std::string> waiting;
  std::set<std::vector<std::string>> carried;
  for (const auto& r : ParseIndex(drive, *newText, Plat().IndexLetter(drive))) {
    carried.insert(r.lines);
    if (StoreItemProblem(r.storedPath, drive).empty() && !newNames.count(ToUpper(FileNamePart(r.storedPath))))
      waiting.emplace(r.originalPath, r.storedPath);
  }

  // Each record's step: its item's move, or the record alone, carried over.
  struct Step {
    const ShredItemRecord* record;
    std::string from, to;  // from is empty for a record carried over alone
    bool written = false;  // its new record is in the new index already
  };
  const std::vector<ShredItemRecord> records = ParseIndex(drive, *text, Plat().IndexLetter(drive), shared);
  std::vector<Step> steps;
  std::set<std::string> handled;  // upper-case old names that a record moves
  StoredNameAllocator names;
  for (const auto& r : records) {
    const std::string name = FileNamePart(r.storedPath);
    if (!StoreItemProblem(r.storedPath, drive, shared).empty() || IsAccountStoreName(name)) {
      // Nothing of the old store to move: shown as before, damaged.
      if (carried.insert(r.lines).second) steps.push_back({&r, {}, {}});
      continue;
    }
    // Gone (vaporized, restored, or moved by a run cut short), or the item
    // of an earlier record of the same stored path.
    if (!oldNames.count(ToUpper(name)) || !handled.insert(ToUpper(name)).second) continue;
    // The drive letter keeps the case its record gave it.
    Step step{&r, r.storedPath, StoreDirOf(r.storedPath[0]) + "\\" + name};
    auto [first, last] = waiting.equal_range(r.originalPath);
    auto w = first;
    while (w != last && !EqualsNoCase(w->second, step.to)) ++w;
    if (w == last) w = first;
    if (w != last) {
      step.to = w->second;
      step.written = true;
      waiting.erase(w);
    } else if (!names.Take(drive, name)) {
      step.to.clear();  // named below, once every item whose name is free has kept it
    }
    steps.push_back(std::move(step));
  }
  std::vector<ShredItemRecord> append;
  for (auto& step : steps) {
    if (step.from.empty()) {
      append.push_back(*step.record);
      continue;
    }
    const std::string name = FileNamePart(step.from);
    if (step.to.empty()) step.to = StoreDirOf(step.from[0]) + "\\" + names.Allocate(name[0], ExtensionOf(name));
    if (step.written) continue;
    ShredItemRecord moved{step.record->originalPath, step.to};
    // A damaged original line stays as it stands, beside the new stored line.
    if (!step.record->Sound()) moved.lines = {step.record->lines.front(), StoredLine(step.record->lines.front(), Relettered(step.to, drive, Plat().IndexLetter(drive)))};
    append.push_back(std::move(moved));
  }
  if (!append.empty() && !AppendRecords(drive, append, &why)) return fail(why);

  std::set<const ShredItemRecord*> stay;
  std::vector<std::string> dead;
  for (const auto& step : steps) {
    if (step.from.empty()) continue;
    if (Plat().MoveItem(step.from, step.to)) {
      report.Done(step.record->originalPath, "moved into this account's store", step.to);
      continue;
    }
    stay.insert(step.record);
    dead.push_back(step.to);
    report.Failed(step.record->originalPath, "it could not be moved from " + step.from + " into this account's store");
  }
  DropRecords(drive, dead);

  // Items without a record (what a vaporize cut short left) go along when
  // they are this account's, for its Vaporize all to finish.
  for (const auto& e : oldEntries) {
    const std::string from = shared + "\\" + e.name;
    if (IsAccountStoreName(e.name) || handled.count(ToUpper(e.name)) || StartsWithNoCase(e.name, kIndexName) ||
        StartsWithNoCase(e.name, kDesktopIniName) || !StoreItemProblem(from, drive, shared).empty())
      continue;
    auto o = Plat().OwnershipOf(from);
    if (!o || o->owner != me) continue;
    std::string to = own + "\\" + (names.Take(drive, e.name) ? e.name : names.Allocate(drive, ExtensionOf(e.name)));
    if (Plat().MoveItem(from, to)) report.Done(from, "moved into this account's store", to);
  }

  // The old index keeps only the records of items that could not move.
  std::string kept;
  for (const auto& r : records)
    if (stay.count(&r))
      for (const auto& line : r.lines) kept += line + "\r\n";
  const bool emptied = kept.empty() ? Plat().RemoveFile(oldIndex) || Plat().ReplaceFileContents(oldIndex, kept)
                                    : Plat().ReplaceFileContents(oldIndex, kept);
  if (!emptied) report.Failed(oldIndex, "the earlier index could not be emptied; the next run drops what it lists");
  return report;
}

}  // namespace vz
