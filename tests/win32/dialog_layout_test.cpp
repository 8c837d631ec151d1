// The module's questions and lists as the screen shows them: in the shell's
// message font, a long path shown whole (wrapped) or shortened in its middle,
// never cut.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "common/ui.h"
#include "platform/win32/wide.h"
#include "store/send_ui_win.h"
#include "win32/folder_window.h"
#include "win32/shell_support.h"
#include "window/confirm_replace_win.h"
#include "window/item_properties_win.h"
#include "window/restore_ui_win.h"

namespace vz::test {
namespace {

// The shell's message font ("NONCLIENTMETRICS", learn.microsoft.com/
// windows/win32/api/winuser/ns-winuser-nonclientmetricsw).
bool HasMessageFont(HWND control) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTW font{};
  auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  return SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) && handle &&
         GetObjectW(handle, sizeof font, &font) && std::wcscmp(font.lfFaceName, metrics.lfMessageFont.lfFaceName) == 0 &&
         font.lfHeight == metrics.lfMessageFont.lfHeight;
}

// A label's text, broken where an edit control breaks it, fits its box,
// and the label breaks it that way.
void ExpectShownWhole(HWND label) {
  SCOPED_TRACE(WindowText(label));
  EXPECT_TRUE(GetWindowLongW(label, GWL_STYLE) & SS_EDITCONTROL) << "a word longer than a line is broken, not cut";
  RECT box{};
  GetClientRect(label, &box);
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  std::wstring text = win32::Widen(WindowText(label));
  RECT needed{0, 0, box.right, 0};
  DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  EXPECT_LE(needed.bottom, box.bottom) << "every line of the text inside the label";
  EXPECT_TRUE(HasMessageFont(label));
}

int Top(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  return r.top;
}
int Bottom(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  return r.bottom;
}

const std::string kDeep = "D:\\" + std::string(90, 'x') + "\\" + std::string(90, 'y') + "\\report.doc";

// The send question (at 150 % the path used to end at the box's edge).
TEST(DialogLayoutTest, TheSendQuestionShowsALongPathWholeAboveItsButtons) {
  bool seen = false;
  DialogDriver driver([&](HWND box) {
    seen = true;
    HWND label = GetDlgItem(box, 101);
    ExpectShownWhole(label);
    EXPECT_GE(Top(GetDlgItem(box, IDYES)), Bottom(label));
    EXPECT_TRUE(HasMessageFont(GetDlgItem(box, IDYES)));
    RECT client{};
    GetClientRect(box, &client);
    MapWindowPoints(box, nullptr, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_LE(Bottom(GetDlgItem(box, IDNO)), client.bottom);
    Answer(box, false);
  });
  EXPECT_FALSE(win32::AskConfirmSend("Confirm Item Send", "Are you sure you want to send '" + kDeep + "' to the Vaporizer?"));
  EXPECT_TRUE(seen);
}

TEST(DialogLayoutTest, TheReplaceQuestionShowsALongPathWholeAndMovesTheRestDown) {
  ReplaceQuestion q;
  q.originalPath = kDeep;
  q.thisText = "This folder already contains a file called " + kDeep;
  q.existingBytes = "1000 bytes";
  q.storedBytes = "5 bytes";
  bool seen = false;
  DialogDriver driver([&](HWND box) {
    seen = true;
    ExpectShownWhole(GetDlgItem(box, win32::kIdLThis));
    EXPECT_GE(Top(GetDlgItem(box, win32::kIdLabel1)), Bottom(GetDlgItem(box, win32::kIdLThis)));
    Answer(box, false);
  });
  EXPECT_FALSE(win32::AskConfirmReplace(q));
  EXPECT_TRUE(seen);
}

// The item properties: a name or folder longer than its line loses its
// middle to an ellipsis ("SS_PATHELLIPSIS", learn.microsoft.com/windows/
// win32/controls/static-control-styles), so the drive and the last name stay.
using ItemLayoutTest = FolderWindowTest;

TEST_F(ItemLayoutTest, TheListSpeaksTheShellsFontAndPropertiesShortenPathsInTheMiddle) {
  Open();
  EXPECT_TRUE(HasMessageFont(list_)) << "not a fixed MS Sans Serif";
  std::string stored = StoreFile(kDeep, "D1.doc", "text");
  DWORD folderStyle = 0, nameStyle = 0;
  DialogDriver driver([&](HWND dialog) {
    for (HWND sheet = GetWindow(dialog, GW_CHILD); sheet; sheet = GetWindow(sheet, GW_HWNDNEXT)) {
      if (HWND folder = GetDlgItem(sheet, win32::kIdLFolder)) folderStyle = GetWindowLongW(folder, GWL_STYLE);
      if (HWND name = GetDlgItem(sheet, win32::kIdLFileName)) nameStyle = GetWindowLongW(name, GWL_STYLE);
    }
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  win32::ShowItemProperties(hwnd_, nullptr, {MakeId(kDeep, stored)});
  EXPECT_EQ(folderStyle & SS_ELLIPSISMASK, static_cast<DWORD>(SS_PATHELLIPSIS));
  EXPECT_EQ(nameStyle & SS_ELLIPSISMASK, static_cast<DWORD>(SS_PATHELLIPSIS));
}

}  // namespace
}  // namespace vz::test
