#include "engine/batch.h"

#include <algorithm>
#include <exception>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

#include "common/dostime.h"
#include "common/drive_path.h"
#include "common/text.h"
#include "common/ui.h"
#include "engine/collect.h"
#include "engine/medium_verdict.h"
#include "engine/overwrite.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "store/index_edit.h"
#include "store/store.h"

namespace vz {
namespace {

constexpr const char* kCautionTitle = "Please use caution";

// The moment written on every file just before it is cut and deleted, so
// that nothing about when it was last used survives.
constexpr CivilTime kVaporizeStamp{1990, 1, 1, 12, 12, 12};

std::string CautionText(std::size_t count) {
  return "Caution: You are about to vaporize one or more items.\r\r"
         "Once items are vaporized, there is no way to restore them.\r\r"
         "Are you completely sure that you want to permanently delete " +
         ToDecimal(static_cast<std::int64_t>(count)) + " item(s) ?";
}

struct Effective {
  int passes = 1;
  bool deleteAfter = true;
  std::uint8_t fillByte = 0;
  bool showProgress = true;
};

Effective EffectiveSettings(const ShredOptions* options) {
  Effective e;
  if (options) {
    e.passes = options->Passes;
    e.deleteAfter = options->DeleteAfter != 0;
    e.fillByte = options->FillByte;
    e.showProgress = options->ShowProgress != 0;
    return e;
  }
  BatchSettings b = ReadBatchSettings();
  e.passes = std::max(0, static_cast<int>(b.passes));  // a negative count makes no pass
  e.showProgress = b.showProgress;
  return e;
}

bool IsRealFolder(const std::optional<std::uint32_t>& attrs) {
  return attrs && (*attrs & kAttrDirectory) && !(*attrs & kAttrReparsePoint);
}

// A path's attributes without the trailing backslash, which would make the
// POSIX layer look through a link at its target.
std::optional<std::uint32_t> AttributesOfItem(const std::string& path) {
  std::string p = WithoutTrailingBackslash(path);
  if (p.empty() || p.back() == ':') p = path;
  return Plat().GetAttributes(p);
}

// The original path of each file as the sound records of the index files
// name it, in upper case; the file's own path where no record names it.
// One pass over the records and one look-up per file.
std::vector<std::string> DisplayTexts(const std::vector<std::string>& files) {
  std::unordered_map<std::string, std::string> originals;
  for (char d : GetFixedDrives()) {
    if (auto records = ReadIndex(d))
      for (const auto& r : *records)
        if (r.Sound()) originals.emplace(ToUpper(r.storedPath), ToUpper(r.originalPath));  // keeps the first
  }
  std::vector<std::string> out;
  out.reserve(files.size());
  for (const auto& f : files) {
    auto it = originals.find(ToUpper(f));
    out.push_back(it != originals.end() ? it->second : f);
  }
  return out;
}

std::string ParentOf(const std::string& path) { return FolderPart(WithoutTrailingBackslash(path)); }

std::size_t Depth(const std::string& folder) {
  return static_cast<std::size_t>(std::count(folder.begin(), folder.end(), '\\'));
}

// The stored items of a batch after they were claimed: where each is now
// and what the caller called it.
struct Claimed {
  std::string given, claimed, original;
  bool touched = false;  // something beneath it was opened for writing or removed
  bool gone = false;     // the item itself was removed
};

class Batch {
 public:
  Batch(const Effective& s, bool display, std::vector<Claimed>& claims)
      : s_(s), display_(display), overwriter_(s.fillByte), claims_(claims) {
    for (std::size_t i = 0; i < claims_.size(); ++i) claimIndex_.emplace(ToUpper(claims_[i].claimed), i);
  }

