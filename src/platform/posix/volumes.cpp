#include "platform/posix/volumes.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "common/text.h"
#include "platform/posix/in_place.h"
#include "platform/posix/mount_table.h"

namespace vz::posix {
namespace {

constexpr const char* kStoreName = "VAPORIZE";

std::optional<std::vector<Volume>> g_set;
MountTable g_fromEnv;
const MountTable kNoMounts;
std::string g_envError;
bool g_envRead = false;

std::string NormalizeRoot(std::string root) {
  char buf[PATH_MAX];
  if (::realpath(root.c_str(), buf)) root = buf;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

void ReadEnvironment() {
  if (g_envRead) return;
  g_envRead = true;
  const char* table = std::getenv("VAPORIZER_VOLUMES");
  if (!table || !*table) {
    g_fromEnv = ReadMountTable();
  } else {
    auto parsed = ParseVolumes(table, &g_envError);
    // A malformed table maps nothing, so nothing can be touched by mistake.
    g_fromEnv.drives = parsed ? *parsed : std::vector<Volume>{};
  }
  LearnStores(g_fromEnv.drives);
}

// The table in force with what goes with it.
const MountTable& Table() {
  if (g_set) return kNoMounts;
  ReadEnvironment();
  return g_fromEnv;
}

const Volume* FindVolume(char letter) {
  letter = ToUpperChar(letter);
  for (const auto& v : Volumes())
    if (v.letter == letter) return &v;
  return nullptr;
}

}  // namespace

std::optional<std::vector<Volume>> ParseVolumes(const std::string& table, std::string* error) {
  std::vector<Volume> out;
  std::size_t start = 0;
  while (start <= table.size()) {
    std::size_t end = table.find(';', start);
    if (end == std::string::npos) end = table.size();
    std::string item = Trim(table.substr(start, end - start));
    start = end + 1;
    if (item.empty()) continue;
    auto fail = [&](const std::string& why) {
      if (error) *error = "volume \"" + item + "\": " + why;
      return std::nullopt;
    };
    if (item.size() < 3 || item[1] != '=' || !std::isalpha(static_cast<unsigned char>(item[0])))
      return fail("expected LETTER=/directory[:type]");
    Volume v;
    v.letter = ToUpperChar(item[0]);
    std::string rest = item.substr(2);
    std::size_t colon = rest.rfind(':');
    if (colon != std::string::npos) {
      std::string type = rest.substr(colon + 1);
      rest = rest.substr(0, colon);
      if (type == "fixed") v.type = DriveType::Fixed;
      else if (type == "removable") v.type = DriveType::Removable;
      else if (type == "network") v.type = DriveType::Remote;
      else if (type == "cdrom") v.type = DriveType::CdRom;
      else return fail("unknown drive type \"" + type + "\" (fixed, removable, network, cdrom)");
    }
    if (rest.empty() || rest[0] != '/') return fail("the directory must be an absolute path");
    for (const auto& o : out)
      if (o.letter == v.letter) return fail(std::string("letter ") + v.letter + " is given twice");
    v.root = NormalizeRoot(rest);
    out.push_back(v);
  }
  return out;
}

const std::vector<Volume>& Volumes() {
  if (g_set) return *g_set;
  return Table().drives;
}

void SetVolumes(std::vector<Volume> volumes) {
  for (auto& v : volumes) {
    v.letter = ToUpperChar(v.letter);
    v.root = NormalizeRoot(v.root);
  }
  LearnStores(volumes);
  g_set = std::move(volumes);
}

void ResetVolumes() {
  g_set.reset();
  g_envRead = false;
  g_envError.clear();
  g_fromEnv = MountTable{};
}

bool CarriesStore(char letter, std::string* why) {
  const Volume* v = FindVolume(letter);
  struct stat st {};
  if (!v || ::stat(v->root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  const std::string name = std::string(1, v->letter) + ": (" + v->root + ")";
  std::string says;
  switch (v->type) {
    case DriveType::Fixed:
      if (v->noStore.empty()) return true;
      // A drive that keeps stores by its kind never destroys what is sent
      // because its store cannot be used.
      if (why)
        *why = name + " holds no store for you: " + v->noStore +
               ". Nothing was sent from there; shred destroys an item where it is.";
      return false;
    case DriveType::Removable: says = name + " is a removable drive, which keeps no store"; break;
    case DriveType::Remote: says = name + " is a network drive, which keeps no store"; break;
    case DriveType::CdRom: says = name + " is a CD drive, which keeps no store"; break;
    case DriveType::RamDisk: says = name + " lives in memory, which keeps no store"; break;
    default: says = name + " keeps no store"; break;
  }
  if (why) *why = says + ". What is sent from there is vaporized where it is.";
  return false;
}

std::string RecordedNamesMayRemain(char letter) {
  const Volume* v = FindVolume(letter);
  if (!v || v->type != DriveType::Fixed || !v->noStore.empty()) return {};
  auto store = UserStoreOf(*v, nullptr);
  return store ? NamesMayRemain(*store) : std::string();
}

const std::vector<AbsentDrive>& AbsentDrives() { return Table().absent; }
const std::vector<std::string>& UnletteredMounts() { return Table().unlettered; }

std::string VolumeTableError() {
  ReadEnvironment();
  return g_envError;
}

namespace {

bool Inside(const std::string& path, const std::string& root) {
  return root == "/" || path == root ||
         (path.size() > root.size() && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/');
}

// The volume whose root holds a host path; the innermost one where roots
// nest. A mount that is no drive takes what lies in it away from the
// drive around it.
const Volume* VolumeHolding(const std::string& path) {
  const Volume* best = nullptr;
  for (const auto& v : Volumes())
    if (Inside(path, v.root) && (!best || v.root.size() > best->root.size())) best = &v;
  for (const auto& hole : Table().holes)
    if (best && Inside(path, hole) && hole.size() > best->root.size()) return nullptr;
  return best;
}

std::optional<std::string> Fail(std::string* why, const std::string& reason) {
  if (why) *why = reason;
  return std::nullopt;
}

// The host form of a system path without "." or ".." names.
std::optional<std::string> HostOf(const std::string& systemPath, std::string* why) {
  if (systemPath.size() < 2 || systemPath[1] != ':') return Fail(why, "not a full path on a drive");
  const Volume* v = FindVolume(systemPath[0]);
  if (!v) return Fail(why, std::string("there is no drive ") + ToUpperChar(systemPath[0]) + ":");
  std::string host = v->root == "/" ? "" : v->root;
  std::size_t pos = 2;
  bool first = true;
  while (pos < systemPath.size()) {
    if (systemPath[pos] != '\\') return Fail(why, "not a full path on a drive");  // "C:relative"
    std::size_t next = systemPath.find('\\', pos + 1);
    if (next == std::string::npos) next = systemPath.size();
    std::string comp = systemPath.substr(pos + 1, next - pos - 1);
    pos = next;
    if (comp.empty()) {
      if (pos == systemPath.size()) break;  // trailing backslash
      return Fail(why, "an empty name in the path");
    }
    if (comp == "." || comp == "..") return Fail(why, "a \".\" or \"..\" name in the path");
    if (comp.find('/') != std::string::npos || comp.find('\0') != std::string::npos)
      return Fail(why, "a name holds a slash, which a POSIX name cannot carry");
    if (first && EqualsNoCase(comp, kStoreName)) comp = kStoreHostName;
    first = false;
    host += "/" + comp;
  }
  if (host.empty()) host = "/";
  // A path that lands in a volume nested in this one belongs to that
  // volume's letter alone.
  if (VolumeHolding(host) != v) return Fail(why, "it lies in another drive's volume");
  return host;
}

std::string Join(const std::string& folder, const std::string& name) { return (folder == "/" ? "" : folder) + "/" + name; }

// The folders resolved while a ResolveOnce lives: the real path, or the
// errno of the failure.
struct Resolved {
  std::string real;
  int error = 0;
};
thread_local std::map<std::string, Resolved>* resolvedOnce = nullptr;
thread_local ResolveOnce* innermostScope = nullptr;

// realpath, or its answer of earlier in the same ResolveOnce.
bool RealPath(const std::string& path, std::string* real) {
  if (resolvedOnce) {
    auto it = resolvedOnce->find(path);
    if (it != resolvedOnce->end()) {
      errno = it->second.error;
      *real = it->second.real;
      return it->second.error == 0;
    }
  }
  char buf[PATH_MAX];
  const bool ok = ::realpath(path.c_str(), buf) != nullptr;
  const int err = ok ? 0 : errno;
  *real = ok ? std::string(buf) : std::string();
  if (resolvedOnce) resolvedOnce->emplace(path, Resolved{*real, err});
  errno = err;
  return ok;
}

std::string ParentOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

}  // namespace

std::optional<std::string> ToHostPath(const std::string& systemPath) { return HostOf(systemPath, nullptr); }

std::optional<std::string> ToSystemPath(const std::string& hostPath, std::string* why) {
  if (hostPath.empty() || hostPath[0] != '/') return Fail(why, "not an absolute path");
  std::string path = hostPath;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const Volume* best = VolumeHolding(path);
  if (!best) return Fail(why, "it lies outside every volume (see 'vaporizer volumes'; set VAPORIZER_VOLUMES to add one)");
  std::string rest = best->root == "/" ? path : path.substr(best->root.size());
  std::string sys = std::string(1, best->letter) + ":";
  std::size_t pos = 0;
  bool first = true;
  while (pos < rest.size()) {
    std::size_t next = rest.find('/', pos + 1);
    if (next == std::string::npos) next = rest.size();
    std::string comp = rest.substr(pos + 1, next - pos - 1);
    pos = next;
    if (comp.empty()) continue;
    if (comp == "." || comp == "..") return Fail(why, "a \".\" or \"..\" name in the path");
    if (comp.find('\\') != std::string::npos)
      return Fail(why, "the name contains a backslash, which the Vaporizer's paths cannot carry");
    if (first && comp == kStoreHostName) {
      comp = kStoreName;
    } else if (first && EqualsNoCase(comp, kStoreName)) {
      return Fail(why, "a folder named " + comp + " at a volume's root would be taken for the store " +
                           "(VAPORIZE in any letter case); the Vaporizer leaves it alone");
    }
    first = false;
    sys += "\\" + comp;
  }
  if (sys.size() == 2) sys += "\\";
  return sys;
}

std::optional<std::string> ResolveHostPath(const std::string& hostPath, std::string* why) {
  if (hostPath.empty() || hostPath[0] != '/') return Fail(why, "not an absolute path");
  std::string path = hostPath;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path == "/") return path;
  std::size_t slash = path.find_last_of('/');
  std::string parent = slash == 0 ? "/" : path.substr(0, slash);
  std::string last = path.substr(slash + 1);
  char buf[PATH_MAX];
  if (last == "." || last == "..") {
    if (!::realpath(path.c_str(), buf)) return Fail(why, std::string("it cannot be resolved: ") + std::strerror(errno));
    return std::string(buf);
  }
  std::string real;
  if (!RealPath(parent, &real)) {
    // A folder that does not exist holds nothing to resolve, unless the way
    // to it climbs with "..", which only real folders can tell.
    bool dots = ("/" + parent + "/").find("/../") != std::string::npos ||
                ("/" + parent + "/").find("/./") != std::string::npos;
    if (errno != ENOENT || dots) return Fail(why, std::string("its folder cannot be resolved: ") + std::strerror(errno));
    real = parent;
  }
  return (real == "/" ? "" : real) + "/" + last;
}

ResolveOnce::ResolveOnce() : outer_(innermostScope) {
  innermostScope = this;
  if (!outer_) resolvedOnce = new std::map<std::string, Resolved>();
}

ResolveOnce::~ResolveOnce() {
  innermostScope = outer_;
  if (!outer_) {
    delete resolvedOnce;
    resolvedOnce = nullptr;
  }
}

std::optional<std::string> ResolveSystemPath(const std::string& systemPath, std::string* why) {
  if (systemPath.size() < 3 || systemPath[1] != ':' || systemPath[2] != '\\')
    return Fail(why, "not a full path on a drive");
  const Volume* v = FindVolume(systemPath[0]);
  if (!v) return Fail(why, std::string("there is no drive ") + ToUpperChar(systemPath[0]) + ":");
  std::vector<std::string> names;
  for (std::size_t start = 3; start < systemPath.size();) {
    std::size_t end = systemPath.find('\\', start);
    if (end == std::string::npos) end = systemPath.size();
    if (end > start) names.push_back(systemPath.substr(start, end - start));
    start = end + 1;
  }
  // Name by name from the drive's root, each folder through the real one,
  // so that ".." climbs from where a link really leads; a name at a
  // volume's root that the system reads as the store is the store.
  std::string at = v->root;
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string name = names[i];
    const bool last = i + 1 == names.size();
    if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos)
      return Fail(why, "a name holds a slash, which a POSIX name cannot carry");
    if (name == ".") continue;
    if (name == "..") {
      at = ParentOf(at);
      continue;
    }
    const Volume* holder = VolumeHolding(at);
    if (holder && holder->root == at && EqualsNoCase(name, kStoreName)) name = kStoreHostName;
    std::string next = Join(at, name);
    if (last) {
      at = next;
      break;
    }
    std::string real;
    if (RealPath(next, &real)) {
      at = real;
      continue;
    }
    // A folder that does not exist holds nothing to resolve, unless the way
    // on climbs with "..", which only real folders can tell.
    bool climbs = false;
    for (std::size_t k = i + 1; k < names.size(); ++k) climbs = climbs || names[k] == "..";
    if (errno != ENOENT || climbs) return Fail(why, std::string("its folder cannot be resolved: ") + std::strerror(errno));
    at = next;
  }
  auto sys = ToSystemPath(at, why);
  // The letter keeps the case it was written in, as stored names do.
  if (sys && ToUpperChar((*sys)[0]) == ToUpperChar(systemPath[0])) (*sys)[0] = systemPath[0];
  return sys;
}

}  // namespace vz::posix
