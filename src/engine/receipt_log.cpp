#include "engine/receipt_log.h"

#include <map>

#include "engine/receipt_format.h"

namespace vz {
namespace {

using namespace receipt_form;

// Where each field of an event is found in its receipt line (a JSON
// pointer); fields marked '-' are not in the line itself.
struct Source {
  const char* name;
  const char* pointer;
};
constexpr Source kItemSources[] = {
    {"outcome", "/outcome"},   {"action", "/action"},       {"path_hmac", "/path_hmac"},
    {"path", "-"},             {"kind", "/kind"},           {"size", "/size"},
    {"passes", "/passes"},     {"fill", "/fill"},           {"flushed", "/flushed"},
    {"verified", "/verified"}, {"verify", "/verify"},       {"trimmed", "/trimmed"},
    {"trim", "/trim"},         {"volume", "/medium/volume"}, {"volume_id", "/medium/volume_id"},
    {"verdict", "/medium/verdict"}, {"medium_why", "/medium/why"}, {"started", "/started"},
    {"finished", "/finished"}, {"detail", "/detail"},       {"warning", "/warning"},
    {"user", "-"},             {"key", "-"},                {"run", "-"},
    {"version", "-"},
};
constexpr Source kRunSources[] = {
    {"command", "/command"}, {"items", "/items"},   {"done", "/done"},
    {"skipped", "/skipped"}, {"failed", "/failed"}, {"passes", "/passes"},
    {"fill", "/fill"},       {"verify", "/verify"}, {"volume_trims", "/volume_trims"},
    {"started", "/started"}, {"finished", "/finished"}, {"user", "-"},
    {"key", "-"},            {"run", "-"},          {"version", "-"},
};

template <std::size_t N>
std::vector<std::string> Names(const Source (&sources)[N]) {
  std::vector<std::string> names;
  for (const Source& s : sources) names.push_back(s.name);
  return names;
}

// A value as text: strings as they are, numbers and true or false as JSON
// writes them, lists joined by "; ", nothing as "".
std::string Text(const json& v) {
  if (v.is_string()) return v.get<std::string>();
  if (v.is_null()) return {};
  if (v.is_array()) {
    std::string out;
    for (const json& e : v) out += (out.empty() ? "" : "; ") + Text(e);
    return out;
  }
  return v.dump();
}

template <std::size_t N>
std::vector<LogField> Fields(const Source (&sources)[N], const json& line, const std::map<std::string, std::string>& own) {
  std::vector<LogField> fields;
  for (const Source& s : sources) {
    std::string value;
    if (s.pointer[0] == '-') {
      auto it = own.find(s.name);
      if (it != own.end()) value = it->second;
    } else if (line.contains(json::json_pointer(s.pointer))) {
      value = Text(line.at(json::json_pointer(s.pointer)));
    }
    fields.push_back({s.name, value});
  }
  return fields;
}

LogLevel LevelOf(Outcome o) {
  return o == Outcome::Done ? LogLevel::Info : o == Outcome::Skipped ? LogLevel::Warning : LogLevel::Error;
}

}  // namespace

const std::vector<std::string>& ItemLogFields() {
  static const std::vector<std::string> names = Names(kItemSources);
  return names;
}
const std::vector<std::string>& RunLogFields() {
  static const std::vector<std::string> names = Names(kRunSources);
  return names;
}

std::vector<LogRecord> ReceiptLogRecords(const Report& report, const ReceiptRun& run, const std::string* key,
                                         bool names) {
  std::map<std::string, std::string> own = {{"user", Plat().AccountName()},
                                            {"key", key ? ReceiptKeyId(*key) : std::string()},
                                            {"run", run.id},
                                            {"version", VZ_VERSION}};
  std::vector<LogRecord> records;
  for (const ItemReport& i : report.Items()) {
    json line = ItemLine(i, key ? *key : std::string());
    if (!key) line["path_hmac"] = "";
    const std::string original = i.destruction && !i.destruction->original.empty() ? i.destruction->original : i.path;
    own["path"] = names ? original : std::string();
    LogRecord r{kItemEvent, LevelOf(i.outcome), {}, Fields(kItemSources, line, own)};
    const std::string what = names ? original : key ? "path_hmac " + Text(line["path_hmac"]) : "(an item)";
    r.message = "vaporize item " + Text(line["outcome"]) + ": " + Text(line["action"]) + " " + what;
    if (!i.detail.empty()) r.message += ": " + Text(line["detail"]);
    records.push_back(std::move(r));
  }
  const std::size_t failed = report.Count(Outcome::Failed), skipped = report.Count(Outcome::Skipped);
  own.erase("path");
  LogRecord r{kRunEvent, failed ? LogLevel::Error : skipped ? LogLevel::Warning : LogLevel::Info, {},
              Fields(kRunSources, RunLine(report, run), own)};
  r.message = "vaporize run (" + run.command + ") ended: " + std::to_string(report.Items().size()) + " items, " +
              std::to_string(report.Count(Outcome::Done)) + " done, " + std::to_string(skipped) + " skipped, " +
              std::to_string(failed) + " failed";
  records.push_back(std::move(r));
  return records;
}

std::string LogReceipt(const Report& report, const ReceiptRun& run, bool names) {
  std::string noKey;
  auto key = UserSecretKey(&noKey);
  std::string why = Plat().WriteSystemLog(ReceiptLogRecords(report, run, key ? &*key : nullptr, names));
  if (!key && !names)
    why += (why.empty() ? "" : "; ") + std::string("the items' paths could not be hashed: ") + noKey;
  return why;
}

}  // namespace vz
