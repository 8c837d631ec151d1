// `vaporizer settings`: what the next vaporize uses, changed where the
// machine policy lets the user change it.
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/paths.h"
#include "common/text.h"
#include "settings/policy.h"
#include "settings/settings.h"

namespace vz::cli {
namespace {

// Pads to a column on a terminal, where a character may take 0, 1 or 2.
std::string Pad(std::string s, std::size_t width) {
  std::size_t used = DisplayWidth(s);
  if (used < width) s += std::string(width - used, ' ');
  return s;
}

// Why a change asked for is refused by the machine policy; empty when none is.
std::string PolicyRefusal(const SettingsFlags& flags, const SettingsView& view, const DestructionView& more,
                          const EmptyingSettings& emptying) {
  if (flags.passes && view.minimumPasses && static_cast<std::uint32_t>(*flags.passes) < view.minimumPasses)
    return "passes cannot be set below " + std::to_string(view.minimumPasses) + ", the lowest allowed by " +
           view.policy[0];
  const std::pair<bool, const std::string*> ruled[] = {
      {flags.contextMenu.has_value(), &view.policy[2]}, {flags.verify.has_value(), &more.policy[0]},
      {flags.volumeTrim.has_value(), &more.policy[1]},  {flags.receipts.has_value(), &more.policy[2]},
      {flags.systemLog.has_value(), &more.policy[3]},
      {flags.emptyAfter.has_value(), &emptying.policy[0]}, {flags.storeLimit.has_value(), &emptying.policy[1]}};
  for (const auto& [asked, origin] : ruled)
    if (asked && !origin->empty()) return "the value is set by " + *origin + " and cannot be changed here";
  return {};
}

}  // namespace

int Settings(const SettingsFlags& flags) {
  SettingsView view = PeekSettings();
  DestructionView more = ReadDestructionSettings();
  // Nothing is written when the policy refuses any of the changes asked.
  const std::string refused = PolicyRefusal(flags, view, more, LoadEmptyingSettings());
  if (!refused.empty()) {
    std::cerr << "vaporizer: " << Printable(refused) << "\n";
    return kExitItems;
  }
  // What is written is the user's own: values the policy rules stay as
  // the user left them.
  if (flags.verify || flags.volumeTrim || flags.receipts || flags.systemLog) {
    DestructionSettings d = ReadDestructionSettings(false).values;
    if (flags.verify) d.verify = *flags.verify;
    if (flags.volumeTrim) d.trimVolume = *flags.volumeTrim;
    if (flags.receipts) d.keepReceipts = *flags.receipts;
    if (flags.systemLog) d.logReceipts = *flags.systemLog;
    if (!SaveDestructionSettings(d)) {
      std::cerr << "vaporizer: the settings could not be written\n";
      return kExitItems;
    }
    more = ReadDestructionSettings();
  }
  if (flags.emptyAfter || flags.storeLimit) {
    EmptyingSettings e = LoadEmptyingSettings(false);
    if (flags.emptyAfter) e.afterDays = static_cast<std::uint32_t>(*flags.emptyAfter);
    if (flags.storeLimit) e.storeLimitMb = static_cast<std::uint32_t>(*flags.storeLimit);
    if (!SaveEmptyingSettings(e)) {
      std::cerr << "vaporizer: the settings could not be written\n";
      return kExitItems;
    }
  }
  bool change = flags.passes || flags.progress || flags.contextMenu || flags.sendTo;
  if (change) {
    // Every value is written: what was in use stays in use.
    VaporizerSettings s = PeekSettings(false).values;
    if (flags.passes) s.passCount = *flags.passes;
    if (flags.progress) s.showProgress = *flags.progress;
    if (flags.contextMenu) s.insertContextMenu = *flags.contextMenu;
    if (flags.sendTo) s.insertSendTo = *flags.sendTo;
    // The two menu entries belong to Explorer; here the choice is recorded.
    MenuSwitches none{[](bool) {}, [](bool) {}};
    if (!SaveSettings(s, none)) {
      std::cerr << "vaporizer: the settings could not be written\n";
      return kExitItems;
    }
    view = PeekSettings();
  }
  for (const auto& p : view.problems) std::cout << "warning: " << Printable(p) << "\n";
  const VaporizerSettings& s = view.values;
  auto onOff = [](bool b) { return b ? "on" : "off"; };
  // A value the policy rules is marked, with where it was set.
  auto row = [](const char* label, const std::string& value, const std::string& meaning, bool written,
                const std::string& policy) {
    std::cout << label << Pad(value, 4) << (value.size() >= 4 ? " " : "") << (policy.empty() ? "" : "(policy) ") << "("
              << meaning << (policy.empty() ? (written ? "" : "; default, not written yet") : "; " + Printable(policy))
              << ")\n";
  };
  auto setBy = [](const std::string& origin) { return origin.empty() ? origin : "set by " + origin; };
  row("passes        ", std::to_string(s.passCount), "overwrite passes per file", view.written[0],
      view.minimumPasses ? "at least " + std::to_string(view.minimumPasses) + " by " + view.policy[0] : "");
  row("progress      ", onOff(s.showProgress), "progress display while vaporizing", view.written[1], "");
  row("context-menu  ", onOff(s.insertContextMenu), "\"Send to Vaporizer\" on files and folders", view.written[2],
      setBy(view.policy[2]));
  row("send-to       ", onOff(s.insertSendTo), "Vaporizer in the Send To menu", view.written[3], "");
  const DestructionSettings& d = more.values;
  row("verify        ", onOff(d.verify), "read every vaporized file back from the device", more.written[0], setBy(more.policy[0]));
  row("volume-trim   ", onOff(d.trimVolume), "trim the volume's freed space after vaporizing", more.written[1],
      setBy(more.policy[1]));
  row("receipts      ", onOff(d.keepReceipts), "a receipt of every vaporize in your data folder", more.written[2],
      setBy(more.policy[2]));
  row("system-log    ", onOff(d.logReceipts), "every vaporize's receipt in the system's log", more.written[3],
      setBy(more.policy[3]));
  const EmptyingSettings e = LoadEmptyingSettings();
  for (const auto& p : e.problems) std::cout << "warning: " << Printable(p) << "\n";
  auto stored = [](const NumberSetting& n) {
    NumberRead r = ReadNumber(n);
    return r.value || !r.problem.empty();
  };
  row("empty-after   ", std::to_string(e.afterDays), "vaporize what was sent more than N days ago; 0: never",
      stored(kEmptyAfterDays), setBy(e.policy[0]));
  row("store-limit   ", std::to_string(e.storeLimitMb), "MB each drive's store is kept under, oldest items first; 0: no limit",
      stored(kStoreLimitMb), setBy(e.policy[1]));
  // Rules that only the policy sets.
  const Policy policy = ReadMachinePolicy();
  if (const PolicyValue* fill = policy.Find("FillByte"))
    row("fill          ", std::to_string(fill->value), "the byte every pass writes", true, setBy(PolicyOrigin("FillByte", *fill)));
  if (const PolicyValue* names = policy.Find("LogNames"))
    row("log-names     ", onOff(names->value != 0), "items named in the system's log, not only hashed", true,
        setBy(PolicyOrigin("LogNames", *names)));
  if (const PolicyValue* sending = policy.Find("Sending"))
    row("sending       ",
        sending->value == kSendingRefused ? "off" : sending->value == kSendingToStore ? "on" : "at once",
        sending->value == kSendingVaporizeAtOnce ? "what is sent is vaporized at once" : "sending into the Vaporizer",
        true, setBy(PolicyOrigin("Sending", *sending)));
  return kExitDone;
}

int PolicyRules(bool json) {
  const Policy policy = ReadMachinePolicy();
  const char* kinds[] = {"switch", "number", "floor"};
  if (json) {
    nlohmann::ordered_json rules = nlohmann::ordered_json::array();
    for (const PolicyKey& k : kPolicyKeys) {
      const PolicyValue* v = policy.Find(k.name);
      rules.push_back({{"name", k.name},
                       {"kind", kinds[static_cast<int>(k.kind)]},
                       {"low", k.low},
                       {"high", k.high},
                       {"setting", k.setting},
                       {"meaning", k.meaning},
                       {"value", v ? nlohmann::ordered_json(v->value) : nlohmann::ordered_json(nullptr)},
                       {"source", v ? nlohmann::ordered_json(v->source) : nlohmann::ordered_json(nullptr)}});
    }
    nlohmann::ordered_json out = {{"rules", rules}, {"warnings", policy.warnings}};
    std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    return kExitDone;
  }
  for (const auto& w : policy.warnings) std::cout << "warning: " << Printable(w) << "\n";
  for (const PolicyKey& k : kPolicyKeys) {
    const PolicyValue* v = policy.Find(k.name);
    std::cout << Pad(k.name, 16) << Pad(v ? std::to_string(v->value) : "-", 9) << "(" << k.meaning << "; "
              << (k.kind == PolicyKind::Switch ? "0 or 1" : std::to_string(k.low) + " to " + std::to_string(k.high))
              << (v ? "; set by " + Printable(v->source) : "; not set") << ")\n";
  }
  return kExitDone;
}

}  // namespace vz::cli
