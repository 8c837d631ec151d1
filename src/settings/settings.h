// The four per-user settings, read afresh at every use from
// HKEY_CURRENT_USER\SOFTWARE\Orvel\Gearloft\Vaporizer\ (on POSIX the
// per-user key-value store). Every reader here gives the machine policy's
// values (settings/policy.h) where it sets them: the user's stay stored.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vz {

constexpr const char* kSettingsKey = "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\";
constexpr const char* kGearloftKey = "SOFTWARE\\Orvel\\Gearloft\\";

// A number kept in the settings store and the range in which a stored value
// is taken as it stands: every reader checks it, and the command line takes
// the same bounds. A stored value outside it is reported and the reader's
// default used instead. `offered` is the narrower range the settings
// screens (and `vaporizer settings`) offer.
struct NumberSetting {
  const char* name;
  std::uint32_t low, high;
  std::uint32_t offeredLow, offeredHigh;
};
// Overwrite passes per file: a batch makes 1 to 65535 (ShredOptions.Passes
// holds 16 bits; 0 would be a delete without an overwrite); the slider of
// the settings screens runs from 1 to 10.
constexpr NumberSetting kShredCount{"ShredCount", 1, 65535, 1, 10};
// The emptying rules, 0 switching each off: items that have been in the
// Vaporizer for more than this many days are vaporized; each drive's store
// is kept under this many MB (MiB), the oldest items going first. Acted on
// without a question, so out of range a rule is off.
constexpr NumberSetting kEmptyAfterDays{"EmptyAfterDays", 0, 3650, 0, 3650};
constexpr NumberSetting kStoreLimitMb{"StoreLimitMB", 0, 16u * 1024 * 1024, 0, 16u * 1024 * 1024};
constexpr NumberSetting kNumberSettings[] = {kShredCount, kEmptyAfterDays, kStoreLimitMb};

// A number setting as read: its value when it is stored and in range; when
// it is stored out of range, no value and what is wrong with it.
struct NumberRead {
  std::optional<std::uint32_t> value;
  std::string problem;  // "ShredCount in the settings is 0, outside 1 to 65535"
};
NumberRead ReadNumber(const NumberSetting& setting);

struct VaporizerSettings {
  std::int32_t passCount = 3;
  bool showProgress = false;
  bool insertContextMenu = true;
  bool insertSendTo = true;
};

// The settings screens' read: defaults 3, false, true, true (also for a
// number out of range); creates the key.
VaporizerSettings LoadSettings();

// The vaporize operation's own read: ShredCount (default 1, written back
// when missing; out of range, 1 and a problem, the stored value left for the
// user to mend) and ShowIndicator (default true, written back).
struct BatchSettings {
  std::int32_t passes = 1;
  bool showProgress = true;
  // Values that could not be used as stored, and what was used instead.
  std::vector<std::string> problems;
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
  std::vector<std::string> problems;  // as in BatchSettings
  // Values the machine policy rules, in the same order: where it was set
  // (PolicyOrigin); for the passes, the lowest it allows is minimumPasses.
  std::string policy[4];
  std::uint32_t minimumPasses = 0;
};
// withPolicy false: the user's own values, as they are to be saved again.
SettingsView PeekSettings(bool withPolicy = true);

// How destruction goes beyond the passes. Kept beside the four settings as
// REG_DWORD 0 or 1 (any other number is true); a missing or mistyped value
// takes its default.
struct DestructionSettings {
  bool verify = false;        // "Verify": every file read back from the device and compared
  bool trimVolume = true;     // "TrimVolume": the volume's free space trimmed after a batch
  bool keepReceipts = false;  // "KeepReceipts": a receipt of every vaporize in the user's data folder
  bool logReceipts = false;   // "LogReceipts": the receipt's facts in the system's log too
};
// Values as read; `written` tells which are stored, in the order above.
struct DestructionView {
  DestructionSettings values;
  bool written[4] = {false, false, false, false};
  std::string policy[4];  // where the machine policy set a value, as in SettingsView
};
DestructionView ReadDestructionSettings(bool withPolicy = true);
// Writes the four values; false when the key cannot be opened or created.
bool SaveDestructionSettings(const DestructionSettings& s);

// The medium's warnings the user asked not to be told again, per volume and
// per user: a warning stays silent while its text is the one silenced for
// that volume; a changed verdict is told again.
bool WarningSilenced(const std::string& volumeId, const std::string& text);
void SilenceWarning(const std::string& volumeId, const std::string& text);

struct EmptyingSettings {
  std::uint32_t afterDays = 0;
  std::uint32_t storeLimitMb = 0;
  std::vector<std::string> problems;  // as in BatchSettings
  std::string policy[2];              // where the machine policy set each, as in SettingsView
  bool Any() const { return afterDays || storeLimitMb; }
};
EmptyingSettings LoadEmptyingSettings(bool withPolicy = true);
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
