#include "store/send.h"

#include <algorithm>

#include <map>
#include <memory>

#include "common/text.h"
#include "common/ui.h"
#include "platform/platform.h"
#include "store/index_edit.h"
#include "store/intake.h"
#include "store/own_store.h"
#include "store/store.h"

namespace vz {
namespace {

DirectVaporizer g_vaporizeDirect = nullptr;

// The name the stamp and the record carry: the local clock, kept as a DOS
// time would keep it.
CivilTime SendingStamp() {
  CivilTime now = Plat().LocalNow();
  return TruncateToDos(now).value_or(now);
}

}  // namespace

void SetDirectVaporizer(DirectVaporizer vaporize) { g_vaporizeDirect = vaporize; }

void ConfirmSendTexts(const std::vector<std::string>& paths, const std::vector<std::string>* mappedNames,
                      std::string* title, std::string* message) {
  if (paths.size() > 1) {
    *title = "Send multiple items to Vaporizer?";
    *message = "Send " + std::to_string(paths.size()) + " selected items to the Vaporizer?";
    return;
  }
  std::string name;
  if (mappedNames && !mappedNames->empty() && !Trim((*mappedNames)[0]).empty())
    name = Trim((*mappedNames)[0]);
  else if (!paths.empty())
    name = Trim(FileNamePart(paths[0]));
  if (!paths.empty() && IsDirectory(Trim(paths[0]))) {
    *title = "Confirm Folder Delete";
    *message = "Are you sure you want to remove the folder '" + name + "' and move all its contents to the Vaporizer?";
  } else {
    *title = "Send to Vaporizer?";
    *message = "Are you sure you want to send '" + name + "' to the Vaporizer?";
  }
}

bool ConfirmSend(const std::vector<std::string>& paths, const std::vector<std::string>* mappedNames) {
  std::string title, message;
  ConfirmSendTexts(paths, mappedNames, &title, &message);
  return Ui().Ask(Question::ConfirmSend, title, message);
}

namespace {

// One item on its way into a store.
struct Pending {
  std::size_t slot;  // its place in the report
  const IntakeItem* item;
  std::string stored;  // where it goes
};

// The next free stored path for an item: its drive letter as written, a
// number and its extension.
std::string StoredPathFor(const std::string& entry, StoredNameAllocator& names) {
  return StoreDirOf(entry[0]) + "\\" + names.Allocate(entry[0], StoredExtension(entry));
}

// The folders that hold the items of a send, each opened once.
class Sources {
 public:
  Folder* Of(const std::string& path, std::string* name, std::string* why) {
    std::string p = WithoutTrailingBackslash(path);
    std::size_t cut = p.find_last_of('\\');
    *name = p.substr(cut + 1);
    std::string folder = cut <= 2 ? p.substr(0, 3) : p.substr(0, cut);
    auto it = open_.find(folder);
    if (it == open_.end()) it = open_.emplace(folder, Plat().OpenFolder(folder, why)).first;
    if (!it->second) *why = "its folder cannot be opened: " + (why->empty() ? folder : *why);
    return it->second.get();
  }

