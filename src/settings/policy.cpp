#include "settings/policy.h"

#include "platform/platform.h"

namespace vz {

Policy ReadMachinePolicy() {
  Policy p;
  PolicyRead read = Plat().ReadPolicy();
  p.warnings = std::move(read.warnings);
  // The strongest place that holds a valid value of a name sets it.
  for (const PolicySource& source : read.sources) {
    for (const auto& [name, value] : source.values) {
      const PolicyKey* key = nullptr;
      for (const PolicyKey& k : kPolicyKeys)
        if (name == k.name) key = &k;
      const std::string where = name + " in " + source.name;
      if (!key) {
        p.warnings.push_back(where + " is no policy of this version: ignored");
      } else if (value.type != KvType::Dword) {
        p.warnings.push_back(where + " is not a number: ignored");
      } else if (value.dword < key->low || value.dword > key->high) {
        p.warnings.push_back(where + " is " + std::to_string(value.dword) + ", outside " + std::to_string(key->low) +
                             " to " + std::to_string(key->high) + ": ignored");
      } else {
        p.values.emplace(name, PolicyValue{value.dword, source.name});
      }
    }
  }
  return p;
}

std::string PolicyOrigin(const std::string& name, const PolicyValue& v) {
  return "the policy in " + v.source + " (" + name + ")";
}

}  // namespace vz
