// "register" and "unregister": the shell extension's registration from the
// command line, as the Windows installer runs it. Windows only; elsewhere
// the program has no such commands.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

namespace vz::cli {

class RegistrationCommands {
 public:
  explicit RegistrationCommands(CLI::App& app);
  // The exit status when one of the two commands was given.
  std::optional<int> Run() const;

 private:
  CLI::App* register_ = nullptr;
  CLI::App* unregister_ = nullptr;
  std::string dll_;
  bool cleanUp_ = false;
  int fileMenu_ = 1, sendTo_ = 1;  // the installer's choices: 0 takes the entry away again
};

}  // namespace vz::cli
