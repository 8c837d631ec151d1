#include "platform/posix/kvstore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "common/text.h"

namespace vz::posix {

std::string ConfigDir() { return UserDir("XDG_CONFIG_HOME", "/.config"); }

std::string UserDir(const char* variable, const char* underHome) {
  const char* xdg = std::getenv(variable);
  if (xdg && *xdg == '/') return std::string(xdg) + "/vaporizer";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + underHome + "/vaporizer";
}

bool MakeDirs(const std::string& dir) {
  std::string partial;
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = dir.find('/', pos + 1);
    partial = dir.substr(0, pos);
    if (partial.empty()) continue;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

namespace {

using nlohmann::json;

// Keys are matched like registry keys: letter case and a trailing
// backslash do not matter.
std::string KeyId(const std::string& key) { return ToUpper(WithoutTrailingBackslash(key)); }

json Load(bool* corrupt) {
  if (corrupt) *corrupt = false;
  std::ifstream in(KvFilePath(), std::ios::binary);
  if (!in) return json::object();
  std::stringstream ss;
  ss << in.rdbuf();
  json j = json::parse(ss.str(), nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    if (corrupt) *corrupt = true;
    return json::object();
  }
  return j;
}

bool Save(const json& j, bool corrupt) {
  std::string dir = ConfigDir();
  if (!MakeDirs(dir)) return false;
  std::string path = KvFilePath();
  // A file we could not read is kept aside rather than overwritten.
  if (corrupt) std::rename(path.c_str(), (path + ".unreadable").c_str());
  std::string tmp = path + ".XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) return false;
  std::string text = j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) ok = false; else done += static_cast<std::size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ::close(fd);
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

json* FindKey(json& root, const std::string& key) {
  std::string id = KeyId(key);
  for (auto it = root.begin(); it != root.end(); ++it)
    if (KeyId(it.key()) == id && it->is_object()) return &*it;
  return nullptr;
}

KvValue ValueOf(json& root, const std::string& key, const std::string& name) {
  KvValue v;
  json* k = FindKey(root, key);
  if (!k) return v;
  for (auto it = k->begin(); it != k->end(); ++it) {
    if (!EqualsNoCase(it.key(), name)) continue;
    const json& e = *it;
    if (!e.is_object() || !e.contains("type") || !e.contains("data") || !e["type"].is_string()) {
      v.type = KvType::Other;
      return v;
    }
    std::string type = e["type"].get<std::string>();
    if (type == "REG_DWORD" && e["data"].is_number_integer()) {
      auto n = e["data"].get<std::int64_t>();
      if (n < 0 || n > 0xFFFFFFFFLL) { v.type = KvType::Other; return v; }
      v.type = KvType::Dword;
      v.dword = static_cast<std::uint32_t>(n);
    } else if (type == "REG_SZ" && e["data"].is_string()) {
      v.type = KvType::String;
      v.text = e["data"].get<std::string>();
    } else {
      v.type = KvType::Other;
    }
    return v;
  }
  return v;
}

bool Write(const std::string& key, const std::string& name, json entry) {
  bool corrupt = false;
  json root = Load(&corrupt);
  json* k = FindKey(root, key);
  if (!k) {
    root[WithoutTrailingBackslash(key)] = json::object();
    k = FindKey(root, key);
  }
  std::string existing = name;
  for (auto it = k->begin(); it != k->end(); ++it)
    if (EqualsNoCase(it.key(), name)) existing = it.key();
  (*k)[existing] = std::move(entry);
  return Save(root, corrupt);
}

}  // namespace

std::string KvFilePath() { return ConfigDir() + "/registry.json"; }

bool KvOpenKey(const std::string& key, bool create) {
  bool corrupt = false;
  json root = Load(&corrupt);
  if (FindKey(root, key)) return true;
  if (!create) return false;
  root[WithoutTrailingBackslash(key)] = json::object();
  return Save(root, corrupt);
}

KvValue KvRead(const std::string& key, const std::string& name) {
  json root = Load(nullptr);
  return ValueOf(root, key, name);
}

KvValue KvReadFromText(const std::string& text, const std::string& key, const std::string& name) {
  json root = json::parse(text, nullptr, false);
  if (root.is_discarded() || !root.is_object()) return {};
  return ValueOf(root, key, name);
}

bool KvWriteDword(const std::string& key, const std::string& name, std::uint32_t value) {
  return Write(key, name, json{{"type", "REG_DWORD"}, {"data", value}});
}

bool KvWriteString(const std::string& key, const std::string& name, const std::string& value) {
  return Write(key, name, json{{"type", "REG_SZ"}, {"data", value}});
}

}  // namespace vz::posix
