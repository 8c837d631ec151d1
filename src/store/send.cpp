#include "store/send.h"

#include "common/text.h"
#include "common/ui.h"
#include "engine/batch.h"
#include "platform/platform.h"
#include "store/index_edit.h"
#include "store/store.h"

namespace vz {
namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A full path on a lettered drive: "X:\...".
bool IsDrivePath(const std::string& s) { return s.size() >= 3 && IsLetter(s[0]) && s[1] == ':' && s[2] == '\\'; }

// The drive part of a path: the letter and colon, or the server and share
// of a UNC path; empty for a relative path.
std::string DrivePart(const std::string& s) {
  if (s.size() >= 2 && s[1] == ':') return s.substr(0, 2);
  if (s.size() >= 2 && s[0] == '\\' && s[1] == '\\') {
    std::size_t server = s.find('\\', 2);
    if (server == std::string::npos) return s;
    std::size_t share = s.find('\\', server + 1);
    return s.substr(0, share);
  }
  return {};
}

// The name the stamp and the record carry: the local clock, kept as a DOS
// time would keep it.
CivilTime SendingStamp() {
  CivilTime now = Plat().LocalNow();
  return TruncateToDos(now).value_or(now);
}

// One item on its way into a store.
struct Pending {
  std::size_t slot;      // its place in the report
  std::string entry;     // the path as it is now
  std::string original;  // the path its record names
  std::string stored;    // where it goes
  bool moved = false;
};

// The next free stored path for an item: its drive letter as written, a
// number and its extension.
std::string StoredPathFor(const std::string& entry, StoredNameAllocator& names) {
  return std::string(1, entry[0]) + kStoreSuffixSlash + names.Allocate(entry[0], ExtensionOf(entry));
}

// Sends items of one drive into its store. Under the store's lock, the
// records of all of them are written and flushed first, then the items
// moved, then the records of moves that failed taken back: at no moment
// does an item sit in the store without its record, and a crash leaves
// only records whose item is absent, which the next prune drops.
void SendToDrive(char d, std::vector<Pending>& items, std::vector<Report>& slots, const CivilTime& stamp) {
  auto failAll = [&](const std::string& why) {
    for (auto& p : items) slots[p.slot].Failed(p.entry, why);
  };
  StoreGuard guard(d);
  if (!guard.Held()) return failAll(guard.Why() + "; nothing was sent from it");
  StoredNameAllocator names;
  std::vector<ShredItemRecord> records;
  for (auto& p : items) {
    p.stored = StoredPathFor(p.entry, names);
    records.push_back({p.original, p.stored});
  }
  std::string why;
  if (!AppendRecords(d, records, &why)) return failAll(why);

  std::vector<std::string> unused;
  for (auto& p : items) {
    // The stamp marks the day of sending; links and folders keep their times.
    auto attributes = Plat().GetAttributes(p.entry);
    if (attributes && !(*attributes & (kAttrReparsePoint | kAttrDirectory))) {
      if (auto f = Plat().OpenSharedWrite(p.entry, false)) f->SetTimes(nullptr, nullptr, &stamp);
    }
    p.moved = p.stored.size() < kMaxPath && Plat().MoveItem(p.entry, p.stored);
    // A name taken by something outside the Vaporizer meanwhile: the item
    // goes under the next free one, with a record of its own first.
    for (int attempt = 0; !p.moved && attempt < 8 && Exists(p.stored) && Exists(p.entry); ++attempt) {
      unused.push_back(p.stored);
      p.stored = StoredPathFor(p.entry, names);
      if (p.stored.size() >= kMaxPath || !AppendRecords(d, {{p.original, p.stored}}, &why)) break;
      p.moved = Plat().MoveItem(p.entry, p.stored);
    }
    if (p.moved) {
      slots[p.slot].Done(p.entry, "sent", p.stored);
      continue;
    }
    unused.push_back(p.stored);
    slots[p.slot].Failed(p.entry, p.stored.size() >= kMaxPath ? "the stored path would be too long"
                                                             : "the move into the store was refused");
  }
  // Records of items that did not come: dropped now, or by the next prune,
  // which finds their items absent.
  DropRecords(d, unused);
}

}  // namespace

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

