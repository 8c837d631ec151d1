#include "cli/commands.h"

#include <charconv>
#include <cstdlib>
#include <iostream>
#include <map>
#include <set>
#include <nlohmann/json.hpp>
#include <tuple>
#include <unordered_map>

#include "cli/paths.h"
#include "cli/terminal.h"
#include "common/text.h"
#include "engine/batch.h"
#include "engine/emptying.h"
#include "platform/platform.h"
#include "platform/schedule.h"
#include "settings/settings.h"
#include "store/enum_shred.h"
#include "store/intake.h"
#include "store/item_lookup.h"
#include "store/own_store.h"
#include "store/send.h"
#include "store/store.h"
#include "window/properties.h"
#include "window/restore.h"

#ifndef _WIN32
#include "platform/posix/volumes.h"
#endif

namespace vz::cli {
namespace {

using nlohmann::json;

std::string Dump(const json& j) { return j.dump(2, ' ', false, json::error_handler_t::replace); }

// A name in JSON: as text, and when it is not UTF-8 also byte for byte,
// percent-encoded, under the key with "_percent" added.
void PutName(json& j, const std::string& key, const std::string& bytes) {
  j[key] = bytes;
  if (!IsUtf8(bytes)) j[key + "_percent"] = PercentEncoded(bytes);
}

// Questions need somebody to answer them.
bool CanAsk(bool yes) {
  if (yes || StdinIsTerminal() || HasAskProgram()) return true;
  std::cerr << "vaporizer: standard input is not a terminal, so nobody can answer the questions;\n"
               "add --yes to answer Yes to all of them. Nothing was changed.\n";
  return false;
}

// Converts every argument first, so one that cannot be a path stops the
// command before anything is touched.
bool ConvertAll(const std::vector<std::string>& args, std::vector<std::string>& out) {
  ResolvingMany together;
  bool ok = true;
  for (const auto& a : args) {
    std::string why;
    auto sys = ToSystem(a, &why);
    if (!sys) {
      std::cerr << "vaporizer: " << Printable(a) << ": " << why << "\n";
      ok = false;
    } else {
      out.push_back(*sys);
    }
  }
  return ok;
}

// Stored items by their stored paths, so that what a batch did to them is
// shown under the original paths they came from.
class Originals {
 public:
  void Add(const std::string& stored, const std::string& original) { map_.emplace(ToUpper(stored), original); }
  std::string Show(const std::string& path) const {
    const std::string item = StoredItemOf(path);
    if (!item.empty()) {
      const std::size_t end = item.size();
      auto it = map_.find(ToUpper(item));
      if (it != map_.end()) return Shown(it->second + path.substr(end)) + " (stored as " + Shown(path) + ")";
    }
    return Shown(path);
  }

