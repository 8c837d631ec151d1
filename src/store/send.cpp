#include "store/send.h"

#include "common/text.h"
#include "common/ui.h"
#include "engine/batch.h"
#include "platform/platform.h"
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

// Takes back the part of `record` that a failed append left at the end of
// the index, which was `size` bytes long before. Only our own bytes are cut:
// when anything else follows them, the index is left alone and false says
// that it still ends badly.
bool CutTornRecord(const std::string& indexPath, std::int64_t size, const std::string& record) {
  auto text = Plat().ReadWholeFile(indexPath);
  if (!text) return false;
  const auto before = static_cast<std::size_t>(size);
  if (text->size() <= before) return text->size() == before;
  std::string tail = text->substr(before);
  if (tail.size() > record.size() || record.compare(0, tail.size(), tail) != 0) return false;
  return Plat().ReplaceFileContents(indexPath, text->substr(0, before));
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
    for (const auto& e : storeList) out.report.Declined(e, "the user said No");
    storeList.clear();
  }

  StoredNameAllocator names;
  CivilTime stamp = SendingStamp();
  std::string brokenIndex;  // drives whose index ends in half a record
  for (std::size_t i = 0; i < storeList.size(); ++i) {
    const std::string& entry = storeList[i];
    char d = entry[0];
    std::string original = mappedNames ? Trim(FolderPart(entry) + storeNames[i]) : entry;
    if (entry.size() >= kMaxPath || original.size() >= kMaxPath) {
      out.report.Skipped(entry, "the path is too long to be recorded (259 characters at most)");
      continue;
    }
    std::string rest = WithoutTrailingBackslash(entry.substr(2));
    if (rest.empty()) {
      out.report.Skipped(entry, "a drive's root cannot be sent");
      continue;
    }
    if (EqualsNoCase(WithoutTrailingBackslash(entry).substr(1), kStoreSuffix)) {
      out.report.Skipped(entry, "it is the Vaporizer's own store");
      continue;
    }
    auto attributes = Plat().GetAttributes(entry);
    if (!attributes) {
      out.report.Failed(entry, "it does not exist");
      continue;
    }
    const std::string drive = std::string(1, ToUpperChar(d)) + ":";
    if (brokenIndex.find(ToUpperChar(d)) != std::string::npos) {
      out.report.Failed(entry, "the index of drive " + drive + " holds half a record that could not be removed");
      continue;
    }
    auto index = Plat().OpenAppend(IndexPathOf(d));
    if (!index) {
      out.report.Skipped(entry, "no store on drive " + drive);
      continue;
    }
    // Where this record will start: a write cut short is taken back to here.
    const std::int64_t indexSize = index->Size();
    if (indexSize < 0) {
      out.report.Failed(entry, "the index of drive " + drive + " could not be read");
      continue;
    }
    // The stamp marks the day of sending; links and folders keep their times.
    if (!(*attributes & (kAttrReparsePoint | kAttrDirectory))) {
      if (auto f = Plat().OpenSharedWrite(entry, false)) f->SetTimes(nullptr, nullptr, &stamp);
    }
    std::string ext = ExtensionOf(entry);
    std::string stored;
    bool moved = false;
    // A name taken meanwhile by someone else makes the move fail without
    // harm; the next free number is tried then.
    for (int attempt = 0; attempt < 8 && !moved; ++attempt) {
      std::string name = names.Allocate(d, ext);
      stored = std::string(1, d) + kStoreSuffixSlash + name;
      if (stored.size() >= kMaxPath) break;
      moved = Plat().MoveItem(entry, stored);
      if (!moved && !Exists(stored)) {
        names.Release(d, name);
        break;
      }
    }
    if (!moved) {
      out.report.Failed(entry, stored.size() >= kMaxPath ? "the stored path would be too long"
                                                          : "the move into the store was refused");
      continue;
    }
    const std::string record = FormatRecord({original, stored});
    if (!index->Append(record)) {
      index.reset();
      // Half a record would pair every later line with the wrong one, and
      // the items of those records would vanish from the user's sight.
      if (!CutTornRecord(IndexPathOf(d), indexSize, record)) brokenIndex += ToUpperChar(d);
      // An item must never sit in the store without the record that lets the
      // user see and restore it: put it back.
      if (Plat().MoveItem(stored, entry)) {
        names.Release(d, FileNamePart(stored));
        out.report.Failed(entry, "the index could not be written; the item was left in place");
      } else
        out.report.Failed(entry, "the index could not be written; the item is at " + stored);
      continue;
    }
    out.report.Done(entry, "sent", stored);
  }

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
