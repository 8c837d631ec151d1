#include "cli/terminal.h"

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <vector>

#include "cli/paths.h"
#include "common/text.h"
#include "window/restore.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vz::cli {

#ifdef _WIN32
// A console answers GetConsoleMode; the NUL device, a pipe or a file do not
// (the C runtime's isatty takes any character device for a terminal).
bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}
bool StdinIsTerminal() { return IsConsole(STD_INPUT_HANDLE); }
bool StderrIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }
#else
bool StdinIsTerminal() { return isatty(fileno(stdin)) != 0; }
bool StderrIsTerminal() { return isatty(fileno(stderr)) != 0; }
#endif

namespace {
std::string g_askProgram;

// The ask program's answer; No when it cannot be run.
bool AskProgramSaysYes(const std::string& title, const std::string& text) {
#ifdef _WIN32
  (void)title;
  (void)text;
  return false;
#else
  std::vector<char*> argv{const_cast<char*>(g_askProgram.c_str()), const_cast<char*>(title.c_str()),
                          const_cast<char*>(text.c_str()), nullptr};
  pid_t pid = 0;
  if (::posix_spawnp(&pid, g_askProgram.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    std::cerr << "vaporizer: " << Printable(g_askProgram) << " could not be run: the answer is No\n";
    return false;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

// The dialogs' texts use bare CRs between paragraphs; a terminal wants
// LFs, and the names in between shown escaped.
std::string ForTerminal(const std::string& text) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t cr; (cr = text.find('\r', start)) != std::string::npos; start = cr + 1)
    out += Printable(text.substr(start, cr - start)) + "\n";
  return out + Printable(text.substr(start));
}
}  // namespace

bool TerminalUi::AskLine(const std::string& prompt) {
  if (assumeYes_) return true;
  std::cerr << prompt << " [y/N] " << std::flush;
  std::string line;
  if (!std::getline(std::cin, line)) {
    std::cerr << "\n";
    return false;
  }
  line = ToUpper(Trim(line));
  return line == "Y" || line == "YES";
}

void SetAskProgram(const std::string& program) { g_askProgram = program; }
bool HasAskProgram() { return !g_askProgram.empty(); }

bool TerminalUi::Question(const std::string& title, const std::string& text, const std::string& prompt) {
  if (!g_askProgram.empty()) {
    // Line feeds between paragraphs, as dialogs show them.
    std::string lf = text;
    for (auto& c : lf)
      if (c == '\r') c = '\n';
    return AskProgramSaysYes(title, lf);
  }
  if (show_) std::cerr << "\n";
  std::cerr << title << "\n" << ForTerminal(text) << "\n";
  return AskLine(prompt);
}

bool TerminalUi::Ask(vz::Question, const std::string& title, const std::string& text) {
  if (assumeYes_) return true;
  return Question(title, text, "Answer");
}

bool TerminalUi::ConfirmReplace(const ReplaceQuestion& q) {
  if (assumeYes_) {
    declinedReplace_ = declinedReplace_ || !replace_;
    return replace_;
  }
  return Question("Confirm File Replace",
                  kThisFolderContains + Shown(q.originalPath) + "\rWould you like to replace the existing file\r    " +
                      q.existingBytes + (q.existingDate.empty() ? "" : ", modified on " + q.existingDate) +
                      "\rwith this one?\r    " + q.storedBytes +
                      (q.storedDate.empty() ? "" : ", modified on " + q.storedDate),
                  "Replace");
}

void TerminalUi::ProgressBegin(std::size_t files, int passes) {
  show_ = StderrIsTerminal();
  files_ = files;
  passes_ = passes;
  done_ = 0;
  passesDone_ = 0;
  bytes_ = 0;
  start_ = std::chrono::steady_clock::now();
  Draw();
}

void TerminalUi::ProgressFile(std::size_t, const std::string& display) {
  current_ = Shown(display);
  passesDone_ = 0;
  Draw();
}

void TerminalUi::ProgressPass(int passesDone, std::int64_t bytesWritten) {
  passesDone_ = passesDone;
  bytes_ += bytesWritten;
  Draw();
}

void TerminalUi::ProgressFilesDone(std::size_t done) {
  done_ = done;
  Draw();
}

void TerminalUi::ProgressEnd() {
  if (show_) std::cerr << "\r\033[K" << std::flush;
  show_ = false;
}

void TerminalUi::Draw() {
  if (!show_) return;
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  double rate = secs > 0 ? static_cast<double>(bytes_) / secs / (1024.0 * 1024.0) : 0;
  std::string name = current_;
  if (name.size() > 40) name = "..." + name.substr(name.size() - 37);
  char line[256];
  std::snprintf(line, sizeof line, "Vaporizing %zu/%zu  pass %d/%d  %.1f MB/s  %s", done_, files_, passesDone_,
                passes_, rate, name.c_str());
  std::cerr << "\r\033[K" << line << std::flush;
}

}  // namespace vz::cli
