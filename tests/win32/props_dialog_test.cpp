// The properties dialog: the settings tab alone through the module's export,
// and the dialog object with a General tab filled by its caller.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "handlers/props_dialog_win.h"
#include "resources/resource.h"
#include "support/drives.h"
#include "win32/shell_support.h"

namespace vz::test {
namespace {

const std::string kSettings = "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\";
constexpr int kApply = 1100, kPropsTabs = 1101;

HWND Tabs(HWND dialog) { return FindWindowExA(dialog, nullptr, WC_TABCONTROLA, nullptr); }
int TabCount(HWND dialog) { return static_cast<int>(SendMessageA(Tabs(dialog), TCM_GETITEMCOUNT, 0, 0)); }
std::string TabText(HWND dialog, int i) {
  char text[64] = {};
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(Tabs(dialog), TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
  return text;
}
// The tab sheet on show.
HWND VisibleSheet(HWND dialog) {
  for (HWND c = FindWindowExA(dialog, nullptr, "#32770", nullptr); c; c = FindWindowExA(dialog, c, "#32770", nullptr))
    if (IsWindowVisible(c)) return c;
  return nullptr;
}
std::string Text(HWND sheet, int id) { return WindowText(GetDlgItem(sheet, id)); }
bool Checked(HWND sheet, int id) { return SendDlgItemMessageA(sheet, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool ApplyEnabled(HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, kApply)) != FALSE; }
DWORD Stored(const char* name) { return RegDword(HKEY_CURRENT_USER, kSettings, name).value_or(0xDEAD); }

class PropsDialogTest : public ModuleTest {};

TEST_F(PropsDialogTest, ExportShowsTheSettingsTabAloneAndCancelSavesNothing) {
  RegPutDword(HKEY_CURRENT_USER, kSettings, "ShredCount", 25);
  bool stepRan = false;
  DialogDriver driver([&](HWND dialog) {
    stepRan = true;
    EXPECT_EQ(WindowText(dialog), "Properties: Vaporizer");
    EXPECT_EQ(TabCount(dialog), 2);
    EXPECT_EQ(TabText(dialog, 0), "General");
    EXPECT_EQ(TabText(dialog, 1), "Emptying") << "beside the settings tab";
    HWND sheet = VisibleSheet(dialog);
    EXPECT_NE(sheet, nullptr);
    EXPECT_EQ(SendDlgItemMessageA(sheet, 1002, TBM_GETPOS, 0, 0), 10);
    EXPECT_EQ(Text(sheet, 1003), "The files will be overwritten for 25 time(s)");
    EXPECT_FALSE(Checked(sheet, 1004));
    EXPECT_TRUE(Checked(sheet, 1050));
    EXPECT_TRUE(Checked(sheet, 1051));
    EXPECT_FALSE(ApplyEnabled(dialog)) << "opens with Apply disabled";
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
    EXPECT_EQ(Text(sheet, 1001), "Vaporization Options ");
    EXPECT_EQ(Text(sheet, 1050), "Add \"Send to Vaporizer\" option to right-click context menus");
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(module_->ShowVaporizerProps(nullptr), IDCANCEL);
  EXPECT_TRUE(stepRan);
  EXPECT_EQ(Stored("ShredCount"), 25u);
  EXPECT_EQ(Stored("ShowIndicator"), 0xDEADu) << "nothing was saved";
}

TEST_F(PropsDialogTest, SpaceOnACheckBoxEnablesApplyAndAppliedValuesOutliveCancel) {
  RegPutDword(HKEY_CURRENT_USER, kSettings, "ShredCount", 25);
  RegPutDword(HKEY_CURRENT_USER, kSettings, "InsertContext", 0);
  RegPutDword(HKEY_CURRENT_USER, kSettings, "InsertSendTo", 0);
  DialogDriver driver([&](HWND dialog) {
    HWND sheet = VisibleSheet(dialog);
    HWND box = GetDlgItem(sheet, 1004);
    SetFocus(box);
    SendMessageA(box, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageA(box, WM_CHAR, ' ', 0);
    SendMessageA(box, WM_KEYUP, VK_SPACE, 0xC0000001);
    EXPECT_TRUE(Checked(sheet, 1004));
    EXPECT_TRUE(ApplyEnabled(dialog));
    SendMessageA(GetDlgItem(dialog, kApply), BM_CLICK, 0, 0);
    EXPECT_FALSE(ApplyEnabled(dialog)) << "disabled again after the save";
    EXPECT_EQ(Stored("ShowIndicator"), 1u);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(module_->ShowVaporizerProps(nullptr), IDCANCEL);
  EXPECT_EQ(Stored("ShredCount"), 10u) << "Apply saved the slider's position";
  EXPECT_EQ(Stored("ShowIndicator"), 1u);
  EXPECT_EQ(Stored("InsertContext"), 0u);
  EXPECT_EQ(Stored("InsertSendTo"), 0u);
}

TEST_F(PropsDialogTest, MovingTheSliderAndOkSave) {
  DialogDriver driver([&](HWND dialog) {
    HWND sheet = VisibleSheet(dialog);
    HWND bar = GetDlgItem(sheet, 1002);
    SendMessageA(bar, TBM_SETPOS, TRUE, 4);
    SendMessageA(sheet, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 4), reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(Text(sheet, 1003), "The files will be overwritten for 4 time(s)");
    EXPECT_TRUE(ApplyEnabled(dialog));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(module_->ShowVaporizerProps(nullptr), IDOK);
  EXPECT_EQ(Stored("ShredCount"), 4u);
  EXPECT_EQ(Stored("InsertContext"), 1u);
}

// The Emptying tab is the Emptying page, driven as a sheet drives it: its
// changes enable Apply, and OK saves them whichever tab is shown.
TEST_F(PropsDialogTest, TheEmptyingTabSavesItsRulesOnOk) {
  RegPutDword(HKEY_CURRENT_USER, kSettings, "StoreLimitMB", 500);
  DialogDriver driver([&](HWND dialog) {
    TabCtrl_SetCurSel(Tabs(dialog), 1);
    NMHDR change{Tabs(dialog), kPropsTabs, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(dialog, WM_NOTIFY, kPropsTabs, reinterpret_cast<LPARAM>(&change));
    HWND sheet = VisibleSheet(dialog);
    EXPECT_EQ(Text(sheet, 1063), "500");
    EXPECT_FALSE(ApplyEnabled(dialog));
    SetWindowTextA(GetDlgItem(sheet, 1061), "45");
    EXPECT_TRUE(ApplyEnabled(dialog));
    TabCtrl_SetCurSel(Tabs(dialog), 0);
    SendMessageA(dialog, WM_NOTIFY, kPropsTabs, reinterpret_cast<LPARAM>(&change));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(module_->ShowVaporizerProps(nullptr), IDOK);
  EXPECT_EQ(Stored("EmptyAfterDays"), 45u);
  EXPECT_EQ(Stored("StoreLimitMB"), 500u);
}

// The settings in the shell's message font at the DPI of the monitor the
// dialog opens on, laid out for that DPI: the client area of 362 x 397
// pixels at 96 DPI scaled (wider where the font needs it), every text of the
// settings tab within its control, every control within the dialog.
TEST_F(PropsDialogTest, TheSettingsSpeakTheMessageFontAtTheMonitorsDpi) {
  bool seen = false;
  DialogDriver driver([&](HWND dialog) {
    seen = true;
    const UINT dpi = MonitorDpiFor(dialog);
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_GE(client.right, MulDiv(362, static_cast<int>(dpi), 96));
    EXPECT_EQ(client.bottom, MulDiv(397, static_cast<int>(dpi), 96));
    EXPECT_TRUE(HasMessageFontAt(GetDlgItem(dialog, IDOK), dpi));
    RECT apply{};
    GetWindowRect(GetDlgItem(dialog, kApply), &apply);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&apply), 2);
    EXPECT_LE(apply.right, client.right);
    HWND sheet = VisibleSheet(dialog);
    for (int id : {IDC_SHOW_PROGRESS, IDC_CONTEXT_MENU, IDC_SEND_TO, IDC_KEEP_RECEIPTS, IDC_PASSES_LABEL}) {
      HWND c = GetDlgItem(sheet, id);
      SCOPED_TRACE(WindowText(c));
      EXPECT_TRUE(HasMessageFontAt(c, dpi));
      RECT box{};
      GetClientRect(c, &box);
      HDC dc = GetDC(c);
      HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(c, WM_GETFONT, 0, 0)));
      SIZE text{};
      std::string t = WindowText(c);
      GetTextExtentPoint32A(dc, t.c_str(), static_cast<int>(t.size()), &text);
      SelectObject(dc, old);
      ReleaseDC(c, dc);
      // A check box's text starts after its box, about a text line in.
      EXPECT_LE(text.cx + (id == IDC_PASSES_LABEL ? 0 : text.cy + 4), box.right);
      EXPECT_LE(text.cy, box.bottom);
      RECT placed{};
      GetWindowRect(c, &placed);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&placed), 2);
      EXPECT_LE(placed.right, client.right);
    }
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  module_->ShowVaporizerProps(nullptr);
  EXPECT_TRUE(seen);
}

TEST_F(PropsDialogTest, ClosingByTheSystemMenuIsCancel) {
  DialogDriver driver([](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
  EXPECT_EQ(module_->ShowVaporizerProps(nullptr), IDCANCEL);
  EXPECT_EQ(Stored("ShredCount"), 0xDEADu);
}

TEST_F(PropsDialogTest, GeneralTabIsFilledByItsCallerAndTheSettingsStayUntouched) {
  RegPutDword(HKEY_CURRENT_USER, kSettings, "ShredCount", 6);
  win32::TFMProps dialog;
  HWND filled = nullptr;
  dialog.SetGeneralFiller([&](HWND sheet) {
    filled = sheet;
    CreateWindowExA(0, "STATIC", "(group of objects)", WS_CHILD | WS_VISIBLE, 69, 18, 244, 13, sheet,
                    reinterpret_cast<HMENU>(2001), nullptr, nullptr);
  });
  dialog.SetTabVisible(win32::TFMProps::Tab::Vaporizer, false);
  dialog.SetActiveTab(win32::TFMProps::Tab::General);
  dialog.SetCaption("Properties: (group of objects)");
  DialogDriver driver([&](HWND hwnd) {
    EXPECT_EQ(WindowText(hwnd), "Properties: (group of objects)");
    EXPECT_EQ(TabCount(hwnd), 1);
    HWND sheet = VisibleSheet(hwnd);
    EXPECT_EQ(sheet, filled);
    EXPECT_EQ(Text(sheet, 2001), "(group of objects)");
    EXPECT_FALSE(ApplyEnabled(hwnd));
    PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dialog.ShowModal(), IDOK);
  EXPECT_NE(filled, nullptr);
  EXPECT_EQ(Stored("ShredCount"), 6u) << "OK on the General tab saves no settings";
  EXPECT_EQ(Stored("ShowIndicator"), 0xDEADu);
}

TEST_F(PropsDialogTest, ExportLeavesTheCallersDialogUsable) {
  win32::TFMProps dialog;
  int shown = 0;
  DialogDriver driver([&](HWND hwnd) {
    ++shown;
    EXPECT_EQ(WindowText(hwnd), "Properties: Vaporizer");
    PostMessageA(hwnd, WM_COMMAND, shown == 1 ? IDOK : IDCANCEL, 0);
  });
  EXPECT_EQ(win32::ShowSettingsDialog(&dialog), IDOK);
  EXPECT_EQ(dialog.ActiveTab(), win32::TFMProps::Tab::Vaporizer);
  EXPECT_EQ(dialog.ShowModal(), IDCANCEL) << "shown again by its owner";
  EXPECT_EQ(shown, 2);
}

}  // namespace
}  // namespace vz::test
