// Recorded Linux answers for the readers of platform/medium.h.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "common/text.h"
#include "platform/medium.h"

namespace vz::test {

// Recorded Linux answers, one per line: "f:PATH=content" (a file),
// "l:PATH=target" (a link), "d:DIR=a,b" (a listing), "m:MOUNTPOINT=magic"
// (statfs below that point), "n:NODE=maj:min" (a device node).
class Recorded : public LinuxSources {
 public:
  Recorded(const std::string& mountinfo, const std::string& entries) {
    files_["/proc/self/mountinfo"] = mountinfo;
    for (const auto& line : SplitLines(entries)) {
      auto eq = line.find('=');
      if (line.size() < 3 || eq == std::string::npos) continue;
      std::string key = line.substr(2, eq - 2), value = line.substr(eq + 1);
      switch (line[0]) {
        case 'f': files_[key] = value + "\n"; break;
        case 'l': links_[key] = value; break;
        case 'm': magics_[key] = std::stoull(value, nullptr, 0); break;
        case 'n': nodes_[key] = value; break;
        case 'd':
          for (std::size_t s = 0; s <= value.size();) {
            std::size_t e = value.find(',', s);
            if (e == std::string::npos) e = value.size();
            dirs_[key].push_back(value.substr(s, e - s));
            s = e + 1;
          }
          break;
      }
    }
  }
  std::optional<std::string> Read(const std::string& p) override { return Find(files_, p); }
  std::optional<std::string> LinkTarget(const std::string& p) override { return Find(links_, p); }
  std::vector<std::string> List(const std::string& d) override { return dirs_.count(d) ? dirs_[d] : std::vector<std::string>{}; }
  std::optional<std::string> RealPath(const std::string& p) override { return p; }
  std::optional<std::string> DeviceNumber(const std::string& n) override { return Find(nodes_, n); }
  std::optional<std::uint64_t> FsMagic(const std::string& p, std::string* why) override {
    const std::string* best = nullptr;
    for (const auto& [mp, magic] : magics_)
      if (p.compare(0, mp.size(), mp) == 0 && (!best || mp.size() > best->size())) best = &mp;
    if (!best) *why = "No such file or directory";
    return best ? std::optional<std::uint64_t>(magics_[*best]) : std::nullopt;
  }

 private:
  template <class M>
  static std::optional<std::string> Find(const M& m, const std::string& k) {
    auto it = m.find(k);
    return it == m.end() ? std::nullopt : std::optional<std::string>(it->second);
  }
  std::map<std::string, std::string> files_, links_, nodes_;
  std::map<std::string, std::vector<std::string>> dirs_;
  std::map<std::string, std::uint64_t> magics_;
};

}  // namespace vz::test
