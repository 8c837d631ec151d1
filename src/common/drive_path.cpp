#include "common/drive_path.h"

namespace vz {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool HasDrivePrefix(std::string_view path) {
  return path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && path[2] == '\\';
}

bool IsDriveRoot(std::string_view path) {
  return (path.size() == 2 || (path.size() == 3 && path[2] == '\\')) && IsDriveLetter(path[0]) && path[1] == ':';
}

std::vector<std::string_view> PathNames(std::string_view path) {
  std::vector<std::string_view> names;
  if (!HasDrivePrefix(path)) return names;
  std::size_t start = 3;
  while (start < path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    names.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

bool IsPlainFullPath(std::string_view path) {
  if (path.size() > 3 && path.back() == '\\') path.remove_suffix(1);
  std::vector<std::string_view> names = PathNames(path);
  if (names.empty()) return false;
  for (std::string_view n : names)
    if (n.empty() || n == "." || n == "..") return false;
  return true;
}

std::string AsWritten(std::string_view path) {
  std::vector<std::string_view> names;
  std::size_t start = 3;
  for (std::size_t i = 3; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '\\' && path[i] != '/') continue;
    std::string_view name = path.substr(start, i - start);
    start = i + 1;
    if (name == "..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != ".") {
      names.push_back(name);
    }
  }
  std::string out(path.substr(0, 2));
  out += '\\';
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i) out += '\\';
    out += names[i];
  }
  return out;
}

bool IsControlChar(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

}  // namespace vz
