#include "engine/batch.h"

#include <algorithm>
#include <exception>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "common/dostime.h"
#include "common/drive_path.h"
#include "common/text.h"
#include "common/ui.h"
#include "engine/collect.h"
#include "engine/medium_verdict.h"
#include "engine/overwrite.h"
#include "engine/receipt.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "store/index_edit.h"
#include "store/store.h"

namespace vz {
namespace {

constexpr const char* kCautionTitle = "Please use caution";
constexpr const char* kCancelledBefore = "the batch was cancelled before it; it was left as it was";

// The moment written on every file just before it is cut and deleted, so
// that nothing about when it was last used survives.
constexpr CivilTime kVaporizeStamp{1990, 1, 1, 12, 12, 12};

std::string CautionText(std::size_t count, const std::string& why) {
  return (why.empty() ? std::string() : why + "\r\r") +
         "Caution: You are about to vaporize one or more items.\r\r"
         "Once items are vaporized, there is no way to restore them.\r\r"
         "Are you completely sure that you want to permanently delete " +
         ToDecimal(static_cast<std::int64_t>(count)) + " item(s) ?";
}

struct Effective {
  int passes = 1;
  bool deleteAfter = true;
  std::uint8_t fillByte = 0;
  bool showProgress = true;
  bool verify = false;
  bool trimVolume = true;
  std::vector<std::string> receipts;  // files the run's receipt goes to
  std::string receiptTrouble;         // why the settings' own receipt file cannot be had
  std::string command;
  std::vector<std::string> problems;  // settings that could not be used as stored
};

Effective EffectiveSettings(const ShredOptions* options, const RunOptions* run) {
  Effective e;
  const DestructionSettings d = ReadDestructionSettings().values;
  e.verify = run && run->verify ? *run->verify : d.verify;
  e.trimVolume = d.trimVolume;
  e.command = run ? run->command : "vaporize";
  if (run) e.receipts = run->receipts;
  if (d.keepReceipts) {
    std::string own = DefaultReceiptPath(&e.receiptTrouble);
    if (!own.empty()) e.receipts.push_back(own);
  }
  if (options) {
    e.passes = options->Passes;
    e.deleteAfter = options->DeleteAfter != 0;
    e.fillByte = options->FillByte;
    e.showProgress = options->ShowProgress != 0;
    return e;
  }
  BatchSettings b = ReadBatchSettings();
  e.passes = b.passes;
  e.showProgress = b.showProgress;
  e.problems = std::move(b.problems);
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
  bool kept = false;     // the item itself was overwritten completely and left in place, as asked
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
    if (lookUp) shown_ = DisplayTexts(files_);
    // A claimed item's record is gone; its original path came with the
    // claim, and what has none is shown under the name it was given by.
    for (std::size_t i = 0; lookUp && i < files_.size(); ++i)
      if (Claimed* c = ClaimOf(files_[i]))
        shown_[i] = EqualsNoCase(c->claimed, files_[i]) && !c->original.empty() ? ToUpper(c->original)
                                                                               : Label(files_[i]);

    if (s_.showProgress) {
      Ui().ProgressBegin(files_.size(), s_.passes);
      Ui().ProcessMessages();
    }
    // Files are overwritten in groups: pass k of every file of the group,
    // then one flush of them all, then pass k + 1. The group is bounded so
    // that open handles stay few and a large file does not wait for many
    // small ones, or they for it.
    std::vector<Overwrite> group;
    std::int64_t groupBytes = 0;
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (Cancelled()) {
        // Not begun: left as it was, as the user asked.
        report_.Declined(Label(files_[i]), kCancelledBefore);
        Finished(i, false);
        continue;
      }
      std::optional<Overwrite> o;
      bool gone = false;
      const std::string stopped = Guarded([&] { o = Begin(i, gone); });
      if (!stopped.empty()) report_.Failed(Label(files_[i]), stopped);
      if (!o) {
        if (s_.showProgress) Ui().ProgressFile(i, Shown(i));
        Finished(i, gone);
        continue;
      }
      if (!group.empty() && (group.size() >= kFlushGroupFiles || groupBytes + o->size > kFlushGroupBytes)) {
        RunGroup(group);
        groupBytes = 0;
      }
      groupBytes += o->size;
      group.push_back(std::move(*o));
    }
    RunGroup(group);
    RemoveFolders();
    TrimVolumes();
    if (s_.showProgress) Ui().ProgressEnd();
    return report_;
  }

