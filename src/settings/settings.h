// The four per-user settings, read afresh at every use from
// HKEY_CURRENT_USER\SOFTWARE\Orvel\Gearloft\Vaporizer\ (on POSIX the
// per-user key-value store).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace vz {

constexpr const char* kSettingsKey = "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\";
constexpr const char* kGearloftKey = "SOFTWARE\\Orvel\\Gearloft\\";

struct VaporizerSettings {
  std::int32_t passCount = 3;
  bool showProgress = false;
  bool insertContextMenu = true;
  bool insertSendTo = true;
};

// The settings screens' read: defaults 3, false, true, true; creates the key.
VaporizerSettings LoadSettings();

// The vaporize operation's own read: ShredCount (default 1, written back
// when missing) and ShowIndicator (default true, written back).
struct BatchSettings {
  std::int32_t passes = 1;
  bool showProgress = true;
};
BatchSettings ReadBatchSettings();

// The four settings as they stand, read without writing anything: passes
// and progress as the next batch takes them (1 and on when not written),
// the menu options as the settings screens take them. `written` tells
// which values are stored, in the order ShredCount, ShowIndicator,
// InsertContext, InsertSendTo; the others are defaults not written yet.
struct SettingsView {
  VaporizerSettings values;
  bool written[4] = {false, false, false, false};
};
SettingsView PeekSettings();

// A whole-number setting: its value name, the range that the settings
// screens and the command line accept, and the reader's default. A number
// stored outside the range counts as not written: nothing acts on a value
// that no screen could have saved.
struct NumberSetting {
  const char* name;
  std::uint32_t low, high, fallback;
  bool Accepts(std::uint64_t v) const { return v >= low && v <= high; }
};

// The emptying rules. Items that have been in the Vaporizer for more than
// this many days are vaporized (0: never); each drive's store is kept
// under this many MB (MiB), the oldest items going first (0: no limit).
constexpr NumberSetting kEmptyAfterDays{"EmptyAfterDays", 0, 3650, 0};
constexpr NumberSetting kStoreLimitMb{"StoreLimitMB", 0, 16u * 1024 * 1024, 0};

// The stored number when it is written and in range.
std::optional<std::uint32_t> ReadNumberSetting(const NumberSetting& setting);

struct EmptyingSettings {
  std::uint32_t afterDays = 0;
  std::uint32_t storeLimitMb = 0;
  bool Any() const { return afterDays || storeLimitMb; }
};
EmptyingSettings LoadEmptyingSettings();
// Writes both; false when the key cannot be opened or a value is out of
// its range (then nothing is written).
bool SaveEmptyingSettings(const EmptyingSettings& s);

// What turns the two menu options on and off: on Windows the file
// context-menu registration and the Send To shortcut; elsewhere nothing.
// A switch that fails throws, which ends the save at that step.
struct MenuSwitches {
  std::function<void(bool)> setFileMenuRegistration;
  std::function<void(bool)> setSendToShortcut;
};

// Writes ShredCount, ShowIndicator, InsertContext, applies the context-menu
// switch, writes InsertSendTo, applies the Send To switch. False (nothing
// written, no switch applied) when the key cannot be opened or created;
// a failed single write is ignored.
bool SaveSettings(const VaporizerSettings& s, const MenuSwitches& switches);

}  // namespace vz
