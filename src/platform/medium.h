// What the medium under a path tells about overwriting in place: the file
// system, the device and the layers between them, each point with the
// evidence it was read from or why it could not be learned; and how one
// file is kept. The readers take the system's answers (mount table, sysfs,
// storage query replies) as data, so that recorded answers can be read on
// any system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vz {

enum class Answer { Unknown, No, Yes };

struct Fact {
  Answer answer = Answer::Unknown;
  std::string value;     // a name where the point has one ("btrfs", "vda")
  std::string evidence;  // where the answer was read, or why there is none
};

struct MediumFacts {
  std::string where;   // the folder that was asked about
  Fact fileSystem;     // value: its name as the system gives it
  Fact dataJournal;    // file data goes through a journal (ext3/ext4 data=journal)
  Fact compression;    // the volume compresses what it writes; value: how
  Fact noDataCow;      // a copy-on-write file system told to write data in place
  Fact device;         // value: the device the file system lies on
  Fact spinning;       // Yes: a rotating disk; No: solid state or flash
  Fact trim;           // the device takes TRIM (discard)
  Fact discards;       // the device the file system lies on (a loop device too) takes discard requests
  Fact discardOnFree;  // the file system hands freed blocks to the device at once (mounted with discard)
  Fact removable;
  Fact virtualDisk;    // value: what gave it away
  Fact snapshots;      // snapshots or shadow copies keep earlier blocks
  Fact thin;           // thinly provisioned: snapshots may share its blocks
  Fact encrypted;      // a layer below encrypts everything (dm-crypt)
  std::string volumeId;              // what tells this volume from others across mounts; empty when unknown
  std::vector<std::string> layers;   // from the file system down to the device
  std::vector<MediumFacts> backing;  // the medium of a loop device's file (at most one)
};

// How one file is kept, where the file system says.
enum FileStorageFlag : std::uint32_t {
  kStoreCompressed = 0x1,
  kStoreHoles = 0x2,        // sparse: ranges without blocks
  kStoreEfs = 0x4,          // encrypted by the file system (Windows EFS)
  kStoreReparse = 0x8,      // its data is reached through a reparse point
  kStoreIntegrity = 0x10,   // ReFS integrity stream: written elsewhere each time
  kStoreNoCow = 0x20,       // copy-on-write switched off for this file
  kStoreDataJournal = 0x40, // its data goes through the journal
  kStoreInline = 0x80,      // its data sits inside its inode
};
struct FileStorage {
  std::optional<std::uint32_t> flags;  // nullopt: the file system keeps no such flags, or asking failed
  std::string evidence;
};

// Windows: the attributes of GetFileAttributes.
FileStorage FileStorageFromAttributes(std::uint32_t attributes);
// Linux: the inode flags of FS_IOC_GETFLAGS (or why there are none) and
// whether SEEK_HOLE found a hole before the end.
FileStorage FileStorageFromInodeFlags(std::optional<std::uint32_t> flags, const std::string& whyNone, bool holes);

// Linux ---------------------------------------------------------------

struct MountEntry {
  unsigned long long id = 0;  // the mount's own number, as statx's stx_mnt_id gives it
  unsigned major = 0, minor = 0;
  std::string root, mountPoint, options, fsType, source, superOptions;
};
// /proc/self/mountinfo; lines that do not parse are left out.
std::vector<MountEntry> ParseMountInfo(const std::string& text);
// The mount that holds an absolute, resolved path: the deepest mount point
// above it, the last mounted where several share one.
const MountEntry* MountOf(const std::vector<MountEntry>& mounts, const std::string& path);
// "btrfs" for 0x9123683e; empty for a number it does not know.
std::string FileSystemOfMagic(std::uint64_t magic);

// Where the Linux facts come from: the real /proc, /sys and system calls,
// or recorded answers.
class LinuxSources {
 public:
  virtual ~LinuxSources() = default;
  virtual std::optional<std::string> Read(const std::string& path) = 0;  // a small file, whole
  virtual std::optional<std::string> LinkTarget(const std::string& path) = 0;
  virtual std::vector<std::string> List(const std::string& dir) = 0;
  virtual std::optional<std::string> RealPath(const std::string& path) = 0;
  // statfs's f_type; on failure nullopt and why.
  virtual std::optional<std::uint64_t> FsMagic(const std::string& path, std::string* why) = 0;
  // "8:1" for a block device node.
  virtual std::optional<std::string> DeviceNumber(const std::string& node) = 0;
};
MediumFacts LinuxMediumFacts(const std::string& hostPath, LinuxSources& sources);

// Windows -------------------------------------------------------------

// What Windows answered about one volume. The device replies are the raw
// output buffers of IOCTL_STORAGE_QUERY_PROPERTY.
struct WindowsVolumeAnswers {
  std::string root;  // "C:\"
  DriveType driveType = DriveType::Unknown;
  std::optional<std::string> fsName;  // GetVolumeInformationW
  std::uint32_t fsFlags = 0;
  std::uint32_t serial = 0;  // the volume's serial number
  std::string fsError;
  std::string devicePath;  // the volume's device, e.g. \\.\C:
  std::optional<std::string> deviceDescriptor, seekPenalty, trim;  // StorageDevice{,SeekPenalty,Trim}Property
  std::string deviceError, seekPenaltyError, trimError;            // why a reply is missing
  Answer shadowCopies = Answer::Unknown;
  std::string shadowEvidence;
  bool wine = false;  // Wine's storage queries answer nothing about the host's device
};
MediumFacts WindowsMediumFacts(const WindowsVolumeAnswers& answers);

// The real system's answers: the folder or volume that holds a path, and
// one file. Platform::MediumOf and FileStorageOf use these unless a test
// puts others in.
MediumFacts NativeMediumOf(const std::string& path);
FileStorage NativeFileStorageOf(const std::string& path);
#ifndef _WIN32
// One file held open, of `size` bytes: asked through its descriptor.
FileStorage NativeFileStorageOfOpen(int fd, std::int64_t size);
#endif

}  // namespace vz