  // What the volume trims did, one line per volume, for the run's receipt.
  const std::vector<std::string>& VolumeTrims() const { return volumeTrims_; }

 private:
  // A file on its way through its passes. It stays open, without sharing,
  // from its first pass to its last flush.
  struct Overwrite {
    std::size_t index = 0;  // in files_
    std::int64_t size = 0;
    std::uint32_t attributes = 0;
    bool remove = false;
    std::string warning;
    std::unique_ptr<File> file;
    NamedStreams streams;  // opened through `file` at its first pass
    std::string failure;  // why it is left in place; empty while all goes well
    bool cancelledWhole = false;  // stopped by the user before its first pass
    FileJudgement judged;
    std::string started;
    int passesDone = 0;   // passes that reached the device
    std::optional<Overwriter::Check> check;
    std::vector<ByteRange> extents;      // where its blocks lay, taken before they were handed back
    std::optional<std::string> discard;  // why handing its blocks back did not reach the device; unset: not tried
  };

  // A vaporized file whose blocks reach the device only by the volume trim.
  struct WaitingTrim {
    std::size_t item;  // in report_
    std::string path, volume;
    std::int64_t size;
    std::vector<ByteRange> extents;
    bool writesElsewhere;
    Answer discards;
  };

  // Runs a step; the text of an error that stopped it, or empty.
  template <class Step>
  static std::string Guarded(Step step) {
    try {
      step();
      return {};
    } catch (const std::exception& e) {
      return std::string("stopped by an error: ") + e.what();
    }
  }

  const std::string& Shown(std::size_t i) const { return shown_.empty() ? files_[i] : shown_[i]; }

  void Finished(std::size_t i, bool gone) {
    if (!gone) BlockParents(files_[i]);
    if (s_.showProgress) Ui().ProgressFilesDone(++filesDone_);
    Ui().ProcessMessages();
  }

  // Whether the user asked to stop; once asked, the answer stays.
  bool Cancelled() {
    if (!cancelled_ && Ui().Cancelled()) cancelled_ = true;
    return cancelled_;
  }

  // Stops a file before its pass `pass`: whole when that was the first.
  void Cancel(Overwrite& o, int pass) {
    o.streams.Close();
    o.file.reset();
    o.failure = pass == 1 ? kCancelledBefore
                          : "the batch was cancelled after pass " + std::to_string(pass - 1) + " of " +
                                std::to_string(s_.passes) + "; the file was left in place, partly overwritten";
    o.cancelledWhole = pass == 1;
  }

  void FailPass(Overwrite& o, int pass, const std::string& why) {
    o.streams.Close();
    o.file.reset();
    o.failure = "pass " + std::to_string(pass) + " of " + std::to_string(s_.passes) + " failed (" + why +
                "); the file was left in place";
  }

