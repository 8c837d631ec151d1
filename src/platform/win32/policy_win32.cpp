// Machine policy on Windows: the values under the policy keys that Group
// Policy and device management write, the machine's before the user's. Only
// administrators and SYSTEM may write either key.
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/wide.h"

namespace vz {
namespace {

void ReadKey(HKEY hive, const char* name, PolicyRead& out) {
  HKEY h = nullptr;
  // The 64-bit view, where the policy tools write, also for the 32-bit build.
  LONG r = RegOpenKeyExW(hive, L"Software\\Policies\\Vaporizer", 0, KEY_READ | KEY_WOW64_64KEY, &h);
  if (r == ERROR_FILE_NOT_FOUND) return;
  if (r != ERROR_SUCCESS) {
    out.warnings.push_back(std::string("the policy key ") + name + " cannot be read (error " + std::to_string(r) +
                           "): ignored");
    return;
  }
  PolicySource source{name, {}};
  for (DWORD i = 0;; ++i) {
    wchar_t valueName[256];
    DWORD nameSize = 256, type = 0, size = 0;
    r = RegEnumValueW(h, i, valueName, &nameSize, nullptr, &type, nullptr, &size);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS) continue;  // a name too long for any policy of ours
    std::vector<BYTE> data(size + sizeof(wchar_t));
    DWORD got = size;
    if (RegQueryValueExW(h, valueName, nullptr, &type, data.data(), &got) != ERROR_SUCCESS) continue;
    KvValue v;
    if (type == REG_DWORD && got == 4) {
      v.type = KvType::Dword;
      std::memcpy(&v.dword, data.data(), 4);
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
      v.type = KvType::String;
      std::wstring text(got / sizeof(wchar_t), L'\0');
      std::memcpy(&text[0], data.data(), text.size() * sizeof(wchar_t));
      while (!text.empty() && text.back() == L'\0') text.pop_back();
      v.text = win32::Narrow(text);
    } else {
      v.type = KvType::Other;
    }
    source.values.emplace_back(win32::Narrow(std::wstring(valueName, nameSize)), v);
  }
  RegCloseKey(h);
  out.sources.push_back(std::move(source));
}

}  // namespace

PolicyRead Platform::ReadPolicy() {
  PolicyRead out;
  ReadKey(HKEY_LOCAL_MACHINE, "HKLM\\Software\\Policies\\Vaporizer", out);
  ReadKey(HKEY_CURRENT_USER, "HKCU\\Software\\Policies\\Vaporizer", out);
  return out;
}

}  // namespace vz
