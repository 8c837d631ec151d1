// The companion program's user interface: questions on the terminal, a
// progress line on standard error.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "common/ui.h"

namespace vz::cli {

bool StdinIsTerminal();
bool StderrIsTerminal();

// A program that answers the questions instead of the terminal (a dialog of
// the desktop): run with the question's title and text as its two
// arguments, its exit status 0 is Yes and anything else No. Empty: none.
void SetAskProgram(const std::string& program);
bool HasAskProgram();

class TerminalUi : public UserInterface {
 public:
  // assumeYes: every question is answered without asking: Yes, except that
  // a file in the way of a restore is replaced only with `replace`.
  explicit TerminalUi(bool assumeYes, bool replace = false) : assumeYes_(assumeYes), replace_(replace) {}
  // True when a replace question was answered No without asking.
  bool DeclinedReplace() const { return declinedReplace_; }

  bool Ask(Question kind, const std::string& title, const std::string& text) override;
  bool ConfirmReplace(const ReplaceQuestion& q) override;
  void ProgressBegin(std::size_t files, int passes) override;
  void ProgressFile(std::size_t index, const std::string& display) override;
  void ProgressPass(int passesDone, std::int64_t bytesWritten) override;
  void ProgressFilesDone(std::size_t done) override;
  void ProgressEnd() override;

 private:
  bool AskLine(const std::string& prompt);
  // Asks the ask program, or the terminal with the prompt.
  bool Question(const std::string& title, const std::string& text, const std::string& prompt);
  void Draw();

  bool assumeYes_;
  bool replace_;
  bool declinedReplace_ = false;
  bool show_ = false;
  std::size_t files_ = 0, done_ = 0;
  int passes_ = 0, passesDone_ = 0;
  std::string current_;
  std::int64_t bytes_ = 0;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace vz::cli