  // Every pass of every file reaches the device before the next pass over
  // that file starts and before any file of the group is cut or deleted:
  // what was written but never flushed may still lie on the disk in full.
  void RunGroup(std::vector<Overwrite>& group) {
    int pass = 1;
    for (; pass <= s_.passes; ++pass) {
      if (pass > 1 && Cancelled()) break;
      std::vector<Overwrite*> written;
      std::vector<File*> toFlush, streamFlush;  // the files' own content, then their named streams
      std::int64_t bytes = 0;
      for (auto& o : group) {
        if (!o.failure.empty()) continue;
        if (Cancelled()) {
          Cancel(o, pass);
          continue;
        }
        const std::string& path = files_[o.index];
        if (s_.showProgress) Ui().ProgressFile(o.index, Shown(o.index));
        std::string stopped = Guarded([&] {
          std::string why;
          if (!o.file && !(o.file = overwriter_.Open(path, &why, s_.verify))) return FailPass(o, pass, why);
          Touch(path);
          PassResult r = overwriter_.Write(*o.file);
          if (!r.ok) return FailPass(o, pass, r.error);
          written.push_back(&o);
          toFlush.push_back(o.file.get());
          bytes += r.bytesWritten;
          if (pass == 1) o.streams.Open(*o.file);
          bytes += o.streams.Write(overwriter_, streamFlush);
        });
        if (!stopped.empty()) FailPass(o, pass, stopped);
        Ui().ProcessMessages();
      }
      toFlush.insert(toFlush.end(), streamFlush.begin(), streamFlush.end());
      std::vector<bool> flushed = Plat().FlushFiles(toFlush);
      for (std::size_t k = 0, next = written.size(); k < written.size(); ++k)
        next = written[k]->streams.Flushed(flushed, next);
      for (std::size_t k = 0; k < written.size(); ++k) {
        if (!flushed[k]) FailPass(*written[k], pass, kFlushFailed);
        else ++written[k]->passesDone;
      }
      if (s_.showProgress && !(cancelled_ && written.empty())) Ui().ProgressPass(pass, bytes);
    }
    // Stopped between passes: what a pass reached stays as it is now.
    if (pass <= s_.passes)
      for (auto& o : group)
        if (o.failure.empty()) Cancel(o, pass);
    for (auto& o : group) {
      if (o.failure.empty() && o.file) {
        const std::string stopped = Guarded([&] { AfterPasses(o); });
        if (!stopped.empty()) o.failure = stopped;
      }
      o.streams.Close();
      o.file.reset();  // closed before it is stamped, cut and deleted
      if (!o.streams.Warning().empty()) o.warning += (o.warning.empty() ? "" : "; ") + o.streams.Warning();
      bool gone = false;
      if (o.failure.empty()) {
        if (s_.showProgress && s_.passes == 0) Ui().ProgressFile(o.index, Shown(o.index));
        o.failure = Guarded([&] { gone = Finish(o); });
      } else {
        if (o.attributes & kAttrReadOnly) Plat().SetAttributes(files_[o.index], o.attributes);
      }
      if (o.cancelledWhole) {
        report_.Declined(Label(files_[o.index]), o.failure);
      } else if (!o.failure.empty()) {
        report_.Failed(Label(files_[o.index]), o.failure);
        report_.Describe(Described(o));
      }
      Finished(o.index, gone);
    }
    group.clear();
  }

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
    auto it = claimIndex_.find(ToUpper(StoredItemOf(path)));
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

  // Everything a file needs before its passes. A file that needs none (a
  // link, a name with other hard links, one that is missing) is handled
  // here: *gone then says whether nothing unvaporized is left under its name.
  std::optional<Overwrite> Begin(std::size_t i, bool& gone) {
    const std::string& path = files_[i];
    auto entry = Plat().FindEntry(path);
    if (!entry) {
      if (Plat().GetAttributes(path)) {
        report_.Failed(Label(path), "its directory entry could not be read; it was left in place");
        return std::nullopt;
      }
      report_.Skipped(Label(path), "not found");
      gone = true;
      return std::nullopt;
    }
    const bool beneath = BeneathFolder(path);
    const bool remove = s_.deleteAfter || beneath;
    if (entry->attributes & kAttrReparsePoint) {
      // Only the link goes; what it points at was never given.
      gone = true;
      if (!remove) {
        report_.Skipped(Label(path), "a link: nothing to overwrite, and deleting was not asked for");
        return std::nullopt;
      }
      Touch(path);
      if (Plat().RemoveLink(path)) {
        Removed(path);
        report_.Done(Label(path), "link removed; what it points at was left as it was");
        DescribeItem(path, "link");
        return std::nullopt;
      }
      report_.Failed(Label(path), "the link could not be removed");
      gone = false;
      return std::nullopt;
    }
    if (entry->attributes & kAttrDirectory) {
      report_.Failed(Label(path), "a folder where a file was listed");
      return std::nullopt;
    }
    if (Plat().LinkCount(path) > 1) {
      gone = RemoveHardLinkedName(path, entry->attributes, remove);
      return std::nullopt;
    }

    Overwrite o;
    o.index = i;
    o.size = entry->size;
    o.attributes = entry->attributes;
    o.remove = remove;
    o.judged = warnings_.Judge(path, s_.passes);  // before the passes fill any holes
    o.warning = o.judged.warning;
    o.started = UtcNow();
    if (o.attributes & kAttrReadOnly) Plat().SetAttributes(path, o.attributes & ~kAttrReadOnly);
    return o;
  }

