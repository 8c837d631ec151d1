// Accounts and permissions on Windows: the process token's user is the
// account, and security descriptors say what others may do. Store folders
// get access lists built from explicit entries in the system's own
// descriptor language (SDDL); what is made inside them inherits them.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace vz {
namespace {

using win32::Handle;
using win32::Narrow;
using win32::SystemPath;
using win32::Widen;

struct LocalFreer {
  void operator()(void* p) const { LocalFree(p); }
};
using LocalMemory = std::unique_ptr<void, LocalFreer>;

// The path's last name itself, a link as the link.
Handle OpenItself(const std::string& path, DWORD access) {
  HANDLE h = CreateFileW(SystemPath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  return Handle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

std::string SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return "an unknown account";
  LocalMemory hold(text);
  return Narrow(text);
}

// "Everyone (S-1-1-0)", or the SID alone where it has no name here.
std::string AccountText(PSID sid) {
  wchar_t name[256], domain[256];
  DWORD n = 256, d = 256;
  SID_NAME_USE use;
  if (!LookupAccountSidW(nullptr, sid, name, &n, domain, &d, &use)) return SidText(sid);
  std::string who = (d && domain[0] ? Narrow(domain) + "\\" : std::string()) + Narrow(name);
  return who + " (" + SidText(sid) + ")";
}

// This account: the user of the process's token, for the process's life.
struct Account {
  std::vector<BYTE> sid;
  std::string text;
};
const Account& ThisAccount() {
  static const Account account = [] {
    Account a;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return a;
    Handle hold(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buf(size);
    if (!size || !GetTokenInformation(token, TokenUser, buf.data(), size, &size)) return a;
    PSID sid = reinterpret_cast<TOKEN_USER*>(buf.data())->User.Sid;
    a.sid.assign(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
    a.text = SidText(sid);
    return a;
  }();
  return account;
}

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) { return IsWellKnownSid(sid, type) != FALSE; }

// This account, SYSTEM and the Administrators: whoever else may act on a
// store of this account's.
bool Trusted(PSID sid) {
  const Account& me = ThisAccount();
  return (!me.sid.empty() && EqualSid(sid, const_cast<BYTE*>(me.sid.data()))) ||
         IsWellKnown(sid, WinLocalSystemSid) || IsWellKnown(sid, WinBuiltinAdministratorsSid);
}

constexpr ACCESS_MASK kChange = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES | DELETE |
                                WRITE_DAC | WRITE_OWNER;
constexpr ACCESS_MASK kRead = FILE_READ_DATA | FILE_READ_EA | FILE_EXECUTE;
// Whoever may change the permissions may give itself the rest.
constexpr ACCESS_MASK kRemoveInside = FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;

// Ordinary users may add a folder (their own store), pass through and
// read attributes: "this folder only", so nothing inherits it.
constexpr const wchar_t* kSharedDacl = L"D:P(A;;0x1000a4;;;AU)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;FA;;;CO)";

std::wstring PrivateDacl() {
  return L"D:P(A;OICI;FA;;;" + Widen(ThisAccount().text) + L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
}

struct Descriptor {
  LocalMemory sd;
  PACL dacl = nullptr;
};
Descriptor FromSddl(const std::wstring& sddl) {
  Descriptor d;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr)) return d;
  d.sd.reset(sd);
  BOOL present = FALSE, defaulted = FALSE;
  if (!GetSecurityDescriptorDacl(sd, &present, &d.dacl, &defaulted) || !present) d.dacl = nullptr;
  return d;
}

bool SetProtectedDacl(HANDLE h, const std::wstring& sddl) {
  Descriptor d = FromSddl(sddl);
  return d.dacl && SetSecurityInfo(h, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                   nullptr, nullptr, d.dacl, nullptr) == ERROR_SUCCESS;
}

bool CreateFolderWith(const std::string& path, const std::wstring& sddl) {
  Descriptor d = FromSddl(sddl);
  if (!d.sd) return false;
  SECURITY_ATTRIBUTES sa{sizeof sa, d.sd.get(), FALSE};
  return CreateDirectoryW(SystemPath(path).c_str(), &sa) != 0;
}

}  // namespace

std::string Platform::AccountName() { return ThisAccount().text; }

std::optional<Ownership> Platform::OwnershipOf(const std::string& path) {
  Handle h = OpenItself(path, READ_CONTROL | FILE_READ_ATTRIBUTES);
  if (!h) return std::nullopt;
  Ownership o;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h.get(), &info)) return std::nullopt;
  o.folder = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
  o.link = info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
  DWORD flags = 0;
  if (GetVolumeInformationByHandleW(h.get(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
      !(flags & FILE_PERSISTENT_ACLS)) {
    // FAT and its kin keep no permissions: every account may do anything
    // there, and separate stores only keep the accounts' items apart.
    o.ownerTrusted = true;
    return o;
  }
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetSecurityInfo(h.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                      nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS)
    return std::nullopt;
  LocalMemory hold(sd);
  o.owner = owner ? SidText(owner) : std::string();
  o.ownerTrusted = owner && Trusted(owner);
  if (!dacl) {
    o.othersMayWrite = o.othersMayRead = o.othersMayRemove = "it has no access list, which lets everyone do anything";
    return o;
  }
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) || (ace->AceFlags & INHERIT_ONLY_ACE)) continue;
    // Entries that deny take nothing away here: the judgement errs on
    // the side of "others may".
    if (ace->AceType != ACCESS_ALLOWED_ACE_TYPE && ace->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) continue;
    auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
    PSID sid = &allowed->SidStart;
    // CREATOR OWNER and CREATOR GROUP stand for others only in what
    // inherits the entry; OWNER RIGHTS is the owner.
    if (Trusted(sid) || IsWellKnown(sid, WinCreatorOwnerSid) || IsWellKnown(sid, WinCreatorGroupSid) ||
        (o.ownerTrusted && IsWellKnown(sid, WinCreatorOwnerRightsSid)))
      continue;
    ACCESS_MASK mask = allowed->Mask;
    MapGenericMask(&mask, &mapping);
    const std::string who = AccountText(sid);
    if ((mask & kChange) && o.othersMayWrite.empty()) o.othersMayWrite = who + " may change it";
    if ((mask & kRead) && o.othersMayRead.empty()) o.othersMayRead = who + " may read it";
    if ((mask & kRemoveInside) && o.othersMayRemove.empty()) o.othersMayRemove = who + " may remove what it holds";
  }
  return o;
}

bool Platform::MakePrivateFolder(const std::string& path) { return CreateFolderWith(path, PrivateDacl()); }

bool Platform::MakePrivate(const std::string& path) {
  Handle h = OpenItself(path, READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!h || !GetFileInformationByHandle(h.get(), &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  return SetProtectedDacl(h.get(), PrivateDacl());
}

bool Platform::MakeSharedFolder(const std::string& path) {
  // Under its final list its maker could no longer mark it hidden: it is
  // made with one more entry that lets its maker do that, which goes once
  // it is marked. Its owner keeps the right to change its list, as every
  // owner does.
  std::wstring sddl = kSharedDacl;
  if (!CreateFolderWith(path, sddl + L"(A;;0x100180;;;" + Widen(ThisAccount().text) + L")")) return false;
  SetFileAttributesW(SystemPath(path).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  Handle h = OpenItself(path, READ_CONTROL | WRITE_DAC);
  if (h) SetProtectedDacl(h.get(), sddl);
  return true;
}

}  // namespace vz
