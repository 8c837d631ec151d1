// Machine policy: rules an administrator sets once for every user of a
// machine, which win over the user's own settings. The table below is the
// one list of them: the platform reads whatever the policy places hold
// (Platform::ReadPolicy), this module takes only the names and values of
// the table, and the administrative templates (packaging/windows/policy/)
// are checked against it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vz {

enum class PolicyKind {
  Switch,  // 0 off, 1 on
  Number,  // a value in low..high that replaces the user's
  Floor,   // the lowest value the user may choose
};

struct PolicyKey {
  const char* name;     // the registry value and the member of policy.json
  PolicyKind kind;
  std::uint32_t low, high;
  const char* setting;  // the row of `vaporizer settings` it rules
  const char* meaning;
};

// Sending: what "Send to Vaporizer" does.
enum : std::uint32_t { kSendingRefused = 0, kSendingToStore = 1, kSendingVaporizeAtOnce = 2 };

inline constexpr PolicyKey kPolicyKeys[] = {
    {"MinimumPasses", PolicyKind::Floor, 1, 65535, "passes", "the lowest number of overwrite passes per file"},
    {"FillByte", PolicyKind::Number, 0, 255, "fill", "the byte every pass writes"},
    {"Verify", PolicyKind::Switch, 0, 1, "verify", "read every vaporized file back from the device"},
    {"TrimVolume", PolicyKind::Switch, 0, 1, "volume-trim", "trim the volume's freed space after vaporizing"},
    {"KeepReceipts", PolicyKind::Switch, 0, 1, "receipts", "keep a receipt of every vaporize"},
    {"LogReceipts", PolicyKind::Switch, 0, 1, "system-log", "write every vaporize's receipt to the system's log"},
    {"LogNames", PolicyKind::Switch, 0, 1, "system-log",
     "name the items in the system's log; otherwise only their keyed hash"},
    {"EmptyAfterDays", PolicyKind::Number, 0, 3650, "empty-after", "vaporize what was sent more than N days ago; 0: never"},
    {"StoreLimitMB", PolicyKind::Number, 0, 16u * 1024 * 1024, "store-limit",
     "MB each drive's store is kept under, oldest items first; 0: no limit"},
    {"FileMenu", PolicyKind::Switch, 0, 1, "context-menu", "\"Send to Vaporizer\" on files and folders"},
    {"Sending", PolicyKind::Number, 0, 2, "sending",
     "0: sending refused; 1: items go into the Vaporizer; 2: items are vaporized at once"},
};

struct PolicyValue {
  std::uint32_t value = 0;
  std::string source;  // where it was set
};

struct Policy {
  std::map<std::string, PolicyValue> values;  // the table's names, valid values only
  std::vector<std::string> warnings;          // places and values ignored, and why
  const PolicyValue* Find(const std::string& name) const {
    auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
  }
};

// Read afresh at every use, as the settings are.
Policy ReadMachinePolicy();

// "the policy in /etc/vaporizer/policy.json (MinimumPasses)"
std::string PolicyOrigin(const std::string& name, const PolicyValue& v);

}  // namespace vz
