// Readers of what Linux and Windows tell about a volume's medium. They take
// the system's answers as data and never call the system themselves.
#include <algorithm>
#include <cstdio>

#include "common/text.h"
#include "platform/medium.h"

namespace vz {

MediumFacts Platform::MediumOf(const std::string& path) { return NativeMediumOf(path); }
FileStorage Platform::FileStorageOf(const std::string& path) { return NativeFileStorageOf(path); }
FileStorage Platform::OpenFileStorageOf(File&, const std::string& path) { return FileStorageOf(path); }

namespace {

std::string Hex(std::uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
  return buf;
}

std::string Lower(std::string s) {
  for (auto& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool StartsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }
bool EndsWith(const std::string& s, const std::string& p) {
  return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

Fact Known(Answer a, std::string evidence, std::string value = {}) {
  return Fact{a, std::move(value), std::move(evidence)};
}
Fact Unknown(std::string why) { return Fact{Answer::Unknown, {}, std::move(why)}; }

std::string BaseName(const std::string& p) {
  auto s = p.find_last_of('/');
  return s == std::string::npos ? p : p.substr(s + 1);
}
std::string DirName(const std::string& p) {
  auto s = p.find_last_of('/');
  return s == std::string::npos ? std::string() : p.substr(0, s);
}

// Names in vendor and model strings, drivers and device names that give a
// virtual or memory-backed disk away.
const char* const kVirtualSigns[] = {"qemu", "vmware", "vbox", "virtual", "xen", "elastic block store",
                                     "persistentdisk"};

std::string VirtualSign(const std::string& text) {
  std::string l = Lower(text);
  for (const char* sign : kVirtualSigns)
    if (l.find(sign) != std::string::npos) return Trim(text);
  return {};
}

// --- Linux -------------------------------------------------------------

struct MagicName {
  std::uint64_t magic;
  const char* name;
};
constexpr MagicName kMagics[] = {
    {0xEF53, "ext2/ext3/ext4"}, {0x9123683E, "btrfs"},    {0x58465342, "xfs"},      {0xF2F52010, "f2fs"},
    {0x3434, "nilfs2"},         {0x2FC12FC1, "zfs"},      {0xCA451A4E, "bcachefs"}, {0x01021994, "tmpfs"},
    {0x858458F6, "ramfs"},      {0x794C7630, "overlay"},  {0x6969, "nfs"},          {0xFF534D42, "cifs"},
    {0xFE534D42, "smb3"},       {0x65735546, "fuse"},     {0x4D44, "vfat"},         {0x2011BAB0, "exfat"},
    {0x5346544E, "ntfs"},       {0x7366746E, "ntfs3"},    {0x9660, "iso9660"},      {0x73717368, "squashfs"},
    {0xE0F5E1E2, "erofs"},      {0x01021997, "9p"},       {0x72B6, "jffs2"},        {0x24051905, "ubifs"},
    {0x3153464A, "jfs"},        {0x52654973, "reiserfs"}, {0x482B, "hfsplus"},      {0x15013346, "udf"},
};

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t end; (end = s.find(sep, start)) != std::string::npos; start = end + 1)
    parts.push_back(s.substr(start, end - start));
  parts.push_back(s.substr(start));
  return parts;
}

// Whether the mount table's type belongs to the family statfs named.
bool TypeMatchesFamily(const std::string& type, const std::string& family) {
  if (family.empty()) return true;  // nothing to contradict
  for (const auto& f : Split(family, '/')) {
    if (type == f) return true;
    if (f == "fuse" && (StartsWith(type, "fuse") || type == "virtiofs")) return true;
    if (f == "vfat" && type == "msdos") return true;
    if ((f == "cifs" || f == "smb3") && (type == "cifs" || type == "smb3")) return true;
    if (f == "nfs" && StartsWith(type, "nfs")) return true;
  }
  return false;
}

std::string Unescape(const std::string& s) {  // mountinfo writes " " as \040
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' &&
        s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> w;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    std::size_t j = i;
    while (j < line.size() && line[j] != ' ') ++j;
    if (j > i) w.push_back(line.substr(i, j - i));
    i = j;
  }
  return w;
}

// The value of one comma-separated option ("" for a bare flag).
std::optional<std::string> Option(const std::string& options, const std::string& key) {
  std::optional<std::string> found;
  for (const auto& o : Split(options, ',')) {
    if (o == key) found = "";
    else if (StartsWith(o, key + "=")) found = o.substr(key.size() + 1);
  }
  return found;
}

std::string Read1(LinuxSources& s, const std::string& path) { return Trim(s.Read(path).value_or("")); }

class LinuxReader {
 public:
  LinuxReader(LinuxSources& s, int depth) : s_(s), depth_(depth) {}

