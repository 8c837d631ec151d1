#include "engine/medium_verdict.h"

#include "common/text.h"
#include "platform/platform.h"

namespace vz {
namespace {

// How a file system puts new data: over the old, or somewhere else.
enum class Kind { InPlace, CopyOnWrite, Log, ReFS, Memory, Network, Layered, UserSpace, ReadOnly, Other };

struct KindOf {
  const char* name;
  Kind kind;
};
constexpr KindOf kKinds[] = {
    {"ext2", Kind::InPlace},       {"ext3", Kind::InPlace},       {"ext4", Kind::InPlace},
    {"ext2/ext3/ext4", Kind::InPlace}, {"xfs", Kind::InPlace},    {"jfs", Kind::InPlace},
    {"vfat", Kind::InPlace},       {"msdos", Kind::InPlace},      {"fat", Kind::InPlace},
    {"fat32", Kind::InPlace},      {"exfat", Kind::InPlace},      {"ntfs", Kind::InPlace},
    {"ntfs3", Kind::InPlace},      {"hfsplus", Kind::InPlace},    {"reiserfs", Kind::InPlace},
    {"btrfs", Kind::CopyOnWrite},  {"zfs", Kind::CopyOnWrite},    {"bcachefs", Kind::CopyOnWrite},
    {"apfs", Kind::CopyOnWrite},   {"f2fs", Kind::Log},           {"nilfs2", Kind::Log},
    {"jffs2", Kind::Log},          {"ubifs", Kind::Log},          {"refs", Kind::ReFS},
    {"tmpfs", Kind::Memory},       {"ramfs", Kind::Memory},       {"nfs", Kind::Network},
    {"nfs4", Kind::Network},       {"cifs", Kind::Network},       {"smb3", Kind::Network},
    {"9p", Kind::Network},         {"virtiofs", Kind::Network},   {"ceph", Kind::Network},
    {"overlay", Kind::Layered},    {"aufs", Kind::Layered},       {"iso9660", Kind::ReadOnly},
    {"squashfs", Kind::ReadOnly},  {"erofs", Kind::ReadOnly},     {"cdfs", Kind::ReadOnly},
};

Kind KindOfFileSystem(const std::string& name) {
  for (const auto& k : kKinds)
    if (EqualsNoCase(name, k.name)) return k.kind;
  if (StartsWithNoCase(name, "fuse")) return Kind::UserSpace;
  return Kind::Other;
}

bool HasOwnDevice(Kind k) {
  return k != Kind::Memory && k != Kind::Network && k != Kind::Layered && k != Kind::UserSpace;
}

class Judge {
 public:
  Verdict Run(const MediumFacts& m, const FileStorage* file) {
    Kind kind = FileSystem(m, file);
    if (file && file->flags) FileFlags(*file->flags);
    if (HasOwnDevice(kind)) Device(m);
    return Finish(m);
  }

 private:
  void Add(Reach level, std::string text) { v_.reasons.push_back({level, std::move(text)}); }

