// The Restart Manager knows which processes hold a file open: a session of
// its own, the file registered, the list asked for (RmStartSession,
// RmRegisterResources, RmGetList,
// https://learn.microsoft.com/windows/win32/rstmgr/using-restart-manager-with-a-secondary-installer).
#include "platform/win32/holders_win32.h"

#include <windows.h>
#include <restartmanager.h>

#include <vector>

#include "platform/win32/wide.h"

namespace vz::win32 {

std::string ProgramsHolding(const std::string& path) {
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (RmStartSession(&session, 0, key) != ERROR_SUCCESS) return {};
  std::string names;
  std::wstring file = SystemPath(path);
  LPCWSTR files[] = {file.c_str()};
  if (RmRegisterResources(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
    std::vector<RM_PROCESS_INFO> apps(8);
    UINT needed = 0, got = static_cast<UINT>(apps.size());
    DWORD reasons = 0;
    DWORD e = RmGetList(session, &needed, &got, apps.data(), &reasons);
    if (e == ERROR_MORE_DATA && needed > 0 && needed < 1024) {
      apps.resize(needed);
      got = needed;
      e = RmGetList(session, &needed, &got, apps.data(), &reasons);
    }
    if (e == ERROR_SUCCESS)
      for (UINT i = 0; i < got && i < apps.size(); ++i) {
        std::wstring name(apps[i].strAppName, wcsnlen(apps[i].strAppName, CCH_RM_MAX_APP_NAME));
        if (name.empty() || apps[i].Process.dwProcessId == GetCurrentProcessId()) continue;
        if (!names.empty()) names += ", ";
        names += Narrow(name);
      }
  }
  RmEndSession(session);
  return names;
}

std::string HoldersSaid(const std::string& path) {
  std::string names = ProgramsHolding(path);
  return names.empty() ? names : " (" + names + ")";
}

}  // namespace vz::win32
