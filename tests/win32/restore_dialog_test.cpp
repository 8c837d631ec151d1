// The restore dialogs answered on the test's own thread: a CBT hook reads
// the real window when it is activated and then presses one of its
// buttons (or keys) by posted messages.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "common/ui.h"
#include "store/store.h"
#include "support/drives.h"
#include "window/confirm_replace_win.h"
#include "window/restore.h"
#include "window/restore_ui_win.h"

namespace vz::win32 {
namespace {

struct Seen {
  int activations = 0;
  std::string className, caption;
  RECT client{};
  std::map<int, std::string> texts;
  std::map<int, RECT> places;  // in client coordinates
  int defaultButton = 0;       // the child drawn as the default push button
  int focused = 0;
  bool firstIcon = false, secondIcon = false;
  LRESULT defId = 0;
  LONG_PTR style = 0, exStyle = 0;
};

Seen g_seen;
std::function<void(HWND)> g_answer;
HHOOK g_hook = nullptr;

std::string TextOf(HWND wnd) {
  char buf[1024] = {};
  GetWindowTextA(wnd, buf, sizeof buf);
  return buf;
}

BOOL CALLBACK ReadChild(HWND child, LPARAM lp) {
  HWND dlg = reinterpret_cast<HWND>(lp);
  int id = GetDlgCtrlID(child);
  g_seen.texts[id] = TextOf(child);
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
  g_seen.places[id] = r;
  char cls[32] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (_stricmp(cls, "Button") == 0 && (GetWindowLongPtrA(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
    g_seen.defaultButton = id;
  return TRUE;
}

HWND g_dialog = nullptr;

// Reads the dialog once its modal loop runs, when every text is in place.
void CALLBACK ReadAndAnswer(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HWND wnd = g_dialog;
  if (!IsWindow(wnd)) return;
  char cls[64] = {};
  GetClassNameA(wnd, cls, sizeof cls);
  g_seen.className = cls;
  g_seen.caption = TextOf(wnd);
  GetClientRect(wnd, &g_seen.client);
  EnumChildWindows(wnd, ReadChild, reinterpret_cast<LPARAM>(wnd));
  g_seen.firstIcon = SendDlgItemMessageA(wnd, kIdIFirst, STM_GETICON, 0, 0) != 0;
  g_seen.secondIcon = SendDlgItemMessageA(wnd, kIdISecond, STM_GETICON, 0, 0) != 0;
  g_seen.defId = SendMessageA(wnd, DM_GETDEFID, 0, 0);
  g_seen.focused = GetDlgCtrlID(GetFocus());
  g_seen.style = GetWindowLongPtrA(wnd, GWL_STYLE);
  g_seen.exStyle = GetWindowLongPtrA(wnd, GWL_EXSTYLE);
  if (g_answer) g_answer(wnd);
}

LRESULT CALLBACK CbtProc(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_ACTIVATE) {
    HWND wnd = reinterpret_cast<HWND>(wp);
    char cls[64] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (std::string(cls) == "#32770" && g_seen.activations++ == 0) {
      g_dialog = wnd;
      SetTimer(nullptr, 0, 10, ReadAndAnswer);
    }
  }
  return CallNextHookEx(g_hook, code, wp, lp);
}

class RestoreDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen = Seen{};
    g_answer = nullptr;
    g_hook = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
    ASSERT_NE(g_hook, nullptr);
  }
  void TearDown() override {
    UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
    g_answer = nullptr;
  }

  static ReplaceQuestion Question() {
    ReplaceQuestion q;
    q.originalPath = "D:\\Work & Play\\a.txt";
    q.storedPath = "D:\\VAPORIZE\\D1.txt";
    q.iconIndex = FileIconIndex();
    q.thisText = std::string(kThisFolderContains) + q.originalPath;
    q.existingBytes = "1000 bytes";
    q.existingDate = "Wednesday, July 28, 1999,  3:58:56 PM";
    q.storedBytes = "3500 bytes";
    q.storedDate = "Sunday, June 15, 2003, 10:20:30 AM";
    return q;
  }

  static int FileIconIndex() {
    SHFILEINFOA info{};
    SHGetFileInfoA("a.txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                   SHGFI_SYSICONINDEX | SHGFI_LARGEICON | SHGFI_USEFILEATTRIBUTES);
    return info.iIcon;
  }

  static int Px(int v) {
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    return MulDiv(v, dpi, 96);
  }

  void ExpectPlace(int id, int left, int top, int width = -1, int height = -1) {
    ASSERT_TRUE(g_seen.places.count(id)) << "control " << id;
    RECT r = g_seen.places[id];
    EXPECT_EQ(r.left, Px(left)) << "control " << id;
    EXPECT_EQ(r.top, Px(top)) << "control " << id;
    if (width >= 0) {
      EXPECT_EQ(r.right - r.left, Px(width)) << "control " << id;
    }
    if (height >= 0) {
      EXPECT_EQ(r.bottom - r.top, Px(height)) << "control " << id;
    }
  }
};

void Press(HWND dlg, int id) {
  PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

TEST_F(RestoreDialogTest, ConfirmReplaceShowsTheFormAndYesConsents) {
  g_answer = [](HWND dlg) { Press(dlg, kIdBYes); };

  EXPECT_TRUE(AskConfirmReplace(Question()));

  ASSERT_EQ(g_seen.activations, 1);
  EXPECT_EQ(g_seen.caption, "Confirm File Replace");
  EXPECT_EQ(g_seen.client.right - g_seen.client.left, Px(418));
  EXPECT_EQ(g_seen.client.bottom - g_seen.client.top, Px(226));
  EXPECT_TRUE(g_seen.style & WS_SYSMENU);
  EXPECT_FALSE(g_seen.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)) << "no other border icons";

  EXPECT_EQ(g_seen.texts[kIdLThis], "This folder already contains a file called D:\\Work & Play\\a.txt");
  EXPECT_EQ(g_seen.texts[kIdLabel1], "Would you like to replace the existing file");
  EXPECT_EQ(g_seen.texts[kIdLBytes1], "1000 bytes");
  EXPECT_EQ(g_seen.texts[kIdLModified1], "Wednesday, July 28, 1999,  3:58:56 PM");
  EXPECT_EQ(g_seen.texts[kIdLabel2], "with this one?");
  EXPECT_EQ(g_seen.texts[kIdLBytes2], "3500 bytes");
  EXPECT_EQ(g_seen.texts[kIdLModified2], "Sunday, June 15, 2003, 10:20:30 AM");
  EXPECT_EQ(g_seen.texts[kIdBYes], "&Yes");
  EXPECT_EQ(g_seen.texts[kIdBNo], "&No");
  EXPECT_EQ(LOWORD(g_seen.defId), kIdBYes);
  EXPECT_EQ(g_seen.defaultButton, kIdBYes);
  EXPECT_EQ(g_seen.focused, kIdBYes) << "focused when the dialog opens";
  EXPECT_TRUE(g_seen.firstIcon) << "the entry's large system icon";
  EXPECT_TRUE(g_seen.secondIcon);

  ExpectPlace(kIdImage1, 15, 9, 34, 34);
  ExpectPlace(kIdLThis, 60, 9, 328, 34);
  ExpectPlace(kIdLabel1, 60, 57);
  ExpectPlace(kIdIFirst, 81, 81, 34, 34);
  ExpectPlace(kIdLBytes1, 126, 81);
  ExpectPlace(kIdLModified1, 126, 99, 244);
  ExpectPlace(kIdLabel2, 60, 126);
  ExpectPlace(kIdISecond, 81, 150, 34, 34);
  ExpectPlace(kIdLBytes2, 126, 150);
  ExpectPlace(kIdLModified2, 126, 168, 244);
  ExpectPlace(kIdBYes, 243, 192, 75, 25);
  ExpectPlace(kIdBNo, 327, 192, 75, 25);
  // Labels that size themselves are as wide as their text.
  RECT label1 = g_seen.places[kIdLabel1];
  EXPECT_GT(label1.right - label1.left, Px(100));
  EXPECT_LT(label1.right - label1.left, Px(328));
}

TEST_F(RestoreDialogTest, EveryOtherWayOutIsCancel) {
  const std::map<std::string, std::function<void(HWND)>> ways = {
      {"No button", [](HWND dlg) { Press(dlg, kIdBNo); }},
      {"Esc", [](HWND dlg) { PostMessageA(GetDlgItem(dlg, kIdBYes), WM_KEYDOWN, VK_ESCAPE, 0); }},
      {"close box", [](HWND dlg) { PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const auto& way : ways) {
    g_seen = Seen{};
    g_answer = way.second;
    EXPECT_FALSE(AskConfirmReplace(Question())) << way.first;
    EXPECT_EQ(g_seen.activations, 1) << way.first;
  }
  g_seen = Seen{};
  g_answer = [](HWND dlg) { PostMessageA(GetDlgItem(dlg, kIdBYes), WM_KEYDOWN, VK_RETURN, 0); };
  EXPECT_TRUE(AskConfirmReplace(Question())) << "Enter presses the default button, Yes";
}

TEST_F(RestoreDialogTest, BadIconIndexStillShowsTheQuestion) {
  ReplaceQuestion q = Question();
  q.iconIndex = 1 << 30;
  q.existingDate.clear();
  g_answer = [](HWND dlg) { Press(dlg, kIdBYes); };
  EXPECT_TRUE(AskConfirmReplace(q));
  EXPECT_FALSE(g_seen.firstIcon);
  EXPECT_EQ(g_seen.texts[kIdLModified1], "");
}

TEST_F(RestoreDialogTest, RecycleBinWarningWordForWordWithNoAsDefault) {
  for (bool yes : {true, false}) {
    g_seen = Seen{};
    g_answer = [yes](HWND dlg) { Press(dlg, yes ? IDYES : IDNO); };
    EXPECT_EQ(AskRecycleBinWarning(kRecycleBinTitle, kRecycleBinText), yes);
    ASSERT_EQ(g_seen.activations, 1);
    EXPECT_EQ(g_seen.caption, "Caution!");
    bool found = false;
    for (const auto& t : g_seen.texts)
      found = found || t.second == "Warning:  Items moved to the Recycle Bin may become unavailable. Do you want to proceed?";
    EXPECT_TRUE(found);
    EXPECT_EQ(g_seen.defaultButton, IDNO);
    EXPECT_TRUE(g_seen.exStyle & WS_EX_TOPMOST) << "system-modal";
  }
}

// The whole road: the portable restore asks, the real dialog answers.
class DialogUi : public UserInterface {
 public:
  bool Ask(vz::Question, const std::string& title, const std::string& text) override {
    return AskRecycleBinWarning(title, text);
  }
  bool ConfirmReplace(const ReplaceQuestion& q) override { return AskConfirmReplace(q); }
};

class RestoreThroughDialogTest : public vz::test::DrivesTest {};

TEST_F(RestoreThroughDialogTest, YesInTheRealDialogReplacesTheFile) {
  EnsureStores();
  MakeFile(DS("D1.txt"), "stored");
  {
    std::ofstream index(DS("info.shr"), std::ios::binary | std::ios::app);
    index << D("Work\\a.txt") << "\r\n" << DS("D1.txt") << "\r\n";
  }
  MakeFile(D("Work\\a.txt"), "old");
  g_seen = Seen{};
  g_answer = [](HWND dlg) { Press(dlg, kIdBYes); };
  g_hook = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
  ASSERT_NE(g_hook, nullptr);
  DialogUi dialogs;
  ScopedUi scoped(dialogs);

  Report r = RestoreItems({{D("Work\\a.txt"), DS("D1.txt"), 0}});

  UnhookWindowsHookEx(g_hook);
  g_hook = nullptr;
  EXPECT_EQ(g_seen.activations, 1);
  EXPECT_EQ(g_seen.texts[kIdLBytes1], "3 bytes");
  EXPECT_EQ(g_seen.texts[kIdLBytes2], "6 bytes");
  EXPECT_NE(g_seen.texts[kIdLModified1].find(",  "), std::string::npos) << g_seen.texts[kIdLModified1];
  EXPECT_EQ(g_seen.texts[kIdLModified2].find(",  "), std::string::npos) << g_seen.texts[kIdLModified2];
  EXPECT_FALSE(g_seen.texts[kIdLModified2].empty());
  EXPECT_EQ(Slurp(D("Work\\a.txt")), "stored");
  EXPECT_TRUE(r.AllDone());
}

}  // namespace
}  // namespace vz::win32
