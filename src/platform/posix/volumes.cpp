#include "platform/posix/volumes.h"

#include <cctype>
#include <climits>
#include <cstdlib>

#include "common/text.h"

namespace vz::posix {
namespace {

constexpr const char* kStoreName = "VAPORIZE";
constexpr const char* kStoreHostName = ".VAPORIZE";

std::optional<std::vector<Volume>> g_set;
std::vector<Volume> g_fromEnv;
std::string g_envError;
bool g_envRead = false;

std::string NormalizeRoot(std::string root) {
  char buf[PATH_MAX];
  if (::realpath(root.c_str(), buf)) root = buf;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

std::vector<Volume> DefaultVolumes() {
  const char* home = std::getenv("HOME");
  return {Volume{'C', NormalizeRoot(home && *home ? home : "/"), DriveType::Fixed}};
}

void ReadEnvironment() {
  if (g_envRead) return;
  g_envRead = true;
  const char* table = std::getenv("VAPORIZER_VOLUMES");
  if (!table || !*table) {
    g_fromEnv = DefaultVolumes();
    return;
  }
  auto parsed = ParseVolumes(table, &g_envError);
  // A malformed table maps nothing, so nothing can be touched by mistake.
  g_fromEnv = parsed ? *parsed : std::vector<Volume>{};
}

const Volume* FindVolume(char letter) {
  letter = ToUpperChar(letter);
  for (const auto& v : Volumes())
    if (v.letter == letter) return &v;
  return nullptr;
}

}  // namespace

std::string DriveTypeName(DriveType t) {
  switch (t) {
    case DriveType::Fixed: return "fixed";
    case DriveType::Removable: return "removable";
    case DriveType::Remote: return "network";
    case DriveType::CdRom: return "cdrom";
    case DriveType::RamDisk: return "ramdisk";
    case DriveType::NoRootDir: return "missing";
    default: return "unknown";
  }
}

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
  ReadEnvironment();
  return g_fromEnv;
}

void SetVolumes(std::vector<Volume> volumes) {
  for (auto& v : volumes) {
    v.letter = ToUpperChar(v.letter);
    v.root = NormalizeRoot(v.root);
  }
  g_set = std::move(volumes);
}

void ResetVolumes() {
  g_set.reset();
  g_envRead = false;
  g_envError.clear();
}

std::string VolumeTableError() {
  ReadEnvironment();
  return g_envError;
}

std::optional<std::string> ToHostPath(const std::string& systemPath) {
  if (systemPath.size() < 2 || systemPath[1] != ':') return std::nullopt;
  const Volume* v = FindVolume(systemPath[0]);
  if (!v) return std::nullopt;
  std::string host = v->root == "/" ? "" : v->root;
  std::size_t pos = 2;
  bool first = true;
  while (pos < systemPath.size()) {
    if (systemPath[pos] != '\\') return std::nullopt;  // "C:relative" is not a full path
    std::size_t next = systemPath.find('\\', pos + 1);
    if (next == std::string::npos) next = systemPath.size();
    std::string comp = systemPath.substr(pos + 1, next - pos - 1);
    pos = next;
    if (comp.empty()) {
      if (pos == systemPath.size()) break;  // trailing backslash
      return std::nullopt;
    }
    if (comp == "." || comp == ".." || comp.find('/') != std::string::npos || comp.find('\0') != std::string::npos)
      return std::nullopt;
    if (first && EqualsNoCase(comp, kStoreName)) comp = kStoreHostName;
    first = false;
    host += "/" + comp;
  }
  return host.empty() ? std::string("/") : host;
}

std::optional<std::string> ToSystemPath(const std::string& hostPath) {
  if (hostPath.empty() || hostPath[0] != '/') return std::nullopt;
  std::string path = hostPath;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const Volume* best = nullptr;
  for (const auto& v : Volumes()) {
    bool inside = v.root == "/" || path == v.root ||
                  (path.size() > v.root.size() && path.compare(0, v.root.size(), v.root) == 0 &&
                   path[v.root.size()] == '/');
    if (inside && (!best || v.root.size() > best->root.size())) best = &v;
  }
  if (!best) return std::nullopt;
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
    if (comp == "." || comp == ".." || comp.find('\\') != std::string::npos) return std::nullopt;
    if (first && comp == kStoreHostName) comp = kStoreName;
    first = false;
    sys += "\\" + comp;
  }
  if (sys.size() == 2) sys += "\\";
  return sys;
}

}  // namespace vz::posix
