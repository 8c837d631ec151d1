#include "common/ui.h"

#include "common/report_text.h"

namespace vz {
namespace {
class NoUi : public UserInterface {
 public:
  bool Ask(Question, const std::string&, const std::string&) override { return false; }
  bool ConfirmReplace(const ReplaceQuestion&) override { return false; }
};
NoUi g_noUi;
UserInterface* g_ui = &g_noUi;
}  // namespace

void UserInterface::TellWarnings(const std::string& problems, const std::vector<DriveWarning>& warnings,
                                 const std::string& undoneVerb) {
  std::string text = problems;
  for (const auto& w : warnings) text += (text.empty() ? "" : "\n\n") + DriveWarningText(w, undoneVerb);
  if (!text.empty()) TellProblems(text);
}

UserInterface& Ui() { return *g_ui; }
void SetDefaultUi(UserInterface* ui) { g_ui = ui ? ui : &g_noUi; }
ScopedUi::ScopedUi(UserInterface& ui) : previous_(g_ui) { g_ui = &ui; }
ScopedUi::~ScopedUi() { g_ui = previous_; }

}  // namespace vz
