#include "platform/win32/ntfs_model.h"

#include <algorithm>

#include "platform/win32/wide.h"

extern "C" NTSTATUS NTAPI RtlGetLastNtStatus(void);

namespace vz::test {
namespace {

constexpr NTSTATUS kSharingViolation = static_cast<NTSTATUS>(0xC0000043L);
constexpr NTSTATUS kAccessDenied = static_cast<NTSTATUS>(0xC0000022L);
constexpr NTSTATUS kDeletePending = static_cast<NTSTATUS>(0xC0000056L);
constexpr NTSTATUS kDirectoryNotEmpty = static_cast<NTSTATUS>(0xC0000101L);
constexpr NTSTATUS kCannotDelete = static_cast<NTSTATUS>(0xC0000121L);
constexpr NTSTATUS kInvalidInfoClass = static_cast<NTSTATUS>(0xC0000003L);
constexpr ULONG kPosixSemantics = 0x2, kIgnoreReadOnly = 0x10;

// Generic rights as a file object maps them ("File Security and Access
// Rights": FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE).
ACCESS_MASK Mapped(ACCESS_MASK a) {
  if (a & (GENERIC_ALL | MAXIMUM_ALLOWED)) a |= FILE_ALL_ACCESS;
  if (a & GENERIC_READ) a |= FILE_GENERIC_READ;
  if (a & GENERIC_WRITE) a |= FILE_GENERIC_WRITE;
  if (a & GENERIC_EXECUTE) a |= FILE_GENERIC_EXECUTE;
  return a & ~(GENERIC_ALL | GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | MAXIMUM_ALLOWED);
}

// The three kinds of access that sharing weighs (IoCheckShareAccess):
// reading or executing, writing or appending, deleting. An open that asks
// for none of them (attributes, synchronizing) is never weighed.
struct Kinds {
  bool read, write, del;
};
Kinds KindsOf(ACCESS_MASK a) {
  return {(a & (FILE_READ_DATA | FILE_EXECUTE)) != 0, (a & (FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0,
          (a & DELETE) != 0};
}
bool Weighed(const Kinds& k) { return k.read || k.write || k.del; }

bool Conflict(ACCESS_MASK access, ULONG share, ACCESS_MASK heldAccess, ULONG heldShare) {
  const Kinds mine = KindsOf(access), held = KindsOf(heldAccess);
  if (!Weighed(mine) || !Weighed(held)) return false;
  return (mine.read && !(heldShare & FILE_SHARE_READ)) || (mine.write && !(heldShare & FILE_SHARE_WRITE)) ||
         (mine.del && !(heldShare & FILE_SHARE_DELETE)) || (held.read && !(share & FILE_SHARE_READ)) ||
         (held.write && !(share & FILE_SHARE_WRITE)) || (held.del && !(share & FILE_SHARE_DELETE));
}

}  // namespace

NtfsModel* NtfsModel::Active() { return dynamic_cast<NtfsModel*>(win32::Rules()); }

bool NtfsModel::IdentityOf(HANDLE h, Key* id, bool* folder) {
  BY_HANDLE_FILE_INFORMATION i{};
  if (!GetFileInformationByHandle(h, &i)) return false;
  *id = {i.dwVolumeSerialNumber, (ULONGLONG{i.nFileIndexHigh} << 32) | i.nFileIndexLow};
  if (folder) *folder = (i.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

NTSTATUS NtfsModel::ShareCheck(const Key& id, ACCESS_MASK access, ULONG share) const {
  auto f = files_.find(id);
  if (f == files_.end()) return 0;
  for (HANDLE other : f->second.handles) {
    const Open& o = opens_.at(other);
    if (Conflict(access, share, o.access, o.share)) return kSharingViolation;
  }
  return 0;
}

NTSTATUS NtfsModel::Opened(HANDLE h, HANDLE root, ACCESS_MASK access, ULONG share) {
  Key id;
  bool folder = false;
  if (!IdentityOf(h, &id, &folder)) return 0;
  access = Mapped(access);
  std::lock_guard<std::mutex> lock(m_);
  auto f = files_.find(id);
  // A name marked for deletion the classic way stays until its last handle
  // closes, and every new open of it fails (FILE_DISPOSITION_INFORMATION:
  // "the file is deleted when the last handle is closed"; NtCreateFile
  // returns STATUS_DELETE_PENDING meanwhile).
  if (f != files_.end() && f->second.deletePending) return kDeletePending;
  // IoCheckShareAccess: the new open against every handle already open.
  if (NTSTATUS st = ShareCheck(id, access, share)) return st;
  // A read-only file is not opened for writing ("File Attribute Constants":
  // FILE_ATTRIBUTE_READONLY, "applications can read the file, but cannot
  // write to it or delete it").
  if (auto d = doubles_.find(id); d != doubles_.end() && !folder && (d->second.attributes & FILE_ATTRIBUTE_READONLY) &&
                                  KindsOf(access).write)
    return kAccessDenied;
  State& s = files_[id];
  s.folder = folder;
  if (auto r = opens_.find(root); root && r != opens_.end()) s.parent = r->second.id;
  s.handles.push_back(h);
  opens_[h] = {id, access, share};
  return 0;
}

void NtfsModel::Closing(HANDLE h) {
  std::lock_guard<std::mutex> lock(m_);
  auto o = opens_.find(h);
  if (o == opens_.end()) return;
  auto f = files_.find(o->second.id);
  opens_.erase(o);
  if (f == files_.end()) return;
  auto& hs = f->second.handles;
  hs.erase(std::remove(hs.begin(), hs.end(), h), hs.end());
  if (!hs.empty()) return;
  if (f->second.deletePending) doubles_.erase(f->first);  // the last handle took the name with it
  files_.erase(f);
}

NTSTATUS NtfsModel::Renaming(HANDLE h, HANDLE dir, bool link) {
  Key target;
  if (!IdentityOf(dir, &target, nullptr)) return 0;
  std::lock_guard<std::mutex> lock(m_);
  auto o = opens_.find(h);
  // FileRenameInformation needs a handle opened with DELETE
  // (ZwSetInformationFile: "the caller must have DELETE access").
  if (!link && o != opens_.end() && !(o->second.access & DELETE)) return kAccessDenied;
  // The I/O manager opens the target folder first (IopOpenLinkOrRenameTarget:
  // FILE_WRITE_DATA, sharing read and write only on the strictest builds):
  // weighed like any open, a handle that holds the folder with DELETE, or
  // without sharing writes, refuses it.
  return ShareCheck(target, FILE_WRITE_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE);
}

NTSTATUS NtfsModel::Deleting(HANDLE h, ULONG flags, bool ex, bool* done) {
  if (NTSTATUS st = Deleting(h, flags, ex)) return st;
  // Where Windows would take the name away at once and Wine cannot, the
  // model does what NTFS does: the file is moved out of its folder into a
  // hidden one at the volume's root, and goes when its last handle closes.
  if (done && ex && (flags & kPosixSemantics) && PosixDeleteByHand(h)) *done = true;
  return 0;
}

NTSTATUS NtfsModel::Deleting(HANDLE h, ULONG flags, bool ex) {
  std::lock_guard<std::mutex> lock(m_);
  // FILE_DISPOSITION_INFORMATION_EX exists from Windows 10 1709 on; before,
  // NtSetInformationFile refuses the class.
  if (ex && !posixDelete_) return kInvalidInfoClass;
  auto o = opens_.find(h);
  if (o == opens_.end()) return 0;
  // FileDispositionInformation(Ex) needs a handle opened with DELETE
  // (ZwSetInformationFile).
  if (!(o->second.access & DELETE)) return kAccessDenied;
  const Key id = o->second.id;
  // A read-only file refuses deletion unless asked to ignore the attribute
  // (FILE_DISPOSITION_INFORMATION_EX: FILE_DISPOSITION_IGNORE_READONLY_ATTRIBUTE).
  if (auto d = doubles_.find(id);
      d != doubles_.end() && (d->second.attributes & FILE_ATTRIBUTE_READONLY) && !(ex && (flags & kIgnoreReadOnly)))
    return kCannotDelete;
  // A folder that still holds a name waiting for its last handle is not
  // empty (NTFS: STATUS_DIRECTORY_NOT_EMPTY).
  if (files_.at(id).folder)
    for (const auto& [key, s] : files_)
      if (s.deletePending && s.parent == id) return kDirectoryNotEmpty;
  return 0;
}

bool NtfsModel::PosixDeleteByHand(HANDLE h) {
  {
    std::lock_guard<std::mutex> lock(m_);
    auto o = opens_.find(h);
    if (o == opens_.end() || files_.at(o->second.id).folder || files_.at(o->second.id).handles.size() < 2) return false;
  }
  wchar_t path[MAX_PATH + 8];
  DWORD n = GetFinalPathNameByHandleW(h, path, MAX_PATH, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (n == 0 || n >= MAX_PATH) return false;
  std::wstring p(path, n);
  if (p.compare(0, 4, L"\\\\?\\") == 0) p = p.substr(4);
  const std::wstring aside = p.substr(0, 3) + L"$Deleted";
  CreateDirectoryW(aside.c_str(), nullptr);
  SetFileAttributesW(aside.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  wchar_t name[64];
  static unsigned counter = 0;
  swprintf(name, 64, L"\\%08lx.%u", GetCurrentProcessId(), ++counter);
  const std::wstring to = aside + name;
  std::vector<char> buf(sizeof(FILE_RENAME_INFO) + to.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buf.data());
  info->FileNameLength = static_cast<DWORD>(to.size() * sizeof(wchar_t));
  std::copy(to.begin(), to.end(), info->FileName);
  FILE_DISPOSITION_INFO d{TRUE};
  if (!SetFileInformationByHandle(h, FileRenameInfo, info, static_cast<DWORD>(buf.size())) ||
      !SetFileInformationByHandle(h, FileDispositionInfo, &d, sizeof d))
    return false;
  std::lock_guard<std::mutex> lock(m_);
  doubles_.erase(opens_.at(h).id);
  return true;
}

void NtfsModel::Deleted(HANDLE h, ULONG flags, bool ex) {
  std::lock_guard<std::mutex> lock(m_);
  auto o = opens_.find(h);
  if (o == opens_.end()) return;
  // POSIX semantics take the name away at once, whatever handles stay
  // open (FILE_DISPOSITION_INFORMATION_EX: FILE_DISPOSITION_POSIX_SEMANTICS).
  if (ex && (flags & kPosixSemantics)) {
    doubles_.erase(o->second.id);
    return;
  }
  files_.at(o->second.id).deletePending = true;
}

DWORD NtfsModel::Attributes(DWORD volume, ULONGLONG index, DWORD attributes, DWORD* tag) {
  std::lock_guard<std::mutex> lock(m_);
  if (doubles_.empty()) return attributes;
  auto d = doubles_.find({volume, index});
  if (d == doubles_.end()) return attributes;
  if (d->second.tag) {
    *tag = d->second.tag;
    attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  }
  return attributes | d->second.attributes;
}

void NtfsModel::AttributesSet(HANDLE h, DWORD attributes) {
  std::lock_guard<std::mutex> lock(m_);
  auto o = opens_.find(h);
  if (o == opens_.end()) return;
  if (auto d = doubles_.find(o->second.id); d != doubles_.end())
    d->second.attributes = (d->second.attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) | (attributes & FILE_ATTRIBUTE_READONLY);
}

bool NtfsModel::Stand(const std::string& path, DWORD attributes, DWORD tag) {
  const std::wstring w = win32::Widen(path);
  HANDLE h = CreateFileW((L"\\\\?\\" + w).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  Key id;
  const bool known = IdentityOf(h, &id, nullptr);
  CloseHandle(h);
  if (!known) return false;
  std::lock_guard<std::mutex> lock(m_);
  doubles_[id] = {attributes, tag};
  return true;
}

void NtfsModel::Forget() {
  std::lock_guard<std::mutex> lock(m_);
  doubles_.clear();
}

HANDLE NtfsModel::Hold(const std::string& path, ACCESS_MASK access, ULONG share, NTSTATUS* status) {
  const std::wstring w = win32::Widen(path);
  HANDLE h = CreateFileW((L"\\\\?\\" + w).c_str(), access, share, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (status) *status = h == INVALID_HANDLE_VALUE ? RtlGetLastNtStatus() : 0;
  if (h == INVALID_HANDLE_VALUE) return h;
  if (NTSTATUS st = Opened(h, nullptr, access, share)) {
    CloseHandle(h);
    if (status) *status = st;
    return INVALID_HANDLE_VALUE;
  }
  // Opened by its path, its folder is known by that path.
  const std::wstring folder = w.substr(0, w.find_last_of(L'\\'));
  HANDLE f = CreateFileW((L"\\\\?\\" + folder).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  Key parent, id;
  if (f != INVALID_HANDLE_VALUE) {
    if (IdentityOf(f, &parent, nullptr) && IdentityOf(h, &id, nullptr)) {
      std::lock_guard<std::mutex> lock(m_);
      files_[id].parent = parent;
    }
    CloseHandle(f);
  }
  return h;
}

void NtfsModel::Release(HANDLE h) {
  Closing(h);
  CloseHandle(h);
}

}  // namespace vz::test
