#include "engine/walk.h"

#include <algorithm>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <unordered_set>

#include "common/dostime.h"
#include "common/text.h"
#include "common/ui.h"
#include "engine/medium_verdict.h"
#include "engine/overwrite.h"
#include "engine/receipt.h"

namespace vz {
namespace {

// The moment written on every file just before it is cut and deleted, so
// that nothing about when it was last used survives.
constexpr CivilTime kVaporizeStamp{1990, 1, 1, 12, 12, 12};
constexpr std::size_t kNone = static_cast<std::size_t>(-1);
constexpr const char* kCancelledBefore = "the batch was cancelled before it; it was left as it was";

// One thing the walk found: an item, or something inside one.
struct Entry {
  std::size_t item = 0;
  std::size_t parent = kNone;  // the folder's entry that holds it; kNone for an item
  std::string name;            // in that folder
  std::string path;            // in the system's form
  std::string label;           // in the report
  NodeInfo info;               // what it was when it was read
  std::shared_ptr<Folder> holder;  // for an item: the folder that holds it
  // For a folder: its own handle while anything in it is pending, what is
  // pending, and what keeps it.
  std::shared_ptr<Folder> open;
  std::size_t pending = 0;
  bool reached = false;   // the act went past it (folders are finished only then)
  bool blocked = false;   // something in it stays, so it stays
  bool dead = false;      // not what was read, or gone: nothing in it is touched
  bool missing = false;   // gone before the act reached it
  bool unlisted = false;  // it could not be listed, so what it holds stays
  std::optional<std::uint32_t> readOnly;  // its attributes, where read-only was taken off
  std::size_t fileIndex = kNone;          // among the files, for the progress display
};

// A file on its way through its passes. It stays open, without sharing,
// from its first pass to its delete.
struct Overwrite {
  std::size_t entry = 0;
  std::int64_t size = 0;
  bool remove = false;
  std::string warning;
  std::unique_ptr<File> file;
  NamedStreams streams;  // opened through `file` at its first pass
  std::string failure;   // why it is left in place; empty while all goes well
  bool cancelledWhole = false;  // stopped by the user before its first pass
  FileJudgement judged;
  std::string started;
  int passesDone = 0;  // passes that reached the device
  std::optional<Overwriter::Check> check;
  std::vector<ByteRange> extents;      // where its blocks lay, taken before they were handed back
  std::optional<std::string> discard;  // why handing its blocks back did not reach the device; unset: not tried
};

// A vaporized file whose blocks reach the device only by the volume trim.
struct WaitingTrim {
  std::size_t item;  // in the report
  std::string path, volume;
  std::vector<ByteRange> extents;
  bool writesElsewhere;
  Answer discards;
};

// Runs a step; the text of an error that stopped it, or empty.
template <class Step>
std::string Guarded(Step step) {
  try {
    step();
    return {};
  } catch (const std::exception& e) {
    return std::string("stopped by an error: ") + e.what();
  }
}

std::string Child(const std::string& folder, const std::string& name) { return WithTrailingBackslash(folder) + name; }

class Walker {
 public:
  Walker(const std::vector<WalkItem>& items, const WalkSettings& s, Report& report)
      : items_(items), s_(s), report_(report), overwriter_(s.fillByte), outcomes_(items.size()),
        groupFiles_(std::max<std::size_t>(Plat().FlushGroupFiles(), 1)) {}

