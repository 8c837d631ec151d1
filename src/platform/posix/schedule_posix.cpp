// The scheduled emptying as the systemd user timer of the package, switched
// with systemctl --user. A run's output goes to the user's journal.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/text.h"
#include "platform/schedule.h"

extern char** environ;

namespace vz {
namespace {

struct Run {
  int status = -1;     // the exit status; -1 when it could not be started
  std::string output;  // standard output and error, together
};

// Runs systemctl --user with the arguments, found on the PATH.
Run Systemctl(std::vector<std::string> args) {
  args.insert(args.begin(), {"systemctl", "--user"});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Run run;
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, "systemctl", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe[1]);
  char buf[4096];
  for (ssize_t n; rc == 0 && ((n = ::read(pipe[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR));)
    if (n > 0) run.output.append(buf, static_cast<std::size_t>(n));
  ::close(pipe[0]);
  if (rc != 0) {
    run.output = std::string("systemctl could not be started: ") + std::strerror(rc);
    return run;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string FirstLine(const std::string& text) { return Trim(text.substr(0, text.find('\n'))); }

}  // namespace

std::optional<EmptyingSchedule> ReadEmptyingSchedule(std::string* why) {
  // is-enabled answers 0 for "enabled" and 1 for "disabled"; anything else
  // (no user manager to ask, units not installed) has no answer.
  Run run = Systemctl({"is-enabled", kEmptyingTimer});
  const std::string state = FirstLine(run.output);
  if (run.status < 0 || (state != "enabled" && state != "disabled")) {
    if (why) *why = state.empty() ? "systemctl --user gave no answer" : state;
    return std::nullopt;
  }
  EmptyingSchedule s;
  s.name = kEmptyingTimer;
  s.on = state == "enabled";
  return s;
}

bool SwitchEmptyingSchedule(bool on, const std::string&, std::string* why) {
  Run run = Systemctl({on ? "enable" : "disable", "--now", kEmptyingTimer});
  if (run.status == 0) return true;
  if (why) *why = "systemctl --user " + std::string(on ? "enable" : "disable") + " failed: " + FirstLine(run.output);
  return false;
}

std::string EmptyingLogPlace() { return "the journal: journalctl --user -u vaporizer-emptying"; }

void AppendEmptyingLog(const std::string&) {}

}  // namespace vz
