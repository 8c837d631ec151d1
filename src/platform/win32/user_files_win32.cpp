// The user's own files on Windows: the secret key sealed by DPAPI for the
// user, the data folder under %APPDATA%, and files of chained lines.
#include <windows.h>
#include <dpapi.h>
#include <shlobj.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/win32/wide.h"

namespace vz {
namespace {

using win32::Narrow;
using win32::SystemPath;
using win32::Widen;

constexpr std::size_t kKeyBytes = 32;

std::string LastError(const std::string& what) { return what + " (error " + std::to_string(GetLastError()) + ")"; }

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

bool ReadAll(HANDLE h, std::string& out) {
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(h, zero, nullptr, FILE_BEGIN)) return false;
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr)) {
    if (n == 0) return true;
    out.append(buf, n);
  }
  return false;
}

bool WriteAll(HANDLE h, const std::string& data) {
  DWORD n = 0;
  return data.empty() || (WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &n, nullptr) && n == data.size());
}

std::optional<std::string> AppData(std::string* why) {
  wchar_t path[MAX_PATH];
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) {
    *why = "the application-data folder is unknown";
    return std::nullopt;
  }
  std::string dir = Narrow(path) + "\\Vaporizer";
  if (!CreateDirectoryW(SystemPath(dir).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    *why = LastError("the folder " + dir + " cannot be made");
    return std::nullopt;
  }
  return dir;
}

// DPAPI opens the seal for the user who made it, on this machine or where
// the profile roams, and for nobody else.
std::optional<std::string> Unseal(const std::string& sealed, const std::string& path, std::string* why) {
  DATA_BLOB in{static_cast<DWORD>(sealed.size()), reinterpret_cast<BYTE*>(const_cast<char*>(sealed.data()))}, out{};
  if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) {
    *why = LastError("the key " + path + " cannot be unsealed for this user");
    return std::nullopt;
  }
  std::string key(reinterpret_cast<const char*>(out.pbData), out.cbData);
  SecureZeroMemory(out.pbData, out.cbData);
  LocalFree(out.pbData);
  if (key.size() != kKeyBytes) {
    *why = "the key " + path + " is damaged";
    return std::nullopt;
  }
  return key;
}

}  // namespace

std::optional<std::string> UserSecretKey(std::string* why, bool make) {
  std::string ignored;
  if (!why) why = &ignored;
  auto dir = AppData(why);
  if (!dir) return std::nullopt;
  const std::string path = *dir + "\\receipt.key";
  if (auto sealed = ReadUserFile(path, nullptr)) return Unseal(*sealed, path, why);
  if (!make) {
    *why = "there is no key " + path;
    return std::nullopt;
  }
  char raw[kKeyBytes];
  DATA_BLOB in{sizeof raw, reinterpret_cast<BYTE*>(raw)}, out{};
  if (!RandomBytes(raw, sizeof raw) ||
      !CryptProtectData(&in, L"Vaporizer receipts", nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) {
    SecureZeroMemory(raw, sizeof raw);
    *why = LastError("the key " + path + " cannot be made");
    return std::nullopt;
  }
  SecureZeroMemory(raw, sizeof raw);
  std::string sealed(reinterpret_cast<const char*>(out.pbData), out.cbData);
  LocalFree(out.pbData);
  // Written whole under a name of its own, then moved into place without
  // replacing: two first uses at once both end up with the first key.
  const std::string tmp = path + "." + std::to_string(GetCurrentProcessId()) + ".new";
  bool ok = false;
  {
    Handle h(CreateFileW(SystemPath(tmp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr));
    ok = h.ok() && WriteAll(h.get(), sealed) && FlushFileBuffers(h.get());
  }
  if (ok) MoveFileExW(SystemPath(tmp).c_str(), SystemPath(path).c_str(), MOVEFILE_WRITE_THROUGH);
  DeleteFileW(SystemPath(tmp).c_str());
  auto stored = ReadUserFile(path, why);
  if (!stored) return std::nullopt;
  return Unseal(*stored, path, why);
}

std::optional<std::string> UserKeyFolder(std::string* why) {
  std::string ignored;
  return AppData(why ? why : &ignored);
}

std::optional<std::string> UserDataFolder(std::string* why) {
  std::string ignored;
  return AppData(why ? why : &ignored);
}

bool AppendLocked(const std::string& hostPath, const std::function<std::string(const std::string& contents)>& make,
                  std::string* why) {
  std::string ignored;
  if (!why) why = &ignored;
  Handle h(CreateFileW(SystemPath(hostPath).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!h.ok()) {
    *why = LastError(hostPath + " cannot be opened for writing");
    return false;
  }
  if (GetFileType(h.get()) != FILE_TYPE_DISK) {
    *why = hostPath + " is not a plain file";
    return false;
  }
  OVERLAPPED whole{};
  if (!LockFileEx(h.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    *why = LastError(hostPath + " cannot be locked");
    return false;
  }
  std::string text;
  bool ok = ReadAll(h.get(), text);
  if (!ok) *why = LastError(hostPath + " cannot be read");
  if (ok) {
    std::string add = make(text);
    LARGE_INTEGER zero{};
    ok = SetFilePointerEx(h.get(), zero, nullptr, FILE_END) && WriteAll(h.get(), add) && FlushFileBuffers(h.get());
    if (!ok) *why = LastError(hostPath + " cannot be written");
  }
  UnlockFileEx(h.get(), 0, MAXDWORD, MAXDWORD, &whole);
  return ok;
}

std::optional<std::string> ReadUserFile(const std::string& hostPath, std::string* why) {
  Handle h(CreateFileW(SystemPath(hostPath).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string text;
  if (h.ok() && GetFileType(h.get()) == FILE_TYPE_DISK && ReadAll(h.get(), text)) return text;
  if (why) *why = LastError(hostPath + " cannot be read");
  return std::nullopt;
}

}  // namespace vz