 private:
  std::unordered_map<std::string, std::string> map_;
};

// What was done to an item, where the batch described it.
void PutDestruction(json& j, const ItemReport& i) {
  if (!i.destruction) return;
  const Destruction& d = *i.destruction;
  PutName(j, "original", HostForm(d.original));
  j["kind"] = d.kind;
  j["volume"] = d.volume;
  j["size"] = d.size < 0 ? json(nullptr) : json(d.size);
  j["passes"] = d.passes;
  j["flushed"] = d.flushed;
  j["verified"] = d.verified ? json(*d.verified) : json(nullptr);
  if (!d.verify.empty()) j["verify"] = d.verify;
  j["trimmed"] = d.trimmed ? json(*d.trimmed) : json(nullptr);
  if (!d.trim.empty()) j["trim"] = d.trim;
}

// What a vaporize did with each item. The medium's warnings, the same for
// every file of a volume, come once per volume with the count of items they
// concern, and so does why blocks were not trimmed; each file's line says
// whether it was read back and trimmed. --json keeps everything per item.
int PrintDestruction(const Report& report, const ShredFlags& flags, const Originals* originals) {
  auto show = [&](const std::string& p) { return originals ? originals->Show(p) : Shown(p); };
  if (flags.json) {
    json arr = json::array();
    const char* outcomes[] = {"done", "skipped", "failed"};
    for (const auto& i : report.Items()) {
      json j = {{"path", show(i.path)}, {"outcome", outcomes[static_cast<int>(i.outcome)]}, {"action", i.action}};
      if (!i.detail.empty()) j["detail"] = i.detail;
      if (!i.warning.empty()) j["warning"] = i.warning;
      PutDestruction(j, i);
      arr.push_back(std::move(j));
    }
    std::cout << Dump(arr) << "\n";
    return report.AllDone() ? kExitDone : kExitItems;
  }
  for (const auto& n : report.Notes()) std::cout << "warning: " << Printable(n) << "\n";
  // Grouped by kind, volume and text, in the order first met.
  using Note = std::tuple<std::string, std::string, std::string>;
  std::vector<Note> order;
  std::map<Note, std::size_t> counts;
  auto group = [&](const char* kind, const std::string& volume, const std::string& text) {
    Note key{kind, volume, text};
    if (counts[key]++ == 0) order.push_back(key);
  };
  for (const auto& i : report.Items()) {
    const Destruction* d = i.destruction ? &*i.destruction : nullptr;
    std::string notes;
    if (d && d->verified) notes += *d->verified ? "verified" : "not verified";
    if (d && d->trimmed) notes += std::string(notes.empty() ? "" : ", ") + (*d->trimmed ? "trimmed" : "not trimmed");
    if (!notes.empty()) notes = " (" + notes + ")";
    switch (i.outcome) {
      case Outcome::Done:
        std::cout << i.action << ": " << show(i.path);
        if (!i.target.empty() && i.target != i.path) std::cout << " -> " << Shown(i.target);
        std::cout << notes << "\n";
        break;
      case Outcome::Skipped:
        std::cout << "skipped: " << show(i.path) << ": " << Printable(i.detail) << "\n";
        break;
      case Outcome::Failed:
        std::cout << "failed: " << show(i.path) << ": " << Printable(i.detail) << "\n";
        break;
    }
    const std::string volume = d ? d->volume : std::string();
    if (!i.warning.empty()) group("warning", volume, i.warning);
    if (d && d->verified && !*d->verified && i.outcome == Outcome::Done) group("not verified", volume, d->verify);
    if (d && d->trimmed && !*d->trimmed) group("not trimmed", volume, d->trim);
  }
  // "warning (1000 items on C:): the overwrite cannot be relied on: ..."
  for (const auto& key : order) {
    const auto& [kind, volume, text] = key;
    const std::size_t n = counts[key];
    std::cout << kind << " (" << n << (n == 1 ? " item" : " items") << (volume.empty() ? "" : " on " + volume)
              << "): " << text << "\n";
  }
#ifndef _WIN32
  // Stored items leave their original paths in the index's old versions
  // wherever the file system writes a new version elsewhere.
  std::set<std::string> said;
  for (const auto& i : report.Items()) {
    const std::string volume = i.destruction ? i.destruction->volume : std::string();
    if (!originals || volume.size() != 2 || !said.insert(volume).second) continue;
    if (std::string names = posix::RecordedNamesMayRemain(volume[0]); !names.empty())
      std::cout << "recorded names (on " << volume << "): " << names << "\n";
  }
#endif
  return report.AllDone() ? kExitDone : kExitItems;
}

int PrintReport(const Report& report, const Originals* originals = nullptr) {
  return PrintDestruction(report, ShredFlags{}, originals);
}

RunOptions MakeRun(const ShredFlags& flags, const char* command) {
  RunOptions run;
  if (flags.verify) run.verify = true;
  if (!flags.receipt.empty()) run.receipts.push_back(flags.receipt);
  run.command = command;
  return run;
}

// Every command that reads the stores first takes over what this account
// left in the earlier layout.
std::vector<StoredItem> AllItems() {
  for (char d : GetFixedDrives())
    if (Exists(SharedStoreDirOf(d) + "\\" + kIndexName)) EnsureOwnStore(d);
  return ListStoredItems(PortableTypeInfo);
}

// Drives whose store was seen, not mounted now: letter and last mount point.
std::vector<std::pair<char, std::string>> AbsentDrives() {
  std::vector<std::pair<char, std::string>> out;
#ifndef _WIN32
  for (const auto& a : posix::AbsentDrives()) out.emplace_back(a.letter, a.lastRoot);
#endif
  return out;
}

// Fixed drives whose store folder is there but not to be trusted: their
// stores, if any, are neither read nor used. Letter and why.
std::vector<std::pair<char, std::string>> UntrustedStoreFolders() {
  std::vector<std::pair<char, std::string>> out;
#ifndef _WIN32
  for (const auto& v : posix::Volumes())
    if (v.type == DriveType::Fixed && !v.noStore.empty() && Plat().OwnershipOf(SharedStoreDirOf(v.letter)))
      out.emplace_back(v.letter, v.noStore);
#endif
  return out;
}

// What stays on drives that are away, said after a run that took every item.
int SayAbsentKept(int status) {
  for (const auto& [letter, root] : AbsentDrives())
    std::cout << letter << ": " << kDriveNotPresent << " (last mounted at " << Printable(root)
              << "): its stored items are kept until it is mounted again\n";
  return AbsentDrives().empty() ? status : kExitItems;
}

struct Damaged {
  char drive;
  ShredItemRecord record;
};
std::vector<Damaged> DamagedRecords() {
  std::vector<Damaged> out;
  for (char d : GetFixedDrives())
    if (auto records = ReadIndex(d))
      for (auto& r : *records)
        if (!r.Sound()) out.push_back({d, std::move(r)});
  return out;
}

// The stored items named on the command line, each found with one look-up.
class Catalog {
 public:
  Catalog() : lookup_(AllItems()) {}

