#include "window/restore.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "common/text.h"
#include "platform/platform.h"
#include "store/index_edit.h"
#include "store/store.h"
#include "window/date_text.h"

namespace vz {
namespace {

std::optional<CivilTime> LocalDosTime(const DirEntry& e) { return TruncateToDos(Plat().ToLocal(e.written)); }

// A free name beside the file, to keep it until the stored item is in its
// place.
std::string AsideName(const std::string& path) {
  for (int n = 1; n < 1000; ++n) {
    std::string candidate = path + ".~vz" + std::to_string(n);
    if (!Exists(candidate)) return candidate;
  }
  return {};
}

void ClearReadOnly(const std::string& path) {
  auto e = Plat().FindEntry(path);
  if (e && (e->attributes & kAttrReadOnly)) Plat().SetAttributes(path, e->attributes & ~std::uint32_t{kAttrReadOnly});
}

bool MoveBack(const RestoreEntry& e, Report& report) {
  if (Plat().MoveItem(e.storedPath, e.originalPath)) {
    report.Done(e.originalPath, "restored", e.originalPath);
    return true;
  }
  report.Failed(e.originalPath, "the stored item could not be moved to its original path");
  return false;
}

// The user agreed to replace the file at the original path. It is set aside
// first and deleted only once the stored item is in its place, so a move
// that fails never costs the user the file they kept.
bool ReplaceAndMoveBack(const RestoreEntry& e, Report& report) {
  if (!Exists(e.originalPath)) return MoveBack(e, report);  // gone while the question was open
  std::string aside = AsideName(e.originalPath);
  if (aside.empty() || !Plat().MoveItem(e.originalPath, aside)) {
    report.Failed(e.originalPath, "the existing file could not be replaced");
    return false;
  }
  if (!Plat().MoveItem(e.storedPath, e.originalPath)) {
    if (Plat().MoveItem(aside, e.originalPath))
      report.Failed(e.originalPath, "the stored item could not be moved to its original path");
    else
      report.Failed(e.originalPath,
                    "the stored item could not be moved to its original path; the existing file is now " + aside);
    return false;
  }
  ClearReadOnly(aside);
  report.Done(e.originalPath, "restored", e.originalPath);
  if (!Plat().RemoveFile(aside)) report.Failed(aside, "the replaced file could not be deleted");
  return true;
}

// The store of the items being restored, locked, with its sound records
// read once: a run of items of one store costs one reading and one rewrite
// of its index, not one of each per item. It lets go before every question
// (asked without the lock) and when the items move on to another store.
class HeldStore {
 public:
  ~HeldStore() { Release(); }

  // Locks the drive's store unless it is the one held; false, with *why,
  // when it cannot be locked.
  bool Take(char drive, std::string* why) {
    if (guard_ && ToUpperChar(drive) == drive_) return true;
    Release();
    guard_ = std::make_unique<StoreGuard>(drive);
    if (!guard_->Held()) {
      *why = guard_->Why();
      guard_.reset();
      return false;
    }
    drive_ = ToUpperChar(drive);
    if (auto records = ReadIndex(drive))
      for (const auto& r : *records)
        if (r.Sound()) records_.insert(Key(r.originalPath, r.storedPath));
    return true;
  }
  // Whether the index, as held, still pairs the two paths.
  bool HasRecord(const RestoreEntry& e) const { return records_.count(Key(e.originalPath, e.storedPath)) != 0; }
  void MovedOut(const RestoreEntry& e) {
    records_.erase(Key(e.originalPath, e.storedPath));
    moved_.push_back(e.storedPath);
  }
  // Out of the store, their records go now (or with the next prune).
  void Release() {
    if (!guard_) return;
    DropRecords(drive_, moved_);
    moved_.clear();
    records_.clear();
    guard_.reset();
  }

