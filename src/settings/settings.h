// The four per-user settings, read afresh at every use from
// HKEY_CURRENT_USER\SOFTWARE\Orvel\Gearloft\Vaporizer\ (on POSIX the
// per-user key-value store).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

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

// How destruction goes beyond the passes. Kept beside the four settings as
// REG_DWORD 0 or 1 (any other number is true); a missing or mistyped value
// takes its default.
struct DestructionSettings {
  bool verify = false;        // "Verify": every file read back from the device and compared
  bool trimVolume = true;     // "TrimVolume": the volume's free space trimmed after a batch
  bool keepReceipts = false;  // "KeepReceipts": a receipt of every vaporize in the user's data folder
};
// Values as read; `written` tells which are stored, in the order above.
struct DestructionView {
  DestructionSettings values;
  bool written[3] = {false, false, false};
};
DestructionView ReadDestructionSettings();
// Writes the three values; false when the key cannot be opened or created.
bool SaveDestructionSettings(const DestructionSettings& s);

// The medium's warnings the user asked not to be told again, per volume and
// per user: a warning stays silent while its text is the one silenced for
// that volume; a changed verdict is told again.
bool WarningSilenced(const std::string& volumeId, const std::string& text);
void SilenceWarning(const std::string& volumeId, const std::string& text);

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
