// The drives of the mount table, and what every table learns from the
// stores on its drives (volumes.h says the rules).
#pragma once

#include <string>
#include <vector>

#include "platform/posix/volumes.h"

namespace vz::posix {

struct MountTable {
  std::vector<Volume> drives;
  // Mount points of mounts that are no drive (/proc, ...): nothing under
  // them belongs to a drive that holds them.
  std::vector<std::string> holes;
  std::vector<AbsentDrive> absent;
  std::vector<std::string> unlettered;
};

// The home folder and the mounted file systems with their letters. Reads
// /proc/self/mountinfo, or for tests the file VAPORIZER_TEST_MOUNTINFO
// names, whose lines count only where they match the mounts the system
// really has; VAPORIZER_TEST_SYSFS names a folder that stands for /sys.
MountTable ReadMountTable();

// Fills in, for every volume of a table, whether this user keeps a store
// there and which letter its records are written under; records that
// letter in stores that do not say it yet.
void LearnStores(std::vector<Volume>& volumes);

}  // namespace vz::posix
