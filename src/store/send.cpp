#include "store/send.h"

#include "common/text.h"
#include "common/ui.h"
#include "engine/batch.h"
#include "platform/platform.h"
#include "store/intake.h"
#include "store/store.h"

namespace vz {
namespace {

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

namespace {

// Sends the items of one request, one at a time: the stored names handed
// out and the drives whose index went bad are shared between them.
class StoreSender {
 public:
  void Send(const IntakeItem& item, Report& report);

 private:
  StoredNameAllocator names_;
  CivilTime stamp_ = SendingStamp();
  std::string brokenIndex_;  // drives whose index ends in half a record
};

void StoreSender::Send(const IntakeItem& item, Report& report) {
  const std::string& entry = item.path;
  const char d = entry[0];
  auto attributes = Plat().GetAttributes(entry);
  if (!attributes) {
    report.Failed(entry, "it does not exist");
    return;
  }
  const std::string drive = std::string(1, ToUpperChar(d)) + ":";
  if (brokenIndex_.find(ToUpperChar(d)) != std::string::npos) {
    report.Failed(entry, "the index of drive " + drive + " holds half a record that could not be removed");
    return;
  }
  auto index = Plat().OpenAppend(IndexPathOf(d));
  if (!index) {
    report.Skipped(entry, "no store on drive " + drive);
    return;
  }
  // Where this record will start: a write cut short is taken back to here.
  const std::int64_t indexSize = index->Size();
  if (indexSize < 0) {
    report.Failed(entry, "the index of drive " + drive + " could not be read");
    return;
  }
  // The stamp marks the day of sending; links and folders keep their times.
  if (!(*attributes & (kAttrReparsePoint | kAttrDirectory))) {
    if (auto f = Plat().OpenSharedWrite(entry, false)) f->SetTimes(nullptr, nullptr, &stamp_);
  }
  std::string ext = StoredExtension(entry);
  std::string stored;
  bool moved = false;
  // A name taken meanwhile by someone else makes the move fail without
  // harm; the next free number is tried then.
  for (int attempt = 0; attempt < 8 && !moved; ++attempt) {
    std::string name = names_.Allocate(d, ext);
    stored = std::string(1, d) + kStoreSuffixSlash + name;
    if (stored.size() >= kMaxPath) break;
    moved = Plat().MoveItem(entry, stored);
    if (!moved && !Exists(stored)) {
      names_.Release(d, name);
      break;
    }
  }
  if (!moved) {
    report.Failed(entry, stored.size() >= kMaxPath ? "the stored path would be too long"
                                                   : "the move into the store was refused");
    return;
  }
  const std::string record = FormatRecord(item.recordedPath, stored);
  if (!index->Append(record)) {
    index.reset();
    // Half a record would pair every later line with the wrong one, and
    // the items of those records would vanish from the user's sight.
    if (!CutTornRecord(IndexPathOf(d), indexSize, record)) brokenIndex_ += ToUpperChar(d);
    // An item must never sit in the store without the record that lets the
    // user see and restore it: put it back.
    if (Plat().MoveItem(stored, entry)) {
      names_.Release(d, FileNamePart(stored));
      report.Failed(entry, "the index could not be written; the item was left in place");
    } else {
      report.Failed(entry, "the index could not be written; the item is at " + stored);
    }
    return;
  }
  report.Done(entry, "sent", stored);
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
  Intake in = TakeIn(paths, mappedNames, Road::ByDrive);
  out.report = in.refused;

  // No store on those drives: what is sent there is destroyed at once.
  if (!in.direct.empty()) out.report.Append(VaporizeBatch(PathsOf(in.direct), BatchEntries::Paths));

  if (!in.store.empty() && (flags & kSendAskFirst) && !AskToSend(in.store, mappedNames != nullptr)) {
    for (const auto& i : in.store) out.report.Declined(i.path, "the user said No");
    in.store.clear();
  }
  StoreSender sender;
  for (const auto& item : in.store) sender.Send(item, out.report);

  if (flags & kSendRefreshIcon) Plat().UpdateIcon();
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
  return SendToStore(paths, refreshIcon ? kSendRefreshIcon : kSendQuietly);
}

}  // namespace vz
