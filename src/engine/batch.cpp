// The batch: the caution question, the claim of stored items, the walk
// that destroys (engine/walk.h), the stored items it left whole given back,
// and one prune at the end. The report names every item as its caller did.
#include "engine/batch.h"

#include <algorithm>
#include <unordered_map>

#include "common/drive_path.h"
#include "common/text.h"
#include "common/ui.h"
#include "engine/claim.h"
#include "engine/receipt.h"
#include "engine/receipt_log.h"
#include "settings/policy.h"
#include "engine/walk.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "store/own_store.h"
#include "store/store.h"

namespace vz {
namespace {

constexpr const char* kCautionTitle = "Please use caution";
constexpr const char* kCancelledBefore = "the batch was cancelled before it; it was left as it was";

std::string CautionText(std::size_t count, const std::string& why) {
  return (why.empty() ? std::string() : why + "\r\r") +
         "Caution: You are about to vaporize one or more items.\r\r"
         "Once items are vaporized, there is no way to restore them.\r\r"
         "Are you completely sure that you want to permanently delete " +
         ToDecimal(static_cast<std::int64_t>(count)) + " item(s) ?";
}

// Where a run's receipt goes, and what names the run in it.
struct ReceiptSettings {
  std::vector<std::string> files;  // the run's own, then the settings' own
  std::string trouble;             // why the settings' own receipt file cannot be had
  std::string command;
  bool log = false, logNames = false;  // the system's log, and the items named there
};

// problems: the settings that could not be used as stored.
WalkSettings EffectiveSettings(const ShredOptions* options, const RunOptions* run, std::vector<std::string>& problems,
                               ReceiptSettings& receipts) {
  WalkSettings e;
  const DestructionView view = ReadDestructionSettings();
  const DestructionSettings& d = view.values;
  // The machine policy wins over the run's own choice as over the settings.
  e.verify = run && run->verify && view.policy[0].empty() ? *run->verify : d.verify;
  e.trimVolume = d.trimVolume;
  receipts.command = run ? run->command : "vaporize";
  if (run) receipts.files = run->receipts;
  if (d.keepReceipts) {
    std::string own = DefaultReceiptPath(&receipts.trouble);
    if (!own.empty()) receipts.files.push_back(own);
  }
  const Policy policy = ReadMachinePolicy();
  receipts.log = d.logReceipts;
  const PolicyValue* names = policy.Find("LogNames");
  receipts.logNames = names && names->value;
  if (options) {
    e.passes = options->Passes;
    e.deleteAfter = options->DeleteAfter != 0;
    e.fillByte = options->FillByte;
    e.showProgress = options->ShowProgress != 0;
    if (const PolicyValue* floor = policy.Find("MinimumPasses"); floor && static_cast<std::uint32_t>(e.passes) < floor->value)
      e.passes = static_cast<decltype(e.passes)>(floor->value);
    problems = policy.warnings;
  } else {
    BatchSettings b = ReadBatchSettings();
    e.passes = b.passes;
    e.showProgress = b.showProgress;
    problems = std::move(b.problems);
  }
  if (const PolicyValue* fill = policy.Find("FillByte")) e.fillByte = static_cast<decltype(e.fillByte)>(fill->value);
  return e;
}

// The original path of each stored item as the sound records of the index
// files name it, in upper case, by upper-case stored path.
std::unordered_map<std::string, std::string> OriginalsByStoredPath() {
  std::unordered_map<std::string, std::string> originals;
  for (char d : GetFixedDrives())
    if (auto records = ReadIndex(d))
      for (const auto& r : *records)
        if (r.Sound()) originals.emplace(ToUpper(r.storedPath), ToUpper(r.originalPath));  // keeps the first
  return originals;
}

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

struct Entry {
  std::string path;
  std::optional<FileId> expected;
  std::string original;  // the original path a stored item was listed with
  std::optional<CivilTime> sent;  // the date sent it was listed with, where weighed
};

// run: null for the settings alone.
Report RunBatch(std::vector<Entry> list, bool withOriginals, BatchEntries kind, const ShredOptions* options,
                const RunOptions* run) {
  Report report;
  std::vector<Entry> accepted;
  for (auto& e : list) {
    std::string why = RefusalOf(e.path, kind);
    if (!why.empty()) report.Failed(e.path, why);
    else accepted.push_back(std::move(e));
  }
  if (accepted.empty()) return report;
  // What the user is asked about is what is acted on: an entry that holds
  // something else once the answer comes is left alone.
  for (auto& e : accepted)
    if (!e.expected)
      e.expected = Plat().IdentityOf(e.path);
  if (!Ui().Ask(Question::Caution, kCautionTitle, CautionText(accepted.size(), run ? run->cautionWhy : std::string()))) {
    for (const auto& e : accepted) report.Declined(e.path, "left in place: the caution question was answered No");
    return report;
  }
  for (const auto& e : accepted) RaceStep("question", e.path);
  ReceiptRun receipt;
  receipt.started = UtcNow();
  // Stored items leave the list before anything is done to them.
  std::vector<std::string> paths, originals;
  std::vector<std::optional<FileId>> ids;
  std::vector<std::optional<CivilTime>> sent;
  std::unordered_map<std::string, std::optional<FileId>> expected;
  for (const auto& e : accepted) {
    paths.push_back(e.path);
    originals.push_back(e.original);
    ids.push_back(e.expected);
    sent.push_back(e.sent);
    expected.emplace(e.path, e.expected);
  }
  std::vector<Claimed> claims;
  paths = ClaimItems(std::move(paths), withOriginals ? &originals : nullptr, ids, withOriginals ? &sent : nullptr, claims, report);
  std::unordered_map<std::string, std::size_t> claimOf;
  for (std::size_t i = 0; i < claims.size(); ++i) claimOf.emplace(claims[i].claimed, i);

  std::vector<std::string> problems;
  ReceiptSettings receipts;
  const WalkSettings settings = EffectiveSettings(options, run, problems, receipts);
  for (auto& p : problems) report.Note(std::move(p));
  const bool lookUp = kind == BatchEntries::StoredItems && settings.showProgress;
  std::unordered_map<std::string, std::string> shownOriginals;
  if (lookUp) shownOriginals = OriginalsByStoredPath();
  std::vector<WalkItem> items;
  for (const auto& p : paths) {
    WalkItem w;
    w.path = IsDriveRoot(p) ? p : WithoutTrailingBackslash(p);
    w.label = p;
    auto c = claimOf.find(p);
    if (c != claimOf.end()) {
      // Shown under the original path its record had, named as the caller did.
      const Claimed& claim = claims[c->second];
      w.label = claim.given;
      w.original = claim.original.empty() ? claim.given : claim.original;
      w.expected = claim.id;
      if (lookUp) w.shown = claim.original.empty() ? claim.given : ToUpper(claim.original);
    } else {
      auto e = expected.find(p);
      if (e != expected.end()) w.expected = e->second;
      if (lookUp) {
        auto o = shownOriginals.find(ToUpper(w.path));
        if (o != shownOriginals.end()) w.shown = o->second;
      }
    }
    items.push_back(std::move(w));
  }
  std::vector<WalkOutcome> outcomes = WalkAndOverwrite(items, settings, report, &receipt.volumeTrims);
  for (std::size_t i = 0; i < items.size(); ++i) {
    auto c = claimOf.find(paths[i]);
    if (c != claimOf.end()) claims[c->second].outcome = outcomes[i];
  }
  GiveBackUntouched(claims, report);
  PruneIndex();
  Plat().UpdateIcon();
  receipt.command = receipts.command;
  receipt.passes = settings.passes;
  receipt.fill = settings.fillByte;
  receipt.verify = settings.verify;
  receipt.finished = UtcNow();
  const Report done = report;
  if (!receipts.trouble.empty())
    report.Failed("(the receipt)", "the receipt the settings ask for could not be kept: " + receipts.trouble);
  receipt.id = NewRunId();
  for (const auto& file : receipts.files) {
    std::string why;
    if (!WriteReceipt(file, done, receipt, &why)) report.Failed(file, "the receipt could not be written: " + why);
  }
  if (receipts.log) {
    const std::string why = LogReceipt(done, receipt, receipts.logNames);
    if (!why.empty()) report.Failed("(the system's log)", "the receipt could not be logged: " + why);
  }
  return report;
}

// Every entry of every store but its own files, in drive order; a store
// that is there but cannot be trusted or listed is named in `trouble`,
// since its items stay. An entry whose name no path can carry is given one
// that a path can first, so that it is not left behind for ever.
std::vector<std::string> ListStores(Report& trouble) {
  std::vector<std::string> list;
  for (char d : GetFixedDrives()) {
    const std::string dir = StoreDirOf(d);
    std::string why;
    auto store = OpenStore(d, &why);
    std::vector<DirEntry> entries;
    if (!store) {
      // Most often this account has no store on this drive at all.
      if (StoreRefusal(d).empty() && ConfirmedAbsent(dir)) continue;
      trouble.Failed(dir, why + "; what it holds was left");
      continue;
    }
    if (!store->List(entries)) {
      trouble.Failed(dir, "the store could not be listed; its items were left");
      continue;
    }
    for (const auto& e : entries) {
      if (IsStoreOwnFile(e.name)) continue;
      std::string path = dir + "\\" + e.name;
      if (!StoreItemProblem(path, d).empty()) {
        StoreGuard guard(d);
        auto node = guard.Held() ? store->OpenNode(e.name, &why) : nullptr;
        for (int n = 1; node && n < 1000; ++n) {
          std::string name = std::string(1, kClaimMark) + ToUpperChar(d) + "~" + std::to_string(n);
          if (!node->MoveTo(*store, name)) continue;
          path = dir + "\\" + name;
          break;
        }
      }
      list.push_back(path);
    }
  }
  return list;
}

}  // namespace

Report VaporizeBatch(std::vector<std::string> list, BatchEntries entries, const ShredOptions* options,
                     const RunOptions* run) {
  std::vector<Entry> in;
  for (auto& p : list) in.push_back({std::move(p), std::nullopt, {}, std::nullopt});
  return RunBatch(std::move(in), false, entries, options, run);
}

Report VaporizeItems(const std::vector<IntakeItem>& items, const ShredOptions* options, const RunOptions* run) {
  std::vector<Entry> in;
  for (const auto& i : items) in.push_back({i.path, i.id, {}, std::nullopt});
  return RunBatch(std::move(in), false, BatchEntries::Paths, options, run);
}

Report VaporizeDirectItems(const std::vector<IntakeItem>& items, const std::string& why) {
  RunOptions run;
  run.cautionWhy = why;
  return VaporizeItems(items, nullptr, &run);
}

Report VaporizeStoredItems(const std::vector<ShredItemRecord>& items, const ShredOptions* options,
                           const RunOptions* run, const std::vector<std::optional<CivilTime>>* sentDates) {
  std::vector<Entry> in;
  for (std::size_t i = 0; i < items.size(); ++i)
    in.push_back({Trim(items[i].storedPath), std::nullopt, Trim(items[i].originalPath),
                  sentDates ? (*sentDates)[i] : std::nullopt});
  return RunBatch(std::move(in), true, BatchEntries::StoredItems, options, run);
}

std::vector<std::string> ListAllStoreEntries() {
  Report ignored;
  return ListStores(ignored);
}

Report ShredAllItems(const ShredOptions* options, const RunOptions* run) {
  Report report;
  std::vector<std::string> list = ListStores(report);
  if (list.empty()) return report;
  report.Append(VaporizeBatch(std::move(list), BatchEntries::StoredItems, options, run));
  return report;
}

}  // namespace vz
