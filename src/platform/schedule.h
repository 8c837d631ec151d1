// The user's own scheduled emptying: "vaporizer empty --by-settings", daily
// and at logon, switched on and off by the user. On Windows a task of the
// user's own in the Task Scheduler, whose program is the windowless
// launcher beside the companion program; elsewhere the systemd user timer
// that the package installs.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vz {

// What a scheduled run is given.
constexpr const char* kScheduledArguments = "empty --by-settings";
// The systemd user units of the package.
constexpr const char* kEmptyingTimer = "vaporizer-emptying.timer";

struct EmptyingSchedule {
  bool on = false;
  std::string name;                   // the task's or the timer's name
  std::string command;                // what a run starts, as the system gives it back; empty when unknown
  std::vector<std::string> triggers;  // "daily", "at logon", ... as the system gives them back
  std::string note;                   // what the system could not give back, and why
};

// The schedule as the system has it; nullopt, with the reason in *why,
// when the system cannot be asked.
std::optional<EmptyingSchedule> ReadEmptyingSchedule(std::string* why);

// Switches the schedule on or off; switching it to what it is changes
// nothing. program: on Windows the program a run starts (the launcher);
// elsewhere unused. False, with the reason in *why, when the system refused.
bool SwitchEmptyingSchedule(bool on, const std::string& program, std::string* why);

// Where scheduled runs leave their one-line summaries, for the user to look.
std::string EmptyingLogPlace();
// Adds one summary line there. Under systemd a run's output is already in
// the journal, so outside Windows nothing more is written.
void AppendEmptyingLog(const std::string& line);

}  // namespace vz