  // False for a usage error; items not found or not told apart go into
  // `problems` and the others into `out`.
  bool Resolve(const ItemArgs& a, std::vector<StoredItem>& out, Report& problems) const {
    std::vector<std::string> keys;
    if (a.stored) {
      for (const auto& arg : a.args) {
        if (arg.find_first_of("/\\") != std::string::npos) {
          std::cerr << "vaporizer: " << Printable(arg) << ": --stored takes stored names such as C1.doc, "
                    << "as 'vaporizer list' shows them, not paths\n";
          return false;
        }
      }
      keys = a.args;
    } else if (!ConvertAll(a.args, keys)) {
      return false;
    }
    for (std::size_t k = 0; k < keys.size(); ++k) {
      const std::vector<std::size_t> hits = a.stored ? lookup_.ByStoredName(keys[k]) : lookup_.ByPath(keys[k]);
      std::string label = a.stored ? a.args[k] : keys[k];
      if (hits.empty()) {
        problems.Failed(label, a.stored ? "no stored item has this name (see 'vaporizer list')"
                                        : "no stored item came from or is stored at this path (see 'vaporizer "
                                          "list'; to name an item by its stored name, use --stored)");
      } else if (hits.size() > 1) {
        // Nothing is taken: the one meant may be any of them.
        std::string names;
        for (std::size_t i : hits)
          names += " " + (a.stored ? Shown(lookup_.Item(i).storedPath) : FileNamePart(lookup_.Item(i).storedPath));
        problems.Failed(label, std::to_string(hits.size()) +
                                   (a.stored ? " stored items have this name; name one by its stored path:"
                                             : " stored items came from there; name one with --stored:") +
                                   names);
      } else {
        out.push_back(lookup_.Item(hits.front()));
      }
    }
    return true;
  }

