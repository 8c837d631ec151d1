#include "support/drives.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/drive_path.h"
#include "common/text.h"
#include "platform/platform.h"
#include "store/store.h"

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>

#include "platform/win32/wide.h"
#else
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/posix/volumes.h"
#endif

namespace vz::test {

#ifdef _WIN32

namespace {
void Wipe(const std::wstring& dir, bool keepMarker) {
  WIN32_FIND_DATAW fd{};
  HANDLE h = FindFirstFileW((dir + L"*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = fd.cFileName;
    if (name == L"." || name == L".." || (keepMarker && name == L"vz-test-drive")) continue;
    std::wstring full = dir + name;
    SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      Wipe(full + L"\\", false);
      RemoveDirectoryW(full.c_str());
    } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveDirectoryW(full.c_str());
    } else {
      DeleteFileW(full.c_str());
    }
  } while (FindNextFileW(h, &fd));
  FindClose(h);
}
}  // namespace

void DrivesTest::SetUp() {
  for (const char* d : {"D:\\", "E:\\"}) {
    std::string marker = std::string(d) + "vz-test-drive";
    ASSERT_NE(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES)
        << d << " is not a test drive: run the Windows tests through scripts/test";
    // The long form reaches names past 259 characters too.
    Wipe(L"\\\\?\\" + win32::Widen(d), true);
  }
  Wipe(L"C:\\VAPORIZE\\", false);
  SetFileAttributesA("C:\\VAPORIZE", FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA("C:\\VAPORIZE");
  ResetSettingsStore();
}

void DrivesTest::TearDown() {}

std::string DrivesTest::HostPath(const std::string& path) { return path; }

void ResetSettingsStore() { RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\Orvel"); }

std::string Win32Reading(const std::string& path) {
  std::wstring w = win32::Widen(path), full(32768, L'\0');
  DWORD n = GetFullPathNameW(w.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
  return n > 0 && n < full.size() ? win32::Narrow(full.substr(0, n)) : std::string();
}

void DrivesTest::MakeSparseFile(const std::string& path, std::int64_t size) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD ignored = 0;
  DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
  LARGE_INTEGER li;
  li.QuadPart = size;
  ASSERT_TRUE(SetFilePointerEx(h, li, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(h));
  CloseHandle(h);
}

#else

void DrivesTest::SetUp() {
  char tmpl[] = "/tmp/vz-test-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  tempRoot_ = tmpl;
  for (const char* d : {"c", "d", "e", "config", "data"}) ::mkdir((tempRoot_ + "/" + d).c_str(), 0777);
  posix::SetVolumes({{'C', tempRoot_ + "/c", DriveType::Fixed},
                     {'D', tempRoot_ + "/d", DriveType::Fixed},
                     {'E', tempRoot_ + "/e", DriveType::Removable}});
  ::setenv("XDG_CONFIG_HOME", (tempRoot_ + "/config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (tempRoot_ + "/data").c_str(), 1);
}

void DrivesTest::TearDown() {
  posix::ResetVolumes();
  std::error_code ec;
  // Tests make read-only files; give write access back before removing.
  for (auto it = std::filesystem::recursive_directory_iterator(tempRoot_, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink()) std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                                        std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(tempRoot_, ec);
}

std::string DrivesTest::HostPath(const std::string& path) { return posix::ToHostPath(path).value_or(""); }

void DrivesTest::MakeSparseFile(const std::string& path, std::int64_t size) {
  MakeFile(path, "");
  ASSERT_EQ(::truncate(HostPath(path).c_str(), static_cast<off_t>(size)), 0);
}

void ResetSettingsStore() {
  std::string file = std::string(std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "") +
                     "/vaporizer/registry.json";
  std::remove(file.c_str());
}

#endif

#ifdef _WIN32
// The file functions of the C++ library speak the ANSI code page; names
// here are UTF-8, and may be long.
void DrivesTest::MakeFile(const std::string& path, const std::string& content) {
  std::string folder = WithoutTrailingBackslash(FolderPart(path));
  if (!folder.empty() && !PathExists(folder)) MakeDir(folder);
  HANDLE h = CreateFileW(win32::SystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << "cannot create " << path;
  DWORD written = 0;
  bool ok = content.empty() || (WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                                written == content.size());
  CloseHandle(h);
  ASSERT_TRUE(ok) << "cannot write " << path;
}

std::string DrivesTest::Slurp(const std::string& path) {
  HANDLE h = CreateFileW(win32::SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  std::string text;
  if (h == INVALID_HANDLE_VALUE) return text;
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) text.append(buf, n);
  CloseHandle(h);
  return text;
}
#else
void DrivesTest::MakeFile(const std::string& path, const std::string& content) {
  std::string folder = WithoutTrailingBackslash(FolderPart(path));
  if (!folder.empty() && !PathExists(folder)) MakeDir(folder);
  std::ofstream out(HostPath(path), std::ios::binary | std::ios::trunc);
  ASSERT_TRUE(out.good()) << "cannot create " << path;
  out << content;
}

std::string DrivesTest::Slurp(const std::string& path) {
  std::ifstream in(HostPath(path), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
#endif

std::string DrivesTest::DS(const std::string& rel) { return StoreDirOf('D') + (rel.empty() ? "" : "\\" + rel); }
std::string DrivesTest::CS(const std::string& rel) { return StoreDirOf('C') + (rel.empty() ? "" : "\\" + rel); }

std::string Own(std::string text) {
  const std::string folder = kStoreSuffix;
  for (std::size_t at = 0; (at = ToUpper(text).find(folder + "\\", at)) != std::string::npos;) {
    at += folder.size() + 1;
    if (at < folder.size() + 2 || !IsDriveLetter(text[at - folder.size() - 2])) continue;
    const std::string account = Plat().AccountName() + "\\";
    if (!StartsWithNoCase(std::string_view(text).substr(at), account)) text.insert(at, account);
  }
  return text;
}

void DrivesTest::MakeDir(const std::string& path) {
  std::string p = WithoutTrailingBackslash(path);
  for (std::size_t pos = 3; pos <= p.size(); ++pos) {
    if (pos == p.size() || p[pos] == '\\') {
      std::string partial = p.substr(0, pos);
      if (PathExists(partial)) continue;
      if (EqualsNoCase(partial, SharedStoreDirOf(partial[0]))) Plat().MakeSharedFolder(partial);
      else if (EqualsNoCase(partial, StoreDirOf(partial[0]))) Plat().MakePrivateFolder(partial);
      else Plat().MakeDirectory(partial);
    }
  }
  ASSERT_TRUE(DirectoryExists(p)) << "cannot create " << path;
}

bool DrivesTest::PathExists(const std::string& path) { return Plat().GetAttributes(path).has_value(); }

std::map<std::string, std::string> DrivesTest::Snapshot(const std::vector<std::string>& folders) {
  std::map<std::string, std::string> files;
  std::vector<std::string> pending(folders);
  while (!pending.empty()) {
    std::string dir = WithoutTrailingBackslash(pending.back());
    pending.pop_back();
    std::vector<DirEntry> entries;
    Plat().ListDirectory(dir, entries);
    for (const auto& e : entries) {
      std::string path = dir + "\\" + e.name;
      if (e.attributes & kAttrReparsePoint) continue;
      if (e.attributes & kAttrDirectory)
        pending.push_back(path);
      else
        files[path] = Plat().ReadWholeFile(path).value_or("(unreadable)");
    }
  }
  return files;
}

}  // namespace vz::test
