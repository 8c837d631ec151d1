// Which mounted file systems are drives, and of which type. Decided from the
// mount table and the answers of sysfs taken as data (platform/medium.h),
// so that recorded answers can be read on any system.
#pragma once

#include <string>

#include "platform/medium.h"

namespace vz {

// Why a mount holds no user files of its own: a pseudo file system, a
// read-only system image, or a mount in a place of the system's own (/proc,
// /sys, /dev, and memory file systems under /run). Empty for a drive.
std::string NotADrive(const MountEntry& m);

struct MountKind {
  DriveType type = DriveType::Fixed;
  std::string evidence;  // what told it
};
// Network by its file system type or its source (host:path, //server);
// cdrom for iso9660 and udf; ramdisk for tmpfs and ramfs; removable when
// the block device under it, or one that it is made of, carries the
// removable flag, sits on a USB bus or is an SD card; fixed otherwise: local
// disks, loop devices, FUSE file systems of local images, the overlay root
// of a container. `sys` answers for /sys.
MountKind KindOfMount(const MountEntry& m, LinuxSources& sys);

}  // namespace vz