 private:
  StoredItemLookup lookup_;
};

bool MakeOptions(const ShredFlags& flags, ShredOptions& options) {
  if (!flags.Any()) return false;
  int passes = flags.passes.value_or(0);
  if (!flags.passes) {
    BatchSettings settings = ReadBatchSettings();
    for (const auto& p : settings.problems) std::cout << "warning: " << Printable(p) << "\n";
    passes = settings.passes;
  }
  options.Passes = static_cast<std::uint16_t>(passes);
  options.DeleteAfter = flags.keep ? 0 : 1;
  options.FillByte = static_cast<std::uint8_t>(flags.fill.value_or(0));
  options.ShowProgress = 1;
  return true;
}

std::string SentDate(const std::string& stored, bool iso) {
  auto t = DateSent(stored);
  if (!t) return {};
  std::string s = FormatIso(*t);
  return iso ? s : s.substr(0, 10) + " " + s.substr(11, 5);
}

// Pads to a column on a terminal, where a character may take 0, 1 or 2.
std::string Pad(std::string s, std::size_t width) {
  std::size_t used = DisplayWidth(s);
  if (used < width) s += std::string(width - used, ' ');
  return s;
}

// The rule the options name; with the settings' rule, what of the
// settings could not be used as stored goes to `notes`.
EmptyingRule RuleOf(const RuleFlags& f, Report* notes = nullptr) {
  if (f.bySettings) {
    EmptyingSettings s = LoadEmptyingSettings();
    for (auto& p : s.problems)
      if (notes) notes->Note(std::move(p));
    return RuleOfSettings(s);
  }
  EmptyingRule r;
  r.olderThanSeconds = f.olderThan;
  r.storeLimitBytes = f.keepUnder;
  return r;
}

std::string NothingBySettings() {
  return "The settings empty nothing: set 'vaporizer settings --empty-after DAYS' or '--store-limit MB'.";
}

const char* OutcomeName(Outcome o) { return o == Outcome::Done ? "done" : o == Outcome::Skipped ? "skipped" : "failed"; }

// A report as JSON: one object per item, with the original path of a
// stored item where it is known.
json ReportJson(const Report& report, const Originals& originals) {
  json arr = json::array();
  for (const auto& i : report.Items()) {
    json j = {{"outcome", OutcomeName(i.outcome)}};
    if (!i.action.empty()) j["action"] = i.action;
    PutName(j, "path", HostForm(i.path));
    std::string shown = originals.Show(i.path);
    if (shown != Shown(i.path)) j["shown"] = shown;
    if (!i.detail.empty()) j["detail"] = i.detail;
    if (!i.warning.empty()) j["warning"] = i.warning;
    PutDestruction(j, i);
    arr.push_back(j);
  }
  return arr;
}

// "3 of 14 items chosen; vaporized: 5 files and folders, failed: none".
std::string Summary(const EmptyingChoice& c, const Report& r) {
  const std::size_t failed = r.Count(Outcome::Failed) + r.Count(Outcome::Skipped);
  return std::to_string(c.chosen.size()) + " of " + std::to_string(c.chosen.size() + c.kept) +
         " items chosen; vaporized: " + std::to_string(r.Count(Outcome::Done)) + " files and folders, failed: " +
         (failed ? std::to_string(failed) : std::string("none"));
}

// Empties by rule. With the settings' rule it asks nothing: switching the
// rule on was the user's consent, and a scheduled run has nobody to ask.
int EmptyByRule(const RuleFlags& flags, const ShredFlags& shred, bool yes, bool json_) {
  Report notes;
  const EmptyingRule rule = RuleOf(flags, &notes);
  const bool quiet = flags.bySettings;
  if (!CanAsk(yes || quiet)) return kExitUsage;
  const std::string what =
      std::string(flags.bySettings ? "Emptied by the settings" : "Emptied by rule") + " (" + DescribeRule(rule) + ")";
  EmptyingChoice choice;
  Report report;
  Originals originals;
  if (rule.Any()) {
    choice = ChooseByRule(rule, Plat().LocalNow());
    for (const auto& w : choice.chosen) originals.Add(w.item.storedPath, w.item.originalPath);
    ShredOptions options{};
    bool hasOptions = MakeOptions(shred, options);
    TerminalUi ui(yes || quiet);
    ScopedUi scope(ui);
    report = choice.problems;
    const RunOptions run = MakeRun(shred, flags.bySettings ? "empty by the settings" : "empty by rule");
    report.Append(VaporizeChosen(choice, hasOptions ? &options : nullptr, &run));
  }
  for (const auto& n : notes.Notes()) report.Note(n);
  // A drive that is away keeps its items: nothing of it was listed, so none was chosen.
  for (const auto& [letter, root] : AbsentDrives())
    report.Note(std::string(1, letter) + ": " + kDriveNotPresent + " (last mounted at " + root +
                "): its stored items are kept until it is mounted again");
  const int away = AbsentDrives().empty() ? kExitDone : kExitItems;
  // The run's whole report: what a receipt of the run would record.
  const std::string summary = what + ": " + (rule.Any() ? Summary(choice, report) : "nothing to do");
  if (flags.bySettings) AppendEmptyingLog(FormatIso(Plat().LocalNow()) + " " + summary);
  if (json_) {
    json j = {{"rule", DescribeRule(rule)}, {"chosen", choice.chosen.size()}, {"kept", choice.kept},
              {"report", ReportJson(report, originals)}};
    std::cout << Dump(j) << "\n";
    return report.AllDone() ? away : kExitItems;
  }
  if (!rule.Any()) std::cout << NothingBySettings() << "\n";
  int status = PrintReport(report, &originals);
  std::cout << summary << ".\n";
  return status == kExitDone ? away : status;
}

}  // namespace

std::optional<long> ParseNumber(const std::string& text, long low, long high) {
  int base = 10;
  std::size_t start = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    start = 2;
  }
  if (start >= text.size() || text[start] == '+' || text[start] == '-') return std::nullopt;
  long value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data() + start, end, value, base);
  if (ec != std::errc() || ptr != end || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<std::int64_t> ParseAge(const std::string& text) {
  std::size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == 0 || digits + 1 != text.size() || digits > 6) return std::nullopt;
  const std::int64_t n = std::stoll(text.substr(0, digits));
  const char unit = ToUpperChar(text.back());
  const std::int64_t per = unit == 'H' ? 3600 : unit == 'D' ? 86400 : unit == 'W' ? 7 * 86400 : 0;
  if (!per || n * per > 100LL * 366 * 86400) return std::nullopt;  // a century at most
  return n * per;
}