  MediumFacts Read(const std::string& hostPath) {
    f_.where = hostPath;
    std::string path = s_.RealPath(hostPath).value_or(hostPath);
    std::string why;
    auto magic = s_.FsMagic(path, &why);
    std::string family = magic ? FileSystemOfMagic(*magic) : "";
    std::string statfs = magic ? "statfs: f_type " + Hex(*magic) + " (" + (family.empty() ? "unknown here" : family) + ")"
                               : "statfs failed: " + why;
    auto table = s_.Read("/proc/self/mountinfo");
    std::vector<MountEntry> mounts = table ? ParseMountInfo(*table) : std::vector<MountEntry>{};
    const MountEntry* m = MountOf(mounts, path);
    std::string noMount = !table ? "/proc/self/mountinfo could not be read" : "no mount in /proc/self/mountinfo holds " + path;
    if (m && !TypeMatchesFamily(m->fsType, family)) {
      noMount = "/proc/self/mountinfo names " + m->fsType + " on " + m->mountPoint + ", which statfs contradicts";
      m = nullptr;
    }
    if (m) {
      f_.fileSystem = Known(Answer::Yes, statfs + "; /proc/self/mountinfo: " + m->fsType + " from " + m->source +
                                             " on " + m->mountPoint, m->fsType);
      f_.volumeId = m->fsType + " " + m->source + " on " + m->mountPoint;
      Options(*m);
      Device(*m);
    } else {
      f_.fileSystem = family.empty() ? Unknown(statfs + "; " + noMount) : Known(Answer::Yes, statfs + "; " + noMount, family);
      f_.device = Unknown(noMount);
    }
    return f_;
  }

 private:
  void Options(const MountEntry& m) {
    const std::string all = m.options + "," + m.superOptions;
    const std::string said = "mount options of " + m.mountPoint + ": " + m.superOptions;
    if (m.fsType == "ext3" || m.fsType == "ext4") {
      auto data = Option(all, "data");
      f_.dataJournal = Known(data && *data == "journal" ? Answer::Yes : Answer::No,
                             data ? said : said + " (no data= option: data=ordered)");
    }
    std::optional<std::string> compress;
    for (const char* key : {"compress", "compress-force", "compress_algorithm"})
      if (auto v = Option(all, key)) compress = key + std::string(v->empty() ? "" : "=") + *v;
    f_.compression = compress ? Known(Answer::Yes, said, *compress) : Known(Answer::No, said + " (no compress option)");
    if (m.fsType == "btrfs")
      f_.noDataCow = Known(Option(all, "nodatacow") ? Answer::Yes : Answer::No, said);
    // discard=async passes freed blocks on later, in the background.
    auto discard = Option(all, "discard");
    const bool now = discard && (discard->empty() || *discard == "sync") && !Option(all, "nodiscard");
    f_.discardOnFree = Known(now ? Answer::Yes : Answer::No, discard ? said : said + " (no discard option)");
  }

