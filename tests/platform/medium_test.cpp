#include "platform/medium.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/text.h"
#include "engine/medium_verdict.h"
#include "support/drives.h"
#include "support/recorded_sources.h"

namespace vz::test {
namespace {

// A SATA disk sda with partitions sda1 and sda2, spinning, no TRIM.
const char kSata[] =
    "l:/sys/dev/block/8:1=../../devices/pci0000:00/ata1/host0/block/sda/sda1\n"
    "l:/sys/class/block/sda1=../../devices/pci0000:00/ata1/host0/block/sda/sda1\n"
    "l:/sys/class/block/sda2=../../devices/pci0000:00/ata1/host0/block/sda/sda2\n"
    "f:/sys/class/block/sda1/partition=1\nf:/sys/class/block/sda2/partition=2\n"
    "f:/sys/class/block/sda/queue/rotational=1\nf:/sys/class/block/sda/queue/discard_max_bytes=0\n"
    "f:/sys/class/block/sda/removable=0\nf:/sys/class/block/sda/device/vendor=ATA\n"
    "f:/sys/class/block/sda/device/model=WDC WD40EFRX\nn:/dev/sda1=8:1\n";
const char kNvme[] =
    "l:/sys/dev/block/259:2=../../devices/pci0000:00/nvme/nvme0/nvme0n1/nvme0n1p2\n"
    "l:/sys/class/block/nvme0n1p2=../../devices/pci0000:00/nvme/nvme0/nvme0n1/nvme0n1p2\n"
    "f:/sys/class/block/nvme0n1p2/partition=2\nn:/dev/nvme0n1p2=259:2\n"
    "f:/sys/class/block/nvme0n1/queue/rotational=0\nf:/sys/class/block/nvme0n1/queue/discard_max_bytes=2199023255040\n";

struct LinuxCase {
  const char* name;
  const char* mountinfo;
  std::string sysfs;
  const char* path;
  const char* fileSystem;
  Reach reach;
  std::vector<const char*> whyHas;
};

TEST(MediumTest, LinuxAnswersGiveTheFileSystemTheDeviceAndAVerdict) {
  const std::string ext4Root = "27 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n";
  const LinuxCase cases[] = {
      {"ext4, spinning disk", ext4Root.c_str(), std::string(kSata) + "m:/=0xef53", "/home/me", "ext4", Reach::Reaches,
       {"ext4 writes in place", "rotational = 1"}},
      {"ext4 data=journal", "27 1 8:1 / / rw - ext4 /dev/sda1 rw,data=journal\n", std::string(kSata) + "m:/=0xef53",
       "/home", "ext4", Reach::DoesNot, {"data=journal"}},
      {"btrfs on flash", "40 27 0:44 / /data rw - btrfs /dev/nvme0n1p2 rw,compress=zstd:3,ssd\n",
       std::string(kNvme) + "m:/data=0x9123683e", "/data/x", "btrfs", Reach::DoesNot, {"copy-on-write", "solid state"}},
      {"btrfs nodatacow", "40 27 0:44 / /data rw - btrfs /dev/sda1 rw,nodatacow\n", std::string(kSata) + "m:/data=0x9123683e",
       "/data", "btrfs", Reach::Unknown, {"nodatacow"}},
      {"LVM snapshot origin",
       "30 1 253:1 / /srv rw - xfs /dev/mapper/vg-lv rw\n",
       std::string(kSata) + "m:/srv=0x58465342\nl:/sys/dev/block/253:1=../../devices/virtual/block/dm-1\n"
                            "f:/sys/class/block/dm-1/dm/name=vg-lv\nd:/sys/class/block/dm-1/slaves=dm-2\n"
                            "f:/sys/class/block/dm-2/dm/name=vg-lv-real\nd:/sys/class/block/dm-2/slaves=sda2\n"
                            "f:/sys/class/block/dm-1/queue/rotational=1\n",
       "/srv", "xfs", Reach::DoesNot, {"snapshot"}},
      {"dm-crypt on a spinning disk",
       "27 1 253:0 / / rw - ext4 /dev/mapper/root rw\n",
       std::string(kSata) + "m:/=0xef53\nl:/sys/dev/block/253:0=../../devices/virtual/block/dm-0\n"
                            "f:/sys/class/block/dm-0/dm/name=root\nf:/sys/class/block/dm-0/dm/uuid=CRYPT-LUKS2-ab12-root\n"
                            "d:/sys/class/block/dm-0/slaves=sda2\nf:/sys/class/block/dm-0/queue/rotational=1\n",
       "/", "ext4", Reach::Reaches, {"rotational = 1"}},
      {"ext4 image on a loop device over btrfs",
       "27 1 0:30 / / rw - btrfs /dev/sda1 rw\n50 27 7:0 / /mnt/img rw - ext4 /dev/loop0 rw\n",
       std::string(kSata) + "m:/=0x9123683e\nm:/mnt/img=0xef53\nl:/sys/dev/block/7:0=../../devices/virtual/block/loop0\n"
                            "f:/sys/class/block/loop0/loop/backing_file=/var/img/disk.img\n",
       "/mnt/img/a", "ext4", Reach::DoesNot, {"beneath, on the medium of the file /var/img/disk.img", "copy-on-write"}},
      {"tmpfs", "60 27 0:50 / /tmp rw - tmpfs tmpfs rw,size=100k\n", "m:/tmp=0x01021994", "/tmp/x", "tmpfs",
       Reach::Unknown, {"in memory"}},
      {"virtio disk", "27 1 254:0 / / rw - ext4 /dev/vda rw\n",
       "m:/=0xef53\nl:/sys/dev/block/254:0=../../devices/pci0000:00/virtio1/block/vda\n"
       "f:/sys/class/block/vda/queue/rotational=1\nf:/sys/class/block/vda/queue/discard_max_bytes=0\n"
       "l:/sys/class/block/vda/device/driver=../../../../bus/virtio/drivers/virtio_blk",
       "/root", "ext4", Reach::Unknown, {"virtual disk (virtio_blk)"}},
      {"USB stick that calls itself rotational",
       "70 27 8:17 / /media/my\\040stick rw - vfat /dev/sdb1 rw,fmask=0022\n",
       "m:/media/my stick=0x4d44\nl:/sys/dev/block/8:17=../../devices/usb1/host6/block/sdb/sdb1\n"
       "f:/sys/class/block/sdb1/partition=1\nl:/sys/class/block/sdb1=../../devices/usb1/host6/block/sdb/sdb1\n"
       "f:/sys/class/block/sdb/queue/rotational=1\nf:/sys/class/block/sdb/removable=1",
       "/media/my stick/a", "vfat", Reach::Unknown, {"removable drive"}},
      {"statfs contradicts the mount table", ext4Root.c_str(), std::string(kSata) + "m:/=0x9123683e", "/x", "btrfs",
       Reach::DoesNot, {"copy-on-write"}},
      {"nothing answers", "", "", "/x", "", Reach::Unknown, {"the file system is unknown", "No such file"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Recorded sources(c.mountinfo, c.sysfs);
    MediumFacts m = LinuxMediumFacts(c.path, sources);
    EXPECT_EQ(m.fileSystem.value, c.fileSystem);
    EXPECT_FALSE(m.fileSystem.evidence.empty());
    Verdict v = JudgeMedium(m);
    EXPECT_EQ(v.reach, c.reach) << v.why;
    for (const char* part : c.whyHas) EXPECT_NE(v.why.find(part), std::string::npos) << v.why;
    EXPECT_EQ(v.advice.empty(), c.reach == Reach::Reaches);
  }
}

// Whether freed blocks can reach the device: the device's discards (for a
// loop device its own queue), the file system's discard option, and which
// volume it is (its UUID where the system lists one).
TEST(MediumTest, DiscardsAndTheVolumeAreReadForTheTrim) {
  struct {
    const char* mountinfo;
    std::string sysfs;
    const char* path;
    Answer discards, onFree;
    const char* volumeId;
    bool writesElsewhere;
  } cases[] = {
      {"27 1 8:1 / / rw - ext4 /dev/sda1 rw\n",
       std::string(kSata) + "m:/=0xef53\nd:/dev/disk/by-uuid=1111,2222\nl:/dev/disk/by-uuid/2222=../../sda1", "/x",
       Answer::No, Answer::No, "uuid 2222", false},
      {"40 27 0:44 / /data rw - btrfs /dev/nvme0n1p2 rw,ssd,discard=sync\n", std::string(kNvme) + "m:/data=0x9123683e",
       "/data/x", Answer::Yes, Answer::Yes, "btrfs /dev/nvme0n1p2 on /data", true},
      {"40 27 0:44 / /data rw - btrfs /dev/nvme0n1p2 rw,ssd,discard=async\n", std::string(kNvme) + "m:/data=0x9123683e",
       "/data/x", Answer::Yes, Answer::No, "btrfs /dev/nvme0n1p2 on /data", true},
      {"50 27 7:0 / /mnt/img rw - ext4 /dev/loop0 rw,nodiscard\n",
       "m:/mnt/img=0xef53\nl:/sys/dev/block/7:0=../../devices/virtual/block/loop0\n"
       "f:/sys/class/block/loop0/queue/discard_max_bytes=4294966784",
       "/mnt/img/a", Answer::Yes, Answer::No, "ext4 /dev/loop0 on /mnt/img", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Recorded sources(c.mountinfo, c.sysfs);
    MediumFacts m = LinuxMediumFacts(c.path, sources);
    EXPECT_EQ(m.discards.answer, c.discards) << m.discards.evidence;
    EXPECT_EQ(m.discardOnFree.answer, c.onFree) << m.discardOnFree.evidence;
    EXPECT_EQ(m.volumeId, c.volumeId);
    EXPECT_EQ(JudgeMedium(m).writesElsewhere, c.writesElsewhere);
  }
}

TEST(MediumTest, TheMountOfAPathIsTheDeepestAndTheLastMountedThere) {
  auto mounts = ParseMountInfo(
      "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
      "2 1 8:2 / /mnt rw shared:2 master:1 - xfs /dev/sda2 rw\n"
      "3 1 0:40 / /mnt rw - tmpfs tmpfs rw\n"
      "4 1 8:3 / /mnt\\134x\\040y rw - ext2 /dev/sda3 rw\n"
      "garbage line\n5 1 x:y / /bad rw - ext4 /dev/sdz rw\n");
  ASSERT_EQ(mounts.size(), 4u);
  EXPECT_EQ(mounts[1].fsType, "xfs");
  EXPECT_EQ(MountOf(mounts, "/mnt/a")->fsType, "tmpfs");
  EXPECT_EQ(MountOf(mounts, "/mntx")->fsType, "ext4");
  EXPECT_EQ(MountOf(mounts, "/mnt\\x y/f")->fsType, "ext2");
  EXPECT_EQ(FileSystemOfMagic(0x9123683e), "btrfs");
}

std::string Le(std::uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}
// STORAGE_DEVICE_DESCRIPTOR as IOCTL_STORAGE_QUERY_PROPERTY returns it.
std::string Descriptor(std::uint32_t bus, const std::string& vendor, const std::string& product) {
  std::string b = Le(1) + Le(0) + std::string(4, '\0') + Le(vendor.empty() ? 0 : 40) +
                  Le(static_cast<std::uint32_t>(41 + vendor.size())) + Le(0) + Le(0) + Le(bus) + Le(0) + Le(0) +
                  vendor + '\0' + product + '\0';
  return b.replace(4, 4, Le(static_cast<std::uint32_t>(b.size())));
}
std::string Flag(bool on) { return Le(1) + Le(12) + std::string{static_cast<char>(on), 0, 0, 0}; }

struct WindowsCase {
  const char* name;
  WindowsVolumeAnswers answers;
  Reach reach;
  std::vector<const char*> whyHas;
};

WindowsVolumeAnswers Win(const char* fs, std::optional<std::string> desc, std::optional<bool> seek,
                         Answer shadow = Answer::No, DriveType type = DriveType::Fixed) {
  WindowsVolumeAnswers a;
  a.root = "C:\\";
  a.driveType = type;
  a.fsName = fs;
  a.devicePath = "\\\\.\\C:";
  a.deviceDescriptor = desc;
  if (seek) a.seekPenalty = Flag(*seek);
  else a.seekPenaltyError = "failed with error 1";
  a.trim = Flag(!seek.value_or(true));
  a.shadowCopies = shadow;
  a.shadowEvidence = shadow == Answer::Unknown ? "C:\\System Volume Information may be listed by administrators only"
                                               : "C:\\System Volume Information holds a shadow copy store";
  return a;
}

TEST(MediumTest, WindowsAnswersGiveTheFileSystemTheDeviceAndAVerdict) {
  const std::string sata = Descriptor(0xB, "", "WDC WD40EFRX"), nvme = Descriptor(0x11, "", "Samsung SSD 980");
  WindowsVolumeAnswers wine = Win("NTFS", std::nullopt, std::nullopt);
  wine.deviceError = wine.trimError = "failed with error 1";
  wine.trim.reset();
  wine.wine = true;
  const WindowsCase cases[] = {
      {"NTFS on a spinning disk", Win("NTFS", sata, true), Reach::Reaches, {"NTFS writes in place", "IncursSeekPenalty = 1"}},
      {"NTFS on NVMe", Win("NTFS", nvme, false), Reach::DoesNot, {"solid state", "IncursSeekPenalty = 0"}},
      {"NVMe without a seek penalty reply", Win("NTFS", nvme, std::nullopt), Reach::DoesNot, {"bus NVMe (flash)"}},
      {"shadow copies", Win("NTFS", sata, true, Answer::Yes), Reach::DoesNot, {"shadow copy store"}},
      {"shadow copies unseen", Win("NTFS", sata, true, Answer::Unknown), Reach::Unknown, {"administrators only"}},
      {"FAT32 stick", Win("FAT32", Descriptor(7, "SanDisk", "Cruzer"), std::nullopt, Answer::Unknown, DriveType::Removable),
       Reach::Unknown, {"removable drive"}},
      {"QEMU disk", Win("NTFS", Descriptor(0xB, "QEMU", "QEMU HARDDISK"), true), Reach::Unknown, {"virtual disk (QEMU QEMU HARDDISK)"}},
      {"ReFS", Win("ReFS", sata, true), Reach::Unknown, {"integrity stream"}},
      {"Wine", wine, Reach::Unknown, {"which Wine says of most host file systems", "tell nothing of the host's device"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MediumFacts m = WindowsMediumFacts(c.answers);
    EXPECT_EQ(m.fileSystem.value, *c.answers.fsName);
    Verdict v = JudgeMedium(m);
    EXPECT_EQ(v.reach, c.reach) << v.why;
    for (const char* part : c.whyHas) EXPECT_NE(v.why.find(part), std::string::npos) << v.why;
  }
  // The NVMe disk takes TRIM, so the advice says so; a FAT volume has no shadow copies.
  Verdict nv = JudgeMedium(WindowsMediumFacts(Win("NTFS", nvme, false)));
  EXPECT_NE(nv.advice[1].find("takes TRIM"), std::string::npos);
  EXPECT_EQ(WindowsMediumFacts(cases[5].answers).snapshots.answer, Answer::No);
}

TEST(MediumTest, ADeviceReplyIsReadOnlyWithinItsOwnBounds) {
  std::string reply = Descriptor(0xB, "ACME", "DISK");
  reply.replace(12, 4, Le(5000));  // the vendor's offset points outside
  reply.pop_back();                // the product loses its NUL
  MediumFacts m = WindowsMediumFacts(Win("NTFS", reply, true));
  EXPECT_EQ(m.device.value, "DISK (SATA)");
  for (std::string cut : {std::string(), reply.substr(0, 30), Flag(true).substr(0, 8)}) {
    MediumFacts t = WindowsMediumFacts(Win("NTFS", cut, std::nullopt));
    EXPECT_EQ(t.device.answer, Answer::Unknown);
    EXPECT_EQ(t.spinning.answer, Answer::Unknown);
  }
}

TEST(MediumTest, AFilesOwnFlagsDecideWhereTheyMatter) {
  Recorded hdd("27 1 8:1 / / rw - ext4 /dev/sda1 rw\n", std::string(kSata) + "m:/=0xef53");
  Recorded cow("27 1 0:30 / / rw - btrfs /dev/sda1 rw\n", std::string(kSata) + "m:/=0x9123683e");
  MediumFacts ext4 = LinuxMediumFacts("/", hdd), btrfs = LinuxMediumFacts("/", cow);
  MediumFacts ntfs = WindowsMediumFacts(Win("NTFS", Descriptor(0xB, "", "HDD"), true));
  MediumFacts refs = WindowsMediumFacts(Win("ReFS", Descriptor(0xB, "", "HDD"), true));
  struct {
    const MediumFacts* medium;
    FileStorage file;
    Reach reach;
    const char* whyHas;
  } cases[] = {
      {&ext4, FileStorageFromInodeFlags(0x80000, "", false), Reach::Reaches, "writes in place"},  // extents only
      {&ext4, FileStorageFromInodeFlags(std::nullopt, "no flags", false), Reach::Reaches, "writes in place"},
      {&ext4, FileStorageFromInodeFlags(0x4, "", false), Reach::DoesNot, "compressed"},
      {&ext4, FileStorageFromInodeFlags(0x4000, "", false), Reach::DoesNot, "through the journal"},
      {&ext4, FileStorageFromInodeFlags(std::nullopt, "no flags", true), Reach::Unknown, "holes"},
      {&btrfs, FileStorageFromInodeFlags(0x800000, "", false), Reach::Unknown, "No_COW"},
      {&ntfs, FileStorageFromAttributes(0x820), Reach::DoesNot, "compressed"},
      {&ntfs, FileStorageFromAttributes(0x4020), Reach::Unknown, "EFS"},
      {&refs, FileStorageFromAttributes(0x8020), Reach::DoesNot, "integrity stream"},
      {&refs, FileStorageFromAttributes(0x20), Reach::Reaches, "writes in place"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.whyHas);
    Verdict v = JudgeMedium(*c.medium, &c.file);
    EXPECT_EQ(v.reach, c.reach) << v.why;
    EXPECT_NE(v.why.find(c.whyHas), std::string::npos) << v.why;
  }
}

// The real system of the test drives: every point has its evidence, and a
// sparse file is seen as one where the system keeps that apart.
class RealMediumTest : public DrivesTest {};

TEST_F(RealMediumTest, TheTestDriveIsJudgedWithEvidence) {
  MediumFacts m = NativeMediumOf(D());
  EXPECT_FALSE(m.fileSystem.value.empty()) << m.fileSystem.evidence;  // Wine's answer stays unknown, but named
  EXPECT_FALSE(m.device.evidence.empty());
  Verdict v = JudgeMedium(m);
  EXPECT_FALSE(v.why.empty());
  MakeSparseFile(D("holes.bin"), 1 << 20);
  FileStorage f = NativeFileStorageOf(D("holes.bin"));
#ifdef _WIN32
  EXPECT_TRUE(f.flags.has_value()) << f.evidence;
#else
  ASSERT_TRUE(f.flags.has_value()) << f.evidence;
  EXPECT_TRUE(*f.flags & kStoreHoles) << f.evidence;
#endif
  EXPECT_FALSE(NativeFileStorageOf(D("missing.bin")).flags.has_value());
  // Asked in the long form, like every other call: deep in a tree, and
  // under a name that Win32 would read as another.
  for (const std::string& deep : {D(std::string(200, 'd') + "\\" + std::string(100, 'f')), D("named.")}) {
    MakeFile(deep, "x");
    EXPECT_TRUE(NativeFileStorageOf(deep).flags.has_value()) << deep.size() << ": " << NativeFileStorageOf(deep).evidence;
  }
}

}  // namespace
}  // namespace vz::test