  Report Run(std::vector<std::string> list) {
    Split(list);
    if (!folders_.empty()) {
      std::vector<std::string> found;
      CollectFolderContents(folders_, found);
      files_.insert(files_.end(), found.begin(), found.end());
    }
    Deduplicate();
    IndexFolders();
    const bool lookUp = display_ && s_.showProgress;
    std::vector<std::string> shown = lookUp ? DisplayTexts(files_) : std::vector<std::string>{};
    // A claimed item's record is gone; its original path came with the
    // claim, and what has none is shown under the name it was given by.
    for (std::size_t i = 0; lookUp && i < files_.size(); ++i)
      if (Claimed* c = ClaimOf(files_[i]))
        shown[i] = EqualsNoCase(c->claimed, files_[i]) && !c->original.empty() ? ToUpper(c->original)
                                                                               : Label(files_[i]);

    if (s_.showProgress) {
      Ui().ProgressBegin(files_.size(), s_.passes);
      Ui().ProcessMessages();
    }
    for (std::size_t i = 0; i < files_.size(); ++i) {
      const std::string& path = files_[i];
      if (s_.showProgress) Ui().ProgressFile(i, lookUp ? shown[i] : path);
      bool gone = false;
      try {
        gone = VaporizeFile(path);
      } catch (const std::exception& e) {
        report_.Failed(Label(path), std::string("stopped by an error: ") + e.what());
      }
      if (!gone) BlockParents(path);
      if (s_.showProgress) Ui().ProgressFilesDone(i + 1);
      Ui().ProcessMessages();
    }
    RemoveFolders();
    if (s_.showProgress) Ui().ProgressEnd();
    return report_;
  }

 private:
  void Split(std::vector<std::string>& list) {
    for (auto& entry : list) {
      if (IsRealFolder(AttributesOfItem(entry))) {
        if (entry != WithTrailingBackslash(entry)) labels_[WithTrailingBackslash(entry)] = entry;
        entry = WithTrailingBackslash(entry);
        folders_.push_back(entry);
      } else {
        // Files, links (to folders too) and names that do not exist. A
        // trailing backslash would make a link look like its target.
        std::string file = WithoutTrailingBackslash(entry);
        if (file.empty() || file.back() == ':') file = entry;
        if (file != entry) labels_[file] = entry;
        files_.push_back(file);
      }
    }
  }

  // A folder given beside its own parent is walked twice; each name is
  // still handled once.
  void Deduplicate() {
    auto unique = [](std::vector<std::string>& v) {
      std::unordered_set<std::string> seen;
      v.erase(std::remove_if(v.begin(), v.end(), [&](const std::string& s) { return !seen.insert(s).second; }),
              v.end());
    };
    unique(files_);
    unique(folders_);
  }

  void IndexFolders() {
    blocked_.assign(folders_.size(), false);
    for (std::size_t i = 0; i < folders_.size(); ++i) {
      folderIndex_.emplace(folders_[i], i);
      // A read-only folder would refuse to give up its entries or itself.
      auto attrs = AttributesOfItem(folders_[i]);
      if (attrs && (*attrs & kAttrReadOnly) &&
          Plat().SetAttributes(WithoutTrailingBackslash(folders_[i]), *attrs & ~kAttrReadOnly))
        readOnlyFolders_.emplace(i, *attrs);
    }
  }

  // Items are reported under the names their caller gave them, and what
  // lies in a claimed item under the item's name from before its claim.
  std::string Label(const std::string& path) const {
    auto it = labels_.find(path);
    std::string p = it != labels_.end() ? it->second : path;
    if (const Claimed* c = ClaimOf(path)) p = c->given + p.substr(std::min(p.size(), c->claimed.size()));
    return p;
  }

  // The claim that `path` is or lies in.
  Claimed* ClaimOf(const std::string& path) const {
    if (claimIndex_.empty()) return nullptr;
    std::string top = ToUpper(path.substr(0, path.find('\\', std::min(path.size(), std::size_t{12}))));
    auto it = claimIndex_.find(top);
    return it != claimIndex_.end() ? &claims_[it->second] : nullptr;
  }
  void Touch(const std::string& path) {
    if (Claimed* c = ClaimOf(path)) c->touched = true;
  }
  void Removed(const std::string& path) {
    if (Claimed* c = ClaimOf(path); c && EqualsNoCase(c->claimed, WithoutTrailingBackslash(path))) c->gone = true;
  }

  bool BeneathFolder(const std::string& path) const { return folderIndex_.count(ParentOf(path)) != 0; }

  // Something beneath these folders stays, so they stay with it.
  void BlockParents(const std::string& path) {
    for (std::string p = ParentOf(path); !p.empty(); p = ParentOf(p)) {
      auto it = folderIndex_.find(p);
      if (it == folderIndex_.end()) break;
      blocked_[it->second] = true;
    }
  }

