#include "engine/emptying.h"

#include <algorithm>
#include <map>

#include "common/text.h"
#include "platform/platform.h"
#include "store/store.h"

namespace vz {
namespace {

constexpr std::uint64_t kMb = 1024 * 1024;

std::string Plural(std::int64_t n, const char* unit) {
  return ToDecimal(n) + " " + unit + (n == 1 ? "" : "s");
}

std::string AgeText(std::int64_t seconds) {
  if (seconds >= 2 * 86400) return Plural(seconds / 86400, "day");
  if (seconds >= 2 * 3600) return Plural(seconds / 3600, "hour");
  return Plural(seconds / 60, "minute");
}

// 500 MB, 1.5 MB, 300 KB, 700 bytes: sizes as the limits are given, never
// a size that is not nothing shown as 0.
std::string SizeText(std::uint64_t bytes) {
  if (bytes < 1024) return ToDecimal(static_cast<std::int64_t>(bytes)) + (bytes == 1 ? " byte" : " bytes");
  const std::uint64_t unit = bytes < kMb ? 1024 : kMb;
  std::string whole = ToDecimal(static_cast<std::int64_t>(bytes / unit));
  const std::uint64_t tenth = bytes % unit * 10 / unit;
  return whole + (tenth ? "." + ToDecimal(static_cast<std::int64_t>(tenth)) : "") + (unit == kMb ? " MB" : " KB");
}

// What a stored item takes on its drive: a file's size, or the sizes of
// every file below a folder. Links are not followed: what they lead to is
// not the store's.
std::uint64_t BytesOf(const std::string& path, const DirEntry& self) {
  if (self.attributes & kAttrReparsePoint) return 0;
  if (!(self.attributes & kAttrDirectory)) return self.size > 0 ? static_cast<std::uint64_t>(self.size) : 0;
  std::uint64_t total = 0;
  std::vector<std::string> folders{path};
  while (!folders.empty()) {
    std::string dir = std::move(folders.back());
    folders.pop_back();
    std::vector<DirEntry> entries;
    if (!Plat().ListDirectory(dir, entries)) continue;
    for (const auto& e : entries) {
      if (e.attributes & kAttrReparsePoint) continue;
      if (e.attributes & kAttrDirectory) folders.push_back(dir + "\\" + e.name);
      else if (e.size > 0) total += static_cast<std::uint64_t>(e.size);
    }
  }
  return total;
}

bool Older(const Weighed& a, const Weighed& b) {
  return SecondsBetween(*b.sent, *a.sent) < 0;
}

}  // namespace

EmptyingRule RuleOfSettings(const EmptyingSettings& s) {
  EmptyingRule r;
  if (s.afterDays) r.olderThanSeconds = std::int64_t{s.afterDays} * 86400;
  if (s.storeLimitMb) r.storeLimitBytes = std::uint64_t{s.storeLimitMb} * kMb;
  return r;
}

std::string DescribeRule(const EmptyingRule& rule) {
  std::string out;
  if (rule.olderThanSeconds) out = "older than " + AgeText(*rule.olderThanSeconds);
  if (rule.storeLimitBytes) out += (out.empty() ? "" : ", ") + std::string("each store under ") + SizeText(*rule.storeLimitBytes);
  return out.empty() ? "no rule" : out;
}

EmptyingChoice ChooseByRule(const EmptyingRule& rule, const CivilTime& now) {
  EmptyingChoice choice;
  std::map<char, std::vector<Weighed>> byDrive;  // what the age leaves, per store
  std::map<char, std::uint64_t> held;            // what each store holds in listed items
  for (StoredItem& item : ListStoredItems(PortableTypeInfo)) {
    Weighed w;
    if (auto entry = Plat().FindEntry(item.storedPath)) {
      w.sent = TruncateToDos(entry->written);  // as DateSent tells it, from the one look
      w.bytes = BytesOf(item.storedPath, *entry);
    }
    w.item = std::move(item);
    const char drive = ToUpperChar(w.item.storedPath[0]);
    held[drive] += w.bytes;
    if (w.sent && rule.olderThanSeconds) {
      std::int64_t age = SecondsBetween(*w.sent, now);
      if (age > *rule.olderThanSeconds) {
        w.why = "sent " + AgeText(age) + " ago";
        held[drive] -= w.bytes;
        choice.chosen.push_back(std::move(w));
        continue;
      }
    }
    byDrive[drive].push_back(std::move(w));
  }
  for (auto& [drive, items] : byDrive) {
    std::uint64_t left = held[drive];
    std::size_t taken = 0;
    if (rule.storeLimitBytes && left > *rule.storeLimitBytes) {
      // The dated items, oldest first; the order of the list among equals.
      std::stable_partition(items.begin(), items.end(), [](const Weighed& w) { return w.sent.has_value(); });
      auto dated = std::find_if(items.begin(), items.end(), [](const Weighed& w) { return !w.sent; });
      std::stable_sort(items.begin(), dated, Older);
      const std::string why = "among the oldest of the store of " + std::string(1, drive) + ":, which held " +
                              SizeText(left) + " (limit " + SizeText(*rule.storeLimitBytes) + ")";
      for (auto w = items.begin(); w != dated && left > *rule.storeLimitBytes; ++w, ++taken) {
        left -= w->bytes;
        w->why = why;
        choice.chosen.push_back(std::move(*w));
      }
      if (left > *rule.storeLimitBytes)
        choice.problems.Failed(StoreDirOf(drive), "it still holds " + SizeText(left) + ", over the limit of " +
                                                      SizeText(*rule.storeLimitBytes) +
                                                      ": items whose date sent is not known are kept");
    }
    choice.kept += items.size() - taken;
  }
  std::stable_sort(choice.chosen.begin(), choice.chosen.end(), Older);
  return choice;
}

Report VaporizeChosen(const EmptyingChoice& choice, const ShredOptions* options, const RunOptions* run) {
  if (choice.chosen.empty()) return {};
  std::vector<ShredItemRecord> records;
  std::vector<std::optional<CivilTime>> sent;
  for (const auto& w : choice.chosen) {
    records.push_back({w.item.originalPath, w.item.storedPath});
    sent.push_back(w.sent);
  }
  return VaporizeStoredItems(records, options, run, &sent);
}

}  // namespace vz
