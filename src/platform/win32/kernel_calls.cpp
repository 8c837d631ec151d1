// Opens, closes and the changes made through a handle, each told to the
// rules first where a test program put some in. Windows renames and
// deletes the object a handle holds; Wine carries both out on the path the
// handle was opened by, so the last look before acting is taken here.
#include "platform/win32/kernel_calls.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/win32/kernel_rules.h"
#include "platform/win32/wide.h"

namespace vz::win32 {
namespace {
KernelRules* g_rules = nullptr;
}  // namespace
KernelRules* Rules() { return g_rules; }
void SetKernelRules(KernelRules* rules) { g_rules = rules; }

constexpr ULONG kFileRenameInformation = 10;
constexpr ULONG kFileLinkInformation = 11;
constexpr ULONG kFileDispositionInformation = 13;
constexpr ULONG kFileDispositionInformationEx = 64;

// Every handle of the layer is closed here, so that the rules see it go.
void Close(HANDLE h) {
  if (g_rules) g_rules->Closing(h);
  CloseHandle(h);
}

// A handle opened without the rules' knowledge (a full path, a duplicate)
// is told to them; refused, it is closed and INVALID_HANDLE_VALUE comes back.
HANDLE Tracked(HANDLE h, HANDLE root, ACCESS_MASK access, ULONG share) {
  if (!g_rules || h == INVALID_HANDLE_VALUE || !h) return h;
  if (NTSTATUS st = g_rules->Opened(h, root, access, share)) {
    Close(h);
    SetLastError(RtlNtStatusToDosError(st));
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

std::string StatusText(NTSTATUS st) {
  switch (st) {
    case STATUS_OBJECT_NAME_NOT_FOUND:
    case STATUS_OBJECT_PATH_NOT_FOUND: return "does not exist";
    case STATUS_NOT_A_DIRECTORY: return "is not a folder";
    case STATUS_FILE_IS_A_DIRECTORY: return "is a folder";
    case STATUS_OBJECT_NAME_COLLISION: return "exists already";
    case STATUS_SHARING_VIOLATION: return "is in use";
    case STATUS_DELETE_PENDING: return "is being deleted";
    case STATUS_ACCESS_DENIED: return "cannot be opened (access denied)";
    default: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "cannot be opened (error %lu)", RtlNtStatusToDosError(st));
      return buf;
    }
  }
}

NTSTATUS RelOpen(HANDLE root, const std::string& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                 ULONG options, HANDLE* out) {
  std::wstring w = Widen(name);
  UNICODE_STRING us;
  us.Buffer = &w[0];
  us.Length = us.MaximumLength = static_cast<USHORT>(w.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES oa;
  InitializeObjectAttributes(&oa, &us, OBJ_CASE_INSENSITIVE, root, nullptr);
  IO_STATUS_BLOCK io{};
  *out = nullptr;
  NTSTATUS st = NtCreateFile(out, access | SYNCHRONIZE, &oa, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition,
                             options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (NT_SUCCESS(st) && g_rules) {
    if (NTSTATUS refused = g_rules->Opened(*out, root, access | SYNCHRONIZE, share)) {
      Close(*out);
      *out = nullptr;
      return refused;
    }
  }
  return st;
}

std::optional<NodeInfo> InfoOf(HANDLE h) {
  BY_HANDLE_FILE_INFORMATION i{};
  if (!GetFileInformationByHandle(h, &i)) return std::nullopt;
  DWORD tag = 0;
  if (g_rules)
    i.dwFileAttributes = g_rules->Attributes(i.dwVolumeSerialNumber, (ULONGLONG{i.nFileIndexHigh} << 32) | i.nFileIndexLow,
                                             i.dwFileAttributes, &tag);
  NodeInfo n;
  n.attributes = i.dwFileAttributes;
  n.kind = (i.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? NodeKind::Link
           : (i.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)   ? NodeKind::Folder
                                                               : NodeKind::File;
  n.id = {i.dwVolumeSerialNumber, (static_cast<std::uint64_t>(i.nFileIndexHigh) << 32) | i.nFileIndexLow};
  n.size = n.kind == NodeKind::File
               ? static_cast<std::int64_t>((static_cast<std::uint64_t>(i.nFileSizeHigh) << 32) | i.nFileSizeLow)
               : 0;
  n.links = i.nNumberOfLinks;
  return n;
}

bool SetAttributesOf(HANDLE h, std::uint32_t attributes) {
  FILE_BASIC_INFO b{};  // zero times stay as they are
  b.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  if (!SetFileInformationByHandle(h, FileBasicInfo, &b, sizeof b)) return false;
  if (g_rules) g_rules->AttributesSet(h, b.FileAttributes);
  return true;
}

// Whether the path still leads to what the handle holds, through no link
// but the thing itself. Windows renames and deletes the object a handle
// holds; Wine carries both out on the path the handle was opened by, so a
// folder on that path swapped for a link since would lead them elsewhere.
// The last look before acting is taken here.
static bool StillThere(HANDLE h, const std::string& path) {
  auto mine = InfoOf(h);
  if (!mine) return false;
  std::wstring w = SystemPath(path);
  DWORD a = GetFileAttributesW(w.c_str());
  if (a == INVALID_FILE_ATTRIBUTES || ((a & FILE_ATTRIBUTE_REPARSE_POINT) && mine->kind != NodeKind::Link)) return false;
  HANDLE there = CreateFileW(w.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (there == INVALID_HANDLE_VALUE) return false;
  auto info = InfoOf(there);
  CloseHandle(there);  // never told to the rules: it asks for no access they weigh
  return info && info->id == mine->id;
}

// Why a rename, link or delete through a handle was refused, in the
// words of a report.
std::string ChangeRefusal(NTSTATUS st) {
  switch (st) {
    case STATUS_SHARING_VIOLATION: return "it is in use by another program";
    case STATUS_ACCESS_DENIED: return "access denied";
    case STATUS_DIRECTORY_NOT_EMPTY: return "it is not empty";
    case STATUS_DELETE_PENDING: return "it is being deleted";
    case STATUS_CANNOT_DELETE: return "it is read-only";
    case STATUS_OBJECT_NAME_COLLISION: return "the name is taken";
    default: {
      char buf[48];
      std::snprintf(buf, sizeof buf, "error %lu", RtlNtStatusToDosError(st));
      return buf;
    }
  }
}

// Asked of a system that does not know it (before Windows 10 1709) or a
// file system that does not take it (FAT), a form of the disposition is
// refused as one of these.
static bool UnknownForm(NTSTATUS st) {
  return st == static_cast<NTSTATUS>(0xC0000003L) /* INVALID_INFO_CLASS */ ||
         st == static_cast<NTSTATUS>(0xC0000002L) /* NOT_IMPLEMENTED */ ||
         st == static_cast<NTSTATUS>(0xC00000BBL) /* NOT_SUPPORTED */ ||
         st == static_cast<NTSTATUS>(0xC000000DL) /* INVALID_PARAMETER */;
}

// Marks what the handle holds for deletion. With POSIX semantics its name
// goes at once, even while another program (an indexer, a virus scanner)
// holds it open sharing delete, and a read-only attribute does not stop it
// (FILE_DISPOSITION_INFORMATION_EX, Windows 10 1709 and later); else the
// classic way, where the name stays until the last handle closes
// (FILE_DISPOSITION_INFORMATION).
static NTSTATUS MarkForDeletion(HANDLE h) {
  constexpr ULONG kDelete = 0x1, kPosixSemantics = 0x2, kIgnoreReadOnly = 0x10;
  struct {
    ULONG Flags;
  } ex{kDelete | kPosixSemantics | kIgnoreReadOnly};
  IO_STATUS_BLOCK io{};
  bool done = false;
  NTSTATUS st = g_rules ? g_rules->Deleting(h, ex.Flags, true, &done) : 0;
  if (!st && !done)
    st = NtSetInformationFile(h, &io, &ex, sizeof ex, static_cast<FILE_INFORMATION_CLASS>(kFileDispositionInformationEx));
  if (NT_SUCCESS(st) && g_rules) g_rules->Deleted(h, ex.Flags, true);
  if (!UnknownForm(st)) return st;
  struct {
    BOOLEAN DeleteFile;
  } classic{TRUE};
  done = false;
  st = g_rules ? g_rules->Deleting(h, kDelete, false, &done) : 0;
  if (!st && !done)
    st = NtSetInformationFile(h, &io, &classic, sizeof classic,
                              static_cast<FILE_INFORMATION_CLASS>(kFileDispositionInformation));
  if (NT_SUCCESS(st) && g_rules) g_rules->Deleted(h, kDelete, false);
  return st;
}

bool DeleteByHandle(HANDLE h, const std::string& path, std::string* why) {
  RaceStep("delete", path);
  if (!StillThere(h, path)) return false;
  NTSTATUS st = MarkForDeletion(h);
  if (!NT_SUCCESS(st) && why) *why = ChangeRefusal(st);
  return NT_SUCCESS(st);
}

// Renames the very thing the handle holds into the folder `to`
// (FileRenameInformation), or gives it a second name there
// (FileLinkInformation, laid out alike: ZwSetInformationFile,
// https://learn.microsoft.com/windows-hardware/drivers/ddi/ntifs/ns-ntifs-_file_link_information),
// with the folder's handle as the root of the name. A link never replaces;
// FAT and other volumes without hard links refuse it. Under Wine the folder
// it goes into is found by its path too: it is looked at last.
bool NameByHandle(HANDLE h, HANDLE to, const std::string& toPath, const std::string& name, bool replace,
                  const std::string& path, bool link, std::string* why) {
  if (!BadNodeName(name).empty()) return false;
  RaceStep(link ? "link" : "move", path);
  if (!to || !StillThere(h, path) || !StillThere(to, toPath)) return false;
  std::wstring w = Widen(name);
  std::vector<char> buf(sizeof(FILE_RENAME_INFORMATION) + w.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFORMATION*>(buf.data());
  info->ReplaceIfExists = replace && !link ? TRUE : FALSE;
  info->RootDirectory = to;
  info->FileNameLength = static_cast<ULONG>(w.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, w.data(), info->FileNameLength);
  IO_STATUS_BLOCK io{};
  NTSTATUS st = g_rules ? g_rules->Renaming(h, to, link) : 0;
  if (!st)
    st = NtSetInformationFile(h, &io, info, static_cast<ULONG>(buf.size()),
                              static_cast<FILE_INFORMATION_CLASS>(link ? kFileLinkInformation : kFileRenameInformation));
  if (!NT_SUCCESS(st) && why) *why = ChangeRefusal(st);
  return NT_SUCCESS(st);
}


}  // namespace vz::win32