  // True when nothing unvaporized is left under this name.
  bool VaporizeFile(const std::string& path) {
    auto entry = Plat().FindEntry(path);
    if (!entry) {
      if (Plat().GetAttributes(path)) {
        report_.Failed(Label(path), "its directory entry could not be read; it was left in place");
        return false;
      }
      report_.Skipped(Label(path), "not found");
      return true;
    }
    const bool beneath = BeneathFolder(path);
    const bool remove = s_.deleteAfter || beneath;
    if (entry->attributes & kAttrReparsePoint) {
      // Only the link goes; what it points at was never given.
      if (!remove) {
        report_.Skipped(Label(path), "a link: nothing to overwrite, and deleting was not asked for");
        return true;
      }
      Touch(path);
      if (Plat().RemoveLink(path)) {
        Removed(path);
        report_.Done(Label(path), "link removed; what it points at was left as it was");
        return true;
      }
      report_.Failed(Label(path), "the link could not be removed");
      return false;
    }
    if (entry->attributes & kAttrDirectory) {
      report_.Failed(Label(path), "a folder where a file was listed");
      return false;
    }
    if (Plat().LinkCount(path) > 1) return RemoveHardLinkedName(path, entry->attributes, remove);

    const std::string warning = warnings_.For(path, s_.passes);  // before the passes fill any holes
    const std::uint32_t attrs = entry->attributes;
    const bool readOnly = attrs & kAttrReadOnly;
    if (readOnly) Plat().SetAttributes(path, attrs & ~kAttrReadOnly);

    for (int pass = 1; pass <= s_.passes; ++pass) {
      PassResult r = overwriter_.Pass(path);
      if (r.opened) Touch(path);
      if (!r.ok) {
        if (readOnly) Plat().SetAttributes(path, attrs);
        std::string why = "pass " + std::to_string(pass) + " of " + std::to_string(s_.passes) +
                          " failed (" + r.error + "); the file was left in place";
        report_.Failed(Label(path), why);
        return false;
      }
      if (s_.showProgress) Ui().ProgressPass(pass, r.bytesWritten);
    }

    if (!remove) {
      if (s_.passes > 0)
        report_.Done(Label(path), "overwritten");
      else
        report_.Skipped(Label(path), "no overwrite pass was asked for, and no deleting: left as it was");
      report_.Warn(warning);
      return true;
    }
    Touch(path);
    if (s_.deleteAfter) {
      if (auto stamp = TruncateToDos(kVaporizeStamp)) {
        if (auto f = Plat().OpenSharedWrite(path, true)) f->SetTimes(&*stamp, &*stamp, &*stamp);
      }
    }
    if (!Plat().RemoveFile(path)) {
      report_.Failed(Label(path), "overwritten, but it could not be deleted");
      return false;
    }
    Removed(path);
    report_.Done(Label(path), s_.passes > 0 ? "vaporized" : "deleted without an overwrite pass (0 passes)");
    report_.Warn(warning);
    return true;
  }

  // Writing over content that other names still show would destroy it for
  // them too: only this name goes.
  bool RemoveHardLinkedName(const std::string& path, std::uint32_t attrs, bool remove) {
    const char* why = "its content was not overwritten because other links to it exist";
    if (!remove) {
      report_.Skipped(Label(path), why);
      return true;
    }
    Touch(path);
    bool removed = Plat().RemoveFile(path);
    if (!removed && (attrs & kAttrReadOnly) && Plat().SetAttributes(path, attrs & ~kAttrReadOnly)) {
      removed = Plat().RemoveFile(path);
      if (!removed) Plat().SetAttributes(path, attrs);
    }
    if (!removed) {
      report_.Failed(Label(path), std::string(why) + ", and this name could not be removed");
      return false;
    }
    Removed(path);
    report_.Skipped(Label(path), std::string("name removed; ") + why);
    return true;
  }

  // Deepest first. Only an empty folder can be removed, so nothing that was
  // not vaporized can vanish with its folder.
  void RemoveFolders() {
    std::vector<std::size_t> order(folders_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      std::size_t da = Depth(folders_[a]), db = Depth(folders_[b]);
      return da != db ? da > db : a > b;  // later-found first within a level
    });
    for (std::size_t i : order) {
      const std::string& folder = folders_[i];
      std::string name = WithoutTrailingBackslash(Label(folder));
      if (blocked_[i]) {
        report_.Skipped(name, "left in place: it still holds items that were not vaporized");
        RestoreReadOnly(i);
        continue;
      }
      Touch(folder);
      if (Plat().RemoveEmptyDirectory(WithoutTrailingBackslash(folder))) {
        Removed(folder);
        report_.Done(name, "vaporized");
      } else {
        report_.Failed(name, "the folder could not be removed");
        RestoreReadOnly(i);
        BlockParents(folder);
      }
    }
  }

