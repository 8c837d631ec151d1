// The shell's user interface: every question goes to the module's own
// dialogs, on the window thread that asks.
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
  // The progress of a batch shows in the window of its own job, which runs
  // it off the window thread (engine/batch_job_win.h): nothing here.
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
};

}  // namespace

UserInterface& ShellUserInterface() {
  static ShellUi ui;
  return ui;
}

}  // namespace vz::win32
