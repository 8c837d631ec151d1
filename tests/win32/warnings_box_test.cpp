// The box after a batch from the shell: the medium's warnings one line per
// drive, each with "Don't tell me again for this drive", kept per user and
// per volume until the warning changes. A check box is clicked as the user
// clicks it (BM_CLICK: https://learn.microsoft.com/windows/win32/controls/bm-click)
// and read as the dialog reads it (IsDlgButtonChecked:
// https://learn.microsoft.com/windows/win32/api/winuser/nf-winuser-isdlgbuttonchecked).
#include <gtest/gtest.h>

#include "common/report_text.h"
#include "common/ui.h"
#include "support/drives.h"
#include "window/shell_ui_win.h"
#include "win32/shell_support.h"

namespace vz::test {
namespace {

class WarningsBoxTest : public DrivesTest {};

TEST_F(WarningsBoxTest, OneLinePerDriveAndADriveStaysQuietUntilItsWarningChanges) {
  std::vector<DriveWarning> warnings = {{"C:", "NTFS serial 1", "the overwrite cannot be relied on: it is flash", 1000},
                                        {"D:", "NTFS serial 2", "the overwrite cannot be relied on: a virtual disk", 3}};
  ScopedUi shell(win32::ShellUserInterface());
  std::vector<std::string> seen;
  bool tick = true;
  DialogDriver driver([&](HWND box) {
    seen.push_back(DialogMessage(box));
    // The first drive's box, once: it is the first control that reads so.
    HWND first = FindWindowExA(box, nullptr, "Button", "Don't tell me again for this drive");
    EXPECT_NE(first, nullptr);
    if (tick && first) SendMessageA(first, BM_CLICK, 0, 0);
    tick = false;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  Ui().TellWarnings("1 item could not be vaporized:\n\nfailed: C:\\x: in use", warnings, "vaporized");
  Ui().TellWarnings("", warnings, "vaporized");
  warnings[0].text += " (and now also compressed)";
  Ui().TellWarnings("", warnings, "vaporized");
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_NE(seen[0].find("failed: C:\\x: in use"), std::string::npos) << seen[0];
  EXPECT_NE(seen[0].find("C: 1000 items were vaporized with a warning: the overwrite cannot be relied on: it is flash"),
            std::string::npos) << seen[0];
  EXPECT_NE(seen[0].find("D: 3 items were vaporized with a warning"), std::string::npos);
  EXPECT_EQ(seen[1].find("C: "), std::string::npos) << "C: was silenced: " << seen[1];
  EXPECT_NE(seen[1].find("D: 3 items"), std::string::npos);
  EXPECT_NE(seen[2].find("now also compressed"), std::string::npos) << "a changed warning is told again";
  // Another user's settings, another memory.
  ResetSettingsStore();
  warnings.pop_back();
  Ui().TellWarnings("", warnings, "vaporized");
  EXPECT_EQ(seen.size(), 4u);
}

}  // namespace
}  // namespace vz::test