  std::vector<WalkOutcome> Run() {
    roots_ = Plat().VolumeRoots();
    std::unordered_set<std::string> given;
    for (const auto& i : items_) given.insert(WithoutTrailingBackslash(i.path));
    std::unordered_set<std::string> seen;
    std::vector<std::size_t> inside;
    for (std::size_t i = 0; i < items_.size(); ++i) {
      const std::string key = WithoutTrailingBackslash(items_[i].path);
      // Given twice, or inside another item: it goes with that one.
      if (!seen.insert(key).second) continue;
      if (InsideAnother(key, given)) {
        inside.push_back(i);
        continue;
      }
      const std::string stopped = Guarded([&] { Collect(i); });
      if (!stopped.empty()) report_.Failed(items_[i].label, stopped);
      RaceStep("walk", items_[i].path);
    }
    if (!inside.empty()) {
      std::unordered_set<std::string> found;
      for (const auto& e : entries_) found.insert(e.path);
      for (std::size_t i : inside)
        if (!found.count(WithoutTrailingBackslash(items_[i].path))) {
          report_.Skipped(items_[i].label, "not found");
          outcomes_[i].gone = true;
        }
    }
    holders_.clear();
    if (s_.showProgress) {
      Ui().ProgressBegin(files_, s_.passes);
      Ui().ProcessMessages();
    }
    for (std::size_t k = 0; k < entries_.size(); ++k) {
      const std::string stopped = Guarded([&] { Act(k); });
      if (!stopped.empty()) {
        report_.Failed(entries_[k].label, stopped);
        entries_[k].dead = true;
        if (entries_[k].info.kind != NodeKind::Folder) Completed(k, false);
      }
    }
    RunGroup();
    TrimVolumes();
    if (s_.showProgress) Ui().ProgressEnd();
    return outcomes_;
  }

  // What the volume trims did, one line per volume, for the run's receipt.
  const std::vector<std::string>& VolumeTrims() const { return volumeTrims_; }

 private:
  static bool InsideAnother(const std::string& key, const std::unordered_set<std::string>& given) {
    for (std::string p = FolderPart(key); p.size() > 3; p = FolderPart(p)) {
      p = WithoutTrailingBackslash(p);
      if (given.count(p)) return true;
    }
    return false;
  }

  // The folder that holds an item, shared by the items it holds.
  std::shared_ptr<Folder> Holder(const std::string& folder, std::string* why) {
    auto it = holders_.find(folder);
    if (it != holders_.end()) return it->second;
    std::shared_ptr<Folder> f = Plat().OpenFolder(folder, why);
    if (f) holders_.emplace(folder, f);
    return f;
  }

  // ---- Reading: what each item holds, and what each thing in it is.

  void Collect(std::size_t i) {
    const WalkItem& item = items_[i];
    const std::string path = WithoutTrailingBackslash(item.path);
    std::string why, name;
    const std::string folder = WithoutTrailingBackslash(FolderPart(path));
    name = path.substr(path.find_last_of('\\') + 1);
    auto holder = Holder(folder.size() == 2 ? folder + "\\" : folder, &why);
    auto info = holder ? holder->Stat(name) : std::nullopt;
    if (!info) {
      if (holder ? ListedAbsent(*holder, name) : ConfirmedAbsent(path)) {
        report_.Skipped(item.label, "not found");
        outcomes_[i].gone = true;
      } else {
        report_.Failed(item.label, "it could not be read" + (why.empty() ? std::string() : ": " + why) +
                                       "; it was left in place");
      }
      return;
    }
    if (item.expected && *item.expected != info->id) {
      report_.Failed(item.label, "what is there now is not what was checked (it was replaced meanwhile); it was "
                                 "left alone");
      return;
    }
    // What is mounted on it is another place's, whatever it holds.
    if (std::string mounted = MountedItem(*info); !mounted.empty()) {
      report_.Failed(item.label, mounted + "; nothing in it was touched");
      return;
    }
    const std::size_t top = entries_.size();
    Entry e;
    e.item = i;
    e.name = name;
    e.path = path;
    e.label = item.label;
    e.info = *info;
    e.holder = holder;
    Add(std::move(e));
    if (info->kind != NodeKind::Folder) return;
    why = CollectTree(top, *holder);
    if (!why.empty()) {
      // Nothing of it is touched.
      files_ -= CountFiles(top);
      entries_.resize(top);
      report_.Failed(item.label, why + "; nothing in it was touched");
    }
  }

  std::size_t CountFiles(std::size_t from) const {
    std::size_t n = 0;
    for (std::size_t k = from; k < entries_.size(); ++k) n += entries_[k].info.kind != NodeKind::Folder;
    return n;
  }

  void Add(Entry e) {
    if (e.info.kind != NodeKind::Folder) e.fileIndex = files_++;
    if (e.parent != kNone) ++entries_[e.parent].pending;
    entries_.push_back(std::move(e));
  }