  void RestoreReadOnly(std::size_t i) {
    auto it = readOnlyFolders_.find(i);
    if (it != readOnlyFolders_.end()) Plat().SetAttributes(WithoutTrailingBackslash(folders_[i]), it->second);
  }

  Effective s_;
  bool display_;
  Overwriter overwriter_;
  OverwriteWarnings warnings_;
  Report report_;
  std::vector<std::string> files_, folders_;
  std::vector<bool> blocked_;
  std::unordered_map<std::string, std::size_t> folderIndex_;
  std::unordered_map<std::string, std::string> labels_;  // as used here -> as the caller wrote it
  std::unordered_map<std::size_t, std::uint32_t> readOnlyFolders_;
  std::vector<Claimed>& claims_;
  std::unordered_map<std::string, std::size_t> claimIndex_;  // upper-case claimed path -> claim
};

// A full path of one item directly inside a store: "X:\VAPORIZE\name".
bool IsStoreItem(const std::string& path) {
  return path.size() > 12 && EqualsNoCase(path.substr(1, 11), kStoreSuffixSlash) &&
         path.find('\\', 12) == std::string::npos;
}

// Claims the stored items of the list (the rest stays as given); the ones
// that could not be claimed are left alone and reported.
std::vector<std::string> ClaimItems(std::vector<std::string> list, const std::vector<std::string>* originals,
                                    std::vector<Claimed>& claims, Report& report) {
  std::vector<std::string> stored, expected;
  for (std::size_t i = 0; i < list.size(); ++i)
    if (IsStoreItem(WithoutTrailingBackslash(list[i]))) {
      stored.push_back(WithoutTrailingBackslash(list[i]));
      expected.push_back(originals ? (*originals)[i] : std::string());
    }
  if (stored.empty()) return list;
  std::unordered_map<std::string, Claim> byGiven;
  for (auto& c : ClaimStoredItems(stored, &expected)) byGiven.emplace(c.given, std::move(c));
  std::vector<std::string> out;
  for (auto& e : list) {
    auto it = byGiven.find(WithoutTrailingBackslash(e));
    if (it == byGiven.end()) {
      out.push_back(std::move(e));
    } else if (it->second.claimed.empty()) {
      if (it->second.why.rfind("it is no longer", 0) == 0) report.Skipped(e, it->second.why);
      else report.Failed(e, it->second.why + "; it was left in place");
    } else {
      claims.push_back({e, it->second.claimed, it->second.original});
      out.push_back(it->second.claimed);
      byGiven.erase(it);  // the same item given twice is vaporized once
    }
  }
  return out;
}

// Puts back into the list what a batch left whole: a claimed item that
// nothing was opened or removed in (a file in use, a failing device) gets
// its record again, under its old name where that is still free. What was
// partly destroyed stays out of the list.
void GiveBackUntouched(const std::vector<Claimed>& claims, Report& report) {
  for (const auto& c : claims) {
    if (c.gone) continue;
    const std::string outOfList =
        "; what is left of it is " + c.claimed + ", out of the list, and goes with the next Vaporize all";
    if (c.touched) {
      report.Failed(c.given, "partly vaporized" + outOfList);
      continue;
    }
    StoreGuard guard(c.claimed[0]);
    std::string back = c.given, why = guard.Why();
    if (guard.Held()) {
      if (Exists(back) || RecordedNames(back[0]).count(ToUpper(FileNamePart(back))))
        back = StoreDirOf(back[0]) + "\\" + StoredNameAllocator().Allocate(back[0], ExtensionOf(FileNamePart(back)));
      if (c.original.empty() || AppendRecords(back[0], {{c.original, back}}, &why)) {
        if (Plat().MoveItem(c.claimed, back)) continue;
        if (!c.original.empty()) DropRecords(back[0], {back});
        why = "it could not be moved back";
      }
    }
    report.Failed(c.given, "left whole, but not put back in the list (" + why + ")" + outOfList);
  }
}

}  // namespace