std::optional<std::uint64_t> ParseSize(const std::string& text) {
  std::size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == 0 || digits > 15) return std::nullopt;
  std::string unit = ToUpper(text.substr(digits));
  if (unit.size() > 1 && (unit.substr(1) == "B" || unit.substr(1) == "IB")) unit.resize(1);
  int power = 0;  // of 1024
  if (!unit.empty()) {
    static const std::string kUnits = "KMGT";
    const std::size_t at = kUnits.find(unit);
    if (unit.size() != 1 || at == std::string::npos) return std::nullopt;
    power = static_cast<int>(at) + 1;
  }
  const std::uint64_t n = std::stoull(text.substr(0, digits)), limit = 1ULL << 50;  // a pebibyte at most
  if (n > (limit >> (10 * power))) return std::nullopt;
  return n << (10 * power);
}

int Send(const std::vector<std::string>& paths, bool yes) {
  std::vector<std::string> sys;
  if (!ConvertAll(paths, sys) || !CanAsk(yes)) return kExitUsage;
  TerminalUi ui(yes);
  ScopedUi scope(ui);
#ifdef _WIN32
  EnsureStores();
#else
  // Every mounted file system is a drive here: a store is made only on the
  // drives that something is sent from.
  std::string letters;
  for (const auto& p : sys)
    if (letters.find(ToUpperChar(p[0])) == std::string::npos) letters += ToUpperChar(p[0]);
  for (char d : letters) EnsureStore(d);
#endif
  return PrintReport(SendToStore(sys, kSendAskFirst | kSendRefreshIcon).report);
}