  // A folder in `in`; one that its owner may not even list or enter (mode
  // 000 on POSIX) is made usable first, through a handle on the very folder
  // that was read.
  static std::unique_ptr<Folder> OpenUsable(Folder& in, const std::string& name, const NodeInfo& read,
                                            std::string* why) {
    auto f = in.OpenFolder(name, why);
    if (f || !(read.attributes & kAttrReadOnly)) return f;
    auto node = in.OpenNode(name, why);
    auto seen = node ? node->Info() : std::nullopt;
    if (seen && seen->id == read.id && seen->kind == NodeKind::Folder &&
        node->SetAttributes(seen->attributes & ~std::uint32_t{kAttrReadOnly}))
      f = in.OpenFolder(name, why);
    return f;
  }

  // Depth first, one open folder per level; in each folder its files come
  // first, then each of its folders with what that holds. Why the item may
  // not be taken whole, or empty.
  std::string CollectTree(std::size_t top, Folder& holder) {
    std::string why;
    std::unique_ptr<Folder> first = OpenUsable(holder, entries_[top].name, entries_[top].info, &why);
    if (!first) return "it could not be opened (" + why + ")";
    auto self = first->Info();
    if (!self || self->id != entries_[top].info.id) return "it was replaced while it was read";
    const NodeInfo topInfo = *self;
    struct Level {
      std::unique_ptr<Folder> folder;
      std::size_t entry;
      std::vector<DirEntry> folders;  // still to walk
    };
    std::vector<Level> stack;
    std::string foreign;  // a mount met among the files of a folder
    auto enter = [&](std::unique_ptr<Folder> f, std::size_t entry) {
      std::vector<DirEntry> listed, folders;
      // A folder that cannot be listed keeps what it holds, and so stays.
      if (!f->List(listed)) entries_[entry].unlisted = true;
      for (auto& d : listed) {
        if (d.kind == NodeKind::Folder) {
          folders.push_back(std::move(d));
          continue;
        }
        // A file bind-mounted here is another place's file.
        if (std::string mounted = ForeignEntry(d, topInfo, roots_); !mounted.empty()) {
          foreign = mounted + " (" + Child(entries_[entry].path, d.name) + ")";
          return;
        }
        Entry e;
        e.item = entries_[top].item;
        e.parent = entry;
        e.name = d.name;
        e.path = Child(entries_[entry].path, d.name);
        e.label = Child(entries_[entry].label, d.name);
        e.info.kind = d.kind;
        e.info.id = d.id;
        e.info.size = d.size;
        e.info.attributes = d.attributes;
        e.info.links = 0;  // asked of the file itself when it is opened
        Add(std::move(e));
      }
      std::reverse(folders.begin(), folders.end());
      stack.push_back({std::move(f), entry, std::move(folders)});
    };
    enter(std::move(first), top);
    while (!stack.empty() && foreign.empty()) {
      Level& at = stack.back();
      if (at.folders.empty()) {
        stack.pop_back();
        continue;
      }
      DirEntry d = std::move(at.folders.back());
      at.folders.pop_back();
      why = ForeignEntry(d, topInfo, roots_);
      if (!why.empty()) return why + " (" + Child(entries_[at.entry].path, d.name) + ")";
      Entry e;
      e.item = entries_[top].item;
      e.parent = at.entry;
      e.name = d.name;
      e.path = Child(entries_[at.entry].path, d.name);
      e.label = Child(entries_[at.entry].label, d.name);
      e.info.kind = NodeKind::Folder;
      e.info.id = d.id;
      e.info.attributes = d.attributes;
      const std::size_t index = entries_.size();
      Add(std::move(e));
      auto sub = OpenUsable(*at.folder, d.name, entries_[index].info, &why);
      if (!sub) continue;  // the act tries again, and says why it stays
      auto info = sub->Info();
      if (!info || info->id != d.id) return "it changed while it was read (" + entries_[index].path + ")";
      enter(std::move(sub), index);
    }
    return foreign;
  }

  // ---- Acting: through the folders held open, on what was read.

  Folder* FolderOf(const Entry& e) {
    if (e.parent == kNone) return e.holder.get();
    return entries_[e.parent].open.get();
  }

  const std::string& Shown(const Entry& e) const {
    if (e.parent == kNone && !items_[e.item].shown.empty()) return items_[e.item].shown;
    return e.label;
  }

  void Touch(const Entry& e) { outcomes_[e.item].touched = true; }