  Kind FileSystem(const MediumFacts& m, const FileStorage* file) {
    if (m.fileSystem.answer != Answer::Yes) {
      Add(Reach::Unknown, "the file system is unknown (" + m.fileSystem.evidence + ")");
      return Kind::Other;
    }
    const std::string& fs = m.fileSystem.value;
    Kind kind = KindOfFileSystem(fs);
    const bool noCowFile = file && file->flags && (*file->flags & kStoreNoCow);
    switch (kind) {
      case Kind::CopyOnWrite:
        if (noCowFile || m.noDataCow.answer == Answer::Yes) {
          Add(Reach::Unknown, fs + " writes this data in place (" + (noCowFile ? "the file's No_COW flag" : "nodatacow") +
                                  ") unless a snapshot shares its blocks");
        } else {
          Add(Reach::DoesNot, fs + " is a copy-on-write file system: it writes new data to fresh blocks and leaves "
                                   "the old blocks as they were");
          fsCopies_ = v_.writesElsewhere = true;
        }
        break;
      case Kind::Log:
        Add(Reach::DoesNot, fs + " is log-structured: it appends new data to its log and leaves the old blocks as "
                                 "they were until it cleans them");
        fsCopies_ = v_.writesElsewhere = true;
        break;
      case Kind::ReFS:
        if (!file || !file->flags)
          Add(Reach::Unknown, "ReFS writes a file in place only when the file has no integrity stream "
                              "(each file is looked at when it is vaporized)");
        break;
      case Kind::Memory:
        Add(Reach::Unknown, fs + " keeps files in memory: pages that were swapped out earlier may remain in swap");
        break;
      case Kind::Network:
        Add(Reach::Unknown, fs + " is a network or shared file system: the server's file system and disks decide "
                                 "whether old blocks remain");
        break;
      case Kind::Layered:
        Add(Reach::Unknown, fs + ": a file from a lower layer was copied up when first written, and the lower copy stays");
        break;
      case Kind::UserSpace:
        Add(Reach::Unknown, fs + " is a file system in user space: that program decides where writes go");
        break;
      case Kind::ReadOnly:
        Add(Reach::Unknown, fs + " is read-only: nothing on it can be overwritten");
        break;
      case Kind::Other:
        Add(Reach::Unknown, "a file system this program does not know (" + fs + ")");
        break;
      case Kind::InPlace:
        break;
    }
    if (m.dataJournal.answer == Answer::Yes) {
      Add(Reach::DoesNot, "the file system journals file data (data=journal): copies of the old data may remain in "
                          "the journal");
      fsCopies_ = true;
    }
    if (m.compression.answer == Answer::Yes && kind != Kind::CopyOnWrite) {
      Add(Reach::DoesNot, "the volume compresses what it writes (" + m.compression.value +
                              "): compressed data goes to new places");
      fsCopies_ = v_.writesElsewhere = true;
    }
    return kind;
  }

  void FileFlags(std::uint32_t f) {
    if (f & kStoreCompressed) Add(Reach::DoesNot, "the file is compressed: its new data is written to other blocks");
    if (f & kStoreIntegrity) Add(Reach::DoesNot, "the file has an integrity stream: ReFS writes every change to new clusters");
    if (f & kStoreDataJournal) Add(Reach::DoesNot, "the file's data goes through the journal, where old copies may remain");
    if (f & kStoreHoles)
      Add(Reach::Unknown, "the file has holes: data that stood where a hole is now was freed earlier and is not reached");
    if (f & kStoreEfs)
      Add(Reach::Unknown, "the file is encrypted with EFS: a plain copy from before it was encrypted may remain in "
                          "freed clusters");
    if (f & kStoreReparse) Add(Reach::Unknown, "the file's data is reached through a reparse point and may be kept elsewhere");
    if (f & kStoreInline) Add(Reach::Unknown, "the file's data sits in its inode, which the journal copies");
  }

  void Device(const MediumFacts& m) {
    if (!m.backing.empty()) {
      // A loop device: what happens to the file beneath decides.
      const MediumFacts& b = m.backing.front();
      Judge below;
      Verdict v = below.Run(b, nullptr);
      for (auto& r : v.reasons) Add(r.level, "beneath, on the medium of the file " + b.where + ": " + r.text);
      fsCopies_ = fsCopies_ || below.fsCopies_;
      snapshots_ = below.snapshots_;
      flash_ = below.flash_;
      trim_ = below.trim_;
      encrypted_ = below.encrypted_;
      return;
    }
    if (m.device.answer != Answer::Yes && m.spinning.answer == Answer::Unknown) {
      Add(Reach::Unknown, "the device beneath is unknown (" + m.device.evidence + ")");
      flash_ = true;
      return;
    }
    if (m.snapshots.answer == Answer::Yes) {
      Add(Reach::DoesNot, "snapshots or shadow copies keep earlier contents (" + m.snapshots.evidence + ")");
      snapshots_ = true;
    }
    if (m.thin.answer == Answer::Yes) Add(Reach::Unknown, "the volume is thinly provisioned: its snapshots may share the old blocks");
    if (m.virtualDisk.answer == Answer::Yes)
      Add(Reach::Unknown, "a virtual disk (" + m.virtualDisk.value + "): the host's storage decides whether old blocks remain");
    if (m.spinning.answer == Answer::No) {
      Add(Reach::DoesNot, "the device is solid state or flash (" + m.spinning.evidence + "): its wear levelling writes new "
                          "data to other cells and keeps the old until it erases them");
      flash_ = true;
    } else if (m.removable.answer == Answer::Yes) {
      Add(Reach::Unknown, "a removable drive: USB sticks and memory cards are flash, whose wear levelling keeps old data, "
                          "even where they call themselves rotational (" + m.spinning.evidence + ")");
      flash_ = true;
    } else if (m.spinning.answer == Answer::Unknown) {
      Add(Reach::Unknown, "whether the device is a spinning disk or flash is unknown (" + m.spinning.evidence + ")");
      flash_ = true;
    }
    if (m.snapshots.answer == Answer::Unknown && !m.snapshots.evidence.empty())
      Add(Reach::Unknown, "whether snapshots or shadow copies keep earlier contents is unknown (" + m.snapshots.evidence + ")");
    trim_ = m.trim.answer;
    encrypted_ = m.encrypted.answer == Answer::Yes ? m.encrypted.value : "";
  }