namespace {

// Why an entry is never touched, whatever the caller meant; empty when it
// may be.
std::string RefusalOf(const std::string& entry, BatchEntries entries) {
  if (!HasDrivePrefix(entry)) return "not a full path on a drive";
  if (IsDriveRoot(entry)) return "a drive's root is never vaporized";
  if (IsStoreDir(entry)) return "it is the Vaporizer's own store";
  if (entries == BatchEntries::StoredItems) {
    std::string why = StoreItemProblem(entry);
    if (!why.empty()) return "not vaporized as a stored item: " + why;
  }
  return {};
}

// originals: when given, parallel to the list, the original path each
// stored item was listed with.
Report RunBatch(std::vector<std::string> list, const std::vector<std::string>* originals, BatchEntries entries,
                const ShredOptions* options) {
  Report report;
  std::vector<std::string> accepted, acceptedOriginals;
  for (std::size_t i = 0; i < list.size(); ++i) {
    std::string why = RefusalOf(list[i], entries);
    if (!why.empty()) {
      report.Failed(list[i], why);
      continue;
    }
    accepted.push_back(std::move(list[i]));
    if (originals) acceptedOriginals.push_back((*originals)[i]);
  }
  if (accepted.empty()) return report;
  if (!Ui().Ask(Question::Caution, kCautionTitle, CautionText(accepted.size()))) {
    for (const auto& item : accepted) report.Declined(item, "left in place: the caution question was answered No");
    return report;
  }
  std::vector<Claimed> claims;
  accepted = ClaimItems(std::move(accepted), originals ? &acceptedOriginals : nullptr, claims, report);
  report.Append(Batch(EffectiveSettings(options), entries == BatchEntries::StoredItems, claims).Run(std::move(accepted)));
  GiveBackUntouched(claims, report);
  PruneIndex();
  Plat().UpdateIcon();
  return report;
}

}  // namespace

Report VaporizeBatch(std::vector<std::string> list, BatchEntries entries, const ShredOptions* options) {
  return RunBatch(std::move(list), nullptr, entries, options);
}

Report VaporizeStoredItems(const std::vector<ShredItemRecord>& items, const ShredOptions* options) {
  std::vector<std::string> list, originals;
  for (const auto& i : items) {
    list.push_back(Trim(i.storedPath));
    originals.push_back(Trim(i.originalPath));
  }
  return RunBatch(std::move(list), &originals, BatchEntries::StoredItems, options);
}

namespace {

// Lists every store; a store that is there but cannot be trusted or listed
// is named in `trouble`, since its items stay.
std::vector<std::string> ListStores(Report* trouble) {
  std::vector<std::string> list;
  for (char d : GetFixedDrives()) {
    std::string dir = StoreDirOf(d);
    std::vector<DirEntry> entries;
    auto attrs = Plat().GetAttributes(dir);
    if (!attrs) {
      // Most often there is no store on this drive at all; a store whose
      // index can be read is there all the same.
      if (trouble && (Plat().ListDirectory(dir, entries) || Plat().ReadWholeFile(IndexPathOf(d))))
        trouble->Failed(dir, "the store could not be checked; its items were left");
      continue;
    }
    if (!IsRealFolder(attrs)) {
      // A store replaced by a link would lead into folders nobody sent.
      if (trouble) trouble->Failed(dir, "the store is not a folder of its own; what it holds was left");
      continue;
    }
    if (!Plat().ListDirectory(dir, entries)) {
      if (trouble) trouble->Failed(dir, "the store could not be listed; its items were left");
      continue;
    }
    for (const auto& e : entries) {
      if (e.name == "." || e.name == ".." || e.name == kIndexName || e.name == kDesktopIniName) continue;
      list.push_back(dir + "\\" + e.name);
    }
  }
  return list;
}

}  // namespace

std::vector<std::string> ListAllStoreEntries() { return ListStores(nullptr); }

Report ShredAllItems(const ShredOptions* options) {
  Report report;
  std::vector<std::string> list = ListStores(&report);
  if (list.empty()) return report;
  report.Append(VaporizeBatch(std::move(list), BatchEntries::StoredItems, options));
  return report;
}

}  // namespace vz