  // After the passes: stamped, cut and deleted, or left as asked. True when
  // nothing unvaporized is left under its name.
  bool Finish(Overwrite& o) {
    const std::string& path = files_[o.index];
    if (!o.remove) {
      if (s_.passes > 0) {
        if (Claimed* c = ClaimOf(path); c && EqualsNoCase(c->claimed, path)) c->kept = true;
        report_.Done(Label(path), "overwritten");
      } else {
        report_.Skipped(Label(path), "no overwrite pass was asked for, and no deleting: left as it was");
      }
      report_.Warn(o.warning);
      report_.Describe(Described(o));
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
    report_.Warn(o.warning);
    report_.Describe(Described(o));
    const Destruction& d = *report_.Last().destruction;
    if (d.trimmed && !*d.trimmed)
      waiting_.push_back({report_.Items().size() - 1, path, VolumeOf(path) + "|" + o.judged.volumeId, o.size, o.extents,
                          o.judged.verdict.writesElsewhere, o.judged.discards});
    return true;
  }

  // After the last pass has reached the device: read back where asked,
  // then the blocks handed back, unless the file is kept.
  void AfterPasses(Overwrite& o) {
    if (s_.verify) {
      o.check = overwriter_.Verify(*o.file);
      if (o.check->read && !o.check->same) {
        o.failure = "read back from the device, it is not what was written (" + o.check->text +
                    "); the file was left in place";
        return;
      }
    }
    if (!o.remove) return;
    if (o.size == 0) {
      o.discard = "";  // no blocks to hand back
      return;
    }
    // Where the blocks lay matters only to a trim of the volume afterwards.
    const bool onFree = o.judged.discardOnFree == Answer::Yes;
    if (!onFree) o.extents = o.file->Extents();
    o.discard = o.file->Discard();
    // A file system that passes freed blocks on does so for the delete
    // that follows, whether or not it could punch a hole first.
    if (onFree && !o.discard->empty() && o.judged.discards != Answer::No) o.discard = "";
  }

  static std::string VolumeOf(const std::string& path) { return ToUpper(path.substr(0, 2)); }

  // The path an item had before the batch: the original path of a claimed
  // stored item (with what lies beneath it), else the path itself.
  std::string OriginalOf(const std::string& path) const {
    const Claimed* c = ClaimOf(path);
    if (!c) return WithoutTrailingBackslash(path);
    const std::string base = c->original.empty() ? c->given : c->original;
    return WithoutTrailingBackslash(base + path.substr(std::min(path.size(), c->claimed.size())));
  }

  Destruction Described(const Overwrite& o) const {
    const std::string& path = files_[o.index];
    Destruction d;
    d.original = OriginalOf(path);
    d.size = o.size;
    d.passes = o.passesDone;
    d.fill = s_.fillByte;
    d.flushed = s_.passes > 0 && o.passesDone == s_.passes;
    if (o.check) {
      d.verified = o.check->same;
      d.verify = o.check->text;
    } else if (s_.verify) {
      d.verify = "not read back: the passes did not all reach the device";
    }
    if (o.discard) {
      d.trimmed = o.discard->empty();
      d.trim = o.discard->empty() ? (o.size == 0 ? "trimmed (it had no blocks)" : "trimmed") : *o.discard;
    }
    d.volume = VolumeOf(path);
    d.volumeId = o.judged.volumeId;
    d.reach = ReachText(o.judged.verdict.reach);
    d.reachWhy = o.judged.verdict.why;
    d.started = o.started;
    d.finished = UtcNow();
    return d;
  }

  // Other items (folders, links, names of hard-linked files) in the form a
  // receipt takes them.
  void DescribeItem(const std::string& path, const char* kind) {
    Destruction d;
    d.original = OriginalOf(path);
    d.kind = kind;
    d.volume = VolumeOf(path);
    d.started = d.finished = UtcNow();
    report_.Describe(std::move(d));
  }

  // The deepest folder of the path that is still there: the volume's trim
  // is asked of the file system that held the file.
  static std::string StandingFolder(const std::string& path) {
    std::string f = WithoutTrailingBackslash(FolderPart(path));
    while (f.size() > 3 && !DirectoryExists(f)) f = WithoutTrailingBackslash(FolderPart(f));
    return f.size() <= 2 ? WithTrailingBackslash(f) : f;
  }

  // Files whose freed blocks did not reach the device reach it by a trim
  // of their volume: of all its free space where the file system wrote the
  // new data elsewhere (or does not say where the blocks lay), else of the
  // ranges they held.
  void TrimVolumes() {
    std::map<std::string, std::vector<const WaitingTrim*>> byVolume;
    for (const auto& w : waiting_) byVolume[w.volume].push_back(&w);
    for (const auto& [volume, files] : byVolume) {
      bool whole = false;
      std::vector<ByteRange> ranges;
      for (const WaitingTrim* w : files) {
        whole = whole || w->writesElsewhere || w->extents.empty();
        ranges.insert(ranges.end(), w->extents.begin(), w->extents.end());
      }
      std::string why;
      if (!s_.trimVolume) why = "the volume trim is off in the settings";
      else if (files.front()->discards == Answer::No) why = "the device takes no discards";
      else why = Plat().TrimVolume(StandingFolder(files.front()->path), whole ? std::vector<ByteRange>{} : Merged(ranges));
      const std::string drive = volume.substr(0, 2);
      volumeTrims_.push_back(drive + (why.empty() ? std::string(whole ? " free space trimmed" : " freed ranges trimmed")
                                                  : " not trimmed: " + why));
      for (const WaitingTrim* w : files) {
        Destruction& d = *report_.MutableItems()[w->item].destruction;
        d.trimmed = why.empty();
        d.trim = why.empty() ? std::string("trimmed by the volume trim (") + (whole ? "its free space" : "the freed ranges") + ")"
                             : d.trim + "; " + why;
      }
    }
  }

  // Ranges in order, those close together joined: the trim passes over
  // what lies between them, which it leaves alone unless it is free.
  static std::vector<ByteRange> Merged(std::vector<ByteRange> r) {
    constexpr std::int64_t kJoin = std::int64_t{64} << 20;
    std::sort(r.begin(), r.end(), [](const ByteRange& a, const ByteRange& b) { return a.offset < b.offset; });
    std::vector<ByteRange> out;
    for (const auto& x : r) {
      if (!out.empty() && x.offset <= out.back().offset + out.back().length + kJoin)
        out.back().length = std::max(out.back().length, x.offset + x.length - out.back().offset);
      else
        out.push_back(x);
    }
    return out;
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
    DescribeItem(path, "file");
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
        if (cancelled_) report_.Declined(name, "left in place: the batch was cancelled before all it holds was vaporized");
        else report_.Skipped(name, "left in place: it still holds items that were not vaporized");
        RestoreReadOnly(i);
        continue;
      }
      Touch(folder);
      const std::string streams = overwriter_.FolderStreams(WithoutTrailingBackslash(folder), s_.passes);
      if (Plat().RemoveEmptyDirectory(WithoutTrailingBackslash(folder))) {
        Removed(folder);
        report_.Done(name, "vaporized");
        DescribeItem(folder, "folder");
        report_.Warn(streams);
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
  std::vector<std::string> shown_;  // what the progress display shows for each file, when looked up
  std::size_t filesDone_ = 0;
  bool cancelled_ = false;
  std::vector<bool> blocked_;
  std::unordered_map<std::string, std::size_t> folderIndex_;
  std::unordered_map<std::string, std::string> labels_;  // as used here -> as the caller wrote it
  std::unordered_map<std::size_t, std::uint32_t> readOnlyFolders_;
  std::vector<Claimed>& claims_;
  std::unordered_map<std::string, std::size_t> claimIndex_;  // upper-case claimed path -> claim
  std::vector<WaitingTrim> waiting_;
  std::vector<std::string> volumeTrims_;
};

// What a list showed of its stored items, parallel to the batch's entries:
// the original paths, and the dates sent where they were weighed (or none).
struct Listed {
  std::vector<std::string> originals;
  std::vector<std::optional<CivilTime>> sent;
};

// A full path of one item directly inside this account's store.
bool IsStoreItem(const std::string& path) { return !StoredNameOf(path).empty(); }

// Claims the stored items of the list (the rest stays as given); the ones
// that could not be claimed are left alone and reported.
std::vector<std::string> ClaimItems(std::vector<std::string> list, const Listed* listed, std::vector<Claimed>& claims,
                                    Report& report) {
  std::vector<std::string> stored, expected;
  std::vector<std::optional<CivilTime>> sent;
  for (std::size_t i = 0; i < list.size(); ++i)
    if (IsStoreItem(WithoutTrailingBackslash(list[i]))) {
      stored.push_back(WithoutTrailingBackslash(list[i]));
      expected.push_back(listed ? listed->originals[i] : std::string());
      sent.push_back(listed && !listed->sent.empty() ? listed->sent[i] : std::nullopt);
    }
  if (stored.empty()) return list;
  std::unordered_map<std::string, Claim> byGiven;
  for (auto& c : ClaimStoredItems(stored, &expected, &sent)) byGiven.emplace(c.given, std::move(c));
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
// nothing was opened or removed in (a file in use, a failing device), or a
// file overwritten completely and kept as asked, gets its record again,
// under its old name where that is still free. What was partly destroyed
// stays out of the list.
void GiveBackUntouched(const std::vector<Claimed>& claims, Report& report) {
  // Why each claim stays out of the list; empty for the ones that go back.
  std::vector<std::string> out(claims.size());
  std::map<char, std::vector<std::size_t>> byDrive;
  for (std::size_t i = 0; i < claims.size(); ++i) {
    const Claimed& c = claims[i];
    if (c.gone) continue;
    if (c.touched && !c.kept) out[i] = "partly vaporized";
    else byDrive[ToUpperChar(c.claimed[0])].push_back(i);
  }
  // One lock, one reading and one extension of each index for all of them:
  // a batch that gives back thousands of items stays linear.
  for (const auto& [drive, which] : byDrive) {
    StoreGuard guard(drive);
    std::string why = guard.Why();
    std::vector<std::string> back;
    std::vector<ShredItemRecord> records;
    if (guard.Held()) {
      const std::set<std::string> recorded = RecordedNames(drive);
      std::set<std::string> wanted;  // old names, each kept for its own item
      for (std::size_t i : which) wanted.insert(ToUpper(FileNamePart(claims[i].given)));
      StoredNameAllocator names;
      for (std::size_t i : which) {
        const Claimed& c = claims[i];
        std::string to = c.given;
        if (Exists(to) || recorded.count(ToUpper(FileNamePart(to)))) {
          std::string name;
          do name = names.Allocate(c.given[0], ExtensionOf(FileNamePart(c.given)));
          while (wanted.count(ToUpper(name)));
          to = StoreDirOf(c.given[0]) + "\\" + name;
        }
        back.push_back(to);
        if (!c.original.empty()) records.push_back({c.original, to});
      }
    }
    if (!guard.Held() || (!records.empty() && !AppendRecords(drive, records, &why))) {
      for (std::size_t i : which) out[i] = "left whole, but not put back in the list (" + why + ")";
      continue;
    }
    std::vector<std::string> unmoved;
    for (std::size_t k = 0; k < which.size(); ++k) {
      const Claimed& c = claims[which[k]];
      if (Plat().MoveItem(c.claimed, back[k])) continue;
      if (!c.original.empty()) unmoved.push_back(back[k]);
      out[which[k]] = "left whole, but not put back in the list (it could not be moved back)";
    }
    DropRecords(drive, unmoved);
  }
  for (std::size_t i = 0; i < claims.size(); ++i)
    if (!out[i].empty())
      report.Failed(claims[i].given, out[i] + "; what is left of it is " + claims[i].claimed +
                                         ", out of the list, and goes with the next Vaporize all");
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

// listed: when given, parallel to the list, what each stored item was
// listed with.
Report RunBatch(std::vector<std::string> list, const Listed* listed, BatchEntries entries,
                const ShredOptions* options, const RunOptions* run) {
  Report report;
  std::vector<std::string> accepted;
  Listed acceptedListed;
  for (std::size_t i = 0; i < list.size(); ++i) {
    std::string refusal = RefusalOf(list[i], entries);
    if (!refusal.empty()) {
      report.Failed(list[i], refusal);
      continue;
    }
    accepted.push_back(std::move(list[i]));
    if (listed) acceptedListed.originals.push_back(listed->originals[i]);
    if (listed && !listed->sent.empty()) acceptedListed.sent.push_back(listed->sent[i]);
  }
  if (accepted.empty()) return report;
  if (!Ui().Ask(Question::Caution, kCautionTitle, CautionText(accepted.size(), run ? run->cautionWhy : std::string()))) {
    for (const auto& item : accepted) report.Declined(item, "left in place: the caution question was answered No");
    return report;
  }
  ReceiptRun receipt;
  receipt.started = UtcNow();
  const Effective settings = EffectiveSettings(options, run);
  std::vector<Claimed> claims;
  accepted = ClaimItems(std::move(accepted), listed ? &acceptedListed : nullptr, claims, report);
  for (const auto& p : settings.problems) report.Note(p);
  Batch batch(settings, entries == BatchEntries::StoredItems, claims);
  report.Append(batch.Run(std::move(accepted)));
  GiveBackUntouched(claims, report);
  PruneIndex();
  Plat().UpdateIcon();
  receipt.command = settings.command;
  receipt.passes = settings.passes;
  receipt.fill = settings.fillByte;
  receipt.verify = settings.verify;
  receipt.volumeTrims = batch.VolumeTrims();
  receipt.finished = UtcNow();
  Report items = report;
  if (!settings.receiptTrouble.empty())
    report.Failed("(the receipt)", "the receipt the settings ask for could not be kept: " + settings.receiptTrouble);
  for (const auto& file : settings.receipts) {
    std::string why;
    if (!WriteReceipt(file, items, receipt, &why)) report.Failed(file, "the receipt could not be written: " + why);
  }
  return report;
}

}  // namespace

Report VaporizeBatch(std::vector<std::string> list, BatchEntries entries, const ShredOptions* options,
                     const RunOptions* run) {
  return RunBatch(std::move(list), nullptr, entries, options, run);
}

Report VaporizeStoredItems(const std::vector<ShredItemRecord>& items, const ShredOptions* options,
                           const RunOptions* run, const std::vector<std::optional<CivilTime>>* sentDates) {
  std::vector<std::string> list;
  Listed listed;
  for (std::size_t i = 0; i < items.size(); ++i) {
    list.push_back(Trim(items[i].storedPath));
    listed.originals.push_back(Trim(items[i].originalPath));
    if (sentDates) listed.sent.push_back((*sentDates)[i]);
  }
  return RunBatch(std::move(list), &listed, BatchEntries::StoredItems, options, run);
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

Report ShredAllItems(const ShredOptions* options, const RunOptions* run) {
  Report report;
  std::vector<std::string> list = ListStores(&report);
  if (list.empty()) return report;
  report.Append(VaporizeBatch(std::move(list), BatchEntries::StoredItems, options, run));
  return report;
}

}  // namespace vz
