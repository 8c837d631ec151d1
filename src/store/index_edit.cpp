#include "store/index_edit.h"

#include <map>
#include <unordered_set>

#include "common/text.h"
#include "platform/platform.h"
#include "store/own_store.h"

namespace vz {
namespace {

std::string DriveName(char drive) { return std::string(1, ToUpperChar(drive)) + ":"; }

// The stored name a line gives for this drive's store, or empty.
std::string StoredNameIn(const std::string& line, char drive) {
  std::string t = Relettered(Trim(IndexLineText(line)), Plat().IndexLetter(drive), drive);
  if (!StoreItemProblem(t, drive).empty()) return {};
  return FileNamePart(t);
}

// Cuts the index back to `size` bytes, where a write of ours began.
bool CutBack(Folder& store, std::int64_t size) {
  auto text = ReadFileIn(store, kIndexName, kMaxIndexBytes);
  if (!text) return false;
  const auto before = static_cast<std::size_t>(size);
  if (text->size() <= before) return text->size() == before;
  return ReplaceFileIn(store, kIndexName, text->substr(0, before));
}

bool RepairTail(Folder& store) {
  auto text = ReadFileIn(store, kIndexName, kMaxIndexBytes);
  if (!text) return false;
  std::size_t end = text->size();
  // A last line without its end was cut short.
  while (end > 0 && (*text)[end - 1] != '\n' && (*text)[end - 1] != '\r') --end;
  // A record always ends with its stored path: an original path after the
  // last one is half a record.
  for (;;) {
    std::size_t lineEnd = end;
    while (lineEnd > 0 && ((*text)[lineEnd - 1] == '\n' || (*text)[lineEnd - 1] == '\r')) --lineEnd;
    std::size_t lineStart = lineEnd;
    while (lineStart > 0 && (*text)[lineStart - 1] != '\n' && (*text)[lineStart - 1] != '\r') --lineStart;
    std::string line = Trim(IndexLineText(text->substr(lineStart, lineEnd - lineStart)));
    if (lineEnd == 0 || IsStoreOrInside(line)) break;
    if (!line.empty()) {
      end = lineStart;
      break;
    }
    end = lineStart;  // blank lines at the end go with it
  }
  if (end == text->size()) return true;
  return ReplaceFileIn(store, kIndexName, text->substr(0, end));
}

}  // namespace

bool RepairIndexTail(char drive) {
  auto store = OpenStore(drive);
  return store && RepairTail(*store);
}

bool RepairIndexTailAt(const std::string& index) {
  std::string name, why;
  auto folder = OpenParent(index, &name, &why);
  return folder && EqualsNoCase(name, kIndexName) && RepairTail(*folder);
}

bool AppendRecords(char drive, const std::vector<ShredItemRecord>& records, std::string* why) {
  std::string problem;
  auto store = OpenStore(drive, &problem);
  if (!store) {
    // No store at all, or one that may not be used: nothing is written.
    *why = Plat().StatPath(StoreDirOf(drive)) ? problem : "no store on drive " + DriveName(drive);
    return false;
  }
  if (!RepairTail(*store)) {
    *why = "the index of drive " + DriveName(drive) + " could not be read or repaired";
    return false;
  }
  auto file = store->OpenFile(kIndexName, FileAccess::Append, &problem);
  if (!file) {
    *why = "no store on drive " + DriveName(drive);
    return false;
  }
  const std::int64_t size = file->Size();
  if (size < 0) {
    *why = "the index of drive " + DriveName(drive) + " could not be read";
    return false;
  }
  // Under the letter the index speaks, whatever the drive is called now.
  const char letter = Plat().IndexLetter(drive);
  std::string text;
  for (const auto& r : records) {
    if (r.lines.empty())
      text += FormatRecord(Relettered(r.originalPath, drive, letter), Relettered(r.storedPath, drive, letter));
    for (const auto& line : r.lines) text += line + "\r\n";
  }
  // Flushed before anything is moved: the record must outlive a power cut
  // that the move survives.
  if (file->Append(text) && file->Flush()) return true;
  file.reset();
  *why = "the index of drive " + DriveName(drive) + " could not be written";
  if (!CutBack(*store, size)) *why += ", and it now ends in half a record";
  return false;
}

bool DropRecords(char drive, const std::vector<std::string>& storedPaths) {
  if (storedPaths.empty()) return true;
  auto store = OpenStore(drive);
  auto text = store ? ReadFileIn(*store, kIndexName, kMaxIndexBytes) : std::nullopt;
  if (!text) return false;
  std::unordered_set<std::string> drop;
  for (const auto& p : storedPaths) drop.insert(ToUpper(Trim(p)));
  std::string kept;
  for (const auto& r : ParseIndex(drive, *text, Plat().IndexLetter(drive))) {
    if (!r.storedPath.empty() && drop.count(ToUpper(r.storedPath))) continue;
    for (const auto& line : r.lines) kept += line + "\r\n";
  }
  return kept == *text || ReplaceFileIn(*store, kIndexName, kept);
}

std::set<std::string> RecordedNames(char drive) {
  std::set<std::string> names;
  auto store = OpenStore(drive);
  if (auto text = store ? ReadFileIn(*store, kIndexName, kMaxIndexBytes) : std::nullopt)
    for (const auto& line : SplitLines(*text)) {
      std::string name = StoredNameIn(line, drive);
      if (!name.empty()) names.insert(ToUpper(name));
    }
  return names;
}

std::vector<Claim> ClaimStoredItems(const std::vector<std::string>& storedPaths,
                                    const std::vector<std::string>* originals,
                                    const std::vector<std::optional<FileId>>* ids,
                                    const std::vector<std::optional<CivilTime>>* sentDates) {
  std::vector<Claim> claims(storedPaths.size());
  std::map<char, std::vector<std::size_t>> byDrive;
  for (std::size_t i = 0; i < storedPaths.size(); ++i) {
    claims[i].given = storedPaths[i];
    byDrive[ToUpperChar(storedPaths[i].empty() ? '?' : storedPaths[i][0])].push_back(i);
  }
  for (const auto& [drive, indexes] : byDrive) {
    StoreGuard guard(drive);
    // The dates sent are read before the store is held open: Wine opens a
    // folder to list it without sharing its deletion, which the store's own
    // handle (it may delete) refuses while it is held.
    std::map<std::size_t, std::optional<CivilTime>> dated;
    if (sentDates && guard.Held())
      for (std::size_t i : indexes)
        if ((*sentDates)[i]) dated[i] = DateSent(claims[i].given);
    std::string why;
    auto store = guard.Held() ? OpenStore(drive, &why) : nullptr;
    if (!store) {
      for (std::size_t i : indexes) claims[i].why = guard.Held() ? why : guard.Why();
      continue;
    }
    std::multimap<std::string, std::string> recorded;  // upper-case stored path -> original paths
    if (auto text = ReadFileIn(*store, kIndexName, kMaxIndexBytes))
      for (const auto& r : ParseIndex(drive, *text, Plat().IndexLetter(drive)))
        if (r.Sound()) recorded.emplace(ToUpper(r.storedPath), r.originalPath);
    std::vector<std::string> claimed;
    for (std::size_t i : indexes) {
      Claim& c = claims[i];
      auto [from, to] = recorded.equal_range(ToUpper(c.given));
      const std::string* expected = originals && !(*originals)[i].empty() ? &(*originals)[i] : nullptr;
      for (auto r = from; r != to; ++r)
        if (c.original.empty() || (expected && r->second == *expected)) c.original = r->second;
      auto sent = dated.find(i);
      if ((expected && c.original != *expected) || (sent != dated.end() && sent->second != (*sentDates)[i])) {
        c.original.clear();
        c.why = "it is no longer in the Vaporizer (restored or vaporized meanwhile)";
        continue;
      }
      const std::string own = StoreDirOf(c.given[0]) + "\\";
      const std::string name = c.given.size() > own.size() && StartsWithNoCase(c.given, own) ? c.given.substr(own.size()) : "";
      auto node = name.empty() ? nullptr : store->OpenNode(name, &why);
      auto info = node ? node->Info() : std::nullopt;
      if (!info) {
        c.why = "it is no longer in the Vaporizer (restored or vaporized meanwhile)";
        continue;
      }
      const std::optional<FileId>* chosen = ids ? &(*ids)[i] : nullptr;
      if (chosen && *chosen && **chosen != info->id) {
        c.why = "what is stored under its name now is not what was chosen (it was replaced meanwhile)";
        continue;
      }
      c.id = info->id;
      // What a vaporize took out of the list before is out of it already.
      const std::string dir = StoreDirOf(c.given[0]) + "\\";
      const bool clean = StoreItemProblem(dir + kClaimMark + name, drive).empty();
      if (name[0] == kClaimMark && c.original.empty() && clean) {
        c.claimed = c.given;
        continue;
      }
      // A name that no path can carry gets one that a path can.
      const std::string base = clean ? name : std::string(1, ToUpperChar(drive));
      for (int attempt = 1; attempt <= 8 && c.claimed.empty(); ++attempt) {
        std::string to = kClaimMark + base + (attempt > 1 ? "~" + std::to_string(attempt) : "");
        if (node->MoveTo(*store, to)) c.claimed = dir + to;
        else if (!store->Stat(to)) break;  // not a name taken meanwhile: the item itself is held
      }
      if (c.claimed.empty())
        c.why = "it could not be taken out of the list before vaporizing (is it open in another program?)";
      else
        claimed.push_back(c.given);
    }
    // A record left behind names nothing now; the next prune drops it.
    DropRecords(drive, claimed);
  }
  return claims;
}

}  // namespace vz
