#include "engine/receipt.h"

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "common/text.h"
#include "platform/platform.h"

namespace vz {
namespace {

using json = nlohmann::ordered_json;

const std::string kNoLine(64, '0');  // "prev" of a file's first line
constexpr const char* kHashMember = ",\"hash\":\"";
constexpr std::size_t kHashTail = 9 + 64 + 2;  // ,"hash":"<64 hex>"}

std::string Hex(const std::optional<Digest>& d) { return d ? HexOf(*d) : std::string(); }

// The line's own hash, put at its end.
std::string Sealed(const json& j) {
  std::string body = j.dump(-1, ' ', false, json::error_handler_t::replace);
  body.pop_back();  // the closing brace
  return body + kHashMember + Hex(Sha256(body)) + "\"}";
}

// Which key made a line, without telling anything of the key.
std::string KeyId(const std::string& key) { return Hex(HmacSha256(key, "vaporizer receipt key id")).substr(0, 16); }

// Texts that might name the item lose the name.
std::string Unnamed(std::string text, const std::string& original, const std::string& given) {
  for (const std::string& name : {original, given, FileNamePart(original), FileNamePart(given)}) {
    if (name.empty()) continue;
    for (std::size_t at = 0; (at = text.find(name, at)) != std::string::npos; at += 10)
      text.replace(at, name.size(), "(the item)");
  }
  return text;
}

std::string Str(const json& j, const char* key) {
  auto it = j.find(key);
  return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

const char* OutcomeName(Outcome o) { return o == Outcome::Done ? "done" : o == Outcome::Skipped ? "skipped" : "failed"; }

json ItemLine(const ItemReport& i, const std::string& key) {
  const Destruction* d = i.destruction ? &*i.destruction : nullptr;
  const std::string original = d && !d->original.empty() ? d->original : i.path;
  json j = {{"receipt", "item"}, {"path_hmac", PathHmac(key, original)}, {"key", KeyId(key)},
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

std::string PathHmac(const std::string& key, const std::string& path) { return Hex(HmacSha256(key, path)); }

std::string ReceiptLines(const Report& report, const ReceiptRun& run, const std::string& key,
                         const std::string& previous) {
  unsigned char id[8] = {};
  RandomBytes(id, sizeof id);
  const std::string runId = HexOf(id, sizeof id);
  std::string out, prev = previous.empty() ? kNoLine : Hex(Sha256(previous));
  auto add = [&](json j) {
    j["run"] = runId;
    j["version"] = VZ_VERSION;
    j["prev"] = prev;
    std::string line = Sealed(j);
    prev = Hex(Sha256(line));
    out += line + "\n";
  };
  for (const auto& i : report.Items()) add(ItemLine(i, key));
  add({{"receipt", "run"},
       {"command", run.command},
       {"items", report.Items().size()},
       {"done", report.Count(Outcome::Done)},
       {"skipped", report.Count(Outcome::Skipped)},
       {"failed", report.Count(Outcome::Failed)},
       {"passes", run.passes},
       {"fill", run.fill},
       {"verify", run.verify},
       {"volume_trims", run.volumeTrims},
       {"key", KeyId(key)},
       {"started", run.started},
       {"finished", run.finished}});
  return out;
}

bool WriteReceipt(const std::string& hostPath, const Report& report, const ReceiptRun& run, std::string* why) {
  auto key = UserSecretKey(why);
  if (!key) return false;
  return AppendLocked(
      hostPath,
      [&](const std::string& contents) {
        // The last line, ended or cut short; what follows starts a line of
        // its own, and a cut line stays for the check to find.
        std::size_t end = contents.size();
        const bool ended = end == 0 || contents[end - 1] == '\n';
        if (ended && end > 0) --end;
        std::size_t start = end == 0 ? std::string::npos : contents.rfind('\n', end - 1);
        start = start == std::string::npos ? 0 : start + 1;
        return (ended ? "" : "\n") + ReceiptLines(report, run, *key, contents.substr(start, end - start));
      },
      why);
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

ReceiptCheck VerifyReceipt(const std::string& text) {
  ReceiptCheck c;
  std::string prev = kNoLine;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const bool ended = end != std::string::npos;
    if (!ended) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    ++c.lines;
    auto broken = [&](std::string why) {
      c.broken = c.lines;
      c.why = std::move(why);
      return c;
    };
    json j = json::parse(line, nullptr, false);
    if (j.is_discarded() || !j.is_object()) return broken("it is not a JSON object");
    if (line.size() < kHashTail || line.compare(line.size() - kHashTail, 9, kHashMember) != 0 || Str(j, "hash").empty())
      return broken("it does not end with a hash of its own");
    if (Hex(Sha256(line.substr(0, line.size() - kHashTail))) != Str(j, "hash"))
      return broken("it was changed: its content does not match its hash");
    if (Str(j, "prev") != prev)
      return broken(c.lines == 1 ? "it does not start a receipt: the line before it is missing"
                                 : "it does not follow line " + std::to_string(c.lines - 1) +
                                       ": a line before it was changed, removed or put in");
    if (!ended) return broken("it was cut short: it has no line end");
    prev = Hex(Sha256(line));
  }
  return c;
}

std::vector<ReceiptHit> FindInReceipt(const std::string& text, const std::string& path, const std::string& key,
                                      std::size_t* otherKeys) {
  std::vector<ReceiptHit> hits;
  const std::string want = PathHmac(key, path), id = KeyId(key);
  std::size_t number = 0, others = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    ++number;
    json j = json::parse(text.substr(start, end - start), nullptr, false);
    start = end + 1;
    if (!j.is_object() || Str(j, "receipt") != "item") continue;
    if (Str(j, "key") != id) {
      ++others;
      continue;
    }
    if (Str(j, "path_hmac") == want) hits.push_back({number, Str(j, "finished"), Str(j, "outcome"), Str(j, "action")});
  }
  if (otherKeys) *otherKeys = others;
  return hits;
}

}  // namespace vz
