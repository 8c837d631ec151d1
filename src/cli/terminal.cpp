#include "cli/terminal.h"

#include <cstdio>
#include <iostream>

#include "cli/paths.h"
#include "common/text.h"
#include "window/restore.h"

#ifdef _WIN32
#include <windows.h>
#else
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

bool TerminalUi::Ask(Question, const std::string& title, const std::string& text) {
  if (assumeYes_) return true;
  if (show_) std::cerr << "\n";
  std::cerr << title << "\n" << ForTerminal(text) << "\n";
  return AskLine("Answer");
}

bool TerminalUi::ConfirmReplace(const ReplaceQuestion& q) {
  if (assumeYes_) {
    declinedReplace_ = declinedReplace_ || !replace_;
    return replace_;
  }
  std::cerr << "Confirm File Replace\n"
            << kThisFolderContains << Shown(q.originalPath) << "\n"
            << "Would you like to replace the existing file\n"
            << "    " << q.existingBytes << (q.existingDate.empty() ? "" : ", modified on " + q.existingDate) << "\n"
            << "with this one?\n"
            << "    " << q.storedBytes << (q.storedDate.empty() ? "" : ", modified on " + q.storedDate) << "\n";
  return AskLine("Replace");
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
