#include "cli/paths.h"

#include <vector>

#include "common/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include "platform/posix/volumes.h"
#endif

namespace vz::cli {

#ifdef _WIN32

std::optional<std::string> ToSystem(const std::string& arg, std::string* why) {
  if (arg.empty()) {
    *why = "an empty path";
    return std::nullopt;
  }
  char buf[4096];
  DWORD n = GetFullPathNameA(arg.c_str(), sizeof buf, buf, nullptr);
  if (n == 0 || n >= sizeof buf) {
    *why = "not a valid path";
    return std::nullopt;
  }
  std::string full(buf, n);
  if (full.size() < 3 || full[1] != ':' || full[2] != '\\') {
    *why = "not a path on a drive letter (the Vaporizer keeps its stores on lettered drives)";
    return std::nullopt;
  }
  if (full.size() >= kMaxPath) {
    *why = "the path is too long (the Vaporizer records at most 259 characters)";
    return std::nullopt;
  }
  return full;
}

std::string Shown(const std::string& systemPath) { return systemPath; }

#else

std::optional<std::string> ToSystem(const std::string& arg, std::string* why) {
  if (arg.empty()) {
    *why = "an empty path";
    return std::nullopt;
  }
  if (arg.find('\\') != std::string::npos) {
    *why = "the name contains a backslash, which the Vaporizer's paths cannot carry";
    return std::nullopt;
  }
  std::string abs = arg;
  if (abs[0] != '/') {
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) {
      *why = "the current directory cannot be read";
      return std::nullopt;
    }
    abs = std::string(cwd) + "/" + arg;
  }
  // Lexical clean-up only: a link given by name is the link, not its target.
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos <= abs.size()) {
    std::size_t next = abs.find('/', pos);
    if (next == std::string::npos) next = abs.size();
    std::string comp = abs.substr(pos, next - pos);
    pos = next + 1;
    if (comp.empty() || comp == ".") continue;
    if (comp == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(comp);
  }
  std::string clean;
  for (const auto& p : parts) clean += "/" + p;
  if (clean.empty()) clean = "/";
  auto sys = posix::ToSystemPath(clean);
  if (!sys) {
    *why = "it lies outside every volume (see 'vaporizer volumes'; set VAPORIZER_VOLUMES to add one)";
    return std::nullopt;
  }
  if (sys->size() >= kMaxPath) {
    *why = "the path is too long (the Vaporizer records at most 259 characters)";
    return std::nullopt;
  }
  return sys;
}

std::string Shown(const std::string& systemPath) {
  auto host = posix::ToHostPath(systemPath);
  return host ? *host : systemPath;
}

#endif

}  // namespace vz::cli