SendResult SendToStore(const std::vector<std::string>& paths, const std::vector<std::string>* mappedNames,
                       bool askConfirm, bool refreshIcon) {
  SendResult out;
  if (paths.empty()) return out;
  out.result = 1;
  if (mappedNames && mappedNames->size() != paths.size()) mappedNames = nullptr;

  std::string fixed = ToUpper(GetFixedDrives());
  std::vector<std::string> storeList, storeNames, directList;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& entry = paths[i];
    std::string trimmed = Trim(entry);
    char first = entry.empty() ? '\0' : ToUpperChar(entry[0]);
    if (first && fixed.find(first) != std::string::npos && IsDrivePath(entry)) {
      if (StartsWithNoCase(entry.substr(1), kStoreSuffixSlash)) {
        out.report.Skipped(entry, "it is already in the Vaporizer");
        continue;
      }
      storeList.push_back(trimmed);
      storeNames.push_back(mappedNames ? (*mappedNames)[i] : std::string());
    } else if (Trim(DrivePart(trimmed)).size() == 2 && IsDrivePath(trimmed)) {
      directList.push_back(trimmed);
    } else {
      out.report.Skipped(entry, "not a full path on a drive");
    }
  }

  if (!directList.empty()) {
    // No store on those drives: what is sent there is destroyed at once.
    Report vaporized = VaporizeBatch(directList, false, nullptr);
    out.report.Append(vaporized);
  }

  if (!storeList.empty() && askConfirm &&
      !ConfirmSend(storeList, mappedNames ? &storeNames : nullptr)) {
    for (const auto& e : storeList) out.report.Skipped(e, "the user said No");
    storeList.clear();
  }

  CivilTime stamp = SendingStamp();
  // Every item's outcome goes to its own slot, so the report keeps the
  // order of the list however the drives are taken.
  std::vector<Report> slots(storeList.size());
  std::vector<char> drives;
  std::vector<std::vector<Pending>> byDrive;
  for (std::size_t i = 0; i < storeList.size(); ++i) {
    const std::string& entry = storeList[i];
    char d = entry[0];
    std::string original = mappedNames ? Trim(FolderPart(entry) + storeNames[i]) : entry;
    if (entry.size() >= kMaxPath || original.size() >= kMaxPath) {
      slots[i].Skipped(entry, "the path is too long to be recorded (259 characters at most)");
      continue;
    }
    std::string rest = WithoutTrailingBackslash(entry.substr(2));
    if (rest.empty()) {
      slots[i].Skipped(entry, "a drive's root cannot be sent");
      continue;
    }
    if (EqualsNoCase(WithoutTrailingBackslash(entry).substr(1), kStoreSuffix)) {
      slots[i].Skipped(entry, "it is the Vaporizer's own store");
      continue;
    }
    if (!Plat().GetAttributes(entry)) {
      slots[i].Failed(entry, "it does not exist");
      continue;
    }
    std::size_t k = 0;
    while (k < drives.size() && drives[k] != ToUpperChar(d)) ++k;
    if (k == drives.size()) {
      drives.push_back(ToUpperChar(d));
      byDrive.emplace_back();
    }
    byDrive[k].push_back({i, entry, original});
  }
  for (std::size_t k = 0; k < drives.size(); ++k) SendToDrive(byDrive[k].front().entry[0], byDrive[k], slots, stamp);
  for (const auto& r : slots) out.report.Append(r);

  if (refreshIcon) Plat().UpdateIcon();
  return out;
}

std::vector<std::string> SplitPathBuffer(const char* buffer, std::int32_t count) {
  std::vector<std::string> paths;
  if (!buffer || count <= 0) return paths;
  const std::size_t limit = static_cast<std::size_t>(count) * kMaxPath;
  std::size_t start = 0;
  for (std::size_t i = 0; i < limit; ++i) {
    if (buffer[i] != '\0') continue;
    if (i == start) break;  // an empty string ends the list
    paths.emplace_back(buffer + start, i - start);
    start = i + 1;
  }
  return paths;
}

namespace {
template <class Char>
std::vector<std::basic_string<Char>> SplitMap(const Char* data, std::size_t available, std::uint32_t count) {
  std::vector<std::basic_string<Char>> names;
  if (!data) return names;
  std::size_t limit = static_cast<std::size_t>(count) * kMaxPath;
  if (limit > available) limit = available;
  std::size_t start = 0;
  for (std::size_t i = 0; i < limit; ++i) {
    if (data[i] != 0) continue;
    if (i == start) break;
    std::basic_string<Char> name(data + start, i - start);
    if (name.back() == Char('"')) name.pop_back();
    names.push_back(std::move(name));
    start = i + 1;
  }
  return names;
}
}  // namespace

std::vector<std::string> SplitNameMap(const char* data, std::size_t bytes, std::uint32_t count) {
  return SplitMap(data, bytes, count);
}

std::vector<std::u16string> SplitNameMapWide(const char16_t* data, std::size_t units, std::uint32_t count) {
  return SplitMap(data, units, count);
}

SendResult PrepareAndSend(const char* buffer, std::int32_t count, bool refreshIcon) {
  std::vector<std::string> paths = SplitPathBuffer(buffer, count);
  EnsureStores();
  return SendToStore(paths, nullptr, false, refreshIcon);
}

}  // namespace vz
