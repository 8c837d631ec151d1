// The commands of the Vaporizer folder's window, run as the browser would
// send them, and what they do to the store.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "common/ui.h"
#include "namespace/folder_win.h"
#include "platform/platform.h"
#include "platform/win32/com.h"
#include "platform/win32/wide.h"
#include "settings/settings.h"
#include "namespace/view_win.h"
#include "support/scripted_ui.h"
#include "win32/folder_drop_target.h"
#include "win32/folder_window.h"
#include "win32/recording_browser.h"
#include "win32/shell_support.h"
#include "window/item_properties_win.h"
#include "window/item_window_win.h"
#include "window/shell_ui_win.h"

namespace vz::test {
namespace {

class ItemWindowTest : public FolderWindowTest {
 protected:
  void TearDown() override {
    win32::TView::SetHelpViewer(nullptr);
    FolderWindowTest::TearDown();
  }
  void Open() { FolderWindowTest::Open({}, FVM_DETAILS, {0, 0, 600, 300}); }
  std::string Caption(int item) { return Cell(item, 0); }
};

TEST_F(ItemWindowTest, RestoreCommandPutsTheSelectedItemBackAndDropsItsRecord) {
  std::string a = StoreFile("D:\\Docs\\a.txt", "D1.txt", "alpha");
  std::string b = StoreFile("D:\\Gone\\Deeper\\b.txt", "D2.txt", "beta");
  std::string c = StoreFile("D:\\Docs\\c.txt", "D3.txt", "gamma");
  Open();
  ASSERT_EQ(Count(), 3);
  ScriptedUi ui;
  ScopedUi scope(ui);
  Select(Find("a.txt"));
  Select(Find("b.txt"));
  Command(15);
  EXPECT_TRUE(ui.asked.empty()) << "nothing in the way, nothing to ask";
  EXPECT_EQ(Slurp(D("Docs\\a.txt")), "alpha");
  EXPECT_EQ(Slurp(D("Gone\\Deeper\\b.txt")), "beta") << "missing folders are made again";
  EXPECT_FALSE(PathExists(a));
  EXPECT_FALSE(PathExists(b));
  EXPECT_EQ(Index(), "D:\\Docs\\c.txt\r\n" + c + "\r\n");
  Pump();
  ASSERT_EQ(Count(), 1);
  EXPECT_EQ(Caption(0), "c.txt");
  EXPECT_TRUE(ui.told.empty()) << "all done, nothing to tell";

  // Nothing selected: nothing happens.
  Command(15);
  EXPECT_TRUE(PathExists(c));

  // A folder in the way: the item stays, and the user is told why.
  MakeDir(D("Docs\\c.txt"));
  Select(0);
  Command(15);
  EXPECT_TRUE(PathExists(c));
  ASSERT_EQ(ui.told.size(), 1u);
  EXPECT_EQ(ui.told[0], "1 item could not be restored:\n\nfailed: D:\\Docs\\c.txt: a folder of that name is at "
                        "the original path");
}

TEST_F(ItemWindowTest, VaporizeSelectedPassesExactlyTheSelectedItems) {
  std::vector<std::string> stored;
  for (int i = 0; i < 5; ++i)
    stored.push_back(StoreFile("D:\\W\\f" + std::to_string(i) + ".txt", "D" + std::to_string(i + 1) + ".txt",
                               std::string(100 + i, 'x')));
  Open();
  ScriptedUi ui;
  ScopedUi scope(ui);
  Select(Find("f1.txt"));
  Select(Find("f3.txt"));
  Command(17);
  ASSERT_EQ(ui.asked.size(), 1u);
  EXPECT_EQ(ui.asked[0].kind, Question::Caution);
  ASSERT_EQ(ui.progressFiles.size(), 2u);
  EXPECT_TRUE(EqualsNoCase(ui.progressFiles[0], "D:\\W\\f1.txt")) << "the original paths, in list order";
  EXPECT_TRUE(EqualsNoCase(ui.progressFiles[1], "D:\\W\\f3.txt")) << ui.progressFiles[1];
  EXPECT_FALSE(PathExists(stored[1]));
  EXPECT_FALSE(PathExists(stored[3]));
  for (int i : {0, 2, 4}) EXPECT_TRUE(PathExists(stored[i])) << i;
  EXPECT_FALSE(HasRecord("D:\\W\\f1.txt", stored[1]));
  EXPECT_TRUE(HasRecord("D:\\W\\f2.txt", stored[2]));
  Pump();
  EXPECT_EQ(Count(), 3);
}

TEST_F(ItemWindowTest, VaporizeAnsweredNoChangesNothingAndAnEmptyListAsksNothing) {
  ScriptedUi ui;
  ScopedUi scope(ui);
  Open();
  Command(18);
  EXPECT_TRUE(ui.asked.empty()) << "nothing listed, nothing asked";
  Command(17);
  EXPECT_TRUE(ui.asked.empty());

  std::string stored = StoreFile("D:\\a.txt", "D1.txt", "a");
  view_->Refresh();
  ASSERT_EQ(Count(), 1);
  std::string before = Index();
  ui.answers = {false};
  Command(18);
  ASSERT_EQ(ui.asked.size(), 1u);
  EXPECT_TRUE(PathExists(stored));
  EXPECT_EQ(Index(), before);
  EXPECT_TRUE(ui.told.empty()) << "the user's own No tells nothing";
  Pump();
  EXPECT_EQ(Count(), 1);
}

TEST_F(ItemWindowTest, VaporizeAllTakesEveryListedItemSelectedOrNot) {
  std::string a = StoreFile("D:\\a.txt", "D1.txt", "a");
  MakeFile(DS("D2\\inner.txt"), "inner");
  AppendRecord("D:\\Folder", DS("D2"));
  MakeFile(DS("D9.txt"), "orphan");  // no record: listed as a leftover
  Open();
  ASSERT_EQ(Count(), 3);
  ScriptedUi ui;
  ScopedUi scope(ui);
  Select(0);
  Command(11);  // the alias of 18
  ASSERT_EQ(ui.asked.size(), 1u);
  EXPECT_FALSE(PathExists(a));
  EXPECT_FALSE(PathExists(DS("D2")));
  EXPECT_FALSE(PathExists(DS("D9.txt"))) << "a listed leftover goes with the rest";
  EXPECT_EQ(Index(), "");
}

TEST_F(ItemWindowTest, PropertiesShowTheGeneralTabForOneFileAFolderAndAGroup) {
  StoreFile("D:\\Docs\\report.doc", "D1.doc", std::string(3500, 'r'));
  MakeFile(DS("D2\\one.bin"), std::string(100, '1'));
  MakeFile(DS("D2\\sub\\two.bin"), std::string(200, '2'));
  AppendRecord("D:\\Docs\\Album", DS("D2"));
  Open();
  ASSERT_EQ(Count(), 2);

  {
    DialogAnswerer answer({IDOK});
    Select(Find("report.doc"));
    Command(19);
    ASSERT_EQ(answer.Seen().size(), 1u);
    const SeenDialog& d = answer.Seen()[0];
    EXPECT_EQ(d.title, "Properties: report.doc");
    EXPECT_EQ(d.Text(win32::kIdLFileName), "report.doc");
    EXPECT_EQ(d.Text(win32::kIdLFolder), "D:\\Docs\\");
    EXPECT_EQ(d.Text(win32::kIdLSize), "3 KB (3500 bytes)");
    EXPECT_EQ(d.Text(win32::kIdLMSDOS), "(none available)");
    EXPECT_NE(d.Text(win32::kIdLChanged), "(not defined)");
    EXPECT_EQ(d.Text(win32::kIdLChanged), Cell(Find("report.doc"), 2)) << "as the Date Deleted column";
  }
  ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
  {
    DialogAnswerer answer({IDOK});
    Select(Find("Album"));
    Command(12);
    ASSERT_EQ(answer.Seen().size(), 1u);
    const SeenDialog& d = answer.Seen()[0];
    EXPECT_EQ(d.title, "Properties: Album");
    EXPECT_EQ(d.Text(win32::kIdLContain), "1 folder(s), 2 file(s)");
    EXPECT_EQ(d.Text(win32::kIdLSize), "1 KB (300 bytes)");
  }
  {
    DialogAnswerer answer({IDCANCEL});
    Select(Find("report.doc"));
    Command(19);
    ASSERT_EQ(answer.Seen().size(), 1u);
    const SeenDialog& d = answer.Seen()[0];
    EXPECT_EQ(d.title, "Properties: (group of objects)");
    EXPECT_EQ(d.Text(win32::kIdLType), "(group)");
    EXPECT_EQ(d.Text(win32::kIdLSize), "3 KB (3800 bytes)");
    EXPECT_EQ(d.Text(win32::kIdLContain), "1 folder(s), 2 file(s)");
    EXPECT_EQ(d.Text(win32::kIdLCreated), "(not applicable)");
  }
}

TEST_F(ItemWindowTest, PropertiesWithNothingSelectedOpenTheSettingsAndADoubleClickDoesTheSame) {
  StoreFile("D:\\a.txt", "D1.txt", "a");
  Open();
  {
    DialogAnswerer answer({IDCANCEL});
    Command(19);
    ASSERT_EQ(answer.Seen().size(), 1u);
    EXPECT_EQ(answer.Seen()[0].title, "Properties: Vaporizer");
    EXPECT_EQ(answer.Seen()[0].Text(win32::kIdLSize), "") << "no General tab";
  }
  {
    DialogAnswerer answer({IDCANCEL});
    Select(0);
    NMITEMACTIVATE click{};
    click.hdr.hwndFrom = list_;
    click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list_));
    click.hdr.code = NM_DBLCLK;
    click.iItem = 0;
    SendMessageA(hwnd_, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
    ASSERT_EQ(answer.Seen().size(), 1u);
    EXPECT_EQ(answer.Seen()[0].title, "Properties: a.txt");
  }
}

TEST_F(ItemWindowTest, HelpOpensTheGearkitTopicOnlyWithAPath) {
  std::vector<std::pair<std::string, std::string>> opened;
  win32::TView::SetHelpViewer(
      [&](HWND, const std::string& file, const std::string& macro) { opened.emplace_back(file, macro); });
  Open();
  Command(26);
  EXPECT_TRUE(opened.empty()) << "no GLPath, no help";
  ASSERT_TRUE(Plat().KvWriteString(kGearloftKey, "GLPath", "C:\\Gearloft\\"));
  Command(26);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].first, "C:\\Gearloft\\Gearkit.hlp");
  EXPECT_EQ(opened[0].second, "JumpID(\"\",\"Securely_deleting_files_and_folders\")");
}

