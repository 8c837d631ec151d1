// The companion program's commands. Each returns the exit status: 0 when
// every item succeeded, 1 when some failed or were skipped, 2 for a usage
// error or a refusal that changed nothing.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vz::cli {

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

int Send(const std::vector<std::string>& paths, bool yes);
int List(bool json);
int Restore(const std::vector<std::string>& items, bool yes);
int Vaporize(const std::vector<std::string>& items, const ShredFlags& flags, bool yes);
int Empty(const ShredFlags& flags, bool yes);
int Shred(const std::vector<std::string>& paths, const ShredFlags& flags, bool yes);
int Settings(const SettingsFlags& flags);
int Properties(const std::vector<std::string>& items, bool json);
int Volumes(bool json);

}  // namespace vz::cli
