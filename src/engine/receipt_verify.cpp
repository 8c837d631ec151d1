// The check of a receipt, its anchors beside the key, and the search for a
// path in it.
#include <cstring>

#include "engine/receipt.h"
#include "engine/receipt_format.h"
#include "platform/platform.h"

namespace vz {
namespace {

using namespace receipt_form;

struct Line {
  std::string raw;
  bool ended = false;
  json j;
};

std::vector<Line> SplitLines(const std::string& text) {
  std::vector<Line> lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    Line l;
    l.ended = end != std::string::npos;
    if (!l.ended) end = text.size();
    l.raw = text.substr(start, end - start);
    l.j = json::parse(l.raw, nullptr, false);
    lines.push_back(std::move(l));
    start = end + 1;
  }
  return lines;
}

// The line ends with `member` and a value of 64 digits, which it also holds.
bool EndsWithValue(const Line& l, const char* member, std::size_t tail) {
  const std::string& r = l.raw;
  return r.size() >= tail && r.compare(r.size() - tail, std::strlen(member), member) == 0 &&
         r.compare(r.size() - 2, 2, "\"}") == 0;
}

std::string N(std::size_t n) { return std::to_string(n); }

// Whether a line of the run `id` that starts at lines[from] names the key.
bool RunHasKey(const std::vector<Line>& lines, std::size_t from, const std::string& id, const std::string& keyId) {
  for (std::size_t i = from; i < lines.size() && lines[i].j.is_object() && Str(lines[i].j, "run") == id; ++i)
    if (Str(lines[i].j, "key") == keyId) return true;
  return false;
}

// The number the seal of the run `id` that starts at lines[from] gives it,
// or 0 when no seal of it follows.
std::size_t SealNumber(const std::vector<Line>& lines, std::size_t from, const std::string& id) {
  for (std::size_t i = from; i < lines.size(); ++i) {
    const json& j = lines[i].j;
    if (!j.is_object() || Str(j, "run") != id) return 0;
    if (Str(j, "receipt") == "seal") return Count(j, "number");
  }
  return 0;
}

}  // namespace

