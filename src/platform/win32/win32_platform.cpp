// The platform layer on Windows: the wide file functions (long paths in
// their \\?\ form) for what paths show, handles held from the drive's
// root for everything that changes (handles_win32.cpp), and the registry
// of the current user. Text crosses here between the core's UTF-8 and
// UTF-16 (platform/win32/wide.h).
#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "common/drive_path.h"
#include "common/text.h"
#include "platform/platform.h"
#include "platform/win32/holders_win32.h"
#include "platform/win32/kernel_calls.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"

namespace vz {
namespace win32 {
namespace {
UpdateIconHook g_updateIcon = nullptr;
}  // namespace
void SetUpdateIconHook(UpdateIconHook hook) { g_updateIcon = hook; }
}  // namespace win32

namespace {

CivilTime FromFileTime(const FILETIME& ft) {
  SYSTEMTIME st{};
  if (!FileTimeToSystemTime(&ft, &st)) return {};
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

bool ToFileTime(const CivilTime& c, FILETIME* ft) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(c.year);
  st.wMonth = static_cast<WORD>(c.month);
  st.wDay = static_cast<WORD>(c.day);
  st.wHour = static_cast<WORD>(c.hour);
  st.wMinute = static_cast<WORD>(c.minute);
  st.wSecond = static_cast<WORD>(c.second);
  return SystemTimeToFileTime(&st, ft) != 0;
}

using win32::Narrow;
using win32::SystemPath;
using win32::Widen;

DirEntry EntryFrom(const WIN32_FIND_DATAW& fd) {
  DirEntry e;
  e.name = Narrow(fd.cFileName);
  e.attributes = fd.dwFileAttributes;
  e.size = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
               ? 0
               : static_cast<std::int64_t>((static_cast<std::uint64_t>(fd.nFileSizeHigh) << 32) |
                                           fd.nFileSizeLow);
  e.created = FromFileTime(fd.ftCreationTime);
  e.accessed = FromFileTime(fd.ftLastAccessTime);
  e.written = FromFileTime(fd.ftLastWriteTime);
  return e;
}

DWORD AttributesOf(const std::string& path) { return GetFileAttributesW(SystemPath(path).c_str()); }

// A named mutex stands for a store: a folder cannot be locked by range on
// Windows, and a lock on a file of the store would not survive the index
// being replaced. The name comes from the store folder's volume serial and
// file index, so every drive letter, session and bitness that reaches the
// same folder takes the same lock. The system abandons the mutex when its
// holder dies, which hands it to the next waiter.
class Win32StoreLock : public StoreLock {
 public:
  explicit Win32StoreLock(HANDLE h) : h_(h) {}
  ~Win32StoreLock() override {
    ReleaseMutex(h_);
    CloseHandle(h_);
  }

 private:
  HANDLE h_;
};

std::wstring StoreMutexName(const std::string& storeDir) {
  HANDLE dir = CreateFileW(Widen(storeDir).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (dir == INVALID_HANDLE_VALUE) return {};
  BY_HANDLE_FILE_INFORMATION info{};
  BOOL ok = GetFileInformationByHandle(dir, &info);
  CloseHandle(dir);
  if (!ok || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return {};
  wchar_t name[96];
  std::swprintf(name, std::size(name), L"Vaporizer.Store.%08lX.%08lX%08lX", static_cast<unsigned long>(info.dwVolumeSerialNumber),
                static_cast<unsigned long>(info.nFileIndexHigh), static_cast<unsigned long>(info.nFileIndexLow));
  return name;
}

// Every user who shares the drive shares its store, so any user may wait
// for and release the lock (and nothing more).
HANDLE OpenStoreMutex(const std::wstring& name) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, FALSE};
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100001;;;WD)(A;;GA;;;SY)(A;;GA;;;BA)",
                                                           SDDL_REVISION_1, &sd, nullptr))
    sa.lpSecurityDescriptor = sd;
  HANDLE h = nullptr;
  for (const wchar_t* ns : {L"Global\\", L"Local\\"}) {
    std::wstring full = ns + name;
    h = CreateMutexW(&sa, FALSE, full.c_str());
    if (!h && GetLastError() == ERROR_ACCESS_DENIED) h = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, full.c_str());
    if (h) break;
  }
  if (sd) LocalFree(sd);
  return h;
}

