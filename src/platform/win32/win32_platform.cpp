// The platform layer on Windows: the wide file functions, with the \\?\
// form for long paths, the shell's file operation for deletes, and the
// registry of the current user. Text crosses here between the core's UTF-8
// and UTF-16 (platform/win32/wide.h).
#include <windows.h>
#include <sddl.h>
#include <shellapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "common/drive_path.h"
#include "common/text.h"
#include "platform/platform.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"

namespace vz {
namespace win32 {
namespace {
bool g_errorUi = false;
UpdateIconHook g_updateIcon = nullptr;
}  // namespace
void SetShellErrorUi(bool on) { g_errorUi = on; }
bool ShellErrorUi() { return g_errorUi; }
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

// The shell's file operation wants a list ended by two NULs, and takes no
// path past 259 characters.
bool ShellDelete(const std::string& path) {
  std::wstring src = Widen(path) + std::wstring(2, L'\0');
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = src.c_str();
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
  if (!win32::ShellErrorUi()) op.fFlags |= FOF_NOERRORUI;
  return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
}

// A tree deleted name by name, for paths the shell does not take. Links
// are removed, never followed.
bool DeleteTree(const std::string& path) {
  DWORD a = AttributesOf(path);
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  std::wstring w = SystemPath(path);
  if (a & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(w.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
  if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(w.c_str()) != 0;
  if (!(a & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW fd{};
    HANDLE h = FindFirstFileW(SystemPath(path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") DeleteTree(path + "\\" + Narrow(name));
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
  }
  return RemoveDirectoryW(w.c_str()) != 0;
}

void MakeParents(const std::string& path) {
  std::string folder = FolderPart(path);
  for (std::size_t pos = 3; pos < folder.size(); ++pos) {
    if (folder[pos] != '\\') continue;
    std::string partial = folder.substr(0, pos);
    if (AttributesOf(partial) == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(SystemPath(partial).c_str(), nullptr);
  }
}

// FSCTL_FILE_LEVEL_TRIM (Windows 8 and later), which MinGW's headers lack:
// CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 130, METHOD_BUFFERED, FILE_WRITE_DATA).
constexpr DWORD kFsctlFileLevelTrim = 0x00098208;
struct FileLevelTrim {
  DWORD key = 0;
  DWORD ranges = 1;
  ULONGLONG offset = 0, length = 0;
};

// The named data streams of an open file or folder, through its handle
// (GetFileInformationByHandleEx with FileStreamInfo, for which no access
// right is needed; see FILE_STREAM_INFO,
// https://learn.microsoft.com/windows/win32/api/winbase/ns-winbase-file_stream_info).
// NTFS names them ":Zone.Identifier:$DATA" and the file's own content
// "::$DATA". A file system that keeps no named streams may refuse the query
// as one it does not know (FILE_STREAM_INFORMATION: STATUS_INVALID_PARAMETER
// or STATUS_NOT_IMPLEMENTED): then its volume says so too, and there are
// none.
std::optional<std::vector<std::string>> StreamNamesOf(HANDLE h) {
  std::vector<std::uint64_t> buffer(16 * 1024 / 8);  // 8-byte aligned, as the entries are
  for (;;) {
    const DWORD bytes = static_cast<DWORD>(buffer.size() * 8);
    if (GetFileInformationByHandleEx(h, FileStreamInfo, buffer.data(), bytes)) break;
    const DWORD e = GetLastError();
    if (e == ERROR_HANDLE_EOF) return std::vector<std::string>{};  // not even a main stream: a folder
    if ((e == ERROR_MORE_DATA || e == ERROR_INSUFFICIENT_BUFFER) && bytes < (64u << 20)) {
      buffer.resize(buffer.size() * 4);
      continue;
    }
    DWORD flags = 0;
    if ((e == ERROR_INVALID_FUNCTION || e == ERROR_INVALID_PARAMETER || e == ERROR_NOT_SUPPORTED) &&
        GetVolumeInformationByHandleW(h, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
        !(flags & FILE_NAMED_STREAMS))
      return std::vector<std::string>{};
    return std::nullopt;
  }
  std::vector<std::string> names;
  const char* at = reinterpret_cast<const char*>(buffer.data());
  const char* end = at + buffer.size() * 8;
  for (;;) {
    const auto* info = reinterpret_cast<const FILE_STREAM_INFO*>(at);
    if (at + sizeof(FILE_STREAM_INFO) > end || reinterpret_cast<const char*>(info->StreamName) + info->StreamNameLength > end)
      return std::nullopt;
    std::wstring name(info->StreamName, info->StreamNameLength / sizeof(wchar_t));
    const std::wstring type = L":$DATA";
    if (name.size() > type.size() + 1 && name[0] == L':' && name.compare(name.size() - type.size(), type.size(), type) == 0)
      names.push_back(Narrow(name.substr(1, name.size() - 1 - type.size())));
    if (info->NextEntryOffset == 0) break;
    at += info->NextEntryOffset;
  }
  return names;
}

// NtCreateFile from the system's own library, found once.
decltype(&NtCreateFile) NtCreateFileProc() {
  static const auto proc = reinterpret_cast<decltype(&NtCreateFile)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtCreateFile")));
  return proc;
}

// A named stream opened for reading and writing, without sharing, relative
// to the handle of its file: NtCreateFile with that handle as the root of
// the name ":name:$DATA" (NtCreateFile,
// https://learn.microsoft.com/windows/win32/api/winternl/nf-winternl-ntcreatefile),
// so that it is that very file's stream. Where the file system takes no
// open relative to a file, by the long form of the file's path.
HANDLE OpenStreamOf(HANDLE file, const std::string& filePath, const std::string& name) {
  std::wstring relative = L":" + Widen(name) + L":$DATA";
  UNICODE_STRING text{static_cast<USHORT>(relative.size() * sizeof(wchar_t)),
                      static_cast<USHORT>(relative.size() * sizeof(wchar_t)), &relative[0]};
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, file, nullptr);
  IO_STATUS_BLOCK io{};
  constexpr ULONG kOpen = 1, kSynchronous = 0x20, kNonDirectory = 0x40;  // FILE_OPEN, FILE_..._NONALERT, FILE_..._FILE
  constexpr NTSTATUS kInvalidParameter = static_cast<NTSTATUS>(0xC000000D);
  constexpr NTSTATUS kNameInvalid = static_cast<NTSTATUS>(0xC0000033);
  HANDLE h = nullptr;
  NTSTATUS status = kInvalidParameter;
  if (auto create = NtCreateFileProc())
    status = create(&h, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, &attributes, &io, nullptr, 0, 0, kOpen,
                    kNonDirectory | kSynchronous, nullptr, 0);
  if (status >= 0) return h;
  if (status != kInvalidParameter && status != kNameInvalid) return INVALID_HANDLE_VALUE;
  std::wstring path = SystemPath(filePath);
  if (path.compare(0, 4, L"\\\\?\\") != 0) path = L"\\\\?\\" + path;
  return CreateFileW((path + relative).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

class Win32File : public File {
 public:
  Win32File(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
  void SetReader(HANDLE reader) { reader_ = reader; }
  ~Win32File() override {
    if (reader_ != INVALID_HANDLE_VALUE) CloseHandle(reader_);
    CloseHandle(h_);
  }

  // A handle without buffering reads from the device; it exists only for a
  // file opened for reading back.
  std::int64_t ReadBack(std::int64_t offset, void* buffer, std::size_t n, std::string* why) override {
    if (reader_ == INVALID_HANDLE_VALUE) {
      if (why) *why = "the file was not opened for reading back";
      return -1;
    }
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    ov.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD got = 0;
    if (ReadFile(reader_, buffer, static_cast<DWORD>(n), &got, &ov)) return got;
    if (GetLastError() == ERROR_HANDLE_EOF) return 0;
    if (why) *why = "reading past the cache failed (error " + std::to_string(GetLastError()) + ")";
    return -1;
  }

  std::string Discard() override {
    std::int64_t size = Size();
    if (size <= 0) return size < 0 ? "its size cannot be read" : std::string();
    FileLevelTrim trim;
    trim.length = static_cast<ULONGLONG>(size);
    DWORD processed = 0, got = 0;
    if (DeviceIoControl(h_, kFsctlFileLevelTrim, &trim, sizeof trim, &processed, sizeof processed, &got, nullptr) &&
        processed == 1)
      return {};
    DWORD e = GetLastError();
    return e == ERROR_INVALID_FUNCTION || e == ERROR_NOT_SUPPORTED
               ? "the file system takes no file-level trim (FSCTL_FILE_LEVEL_TRIM, error " + std::to_string(e) + ")"
               : "the file-level trim failed (error " + std::to_string(e) + ")";
  }

  std::int64_t Size() override {
    LARGE_INTEGER li{};
    return GetFileSizeEx(h_, &li) ? li.QuadPart : -1;
  }
  bool WriteAt(std::int64_t offset, const void* data, std::size_t n) override {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
      OVERLAPPED ov{};
      ov.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
      ov.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
      DWORD chunk = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n), written = 0;
      if (!WriteFile(h_, p, chunk, &written, &ov) || written == 0) return false;
      p += written;
      offset += written;
      n -= written;
    }
    return true;
  }
  bool Append(const std::string& data) override {
    DWORD written = 0;
    return WriteFile(h_, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
           written == data.size();
  }
  bool Flush() override { return FlushFileBuffers(h_) != 0; }
  HANDLE Handle() const { return h_; }
  // Windows takes no request to start writing a range early; the flush at
  // the end writes it all.
  bool StartWriteBack(std::int64_t, std::int64_t) override { return false; }
  bool SetTimes(const CivilTime* created, const CivilTime* accessed, const CivilTime* written) override {
    FILETIME c{}, a{}, w{};
    if (created && !ToFileTime(*created, &c)) return false;
    if (accessed && !ToFileTime(*accessed, &a)) return false;
    if (written && !ToFileTime(*written, &w)) return false;
    return SetFileTime(h_, created ? &c : nullptr, accessed ? &a : nullptr, written ? &w : nullptr) != 0;
  }
  std::optional<std::vector<std::string>> StreamNames() override { return StreamNamesOf(h_); }
  std::unique_ptr<File> OpenStream(const std::string& name) override {
    if (name.empty() || name.find_first_of(":\\/") != std::string::npos) return nullptr;
    HANDLE h = OpenStreamOf(h_, path_, name);
    if (h == INVALID_HANDLE_VALUE || !h) return nullptr;
    return std::make_unique<Win32File>(h, path_ + ":" + name);
  }

 private:
  HANDLE h_;
  HANDLE reader_ = INVALID_HANDLE_VALUE;
  std::string path_;  // as it was opened, for a system that opens streams by path alone
};

// Zeros over a file's content through a handle of its own, to the device,
// its clusters handed back, then the file deleted.
void WriteOverAndDelete(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    Win32File file(h, Narrow(path));
    static const char zeros[65536] = {};
    const std::int64_t size = file.Size();
    for (std::int64_t at = 0; at < size; at += sizeof zeros)
      if (!file.WriteAt(at, zeros, static_cast<std::size_t>(std::min<std::int64_t>(sizeof zeros, size - at)))) break;
    file.Flush();
    file.Discard();
  }
  DeleteFileW(path.c_str());
}

std::unique_ptr<File> Open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  // Windows refuses to write a read-only file; Wine run as root would not,
  // so the rule is applied here for every host alike.
  DWORD attrs = AttributesOf(path);
  if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  HANDLE h = CreateFileW(SystemPath(path).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32File>(h, path);
}

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

  bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
    return SetFileAttributesW(SystemPath(path).c_str(), attributes) != 0;
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

  std::uint32_t LinkCount(const std::string& path) override {
    HANDLE h = CreateFileW(SystemPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION info{};
    BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    return ok ? info.nNumberOfLinks : 0;
  }

  bool MakeDirectory(const std::string& path) override {
    return CreateDirectoryW(SystemPath(path).c_str(), nullptr) != 0;
  }

  bool CreateEmptyFile(const std::string& path) override {
    HANDLE h = CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
  }

  std::optional<std::string> ReadWholeFile(const std::string& path) override {
    HANDLE h = CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string text;
    char buf[65536];
    DWORD n = 0;
    bool ok = true;
    while ((ok = ReadFile(h, buf, sizeof buf, &n, nullptr) != 0) && n > 0) text.append(buf, n);
    CloseHandle(h);
    if (!ok) return std::nullopt;
    return text;
  }

  bool ReplaceFileContents(const std::string& path, const std::string& content) override {
    std::wstring target = SystemPath(path), tmp = SystemPath(path + ".new");
    HANDLE h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = (content.empty() || (WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written,
                                             nullptr) &&
                                   written == content.size())) &&
              FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    if (!ok) {
      DeleteFileW(tmp.c_str());
      return false;
    }
    // The old file goes aside under a name of its own in the same step, so
    // that what it said is written over before its clusters are freed. A
    // file left aside by a replace cut short goes the same way first.
    const std::wstring aside = SystemPath(path + ".old");
    if (GetFileAttributesW(aside.c_str()) != INVALID_FILE_ATTRIBUTES) WriteOverAndDelete(aside);
    if (ReplaceFileW(target.c_str(), tmp.c_str(), aside.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                     nullptr, nullptr)) {
      WriteOverAndDelete(aside);
      return true;
    }
    DWORD e = GetLastError();
    // The old file is aside and the new one could not take its name: the
    // old one goes back.
    if (e == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileExW(aside.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    if ((e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) && GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES &&
        MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
      return true;
    DeleteFileW(tmp.c_str());
    return false;
  }

  bool WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                      const std::string& value) override {
    return WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(value).c_str(),
                                      Widen(path).c_str()) != 0;
  }

  std::unique_ptr<File> OpenExclusive(const std::string& path) override {
    return Open(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
  }
  // Caches are bypassed only by a handle opened without buffering, which
  // the writing handle must let in; it comes from the writing handle
  // itself, so that it reads the very file that is written.
  std::unique_ptr<File> OpenExclusiveReadBack(const std::string& path) override {
    auto file = Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    if (!file) return nullptr;
    auto* own = static_cast<Win32File*>(file.get());
    // Without it ReadBack says why not.
    own->SetReader(ReOpenFile(own->Handle(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_FLAG_NO_BUFFERING));
    return file;
  }
  std::string TrimVolume(const std::string& path, const std::vector<ByteRange>&) override {
    return win32::RetrimVolume(path);
  }
  std::unique_ptr<File> OpenSharedWrite(const std::string& path, bool truncate) override {
    return Open(path, GENERIC_WRITE, FILE_SHARE_WRITE, truncate ? TRUNCATE_EXISTING : OPEN_EXISTING);
  }
  std::unique_ptr<File> OpenAppend(const std::string& path) override {
    return Open(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  }
  std::unique_ptr<File> OpenFolder(const std::string& path) override {
    // Enough to list its streams and to open them relative to it; a link
    // is opened as itself and refused.
    HANDLE h = CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES | FILE_TRAVERSE | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    auto folder = std::make_unique<Win32File>(h, path);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return nullptr;
    return folder;
  }
  // FlushFileBuffers waits for its one file: many of them wait together
  // from a few threads.
  std::vector<bool> FlushFiles(const std::vector<File*>& files) override {
    std::vector<HANDLE> handles;
    for (File* f : files) {
      auto* own = dynamic_cast<Win32File*>(f);
      if (!own) return Platform::FlushFiles(files);
      handles.push_back(own->Handle());
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

  bool MoveItem(const std::string& from, const std::string& to) override {
    if (AttributesOf(from) == INVALID_FILE_ATTRIBUTES) return false;
    if (AttributesOf(to) != INVALID_FILE_ATTRIBUTES) return false;
    MakeParents(to);
    // A rename within the volume, which fails when the destination exists
    // (the shell's move, told to ask nothing, would merge or replace) and
    // never copies to another volume.
    return MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), MOVEFILE_WRITE_THROUGH) != 0;
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

  bool RemoveFile(const std::string& path) override { return DeleteFileW(SystemPath(path).c_str()) != 0; }

  bool DeleteItem(const std::string& path) override {
    if (AttributesOf(path) == INVALID_FILE_ATTRIBUTES) return false;
    bool done = SystemPath(path).compare(0, 4, L"\\\\?\\") == 0 ? DeleteTree(path) : ShellDelete(path);
    return done && AttributesOf(path) == INVALID_FILE_ATTRIBUTES;
  }

  bool RemoveEmptyDirectory(const std::string& path) override {
    return RemoveDirectoryW(SystemPath(path).c_str()) != 0;
  }

  bool RemoveLink(const std::string& path) override {
    DWORD a = AttributesOf(path);
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    std::wstring w = SystemPath(path);
    return (a & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(w.c_str()) != 0 : DeleteFileW(w.c_str()) != 0;
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
    KvValue v;
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(key).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return v;
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
