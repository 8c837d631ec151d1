// vaporizerw: runs the companion program beside it without a console
// window, for runs that nobody watches, such as the scheduled emptying.
// The companion program is a console program: started from the Task
// Scheduler it would open a console window on the user's desktop for as
// long as it runs. This one is a windows program, which opens none, and
// starts the other with CREATE_NO_WINDOW; its exit status is the other's.
#include <windows.h>
#include <shlwapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::wstring self(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, &self[0], static_cast<DWORD>(self.size()));
  if (n == 0 || n >= self.size()) return 1;
  self.resize(n);
  // By its full path beside this one: never a program the search path offers.
  const std::wstring program = self.substr(0, self.find_last_of(L'\\') + 1) + L"vaporizer.exe";
  std::wstring line = L"\"" + program + L"\" " + PathGetArgsW(GetCommandLineW());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &process))
    return 1;
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}