  void Act(std::size_t k) {
    Entry& e = entries_[k];
    e.reached = true;
    if (e.parent != kNone && entries_[e.parent].dead) {
      e.dead = true;  // its folder's failure names it
      if (e.info.kind == NodeKind::Folder) return Finish(k);
      return Completed(k, false);
    }
    Folder* in = FolderOf(e);
    if (!in) {
      e.dead = true;
      report_.Failed(e.label, "its folder could not be opened; it was left in place");
      if (e.info.kind == NodeKind::Folder) return Finish(k);
      return Completed(k, false);
    }
    if (e.info.kind == NodeKind::Folder) return OpenFolder(k, *in);
    if (Cancelled()) {
      // Not begun: left as it was, as the user asked.
      report_.Declined(e.label, kCancelledBefore);
      return Completed(k, false);
    }
    const bool remove = s_.deleteAfter || e.parent != kNone;
    if (e.info.kind == NodeKind::File) return BeginFile(k, *in, remove);
    RemoveName(k, *in, remove, "");
  }

  void OpenFolder(std::size_t k, Folder& in) {
    Entry& e = entries_[k];
    std::string why;
    RaceStep("open", e.path);
    auto f = OpenUsable(in, e.name, e.info, &why);
    auto info = f ? f->Info() : std::nullopt;
    if (!f || !info || info->id != e.info.id) {
      e.dead = true;
      if (!f && ListedAbsent(in, e.name)) {
        e.missing = true;  // gone with all it held
      } else {
        report_.Failed(e.label, f ? "it was replaced after it was read; nothing in it was touched"
                                  : "it could not be opened (" + why + "); it was left in place");
      }
      if (e.pending == 0) Finish(k);
      return;
    }
    // A read-only folder would refuse to give up its entries or itself.
    if ((info->attributes & kAttrReadOnly) && f->SetAttributes(info->attributes & ~std::uint32_t{kAttrReadOnly}))
      e.readOnly = info->attributes;
    e.open = std::move(f);
    if (e.pending == 0) Finish(k);
  }

  // A folder whose contents are all finished: removed, or kept with them.
  void Finish(std::size_t k) {
    Entry& e = entries_[k];
    bool gone = e.missing;
    if (e.dead) {
      // Its failure was reported, or nothing of it is left.
    } else if (e.unlisted) {
      report_.Failed(e.label, "it could not be listed; it was left in place with what it holds");
    } else if (e.blocked) {
      if (cancelled_) report_.Declined(e.label, "left in place: the batch was cancelled before all it holds was vaporized");
      else report_.Skipped(e.label, "left in place: it still holds items that were not vaporized");
    } else {
      Touch(e);
      const std::string streams = overwriter_.FolderStreams(*e.open, s_.passes);
      gone = e.open->Delete();
      if (gone) {
        report_.Done(e.label, "vaporized");
        DescribeItem(e, "folder");
        report_.Warn(streams);
      } else {
        report_.Failed(e.label, FolderLeft(*e.open, e.path));
      }
    }
    if (!gone && e.open && e.readOnly) e.open->SetAttributes(*e.readOnly);
    e.open.reset();
    Completed(k, gone);
  }

  // Why a folder whose contents were all finished stays: on Windows a file
  // deleted while another program (an indexer, a virus scanner) holds it
  // open keeps its name until that program lets go, unless the system
  // takes names away at once. What it still holds is named, and who holds
  // it where the system can tell.
  static std::string FolderLeft(Folder& folder, const std::string& path) {
    std::vector<DirEntry> left;
    if (!folder.List(left) || left.empty()) {
      std::string why = folder.LastError();
      return "the folder could not be removed" + (why.empty() ? std::string() : " (" + why + ")");
    }
    const std::string first = Child(path, left.front().name);
    std::string holders = Plat().HoldersOf(first);
    std::string text = "the folder could not be removed: \"" + left.front().name + "\" in it is still held open by " +
                       (holders.empty() ? "another program" : holders);
    if (left.size() > 1) text += " (and " + std::to_string(left.size() - 1) + " more)";
    return text + "; the folder was left in place";
  }

