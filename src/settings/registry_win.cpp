#include "settings/registry_win.h"

#include <cstdio>
#include <vector>

#include "platform/win32/shell_support_win.h"
#include "platform/win32/wide.h"

namespace vz::win32 {


std::string SystemMessage(DWORD code) {
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::string text;
  if (n && buf) text = Narrow(std::wstring(buf, n));
  if (buf) LocalFree(buf);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (text.empty()) {
    char fallback[40];
    std::snprintf(fallback, sizeof fallback, "System error 0x%08lX", static_cast<unsigned long>(code));
    text = fallback;
  }
  return text;
}

GUID ToGuid(const ClassId& id) {
  GUID g{};
  g.Data1 = id.data1;
  g.Data2 = id.data2;
  g.Data3 = id.data3;
  for (int i = 0; i < 8; ++i) g.Data4[i] = id.data4[i];
  return g;
}

std::string ClsidText(const ClassId& id) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", id.data1, id.data2, id.data3,
                id.data4[0], id.data4[1], id.data4[2], id.data4[3], id.data4[4], id.data4[5], id.data4[6],
                id.data4[7]);
  return buf;
}

RegKey& RegKey::operator=(RegKey&& o) noexcept {
  if (this != &o) {
    Close();
    h_ = o.h_;
    o.h_ = nullptr;
  }
  return *this;
}

LONG RegKey::Create(HKEY root, const std::string& path, REGSAM view) {
  Close();
  return RegCreateKeyExW(root, Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_READ | KEY_WRITE | KEY_CREATE_SUB_KEY | view, nullptr, &h_, nullptr);
}

LONG RegKey::Open(HKEY root, const std::string& path, REGSAM access) {
  Close();
  return RegOpenKeyExW(root, Widen(path).c_str(), 0, access, &h_);
}

void RegKey::Close() {
  if (h_) RegCloseKey(h_);
  h_ = nullptr;
}

LONG RegKey::SetString(const std::string& name, const std::string& value) {
  std::wstring text = Widen(value);
  return RegSetValueExW(h_, name.empty() ? nullptr : Widen(name).c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

LONG RegKey::SetBinary(const std::string& name, const void* data, DWORD size) {
  return RegSetValueExW(h_, name.empty() ? nullptr : Widen(name).c_str(), 0, REG_BINARY,
                        static_cast<const BYTE*>(data), size);
}

std::string RegKey::ReadString(const std::string& name) const {
  DWORD type = 0, size = 0;
  std::wstring wideName = Widen(name);
  const wchar_t* n = name.empty() ? nullptr : wideName.c_str();
  if (RegQueryValueExW(h_, n, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) return {};
  std::vector<wchar_t> buf(size / sizeof(wchar_t) + 2, L'\0');
  if (RegQueryValueExW(h_, n, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) != ERROR_SUCCESS) return {};
  return Narrow(buf.data());  // up to the first NUL, whether stored with one or not
}

bool TryWriteString(HKEY root, const std::string& path, const std::string& name, const std::string& value) {
  RegKey key;
  return key.Create(root, path) == ERROR_SUCCESS && key.SetString(name, value) == ERROR_SUCCESS;
}

void WriteString(HKEY root, const std::string& path, const std::string& name, const std::string& value) {
  if (!TryWriteString(root, path, name, value)) throw ShellError(kRegistryEntryError);
}

std::string ModuleFilePath() {
  std::vector<wchar_t> buf(MAX_PATH + 1);
  for (;;) {
    DWORD n = GetModuleFileNameW(ModuleInstance(), buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size() - 1) return Narrow(std::wstring(buf.data(), n));
    buf.resize(buf.size() * 2);
  }
}

std::string ShortPathOf(const std::string& path) {
  std::wstring wide = Widen(path);
  DWORD needed = GetShortPathNameW(wide.c_str(), nullptr, 0);
  if (needed == 0) return path;
  std::wstring buf(needed, L'\0');
  DWORD n = GetShortPathNameW(wide.c_str(), &buf[0], needed);
  if (n == 0 || n >= needed) return path;
  buf.resize(n);
  return Narrow(buf);
}

std::string ServerPathOf(const std::string& path) {
  return path.find(' ') != std::string::npos ? ShortPathOf(path) : path;
}

std::string ClassesKey(const std::string& path) { return "Software\\Classes\\" + path; }
std::string FolderClassKey() { return "CLSID\\" + ClsidText(kClsidVaporizerFolder); }
std::string FolderIconKey() { return FolderClassKey() + "\\DefaultIcon"; }
std::string UserFolderExplorerKey() {
  return "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\" + FolderClassKey();
}
std::string UserFolderIconKey() { return UserFolderExplorerKey() + "\\DefaultIcon"; }

void RemoveUserClassKey() {
  // A 32-bit caller on 64-bit Windows sees the user's classes of its own
  // view; the shell reads the 64-bit one. Both go.
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    RegDeleteKeyExW(HKEY_CURRENT_USER, Widen(ClassesKey(FolderIconKey())).c_str(), view, 0);
    RegDeleteKeyExW(HKEY_CURRENT_USER, Widen(ClassesKey(FolderClassKey())).c_str(), view, 0);
  }
}

}  // namespace vz::win32
