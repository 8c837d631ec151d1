// Symbolic and hard links made directly on the host, for the tests of what
// vaporizing does with links. Hosts that cannot make symbolic links (Wine
// reports success and makes none) are covered by the recording platform's
// fake links instead.
#pragma once

#include <string>

#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include "platform/posix/volumes.h"
#endif

namespace vz::test {

#ifdef _WIN32

inline bool MakeSymlink(const std::string& target, const std::string& link) {
  DWORD a = GetFileAttributesA(target.c_str());
  DWORD flags = (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
  if (!CreateSymbolicLinkA(link.c_str(), target.c_str(), flags)) return false;
  DWORD made = GetFileAttributesA(link.c_str());
  return made != INVALID_FILE_ATTRIBUTES && (made & FILE_ATTRIBUTE_REPARSE_POINT);
}

inline bool CanMakeSymlinks() {
  static const int can = [] {
    CreateDirectoryA("C:\\vz-link-probe", nullptr);
    bool ok = MakeSymlink("C:\\vz-link-probe", "C:\\vz-link-probe-link");
    RemoveDirectoryA("C:\\vz-link-probe-link");
    RemoveDirectoryA("C:\\vz-link-probe");
    return ok ? 1 : 0;
  }();
  return can != 0;
}

inline bool MakeHardLink(const std::string& existing, const std::string& link) {
  return CreateHardLinkA(link.c_str(), existing.c_str(), nullptr) != 0;
}

#else

inline bool CanMakeSymlinks() { return true; }

inline bool MakeSymlink(const std::string& target, const std::string& link) {
  auto t = posix::ToHostPath(target), l = posix::ToHostPath(link);
  return t && l && ::symlink(t->c_str(), l->c_str()) == 0;
}

inline bool MakeHardLink(const std::string& existing, const std::string& link) {
  auto e = posix::ToHostPath(existing), l = posix::ToHostPath(link);
  return e && l && ::link(e->c_str(), l->c_str()) == 0;
}

#endif

}  // namespace vz::test