ReceiptCheck VerifyReceipt(const std::string& text, const std::string* key, const std::vector<ReceiptAnchor>& anchors) {
  ReceiptCheck c;
  const std::vector<Line> lines = SplitLines(text);
  const std::string keyId = key ? ReceiptKeyId(*key) : std::string(), chainKey = key ? ChainKey(*key) : std::string();
  std::string prev = kNoLine;
  // The keyed run being read: its id, number, first line and chain value,
  // items, and whether its run line was read.
  bool open = false, runLine = false, runKeyed = false;
  std::string runId, runFirst;
  std::size_t current = 0, runStart = 0, runItems = 0;
  std::vector<std::pair<std::size_t, std::string>> seals;  // number, chain value
  auto broken = [&](std::size_t n, std::size_t run, std::string why) {
    c.broken = n;
    c.run = run;
    c.why = std::move(why);
    return c;
  };
  // Why line n does not follow the line before it.
  auto notFollowing = [&](std::size_t n, std::size_t run) {
    if (n == 1) return broken(n, run, "it does not start a receipt: it was moved, or what stood before it was removed");
    if (open && runStart == n) {
      const std::size_t number = SealNumber(lines, n - 1, runId);
      if (number > c.runs + 1)
        return broken(n, c.runs + 1,
                      "run " + N(c.runs + 1) + (number > c.runs + 2 ? " to " + N(number - 1) + " were" : " was") +
                          " removed or moved: line " + N(n) + ", the first of run " + N(number) + ", does not follow line " +
                          N(n - 1));
      return broken(n, run, "it does not follow line " + N(n - 1) + ": lines before it were reordered, removed or put in");
    }
    return broken(n, run,
                  "it does not follow line " + N(n - 1) + ": lines of run " + N(run) + " were reordered, removed or put in");
  };
  for (std::size_t n = 1; n <= lines.size(); ++n) {
    const Line& l = lines[n - 1];
    const json& j = l.j;
    ++c.lines;
    if (!l.ended) return broken(n, open ? current : c.runs + 1, "it was cut short: it has no line end");
    if (!j.is_object()) return broken(n, open ? current : c.runs + 1, "it is not a JSON object");
    const std::string kind = Str(j, "receipt");
    if (EndsWithValue(l, kChainMember, kTail) && Str(j, "chain").size() == 64) {
      ++c.keyedLines;
      const std::string chain = Str(j, "chain"), id = Str(j, "run");
      if (!open || id != runId) {
        if (open)
          return broken(n, current,
                        "run " + N(current) + " (from line " + N(runStart) + ") ends at line " + N(n - 1) +
                            " without its seal: it was cut short there, or line " + N(n) + " was put in");
        open = true;
        runLine = false;
        runId = id;
        runFirst = chain;
        runStart = n;
        runItems = 0;
        current = c.runs + 1;
        runKeyed = key && RunHasKey(lines, n - 1, id, keyId);
      }
      if (Str(j, "prev") != prev) return notFollowing(n, current);
      const std::string lineKey = Str(j, "key");
      if (key && lineKey == keyId) {
        if (ChainValue(chainKey, l.raw.substr(0, l.raw.size() - kTail)) != chain)
          return broken(n, current,
                        "it was changed: its chain value is not the one its content and the line before it give under "
                        "your key");
      } else if (runKeyed) {
        return broken(n, current, "it names another key than the rest of its run: it was changed");
      } else if (c.uncheckedLines++ == 0) {
        c.otherKey = lineKey;
      }
      if (kind == "item") {
        if (runLine) return broken(n, current, "an item line follows the line of its run: it was moved or put in");
        ++runItems;
      } else if (kind == "run") {
        if (runLine) return broken(n, current, "its run has a line of its own already: it was put in");
        runLine = true;
        ++c.runs;
        if (Count(j, "items") != runItems)
          return broken(n, current,
                        "it counts " + N(Count(j, "items")) + " items, but " + N(runItems) +
                            " item lines stand before it in its run: item lines were removed or put in");
      } else if (kind == "seal") {
        if (!runLine) return broken(n, current, "the line of its run is missing before it: it was removed");
        if (Count(j, "items") != runItems)
          return broken(n, current, "it seals " + N(Count(j, "items")) + " items, but its run holds " + N(runItems));
        if (Str(j, "first") != runFirst || Str(j, "last") != prev)
          return broken(n, current,
                        "its first and last chain values are not those of lines " + N(runStart) + " and " + N(n - 1));
        const std::size_t number = Count(j, "number");
        if (number != c.runs)
          return broken(n, current,
                        number > c.runs ? "run " + N(c.runs) + " was removed before this run, which is run " + N(number)
                                        : "it numbers its run " + N(number) + ", but it is run " + N(c.runs));
        open = false;
        seals.emplace_back(number, chain);
      } else {
        return broken(n, current, "it is no item, run or seal line");
      }
      prev = chain;
      continue;
    }
    if (!EndsWithValue(l, kHashMember, kHashTail) || Str(j, "hash").size() != 64)
      return broken(n, open ? current : c.runs + 1, "it does not end with a chain value of its own");
    if (c.keyedLines) return broken(n, open ? current : c.runs + 1, "it is in the earlier, unkeyed form after keyed lines: it was put in");
    ++c.legacyLines;
    const std::size_t run = c.runs + 1;
    if (PlainValue(l.raw.substr(0, l.raw.size() - kHashTail)) != Str(j, "hash"))
      return broken(n, run, "it was changed: its content does not match its hash");
    if (Str(j, "prev") != prev) return notFollowing(n, run);
    if (kind == "run") ++c.runs;
    prev = PlainValue(l.raw);
  }
  if (open)
    return broken(c.lines, current,
                  "run " + N(current) + " (from line " + N(runStart) + ") was cut short after line " + N(c.lines) +
                      ": its seal is missing");
  // The last run recorded beside the key must be in it, as it was.
  if (lines.empty()) return c;
  const std::string id = ReceiptIdOf(lines[0].raw);
  const ReceiptAnchor* best = nullptr;
  for (const auto& a : anchors)
    if (a.receipt == id && (!best || a.runs > best->runs)) best = &a;
  if (!best) return c;
  for (const auto& [number, chain] : seals)
    if (number == best->runs && chain == best->last) c.anchored = true;
  if (c.anchored) return c;
  c.missingRun = best->runs > c.runs ? c.runs + 1 : best->runs;
  c.why = best->runs > c.runs
              ? "it ends with run " + N(c.runs) + " at line " + N(c.lines) + ", but " + N(best->runs) +
                    " runs were written to it (through line " + N(best->lines) +
                    "), as recorded beside your key: it was cut short, or replaced by an older copy of itself"
              : "run " + N(best->runs) + " is not the one written to it, as recorded beside your key: it was replaced";
  return c;
}

std::vector<ReceiptAnchor> ParseAnchors(const std::string& text) {
  std::vector<ReceiptAnchor> out;
  for (const Line& l : SplitLines(text)) {
    if (!l.j.is_object()) continue;
    ReceiptAnchor a{Str(l.j, "receipt"), Count(l.j, "runs"), Count(l.j, "lines"), Str(l.j, "last")};
    if (a.receipt.size() == 64 && a.last.size() == 64 && a.runs != static_cast<std::size_t>(-1)) out.push_back(a);
  }
  return out;
}

std::vector<ReceiptAnchor> UserAnchors(std::string* why) {
  auto folder = UserKeyFolder(why);
  if (!folder) return {};
#ifdef _WIN32
  auto text = ReadUserFile(*folder + "\\" + kAnchorsName, why);
#else
  auto text = ReadUserFile(*folder + "/" + kAnchorsName, why);
#endif
  return text ? ParseAnchors(*text) : std::vector<ReceiptAnchor>{};
}

std::vector<ReceiptHit> FindInReceipt(const std::string& text, const std::string& path, const std::string& key,
                                      std::size_t* otherKeys) {
  std::vector<ReceiptHit> hits;
  const std::string want = PathHmac(key, path), id = ReceiptKeyId(key);
  std::size_t number = 0, others = 0;
  for (const Line& l : SplitLines(text)) {
    ++number;
    if (!l.j.is_object() || Str(l.j, "receipt") != "item") continue;
    if (Str(l.j, "key") != id) {
      ++others;
      continue;
    }
    if (Str(l.j, "path_hmac") == want)
      hits.push_back({number, Str(l.j, "finished"), Str(l.j, "outcome"), Str(l.j, "action")});
  }
  if (otherKeys) *otherKeys = others;
  return hits;
}

}  // namespace vz
