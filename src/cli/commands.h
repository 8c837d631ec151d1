// The companion program's commands. Each returns the exit status: 0 when
// every item was done, 1 when an item failed, was skipped or refused, 2 for
// a usage error (nothing is touched then).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vz::cli {

constexpr int kExitDone = 0, kExitItems = 1, kExitUsage = 2;

// How a drive whose store was seen is shown while it is not mounted.
constexpr const char* kDriveNotPresent = "drive not present";

struct ShredFlags {
  std::optional<int> passes;
  std::optional<int> fill;
  bool keep = false;
  bool Any() const { return passes || fill || keep; }
  // Beyond the passes: read back, receipts, and how the report is printed.
  bool verify = false;
  std::string receipt;  // a receipt file, as the host names it
  bool json = false;
};

struct SettingsFlags {
  std::optional<int> passes;
  std::optional<bool> progress, contextMenu, sendTo;
  std::optional<bool> verify, volumeTrim, receipts, systemLog;
  std::optional<int> emptyAfter, storeLimit;
};

// Which stored items a command takes by rule: those sent longer ago than
// --older-than, the oldest of each store above --keep-under, or the rule of
// the settings with --by-settings.
struct RuleFlags {
  std::optional<std::int64_t> olderThan;   // seconds
  std::optional<std::uint64_t> keepUnder;  // bytes
  bool bySettings = false;
  bool Any() const { return olderThan || keepUnder || bySettings; }
};

// How the stored items named on the command line are to be taken.
struct ItemArgs {
  std::vector<std::string> args;
  bool stored = false;  // stored names (C1.doc) rather than paths
};

// Whole numbers as the options take them: decimal, or hexadecimal after
// 0x; nothing else, no sign, no blanks. nullopt outside [low, high].
std::optional<long> ParseNumber(const std::string& text, long low, long high);
// An age such as 12h, 30d or 2w, in seconds; nullopt for anything else.
std::optional<std::int64_t> ParseAge(const std::string& text);
// A size such as 1048576, 500K, 500M or 2G (powers of 1024, an optional B
// after the letter), in bytes; nullopt for anything else.
std::optional<std::uint64_t> ParseSize(const std::string& text);

int Send(const std::vector<std::string>& paths, bool yes);
int List(bool json, const RuleFlags& rule = {});
int Restore(const ItemArgs& items, bool yes, bool replace);
int Vaporize(const ItemArgs& items, const ShredFlags& flags, bool yes);
int Empty(const ShredFlags& flags, bool yes, bool json = false, const RuleFlags& rule = {});
int Shred(const std::vector<std::string>& paths, const ShredFlags& flags, bool yes);
int Settings(const SettingsFlags& flags);
// Every rule of the machine policy, its range, and its value where one is set.
int PolicyRules(bool json);
int Properties(const ItemArgs& items, bool json);
int Volumes(bool json);
// `receipt verify FILE` and `receipt find FILE PATH`.
int ReceiptVerify(const std::string& file);
int ReceiptFind(const std::string& file, const std::string& path);
// enable, disable or status of the scheduled emptying.
int Retention(const std::string& action);

}  // namespace vz::cli
