// "retention": the scheduled emptying by the settings, switched on and off
// and shown as the system has it.
#include <iostream>

#include "cli/commands.h"
#include "engine/emptying.h"
#include "platform/schedule.h"
#include "settings/settings.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/wide.h"
#endif

namespace vz::cli {
namespace {

// The program a scheduled run starts. On Windows the windowless launcher
// beside this program, which runs it without a console window; elsewhere
// the package's service names the installed program itself.
std::string ScheduledProgram(std::string* why) {
#ifdef _WIN32
  std::wstring path(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
  if (n == 0 || n >= path.size()) return {};
  path.resize(n);
  path = path.substr(0, path.find_last_of(L'\\') + 1) + L"vaporizerw.exe";
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *why = win32::Narrow(path) + " is missing; the scheduled runs start it";
    return {};
  }
  return win32::Narrow(path);
#else
  (void)why;
  return "vaporizer";
#endif
}

void Show(const EmptyingSchedule& s) {
  std::cout << (s.on ? "on" : "off") << ": " << s.name << "\n";
  if (!s.on) return;
  if (!s.command.empty()) std::cout << "  runs:  " << s.command << "\n";
  if (!s.triggers.empty()) {
    std::cout << "  when: ";
    for (std::size_t i = 0; i < s.triggers.size(); ++i) std::cout << (i ? ", " : " ") << s.triggers[i];
    std::cout << "\n";
  }
  if (!s.note.empty()) std::cout << "  note:  " << s.note << "\n";
  std::cout << "  rules: " << DescribeRule(RuleOfSettings(LoadEmptyingSettings())) << "\n"
            << "  log:   " << EmptyingLogPlace() << "\n";
}

}  // namespace

int Retention(const std::string& action) {
  std::string why;
  if (action != "status") {
    const bool on = action == "enable";
    std::string program = on ? ScheduledProgram(&why) : std::string();
    if ((on && program.empty()) || !SwitchEmptyingSchedule(on, program, &why)) {
      std::cerr << "vaporizer: " << why << "\n";
      return kExitItems;
    }
    if (on && !LoadEmptyingSettings().Any())
      std::cout << "The settings empty nothing yet: set 'vaporizer settings --empty-after DAYS' or "
                   "'--store-limit MB'.\n";
  }
  auto schedule = ReadEmptyingSchedule(&why);
  if (!schedule) {
    std::cerr << "vaporizer: the schedule could not be read: " << why << "\n";
    return kExitItems;
  }
  Show(*schedule);
  return kExitDone;
}

}  // namespace vz::cli
