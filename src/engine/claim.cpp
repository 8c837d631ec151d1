#include "engine/claim.h"

#include <map>
#include <set>
#include <unordered_map>

#include "common/text.h"
#include "platform/platform.h"
#include "store/index_edit.h"
#include "store/store.h"

namespace vz {
namespace {

// A full path of one item directly inside this account's store.
bool IsStoreItem(const std::string& path) { return !StoredNameOf(path).empty(); }

}  // namespace

std::vector<std::string> ClaimItems(std::vector<std::string> list, const std::vector<std::string>* originals,
                                    const std::vector<std::optional<FileId>>& ids,
                                    const std::vector<std::optional<CivilTime>>* sentDates,
                                    std::vector<Claimed>& claims, Report& report) {
  std::vector<std::string> stored, expected;
  std::vector<std::optional<FileId>> chosen;
  std::vector<std::optional<CivilTime>> sent;
  for (std::size_t i = 0; i < list.size(); ++i)
    if (IsStoreItem(WithoutTrailingBackslash(list[i]))) {
      stored.push_back(WithoutTrailingBackslash(list[i]));
      expected.push_back(originals ? (*originals)[i] : std::string());
      chosen.push_back(ids[i]);
      sent.push_back(sentDates ? (*sentDates)[i] : std::nullopt);
    }
  if (stored.empty()) return list;
  std::unordered_map<std::string, Claim> byGiven;
  for (auto& c : ClaimStoredItems(stored, &expected, &chosen, &sent)) byGiven.emplace(c.given, std::move(c));
  std::vector<std::string> out;
  for (auto& e : list) {
    auto it = byGiven.find(WithoutTrailingBackslash(e));
    if (it == byGiven.end()) {
      out.push_back(std::move(e));
    } else if (it->second.claimed.empty()) {
      if (it->second.why.rfind("it is no longer", 0) == 0) report.Skipped(e, it->second.why);
      else report.Failed(e, it->second.why + "; it was left in place");
    } else {
      claims.push_back({e, it->second.claimed, it->second.original, it->second.id, {}});
      out.push_back(it->second.claimed);
      byGiven.erase(it);  // the same item given twice is vaporized once
    }
  }
  return out;
}

void GiveBackUntouched(const std::vector<Claimed>& claims, Report& report) {
  // Why each claim stays out of the list; empty for the ones that go back.
  std::vector<std::string> out(claims.size());
  std::map<char, std::vector<std::size_t>> byDrive;
  for (std::size_t i = 0; i < claims.size(); ++i) {
    const Claimed& c = claims[i];
    // Gone, or a leftover taken as it was: nothing to give back.
    if (c.outcome.gone || c.claimed == c.given) continue;
    if (c.outcome.touched && !c.outcome.kept) out[i] = "partly vaporized";
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
                                         ", listed as a leftover, and goes with the next Vaporize all");
}

}  // namespace vz
