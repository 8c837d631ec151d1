// Test code that must run in a process of its own, to be killed half way
// or to race other processes: a named role, started by the test as a child
// process of the same test program (or of the other build's, on Windows,
// where the 32- and 64-bit programs must share one store).
//
//   const bool kRegistered = RegisterChildRole("send", [](const std::string& arg) { ... });
//   ChildProcess c = StartChild("send", "3");
//   int code = c.Wait();
#pragma once

#include <functional>
#include <string>

namespace vz::test {

using ChildRole = std::function<void(const std::string& arg)>;
bool RegisterChildRole(const std::string& name, ChildRole role);

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ~ChildProcess();
  // The exit code: 0 when the role returned, -1 when the child could not be
  // started or did not end normally.
  int Wait();

 private:
  friend ChildProcess StartChild(const std::string&, const std::string&, bool);
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int pid_ = -1;
#endif
};

// otherBuild: run the child from the test program of the other bitness
// when one stands beside this one (C:\vz\i686 beside C:\vz\x86_64); this
// program's own otherwise.
ChildProcess StartChild(const std::string& role, const std::string& arg, bool otherBuild = false);
// Whether a test program of the other bitness stands beside this one.
bool OtherBuildPresent();

// Called first thing in main: runs the role this process was started for
// and returns its exit code, or -1 when it is no child.
int RunChildRoleIfAsked();

}  // namespace vz::test