std::wstring KeyPath(const std::string& key) { return Widen(WithoutTrailingBackslash(key)); }

// The longest path the wide functions take: 32767 characters with the
// \\?\ before it and the NUL after it.
constexpr std::size_t kSystemPathLimit = kMaxLongPath - 4 - 1;

class Win32Platform : public Platform {
 public:
  std::uint32_t LogicalDriveMask() override { return GetLogicalDrives(); }

  DriveType DriveTypeOf(char letter) override {
    wchar_t root[] = {static_cast<wchar_t>(static_cast<unsigned char>(letter)), L':', L'\\', L'\0'};
    return static_cast<DriveType>(GetDriveTypeW(root));
  }

  std::optional<std::string> ToCodePage(const std::string& text) override {
    if (!win32::ExactlyWide(text)) return std::nullopt;
    // Under a UTF-8 code page (a system option) every character has a form,
    // but an unmarked line would read as another code page once the option
    // is turned off: only ASCII reads the same in all of them.
    if (win32::AnsiCodePage() == CP_UTF8) {
      for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
      return text;
    }
    return win32::NarrowAnsiExactly(Widen(text));
  }
  std::string FromCodePage(const std::string& bytes) override { return Narrow(win32::WidenAnsi(bytes)); }

  std::optional<std::string> ResolvePath(const std::string& path, PathOrigin origin, std::string* why) override {
    auto fail = [why](const std::string& reason) -> std::optional<std::string> {
      if (why) *why = reason;
      return std::nullopt;
    };
    // Anything but "X:\" at the very start (a leading blank, "X:name",
    // "\name") is resolved against some current folder.
    if (path.size() < 3 || !IsDriveLetter(path[0]) || path[1] != ':' || (path[2] != '\\' && path[2] != '/'))
      return fail("not a full path on a drive (a path that does not start with a drive letter, a colon and a "
                  "backslash, a leading blank included, is relative)");
    for (std::size_t i = 0; i < path.size(); ++i) {
      char c = path[i];
      if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>\"|?*", c) || (c == ':' && i != 1))
        return fail("the path holds a character that Windows does not allow in a name");
    }
    // Bytes that are no text would name whatever U+FFFD names.
    if (!win32::ExactlyWide(path)) return fail("the path holds bytes that are not UTF-8 text");
    std::wstring full = Widen(path);
    if (full.size() > kSystemPathLimit) return fail("the path is longer than Windows allows (32762 characters)");
    if (origin == PathOrigin::Typed || !IsPlainFullPath(path) || path.find('/') != std::string::npos) {
      // Read as Win32 reads it, which must be what was written: a path
      // whose reading differs would reach another item.
      DWORD n = GetFullPathNameW(full.c_str(), 0, nullptr, nullptr);
      std::wstring read(n, L'\0');
      if (n > 0) n = GetFullPathNameW(full.c_str(), n, &read[0], nullptr);
      if (n == 0 || n >= read.size()) return fail("Windows cannot resolve the path");
      read.resize(n);
      if (read.size() > 3 && read.back() == L'\\') read.pop_back();
      std::string written = AsWritten(path);
      std::string reading = Narrow(read);
      if (!HasDrivePrefix(reading) || ToUpperChar(reading[0]) != ToUpperChar(written[0]) ||
          reading.compare(1, std::string::npos, written, 1, std::string::npos) != 0)
        return fail("Windows reads \"" + path + "\" as \"" + reading +
                    "\", another name (Win32 drops dots and blanks at a name's end and takes device names such as "
                    "AUX or CON.txt for devices)");
      full = Widen(written);
    }
    // Short names (PROGRA~1) name the same items as their long ones; asked
    // in the long form, which keeps every name as it is.
    std::wstring asked = L"\\\\?\\" + full;
    DWORD l = GetLongPathNameW(asked.c_str(), nullptr, 0);
    if (l > 0) {
      std::wstring longer(l, L'\0');
      l = GetLongPathNameW(asked.c_str(), &longer[0], l);
      if (l > 0 && l < longer.size() && longer.compare(0, 4, L"\\\\?\\") == 0) full = longer.substr(4, l - 4);
    }
    std::string resolved = Narrow(full);
    if (!HasDrivePrefix(resolved) || ToUpperChar(resolved[0]) != ToUpperChar(path[0]))
      return fail("Windows resolves the path to another drive");
    if (full.size() > kSystemPathLimit) return fail("the path is longer than Windows allows (32762 characters)");
    resolved[0] = path[0];  // the letter keeps the case it was written in, as stored names do
    if (resolved.size() > 3 && resolved.back() == '\\') resolved.pop_back();
    return resolved;
  }

  std::optional<std::uint32_t> GetAttributes(const std::string& path) override {
    DWORD a = AttributesOf(path);
    if (a == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return a;
  }

  bool SetWriteTime(const std::string& path, const CivilTime& written) override {
    FILETIME w{};
    if (!ToFileTime(written, &w)) return false;
    // Attribute access alone: granted on read-only files and on folders,
    // which a handle for writing is not.
    HANDLE h = CreateFileW(SystemPath(WithoutTrailingBackslash(path)).c_str(), FILE_WRITE_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    bool ok = GetFileInformationByHandle(h, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
              SetFileTime(h, nullptr, nullptr, &w);
    CloseHandle(h);
    return ok;
  }

  std::optional<DirEntry> FindEntry(const std::string& path) override {
    WIN32_FIND_DATAW fd{};
    HANDLE h = FindFirstFileW(SystemPath(WithoutTrailingBackslash(path)).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    FindClose(h);
    return EntryFrom(fd);
  }

  bool ListDirectory(const std::string& dir, std::vector<DirEntry>& out) override {
    WIN32_FIND_DATAW fd{};
    HANDLE h = FindFirstFileW(SystemPath(WithTrailingBackslash(dir) + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    do {
      std::wstring name = fd.cFileName;
      if (name != L"." && name != L"..") out.push_back(EntryFrom(fd));
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return true;
  }

  std::optional<NodeInfo> StatPath(const std::string& path) override {
    std::string p = WithoutTrailingBackslash(path);
    if (IsDriveRoot(path)) p = path;
    HANDLE h = CreateFileW(SystemPath(p).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<NodeInfo> n = win32::InfoOf(h);
    CloseHandle(h);
    return n;
  }

  std::unique_ptr<Folder> OpenFolder(const std::string& path, std::string* why) override {
    return win32::OpenFolderByHandles(path, why);
  }

  std::uint32_t LinkCount(const std::string& path) override {
    HANDLE h = CreateFileW(SystemPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION info{};
    BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    return ok ? info.nNumberOfLinks : 0;
  }

  std::string HoldersOf(const std::string& path) override { return win32::ProgramsHolding(path); }
  std::string TrimVolume(const std::string& path, const std::vector<ByteRange>&) override {
    return win32::RetrimVolume(path);
  }
  // FlushFileBuffers waits for its one file: many of them wait together
  // from a few threads.
  std::vector<bool> FlushFiles(const std::vector<File*>& files) override {
    std::vector<HANDLE> handles;
    for (File* f : files) {
      HANDLE h = static_cast<HANDLE>(win32::HandleOfFile(f));
      if (!h) return Platform::FlushFiles(files);
      handles.push_back(h);
    }
    return FlushTogether(handles.size(), [&](std::size_t i) { return FlushFileBuffers(handles[i]) != 0; });
  }

  // Opens without FILE_FLAG_POSIX_SEMANTICS find a name in any letter case
  // on every volume, NTFS included, whatever FILE_CASE_SENSITIVE_SEARCH in
  // its flags says the file system could do. Only a folder marked
  // case-sensitive (FILE_CS_FLAG_CASE_SENSITIVE_DIR, Windows 10 1803 and
  // later) matches names exactly; where the question is not understood
  // (older systems, Wine) no folder can be so marked.
  bool IgnoresCase(const std::string& dir) override {
    std::string d = WithTrailingBackslash(dir);
    for (DWORD a; (a = AttributesOf(d)) == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY);) {
      d = FolderPart(WithoutTrailingBackslash(d));
      if (d.empty()) return true;
    }
    HANDLE h = CreateFileW(SystemPath(d).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return true;
    struct {
      ULONG Flags;
    } info{};
    constexpr auto kFileCaseSensitiveInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(23);
    constexpr ULONG kCaseSensitiveDir = 0x1;
    bool exact = GetFileInformationByHandleEx(h, kFileCaseSensitiveInfo, &info, sizeof info) &&
                 (info.Flags & kCaseSensitiveDir);
    CloseHandle(h);
    return !exact;
  }

  std::unique_ptr<StoreLock> LockStore(const std::string& storeDir, int waitMs, bool* busy) override {
    if (busy) *busy = false;
    std::wstring name = StoreMutexName(storeDir);
    if (name.empty()) return nullptr;
    HANDLE h = OpenStoreMutex(name);
    if (!h) return nullptr;
    DWORD r = WaitForSingleObject(h, waitMs < 0 ? 0 : static_cast<DWORD>(waitMs));
    if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) return std::make_unique<Win32StoreLock>(h);
    if (busy) *busy = r == WAIT_TIMEOUT;
    CloseHandle(h);
    return nullptr;
  }

  CivilTime LocalNow() override {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
  }

  CivilTime ToLocal(const CivilTime& raw) override {
    FILETIME ft{}, local{};
    if (!ToFileTime(raw, &ft) || !FileTimeToLocalFileTime(&ft, &local)) return raw;
    return FromFileTime(local);
  }

  std::optional<std::string> FormatDateTime(const CivilTime& t, DateStyle style) override {
    FILETIME ft{};
    SYSTEMTIME st{};
    // The round trip fills in the day of the week and refuses impossible dates.
    if (!ToFileTime(t, &ft) || !FileTimeToSystemTime(&ft, &st)) return std::nullopt;
    auto call = [&](wchar_t* buf, int size) {
      switch (style) {
        case DateStyle::LongDate: return GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &st, nullptr, buf, size);
        case DateStyle::ShortDate: return GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buf, size);
        case DateStyle::LongTime: return GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, buf, size);
        case DateStyle::ShortTime:
          return GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, buf, size);
      }
      return 0;
    };
    int size = call(nullptr, 0);
    if (size <= 0) return std::nullopt;
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    int n = call(&text[0], size);
    if (n <= 0) return std::nullopt;
    text.resize(static_cast<std::size_t>(n - 1));
    return Narrow(text);
  }

  bool KvOpenKey(const std::string& key, bool create) override {
    HKEY h = nullptr;
    LONG r = create ? RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(key).c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                      nullptr, &h, nullptr)
                    : RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(key).c_str(), 0, KEY_READ, &h);
    if (r != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
  }

  KvValue KvRead(const std::string& key, const std::string& name) override {
    KvValue v = KvReadIn(HKEY_CURRENT_USER, 0, key, name);
    // What the user has not set: the machine's default, which the installer
    // writes (its choices for every user) in the 64-bit view.
    if (v.type == KvType::Missing) v = KvReadIn(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, key, name);
    return v;
  }

  KvValue KvReadIn(HKEY root, REGSAM view, const std::string& key, const std::string& name) {
    KvValue v;
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, KeyPath(key).c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS) return v;
    const std::wstring wname = Widen(name);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(h, wname.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      std::vector<BYTE> data(size + sizeof(wchar_t));
      if (RegQueryValueExW(h, wname.c_str(), nullptr, &type, data.data(), &size) == ERROR_SUCCESS) {
        if (type == REG_DWORD && size == 4) {
          v.type = KvType::Dword;
          std::memcpy(&v.dword, data.data(), 4);
        } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
          v.type = KvType::String;
          std::wstring text(size / sizeof(wchar_t), L'\0');
          std::memcpy(&text[0], data.data(), text.size() * sizeof(wchar_t));
          while (!text.empty() && text.back() == L'\0') text.pop_back();
          v.text = Narrow(text);
        } else {
          v.type = KvType::Other;
        }
      }
    }
    RegCloseKey(h);
    return v;
  }

  bool KvWriteDword(const std::string& key, const std::string& name, std::uint32_t value) override {
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
      return false;
    DWORD d = value;
    LONG r = RegSetValueExW(h, Widen(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&d), sizeof d);
    RegCloseKey(h);
    return r == ERROR_SUCCESS;
  }

  bool KvWriteString(const std::string& key, const std::string& name, const std::string& value) override {
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
      return false;
    std::wstring w = Widen(value);
    LONG r = RegSetValueExW(h, Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                            static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return r == ERROR_SUCCESS;
  }

  void UpdateIcon() override {
    if (win32::g_updateIcon) win32::g_updateIcon();
  }
};

}  // namespace

Platform& NativePlatform() {
  static Win32Platform p;
  return p;
}

}  // namespace vz
