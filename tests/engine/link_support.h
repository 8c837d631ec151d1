// Symbolic and hard links made directly on the host, for the tests of what
// vaporizing does with links. Hosts that cannot make symbolic links (Wine
// reports success and makes none) are covered by the recording platform's
// fake links instead.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdio.h>
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

// Under Wine the links that Windows makes are not made, but a host's
// symbolic link behind a drive letter is seen: it is made by the host's own
// ln, run as a host program. Wine hands out no end of such a program, so
// the link is waited for. False elsewhere.
// Runs a host program under Wine (args: host paths).
inline bool RunOnHost(const std::wstring& program, const std::vector<std::string>& args) {
  std::wstring cmd = L"\\\\?\\unix" + program;
  for (const auto& a : args) cmd += L" \"" + std::wstring(a.begin(), a.end()) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  // Wine starts a host program without a process or thread object and
  // leaves in `pi` whatever values its stack held: closing them would close
  // handles of this process (the folder of named objects among them, after
  // which no named mutex can be made). Nothing in `pi` is ours to close.
  return CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != 0;
}

// The host's path of a path under Wine; empty elsewhere.
inline std::string HostPathOf(const std::string& p) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName) return {};
  std::wstring w(p.begin(), p.end());
  char* u = unixName(w.c_str());
  std::string s = u ? u : "";
  if (u) HeapFree(GetProcessHeap(), 0, u);
  return s;
}

inline bool MakeHostSymlink(const std::string& target, const std::string& link) {
  std::string t = HostPathOf(target), l = HostPathOf(link);
  if (t.empty() || l.empty() || !RunOnHost(L"\\bin\\ln", {"-s", t, l})) return false;
  for (int i = 0; i < 400; ++i, Sleep(5))
    if (GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  return false;
}

// Removes every link beneath a folder as itself. Under Wine every way of
// Windows to delete a host's link deletes what it points at instead: the
// host's own find removes them.
inline bool RemoveLinksBeneath(const std::string& folder) {
  std::string f = HostPathOf(folder), done = folder + "\\links-removed";
  if (f.empty()) return false;
  DeleteFileA(done.c_str());
  if (!RunOnHost(L"\\bin\\sh", {"-c", "find \"$0\" -type l -delete; : >\"$0/links-removed\"", f})) return false;
  for (int i = 0; i < 400; ++i, Sleep(5))
    if (GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES) return DeleteFileA(done.c_str()) != 0;
  return false;
}

// Puts a link to `target` where `path` is, the thing itself moved aside to
// `path` + "~away": a Windows symbolic link where the system makes one, a
// host's link under Wine.
// Whether this runs under Wine, where each host link costs a host program.
inline bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

// Moves `other` in where `path` is, the thing itself moved aside to
// `path` + "~away"; PutBack returns it to where it came from.
inline bool SwapByRename(const std::string& path, const std::string& other) {
  return MoveFileA(path.c_str(), (path + "~away").c_str()) && MoveFileA(other.c_str(), path.c_str());
}
inline bool PutBack(const std::string& path, const std::string& other) {
  return MoveFileA(path.c_str(), other.c_str()) != 0;
}

inline bool SwapForLink(const std::string& path, const std::string& target) {
  if (!MoveFileA(path.c_str(), (path + "~away").c_str())) return false;
  return MakeSymlink(target, path) || MakeHostSymlink(target, path);
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

inline bool SwapForLink(const std::string& path, const std::string& target) {
  auto p = posix::ToHostPath(path);
  return p && ::rename(p->c_str(), (*p + "~away").c_str()) == 0 && MakeSymlink(target, path);
}

inline bool SwapByRename(const std::string& path, const std::string& other) {
  auto p = posix::ToHostPath(path), o = posix::ToHostPath(other);
  return p && o && ::rename(p->c_str(), (*p + "~away").c_str()) == 0 && ::rename(o->c_str(), p->c_str()) == 0;
}
inline bool PutBack(const std::string& path, const std::string& other) {
  auto p = posix::ToHostPath(path), o = posix::ToHostPath(other);
  return p && o && ::rename(p->c_str(), o->c_str()) == 0;
}

inline bool UnderWine() { return false; }

inline bool RemoveLinksBeneath(const std::string&) { return true; }  // the fixture's own removal never follows one

#endif

// Under Wine every call is a round trip to its server, and the 64- and
// 32-bit builds run the same portable sweeps over the same code: each build
// takes its own `ways`-th of the points (by its pointer size), so the two
// together still meet every point. Natively every point is ours.
inline int ShareUnderWine() { return UnderWine() ? 2 : 1; }
inline int FirstOfOurShare() { return UnderWine() && sizeof(void*) == 4 ? 2 : 1; }
inline bool OursUnderWine(int n) { return !UnderWine() || (n - FirstOfOurShare()) % ShareUnderWine() == 0; }

}  // namespace vz::test
