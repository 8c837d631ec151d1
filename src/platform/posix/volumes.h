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

// The table in force: the one set by SetVolumes, else the environment's,
// else the default.
const std::vector<Volume>& Volumes();
void SetVolumes(std::vector<Volume> volumes);
// Drops a table set by SetVolumes, so the environment is read again.
void ResetVolumes();
// Why the environment's table was refused, if it was.
std::string VolumeTableError();

// The mapping between the two forms is one-to-one. The store directory at
// a volume's root is kept under a dot name, the POSIX form of "hidden":
// C:\VAPORIZE\C1.doc is /home/me/.VAPORIZE/C1.doc. A real folder at a
// volume's root named VAPORIZE in any letter case is no store and has no
// system form, nor has a path inside a volume nested in another under the
// outer volume's letter.

// The host path of a system path; nullopt outside every volume, for "." and
// ".." names and for names that a POSIX name cannot carry.
std::optional<std::string> ToHostPath(const std::string& systemPath);
// /home/me/Work/a.txt -> C:\Work\a.txt; nullopt, with the reason in *why,
// outside every volume and for names that the system's form cannot carry.
std::optional<std::string> ToSystemPath(const std::string& hostPath, std::string* why = nullptr);

// An absolute host path as the system resolves it: every name but the last
// through the real folders (links followed, ".." after the real parent),
// the last as it is, so that a link given by name is the link; a last name
// of "." or ".." is resolved too.
std::optional<std::string> ResolveHostPath(const std::string& hostPath, std::string* why);
// The same for a full path in the system's form.
std::optional<std::string> ResolveSystemPath(const std::string& systemPath, std::string* why);

}  // namespace vz::posix