 private:
  std::map<std::string, std::unique_ptr<Folder>> open_;
};

// What may not be sent of what an item's name holds now; empty when it may.
std::string Unsendable(Folder& from, const std::string& name, const IntakeItem& item, Node& node,
                       std::optional<NodeInfo>& info) {
  info = node.Info();
  if (!info) return "it cannot be read";
  if (!item.id || info->id != *item.id) return "it was replaced after it was checked; it was not sent";
  if (std::string mounted = MountedItem(*info); !mounted.empty()) return mounted + "; it was not sent";
  if (info->kind != NodeKind::Folder) return {};
  // A folder that holds another drive's root would take that drive's store
  // into this one's.
  std::string why;
  auto folder = from.OpenFolder(name, &why);
  if (!folder) return "it cannot be opened (" + why + ")";
  why = ForeignInside(*folder);
  return why.empty() ? why : why + "; it was not sent";
}

// Sends the items of one drive into its store. Under the store's lock the
// records of all of them are written and flushed first, then the items
// moved, then the records of moves that failed taken back: at no moment
// does an item sit in the store without its record, and a crash leaves at
// most records whose items are absent, which the next prune drops.
void SendToDrive(std::vector<Pending>& items, std::vector<Report>& slots, const CivilTime& stamp) {
  const char d = items.front().item->path[0];
  auto failAll = [&](const std::string& why) {
    for (auto& p : items) slots[p.slot].Failed(p.item->path, why);
  };
  // A store that may not be used says why, rather than only that it could
  // not be locked.
  if (std::string refused = StoreRefusal(d); !refused.empty()) return failAll(refused + "; nothing was sent to it");
  StoreGuard guard(d);
  if (!guard.Held()) return failAll(guard.Why() + "; nothing was sent from it");
  std::string why;
  auto store = OpenStore(d, &why);
  if (!store) return failAll(why + "; nothing was sent to it");
  RemoveStoreTemporaries(*store);
  StoredNameAllocator names;
  std::vector<ShredItemRecord> records;
  for (auto& p : items) {
    p.stored = StoredPathFor(p.item->path, names);
    records.push_back({p.item->recordedPath, p.stored});
  }
  if (!AppendRecords(d, records, &why)) return failAll(why);

  Sources sources;
  std::vector<std::string> unused;
  for (auto& p : items) {
    const std::string& entry = p.item->path;
    auto tooLong = [](const std::string& stored) { return SystemLength(stored) > kMaxRecordedPath; };
    std::string name, refusal;
    Folder* from = sources.Of(entry, &name, &refusal);
    auto node = from ? from->OpenNode(name, &refusal) : nullptr;
    std::optional<NodeInfo> info;
    if (node) refusal = Unsendable(*from, name, *p.item, *node, info);
    else if (from && refusal.empty()) refusal = "it cannot be opened";
    bool moved = false;
    if (refusal.empty() && !tooLong(p.stored)) {
      RaceStep("send", entry);
      moved = node->MoveTo(*store, FileNamePart(p.stored));
      // A name taken by something outside the Vaporizer meanwhile: the item
      // goes under the next free one, with a record of its own first.
      for (int attempt = 0; !moved && attempt < 8 && store->Stat(FileNamePart(p.stored)); ++attempt) {
        unused.push_back(p.stored);
        p.stored = StoredPathFor(entry, names);
        if (tooLong(p.stored) || !AppendRecords(d, {{p.item->recordedPath, p.stored}}, &why)) break;
        moved = node->MoveTo(*store, FileNamePart(p.stored));
      }
    }
    // What went in must be what was checked: a thing swapped in at the last
    // moment (the name then held it) goes back where it came from.
    if (moved) {
      auto there = store->Stat(FileNamePart(p.stored));
      if (!there || there->id != info->id) {
        auto stranger = store->OpenNode(FileNamePart(p.stored), &why);
        const bool back = stranger && stranger->MoveTo(*from, name);
        unused.push_back(p.stored);
        slots[p.slot].Failed(entry, "it was replaced while it was sent; what took its place was " +
                                        std::string(back ? "put back" : "left in the store, as a leftover"));
        continue;
      }
    }
    if (moved) {
      // The stamp marks the day of sending, which the folder shows and the
      // emptying by age counts from, on what went in: files, read-only ones
      // included, and folders (not what they hold); links keep their times.
      // The handle that moved it is let go first: on Windows it would share
      // the file with no writer.
      // Its own times are kept beside it first, for its restore.
      if (info->kind != NodeKind::Link) node->KeepOwnTimes();
      node.reset();
      if (info->kind != NodeKind::Link)
        if (auto now = store->Stat(FileNamePart(p.stored)); now && now->id == info->id)
          Plat().SetWriteTime(p.stored, stamp);
      slots[p.slot].Done(entry, "sent", p.stored);
      continue;
    }
    unused.push_back(p.stored);
    const std::string said = node ? node->LastError() : std::string();
    slots[p.slot].Failed(entry, !refusal.empty()     ? refusal
                                : tooLong(p.stored) ? "the stored path would be too long"
                                : !said.empty()     ? "the move into the store was refused: " + said
                                                    : "the move into the store was refused");
  }
  // Records of items that did not come: dropped now, or by the next prune,
  // which finds their items absent.
  DropRecords(d, unused);
}

// The confirm-send question on what goes to the store, under the names
// their records will carry.
bool AskToSend(const std::vector<IntakeItem>& items, bool mapped) {
  std::vector<std::string> names;
  if (mapped)
    for (const auto& i : items) names.push_back(FileNamePart(i.recordedPath));
  return ConfirmSend(PathsOf(items), mapped ? &names : nullptr);
}

}  // namespace

SendResult SendToStore(const std::vector<std::string>& paths, unsigned flags,
                       const std::vector<std::string>* mappedNames) {
  SendResult out;
  if (paths.empty()) return out;
  out.result = 1;
  Intake in = TakeIn(paths, mappedNames, Road::ByDrive, (flags & kSendListed) ? PathOrigin::Listed : PathOrigin::Typed);
  out.report = in.refused;

  // No store on those drives: what is sent there is destroyed at once, after
  // the caution question, which says why where the system tells it.
  if (!in.direct.empty()) {
    std::string why;
    for (const auto& i : in.direct)
      if (!i.noStore.empty() && why.find(i.noStore) == std::string::npos) why += (why.empty() ? "" : "\r") + i.noStore;
    if (g_vaporizeDirect) {
      out.report.Append(g_vaporizeDirect(in.direct, why));
    } else {
      for (const auto& i : in.direct)
        out.report.Failed(i.path, "it lies on a drive without a store, and nothing here can vaporize it");
    }
  }

  if (!in.store.empty() && (flags & kSendAskFirst) && !AskToSend(in.store, mappedNames != nullptr)) {
    for (const auto& i : in.store) out.report.Declined(i.path, "the user said No");
    in.store.clear();
  }
  for (const auto& i : in.store) RaceStep("question", i.path);
  // Every item's outcome goes to its own slot, so the report keeps the
  // order of the list however the drives are taken.
  const CivilTime stamp = SendingStamp();
  std::vector<Report> slots(in.store.size());
  std::vector<char> drives;
  std::vector<std::vector<Pending>> byDrive;
  for (std::size_t i = 0; i < in.store.size(); ++i) {
    const IntakeItem& item = in.store[i];
    if (!item.id) {
      slots[i].Failed(item.path, "it does not exist");
      continue;
    }
    std::size_t k = 0;
    while (k < drives.size() && drives[k] != ToUpperChar(item.path[0])) ++k;
    if (k == drives.size()) {
      drives.push_back(ToUpperChar(item.path[0]));
      byDrive.emplace_back();
    }
    byDrive[k].push_back({i, &item, {}});
  }
  for (auto& group : byDrive) SendToDrive(group, slots, stamp);
  for (const auto& r : slots) out.report.Append(r);

  if (flags & kSendRefreshIcon) Plat().UpdateIcon();
  return out;
}

namespace {

// count x per, or the largest size where that does not fit.
std::size_t Bound(std::uint64_t count, std::size_t per) {
  const std::uint64_t most = static_cast<std::size_t>(-1);
  return count > most / per ? static_cast<std::size_t>(most) : static_cast<std::size_t>(count * per);
}

// NUL-ended strings up to an empty one, never reading past `limit` units;
// one that the limit cuts is left out.
template <class Char>
std::vector<std::basic_string<Char>> SplitNulList(const Char* data, std::size_t limit) {
  std::vector<std::basic_string<Char>> items;
  if (!data) return items;
  std::size_t start = 0;
  for (std::size_t i = 0; i < limit; ++i) {
    if (data[i] != 0) continue;
    if (i == start) break;  // an empty string ends the list
    items.emplace_back(data + start, i - start);
    start = i + 1;
  }
  return items;
}

template <class Char>
std::vector<std::basic_string<Char>> SplitMap(const Char* data, std::size_t available, std::uint32_t count) {
  auto names = SplitNulList(data, std::min(Bound(count, kMaxPath), available));
  for (auto& name : names)
    if (name.back() == Char('"')) name.pop_back();
  return names;
}

}  // namespace

std::vector<std::string> SplitPathBuffer(const char* buffer, std::int32_t count) {
  if (count <= 0) return {};
  return SplitNulList(buffer, Bound(static_cast<std::uint64_t>(count), kMaxPath));
}

std::vector<std::u16string> SplitPathBufferWide(const char16_t* buffer, std::int32_t count) {
  if (count <= 0) return {};
  return SplitNulList(buffer, Bound(static_cast<std::uint64_t>(count), kMaxLongPath));
}

std::vector<std::string> SplitNameMap(const char* data, std::size_t bytes, std::uint32_t count) {
  return SplitMap(data, bytes, count);
}

std::vector<std::u16string> SplitNameMapWide(const char16_t* data, std::size_t units, std::uint32_t count) {
  return SplitMap(data, units, count);
}

SendResult PrepareAndSend(const char* buffer, std::int32_t count, bool refreshIcon) {
  // The buffer speaks the system's code page.
  std::vector<std::string> paths;
  for (const auto& p : SplitPathBuffer(buffer, count)) paths.push_back(Plat().FromCodePage(p));
  return PrepareAndSend(paths, refreshIcon);
}

SendResult PrepareAndSend(const std::vector<std::string>& paths, bool refreshIcon) {
  EnsureStores();
  return SendToStore(paths, refreshIcon ? kSendRefreshIcon : kSendQuietly);
}

}  // namespace vz