  void Device(const MountEntry& m) {
    std::optional<std::string> number;
    if (m.major != 0) number = std::to_string(m.major) + ":" + std::to_string(m.minor);
    else if (StartsWith(m.source, "/dev/")) number = s_.DeviceNumber(m.source);
    auto link = number ? s_.LinkTarget("/sys/dev/block/" + *number) : std::nullopt;
    if (!link) {
      f_.device = Unknown("no block device lies under " + m.fsType + " from " + m.source);
      return;
    }
    std::string name = BaseName(*link);
    f_.device = Known(Answer::Yes, "/sys/dev/block/" + *number + " -> " + name, name);
    std::string disk = name;
    if (s_.Read("/sys/class/block/" + name + "/partition")) {
      disk = BaseName(DirName(*link));
      f_.layers.push_back(name + ": a partition of " + disk);
    }
    // What the file system's discards reach first: the disk of its
    // partition, or the loop device (which punches holes in its file).
    const std::string dq = "/sys/class/block/" + disk + "/queue/discard_max_bytes";
    const std::string most = Read1(s_, dq);
    f_.discards = most.empty() ? Unknown(dq + " could not be read")
                               : Known(most == "0" ? Answer::No : Answer::Yes, dq + " = " + most);
    for (const auto& id : s_.List("/dev/disk/by-uuid"))
      if (auto to = s_.LinkTarget("/dev/disk/by-uuid/" + id); to && BaseName(*to) == name) f_.volumeId = "uuid " + id;
    Stack(disk, 0);
    if (loop_) return;
    const std::string q = "/sys/class/block/" + disk + "/queue/";
    std::string rot = Read1(s_, q + "rotational"), discard = Read1(s_, q + "discard_max_bytes");
    f_.spinning = rot == "1" ? Known(Answer::Yes, q + "rotational = 1")
                  : rot == "0" ? Known(Answer::No, q + "rotational = 0")
                               : Unknown(q + "rotational could not be read");
    f_.trim = discard.empty() ? Unknown(q + "discard_max_bytes could not be read")
                              : Known(discard == "0" ? Answer::No : Answer::Yes, q + "discard_max_bytes = " + discard);
    f_.removable = removable_.empty() ? Known(Answer::No, "removable = 0 for " + Join(leaves_))
                                      : Known(Answer::Yes, "/sys/class/block/" + removable_ + "/removable = 1");
    f_.virtualDisk = virtual_.empty() ? Known(Answer::No, "no virtual disk sign in the driver, vendor or model of " + Join(leaves_))
                                      : Known(Answer::Yes, virtualWhy_, virtual_);
    if (f_.snapshots.evidence.empty()) f_.snapshots = Known(Answer::No, "no device-mapper snapshot in the stack");
    if (f_.thin.evidence.empty()) f_.thin = Known(Answer::No, "no thin pool in the stack");
    if (f_.encrypted.evidence.empty()) f_.encrypted = Known(Answer::No, "no dm-crypt layer in the stack");
  }

  static std::string Join(const std::vector<std::string>& v) {
    std::string s;
    for (const auto& x : v) s += (s.empty() ? "" : ", ") + x;
    return s.empty() ? "no device" : s;
  }

  // Walks down device-mapper, md and loop layers to the disks beneath.
  void Stack(const std::string& name, int level) {
    if (level > 16) return;
    const std::string dev = "/sys/class/block/" + name;
    if (StartsWith(name, "loop")) {
      std::string file = Read1(s_, dev + "/loop/backing_file");
      loop_ = true;
      f_.layers.push_back(name + ": a loop device over the file " + (file.empty() ? "(unknown)" : file));
      const std::string beneath = "a loop device: the medium of its file " + file + " decides";
      f_.spinning = f_.trim = f_.removable = f_.virtualDisk = Unknown(beneath);
      if (!file.empty() && depth_ < 3) f_.backing.push_back(LinuxReader(s_, depth_ + 1).Read(file));
      else f_.device = Unknown(file.empty() ? "the file behind " + name + " is unknown" : "too many loop devices deep");
      return;
    }
    if (StartsWith(name, "dm-")) {
      std::string dmName = Read1(s_, dev + "/dm/name"), uuid = Read1(s_, dev + "/dm/uuid");
      std::string said = dev + "/dm: name " + dmName + ", uuid " + uuid;
      f_.layers.push_back(name + ": device-mapper " + dmName + (uuid.empty() ? "" : " (" + uuid.substr(0, uuid.find('-')) + ")"));
      if (StartsWith(uuid, "CRYPT-")) f_.encrypted = Known(Answer::Yes, said, dmName);
      if (EndsWith(dmName, "-real") || EndsWith(dmName, "-cow") || EndsWith(uuid, "-real") || EndsWith(uuid, "-cow"))
        f_.snapshots = Known(Answer::Yes, said + ": a snapshot keeps the blocks as they were");
      if (EndsWith(dmName, "-tpool") || EndsWith(uuid, "-tpool")) f_.thin = Known(Answer::Yes, said);
    } else if (StartsWith(name, "md")) {
      f_.layers.push_back(name + ": md " + Read1(s_, dev + "/md/level"));
    }
    std::vector<std::string> slaves = s_.List(dev + "/slaves");
    if (slaves.empty()) {
      Leaf(name);
      return;
    }
    for (const auto& s : slaves) {
      std::string disk = s;
      if (s_.Read("/sys/class/block/" + s + "/partition")) {
        if (auto link = s_.LinkTarget("/sys/class/block/" + s)) disk = BaseName(DirName(*link));
      }
      Stack(disk, level + 1);
      if (loop_) return;
    }
  }

