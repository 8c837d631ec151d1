// Handles on Windows: every folder, file and node is opened relative to the
// folder handle that holds it (NtCreateFile with a root directory), never
// through a reparse point, and renamed and deleted through its own handle
// (FileRenameInformation with a root directory, FileDispositionInfo), so
// that what was checked is what is acted on.
#include <windows.h>
#include <winioctl.h>
#include <winternl.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/drive_path.h"
#include "common/text.h"
#include "platform/platform.h"
#include "platform/win32/holders_win32.h"
#include "platform/win32/kernel_calls.h"
#include "platform/win32/kernel_rules.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"

namespace vz::win32 {
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

// A handle shared by a folder and by what was opened from it.
struct H {
  explicit H(HANDLE handle) : h(handle) {}
  ~H() { Close(h); }
  H(const H&) = delete;
  H& operator=(const H&) = delete;
  HANDLE h;
};
using HRef = std::shared_ptr<H>;

HANDLE FolderHandle(Folder& f);

std::string Joined(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : WithTrailingBackslash(folder) + name;
}

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
  NTSTATUS status = NtCreateFile(&h, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, &attributes, &io, nullptr, 0, 0,
                                 kOpen, kNonDirectory | kSynchronous, nullptr, 0);
  if (status >= 0) return h;
  if (status != kInvalidParameter && status != kNameInvalid) return INVALID_HANDLE_VALUE;
  std::wstring path = SystemPath(filePath);
  if (path.compare(0, 4, L"\\\\?\\") != 0) path = L"\\\\?\\" + path;
  return CreateFileW((path + relative).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// FSCTL_FILE_LEVEL_TRIM (Windows 8 and later), which MinGW's headers lack:
// CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 130, METHOD_BUFFERED, FILE_WRITE_DATA).
constexpr DWORD kFsctlFileLevelTrim = 0x00098208;
struct FileLevelTrim {
  DWORD key = 0;
  DWORD ranges = 1;
  ULONGLONG offset = 0, length = 0;
};

class WinFile : public File {
 public:
  WinFile(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
  ~WinFile() override {
    if (reader_ != INVALID_HANDLE_VALUE && reader_) Close(reader_);
    Close(h_);
  }
  void SetReader(HANDLE reader) { reader_ = reader; }
  // A handle without buffering reads from the device; it exists only for a
  // file opened for reading back.
  std::int64_t ReadBack(std::int64_t offset, void* buffer, std::size_t n, std::string* why) override {
    if (reader_ == INVALID_HANDLE_VALUE || !reader_) {
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
      if (!WriteFile(h_, p, chunk, &written, &ov) || written == 0) return Failed();
      p += written;
      offset += written;
      n -= written;
    }
    return true;
  }
  std::int64_t ReadAt(std::int64_t offset, void* data, std::size_t n) override {
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    ov.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD got = 0;
    DWORD want = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
    if (!ReadFile(h_, data, want, &got, &ov)) return GetLastError() == ERROR_HANDLE_EOF ? 0 : (Failed(), -1);
    return got;
  }
  bool Append(const std::string& data) override {
    DWORD written = 0;
    return (WriteFile(h_, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
            written == data.size()) ||
           Failed();
  }
  bool Flush() override { return FlushFileBuffers(h_) != 0 || Failed(); }
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
  bool Truncate(std::int64_t size) override {
    FILE_END_OF_FILE_INFO e{};
    e.EndOfFile.QuadPart = size;
    return SetFileInformationByHandle(h_, FileEndOfFileInfo, &e, sizeof e) != 0 || Failed();
  }
  // The ranges that hold clusters; a file system that keeps no sparse
  // files (or Wine, which does not answer) gives the whole file.
  std::vector<std::pair<std::int64_t, std::int64_t>> DataRanges() override {
    const std::int64_t size = Size();
    if (size <= 0) return {};
    std::vector<std::pair<std::int64_t, std::int64_t>> out;
    FILE_ALLOCATED_RANGE_BUFFER query{};
    query.Length.QuadPart = size;
    std::vector<FILE_ALLOCATED_RANGE_BUFFER> got(64);
    for (;;) {
      DWORD bytes = 0;
      BOOL ok = DeviceIoControl(h_, FSCTL_QUERY_ALLOCATED_RANGES, &query, sizeof query, got.data(),
                                static_cast<DWORD>(got.size() * sizeof got[0]), &bytes, nullptr);
      if (!ok && GetLastError() != ERROR_MORE_DATA) return File::DataRanges();
      std::size_t n = bytes / sizeof got[0];
      for (std::size_t i = 0; i < n; ++i) {
        std::int64_t from = got[i].FileOffset.QuadPart, len = got[i].Length.QuadPart;
        if (from >= size) continue;
        out.emplace_back(from, std::min(len, size - from));
      }
      if (ok || n == 0) break;
      std::int64_t next = got[n - 1].FileOffset.QuadPart + got[n - 1].Length.QuadPart;
      query.FileOffset.QuadPart = next;
      query.Length.QuadPart = size - next;
      if (query.Length.QuadPart <= 0) break;
    }
    return out;
  }
  std::string LastError() override { return error_; }
  std::optional<NodeInfo> Info() override { return InfoOf(h_); }
  bool SetAttributes(std::uint32_t attributes) override { return SetAttributesOf(h_, attributes); }
  bool MoveTo(Folder& to, const std::string& name, bool replace) override {
    if (!NameByHandle(h_, FolderHandle(to), to.Path(), name, replace, path_, false, &error_)) return false;
    path_ = Joined(to.Path(), name);
    return true;
  }
  bool LinkAs(Folder& to, const std::string& name) override { return NameByHandle(h_, FolderHandle(to), to.Path(), name, false, path_, true, &error_); }
  bool Delete() override { return DeleteByHandle(h_, path_, &error_); }
  std::string Path() const override { return path_; }
  std::optional<std::vector<std::string>> StreamNames() override { return StreamNamesOf(h_); }
  std::unique_ptr<File> OpenStream(const std::string& name) override {
    if (name.empty() || name.find_first_of(":\\/") != std::string::npos) return nullptr;
    HANDLE h = OpenStreamOf(h_, path_, name);
    if (h == INVALID_HANDLE_VALUE || !h) return nullptr;
    return std::make_unique<WinFile>(h, path_ + ":" + name);
  }

 private:
  bool Failed() {
    DWORD e = GetLastError();
    char buf[64];
    std::snprintf(buf, sizeof buf, "error %lu", static_cast<unsigned long>(e));
    error_ = e == ERROR_DISK_FULL || e == ERROR_HANDLE_DISK_FULL ? "no space left on the device" : buf;
    return false;
  }
  HANDLE h_;
  HANDLE reader_ = INVALID_HANDLE_VALUE;
  std::string path_;
  std::string error_;
};

// A folder's own handle, held again only to reach its named streams: its
// size and writes fail.
class WinFolderStreams : public File {
 public:
  WinFolderStreams(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
  ~WinFolderStreams() override { Close(h_); }
  std::int64_t Size() override { return -1; }
  bool WriteAt(std::int64_t, const void*, std::size_t) override { return false; }
  bool Append(const std::string&) override { return false; }
  bool Flush() override { return true; }
  bool SetTimes(const CivilTime*, const CivilTime*, const CivilTime*) override { return false; }
  std::string Path() const override { return path_; }
  std::optional<std::vector<std::string>> StreamNames() override { return StreamNamesOf(h_); }
  std::unique_ptr<File> OpenStream(const std::string& name) override {
    if (name.empty() || name.find_first_of(":\\/") != std::string::npos) return nullptr;
    HANDLE h = OpenStreamOf(h_, path_, name);
    if (h == INVALID_HANDLE_VALUE || !h) return nullptr;
    return std::make_unique<WinFile>(h, path_ + ":" + name);
  }

 private:
  HANDLE h_;
  std::string path_;
};

// `inUse` holds why it could not be opened with the right to delete it
// (another program holds it without sharing that right): it can be looked
// at, and is never renamed or deleted through this handle, which Windows
// would refuse and Wine would not.
class WinNode : public Node {
 public:
  WinNode(HANDLE h, std::string path, std::string inUse) : h_(h), path_(std::move(path)), inUse_(std::move(inUse)) {}
  ~WinNode() override { Close(h_); }
  std::optional<NodeInfo> Info() override { return InfoOf(h_); }
  bool SetAttributes(std::uint32_t attributes) override { return SetAttributesOf(h_, attributes); }
  bool MoveTo(Folder& to, const std::string& name, bool replace) override {
    if (Refused() || !NameByHandle(h_, FolderHandle(to), to.Path(), name, replace, path_, false, &error_)) return false;
    path_ = Joined(to.Path(), name);
    return true;
  }
  bool LinkAs(Folder& to, const std::string& name) override {
    return !Refused() && NameByHandle(h_, FolderHandle(to), to.Path(), name, false, path_, true, &error_);
  }
  bool Delete() override { return !Refused() && DeleteByHandle(h_, path_, &error_); }
  std::string Path() const override { return path_; }
  std::string LastError() override { return error_; }

 private:
  bool Refused() {
    if (inUse_.empty()) return false;
    error_ = inUse_;
    return true;
  }
  HANDLE h_;
  std::string path_;
  std::string inUse_;
  std::string error_;
};

// Folders are opened to be listed and to have things opened in them, and
// their attributes changed where that is granted; never with the right to
// delete them: the open of a rename's or a link's target folder shares only
// reading and writing on some Windows builds (IopOpenLinkOrRenameTarget),
// so a folder held with DELETE could take nothing in. DELETE is asked for
// only at the moment a folder itself is renamed or removed (ReopenToChange).
constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
constexpr ACCESS_MASK kFolderChange = FILE_WRITE_ATTRIBUTES;
constexpr ULONG kFolderOptions = FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT;

class WinFolder : public Folder {
 public:
  WinFolder(HRef self, std::string path) : self_(std::move(self)), path_(std::move(path)) {}

  HANDLE Handle() const { return self_->h; }
  std::optional<NodeInfo> Info() override { return InfoOf(self_->h); }
  bool SetAttributes(std::uint32_t attributes) override { return SetAttributesOf(self_->h, attributes); }
  bool MoveTo(Folder& to, const std::string& name, bool replace) override {
    HANDLE h = ReopenToChange();
    if (!h) return false;
    const bool moved = NameByHandle(h, FolderHandle(to), to.Path(), name, replace, path_, false, &error_);
    Close(h);
    if (moved) path_ = Joined(to.Path(), name);
    return moved;
  }
  bool Delete() override {
    HANDLE h = ReopenToChange();
    if (!h) return false;
    bool gone = DeleteByHandle(h, path_, &error_);
    Close(h);
    return gone;
  }
  std::string Path() const override { return path_; }
  std::string LastError() override { return error_; }
  std::unique_ptr<File> OwnStreams() override {
    HANDLE h = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), self_->h, GetCurrentProcess(), &h, 0, FALSE, DUPLICATE_SAME_ACCESS))
      return nullptr;
    return std::make_unique<WinFolderStreams>(h, path_);
  }

  bool List(std::vector<DirEntry>& out) override {
    auto self = InfoOf(self_->h);
    if (!self) return false;
    std::vector<char> buf(64 * 1024);
    bool first = true;
    for (;;) {
      if (!GetFileInformationByHandleEx(self_->h, first ? FileIdBothDirectoryRestartInfo : FileIdBothDirectoryInfo,
                                        buf.data(), static_cast<DWORD>(buf.size())))
        return GetLastError() == ERROR_NO_MORE_FILES;
      first = false;
      for (auto* e = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(buf.data());;
           e = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(reinterpret_cast<char*>(e) + e->NextEntryOffset)) {
        std::wstring wname(e->FileName, e->FileNameLength / sizeof(wchar_t));
        if (wname != L"." && wname != L"..") {
          DirEntry d;
          d.name = Narrow(wname);
          d.attributes = e->FileAttributes;
          DWORD tag = 0;
          if (KernelRules* rules = Rules())
            d.attributes = rules->Attributes(static_cast<DWORD>(self->id.volume),
                                               static_cast<ULONGLONG>(e->FileId.QuadPart), d.attributes, &tag);
          d.kind = (d.attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? NodeKind::Link
                   : (d.attributes & FILE_ATTRIBUTE_DIRECTORY)   ? NodeKind::Folder
                                                                 : NodeKind::File;
          d.size = d.kind == NodeKind::File ? e->EndOfFile.QuadPart : 0;
          d.id = {self->id.volume, static_cast<std::uint64_t>(e->FileId.QuadPart)};
          d.created = FromFileTime(*reinterpret_cast<FILETIME*>(&e->CreationTime));
          d.accessed = FromFileTime(*reinterpret_cast<FILETIME*>(&e->LastAccessTime));
          d.written = FromFileTime(*reinterpret_cast<FILETIME*>(&e->LastWriteTime));
          out.push_back(std::move(d));
        }
        if (!e->NextEntryOffset) break;
      }
    }
  }

  std::optional<NodeInfo> Stat(const std::string& name) override {
    if (!BadNodeName(name).empty()) return std::nullopt;
    HANDLE h = nullptr;
    if (!NT_SUCCESS(RelOpen(self_->h, name, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN,
                            FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT, &h)))
      return std::nullopt;
    auto info = InfoOf(h);
    Close(h);
    return info;
  }

  std::unique_ptr<Folder> OpenFolder(const std::string& name, std::string* why) override {
    const std::string path = Joined(path_, name);
    if (!Checked(name, path, why)) return nullptr;
    HANDLE h = nullptr;
    NTSTATUS st = RelOpen(self_->h, name, kFolderAccess | kFolderChange, kShareAll, FILE_OPEN, kFolderOptions, &h);
    // Without the right to delete it where that is not granted, or where
    // another program holds it open without sharing that right (Wine lists
    // a folder so): what lies in it can still be reached and changed.
    if (st == STATUS_ACCESS_DENIED || st == STATUS_SHARING_VIOLATION)
      st = RelOpen(self_->h, name, kFolderAccess, kShareAll, FILE_OPEN, kFolderOptions, &h);
    if (!NT_SUCCESS(st)) return Fail<Folder>(why, path, StatusText(st));
    auto info = InfoOf(h);
    // Wine opens a host's link to a folder as the folder it leads to; only
    // the entry's own attributes tell it for a link.
    DWORD entry = GetFileAttributesW(SystemPath(path).c_str());
    if (!info || info->kind != NodeKind::Folder ||
        (entry != INVALID_FILE_ATTRIBUTES && (entry & FILE_ATTRIBUTE_REPARSE_POINT))) {
      Close(h);
      return Fail<Folder>(why, path, info ? "is a link, not a folder" : "cannot be read");
    }
    return std::make_unique<WinFolder>(std::make_shared<H>(h), path);
  }

  std::unique_ptr<File> OpenFile(const std::string& name, FileAccess access, std::string* why) override {
    const std::string path = Joined(path_, name);
    if (!Checked(name, path, why)) return nullptr;
    ACCESS_MASK mask = 0;
    ULONG share = 0;
    switch (access) {
      case FileAccess::Read: mask = GENERIC_READ; share = kShareAll; break;
      case FileAccess::Write: mask = GENERIC_WRITE | FILE_READ_ATTRIBUTES; share = FILE_SHARE_WRITE; break;
      case FileAccess::Exclusive: mask = GENERIC_READ | GENERIC_WRITE | DELETE; share = 0; break;
      case FileAccess::ExclusiveReadBack: mask = GENERIC_READ | GENERIC_WRITE | DELETE; share = FILE_SHARE_READ; break;
      case FileAccess::Append: mask = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES; share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    }
    HANDLE h = nullptr;
    NTSTATUS st = RelOpen(self_->h, name, mask, share, FILE_OPEN, FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, &h);
    if (!NT_SUCCESS(st)) return Fail<File>(why, path, StatusText(st));
    auto info = InfoOf(h);
    std::string refusal;
    if (!info) refusal = "cannot be read";
    else if (info->kind != NodeKind::File) refusal = "is a link";
    // Windows refuses to write a read-only file; Wine run as root would
    // not, so the rule is applied here for every host alike.
    else if (access != FileAccess::Read && (info->attributes & FILE_ATTRIBUTE_READONLY)) refusal = "is read-only";
    if (!refusal.empty()) {
      Close(h);
      return Fail<File>(why, path, refusal);
    }
    auto file = std::make_unique<WinFile>(h, path);
    // Caches are bypassed only by a handle opened without buffering, made
    // from the writing one so that it reads the very file that is written;
    // without it ReadBack says why not.
    if (access == FileAccess::ExclusiveReadBack)
      file->SetReader(Tracked(ReOpenFile(h, GENERIC_READ, kShareAll, FILE_FLAG_NO_BUFFERING), nullptr, GENERIC_READ,
                              kShareAll));
    return file;
  }

  std::unique_ptr<Node> OpenNode(const std::string& name, std::string* why) override {
    const std::string path = Joined(path_, name);
    if (!Checked(name, path, why)) return nullptr;
    HANDLE h = nullptr;
    const ULONG options = FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT;
    NTSTATUS st = RelOpen(self_->h, name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll,
                          FILE_OPEN, options, &h);
    // Held open elsewhere without sharing the right to delete, it can still
    // be looked at, never renamed or deleted.
    std::string inUse;
    if (st == STATUS_ACCESS_DENIED || st == STATUS_SHARING_VIOLATION) {
      inUse = st == STATUS_SHARING_VIOLATION ? "it is in use by another program" + HoldersSaid(path)
                                             : std::string("access denied");
      st = RelOpen(self_->h, name, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, options, &h);
    }
    if (!NT_SUCCESS(st)) return Fail<Node>(why, path, StatusText(st));
    return std::make_unique<WinNode>(h, path, std::move(inUse));
  }

  std::unique_ptr<File> CreateNew(const std::string& name, std::string* why) override {
    const std::string path = Joined(path_, name);
    if (!Checked(name, path, why)) return nullptr;
    HANDLE h = nullptr;
    NTSTATUS st = RelOpen(self_->h, name, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, FILE_CREATE,
                          FILE_NON_DIRECTORY_FILE, &h);
    if (!NT_SUCCESS(st)) return Fail<File>(why, path, StatusText(st));
    return std::make_unique<WinFile>(h, path);
  }

  std::unique_ptr<Folder> MakeFolder(const std::string& name, std::string* why) override {
    const std::string path = Joined(path_, name);
    if (!Checked(name, path, why)) return nullptr;
    HANDLE h = nullptr;
    NTSTATUS st = RelOpen(self_->h, name, kFolderAccess | kFolderChange, kShareAll, FILE_CREATE, kFolderOptions, &h);
    if (!NT_SUCCESS(st)) return Fail<Folder>(why, path, StatusText(st));
    return std::make_unique<WinFolder>(std::make_shared<H>(h), path);
  }

 private:
  // The folder held opened again, by the held handle itself (an empty name
  // relative to it), with the right to delete it: the very folder, checked
  // against the identity held. Null, with why in error_, when refused.
  HANDLE ReopenToChange() {
    HANDLE h = nullptr;
    NTSTATUS st = RelOpen(self_->h, "", DELETE | FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN,
                          FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT, &h);
    if (!NT_SUCCESS(st)) {
      error_ = ChangeRefusal(st);
      if (st == STATUS_SHARING_VIOLATION) error_ += HoldersSaid(path_);
      return nullptr;
    }
    auto held = InfoOf(self_->h), again = InfoOf(h);
    if (!held || !again || held->id != again->id) {
      Close(h);
      error_ = "it was replaced";
      return nullptr;
    }
    return h;
  }
  static bool Checked(const std::string& name, const std::string& path, std::string* why) {
    std::string bad = BadNodeName(name);
    if (bad.empty()) return true;
    if (why) *why = path + ": " + bad;
    return false;
  }
  template <class T>
  static std::unique_ptr<T> Fail(std::string* why, const std::string& path, const std::string& text) {
    if (why) *why = path + " " + text;
    return nullptr;
  }

  HRef self_;
  std::string path_;
  std::string error_;
};

HANDLE FolderHandle(Folder& f) {
  auto* w = dynamic_cast<WinFolder*>(&f);
  return w ? w->Handle() : nullptr;
}

}  // namespace

std::unique_ptr<Folder> OpenFolderByHandles(const std::string& path, std::string* why) {
  if (!HasDrivePrefix(path) || !win32::ExactlyWide(path)) {
    if (why) *why = path + ": not a full path on a drive";
    return nullptr;
  }
  for (std::string_view name : PathNames(path)) {
    std::string bad = BadNodeName(std::string(name));
    if (!bad.empty()) {
      if (why) *why = path + ": " + bad;
      return nullptr;
    }
  }
  const std::string root = std::string(1, path[0]) + ":\\";
  HANDLE h = Tracked(CreateFileW((L"\\\\?\\" + Widen(root)).c_str(), kFolderAccess, kShareAll, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr),
                     nullptr, kFolderAccess, kShareAll);
  if (h == INVALID_HANDLE_VALUE) {
    if (why) *why = root + " cannot be opened";
    return nullptr;
  }
  std::unique_ptr<Folder> at = std::make_unique<WinFolder>(std::make_shared<H>(h), root);
  for (std::string_view name : PathNames(path)) {
    at = at->OpenFolder(std::string(name), why);
    if (!at) return nullptr;
  }
  return at;
}

void* HandleOfFile(File* f) {
  auto* w = dynamic_cast<WinFile*>(f);
  return w ? w->Handle() : nullptr;
}

}  // namespace vz::win32
