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

// The item's way back: its store and its node there, and the folder of its
// original path, opened from the drive's root (made where it is missing),
// never through a link.
struct Way {
  std::unique_ptr<Folder> store, place;
  std::unique_ptr<Node> item;
  std::string name;  // at the original place
};

// Goes back into its place; never onto something that appeared there.
bool MoveBack(const RestoreEntry& e, Way& way, Report& report) {
  RaceStep("restore", e.originalPath);
  if (way.item->MoveTo(*way.place, way.name)) {
    way.item->TakeBackOwnTimes();  // where they were kept when it was sent
    report.Done(e.originalPath, "restored", e.originalPath);
    return true;
  }
  const std::string why = way.item->LastError();
  report.Failed(e.originalPath, "the stored item could not be moved to its original path" + (why.empty() ? "" : ": " + why));
  return false;
}

// The user agreed to replace the file at the original path, the one that
// was there when the question was asked. It is sent to the Vaporizer first,
// with a record of its own, and deleted only once the stored item is in
// its place: a move that fails, or a run cut short, never costs the user
// the file they kept, and never hides it either (it is listed).
bool ReplaceAndMoveBack(const RestoreEntry& e, Way& way, const FileId& asked, Report& report) {
  const char d = e.storedPath[0];
  std::string why;
  auto existing = way.place->OpenNode(way.name, &why);
  auto info = existing ? existing->Info() : std::nullopt;
  if (!existing && !way.place->Stat(way.name)) return MoveBack(e, way, report);  // gone while the question was open
  if (!info || info->id != asked || info->kind == NodeKind::Folder) {
    report.Failed(e.originalPath, "the file at the original path changed while the question was open; it was kept, "
                                  "and the item stays in the Vaporizer");
    return false;
  }
  StoredNameAllocator names;
  const std::string aside = StoreDirOf(d) + "\\" + names.Allocate(d, StoredExtension(e.originalPath));
  if (!AppendRecords(d, {{e.originalPath, aside}}, &why) || !existing->MoveTo(*way.store, FileNamePart(aside))) {
    DropRecords(d, {aside});
    report.Failed(e.originalPath, "the existing file could not be replaced");
    return false;
  }
  RaceStep("restore", e.originalPath);
  if (!way.item->MoveTo(*way.place, way.name)) {
    if (existing->MoveTo(*way.place, way.name)) {
      DropRecords(d, {aside});
      report.Failed(e.originalPath, "the stored item could not be moved to its original path");
    } else {
      report.Failed(e.originalPath, "the stored item could not be moved to its original path; the existing file is "
                                    "now in the Vaporizer as " + aside);
    }
    return false;
  }
  way.item->TakeBackOwnTimes();
  report.Done(e.originalPath, "restored", e.originalPath);
  if (DeleteNode(*existing)) DropRecords(d, {aside});
  else report.Failed(e.originalPath, "the replaced file could not be deleted; it is kept in the Vaporizer as " + aside);
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
  // What is restored is what was stored when the user chose it.
  auto stored = Plat().StatPath(e.storedPath);
  if (!stored) {
    report.Failed(e.originalPath, "the stored item " + e.storedPath + " no longer exists");
    return;
  }
  auto there = Plat().StatPath(e.originalPath);
  if (there && there->kind == NodeKind::Folder) {
    // Moving into it would merge the item into someone else's folder.
    report.Failed(e.originalPath, "a folder of that name is at the original path");
    return;
  }
  // The lock that a run of items holds is let go for the question.
  if (there) held.Release();
  if (there && !Ui().ConfirmReplace(MakeReplaceQuestion(e))) {
    report.Declined(e.originalPath, "the existing file at the original path was kept");
    return;
  }
  RaceStep("question", e.originalPath);
  // The question is asked without the lock; the move and the record go
  // under it, once the record shows that the item is still the user's to
  // restore (a vaporize or another restore may have taken it meanwhile).
  const char d = e.storedPath[0];
  if (!held.Take(d, &why)) {
    report.Failed(e.originalPath, why + "; the item stays in the Vaporizer");
    return;
  }
  Way way;
  way.store = OpenStore(d, &why);
  way.item = way.store ? way.store->OpenNode(FileNamePart(e.storedPath), &why) : nullptr;
  if (!way.store || !way.item || !held.HasRecord(e)) {
    report.Failed(e.originalPath, way.store ? "the item is gone from the Vaporizer (vaporized or restored meanwhile)"
                                            : why + "; the item stays in it");
    return;
  }
  auto now = way.item->Info();
  if (!now || now->id != stored->id) {
    report.Failed(e.originalPath, "the stored item was replaced while the question was open; it was left alone");
    return;
  }
  // Split at the last backslash only: on POSIX a name may hold a colon.
  const std::size_t cut = e.originalPath.find_last_of('\\');
  way.name = e.originalPath.substr(cut + 1);
  way.place = OpenFolderMaking(e.originalPath.substr(0, cut > 2 ? cut : 3), &why);
  if (!way.place) {
    report.Failed(e.originalPath, "its folder cannot be reached (" + why + "); the item stays in the Vaporizer");
    return;
  }
  if (there ? ReplaceAndMoveBack(e, way, there->id, report) : MoveBack(e, way, report)) held.MovedOut(e);
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
