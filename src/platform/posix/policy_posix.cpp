// Machine policy on POSIX: /etc/vaporizer/policy.json, taken only where
// nobody but root could have put it there or changed it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>

#include "platform/platform.h"

namespace vz {
namespace {

constexpr const char* kPolicyFile = "/etc/vaporizer/policy.json";
constexpr std::size_t kPolicyLimit = 1 << 20;

std::string Mode(mode_t m) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04o", static_cast<unsigned>(m & 07777));
  return buf;
}

// Why a folder or the file could be changed by another account than root;
// empty when it could not.
std::string Unsafe(const struct stat& st, const std::string& what, bool folder) {
  if (st.st_uid != 0) return what + " belongs to user " + std::to_string(st.st_uid) + ", not to root";
  const bool othersWrite = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  // In a sticky folder of root's only root may rename or remove root's files.
  if (othersWrite && !(folder && (st.st_mode & S_ISVTX)))
    return "others may write to " + what + " (mode " + Mode(st.st_mode) + ")";
  return {};
}

// Every folder above the file, from its own up to the root.
std::string UnsafeFolders(const std::string& file) {
  std::string dir = file.substr(0, file.rfind('/'));
  for (;;) {
    const std::string d = dir.empty() ? "/" : dir;
    struct stat st {};
    if (::stat(d.c_str(), &st) != 0) return "the folder " + d + " cannot be read (" + std::strerror(errno) + ")";
    std::string why = Unsafe(st, "the folder " + d, true);
    if (!why.empty() || dir.empty()) return why;
    dir = dir.substr(0, dir.rfind('/'));
  }
}

void ReadOne(const std::string& file, PolicyRead& out) {
  auto ignored = [&](const std::string& why) { out.warnings.push_back("the policy " + file + " is ignored: " + why); };
  if (file.empty() || file[0] != '/') return ignored("it is not a full path");
  int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) ignored(errno == ELOOP ? "it is a link" : std::string("it cannot be read (") + std::strerror(errno) + ")");
    return;
  }
  struct stat st {};
  std::string text, why;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) why = "it is not a plain file";
  if (why.empty()) why = Unsafe(st, "it", false);
  if (why.empty()) why = UnsafeFolders(file);
  if (why.empty() && st.st_size > static_cast<off_t>(kPolicyLimit)) why = "it is larger than 1 MB";
  char buf[65536];
  for (ssize_t n; why.empty() && (n = ::read(fd, buf, sizeof buf)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || text.size() + static_cast<std::size_t>(n) > kPolicyLimit) why = "it cannot be read";
    else text.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (!why.empty()) return ignored(why);
  nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
  if (!j.is_object()) return ignored("it is not a JSON object");
  PolicySource source{file, {}};
  for (const auto& [name, value] : j.items()) {
    KvValue v;
    if (value.is_boolean()) {
      v.type = KvType::Dword;
      v.dword = value.get<bool>() ? 1 : 0;
    } else if (value.is_number_unsigned() && value.get<std::uint64_t>() <= 0xFFFFFFFFu) {
      v.type = KvType::Dword;
      v.dword = static_cast<std::uint32_t>(value.get<std::uint64_t>());
    } else if (value.is_string()) {
      v.type = KvType::String;
      v.text = value.get<std::string>();
    } else {
      v.type = KvType::Other;
    }
    source.values.emplace_back(name, v);
  }
  out.sources.push_back(std::move(source));
}

}  // namespace

PolicyRead Platform::ReadPolicy() {
  PolicyRead out;
  ReadOne(kPolicyFile, out);
  if (const char* extra = std::getenv("VAPORIZER_TEST_POLICY"); extra && *extra) ReadOne(extra, out);
  return out;
}

}  // namespace vz