int List(bool json_, const RuleFlags& rule) {
  std::vector<StoredItem> items;
  std::vector<std::string> whys;  // with a rule, why it takes each item
  std::vector<Damaged> damaged;
  std::size_t kept = 0;
  if (rule.Any()) {
    EmptyingChoice choice = ChooseByRule(RuleOf(rule), Plat().LocalNow());
    for (auto& w : choice.chosen) {
      items.push_back(std::move(w.item));
      whys.push_back(w.why);
    }
    kept = choice.kept;
  } else {
    items = AllItems();
    damaged = DamagedRecords();
  }
  std::vector<std::pair<char, std::string>> refused;
  for (char d : GetFixedDrives())
    if (std::string why = StoreRefusal(d); !why.empty()) refused.emplace_back(ToUpperChar(d), why);
  for (auto& u : UntrustedStoreFolders()) refused.push_back(std::move(u));
  const auto absent = AbsentDrives();
  // Nothing in a store is hidden: what no record names is listed with the
  // reason, and so is a store that may not be used.
  std::vector<Leftover> leftovers = ListLeftovers();
  std::vector<std::string> problems = StoreProblems();
  const int status = damaged.empty() && leftovers.empty() && problems.empty() && refused.empty() ? kExitDone : kExitItems;
  if (json_) {
    json arr = json::array();
    for (const auto& [drive, why] : refused) arr.push_back({{"drive", std::string(1, drive) + ":"}, {"refused", why}});
    for (std::size_t n = 0; n < items.size(); ++n) {
      const StoredItem& it = items[n];
      std::int64_t size = GetItemSize(it.storedPath);
      std::string sent = SentDate(it.storedPath, true);
      json j = json::object();
      PutName(j, "name", it.displayName);
      PutName(j, "original", HostForm(it.originalPath));
      PutName(j, "stored", HostForm(it.storedPath));
      j["sent"] = sent.empty() ? json(nullptr) : json(sent);
      PutName(j, "type", it.typeName);
      j["size"] = size < 0 ? json(nullptr) : json(size);
      if (!whys.empty()) j["why"] = whys[n];
      arr.push_back(j);
    }
    for (const auto& d : damaged) {
      json j = json::object();
      j["damaged"] = d.record.damage;
      PutName(j, "index", HostForm(IndexPathOf(d.drive)));
      j["line"] = d.record.firstLine;
      PutName(j, "original", d.record.originalPath);
      PutName(j, "stored", d.record.storedPath);
      arr.push_back(j);
    }
    for (const auto& l : leftovers) {
      json j = json::object();
      j["leftover"] = l.reason;
      PutName(j, "stored", HostForm(l.storedPath));
      arr.push_back(j);
    }
    for (const auto& p : problems) arr.push_back(json{{"store_problem", p}});
    for (const auto& [letter, root] : absent) {
      json j = {{"drive", std::string(1, letter) + ":"}, {"absent", kDriveNotPresent}};
      PutName(j, "root", root);
      arr.push_back(j);
    }
    std::cout << Dump(arr) << "\n";
    return status;
  }
  for (const auto& [drive, why] : refused)
    std::cout << "refused: the store on " << drive << ": " << Printable(why) << "; nothing is read from it\n";
  // Its items are neither listed nor touched until it is mounted again.
  for (const auto& [letter, root] : absent)
    std::cout << letter << ": " << kDriveNotPresent << " (last mounted at " << Printable(root)
              << "): its stored items are listed when it is mounted again\n";
  if (rule.Any() && items.empty()) {
    std::cout << (rule.bySettings && !RuleOf(rule).Any() ? NothingBySettings()
                                                          : "Nothing goes by the rule (" + DescribeRule(RuleOf(rule)) + ").")
              << "\n";
    return status;
  }
  if (items.empty() && damaged.empty() && leftovers.empty() && problems.empty()) {
    if (absent.empty() && refused.empty()) std::cout << "The Vaporizer is empty.\n";
    return status;
  }
  if (!items.empty())
    std::cout << Pad("STORED", 10) << Pad("NAME", 24) << Pad("DATE SENT", 18) << Pad("TYPE", 20) << Pad("SIZE", 12)
              << "ORIGINAL LOCATION\n";
  for (const auto& it : items) {
    std::int64_t size = GetItemSize(it.storedPath);
    std::cout << Pad(Printable(FileNamePart(it.storedPath)), 10) << Pad(Printable(it.displayName), 24)
              << Pad(SentDate(it.storedPath, false), 18) << Pad(Printable(it.typeName), 20)
              << Pad(size < 0 ? "-" : std::to_string(size), 12) << Shown(FolderPart(it.originalPath)) << "\n";
  }
  if (rule.Any())
    std::cout << items.size() << " of " << items.size() + kept << " items go by the rule (" << DescribeRule(RuleOf(rule))
              << ").\n";
  for (const auto& d : damaged) {
    std::cout << "damaged record at line " << d.record.firstLine << " of " << Shown(IndexPathOf(d.drive)) << ": "
              << Printable(d.record.damage) << "; nothing is done with it\n";
    for (const auto& line : d.record.lines) std::cout << "    " << Printable(line) << "\n";
  }
  for (const auto& l : leftovers) std::cout << "leftover " << Shown(l.storedPath) << ": " << l.reason << "\n";
  for (const auto& p : problems) std::cout << "not used: " << p << "\n";
  return status;
}