  // Something that is done with: whether its name is gone decides whether
  // the folders above it can go.
  void Completed(std::size_t k, bool gone) {
    Entry& e = entries_[k];
    if (e.info.kind != NodeKind::Folder) {
      if (s_.showProgress) Ui().ProgressFilesDone(++filesDone_);
      Ui().ProcessMessages();
    }
    if (e.parent == kNone) {
      if (gone) outcomes_[e.item].gone = true;
      e.holder.reset();
      return;
    }
    Entry& parent = entries_[e.parent];
    if (!gone) parent.blocked = true;
    if (--parent.pending == 0 && parent.reached) Finish(e.parent);
  }

  // Links, pipes and devices, and files with other names: only this name
  // goes, never what it leads to or what the other names show.
  void RemoveName(std::size_t k, Folder& in, bool remove, const std::string& hardLinks) {
    Entry& e = entries_[k];
    const bool link = e.info.kind == NodeKind::Link;
    const std::string what = !hardLinks.empty() ? hardLinks
                             : link             ? "a link: nothing to overwrite"
                                                : "not a regular file: nothing to overwrite";
    if (!remove) {
      report_.Skipped(e.label, what + ", and deleting was not asked for");
      return Completed(k, false);
    }
    std::string why;
    RaceStep("open", e.path);
    auto node = in.OpenNode(e.name, &why);
    auto info = node ? node->Info() : std::nullopt;
    if (!info || info->id != e.info.id || info->kind != e.info.kind) {
      if (!node && ListedAbsent(in, e.name)) {
        report_.Skipped(e.label, "not found");
        return Completed(k, true);
      }
      report_.Failed(e.label, link && info && info->kind != NodeKind::Link
                                  ? "a link that this system cannot remove without touching what it points at; "
                                    "it was left in place"
                                  : "it was replaced after it was read; it was left alone");
      return Completed(k, false);
    }
    Touch(e);
    if (!DeleteNode(*node)) {
      report_.Failed(e.label, link ? "the link could not be removed" : what + ", and this name could not be removed");
      return Completed(k, false);
    }
    if (!hardLinks.empty()) report_.Skipped(e.label, "name removed; " + hardLinks);
    else if (link) report_.Done(e.label, "link removed; what it points at was left as it was");
    else report_.Done(e.label, "removed; it was no regular file, so there was nothing to overwrite");
    DescribeItem(e, link ? "link" : "file");
    Completed(k, true);
  }

  void BeginFile(std::size_t k, Folder& in, bool remove) {
    Entry& e = entries_[k];
    std::string why;
    RaceStep("open", e.path);
    // Windows refuses to open a read-only file for writing: the attribute
    // is taken off the very file that was read, and put back if it stays.
    std::optional<std::uint32_t> readOnly;
    if (e.info.attributes & kAttrReadOnly) {
      auto node = in.OpenNode(e.name, &why);
      auto info = node ? node->Info() : std::nullopt;
      if (info && info->id == e.info.id && info->kind == NodeKind::File &&
          node->SetAttributes(info->attributes & ~std::uint32_t{kAttrReadOnly}))
        readOnly = info->attributes;
    }
    auto file = in.OpenFile(e.name, s_.verify ? FileAccess::ExclusiveReadBack : FileAccess::Exclusive, &why);
    auto info = file ? file->Info() : std::nullopt;
    auto putBack = [&] {
      if (!readOnly) return;
      if (auto node = in.OpenNode(e.name, &why))
        if (auto now = node->Info(); now && now->id == e.info.id) node->SetAttributes(*readOnly);
    };
    if (!file || !info || info->id != e.info.id) {
      file.reset();
      putBack();
      if (!file && ListedAbsent(in, e.name)) {
        report_.Skipped(e.label, "not found");
        return Completed(k, true);
      }
      if (s_.showProgress) Ui().ProgressFile(e.fileIndex, Shown(e));
      report_.Failed(e.label, info ? "it was replaced after it was read; it was left alone"
                                   : "pass 1 of " + std::to_string(s_.passes) +
                                         " failed (cannot be opened for exclusive writing); the file was left in place");
      return Completed(k, false);
    }
    // Writing over content that other names still show would destroy it
    // for them too: only this name goes.
    if (info->links > 1) {
      file.reset();
      putBack();
      e.info.kind = NodeKind::File;
      return RemoveName(k, in, remove, "its content was not overwritten because other links to it exist");
    }
    Overwrite o;
    o.entry = k;
    o.size = info->size;
    o.remove = remove;
    o.judged = warnings_.Judge(e.path, s_.passes, file.get());  // before the passes touch it
    o.warning = o.judged.warning;
    o.started = UtcNow();
    o.file = std::move(file);
    if (readOnly) e.readOnly = readOnly;
    if (!group_.empty() && (group_.size() >= groupFiles_ || groupBytes_ + o.size > kFlushGroupBytes)) RunGroup();
    groupBytes_ += o.size;
    group_.push_back(std::move(o));
  }

