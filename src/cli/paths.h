// Paths as the user types them and as the core speaks them.
#pragma once

#include <optional>
#include <string>

namespace vz::cli {

// A path given on the command line in the system's form (C:\Work\a.txt),
// or nullopt with the reason in *why.
std::optional<std::string> ToSystem(const std::string& arg, std::string* why);
// A path of the system's form as the user knows it (a POSIX path on POSIX).
std::string Shown(const std::string& systemPath);

}  // namespace vz::cli
