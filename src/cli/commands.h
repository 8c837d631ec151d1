// The companion program's commands. Each returns the exit status: 0 when
// every item was done, 1 when an item failed, was skipped or refused, 2 for
// a usage error (nothing is touched then).
#pragma once

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
};

struct SettingsFlags {
  std::optional<int> passes;
  std::optional<bool> progress, contextMenu, sendTo;
};

// How the stored items named on the command line are to be taken.
struct ItemArgs {
  std::vector<std::string> args;
  bool stored = false;  // stored names (C1.doc) rather than paths
};

// Whole numbers as the options take them: decimal, or hexadecimal after
// 0x; nothing else, no sign, no blanks. nullopt outside [low, high].
std::optional<long> ParseNumber(const std::string& text, long low, long high);

int Send(const std::vector<std::string>& paths, bool yes);
int List(bool json);
int Restore(const ItemArgs& items, bool yes, bool replace);
int Vaporize(const ItemArgs& items, const ShredFlags& flags, bool yes);
int Empty(const ShredFlags& flags, bool yes);
int Shred(const std::vector<std::string>& paths, const ShredFlags& flags, bool yes);
int Settings(const SettingsFlags& flags);
int Properties(const ItemArgs& items, bool json);
int Volumes(bool json);

}  // namespace vz::cli
