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
bool CutBack(const std::string& index, std::int64_t size) {
  auto text = Plat().ReadWholeFile(index);
  if (!text) return false;
  const auto before = static_cast<std::size_t>(size);
  if (text->size() <= before) return text->size() == before;
  return Plat().ReplaceFileContents(index, text->substr(0, before));
}

}  // namespace

bool RepairIndexTail(char drive) { return RepairIndexTailAt(IndexPathOf(drive)); }

bool RepairIndexTailAt(const std::string& index) {
  auto text = Plat().ReadWholeFile(index);
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
  return Plat().ReplaceFileContents(index, text->substr(0, end));
}

bool AppendRecords(char drive, const std::vector<ShredItemRecord>& records, std::string* why) {
  const std::string index = IndexPathOf(drive);
  *why = StoreProblem(drive);
  if (!why->empty()) return false;
  if (!RepairIndexTail(drive)) {
    *why = "the index of drive " + DriveName(drive) + " could not be read or repaired";
    return false;
  }
  auto file = Plat().OpenAppend(index);
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
  if (!CutBack(index, size)) *why += ", and it now ends in half a record";
  return false;
}

bool DropRecords(char drive, const std::vector<std::string>& storedPaths) {
  if (storedPaths.empty()) return true;
  if (!StoreProblem(drive).empty()) return false;
  const std::string index = IndexPathOf(drive);
  auto text = Plat().ReadWholeFile(index);
  if (!text) return false;
  std::unordered_set<std::string> drop;
  for (const auto& p : storedPaths) drop.insert(ToUpper(Trim(p)));
  std::string kept;
  for (const auto& r : ParseIndex(drive, *text, Plat().IndexLetter(drive))) {
    if (!r.storedPath.empty() && drop.count(ToUpper(r.storedPath))) continue;
    for (const auto& line : r.lines) kept += line + "\r\n";
  }
  return kept == *text || Plat().ReplaceFileContents(index, kept);
}

std::set<std::string> RecordedNames(char drive) {
  std::set<std::string> names;
  if (!StoreProblem(drive).empty()) return names;
  if (auto text = Plat().ReadWholeFile(IndexPathOf(drive)))
    for (const auto& line : SplitLines(*text)) {
      std::string name = StoredNameIn(line, drive);
      if (!name.empty()) names.insert(ToUpper(name));
    }
  return names;
}

std::vector<Claim> ClaimStoredItems(const std::vector<std::string>& storedPaths,
                                    const std::vector<std::string>* originals,
                                    const std::vector<std::optional<CivilTime>>* sentDates) {
  std::vector<Claim> claims(storedPaths.size());
  std::map<char, std::vector<std::size_t>> byDrive;
  for (std::size_t i = 0; i < storedPaths.size(); ++i) {
    claims[i].given = storedPaths[i];
    byDrive[ToUpperChar(storedPaths[i].empty() ? '?' : storedPaths[i][0])].push_back(i);
  }
  for (const auto& [drive, indexes] : byDrive) {
    StoreGuard guard(drive);
    if (!guard.Held()) {
      for (std::size_t i : indexes) claims[i].why = guard.Why();
      continue;
    }
    std::multimap<std::string, std::string> recorded;  // upper-case stored path -> original paths
    if (auto records = ReadIndex(drive))
      for (const auto& r : *records)
        if (r.Sound()) recorded.emplace(ToUpper(r.storedPath), r.originalPath);
    StoredNameAllocator names;
    std::vector<std::string> claimed;
    for (std::size_t i : indexes) {
      Claim& c = claims[i];
      auto [from, to] = recorded.equal_range(ToUpper(c.given));
      const std::string* expected = originals && !(*originals)[i].empty() ? &(*originals)[i] : nullptr;
      for (auto r = from; r != to; ++r)
        if (c.original.empty() || (expected && r->second == *expected)) c.original = r->second;
      const std::optional<CivilTime>* sent = sentDates && (*sentDates)[i] ? &(*sentDates)[i] : nullptr;
      if ((expected && c.original != *expected) || (sent && DateSent(c.given) != **sent)) {
        c.original.clear();
        c.why = "it is no longer in the Vaporizer (restored or vaporized meanwhile)";
        continue;
      }
      const std::string ext = ExtensionOf(FileNamePart(c.given));
      for (int attempt = 0; attempt < 8; ++attempt) {
        std::string to = StoreDirOf(c.given[0]) + "\\" + names.Allocate(c.given[0], ext);
        if (Plat().MoveItem(c.given, to)) {
          c.claimed = to;
          break;
        }
        if (!Exists(to)) break;  // not a name taken meanwhile: the item itself is held
      }
      if (c.claimed.empty() && !Exists(c.given))
        c.why = "it is no longer in the Vaporizer (restored or vaporized meanwhile)";
      else if (c.claimed.empty())
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