  void Leaf(const std::string& name) {
    const std::string dev = "/sys/class/block/" + name;
    leaves_.push_back(name);
    if (Read1(s_, dev + "/removable") == "1") removable_ = name;
    if (!virtual_.empty()) return;
    std::string driver = BaseName(s_.LinkTarget(dev + "/device/driver").value_or(""));
    if (driver == "virtio_blk" || driver == "vbd" || driver == "xen_blkfront") {
      virtual_ = driver;
      virtualWhy_ = dev + "/device/driver -> " + driver;
    } else if (StartsWith(name, "zram") || StartsWith(name, "ram") || StartsWith(name, "nbd") || StartsWith(name, "rbd")) {
      virtual_ = name;
      virtualWhy_ = name + ": a memory or network block device";
    } else {
      std::string vm = Read1(s_, dev + "/device/vendor") + " " + Read1(s_, dev + "/device/model");
      if (!VirtualSign(vm).empty()) {
        virtual_ = Trim(vm);
        virtualWhy_ = dev + "/device/vendor and model: " + Trim(vm);
      }
    }
  }

  LinuxSources& s_;
  int depth_;
  MediumFacts f_;
  bool loop_ = false;
  std::vector<std::string> leaves_;
  std::string removable_, virtual_, virtualWhy_;
};

// --- Windows -----------------------------------------------------------

std::uint32_t Le32(const std::string& b, std::size_t off) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[off])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[off + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[off + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[off + 3])) << 24;
}

// The one BOOLEAN after Version and Size of DEVICE_SEEK_PENALTY_DESCRIPTOR
// and DEVICE_TRIM_DESCRIPTOR.
std::optional<bool> FlagReply(const std::optional<std::string>& reply) {
  if (!reply || reply->size() < 9 || Le32(*reply, 4) < 9) return std::nullopt;
  return (*reply)[8] != 0;
}

struct DeviceDescriptor {
  bool removable = false;
  std::uint32_t bus = 0;
  std::string vendor, product;
};

// STORAGE_DEVICE_DESCRIPTOR; its strings lie inside the reply at offsets it gives.
std::optional<DeviceDescriptor> ParseDeviceDescriptor(const std::optional<std::string>& reply) {
  if (!reply || reply->size() < 36) return std::nullopt;
  const std::string& b = *reply;
  std::size_t size = std::min<std::size_t>(b.size(), Le32(b, 4));
  if (size < 36) return std::nullopt;
  auto text = [&](std::size_t fieldOffset) {
    std::size_t at = Le32(b, fieldOffset);
    if (at == 0 || at >= size) return std::string();
    std::size_t end = b.find('\0', at);
    return Trim(b.substr(at, std::min(end, size) - at));
  };
  DeviceDescriptor d;
  d.removable = b[10] != 0;
  d.vendor = text(12);
  d.product = text(16);
  d.bus = Le32(b, 28);
  return d;
}

const char* BusName(std::uint32_t bus) {
  static const char* const names[] = {"unknown", "SCSI", "ATAPI", "ATA", "1394", "SSA", "Fibre Channel",
                                      "USB", "RAID", "iSCSI", "SAS", "SATA", "SD", "MMC", "virtual",
                                      "file-backed virtual", "Storage Spaces", "NVMe", "SCM", "UFS"};
  return bus < sizeof names / sizeof names[0] ? names[bus] : "unknown";
}
bool FlashBus(std::uint32_t bus) { return bus == 0xC || bus == 0xD || bus == 0x11 || bus == 0x12 || bus == 0x13; }

constexpr std::uint32_t kFileVolumeIsCompressed = 0x00008000;

}  // namespace

