#include "settings/settings.h"

#include <iterator>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "settings/policy.h"

namespace vz {
namespace {

// A value that does not exist, is not a 32-bit number or cannot be read
// counts as missing; the reader then takes its own default.
std::optional<std::uint32_t> ReadDword(const char* name) {
  KvValue v = Plat().KvRead(kSettingsKey, name);
  if (v.type != KvType::Dword) return std::nullopt;
  return v.dword;
}

std::uint32_t AsDword(bool b) { return b ? 1u : 0u; }

// Why a number setting is not used as stored, and what is used instead.
void Replaced(std::vector<std::string>& problems, const NumberRead& r, std::uint32_t fallback) {
  if (!r.problem.empty()) problems.push_back(r.problem + "; " + std::to_string(fallback) + " is used instead");
}

// The pass count raised to the policy's lowest; *origin tells the policy.
std::int32_t Floored(std::int32_t passes, const Policy& p, std::string* origin = nullptr) {
  const PolicyValue* v = p.Find("MinimumPasses");
  if (!v) return passes;
  if (origin) *origin = PolicyOrigin("MinimumPasses", *v);
  return passes < static_cast<std::int32_t>(v->value) ? static_cast<std::int32_t>(v->value) : passes;
}

// A switch or number the policy sets replaces the user's.
template <class T>
void Ruled(const Policy& p, const char* name, T& value, std::string* origin) {
  if (const PolicyValue* v = p.Find(name)) {
    value = static_cast<T>(v->value);
    if (origin) *origin = PolicyOrigin(name, *v);
  }
}

}  // namespace

NumberRead ReadNumber(const NumberSetting& setting) {
  NumberRead r;
  auto v = ReadDword(setting.name);
  if (v && *v >= setting.low && *v <= setting.high) r.value = v;
  else if (v)
    r.problem = std::string(setting.name) + " in the settings is " + std::to_string(*v) +
                ", outside " + std::to_string(setting.low) + " to " + std::to_string(setting.high);
  return r;
}

VaporizerSettings LoadSettings() {
  VaporizerSettings s;
  // Opening creates the key, so a first read leaves it there, empty.
  if (!Plat().KvOpenKey(kSettingsKey, true)) return s;
  if (auto v = ReadNumber(kShredCount).value) s.passCount = static_cast<std::int32_t>(*v);
  if (auto v = ReadDword("ShowIndicator")) s.showProgress = *v != 0;
  if (auto v = ReadDword("InsertContext")) s.insertContextMenu = *v != 0;
  if (auto v = ReadDword("InsertSendTo")) s.insertSendTo = *v != 0;
  const Policy p = ReadMachinePolicy();
  s.passCount = Floored(s.passCount, p);
  Ruled(p, "FileMenu", s.insertContextMenu, nullptr);
  return s;
}

BatchSettings ReadBatchSettings() {
  BatchSettings b;
  // Without a key there is nowhere to keep a choice: one pass, and the
  // progress window as on a first run.
  if (!Plat().KvOpenKey(kSettingsKey, true)) return b;
  NumberRead passes = ReadNumber(kShredCount);
  b.passes = static_cast<std::int32_t>(passes.value.value_or(1));
  Replaced(b.problems, passes, 1);
  if (!passes.value && passes.problem.empty()) Plat().KvWriteDword(kSettingsKey, kShredCount.name, 1);
  if (auto v = ReadDword("ShowIndicator")) {
    b.showProgress = *v != 0;
  } else {
    b.showProgress = true;
    Plat().KvWriteDword(kSettingsKey, "ShowIndicator", 1);
  }
  const Policy p = ReadMachinePolicy();
  b.passes = Floored(b.passes, p);
  for (const auto& w : p.warnings) b.problems.push_back(w);
  return b;
}

SettingsView PeekSettings(bool withPolicy) {
  SettingsView v;
  BatchSettings batch;
  v.values.passCount = batch.passes;
  v.values.showProgress = batch.showProgress;
  const char* names[4] = {"ShredCount", "ShowIndicator", "InsertContext", "InsertSendTo"};
  for (int i = 0; i < 4; ++i) {
    auto d = ReadDword(names[i]);
    if (!d) continue;
    v.written[i] = true;
    switch (i) {
      case 0: {
        NumberRead passes = ReadNumber(kShredCount);
        Replaced(v.problems, passes, static_cast<std::uint32_t>(batch.passes));
        if (passes.value) v.values.passCount = static_cast<std::int32_t>(*passes.value);
        break;
      }
      case 1: v.values.showProgress = *d != 0; break;
      case 2: v.values.insertContextMenu = *d != 0; break;
      default: v.values.insertSendTo = *d != 0; break;
    }
  }
  if (!withPolicy) return v;
  const Policy p = ReadMachinePolicy();
  v.values.passCount = Floored(v.values.passCount, p, &v.policy[0]);
  if (const PolicyValue* floor = p.Find("MinimumPasses")) v.minimumPasses = floor->value;
  Ruled(p, "FileMenu", v.values.insertContextMenu, &v.policy[2]);
  for (const auto& w : p.warnings) v.problems.push_back(w);
  return v;
}

namespace {

struct DestructionValue {
  const char* name;  // also the name of the policy that rules it
  bool DestructionSettings::*member;
};
constexpr DestructionValue kDestruction[] = {
    {"Verify", &DestructionSettings::verify},
    {"TrimVolume", &DestructionSettings::trimVolume},
    {"KeepReceipts", &DestructionSettings::keepReceipts},
    {"LogReceipts", &DestructionSettings::logReceipts},
};

}  // namespace

DestructionView ReadDestructionSettings(bool withPolicy) {
  DestructionView v;
  for (std::size_t i = 0; i < std::size(kDestruction); ++i) {
    if (auto d = ReadDword(kDestruction[i].name)) {
      v.values.*kDestruction[i].member = *d != 0;
      v.written[i] = true;
    }
  }
  if (!withPolicy) return v;
  const Policy p = ReadMachinePolicy();
  for (std::size_t i = 0; i < std::size(kDestruction); ++i)
    Ruled(p, kDestruction[i].name, v.values.*kDestruction[i].member, &v.policy[i]);
  return v;
}

bool SaveDestructionSettings(const DestructionSettings& s) {
  if (!Plat().KvOpenKey(kSettingsKey, true)) return false;
  for (const auto& d : kDestruction) Plat().KvWriteDword(kSettingsKey, d.name, AsDword(s.*d.member));
  return true;
}

namespace {

const std::string kQuietKey = std::string(kSettingsKey) + "QuietWarnings\\";

// What is kept of a warning: enough of its hash to tell a changed text.
std::string Fingerprint(const std::string& text) {
  auto d = Sha256(text);
  return d ? HexOf(*d).substr(0, 16) : std::string();
}

}  // namespace

bool WarningSilenced(const std::string& volumeId, const std::string& text) {
  KvValue v = Plat().KvRead(kQuietKey, volumeId);
  return !volumeId.empty() && v.type == KvType::String && v.text == Fingerprint(text);
}

void SilenceWarning(const std::string& volumeId, const std::string& text) {
  if (!volumeId.empty()) Plat().KvWriteString(kQuietKey, volumeId, Fingerprint(text));
}

EmptyingSettings LoadEmptyingSettings(bool withPolicy) {
  EmptyingSettings s;
  NumberRead days = ReadNumber(kEmptyAfterDays), mb = ReadNumber(kStoreLimitMb);
  s.afterDays = days.value.value_or(0);
  s.storeLimitMb = mb.value.value_or(0);
  Replaced(s.problems, days, 0);
  Replaced(s.problems, mb, 0);
  if (!withPolicy) return s;
  const Policy p = ReadMachinePolicy();
  Ruled(p, kEmptyAfterDays.name, s.afterDays, &s.policy[0]);
  Ruled(p, kStoreLimitMb.name, s.storeLimitMb, &s.policy[1]);
  return s;
}

bool SaveEmptyingSettings(const EmptyingSettings& s) {
  for (auto [setting, v] : {std::pair{kEmptyAfterDays, s.afterDays}, std::pair{kStoreLimitMb, s.storeLimitMb}})
    if (v < setting.low || v > setting.high) return false;
  if (!Plat().KvOpenKey(kSettingsKey, true)) return false;
  bool days = Plat().KvWriteDword(kSettingsKey, kEmptyAfterDays.name, s.afterDays);
  return Plat().KvWriteDword(kSettingsKey, kStoreLimitMb.name, s.storeLimitMb) && days;
}

bool SaveSettings(const VaporizerSettings& s, const MenuSwitches& switches) {
  if (!Plat().KvOpenKey(kSettingsKey, true)) return false;
  // A single failed write is ignored; the rest still go out.
  Plat().KvWriteDword(kSettingsKey, "ShredCount", static_cast<std::uint32_t>(s.passCount));
  Plat().KvWriteDword(kSettingsKey, "ShowIndicator", AsDword(s.showProgress));
  Plat().KvWriteDword(kSettingsKey, "InsertContext", AsDword(s.insertContextMenu));
  if (switches.setFileMenuRegistration) switches.setFileMenuRegistration(s.insertContextMenu);
  Plat().KvWriteDword(kSettingsKey, "InsertSendTo", AsDword(s.insertSendTo));
  if (switches.setSendToShortcut) switches.setSendToShortcut(s.insertSendTo);
  return true;
}

}  // namespace vz