int Restore(const ItemArgs& items, bool yes, bool replace) {
  Catalog catalog;
  std::vector<StoredItem> chosen;
  Report report;
  if (!catalog.Resolve(items, chosen, report) || !CanAsk(yes)) return kExitUsage;
  std::vector<RestoreEntry> entries;
  for (const auto& c : chosen) entries.push_back({c.originalPath, c.storedPath, c.iconIndex});
  TerminalUi ui(yes, replace);
  ScopedUi scope(ui);
  report.Append(RestoreItems(entries));
  int status = PrintReport(report);
  if (ui.DeclinedReplace())
    std::cout << "Files already at an original path were kept; add --replace to replace them.\n";
  return status;
}

int Vaporize(const ItemArgs& items, const ShredFlags& flags, bool yes) {
  Catalog catalog;
  std::vector<StoredItem> chosen;
  Report report;
  if (!catalog.Resolve(items, chosen, report) || !CanAsk(yes)) return kExitUsage;
  std::vector<ShredItemRecord> records;
  Originals originals;
  for (const auto& c : chosen) {
    records.push_back({c.originalPath, c.storedPath});
    originals.Add(c.storedPath, c.originalPath);
  }
  ShredOptions options{};
  bool hasOptions = MakeOptions(flags, options);
  TerminalUi ui(yes);
  ScopedUi scope(ui);
  const RunOptions run = MakeRun(flags, "vaporize");
  report.Append(VaporizeStoredItems(records, hasOptions ? &options : nullptr, &run));
  return PrintDestruction(report, flags, &originals);
}