FileStorage FileStorageFromAttributes(std::uint32_t a) {
  std::uint32_t f = 0;
  if (a & 0x800) f |= kStoreCompressed;  // FILE_ATTRIBUTE_COMPRESSED
  if (a & 0x200) f |= kStoreHoles;       // FILE_ATTRIBUTE_SPARSE_FILE
  if (a & 0x4000) f |= kStoreEfs;        // FILE_ATTRIBUTE_ENCRYPTED
  if (a & 0x400) f |= kStoreReparse;     // FILE_ATTRIBUTE_REPARSE_POINT
  if (a & 0x8000) f |= kStoreIntegrity;  // FILE_ATTRIBUTE_INTEGRITY_STREAM
  return {f, "GetFileAttributesW: " + Hex(a)};
}

FileStorage FileStorageFromInodeFlags(std::optional<std::uint32_t> flags, const std::string& whyNone, bool holes) {
  std::uint32_t f = holes ? std::uint32_t{kStoreHoles} : 0u;
  std::string holeText = holes ? "; SEEK_HOLE: a hole before the end" : "";
  if (!flags) return {holes ? std::optional<std::uint32_t>(f) : std::nullopt, "FS_IOC_GETFLAGS: " + whyNone + holeText};
  if (*flags & 0x4) f |= kStoreCompressed;           // FS_COMPR_FL
  if (*flags & 0x4000) f |= kStoreDataJournal;       // FS_JOURNAL_DATA_FL
  if (*flags & 0x800000) f |= kStoreNoCow;           // FS_NOCOW_FL
  if (*flags & 0x10000000) f |= kStoreInline;        // FS_INLINE_DATA_FL
  return {f, "FS_IOC_GETFLAGS: " + Hex(*flags) + holeText};
}

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
  std::vector<MountEntry> out;
  for (const auto& line : SplitLines(text)) {
    std::vector<std::string> w = Words(line);
    auto dash = std::find(w.begin() + std::min<std::size_t>(6, w.size()), w.end(), "-");
    if (dash == w.end() || w.end() - dash < 3) continue;
    MountEntry m;
    unsigned maj = 0, min = 0;
    char tail = 0;
    if (std::sscanf(w[2].c_str(), "%u:%u%c", &maj, &min, &tail) != 2) continue;
    if (std::sscanf(w[0].c_str(), "%llu%c", &m.id, &tail) != 1) continue;
    m.major = maj;
    m.minor = min;
    m.root = Unescape(w[3]);
    m.mountPoint = Unescape(w[4]);
    m.options = w[5];
    m.fsType = Unescape(dash[1]);
    m.source = Unescape(dash[2]);
    if (w.end() - dash > 3) m.superOptions = dash[3];
    if (m.mountPoint.empty() || m.mountPoint[0] != '/') continue;
    out.push_back(std::move(m));
  }
  return out;
}

const MountEntry* MountOf(const std::vector<MountEntry>& mounts, const std::string& path) {
  const MountEntry* best = nullptr;
  for (const auto& m : mounts) {
    const std::string& mp = m.mountPoint;
    bool inside = mp == "/" || path == mp || (StartsWith(path, mp) && path.size() > mp.size() && path[mp.size()] == '/');
    if (inside && (!best || mp.size() >= best->mountPoint.size())) best = &m;
  }
  return best;
}

std::string FileSystemOfMagic(std::uint64_t magic) {
  for (const auto& m : kMagics)
    if (m.magic == magic) return m.name;
  return {};
}

MediumFacts LinuxMediumFacts(const std::string& hostPath, LinuxSources& sources) {
  return LinuxReader(sources, 0).Read(hostPath);
}

