// The few questions and the progress display that the core needs from a
// user. The shell answers them with its dialogs, the companion program on
// the terminal, tests from a script.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/report.h"

namespace vz {

enum class Question {
  Caution,            // "Please use caution" before anything is vaporized
  ConfirmSend,        // sending a dropped selection to the store
  RecycleBinWarning,  // restoring items whose original place is a Recycle Bin folder
};

// One replace question of a restore: the existing file at the original path
// against the stored item.
struct ReplaceQuestion {
  std::string originalPath;
  std::string storedPath;
  int iconIndex = 0;
  std::string thisText;        // "This folder already contains a file called " + path
  std::string existingBytes;   // "1000 bytes"
  std::string existingDate;    // empty when it could not be read
  std::string storedBytes;
  std::string storedDate;
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // Yes/No; true only for Yes.
  virtual bool Ask(Question kind, const std::string& title, const std::string& text) = 0;
  virtual bool ConfirmReplace(const ReplaceQuestion& q) = 0;

  // Progress of a batch: files in total and passes per file are known up front.
  virtual void ProgressBegin(std::size_t /*files*/, int /*passes*/) {}
  virtual void ProgressFile(std::size_t /*index*/, const std::string& /*display*/) {}
  virtual void ProgressPass(int /*passesDone*/, std::int64_t /*bytesWritten*/) {}
  virtual void ProgressFilesDone(std::size_t /*done*/) {}
  virtual void ProgressEnd() {}
  // Lets the caller's window messages run between files.
  virtual void ProcessMessages() {}
  // Whether the user asked the running batch to stop; asked between files
  // and between passes, never within one.
  virtual bool Cancelled() { return false; }

  // Tells what an operation started from the shell could not do (the text
  // of ProblemText); the shell shows a box, other callers print reports.
  virtual void TellProblems(const std::string& /*text*/) {}
  // The same with the medium's warnings, one per drive: the shell leaves
  // out those the user asked not to be told again, and lets them ask so.
  // Here they join the text.
  virtual void TellWarnings(const std::string& problems, const std::vector<DriveWarning>& warnings,
                            const std::string& undoneVerb);
};

// The interface the core talks to on this thread: the one a ScopedUi of
// this thread installed, else the default. Without either, every question
// is answered No: nothing is ever destroyed or moved without someone
// agreeing.
UserInterface& Ui();
// Installs an interface for the current scope on this thread and puts the
// previous back; other threads keep theirs.
class ScopedUi {
 public:
  explicit ScopedUi(UserInterface& ui);
  ~ScopedUi();
  ScopedUi(const ScopedUi&) = delete;
  ScopedUi& operator=(const ScopedUi&) = delete;

 private:
  UserInterface* previous_;
};
// The interface of every thread that installed none of its own.
void SetDefaultUi(UserInterface* ui);

}  // namespace vz
