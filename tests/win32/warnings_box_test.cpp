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
#include "window/warnings_box_win.h"
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

// The box takes the DPI of its owner's monitor and opens in the middle of
// that monitor's work area (which a taskbar makes smaller than the screen:
// here a work area set apart from the screen's middle), every text in the
// shell's message font at that DPI and shown whole.
TEST_F(WarningsBoxTest, TheBoxTakesItsOwnersMonitorDpiFontAndWorkArea) {
  RECT savedWork{};
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &savedWork, 0));
  RECT work{savedWork.left + 40, savedWork.top + 10, savedWork.left + 40 + 700, savedWork.top + 10 + 560};
  SystemParametersInfoA(SPI_SETWORKAREA, 0, &work, 0);
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, work.left + 20, work.top + 20,
                               300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  const UINT dpi = MonitorDpiFor(owner);
  const RECT expectedWork = MonitorWorkArea(owner);
  bool seen = false;
  DialogDriver driver([&](HWND box) {
    seen = true;
    RECT r{}, client{};
    GetWindowRect(box, &r);
    GetClientRect(box, &client);
    EXPECT_EQ(client.right, MulDiv(480, static_cast<int>(dpi), 96)) << "480 pixels at 96 DPI, at " << dpi;
    EXPECT_NEAR((r.left + r.right) / 2, (expectedWork.left + expectedWork.right) / 2, 1);
    EXPECT_NEAR((r.top + r.bottom) / 2, (expectedWork.top + expectedWork.bottom) / 2, 1);
    int texts = 0;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      char cls[32] = {};
      GetClassNameA(c, cls, sizeof cls);
      if (lstrcmpiA(cls, "Static") == 0 && (GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
      ++texts;
      SCOPED_TRACE(WindowText(c));
      EXPECT_TRUE(HasMessageFontAt(c, dpi));
    }
    EXPECT_EQ(texts, 4) << "problems, warning, its check box, OK";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  win32::ShowWarningsBox(owner, "1 item could not be vaporized", {"C: 2 items were vaporized with a warning"});
  SystemParametersInfoA(SPI_SETWORKAREA, 0, &savedWork, 0);
  DestroyWindow(owner);
  EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace vz::test
