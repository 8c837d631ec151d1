#include "platform/mount_drives.h"

#include <algorithm>

#include "common/text.h"

namespace vz {
namespace {

bool Among(const std::string& s, std::initializer_list<const char*> set) {
  return std::any_of(set.begin(), set.end(), [&](const char* x) { return s == x; });
}

bool Under(const std::string& path, const std::string& top) {
  return path == top || (path.size() > top.size() && path.compare(0, top.size(), top) == 0 && path[top.size()] == '/');
}

std::string BaseName(const std::string& p) { return p.substr(p.find_last_of('/') + 1); }
std::string DirName(const std::string& p) {
  auto s = p.find_last_of('/');
  return s == std::string::npos ? std::string() : p.substr(0, s);
}

// Walks from one block device down to the disks it is made of (partitions
// to their disk, device-mapper and md to their slaves): removable when any
// of them says so.
class RemovableSearch {
 public:
  explicit RemovableSearch(LinuxSources& sys) : sys_(sys) {}

  // `link`: where /sys/class/block/NAME (or /sys/dev/block/N:M) leads.
  bool Device(const std::string& name, std::string link, int depth) {
    if (depth > 8 || name.empty()) return false;
    std::string disk = name;
    if (sys_.Read("/sys/class/block/" + name + "/partition")) {
      link = DirName(link);
      disk = BaseName(link);
    }
    const std::string dev = "/sys/class/block/" + disk;
    if (Trim(sys_.Read(dev + "/removable").value_or("")) == "1") return Found(dev + "/removable = 1");
    if (("/" + link + "/").find("/usb") != std::string::npos) return Found(disk + " sits on a USB bus (" + link + ")");
    if (("/" + link + "/").find("/mmc") != std::string::npos && Trim(sys_.Read(dev + "/device/type").value_or("")) == "SD")
      return Found(disk + " is an SD card (" + link + ")");
    for (const auto& s : sys_.List(dev + "/slaves"))
      if (Device(s, sys_.LinkTarget("/sys/class/block/" + s).value_or(""), depth + 1)) return true;
    return false;
  }
  std::string evidence;

 private:
  bool Found(std::string why) {
    evidence = std::move(why);
    return true;
  }
  LinuxSources& sys_;
};

}  // namespace

std::string NotADrive(const MountEntry& m) {
  const std::string& t = m.fsType;
  if (Among(t, {"proc", "sysfs", "cgroup", "cgroup2", "devtmpfs", "devpts", "securityfs", "debugfs", "tracefs",
                "pstore", "bpf", "mqueue", "hugetlbfs", "configfs", "fusectl", "binfmt_misc", "autofs", "efivarfs",
                "rpc_pipefs", "nsfs", "selinuxfs", "nfsd", "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs"}))
    return t + " is a file system of the system's own";
  if (Among(t, {"squashfs", "erofs", "fuse.snapfuse"})) return t + " is a read-only system image";
  for (const char* top : {"/proc", "/sys", "/dev"})
    if (Under(m.mountPoint, top)) return m.mountPoint + " is a place of the system's own";
  if (Among(t, {"tmpfs", "ramfs"}) && Under(m.mountPoint, "/run"))
    return m.mountPoint + " holds the system's run-time files";
  return {};
}

MountKind KindOfMount(const MountEntry& m, LinuxSources& sys) {
  const std::string& t = m.fsType;
  const std::string said = t + " from " + m.source;
  const bool fuse = t.compare(0, 5, "fuse.") == 0 || t == "fuse";
  if (Among(t, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "9p", "afs", "ceph", "glusterfs", "lustre", "davfs",
                "virtiofs", "sshfs", "fuse.sshfs", "fuse.rclone", "fuse.s3fs", "fuse.gcsfuse", "fuse.curlftpfs",
                "fuse.davfs2", "fuse.glusterfs", "fuse.ceph-fuse", "fuse.smbnetfs"}))
    return {DriveType::Remote, said + ": a network file system"};
  if (fuse && (m.source.find(':') != std::string::npos || m.source.compare(0, 2, "//") == 0))
    return {DriveType::Remote, said + ": the source names another machine"};
  if (Among(t, {"iso9660", "udf"})) return {DriveType::CdRom, said + ": a disc's file system"};
  if (Among(t, {"tmpfs", "ramfs"})) return {DriveType::RamDisk, said + ": it lives in memory"};
  std::string number;
  if (m.major != 0) number = std::to_string(m.major) + ":" + std::to_string(m.minor);
  else if (m.source.compare(0, 5, "/dev/") == 0) number = sys.DeviceNumber(m.source).value_or("");
  auto link = number.empty() ? std::nullopt : sys.LinkTarget("/sys/dev/block/" + number);
  if (!link) return {DriveType::Fixed, said + ": no block device under it, a local file system"};
  RemovableSearch search(sys);
  if (search.Device(BaseName(*link), *link, 0)) return {DriveType::Removable, said + ": " + search.evidence};
  return {DriveType::Fixed, said + ": on " + BaseName(*link) + ", which is not removable"};
}

}  // namespace vz
