// Receipts: what a run destroyed, how and when. A receipt file holds one
// JSON line per item and one per run. Each line ends with the SHA-256 of
// itself ("hash", over the line up to that member) and carries the hash of
// the line before it ("prev"; zeros on the first line), so that a changed,
// removed or inserted line breaks the chain where it stands. An item's
// original path appears only as HMAC-SHA-256 under the user's secret key
// ("path_hmac"): the receipt proves what was done to a path its owner names,
// without naming anything itself.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/report.h"

namespace vz {

struct ReceiptRun {
  std::string command;            // what started the run: "vaporize", "empty", "shred", "explorer", ...
  std::string started, finished;  // UTC, ISO 8601
  int passes = 0;
  int fill = 0;
  bool verify = false;
  std::vector<std::string> volumeTrims;  // "C: trimmed", "D: not trimmed: why"
};

// Now, in UTC: "2024-05-01T12:00:00Z".
std::string UtcNow();

// The keyed hash of an item's path, as "path_hmac" carries it.
std::string PathHmac(const std::string& key, const std::string& path);

// The lines of one run (its items, then the run), each ended by a line
// feed, chained to `previous`, the last line already in the file (empty
// for none). Item lines stand in the order of the report.
std::string ReceiptLines(const Report& report, const ReceiptRun& run, const std::string& key,
                         const std::string& previous);

// Adds the run to a receipt file (made for the user alone when missing);
// false with *why.
bool WriteReceipt(const std::string& hostPath, const Report& report, const ReceiptRun& run, std::string* why);

// The file where receipts are kept when the settings ask for them.
std::string DefaultReceiptPath(std::string* why);

struct ReceiptCheck {
  std::size_t lines = 0;   // lines read
  std::size_t broken = 0;  // the first broken line, from 1; 0 when the chain is whole
  std::string why;
};
ReceiptCheck VerifyReceipt(const std::string& text);

// The item lines whose path_hmac is that of `path` under `key`.
struct ReceiptHit {
  std::size_t line = 0;
  std::string finished, outcome, action;
};
// *otherKeys: how many item lines were made with another key (they cannot
// be searched with this one).
std::vector<ReceiptHit> FindInReceipt(const std::string& text, const std::string& path, const std::string& key,
                                      std::size_t* otherKeys);

}  // namespace vz