MediumFacts WindowsMediumFacts(const WindowsVolumeAnswers& a) {
  MediumFacts f;
  f.where = a.root;
  const std::string wine = a.wine ? " (under Wine, whose storage queries tell nothing of the host's device)" : "";
  f.fileSystem = a.fsName ? Known(Answer::Yes, "GetVolumeInformationW(" + a.root + ")", *a.fsName)
                          : Unknown("GetVolumeInformationW(" + a.root + ") failed: " + a.fsError);
  if (a.fsName)
    f.compression = Known(a.fsFlags & kFileVolumeIsCompressed ? Answer::Yes : Answer::No,
                          "GetVolumeInformationW: flags " + Hex(a.fsFlags) + " (FILE_VOLUME_IS_COMPRESSED " +
                              (a.fsFlags & kFileVolumeIsCompressed ? "set)" : "not set)"));
  const std::string query = "IOCTL_STORAGE_QUERY_PROPERTY on " + a.devicePath + ", ";
  auto desc = ParseDeviceDescriptor(a.deviceDescriptor);
  if (desc) {
    std::string name = Trim(desc->vendor + " " + desc->product);
    f.device = Known(Answer::Yes, query + "StorageDeviceProperty: bus " + BusName(desc->bus) + ", vendor \"" +
                                      desc->vendor + "\", product \"" + desc->product + "\"",
                     (name.empty() ? a.devicePath : name) + " (" + BusName(desc->bus) + ")");
  } else {
    f.device = Unknown(query + "StorageDeviceProperty: " + (a.deviceError.empty() ? "no usable reply" : a.deviceError) + wine);
  }
  if (auto seek = FlagReply(a.seekPenalty))
    f.spinning = Known(*seek ? Answer::Yes : Answer::No,
                       query + "StorageDeviceSeekPenaltyProperty: IncursSeekPenalty = " + (*seek ? "1" : "0"));
  else if (desc && FlashBus(desc->bus))
    f.spinning = Known(Answer::No, query + "StorageDeviceProperty: bus " + BusName(desc->bus) + " (flash)");
  else
    f.spinning = Unknown(query + "StorageDeviceSeekPenaltyProperty: " +
                         (a.seekPenaltyError.empty() ? "no usable reply" : a.seekPenaltyError) + wine);
  if (auto trim = FlagReply(a.trim))
    f.trim = Known(*trim ? Answer::Yes : Answer::No, query + "StorageDeviceTrimProperty: TrimEnabled = " + (*trim ? "1" : "0"));
  else
    f.trim = Unknown(query + "StorageDeviceTrimProperty: " + (a.trimError.empty() ? "no usable reply" : a.trimError) + wine);
  // A file-level trim goes from the file system to the storage.
  f.discards = f.trim;
  if (a.fsName) f.volumeId = *a.fsName + " serial " + Hex(a.serial);
  if (a.driveType == DriveType::Removable) f.removable = Known(Answer::Yes, "GetDriveTypeW: DRIVE_REMOVABLE");
  else if (desc && desc->removable) f.removable = Known(Answer::Yes, query + "StorageDeviceProperty: RemovableMedia");
  else f.removable = Known(Answer::No, "GetDriveTypeW: not DRIVE_REMOVABLE");
  if (desc && (desc->bus == 0xE || desc->bus == 0xF))
    f.virtualDisk = Known(Answer::Yes, query + "StorageDeviceProperty: bus " + BusName(desc->bus), BusName(desc->bus));
  else if (desc && !VirtualSign(desc->vendor + " " + desc->product).empty())
    f.virtualDisk = Known(Answer::Yes, query + "StorageDeviceProperty: vendor and product", VirtualSign(desc->vendor + " " + desc->product));
  else if (desc)
    f.virtualDisk = Known(Answer::No, query + "StorageDeviceProperty: no virtual disk sign in bus, vendor or product");
  else
    f.virtualDisk = Unknown(f.device.evidence);
  f.snapshots = Fact{a.shadowCopies, {}, a.shadowEvidence};
  if (a.wine) {
    // Wine answers for itself: it calls most host file systems NTFS and
    // makes up a device, so none of it tells what the host really has.
    if (a.fsName)
      f.fileSystem = Fact{Answer::Unknown, *a.fsName, f.fileSystem.evidence + " says " + *a.fsName +
                                                          ", which Wine says of most host file systems"};
    if (f.device.answer != Answer::Unknown) f.device.evidence += wine;
    for (Fact* p : {&f.spinning, &f.trim, &f.discards, &f.virtualDisk})
      if (p->answer != Answer::Unknown) *p = Unknown(p->evidence + wine);
  }
  // Only NTFS and ReFS volumes have shadow copies.
  if (a.fsName && !EqualsNoCase(*a.fsName, "NTFS") && !EqualsNoCase(*a.fsName, "ReFS"))
    f.snapshots = Known(Answer::No, *a.fsName + " volumes have no shadow copies");
  return f;
}

}  // namespace vz
