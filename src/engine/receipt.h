// Receipts: what a run destroyed, how and when. A receipt file holds one
// JSON line per item, then one for the run and a seal that closes it. Each
// line ends with its chain value ("chain"): HMAC-SHA-256, under a key drawn
// from the user's secret, over the line up to that member, which carries the
// chain value of the line before it ("prev"; zeros on the first line). The
// seal counts the run's items and carries the chain values of its first and
// last lines and the number of the run in the file. Nobody without the key
// can change, remove, reorder or put in a line without breaking the chain
// where it stands. A run's end is also recorded beside the key (the
// anchors), so that a receipt cut at a run's end, or replaced by an older
// copy of itself, still shows.
//
// Receipts written before keyed chains carry a plain SHA-256 of each line
// ("hash") and of the line before it ("prev"): they still verify, as what
// they are. An item's original path appears only as HMAC-SHA-256 under the
// user's secret ("path_hmac"), never the name itself.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/report.h"

namespace vz {

struct ReceiptRun {
  std::string id;                 // names the run in its lines; drawn afresh when empty
  std::string command;            // what started the run: "vaporize", "empty", "shred", "explorer", ...
  std::string started, finished;  // UTC, ISO 8601
  int passes = 0;
  int fill = 0;
  bool verify = false;
  std::vector<std::string> volumeTrims;  // "C: trimmed", "D: not trimmed: why"
};

// Now, in UTC: "2024-05-01T12:00:00Z".
std::string UtcNow();

// A run's name: 16 random hexadecimal digits. One run written to several
// receipts and to the system's log carries the same one everywhere.
std::string NewRunId();

// The keyed hash of an item's path, as "path_hmac" carries it.
std::string PathHmac(const std::string& key, const std::string& path);

// Which key made a line ("key"), without telling anything of the key.
std::string ReceiptKeyId(const std::string& key);

// What a receipt file holds so far, as the next run continues it.
struct ReceiptTail {
  std::string firstLine;  // the file's first line, which names the receipt
  std::string prev;       // the chain value the next line carries as "prev"
  std::size_t runs = 0;   // runs in it (their run lines)
  std::size_t lines = 0;
};
ReceiptTail TailOf(const std::string& contents);

// The end of a run as kept beside the key: the receipt (the SHA-256 of its
// first line), how many runs and lines it had, and the chain value of the
// last run's seal.
struct ReceiptAnchor {
  std::string receipt;
  std::size_t runs = 0, lines = 0;
  std::string last;
};

// The lines of one run (its items, the run, its seal), each ended by a line
// feed, continuing `tail`. Item lines stand in the order of the report.
// *anchor: what the file's anchor becomes once the lines are in it.
std::string ReceiptLines(const Report& report, const ReceiptRun& run, const std::string& key, const ReceiptTail& tail,
                         ReceiptAnchor* anchor = nullptr);

// Adds the run to a receipt file (made for the user alone when missing) and
// its anchor beside the key; false with *why.
bool WriteReceipt(const std::string& hostPath, const Report& report, const ReceiptRun& run, std::string* why);

// The file where receipts are kept when the settings ask for them.
std::string DefaultReceiptPath(std::string* why);

// The anchors kept beside the key, in the order they were written (an
// anchor file's lines); lines that are not anchors are left out.
std::vector<ReceiptAnchor> ParseAnchors(const std::string& text);
// The user's anchors; empty, with *why, when there are none to be had.
std::vector<ReceiptAnchor> UserAnchors(std::string* why);

struct ReceiptCheck {
  std::size_t lines = 0;        // lines read
  std::size_t runs = 0;         // runs read (their run lines)
  std::size_t legacyLines = 0;  // lines of the earlier, unkeyed form
  std::size_t keyedLines = 0;
  // Keyed lines whose chain values could not be checked: no key, or another
  // key than the one given made them (`otherKey` names the first).
  std::size_t uncheckedLines = 0;
  std::string otherKey;
  // Where the receipt is broken: the first broken line (from 1) and its run
  // (from 1; 0 where it belongs to none); or a run known from the anchors
  // that is missing at the end (missingRun, with `broken` 0).
  std::size_t broken = 0, run = 0, missingRun = 0;
  std::string why;
  // Whether the anchors know the receipt and it holds the last run they
  // recorded for it.
  bool anchored = false;
  bool Broken() const { return broken || missingRun; }
};
// `key` may be null (no key on this machine): the chain values are then
// only followed from line to line, never proved.
ReceiptCheck VerifyReceipt(const std::string& text, const std::string* key,
                           const std::vector<ReceiptAnchor>& anchors = {});

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
