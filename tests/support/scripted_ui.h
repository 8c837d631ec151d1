// A user interface for tests: answers from a script, and a record of every
// question and progress step it was shown.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "common/ui.h"

namespace vz::test {

struct Asked {
  Question kind;
  std::string title;
  std::string text;
};

class ScriptedUi : public UserInterface {
 public:
  // Answers given in order; once they run out, the default answer.
  std::deque<bool> answers;
  bool defaultAnswer = true;
  std::deque<bool> replaceAnswers;
  bool defaultReplace = true;

  std::vector<Asked> asked;
  std::vector<ReplaceQuestion> replaceAsked;
  std::vector<std::string> progressFiles;
  std::vector<int> progressPasses;
  std::size_t progressTotal = 0;
  int progressPassCount = 0;
  std::size_t filesDone = 0;
  int begun = 0, ended = 0;
  std::vector<std::string> told;  // the texts of the problem boxes
  std::function<bool()> cancel;   // the user's Cancel, asked between passes and files

  bool Ask(Question kind, const std::string& title, const std::string& text) override {
    asked.push_back({kind, title, text});
    if (answers.empty()) return defaultAnswer;
    bool a = answers.front();
    answers.pop_front();
    return a;
  }
  bool ConfirmReplace(const ReplaceQuestion& q) override {
    replaceAsked.push_back(q);
    if (replaceAnswers.empty()) return defaultReplace;
    bool a = replaceAnswers.front();
    replaceAnswers.pop_front();
    return a;
  }
  void ProgressBegin(std::size_t files, int passes) override {
    ++begun;
    progressTotal = files;
    progressPassCount = passes;
  }
  void ProgressFile(std::size_t, const std::string& display) override { progressFiles.push_back(display); }
  void ProgressPass(int done, std::int64_t) override { progressPasses.push_back(done); }
  void ProgressFilesDone(std::size_t done) override { filesDone = done; }
  void ProgressEnd() override { ++ended; }
  void TellProblems(const std::string& text) override { told.push_back(text); }
  // The drives' warnings as the shell's box gets them, kept apart from the
  // text; the default joins them to it.
  bool keepWarnings = false;
  std::vector<DriveWarning> warned;
  void TellWarnings(const std::string& problems, const std::vector<DriveWarning>& w, const std::string& verb) override {
    if (!keepWarnings) return UserInterface::TellWarnings(problems, w, verb);
    warned.insert(warned.end(), w.begin(), w.end());
    if (!problems.empty()) told.push_back(problems);
  }
  bool Cancelled() override { return cancel && cancel(); }
};

}  // namespace vz::test
