#include "support/child_process.h"

#include <cstdio>
#include <cstdlib>
#include <map>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vz::test {
namespace {

constexpr const char* kVariable = "VZ_TEST_CHILD";

std::map<std::string, ChildRole>& Roles() {
  static std::map<std::string, ChildRole> roles;
  return roles;
}

[[noreturn]] void RunRole(const std::string& request) {
  std::size_t space = request.find(' ');
  auto it = Roles().find(request.substr(0, space));
  int code = 99;
  if (it != Roles().end()) {
    it->second(space == std::string::npos ? std::string() : request.substr(space + 1));
    code = 0;
  }
  std::fflush(nullptr);
  std::_Exit(code);
}

#ifdef _WIN32
std::string SelfPath() {
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  return std::string(self, n);
}

std::string OtherBuildPath() {
  std::string self = SelfPath();
  std::size_t file = self.find_last_of('\\');
  std::size_t dir = file == std::string::npos ? std::string::npos : self.find_last_of('\\', file - 1);
  if (dir == std::string::npos) return {};
  std::string arch = self.substr(dir + 1, file - dir - 1);
  std::string other = arch == "x86_64" ? "i686" : arch == "i686" ? "x86_64" : "";
  if (other.empty()) return {};
  std::string path = self.substr(0, dir + 1) + other + self.substr(file);
  return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? std::string() : path;
}
#endif

}  // namespace

bool RegisterChildRole(const std::string& name, ChildRole role) {
  Roles()[name] = std::move(role);
  return true;
}

int RunChildRoleIfAsked() {
  const char* request = std::getenv(kVariable);
  if (!request || !*request) return -1;
  RunRole(request);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept { *this = std::move(other); }

#ifdef _WIN32

bool OtherBuildPresent() { return !OtherBuildPath().empty(); }

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  std::swap(handle_, other.handle_);
  return *this;
}
ChildProcess::~ChildProcess() {
  if (handle_) CloseHandle(handle_);
}

int ChildProcess::Wait() {
  if (!handle_) return -1;
  WaitForSingleObject(handle_, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(handle_, &code);
  CloseHandle(handle_);
  handle_ = nullptr;
  return static_cast<int>(code);
}

ChildProcess StartChild(const std::string& role, const std::string& arg, bool otherBuild) {
  ChildProcess child;
  std::string program = otherBuild ? OtherBuildPath() : std::string();
  if (program.empty()) program = SelfPath();
  // The child takes a copy of the environment as it is at its start.
  std::string request = role + " " + arg;
  SetEnvironmentVariableA(kVariable, request.c_str());
  std::string cmd = "\"" + program + "\" --gtest_filter=-*";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  BOOL ok = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  const DWORD error = GetLastError();
  SetEnvironmentVariableA(kVariable, nullptr);
  if (!ok) {
    std::printf("  %s could not be started (error %lu)\n", cmd.c_str(), error);
    return child;
  }
  CloseHandle(pi.hThread);
  child.handle_ = pi.hProcess;
  return child;
}

#else

bool OtherBuildPresent() { return false; }

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  std::swap(pid_, other.pid_);
  return *this;
}
ChildProcess::~ChildProcess() { Wait(); }

int ChildProcess::Wait() {
  if (pid_ < 0) return -1;
  int status = 0;
  pid_t got = waitpid(pid_, &status, 0);
  pid_ = -1;
  return got > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The child is a fork: it shares this process's drives and settings as
// they stand, with nothing to set up again.
ChildProcess StartChild(const std::string& role, const std::string& arg, bool) {
  ChildProcess child;
  std::fflush(nullptr);  // or the child would print what the parent still holds
  pid_t pid = fork();
  if (pid == 0) RunRole(role + " " + arg);
  child.pid_ = pid;
  return child;
}

#endif

}  // namespace vz::test