TEST_F(ItemWindowTest, AboutBoxNamesVaporizer) {
  Open();
  DialogAnswerer answer({IDOK});
  Command(27);
  ASSERT_EQ(answer.Seen().size(), 1u);
  EXPECT_EQ(answer.Seen()[0].title, "About Vaporizer");
}

TEST_F(ItemWindowTest, PruneTimerWaitsOnlyWhileOneOfTheModulesOwnBoxesShows) {
  // An item left the store by a drop elsewhere.
  std::string a = StoreFile("D:\\a.txt", "D1.txt", "a"), c = StoreFile("D:\\c.txt", "D3.txt", "c");
  StoreFile("D:\\b.txt", "D2.txt", "b");
  ASSERT_TRUE(MoveFileA(a.c_str(), "D:\\a.txt"));
  Open();
  win32::TView* window = win32::TView::FromHandle(hwnd_);
  ASSERT_NE(window, nullptr);
  auto waitForPrune = [&] {
    for (int i = 0; i < 30 && window->PruneTimerRunning(); ++i) Pump(100);
  };

  // Another program's dialog is no reason to wait.
  HWND foreign = CreateWindowExA(0, MAKEINTATOM(32770), "Save As", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(foreign, nullptr);
  window->StartPruneTimer();
  EXPECT_TRUE(window->PruneTimerRunning());
  waitForPrune();
  DestroyWindow(foreign);
  EXPECT_FALSE(HasRecord("D:\\a.txt", a)) << "pruned while the other dialog still shows";

  // The module's own about box holds it until it closes.
  ASSERT_TRUE(MoveFileA(c.c_str(), "D:\\c.txt"));
  bool heldWhileShown = false;
  {
    DialogDriver driver([&](HWND box) {
      window->StartPruneTimer();
      Pump(1700);
      heldWhileShown = HasRecord("D:\\c.txt", c) && window->PruneTimerRunning();
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    Command(27);
    EXPECT_EQ(driver.Count(), 1);
  }
  EXPECT_TRUE(heldWhileShown);
  waitForPrune();
  EXPECT_FALSE(HasRecord("D:\\c.txt", c));
  EXPECT_TRUE(HasRecord("D:\\b.txt", DS("D2.txt")));
  Pump();
  EXPECT_EQ(Count(), 1);
}

TEST_F(ItemWindowTest, DraggingASelectedItemOutMovesItUnderItsOwnNameAndTheTimerDropsItsRecord) {
  std::string stored = StoreFile("D:\\Work\\report.doc", "D1.doc", "report");
  StoreFile("D:\\b.txt", "D2.txt", "b");
  MakeDir(D("Target"));
  Open();
  ASSERT_EQ(Count(), 2);
  int row = Find("report.doc");
  ASSERT_GE(row, 0);
  Select(row);
  DropFolderWindow target(win32::Widen(D("Target")));
  ASSERT_NE(target.Handle(), nullptr);
  win32::TView* window = win32::TView::FromHandle(hwnd_);
  ASSERT_NE(window, nullptr);
  RECT r{};
  ASSERT_TRUE(ListView_GetItemRect(list_, row, &r, LVIR_LABEL));
  int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  // A press over the item and a move of 3 pixels start nothing; a fourth
  // pixel starts the drag, which drops at once as the button is up.
  SendMessageA(list_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageA(list_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 3, y + 3));
  EXPECT_FALSE(window->PruneTimerRunning());
  EXPECT_TRUE(HasRecord("D:\\Work\\report.doc", stored));
  SendMessageA(list_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 4, y));
  EXPECT_EQ(Slurp(D("Target\\report.doc")), "report") << "moved out under the name it had before it was sent";
  EXPECT_FALSE(PathExists(stored));
  EXPECT_TRUE(window->PruneTimerRunning()) << "the release over the target starts the timer";
  for (int i = 0; i < 40 && window->PruneTimerRunning(); ++i) Pump(100);
  EXPECT_FALSE(HasRecord("D:\\Work\\report.doc", stored));
  Pump();
  EXPECT_EQ(Count(), 1);
  EXPECT_EQ(Find("report.doc"), -1) << "the item leaves the list";

  // The target kept the data object; asked again once the window is gone,
  // it still names what was dragged.
  ASSERT_NE(target.Kept(), nullptr);
  view_->DestroyViewWindow();
  FORMATETC files{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  ASSERT_EQ(target.Kept()->GetData(&files, &medium), S_OK);
  char path[MAX_PATH] = {};
  EXPECT_EQ(DragQueryFileA(static_cast<HDROP>(medium.hGlobal), 0xFFFFFFFF, nullptr, 0), 1u);
  DragQueryFileA(static_cast<HDROP>(medium.hGlobal), 0, path, MAX_PATH);
  EXPECT_EQ(std::string(path), stored);
  ReleaseStgMedium(&medium);
}

// Windows' list detects a drag inside the press: it holds the capture
// until the mouse leaves the drag rectangle (DragDetect, learn.microsoft.com/
// windows/win32/api/winuser/nf-winuser-dragdetect), gives it back and only
// then tells its parent (LVN_BEGINDRAG, learn.microsoft.com/windows/win32/
// controls/lvn-begindrag). The same messages in the same order start one
// drag; a click after it (press, release, NM_CLICK) starts none.
TEST_F(ItemWindowTest, TheListsOwnDragReportStartsTheDragInWindowsOrder) {
  std::string stored = StoreFile("D:\\Work\\report.doc", "D1.doc", "report");
  MakeDir(D("Target"));
  Open();
  Select(0);
  DropFolderWindow target(win32::Widen(D("Target")));
  win32::TView* window = win32::TView::FromHandle(hwnd_);
  RECT r{};
  ASSERT_TRUE(ListView_GetItemRect(list_, 0, &r, LVIR_LABEL));
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  const UINT_PTR id = static_cast<UINT_PTR>(GetDlgCtrlID(list_));
  auto notify = [&](int code) {
    NMLISTVIEW info{};
    info.hdr = {list_, id, static_cast<UINT>(code)};
    info.iItem = 0;
    SendMessageA(hwnd_, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&info));
  };
  SendMessageA(list_, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(list_, WM_CAPTURECHANGED, 0, 0);
  notify(LVN_BEGINDRAG);
  EXPECT_EQ(Slurp(D("Target\\report.doc")), "report") << "one drag, dropped at once as the button is up";
  EXPECT_TRUE(window->PruneTimerRunning());
  MakeFile(stored, "again");
  SendMessageA(list_, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(list_, WM_LBUTTONUP, 0, at);
  notify(NM_CLICK);
  SendMessageA(list_, WM_MOUSEMOVE, MK_LBUTTON, at + 40);
  EXPECT_EQ(Slurp(stored), "again") << "a click drags nothing";
}

// A double click as Windows sends it: WM_LBUTTONDOWN, WM_LBUTTONUP,
// WM_LBUTTONDBLCLK (the second press, in place of a button-down), then
// WM_LBUTTONUP ("Double Clicks", learn.microsoft.com/windows/win32/
// learnwin32/mouse-clicks). Its second press drags nothing; the next real
// press drags as any other.
TEST_F(ItemWindowTest, ADoubleClickInWindowsOrderLeavesTheNextPressItsDrag) {
  std::string stored = StoreFile("D:\\Work\\report.doc", "D1.doc", "report");
  MakeDir(D("Target"));
  Open();
  Select(0);
  DropFolderWindow target(win32::Widen(D("Target")));
  RECT r{};
  ASSERT_TRUE(ListView_GetItemRect(list_, 0, &r, LVIR_LABEL));
  const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  const LPARAM at = MAKELPARAM(x, y), moved = MAKELPARAM(x + 10, y);
  {
    DialogAnswerer answer({IDCANCEL});
    SendMessageA(list_, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(list_, WM_LBUTTONUP, 0, at);
    SendMessageA(list_, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageA(list_, WM_MOUSEMOVE, MK_LBUTTON, moved);
    SendMessageA(list_, WM_LBUTTONUP, 0, moved);
    EXPECT_EQ(answer.Seen().size(), 1u) << "the double click opens the properties";
  }
  EXPECT_TRUE(PathExists(stored)) << "the double click's second press dragged";
  SendMessageA(list_, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(list_, WM_MOUSEMOVE, MK_LBUTTON, moved);
  EXPECT_EQ(Slurp(D("Target\\report.doc")), "report") << "the next press drags";
}

TEST_F(ItemWindowTest, AClickAsWindowsListReportsItStartsNoDrag) {
  std::string stored = StoreFile("D:\\a.txt", "D1.txt", "a");
  Open();
  Select(0);
  win32::TView* window = win32::TView::FromHandle(hwnd_);
  RECT r{};
  ASSERT_TRUE(ListView_GetItemRect(list_, 0, &r, LVIR_LABEL));
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2), away = MAKELPARAM(r.right + 20, 90);
  // Windows' list follows the mouse itself inside the press and keeps the
  // release: its window sees the press, the click notice, then moves with
  // no button down.
  SendMessageA(list_, WM_LBUTTONDOWN, MK_LBUTTON, at);
  NMITEMACTIVATE click{};
  click.hdr = {list_, static_cast<UINT_PTR>(GetDlgCtrlID(list_)), static_cast<UINT>(NM_CLICK)};
  SendMessageA(hwnd_, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
  SendMessageA(list_, WM_MOUSEMOVE, 0, away);
  // A press whose capture went elsewhere ends the same way.
  SendMessageA(list_, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(list_, WM_CAPTURECHANGED, 0, 0);
  SendMessageA(list_, WM_MOUSEMOVE, MK_LBUTTON, away);
  // And a move with no button after a press that the list reported nowhere.
  SendMessageA(list_, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(list_, WM_MOUSEMOVE, 0, away);
  EXPECT_FALSE(window->PruneTimerRunning()) << "no drag was dropped anywhere";
  EXPECT_TRUE(PathExists(stored));
}

TEST_F(ItemWindowTest, ClosingTheWindowUnderAQuestionLetsTheCommandFinishAndRefusesDrags) {
  std::string stored = StoreFile("D:\\a.txt", "D1.txt", "a");
  Open();
  Select(0);
  HWND frame = static_cast<RecordingBrowser*>(browser_.Get())->Frame();
  win32::TView* window = win32::TView::FromHandle(hwnd_);
  ScopedUi shell(win32::ShellUserInterface());
  HWND owner = nullptr;
  HRESULT drag = E_FAIL;
  long before = 0, during = 0;
  int boxes = 0;
  DialogDriver driver([&](HWND box) {
    // A later box tells what the batch did (a warning where the medium is
    // unknown): it is only acknowledged.
    if (++boxes > 1) return PostMessageA(box, WM_COMMAND, IDOK, 0), void();
    owner = GetWindow(box, GW_OWNER);
    drag = window->StartItemDrag();
    // The browser lets its view go while the caution question shows.
    before = com::ObjectCount();
    view_->DestroyViewWindow();
    view_.Reset();
    during = com::ObjectCount();
    Answer(box, true);
  });
  Command(17);
  EXPECT_GE(driver.Count(), 1);
  EXPECT_EQ(owner, frame) << "the box belongs to the browser's window, which it disables";
  EXPECT_EQ(drag, S_FALSE) << "no drag while a batch runs";
  EXPECT_EQ(during, before) << "the view lives as long as its command";
  EXPECT_FALSE(PathExists(stored)) << "the answer still counts";
  EXPECT_LT(com::ObjectCount(), before) << "and goes once the command is over";
}

TEST_F(ItemWindowTest, RefillKeepsRowsOwnedAndCountsCorrect) {
  StoreFile("D:\\a.txt", "D1.txt", std::string(2000, 'a'));
  Open();
  win32::TView* window = win32::TView::FromHandle(hwnd_);
  Select(0);
  EXPECT_EQ(window->Counters().SelectedBytes(), 2000);
  StoreFile("D:\\b.txt", "D2.txt", std::string(48, 'b'));
  EXPECT_EQ(view_->Refresh(), S_OK);
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(window->Counters().SelectedCount(), 0) << "a filling starts with no selection";
  EXPECT_EQ(window->Counters().TotalBytes(), 2048);
  // A setting change makes the window refill as well.
  StoreFile("D:\\c.txt", "D3.txt", "c");
  SendMessageA(hwnd_, WM_SETTINGCHANGE, 0, 0);
  EXPECT_EQ(Count(), 3);
}

// The popup menus run their own modal loop; characters posted beforehand
// choose entries by their mnemonics, as a user's keys would.
void PostKeys(HWND hwnd, const char* keys) {
  for (const char* k = keys; *k; ++k) PostMessageA(hwnd, WM_CHAR, static_cast<WPARAM>(*k), 0);
}

TEST_F(ItemWindowTest, ContextMenuRunsItsEntriesAndItsViewSubmenuMovesTheToolbar) {
  std::string stored = StoreFile("D:\\Docs\\a.txt", "D1.txt", "alpha");
  Open();
  auto* recorder = static_cast<RecordingBrowser*>(browser_.Get());
  Select(0);
  PostKeys(hwnd_, "vl");  // &View, &List
  SendMessageA(hwnd_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list_), MAKELPARAM(50, 50));
  FOLDERSETTINGS fs{};
  ASSERT_EQ(view_->GetCurrentInfo(&fs), S_OK);
  EXPECT_EQ(fs.ViewMode, static_cast<UINT>(FVM_LIST));
  EXPECT_TRUE(SendMessageA(recorder->Toolbar(), TB_ISBUTTONCHECKED, 4, 0)) << "the toolbar follows";

  ScriptedUi ui;
  ScopedUi scope(ui);
  Pump();
  ASSERT_EQ(ListView_GetSelectedCount(list_), 1u);
  PostKeys(hwnd_, "e");  // R&estore
  SendMessageA(hwnd_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list_), MAKELPARAM(50, 50));
  EXPECT_EQ(Slurp(D("Docs\\a.txt")), "alpha");
  EXPECT_FALSE(PathExists(stored));
}

TEST_F(ItemWindowTest, ViewButtonDropDownOnlySetsTheMode) {
  Open();
  auto* recorder = static_cast<RecordingBrowser*>(browser_.Get());
  int checked = win32::LastCheckedViewButton();
  NMTOOLBARA info{};
  info.hdr.hwndFrom = recorder->Toolbar();
  info.hdr.code = TBN_DROPDOWN;
  info.iItem = 1021;
  PostKeys(hwnd_, "m");  // S&mall icons
  EXPECT_EQ(SendMessageA(hwnd_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info)), TBDDRET_DEFAULT);
  FOLDERSETTINGS fs{};
  ASSERT_EQ(view_->GetCurrentInfo(&fs), S_OK);
  EXPECT_EQ(fs.ViewMode, static_cast<UINT>(FVM_SMALLICON));
  EXPECT_EQ(win32::LastCheckedViewButton(), checked) << "the drop-down's entries leave the buttons alone";
}

}  // namespace
}  // namespace vz::test
