#include "settings/registry_win.h"

#include <cstdio>
#include <vector>

namespace vz::win32 {

HINSTANCE ModuleInstance();

std::string SystemMessage(DWORD code) {
  char* buf = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<char*>(&buf), 0, nullptr);
  std::string text;
  if (n && buf) text.assign(buf, n);
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

LONG RegKey::Create(HKEY root, const std::string& path) {
  Close();
  return RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_READ | KEY_WRITE | KEY_CREATE_SUB_KEY, nullptr, &h_, nullptr);
}

LONG RegKey::Open(HKEY root, const std::string& path, REGSAM access) {
  Close();
  return RegOpenKeyExA(root, path.c_str(), 0, access, &h_);
}

void RegKey::Close() {
  if (h_) RegCloseKey(h_);
  h_ = nullptr;
}

LONG RegKey::SetString(const std::string& name, const std::string& value) {
  return RegSetValueExA(h_, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
}

LONG RegKey::SetBinary(const std::string& name, const void* data, DWORD size) {
  return RegSetValueExA(h_, name.empty() ? nullptr : name.c_str(), 0, REG_BINARY, static_cast<const BYTE*>(data),
                        size);
}

std::string RegKey::ReadString(const std::string& name) const {
  DWORD type = 0, size = 0;
  const char* n = name.empty() ? nullptr : name.c_str();
  if (RegQueryValueExA(h_, n, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) return {};
  std::vector<char> buf(size + 1, '\0');
  if (RegQueryValueExA(h_, n, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) != ERROR_SUCCESS) return {};
  return std::string(buf.data());  // up to the first NUL, whether stored with one or not
}

bool TryWriteString(HKEY root, const std::string& path, const std::string& name, const std::string& value) {
  RegKey key;
  return key.Create(root, path) == ERROR_SUCCESS && key.SetString(name, value) == ERROR_SUCCESS;
}

void WriteString(HKEY root, const std::string& path, const std::string& name, const std::string& value) {
  if (!TryWriteString(root, path, name, value)) throw ShellError(kRegistryEntryError);
}

std::string ModuleFilePath() {
  std::vector<char> buf(MAX_PATH + 1);
  for (;;) {
    DWORD n = GetModuleFileNameA(ModuleInstance(), buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size() - 1) return std::string(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

std::string ShortPathOf(const std::string& path) {
  char buf[MAX_PATH + 1];
  DWORD n = GetShortPathNameA(path.c_str(), buf, sizeof buf);
  if (n == 0 || n > MAX_PATH) return path;
  return std::string(buf, n);
}

std::string ServerPathOf(const std::string& path) {
  return path.find(' ') != std::string::npos ? ShortPathOf(path) : path;
}

std::string ClassesKey(const std::string& path) { return "Software\\Classes\\" + path; }
std::string FolderClassKey() { return "CLSID\\" + ClsidText(kClsidVaporizerFolder); }
std::string FolderIconKey() { return FolderClassKey() + "\\DefaultIcon"; }
std::string UserFolderIconKey() { return ClassesKey(FolderIconKey()); }

}  // namespace vz::win32
