#include "platform/posix/mount_table.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>

#include "common/text.h"
#include "platform/mount_drives.h"
#include "platform/posix/in_place.h"
#include "platform/posix/kvstore.h"
#include "platform/posix/real_sources.h"

namespace vz::posix {
namespace {

// Where the POSIX layer keeps the hidden and system attributes.
constexpr const char* kAttrXattr = "user.vaporizer.attributes";
// Per user: the letter of each drive whose store was seen, with the mount
// point it was last seen at.
constexpr const char* kDrivesKey = "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\Drives\\";
// The letters handed to drives without one of their own, in this order; C:
// is the home folder's.
constexpr const char* kLetterOrder = "DEFGHIJKLMNOPQRSTUVWXYZAB";

std::string Join(const std::string& folder, const std::string& name) { return (folder == "/" ? "" : folder) + "/" + name; }

bool Inside(const std::string& path, const std::string& root) {
  return root == "/" || path == root ||
         (path.size() > root.size() && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/');
}

// A small file of our own kind: a regular file, read whole up to `limit`
// bytes, never through a link or from a device.
std::optional<std::string> ReadSmall(const std::string& path, std::size_t limit) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::string out;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    char buf[8192];
    ssize_t n;
    while (out.size() < limit && (n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return out;
}

// The home folder: $HOME, else the account's, when it is a folder of the
// user's own (or one the user may write) and not the top of everything.
std::string HomeFolder() {
  auto usable = [](const char* h) -> std::string {
    char buf[PATH_MAX];
    struct stat st {};
    if (!h || h[0] != '/' || !::realpath(h, buf) || std::string(buf) == "/") return {};
    if (::stat(buf, &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    if (st.st_uid != ::geteuid() && ::faccessat(AT_FDCWD, buf, W_OK | X_OK, AT_EACCESS) != 0) return {};
    return buf;
  };
  std::string home = usable(std::getenv("HOME"));
  if (home.empty())
    if (const struct passwd* pw = ::getpwuid(::geteuid())) home = usable(pw->pw_dir);
  return home;
}

// Whether the table's line is the mount that is really seen at its mount
// point: not one hidden under a later mount, not a line that names no
// mount at all, not a file mounted over a file.
// *device: the device its top shows, which tells the subvolumes of one
// btrfs apart (the table gives them all the same).
bool Visible(const MountEntry& m, std::uint64_t* device) {
  struct statx sx {};
  // Cached answers: a network server that does not answer holds nothing up.
  const int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
  if (::statx(AT_FDCWD, m.mountPoint.c_str(), flags, STATX_TYPE | STATX_MNT_ID, &sx) != 0) return false;
  if (!S_ISDIR(sx.stx_mode)) return false;
  *device = (std::uint64_t{sx.stx_dev_major} << 32) | sx.stx_dev_minor;
  // Kernels before 5.8 cannot tell; the line is taken as it stands there.
  return !(sx.stx_mask & STATX_MNT_ID) || sx.stx_mnt_id == m.id;
}

bool HasOption(const std::string& options, const std::string& key) {
  return ("," + options + ",").find("," + key + ",") != std::string::npos;
}

// The letter a store keeps: said in its desktop.ini, else the one its
// records are written under. 0 when neither tells.
char StoreLetter(const std::string& store, bool* said) {
  *said = false;
  std::string section;
  for (const auto& raw : SplitLines(ReadSmall(Join(store, "desktop.ini"), 1 << 16).value_or(""))) {
    std::string line = Trim(raw);
    if (!line.empty() && line[0] == '[') section = line;
    auto eq = line.find('=');
    if (!EqualsNoCase(section, "[Vaporizer]") || eq == std::string::npos || !EqualsNoCase(Trim(line.substr(0, eq)), "Drive"))
      continue;
    std::string v = Trim(line.substr(eq + 1));
    if (v.size() == 1 && std::isalpha(static_cast<unsigned char>(v[0]))) {
      *said = true;
      return ToUpperChar(v[0]);
    }
  }
  const std::string mark = "\xEF\xBB\xBF";
  for (const auto& raw : SplitLines(ReadSmall(Join(store, "info.shr"), 1 << 20).value_or(""))) {
    std::string line = Trim(raw.compare(0, mark.size(), mark) == 0 ? raw.substr(mark.size()) : raw);
    if (line.size() > 12 && std::isalpha(static_cast<unsigned char>(line[0])) &&
        EqualsNoCase(line.substr(1, 11), ":\\VAPORIZE\\"))
      return ToUpperChar(line[0]);
  }
  return 0;
}

// Writes the letter into a store's desktop.ini that does not say it yet,
// where the file is the user's own. The file is replaced whole, with its
// mode and attributes: some file systems (FUSE ones of FAT images) cannot
// make a file longer.
void RecordLetter(const std::string& store, char letter) {
  const std::string ini = Join(store, "desktop.ini");
  struct stat st {};
  if (::lstat(ini.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) return;
  std::string text = ReadSmall(ini, 1 << 16).value_or("");
  text += (text.empty() || text.back() == '\n' ? "" : "\r\n") + std::string("[Vaporizer]\r\nDrive=") + letter + "\r\n";
  std::string tmp = ini + ".XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) return;
  char attrs[16];
  ssize_t n = ::getxattr(ini.c_str(), kAttrXattr, attrs, sizeof attrs);
  if (n > 0) ::fsetxattr(fd, kAttrXattr, attrs, static_cast<std::size_t>(n), 0);
  if (::fchmod(fd, st.st_mode & 07777) != 0) {
    // File systems without modes keep their own.
  }
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  // Left to the next run when it fails: the records still tell the letter.
  if (!ok || ::rename(tmp.c_str(), ini.c_str()) != 0) ::unlink(tmp.c_str());
}

bool IsStoreFolder(const std::string& dir) {
  struct stat st {};
  return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// This user's store in a drive's store folder: named by the user id, as
// Platform::AccountName names it.
std::string OwnStoreIn(const std::string& shared) { return Join(shared, std::to_string(::geteuid())); }

// The letter of the store this user keeps on a drive: in the user's own
// store, else in a store of the earlier layout (one store for the drive,
// the records directly in its store folder) that is still to move into it.
char UserStoreLetter(const std::string& root, bool* said) {
  const std::string shared = Join(root, kStoreHostName), own = OwnStoreIn(shared);
  *said = false;
  if (IsStoreFolder(own)) return StoreLetter(own, said);
  bool earlierSaid = false;
  return IsStoreFolder(shared) ? StoreLetter(shared, &earlierSaid) : 0;
}

// A test's stand-in for /proc/self/mountinfo or /sys, named by the
// environment: taken only from a program run without extra privileges, and
// only where it is root's or the user's own and nobody else may change it.
std::string TestPath(const char* variable) {
  const char* p = ::secure_getenv(variable);
  struct stat st {};
  if (!p || p[0] != '/' || ::lstat(p, &st) != 0 || (st.st_uid != 0 && st.st_uid != ::geteuid()) || (st.st_mode & 022))
    return {};
  return p;
}

// The name beside a remembered drive's letter that keeps its device.
std::string DeviceName(char letter) { return std::string(1, letter) + ".device"; }

std::map<char, std::string> RememberedDrives() {
  std::map<char, std::string> out;
  for (char l = 'A'; l <= 'Z'; ++l) {
    KvValue v = KvRead(kDrivesKey, std::string(1, l));
    if (v.type == KvType::String && !v.text.empty() && v.text[0] == '/') out[l] = v.text;
  }
  return out;
}

}  // namespace

std::optional<std::string> UserStoreOf(const Volume& v, std::string* why) {
  const std::string shared = Join(v.root, kStoreHostName), own = OwnStoreIn(shared);
  auto none = [&](std::string reason) -> std::optional<std::string> {
    if (why) *why = std::move(reason);
    return std::nullopt;
  };
  if (v.origin == Origin::Mount) {
    if (v.holdsHome) return none("your store on its file system is the one in your home folder (C:)");
    if (v.readOnly) return none("it is mounted read-only");
  }
  const uid_t me = ::geteuid();
  struct stat top {}, st {};
  // Nothing there yet: the store cannot be made, whoever asks.
  if (::stat(v.root.c_str(), &top) != 0) return own;
  // Whoever owns the store folder may move the stores in it away (even in a
  // sticky one) and put others in their place: it is trusted when root made
  // it for every user, or when it is this user's own on a drive (or home)
  // of this user's own.
  const bool driveIsMine = me == 0 || top.st_uid == me;
  if (::lstat(shared.c_str(), &st) == 0) {
    const std::string remove = ": an administrator can remove it";
    if (S_ISLNK(st.st_mode)) return none(shared + " is a link, not a folder" + remove);
    if (!S_ISDIR(st.st_mode)) return none(shared + " is not a folder" + remove);
    if (st.st_uid == 0 && (st.st_mode & S_ISVTX) && (st.st_mode & 0777) == 0777) return own;
    if (st.st_uid == me && driveIsMine) return own;
    if (st.st_uid == me)
      return none(shared + " is your own, but the drive is not: only one that root made for every user (mode 1777) " +
                  "keeps stores there; an administrator can move it away and make that one");
    if (st.st_uid == 0) return none(shared + " is root's but not made for every user (mode 1777)" + remove);
    return none(shared + " belongs to another account (" + std::to_string(st.st_uid) + ")" + remove);
  }
  if (::faccessat(AT_FDCWD, v.root.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    return none("you may not make " + shared + ", as its top folder is not writable for you");
  if (!driveIsMine)
    return none("the drive is not yours, so " + shared + " must be made by root for every user: an administrator " +
                "can make it (mkdir -m 1777 " + shared + ")");
  return own;
}

MountTable ReadMountTable() {
  MountTable t;
  const std::string file = TestPath("VAPORIZER_TEST_MOUNTINFO");
  RealSources sys(TestPath("VAPORIZER_TEST_SYSFS"));
  std::vector<Volume> found;
  struct Shown {
    MountEntry mount;  // the mount that is the drive
    std::uint64_t device;
  };
  std::vector<Shown> shown;  // one per drive found
  for (const auto& m : ParseMountInfo(ReadSmall(file.empty() ? "/proc/self/mountinfo" : file, 16 << 20).value_or(""))) {
    std::uint64_t device = 0;
    if (!Visible(m, &device)) continue;
    if (!NotADrive(m).empty()) {
      t.holes.push_back(m.mountPoint);
      continue;
    }
    // One file system is one drive, however often it is mounted (bind
    // mounts, the same device twice): at the mount that shows its root, or
    // of the most of it where roots nest, else at the first; the others
    // are that drive's other places. The subvolumes of a btrfs are file
    // systems of their own: each shows a device of its own.
    auto same = std::find_if(shown.begin(), shown.end(), [&](const Shown& o) {
      return o.mount.major == m.major && o.mount.minor == m.minor && o.device == device;
    });
    if (same != shown.end()) {
      Volume& kept = found[static_cast<std::size_t>(same - shown.begin())];
      if (same->mount.root != m.root && Inside(same->mount.root, m.root)) {
        kept.alsoAt.push_back(kept.root);
        kept.root = m.mountPoint;
        kept.readOnly = HasOption(m.options, "ro");
        same->mount = m;
      } else {
        kept.alsoAt.push_back(m.mountPoint);
      }
      continue;
    }
    shown.push_back({m, device});
    MountKind kind = KindOfMount(m, sys);
    Volume v;
    v.letter = 0;
    v.root = m.mountPoint;
    v.type = kind.type;
    v.origin = Origin::Mount;
    v.kindWhy = kind.evidence;
    v.readOnly = HasOption(m.options, "ro");
    v.device = std::to_string(m.major) + ":" + std::to_string(m.minor);
    found.push_back(std::move(v));
  }
  // What the other mount points show is the drive's, under its own place:
  // none of it is another drive's, nor the drive's twice.
  for (const auto& v : found) t.holes.insert(t.holes.end(), v.alsoAt.begin(), v.alsoAt.end());
  std::sort(found.begin(), found.end(), [](const Volume& a, const Volume& b) { return a.root < b.root; });

  bool taken[26] = {};
  const std::string home = HomeFolder();
  if (!home.empty()) {
    Volume* holder = nullptr;
    for (auto& v : found)
      if (Inside(home, v.root) && (!holder || v.root.size() > holder->root.size())) holder = &v;
    // A home that is a file system's top is that drive itself.
    if (holder && holder->root == home) found.erase(found.begin() + (holder - found.data()));
    else if (holder) holder->holdsHome = true;
    Volume h;
    h.letter = 'C';
    h.root = home;
    h.origin = Origin::Home;
    h.kindWhy = "your home folder";
    t.drives.push_back(h);
    taken['C' - 'A'] = true;
  }
  // Drives with a store take the letter it keeps.
  for (auto& v : found) {
    bool said = false;
    if (v.type != DriveType::Fixed) continue;
    char l = UserStoreLetter(v.root, &said);
    if (l && !taken[l - 'A']) {
      v.letter = l;
      taken[l - 'A'] = true;
    }
  }
  // A drive whose store was seen keeps its letter while it is away. Where
  // its mount point holds a file system again, that one is what is there
  // now: the letter is its own if its store keeps it, else free again.
  bool reserved[26] = {};
  for (const auto& remembered : RememberedDrives()) {
    const char l = remembered.first;
    const std::string& last = remembered.second;
    if (taken[l - 'A']) continue;
    // Mounted now only where its store does not show (a folder of it bound
    // elsewhere): the same device, the same letter.
    const std::string device = KvRead(kDrivesKey, DeviceName(l)).text;
    auto same = std::find_if(found.begin(), found.end(), [&](const Volume& v) {
      return !v.letter && !device.empty() && v.device == device && v.type == DriveType::Fixed;
    });
    if (same != found.end()) {
      same->letter = l;
      taken[l - 'A'] = true;
      continue;
    }
    if (std::any_of(found.begin(), found.end(), [&](const Volume& v) { return v.root == last; })) {
      KvWriteString(kDrivesKey, std::string(1, l), "");
      continue;
    }
    reserved[l - 'A'] = true;
    t.absent.push_back({l, last});
  }
  const std::string order = (home.empty() ? "C" : "") + std::string(kLetterOrder);
  for (auto& v : found) {
    for (std::size_t i = 0; !v.letter && i < order.size(); ++i) {
      const int k = order[i] - 'A';
      if (!taken[k] && !reserved[k]) {
        v.letter = order[i];
        taken[k] = true;
      }
    }
    if (!v.letter) {
      t.unlettered.push_back(v.root);
      t.holes.push_back(v.root);
      continue;
    }
    t.drives.push_back(v);
  }
  return t;
}

void LearnStores(std::vector<Volume>& volumes) {
  for (auto& v : volumes) {
    if (v.type != DriveType::Fixed) continue;
    auto dir = UserStoreOf(v, &v.noStore);
    if (!dir) continue;
    v.noStore.clear();
    bool said = false;
    const std::string shared = Join(v.root, kStoreHostName);
    if (!IsStoreFolder(shared)) continue;
    char l = UserStoreLetter(v.root, &said);
    v.indexLetter = l ? l : v.letter;
    // A store of the earlier layout is read under its letter until it has
    // moved into the user's own.
    if (!IsStoreFolder(*dir)) continue;
    if (!said) RecordLetter(*dir, v.indexLetter);
    // A store made by an earlier version: its next index is written in
    // place from now on.
    if (int fd = ::open(dir->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); fd >= 0) {
      struct stat st {};
      if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid()) MarkFolderInPlace(fd);
      ::close(fd);
    }
    if (v.origin == Origin::Mount && KvRead(kDrivesKey, std::string(1, v.letter)).text != v.root)
      KvWriteString(kDrivesKey, std::string(1, v.letter), v.root);
    if (v.origin == Origin::Mount && !v.device.empty() && KvRead(kDrivesKey, DeviceName(v.letter)).text != v.device)
      KvWriteString(kDrivesKey, DeviceName(v.letter), v.device);
  }
}

}  // namespace vz::posix
