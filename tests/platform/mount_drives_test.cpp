#include "platform/mount_drives.h"

#include <gtest/gtest.h>

#include "support/recorded_sources.h"

namespace vz::test {
namespace {

// A mount table line for one file system: id 40, device N:M, mount point.
std::string Line(const std::string& dev, const std::string& point, const std::string& type, const std::string& source) {
  return "40 27 " + dev + " / " + point + " rw - " + type + " " + source + " rw\n";
}

TEST(MountDrivesTest, EachMountIsADriveOfItsKindOrNone) {
  const std::string usbDisk = "l:/sys/dev/block/8:17=../../devices/pci0000:00/usb1/1-1/host6/block/sdb/sdb1\n"
                              "f:/sys/class/block/sdb1/partition=1\n";
  struct Case {
    std::string line, sysfs;
    const char* drive;  // "" when it is none
    const char* evidence;
  } cases[] = {
      {Line("0:21", "/proc", "proc", "proc"), "", "", "the system's own"},
      {Line("0:22", "/sys/fs/cgroup/cpu", "cgroup", "cgroup"), "", "", "the system's own"},
      {Line("0:23", "/dev/shm", "tmpfs", "tmpfs"), "", "", "/dev/shm is a place of the system's own"},
      {Line("0:24", "/run/user/1000", "tmpfs", "tmpfs"), "", "", "run-time files"},
      {Line("7:5", "/snap/core/1", "squashfs", "/dev/loop5"), "", "", "read-only system image"},
      {Line("0:25", "/tmp", "tmpfs", "tmpfs"), "", "ramdisk", "in memory"},
      {Line("0:26", "/mnt/nas", "nfs4", "nas:/export"), "", "network", "network file system"},
      {Line("0:27", "/mnt/ssh", "fuse.sshfs", "me@host:/home/me"), "", "network", "network file system"},
      {Line("0:28", "/mnt/cloud", "fuse.someday", "remote:bucket"), "", "network", "another machine"},
      {Line("0:29", "/mnt/fat", "fuse.fusefat", "fusefat"), "", "fixed", "a local file system"},
      {Line("0:30", "/", "overlay", "overlay"), "", "fixed", "a local file system"},
      {Line("11:0", "/media/cd", "iso9660", "/dev/sr0"), "", "cdrom", "a disc"},
      {Line("8:1", "/data", "ext4", "/dev/sda1"),
       "l:/sys/dev/block/8:1=../../devices/pci0000:00/ata1/host0/block/sda/sda1\nf:/sys/class/block/sda1/partition=1\n"
       "f:/sys/class/block/sda/removable=0",
       "fixed", "on sda1, which is not removable"},
      {Line("8:17", "/media/usb", "vfat", "/dev/sdb1"), usbDisk, "removable", "sdb sits on a USB bus"},
      {Line("8:33", "/media/flag", "ext4", "/dev/sdc1"),
       "l:/sys/dev/block/8:33=../../devices/pci0000:00/ata2/block/sdc/sdc1\nf:/sys/class/block/sdc1/partition=1\n"
       "f:/sys/class/block/sdc/removable=1",
       "removable", "/sys/class/block/sdc/removable = 1"},
      {Line("179:33", "/media/sd", "exfat", "/dev/mmcblk1p1"),
       "l:/sys/dev/block/179:33=../../devices/platform/mmc_host/mmc1/mmc1:0001/block/mmcblk1/mmcblk1p1\n"
       "f:/sys/class/block/mmcblk1p1/partition=1\nf:/sys/class/block/mmcblk1/device/type=SD",
       "removable", "an SD card"},
      {Line("179:1", "/", "ext4", "/dev/mmcblk0p1"),
       "l:/sys/dev/block/179:1=../../devices/platform/mmc_host/mmc0/mmc0:0001/block/mmcblk0/mmcblk0p1\n"
       "f:/sys/class/block/mmcblk0p1/partition=1\nf:/sys/class/block/mmcblk0/device/type=MMC",
       "fixed", "not removable"},
      {Line("253:2", "/media/secret", "ext4", "/dev/mapper/stick"),
       "l:/sys/dev/block/253:2=../../devices/virtual/block/dm-2\nd:/sys/class/block/dm-2/slaves=sdb1\n"
       "l:/sys/class/block/sdb1=../../devices/pci0000:00/usb1/1-1/host6/block/sdb/sdb1\n" + usbDisk,
       "removable", "USB bus"},
      {Line("0:45", "/srv", "btrfs", "/dev/loop3"),
       "n:/dev/loop3=7:3\nl:/sys/dev/block/7:3=../../devices/virtual/block/loop3", "fixed", "on loop3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    auto mounts = ParseMountInfo(c.line);
    ASSERT_EQ(mounts.size(), 1u);
    EXPECT_EQ(mounts[0].id, 40u);
    std::string none = NotADrive(mounts[0]);
    if (!*c.drive) {
      EXPECT_NE(none.find(c.evidence), std::string::npos) << none;
      continue;
    }
    EXPECT_EQ(none, "");
    Recorded sys("", c.sysfs);
    MountKind kind = KindOfMount(mounts[0], sys);
    EXPECT_EQ(DriveTypeName(kind.type), c.drive);
    EXPECT_NE(kind.evidence.find(c.evidence), std::string::npos) << kind.evidence;
  }
}

}  // namespace
}  // namespace vz::test