  // Whether the user asked to stop; once asked, the answer stays.
  bool Cancelled() {
    if (!cancelled_ && Ui().Cancelled()) cancelled_ = true;
    return cancelled_;
  }

  // Stops a file before its pass `pass`: whole when that was the first.
  void Cancel(Overwrite& o, int pass) {
    o.streams.Close();
    o.failure = pass == 1 ? kCancelledBefore
                          : "the batch was cancelled after pass " + std::to_string(pass - 1) + " of " +
                                std::to_string(s_.passes) + "; the file was left in place, partly overwritten";
    o.cancelledWhole = pass == 1;
  }

  void FailPass(Overwrite& o, int pass, const std::string& why) {
    o.streams.Close();
    o.failure = "pass " + std::to_string(pass) + " of " + std::to_string(s_.passes) + " failed (" + why +
                "); the file was left in place";
  }

  // Files are overwritten in groups: pass k of every file of the group,
  // then one flush of them all, then pass k + 1. Every pass of every file
  // reaches the device before the next pass over that file starts and
  // before any file of the group is cut or deleted: what was written but
  // never flushed may still lie on the disk in full.
  void RunGroup() {
    int pass = 1;
    for (; pass <= s_.passes; ++pass) {
      if (pass > 1 && Cancelled()) break;
      std::vector<Overwrite*> written;
      std::vector<File*> toFlush, streamFlush;  // the files' own content, then their named streams
      std::int64_t bytes = 0;
      for (auto& o : group_) {
        if (!o.failure.empty()) continue;
        if (Cancelled()) {
          Cancel(o, pass);
          continue;
        }
        Entry& e = entries_[o.entry];
        if (s_.showProgress) Ui().ProgressFile(e.fileIndex, Shown(e));
        std::string stopped = Guarded([&] {
          Touch(e);
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
      for (std::size_t i = 0, next = written.size(); i < written.size(); ++i)
        next = written[i]->streams.Flushed(flushed, next);
      for (std::size_t i = 0; i < written.size(); ++i) {
        if (!flushed[i]) FailPass(*written[i], pass, kFlushFailed);
        else ++written[i]->passesDone;
      }
      if (s_.showProgress && !(cancelled_ && written.empty())) Ui().ProgressPass(pass, bytes);
    }
    // Stopped between passes: what a pass reached stays as it is now.
    if (pass <= s_.passes)
      for (auto& o : group_)
        if (o.failure.empty()) Cancel(o, pass);
    std::vector<Overwrite> group = std::move(group_);
    group_.clear();
    groupBytes_ = 0;
    for (auto& o : group) {
      Entry& e = entries_[o.entry];
      if (o.failure.empty()) {
        const std::string stopped = Guarded([&] { AfterPasses(o); });
        if (!stopped.empty()) o.failure = stopped;
      }
      o.streams.Close();  // before the file is cut and deleted
      if (!o.streams.Warning().empty()) o.warning += (o.warning.empty() ? "" : "; ") + o.streams.Warning();
      bool gone = false;
      if (o.failure.empty()) {
        if (s_.showProgress && s_.passes == 0) Ui().ProgressFile(e.fileIndex, Shown(e));
        o.failure = Guarded([&] { gone = FinishFile(o); });
      } else if (e.readOnly) {
        o.file->SetAttributes(*e.readOnly);
      }
      o.file.reset();
      if (o.cancelledWhole) {
        report_.Declined(e.label, o.failure);
      } else if (!o.failure.empty()) {
        report_.Failed(e.label, o.failure);
        report_.Describe(Described(o));
      }
      Completed(o.entry, gone);
    }
  }

  // After the passes: stamped, cut and deleted through the handle that was
  // written, or left as asked. True when its name is gone.
  bool FinishFile(Overwrite& o) {
    Entry& e = entries_[o.entry];
    if (!o.remove) {
      if (e.readOnly) o.file->SetAttributes(*e.readOnly);
      if (s_.passes > 0) {
        outcomes_[e.item].kept = true;
        report_.Done(e.label, "overwritten");
      } else {
        report_.Skipped(e.label, "no overwrite pass was asked for, and no deleting: left as it was");
      }
      report_.Warn(o.warning);
      report_.Describe(Described(o));
      return false;
    }
    Touch(e);
    if (s_.deleteAfter) {
      if (auto stamp = TruncateToDos(kVaporizeStamp)) {
        o.file->Truncate(0);
        o.file->SetTimes(&*stamp, &*stamp, &*stamp);
      }
    }
    if (!o.file->Delete()) {
      if (e.readOnly) o.file->SetAttributes(*e.readOnly);
      report_.Failed(e.label, "overwritten, but it could not be deleted");
      return false;
    }
    report_.Done(e.label, s_.passes > 0 ? "vaporized" : "deleted without an overwrite pass (0 passes)");
    report_.Warn(o.warning);
    report_.Describe(Described(o));
    const Destruction& d = *report_.Last().destruction;
    if (d.trimmed && !*d.trimmed)
      waiting_.push_back({report_.Items().size() - 1, e.path, VolumeOf(e.path) + "|" + o.judged.volumeId, o.extents,
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

  // The path a thing had before the batch: beneath a claimed stored item,
  // the item's original path.
  std::string OriginalOf(const Entry& e) const {
    const WalkItem& item = items_[e.item];
    if (item.original.empty()) return WithoutTrailingBackslash(e.path);
    const std::string top = WithoutTrailingBackslash(item.path);
    return WithoutTrailingBackslash(item.original + e.path.substr(std::min(e.path.size(), top.size())));
  }

  Destruction Described(const Overwrite& o) const {
    const Entry& e = entries_[o.entry];
    Destruction d;
    d.original = OriginalOf(e);
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
    d.volume = VolumeOf(e.path);
    d.volumeId = o.judged.volumeId;
    d.reach = ReachText(o.judged.verdict.reach);
    d.reachWhy = o.judged.verdict.why;
    d.started = o.started;
    d.finished = UtcNow();
    return d;
  }

  // Other things that went (folders, links, names of hard-linked files) in
  // the form a receipt takes them.
  void DescribeItem(const Entry& e, const char* kind) {
    Destruction d;
    d.original = OriginalOf(e);
    d.kind = kind;
    d.volume = VolumeOf(e.path);
    d.started = d.finished = UtcNow();
    report_.Describe(std::move(d));
  }

  // The deepest folder of the path that is still there: the volume's trim
  // is asked of the file system that held the file.
  static std::string StandingFolder(const std::string& path) {
    std::string f = WithoutTrailingBackslash(FolderPart(path));
    while (f.size() > 3 && !Plat().StatPath(f)) f = WithoutTrailingBackslash(FolderPart(f));
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

  const std::vector<WalkItem>& items_;
  WalkSettings s_;
  Report& report_;
  Overwriter overwriter_;
  OverwriteWarnings warnings_;
  std::vector<WalkOutcome> outcomes_;
  std::vector<std::pair<char, FileId>> roots_;
  std::vector<Entry> entries_;
  std::map<std::string, std::shared_ptr<Folder>> holders_;
  std::size_t files_ = 0, filesDone_ = 0;
  const std::size_t groupFiles_;
  std::vector<Overwrite> group_;
  std::int64_t groupBytes_ = 0;
  std::vector<WaitingTrim> waiting_;
  std::vector<std::string> volumeTrims_;
  bool cancelled_ = false;
};

}  // namespace

std::vector<WalkOutcome> WalkAndOverwrite(const std::vector<WalkItem>& items, const WalkSettings& settings,
                                          Report& report, std::vector<std::string>* volumeTrims) {
  Walker walker(items, settings, report);
  std::vector<WalkOutcome> out = walker.Run();
  if (volumeTrims) *volumeTrims = walker.VolumeTrims();
  return out;
}

}  // namespace vz
