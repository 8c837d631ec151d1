#include "common/ui.h"

#include <atomic>

#include "common/report_text.h"

namespace vz {
namespace {
class NoUi : public UserInterface {
 public:
  bool Ask(Question, const std::string&, const std::string&) override { return false; }
  bool ConfirmReplace(const ReplaceQuestion&) override { return false; }
};
NoUi g_noUi;
std::atomic<UserInterface*> g_ui{&g_noUi};
// A batch that runs off the window thread talks to an interface of its own.
thread_local UserInterface* t_ui = nullptr;
}  // namespace

void UserInterface::TellWarnings(const std::string& problems, const std::vector<DriveWarning>& warnings,
                                 const std::string& undoneVerb) {
  std::string text = problems;
  for (const auto& w : warnings) text += (text.empty() ? "" : "\n\n") + DriveWarningText(w, undoneVerb);
  if (!text.empty()) TellProblems(text);
}

UserInterface& Ui() { return t_ui ? *t_ui : *g_ui.load(); }
void SetDefaultUi(UserInterface* ui) { g_ui = ui ? ui : &g_noUi; }
ScopedUi::ScopedUi(UserInterface& ui) : previous_(t_ui) { t_ui = &ui; }
ScopedUi::~ScopedUi() { t_ui = previous_; }

}  // namespace vz