int Empty(const ShredFlags& flags, bool yes, bool json_, const RuleFlags& rule) {
  if (rule.Any()) return EmptyByRule(rule, flags, yes, json_);
  if (!CanAsk(yes)) return kExitUsage;
  Originals originals;
  for (const auto& it : AllItems()) originals.Add(it.storedPath, it.originalPath);
  ShredOptions options{};
  bool hasOptions = MakeOptions(flags, options);
  TerminalUi ui(yes);
  ScopedUi scope(ui);
  const RunOptions run = MakeRun(flags, "empty");
  Report r = ShredAllItems(hasOptions ? &options : nullptr, &run);
  const auto absent = AbsentDrives();
  if (json_) {
    json j = {{"report", ReportJson(r, originals)}};
    for (const auto& [letter, root] : absent) {
      json a = {{"drive", std::string(1, letter) + ":"}, {"absent", kDriveNotPresent}};
      PutName(a, "root", root);
      j["absent"].push_back(a);
    }
    std::cout << Dump(j) << "\n";
    return r.AllDone() && absent.empty() ? kExitDone : kExitItems;
  }
  const auto untrusted = UntrustedStoreFolders();
  if (r.Items().empty() && absent.empty() && untrusted.empty()) std::cout << "The Vaporizer is empty.\n";
  for (const auto& [letter, why] : untrusted)
    std::cout << "refused: the store on " << letter << ": " << Printable(why) << "; nothing is read from it\n";
  const int status = SayAbsentKept(PrintDestruction(r, flags, &originals));
  return untrusted.empty() ? status : kExitItems;
}

int Shred(const std::vector<std::string>& paths, const ShredFlags& flags, bool yes) {
  std::vector<std::string> sys;
  if (!ConvertAll(paths, sys) || !CanAsk(yes)) return kExitUsage;
  ShredOptions options{};
  bool hasOptions = MakeOptions(flags, options);
  TerminalUi ui(yes);
  ScopedUi scope(ui);
  Intake in = TakeIn(sys, nullptr, Road::InPlace, PathOrigin::Typed);
  Report report = in.refused;
  const RunOptions run = MakeRun(flags, "shred");
  if (!in.direct.empty()) report.Append(VaporizeItems(in.direct, hasOptions ? &options : nullptr, &run));
  return PrintDestruction(report, flags, nullptr);
}

int Properties(const ItemArgs& items, bool json_) {
  Catalog catalog;
  std::vector<StoredItem> chosen;
  Report problems;
  if (!catalog.Resolve(items, chosen, problems)) return kExitUsage;
  std::vector<ShredItemId> ids;
  for (const auto& c : chosen) {
    if (auto id = ToShredItemId(c))
      ids.push_back(*id);
    else
      problems.Failed(c.originalPath, "its path is too long for the properties, which show 259 characters at most");
  }
  int status = PrintReport(problems);
  if (ids.empty()) return kExitItems;
  PropertiesModel m = BuildPropertiesModel(ids);
  if (json_) {
    json j = {{"caption", m.caption}, {"type", m.type},           {"size", m.size},       {"msdos", m.msdosName},
              {"created", m.created}, {"changed", m.changed},     {"opened", m.opened},   {"readOnly", m.readOnly},
              {"archive", m.archive}, {"hidden", m.hidden},       {"system", m.system}};
    PutName(j, "name", m.fileName);
    PutName(j, "folder", m.kind == PropertiesCase::Group ? m.folder : HostForm(m.folder));
    if (m.showContents) j["contains"] = m.contents;
    std::cout << Dump(j) << "\n";
    return status;
  }
  auto box = [](bool b) { return b ? "[x]" : "[ ]"; };
  std::cout << Printable(m.caption) << "\n\n"
            << "  " << Printable(m.fileName) << "\n\n"
            << "Type:         " << m.type << "\n"
            << "Folder:       " << (m.kind == PropertiesCase::Group ? m.folder : Shown(m.folder)) << "\n"
            << "Size:         " << m.size << "\n";
  if (m.showContents) std::cout << "Contain:      " << m.contents << "\n";
  std::cout << "\nMS-DOS Name:  " << m.msdosName << "\n"
            << "Created:      " << m.created << "\n"
            << "Changed:      " << m.changed << "\n"
            << "Opened:       " << m.opened << "\n\n"
            << "Attributes:   " << box(m.readOnly) << " Read-Only  " << box(m.archive) << " Archive  "
            << box(m.hidden) << " Hidden  " << box(m.system) << " System\n";
  return status;
}

}  // namespace vz::cli