 private:
  static std::string Key(const std::string& original, const std::string& stored) {
    return ToUpper(stored) + '\n' + original;
  }
  std::unique_ptr<StoreGuard> guard_;
  char drive_ = 0;
  std::unordered_set<std::string> records_;
  std::vector<std::string> moved_;
};

void RestoreOne(const RestoreEntry& e, Report& report, HeldStore& held) {
  // A restore only ever takes items out of a store, back to their own
  // drive: an identifier from an edited index must not move other files.
  std::string why = RecordProblem(e.originalPath, e.storedPath, e.storedPath.empty() ? '\0' : e.storedPath[0]);
  // The place is the name the record holds, exactly as it was listed when
  // the item was sent.
  auto place = why.empty() ? Plat().ResolvePath(e.originalPath, PathOrigin::Listed, &why) : std::nullopt;
  if (why.empty() && (!EqualsNoCase(*place, e.originalPath) || IsStoreOrInside(*place)))
    why = "the system reads the original path as " + *place;
  if (!why.empty()) {
    report.Failed(e.originalPath, "not restored: " + why);
    return;
  }
  if (!Exists(e.storedPath)) {
    report.Failed(e.originalPath, "the stored item " + e.storedPath + " no longer exists");
    return;
  }
  auto attrs = Plat().GetAttributes(e.originalPath);
  if (attrs && (*attrs & kAttrDirectory)) {
    // Moving into it would merge the item into someone else's folder.
    report.Failed(e.originalPath, "a folder of that name is at the original path");
    return;
  }
  const bool replace = attrs.has_value();
  if (replace) held.Release();
  if (replace && !Ui().ConfirmReplace(MakeReplaceQuestion(e))) {
    report.Declined(e.originalPath, "the existing file at the original path was kept");
    return;
  }
  // The question is asked without the lock; the move and the record go
  // under it, once the record shows that the item is still the user's to
  // restore (a vaporize or another restore may have taken it meanwhile).
  if (!held.Take(e.storedPath[0], &why)) {
    report.Failed(e.originalPath, why + "; the item stays in the Vaporizer");
    return;
  }
  if (!held.HasRecord(e) || !Exists(e.storedPath)) {
    report.Failed(e.originalPath, "the item is gone from the Vaporizer (vaporized or restored meanwhile)");
    return;
  }
  if (replace ? ReplaceAndMoveBack(e, report) : MoveBack(e, report)) held.MovedOut(e);
}

}  // namespace

RestoreEntry MakeRestoreEntry(const ShredItemId& id) {
  RestoreEntry e;
  e.originalPath = Trim(GetField(id.originalPath));
  e.storedPath = Trim(GetField(id.storedPath));
  e.iconIndex = id.iconIndex;
  return e;
}

bool IsRecycleBinPath(const std::string& originalPath) {
  std::string folder = ToUpper(FolderPart(originalPath));
  return folder.size() >= 11 && folder.compare(3, 8, "RECYCLED") == 0;
}

CivilTime GetFileDate(const std::string& path) {
  auto e = Plat().FindEntry(path);
  if (!e || (e->attributes & kAttrDirectory)) return kZeroDate;
  return LocalDosTime(*e).value_or(kZeroDate);
}

std::string ByteCountText(const std::string& path) {
  if (IsDirectory(path)) return "(folder)";
  std::int64_t size = GetItemSize(path);
  if (size < 0) return "(not available)";
  return ToDecimal(size) + " bytes";
}

std::string ModifiedText(const std::string& path, const std::string& separator) {
  // A folder has no file date; its own last-write time tells the user more
  // than the zero date would.
  auto e = Plat().FindEntry(path);
  if (!e) return {};
  auto t = LocalDosTime(*e);
  if (!t) return {};
  std::string date = DateTimeText(*t, DateStyle::LongDate);
  std::string time = DateTimeText(*t, DateStyle::LongTime);
  if (date.empty() || time.empty()) return {};
  return date + separator + time;
}

ReplaceQuestion MakeReplaceQuestion(const RestoreEntry& entry) {
  ReplaceQuestion q;
  q.originalPath = entry.originalPath;
  q.storedPath = entry.storedPath;
  q.iconIndex = entry.iconIndex;
  q.thisText = kThisFolderContains + entry.originalPath;
  q.existingBytes = ByteCountText(entry.originalPath);
  q.existingDate = ModifiedText(entry.originalPath, ",  ");
  q.storedBytes = ByteCountText(entry.storedPath);
  q.storedDate = ModifiedText(entry.storedPath, ", ");
  return q;
}

Report RestoreItems(const std::vector<RestoreEntry>& entries) {
  Report report;
  if (entries.empty()) return report;

  bool anyRecycled = std::any_of(entries.begin(), entries.end(),
                                 [](const RestoreEntry& e) { return IsRecycleBinPath(e.originalPath); });
  bool includeRecycled = anyRecycled && Ui().Ask(Question::RecycleBinWarning, kRecycleBinTitle, kRecycleBinText);

  HeldStore held;
  for (const auto& e : entries) {
    if (!includeRecycled && IsRecycleBinPath(e.originalPath)) {
      report.Declined(e.originalPath, "its original place is a Recycle Bin folder and restoring there was declined");
      continue;
    }
    RestoreOne(e, report, held);
  }
  held.Release();

  PruneIndex();
  Plat().UpdateIcon();
  return report;
}

}  // namespace vz
