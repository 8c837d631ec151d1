// Paths as the user types them and as the core speaks them, and names as
// they are shown.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace vz::cli {

// A path given on the command line in the system's form (C:\Work\a.txt),
// or nullopt with the reason in *why. On POSIX resolved the way the system
// resolves it (".." after the real parent folder, the last name as given);
// on Windows made full against the current folder and read as text, every
// name as typed (the intake then refuses one that Win32 reads otherwise).
std::optional<std::string> ToSystem(const std::string& arg, std::string* why);
// While one lives, ToSystem resolves each folder that several arguments
// share once for all of them (on POSIX; nothing to share on Windows).
class ResolvingMany {
 public:
  ResolvingMany();
  ~ResolvingMany();
  ResolvingMany(const ResolvingMany&) = delete;
  ResolvingMany& operator=(const ResolvingMany&) = delete;

 private:
  struct Scope;
  std::unique_ptr<Scope> scope_;
};
// A path of the system's form as the user knows it (a POSIX path on POSIX),
// byte for byte.
std::string HostForm(const std::string& systemPath);
// The same, fit for a terminal: control characters and bytes that are not
// text written as \xNN.
std::string Shown(const std::string& systemPath);
// Any text fit for a terminal, the same way.
std::string Printable(const std::string& text);
// Every byte but letters, digits, "-._~/" as %XX, as in the Path line of a
// FreeDesktop trash info file.
std::string PercentEncoded(const std::string& bytes);

}  // namespace vz::cli
