// The Linux facts as the running system gives them: /proc, /sys and the
// system calls behind platform/medium.h's LinuxSources.
#pragma once

#include <string>

#include "platform/medium.h"

namespace vz::posix {

class RealSources : public LinuxSources {
 public:
  // sysRoot: a folder that stands for /sys (tests); empty for the real one.
  explicit RealSources(std::string sysRoot = {}) : sysRoot_(std::move(sysRoot)) {}
  std::optional<std::string> Read(const std::string& path) override;
  std::optional<std::string> LinkTarget(const std::string& path) override;
  std::vector<std::string> List(const std::string& dir) override;
  std::optional<std::string> RealPath(const std::string& path) override;
  std::optional<std::uint64_t> FsMagic(const std::string& path, std::string* why) override;
  std::optional<std::string> DeviceNumber(const std::string& node) override;

 private:
  std::string At(const std::string& path) const;
  std::string sysRoot_;
};

}  // namespace vz::posix
