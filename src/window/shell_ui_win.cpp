// The shell's user interface: every question and the progress display go
// to the module's own dialogs.
#include "window/shell_ui_win.h"

#include <windows.h>

#include "common/report_text.h"
#include "engine/ui_win.h"
#include "platform/win32/modal.h"
#include "settings/settings.h"
#include "store/send_ui_win.h"
#include "window/restore_ui_win.h"
#include "window/warnings_box_win.h"

namespace vz::win32 {
namespace {

class ShellUi : public UserInterface {
 public:
  bool Ask(Question kind, const std::string& title, const std::string& text) override {
    switch (kind) {
      case Question::Caution: return AskCaution(title, text);
      case Question::ConfirmSend: return AskConfirmSend(title, text);
      case Question::RecycleBinWarning: return AskRecycleBinWarning(title, text);
    }
    return false;
  }
  bool ConfirmReplace(const ReplaceQuestion& q) override { return AskConfirmReplace(q); }
  void ProgressBegin(std::size_t files, int passes) override { win32::ProgressBegin(files, passes); }
  void ProgressFile(std::size_t, const std::string& display) override { win32::ProgressFile(display); }
  void ProgressPass(int done, std::int64_t) override { win32::ProgressPass(done); }
  void ProgressFilesDone(std::size_t done) override { win32::ProgressFilesDone(done); }
  void ProgressEnd() override { win32::ProgressEnd(); }
  void TellProblems(const std::string& text) override {
    ModalMessageBox(BoxOwner(), text, "Vaporizer", MB_OK | MB_ICONWARNING);
  }
  // One line per drive; a drive whose warning the user asked not to be told
  // again stays quiet until the warning changes.
  void TellWarnings(const std::string& problems, const std::vector<DriveWarning>& warnings,
                    const std::string& verb) override {
    std::vector<const DriveWarning*> shown;
    std::vector<std::string> lines;
    for (const auto& w : warnings) {
      if (WarningSilenced(w.volumeId, w.text)) continue;
      shown.push_back(&w);
      lines.push_back(DriveWarningText(w, verb));
    }
    if (lines.empty()) {
      if (!problems.empty()) TellProblems(problems);
      return;
    }
    std::vector<bool> ticked = ShowWarningsBox(BoxOwner(), problems, lines);
    for (std::size_t i = 0; i < shown.size(); ++i)
      if (ticked[i]) SilenceWarning(shown[i]->volumeId, shown[i]->text);
  }
  void ProcessMessages() override {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
};

}  // namespace

UserInterface& ShellUserInterface() {
  static ShellUi ui;
  return ui;
}

}  // namespace vz::win32
