// The POSIX volume table: single drive letters mapped onto directories, each
// with a drive type, so that the system's paths (C:\Work\a.txt) name real
// files. Read from VAPORIZER_VOLUMES ("C=/home/me;E=/media/usb:removable");
// without it, C: is the user's home directory.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vz::posix {

struct Volume {
  char letter = 'C';  // upper case
  std::string root;   // absolute, no trailing slash (except "/")
  DriveType type = DriveType::Fixed;
};

// Parses a table; on a malformed entry returns nullopt and says why.
std::optional<std::vector<Volume>> ParseVolumes(const std::string& table, std::string* error);
std::string DriveTypeName(DriveType t);

// The table in force: the one set by SetVolumes, else the environment's,
// else the default.
const std::vector<Volume>& Volumes();
void SetVolumes(std::vector<Volume> volumes);
// Drops a table set by SetVolumes, so the environment is read again.
void ResetVolumes();
// Why the environment's table was refused, if it was.
std::string VolumeTableError();

// C:\VAPORIZE\C1.doc -> /home/me/.VAPORIZE/C1.doc. The store directory at a
// volume's root is kept under a dot name, the POSIX form of "hidden".
// Refuses paths outside every volume and ".." components.
std::optional<std::string> ToHostPath(const std::string& systemPath);
// /home/me/Work/a.txt -> C:\Work\a.txt; nullopt outside every volume or for
// names that the system's form cannot carry (a backslash).
std::optional<std::string> ToSystemPath(const std::string& hostPath);

}  // namespace vz::posix
