#include "engine/receipt.h"

#include <chrono>
#include <cstdio>
#include "common/text.h"
#include "engine/receipt_format.h"
#include "platform/platform.h"

namespace vz {
namespace {

using namespace receipt_form;

// Texts that might name the item lose the name.
std::string Unnamed(std::string text, const std::string& original, const std::string& given) {
  for (const std::string& name : {original, given, FileNamePart(original), FileNamePart(given)}) {
    if (name.empty()) continue;
    for (std::size_t at = 0; (at = text.find(name, at)) != std::string::npos; at += 10)
      text.replace(at, name.size(), "(the item)");
  }
  return text;
}

const char* OutcomeName(Outcome o) { return o == Outcome::Done ? "done" : o == Outcome::Skipped ? "skipped" : "failed"; }

}  // namespace

namespace receipt_form {

json ItemLine(const ItemReport& i, const std::string& key) {
  const Destruction* d = i.destruction ? &*i.destruction : nullptr;
  const std::string original = d && !d->original.empty() ? d->original : i.path;
  json j = {{"receipt", "item"}, {"path_hmac", PathHmac(key, original)}, {"key", ReceiptKeyId(key)},
            {"outcome", OutcomeName(i.outcome)}, {"action", i.action}};
  if (!i.detail.empty()) j["detail"] = Unnamed(i.detail, original, i.path);
  if (d) {
    j["kind"] = d->kind;
    j["size"] = d->size < 0 ? json(nullptr) : json(d->size);
    j["passes"] = d->passes;
    j["fill"] = d->fill;
    j["flushed"] = d->flushed;
    j["verified"] = d->verified ? json(*d->verified) : json(nullptr);
    if (!d->verify.empty()) j["verify"] = Unnamed(d->verify, original, i.path);
    j["trimmed"] = d->trimmed ? json(*d->trimmed) : json(nullptr);
    if (!d->trim.empty()) j["trim"] = Unnamed(d->trim, original, i.path);
    j["medium"] = {{"volume", d->volume}, {"volume_id", d->volumeId}, {"verdict", d->reach},
                   {"why", Unnamed(d->reachWhy, original, i.path)}};
    j["started"] = d->started;
    j["finished"] = d->finished;
  }
  if (!i.warning.empty()) j["warning"] = Unnamed(i.warning, original, i.path);
  return j;
}

json RunLine(const Report& report, const ReceiptRun& run) {
  return {{"receipt", "run"},
          {"command", run.command},
          {"items", report.Items().size()},
          {"done", report.Count(Outcome::Done)},
          {"skipped", report.Count(Outcome::Skipped)},
          {"failed", report.Count(Outcome::Failed)},
          {"passes", run.passes},
          {"fill", run.fill},
          {"verify", run.verify},
          {"volume_trims", run.volumeTrims},
          {"started", run.started},
          {"finished", run.finished}};
}

}  // namespace receipt_form

namespace {

std::string CivilUtc(std::int64_t seconds) {
  // Days to a civil date (proleptic Gregorian), after H. Hinnant's algorithm.
  std::int64_t days = seconds / 86400, rest = seconds % 86400;
  if (rest < 0) rest += 86400, --days;
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t y = yoe + era * 400 + (m <= 2);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(y),
                static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(rest / 3600),
                static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
  return buf;
}

}  // namespace

std::string UtcNow() {
  using namespace std::chrono;
  return CivilUtc(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
}

std::string NewRunId() {
  unsigned char id[8] = {};
  RandomBytes(id, sizeof id);
  return HexOf(id, sizeof id);
}

std::string PathHmac(const std::string& key, const std::string& path) { return Hex(HmacSha256(key, path)); }

std::string ReceiptKeyId(const std::string& key) {
  return Hex(HmacSha256(key, "vaporizer receipt key id")).substr(0, 16);
}

ReceiptTail TailOf(const std::string& contents) {
  ReceiptTail t;
  t.prev = kNoLine;
  std::string last;
  for (std::size_t start = 0; start < contents.size();) {
    std::size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    last = contents.substr(start, end - start);
    if (t.lines++ == 0) t.firstLine = last;
    if (last.rfind("{\"receipt\":\"run\"", 0) == 0) ++t.runs;
    start = end + 1;
  }
  if (t.lines == 0) return t;
  // A keyed line hands on its chain value; a line of the earlier form, or
  // one cut short, the plain hash of itself (the check names it broken).
  json j = json::parse(last, nullptr, false);
  const std::string chain = j.is_object() ? Str(j, "chain") : std::string();
  const bool keyed = chain.size() == 64 && last.size() > kTail &&
                     last.compare(last.size() - kTail, 10, kChainMember) == 0;
  t.prev = keyed ? chain : PlainValue(last);
  return t;
}

std::string ReceiptLines(const Report& report, const ReceiptRun& run, const std::string& key, const ReceiptTail& tail,
                         ReceiptAnchor* anchor) {
  const std::string runId = run.id.empty() ? NewRunId() : run.id, chainKey = ChainKey(key), keyId = ReceiptKeyId(key);
  std::string out, prev = tail.prev, first, firstLine = tail.firstLine;
  std::size_t lines = tail.lines;
  auto add = [&](json j) {
    j["key"] = keyId;
    j["run"] = runId;
    j["version"] = VZ_VERSION;
    j["prev"] = prev;
    std::string body = j.dump(-1, ' ', false, json::error_handler_t::replace);
    body.pop_back();  // the closing brace
    prev = ChainValue(chainKey, body);
    if (first.empty()) first = prev;
    std::string line = body + kChainMember + prev + "\"}";
    if (lines++ == 0) firstLine = line;
    out += line + "\n";
  };
  for (const auto& i : report.Items()) add(ItemLine(i, key));
  add(RunLine(report, run));
  add({{"receipt", "seal"},
       {"number", tail.runs + 1},
       {"items", report.Items().size()},
       {"first", first},
       {"last", prev}});
  if (anchor) *anchor = {ReceiptIdOf(firstLine), tail.runs + 1, lines, prev};
  return out;
}

bool WriteReceipt(const std::string& hostPath, const Report& report, const ReceiptRun& run, std::string* why) {
  auto key = UserSecretKey(why);
  if (!key) return false;
  auto folder = UserKeyFolder(why);
  if (!folder) return false;
  ReceiptAnchor anchor;
  bool written = AppendLocked(
      hostPath,
      [&](const std::string& contents) {
        // What follows a line cut short starts a line of its own; the cut
        // line stays for the check to find.
        const bool ended = contents.empty() || contents.back() == '\n';
        return (ended ? "" : "\n") + ReceiptLines(report, run, *key, TailOf(contents), &anchor);
      },
      why);
  if (!written) return false;
  // Runs of one receipt that end at once may record their ends in either
  // order: the check takes the anchor with the most runs.
  json a = {{"receipt", anchor.receipt}, {"runs", anchor.runs}, {"lines", anchor.lines}, {"last", anchor.last},
            {"at", UtcNow()}};
#ifdef _WIN32
  const std::string anchors = *folder + "\\" + kAnchorsName;
#else
  const std::string anchors = *folder + "/" + kAnchorsName;
#endif
  std::string trouble;
  if (AppendLocked(anchors, [&](const std::string&) { return a.dump() + "\n"; }, &trouble)) return true;
  *why = "the receipt was written, but its end could not be recorded beside the key: " + trouble;
  return false;
}

std::string DefaultReceiptPath(std::string* why) {
  auto folder = UserDataFolder(why);
  if (!folder) return {};
#ifdef _WIN32
  return *folder + "\\receipts.jsonl";
#else
  return *folder + "/receipts.jsonl";
#endif
}

}  // namespace vz
