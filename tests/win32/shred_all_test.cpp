// The exported ShredAllItems of Vaporizer.dll, called the way an outside
// program calls it, with the caution box and the progress window watched
// and answered on this thread.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/batch.h"
#include "platform/win32/wide.h"
#include "settings/settings.h"
#include "store/store.h"
#include "support/drives.h"

namespace vz::test {
namespace {

using ShredAllItemsFn = int(WINAPI*)(const ShredOptions*);

struct Created {
  std::string cls, text;
  int x = 0, cx = 0, cy = 0;
  LONG style = 0;
  bool child = false;
};

struct CautionSeen {
  std::string title, text;
  int defaultButton = 0;
  bool topmost = false;
};

// What the hooks saw; one test at a time runs on this thread.
struct Watch {
  int answer = IDYES;
  int quitCode = -1;  // >= 0: the program is told to end as the box is answered
  std::vector<CautionSeen> cautions;
  std::vector<Created> created;
  std::vector<std::string> fileTexts;        // texts put into the current-file label
  std::vector<std::pair<UINT, LPARAM>> bars;  // range and position messages to progress bars
} g_watch;

std::string Text(HWND w) {
  char buf[2048] = {};
  GetWindowTextA(w, buf, sizeof buf);
  return buf;
}
std::string ClassOf(HWND w) {
  char buf[64] = {};
  GetClassNameA(w, buf, sizeof buf);
  return buf;
}

// A message box fills in its texts after it is activated, so it is read
// and answered from a timer that its own message loop runs.
HWND g_box = nullptr;

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  HWND w = g_box;
  if (!w || !IsWindow(w)) return;
  if (!IsWindowVisible(w)) {  // made, not yet shown: its texts come later
    SetTimer(nullptr, 0, 5, AnswerBox);
    return;
  }
  CautionSeen s;
  s.title = Text(w);
  s.text = Text(GetDlgItem(w, 0xFFFF));
  for (int button : {IDYES, IDNO})
    if (HWND b = GetDlgItem(w, button))
      if ((GetWindowLongA(b, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) s.defaultButton = button;
  s.topmost = (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  g_watch.cautions.push_back(s);
  PostMessageA(w, WM_COMMAND, MAKEWPARAM(g_watch.answer, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(w, g_watch.answer)));
  if (g_watch.quitCode >= 0) PostQuitMessage(g_watch.quitCode);
}

LRESULT CALLBACK CbtHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_CREATEWND) {
    auto* cw = reinterpret_cast<CBT_CREATEWNDA*>(lp);
    Created c;
    if (HIWORD(reinterpret_cast<ULONG_PTR>(cw->lpcs->lpszClass))) c.cls = cw->lpcs->lpszClass;
    if (cw->lpcs->lpszName) c.text = cw->lpcs->lpszName;
    c.x = cw->lpcs->x;
    c.cx = cw->lpcs->cx;
    c.cy = cw->lpcs->cy;
    c.style = cw->lpcs->style;
    c.child = (cw->lpcs->style & WS_CHILD) != 0;
    g_watch.created.push_back(c);
    // A box is answered from its creation on: one that is never activated
    // (under Wine a box may never be, while another thread's window holds
    // the activation) would otherwise wait for ever.
    HWND w = reinterpret_cast<HWND>(wp);
    if (!c.child && ClassOf(w) == "#32770") {
      g_box = w;
      SetTimer(nullptr, 0, 1, AnswerBox);
    }
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

LRESULT CALLBACK CallHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    auto* m = reinterpret_cast<CWPSTRUCT*>(lp);
    std::string cls = ClassOf(m->hwnd);
    if (m->message == WM_SETTEXT && cls == "Static" && GetParent(m->hwnd) &&
        Text(GetParent(m->hwnd)) == "Shredding ...")
      g_watch.fileTexts.push_back(IsWindowUnicode(m->hwnd) ? win32::Narrow(reinterpret_cast<const wchar_t*>(m->lParam))
                                                           : reinterpret_cast<const char*>(m->lParam));
    if ((m->message == PBM_SETRANGE32 || m->message == PBM_SETPOS) && cls == PROGRESS_CLASSA)
      g_watch.bars.emplace_back(m->message, m->message == PBM_SETPOS ? static_cast<LPARAM>(m->wParam) : m->lParam);
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

class ShredAllExportTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    g_watch = Watch{};
    module_ = LoadLibraryA("Vaporizer.dll");
    ASSERT_NE(module_, nullptr) << "error " << GetLastError();
    shred_ = reinterpret_cast<ShredAllItemsFn>(reinterpret_cast<void*>(GetProcAddress(module_, "ShredAllItems")));
    ASSERT_NE(shred_, nullptr) << "ShredAllItems is exported under its plain name";
    cbt_ = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
    call_ = SetWindowsHookExA(WH_CALLWNDPROC, CallHook, nullptr, GetCurrentThreadId());
    EnsureStores();
  }
  void TearDown() override {
    if (cbt_) UnhookWindowsHookEx(cbt_);
    if (call_) UnhookWindowsHookEx(call_);
    if (module_) FreeLibrary(module_);
    DrivesTest::TearDown();
  }
  void Fill() {
    MakeFile(DS("D1.txt"), "first");
    MakeFile(DS("D2\\inner\\deep.txt"), "deep");
    MakeFile(CS("C1.doc"), "on c");
    MakeFile(DS("info.shr"), Own("D:\\Work\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\nD:\\Old\r\nD:\\VAPORIZE\\D2\r\n"));
    MakeFile(CS("info.shr"), Own("C:\\Work\\Report.doc\r\nC:\\VAPORIZE\\C1.doc\r\n"));
  }
  bool StoresEmpty() {
    return !PathExists(DS("D1.txt")) && !PathExists(DS("D2")) && !PathExists(CS("C1.doc"));
  }
  const Created* Find(const std::string& text) {
    for (const auto& c : g_watch.created)
      if (c.text == text) return &c;
    return nullptr;
  }
  static DWORD RegDword(const char* name) {
    DWORD v = 0xDEAD, size = sizeof v, type = 0;
    RegGetValueA(HKEY_CURRENT_USER, "SOFTWARE\\Orvel\\Gearloft\\Vaporizer", name, RRF_RT_ANY, &type, &v, &size);
    return type == REG_DWORD ? v : 0xDEAD;
  }

  HMODULE module_ = nullptr;
  ShredAllItemsFn shred_ = nullptr;
  HHOOK cbt_ = nullptr, call_ = nullptr;
};

TEST_F(ShredAllExportTest, WithARecordTheCautionBoxIsAskedAndEverythingGoes) {
  Fill();
  // The record may lie at any address.
  alignas(8) unsigned char buf[8] = {};
  ShredOptions o{1, 1, 0, 1};
  std::memcpy(buf + 1, &o, sizeof o);
  EXPECT_EQ(shred_(reinterpret_cast<const ShredOptions*>(buf + 1)), 1);

  ASSERT_EQ(g_watch.cautions.size(), 1u);
  const CautionSeen& c = g_watch.cautions[0];
  EXPECT_EQ(c.title, "Please use caution");
  EXPECT_EQ(c.text,
            "Caution: You are about to vaporize one or more items.\r\r"
            "Once items are vaporized, there is no way to restore them.\r\r"
            "Are you completely sure that you want to permanently delete 3 item(s) ?");
  EXPECT_EQ(c.defaultButton, IDNO) << "No is the default";
  EXPECT_TRUE(c.topmost) << "system-modal";
  EXPECT_TRUE(StoresEmpty());
  EXPECT_EQ(Slurp(DS("info.shr")), "");
  EXPECT_EQ(Slurp(CS("info.shr")), "");
  EXPECT_TRUE(PathExists(DS("desktop.ini")));
}

TEST_F(ShredAllExportTest, TheProgressWindowHasItsLayoutAndFollowsTheBatch) {
  Fill();
  ShredOptions o{2, 1, 0, 1};
  EXPECT_EQ(shred_(&o), 1);

  const Created* frame = Find("Shredding ...");
  ASSERT_NE(frame, nullptr) << "the progress window was created";
  EXPECT_FALSE(frame->child);
  EXPECT_EQ(frame->cx, 398) << "at 96 DPI";
  EXPECT_EQ(frame->cy, 180);
  EXPECT_TRUE(frame->style & WS_POPUP);
  EXPECT_FALSE(frame->style & WS_CAPTION) << "borderless";
  for (const char* label : {"Vaporizing ...", "Current file: ", "Total progress:"}) {
    const Created* l = Find(label);
    ASSERT_NE(l, nullptr) << label;
    EXPECT_TRUE(l->child);
  }
  int bars = 0;
  for (const auto& w : g_watch.created) {
    if (w.cls != PROGRESS_CLASSA) continue;
    ++bars;
    EXPECT_EQ(w.cx, 352);
    EXPECT_EQ(w.cy, 16);
    EXPECT_TRUE(w.style & PBS_SMOOTH);
  }
  EXPECT_EQ(bars, 2);
  EXPECT_TRUE(std::any_of(g_watch.created.begin(), g_watch.created.end(), [](const Created& w) {
    return w.child && lstrcmpiA(w.cls.c_str(), "Static") == 0 && w.text.empty() && w.x > 23 && w.x + w.cx == 375;
  })) << "the current-file label reaches the bars' right edge";
  EXPECT_TRUE(std::any_of(g_watch.created.begin(), g_watch.created.end(), [](const Created& w) {
    return w.child && w.text == "Cancel" && w.cx == 75 && w.cy == 25;
  })) << "with a Cancel button";

  // Three files, pass by pass over the group: their original paths in upper
  // case where a record names them.
  const std::vector<std::string> files{"C:\\WORK\\REPORT.DOC", "D:\\WORK\\A.TXT", Own("d:\\VAPORIZE\\D2\\inner\\deep.txt")};
  std::vector<std::string> shown = files;
  shown.insert(shown.end(), files.begin(), files.end());
  EXPECT_EQ(g_watch.fileTexts, shown);
  std::vector<std::pair<UINT, LPARAM>> ranges, positions;
  for (const auto& b : g_watch.bars) (b.first == PBM_SETRANGE32 ? ranges : positions).push_back(b);
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(ranges[0].second, 2) << "passes per file";
  EXPECT_EQ(ranges[1].second, 3) << "files in total";
  ASSERT_FALSE(positions.empty());
  EXPECT_EQ(positions.back().second, 3) << "all files done at the end";
  bool sawTwoPasses = false;
  for (const auto& p : positions) sawTwoPasses = sawTwoPasses || p.second == 2;
  EXPECT_TRUE(sawTwoPasses);
  EXPECT_EQ(FindWindowA("TFMProgress", nullptr), nullptr) << "gone after the batch";
}

TEST_F(ShredAllExportTest, WithoutARecordTheSettingsDecideAndAreWrittenBack) {
  Fill();
  EXPECT_EQ(shred_(nullptr), 1);
  EXPECT_EQ(g_watch.cautions.size(), 1u);
  EXPECT_TRUE(StoresEmpty());
  EXPECT_EQ(RegDword("ShredCount"), 1u);
  EXPECT_EQ(RegDword("ShowIndicator"), 1u);
  EXPECT_NE(Find("Shredding ..."), nullptr) << "progress is on by default";
}

TEST_F(ShredAllExportTest, NoKeepsEverythingAndProgressOffShowsNoWindow) {
  Fill();
  g_watch.answer = IDNO;
  EXPECT_EQ(shred_(nullptr), 1);
  EXPECT_EQ(g_watch.cautions.size(), 1u);
  EXPECT_EQ(Slurp(DS("D1.txt")), "first");
  EXPECT_EQ(Slurp(DS("D2\\inner\\deep.txt")), "deep");
  EXPECT_EQ(Slurp(CS("C1.doc")), "on c");
  EXPECT_EQ(Find("Shredding ..."), nullptr);

  g_watch.answer = IDYES;
  ShredOptions o{1, 1, 0, 0};
  EXPECT_EQ(shred_(&o), 1);
  EXPECT_EQ(g_watch.cautions.size(), 2u);
  EXPECT_TRUE(StoresEmpty());
  EXPECT_EQ(Find("Shredding ..."), nullptr) << "the record turned progress off";
}

TEST_F(ShredAllExportTest, EmptyStoresAskNothingAndStillReturnOne) {
  EXPECT_EQ(shred_(nullptr), 1);
  ShredOptions o{3, 1, 0xFF, 1};
  EXPECT_EQ(shred_(&o), 1);
  EXPECT_TRUE(g_watch.cautions.empty());
  EXPECT_EQ(Find("Shredding ..."), nullptr);
}

// A loop that takes a thread's messages hands WM_QUIT on to the loop that
// is to end with it ("PostQuitMessage", learn.microsoft.com/windows/win32/
// api/winuser/nf-winuser-postquitmessage): a program told to end while the
// export works still ends once the export returns.
TEST_F(ShredAllExportTest, AQuitThatArrivesMeanwhileReachesTheCallerAfterwards) {
  Fill();
  g_watch.quitCode = 7;
  EXPECT_EQ(shred_(nullptr), 1);
  MSG msg{};
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
}  // namespace vz::test