  Verdict Finish(const MediumFacts& m) {
    bool doesNot = false, unknown = false;
    for (const auto& r : v_.reasons) (r.level == Reach::DoesNot ? doesNot : unknown) = true;
    v_.reach = doesNot ? Reach::DoesNot : unknown ? Reach::Unknown : Reach::Reaches;
    for (const auto& r : v_.reasons)
      if (r.level == v_.reach) v_.why += (v_.why.empty() ? "" : "; ") + r.text;
    if (v_.reach == Reach::Reaches) {
      v_.why = m.fileSystem.value + " writes in place and the device is a spinning disk (" + m.spinning.evidence + ")";
      return v_;
    }
    if (!encrypted_.empty())
      v_.advice.push_back("the volume is encrypted (" + encrypted_ + "): what remains is unreadable without its key");
    else
      v_.advice.push_back("full-disk encryption (LUKS, BitLocker), set up before the data is written, leaves only "
                          "unreadable copies behind");
    if (snapshots_) v_.advice.push_back("delete the snapshots or shadow copies that hold earlier versions");
    if (fsCopies_ && !flash_)
      v_.advice.push_back("old copies stay in free space until it is reused: filling the free space with a file of zeros, "
                          "then deleting it, overwrites most of them");
    if (flash_) {
      v_.advice.push_back(trim_ == Answer::Yes
                              ? "the device takes TRIM: trimming freed blocks (fstrim, or Optimize Drives on Windows) "
                                "lets it erase them"
                              : "TRIM, where the device takes it (fstrim, or Optimize Drives on Windows), lets it erase "
                                "freed blocks");
      v_.advice.push_back("the device's own secure erase (ATA Secure Erase, NVMe sanitize) clears every cell, worn ones too, "
                          "and everything else on it");
    }
    return v_;
  }

  Verdict v_;
  bool fsCopies_ = false, snapshots_ = false, flash_ = false;
  Answer trim_ = Answer::Unknown;
  std::string encrypted_;
};

}  // namespace

std::string ReachText(Reach r) {
  switch (r) {
    case Reach::Reaches: return "reaches the old data";
    case Reach::DoesNot: return "does not reach the old data";
    default: return "unknown";
  }
}

Verdict JudgeMedium(const MediumFacts& medium, const FileStorage* file) { return Judge().Run(medium, file); }

FileJudgement OverwriteWarnings::Judge(const std::string& path, int passes, File* open) {
  FileJudgement j;
  if (passes <= 0) {
    // Nothing is written, so nothing about the medium matters.
    j.warning = "no overwrite pass was made (0 passes): the data was deleted, not overwritten";
    return j;
  }
  std::string folder = FolderPart(path);
  auto it = byFolder_.find(folder);
  if (it == byFolder_.end()) it = byFolder_.emplace(folder, Plat().MediumOf(folder.empty() ? path : folder)).first;
  FileStorage storage = open ? Plat().OpenFileStorageOf(*open, path) : Plat().FileStorageOf(path);
  j.verdict = JudgeMedium(it->second, &storage);
  j.volumeId = it->second.volumeId;
  j.discards = it->second.discards.answer;
  j.discardOnFree = it->second.discardOnFree.answer;
  switch (j.verdict.reach) {
    case Reach::Reaches: break;
    case Reach::DoesNot: j.warning = "the overwrite cannot be relied on: " + j.verdict.why; break;
    default:
      j.warning = "the overwrite cannot be relied on, since it is unknown whether it reaches the old data: " + j.verdict.why;
  }
  return j;
}

}  // namespace vz
