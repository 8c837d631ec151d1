// The folder's view driven by a browser that records what it is given:
// merged menus, toolbar buttons, status bar, activation and keys.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/ui.h"
#include "namespace/folder_win.h"
#include "namespace/view_win.h"
#include "platform/win32/com.h"
#include "support/scripted_ui.h"
#include "win32/folder_window.h"
#include "win32/recording_browser.h"
#include "window/item_window_win.h"

namespace vz::test {
namespace {

class FolderViewTest : public FolderWindowTest {
 protected:
  win32::TView* Window() const { return win32::TView::FromHandle(hwnd_); }
  std::string Caption(int item) { return Cell(item, 0); }
  UINT CurrentMode() {
    FOLDERSETTINGS fs{};
    EXPECT_EQ(view_->GetCurrentInfo(&fs), S_OK);
    EXPECT_EQ(fs.fFlags, static_cast<UINT>(FWF_AUTOARRANGE));
    return fs.ViewMode;
  }
  HRESULT Key(WPARAM key, HWND target = nullptr) {
    MSG msg = {};
    msg.hwnd = target ? target : list_;
    msg.message = WM_KEYDOWN;
    msg.wParam = key;
    HRESULT hr = view_->TranslateAccelerator(&msg);
    EXPECT_TRUE(WaitForJobs());
    return hr;
  }

};

TEST_F(FolderViewTest, WindowIsAChildOfTheBrowserPlacedWhereAsked) {
  Open();
  EXPECT_EQ(GetParent(hwnd_), recorder_->Frame());
  EXPECT_EQ(GetWindowLongPtrA(hwnd_, GWL_STYLE) & (WS_CHILD | WS_POPUP | WS_CAPTION), WS_CHILD);
  EXPECT_TRUE(GetWindowLongPtrA(hwnd_, GWL_STYLE) & WS_VISIBLE) << "shown";
  RECT r{};
  GetWindowRect(hwnd_, &r);
  MapWindowPoints(nullptr, recorder_->Frame(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 20);
  EXPECT_EQ(r.right - r.left, 400);
  EXPECT_EQ(r.bottom - r.top, 300);
  HWND got = nullptr;
  EXPECT_EQ(view_->GetWindow(&got), S_OK);
  EXPECT_EQ(got, hwnd_);
  // Files can be dropped into the open folder: a target is registered there.
  com::ComPtr<IDropTarget> other;
  ASSERT_EQ(folder_->CreateViewObject(nullptr, IID_IDropTarget, other.PutVoid()), S_OK);
  EXPECT_EQ(RegisterDragDrop(hwnd_, other.Get()), DRAGDROP_E_ALREADYREGISTERED);

  // The list: five columns, no label editing, several items selectable.
  LONG_PTR style = GetWindowLongPtrA(list_, GWL_STYLE);
  EXPECT_FALSE(style & LVS_EDITLABELS);
  EXPECT_FALSE(style & LVS_SINGLESEL);
  const char* captions[] = {"Name", "Original location", "Date Deleted", "Type", "Size"};
  const int widths[] = {125, 150, 130, 100, 40};
  for (int i = 0; i < 5; ++i) {
    char text[64] = {};
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    col.pszText = text;
    col.cchTextMax = sizeof text;
    ASSERT_TRUE(SendMessageA(list_, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&col))) << i;
    EXPECT_STREQ(text, captions[i]);
    EXPECT_EQ(col.cx, widths[i]);
    EXPECT_EQ(col.fmt & LVCFMT_JUSTIFYMASK, i == 4 ? LVCFMT_RIGHT : LVCFMT_LEFT);
  }
}

TEST_F(FolderViewTest, EmptyStoreShowsZeroObjectsAndGraysTheVaporizeEntries) {
  Open();
  EXPECT_EQ(recorder_->StatusText(0), "Objects: 0");
  EXPECT_EQ(recorder_->StatusText(1), "0 Bytes");
  EXPECT_EQ(recorder_->StatusPartEdges(), (std::vector<int>{150, -1}));
  ASSERT_FALSE(recorder_->MessagesTo(FCW_STATUS, SB_SIMPLE).empty());
  EXPECT_EQ(recorder_->MessagesTo(FCW_STATUS, SB_SIMPLE)[0].wParam, static_cast<WPARAM>(FALSE));

  ASSERT_NE(recorder_->currentMenu, nullptr) << "the filling merged the menus";
  auto file = MenuItems(recorder_->Popup(FCIDM_MENU_FILE));
  ASSERT_EQ(file.size(), 6u) << "five entries above the browser's own";
  const struct {
    UINT id;
    const char* text;
    bool grayed;
  } expected[] = {{15, "&Restore", true},
                  {17, "&Vaporize selected", true},
                  {18, "Vaporize &all", true},
                  {19, "Vaporizer &properties", false}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(file[i].id, expected[i].id);
    EXPECT_EQ(file[i].text, expected[i].text);
    EXPECT_EQ(file[i].grayed, expected[i].grayed) << expected[i].text;
  }
  EXPECT_TRUE(file[4].separator);
  EXPECT_EQ(file[4].id, 16u);
  EXPECT_EQ(file[5].text, "Browser's own");

  auto edit = MenuItems(recorder_->Popup(FCIDM_MENU_EDIT));
  ASSERT_EQ(edit.size(), 3u);
  EXPECT_EQ(edit[0].text, "Select &all\tCtrl+A");
  EXPECT_EQ(edit[0].id, 20u);
  EXPECT_EQ(edit[1].text, "&Invert selection");
  EXPECT_EQ(edit[1].id, 21u);
  EXPECT_EQ(edit[2].text, "Browser's own") << "no separator in Edit";

  auto view = MenuItems(recorder_->Popup(FCIDM_MENU_VIEW));
  ASSERT_EQ(view.size(), 6u);
  const char* modes[] = {"La&rge icons", "S&mall icons", "&List", "&Details"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(view[i].text, modes[i]);
    EXPECT_EQ(view[i].id, static_cast<UINT>(22 + i));
    EXPECT_FALSE(view[i].grayed);
  }
  EXPECT_TRUE(view[4].separator);

  auto help = MenuItems(recorder_->Popup(FCIDM_MENU_HELP));
  ASSERT_EQ(help.size(), 4u);
  EXPECT_EQ(help[0].text, "&How to use Vaporizer");
  EXPECT_EQ(help[0].id, 26u);
  EXPECT_EQ(help[1].text, "&About Vaporizer");
  EXPECT_EQ(help[1].id, 27u);
  EXPECT_TRUE(help[2].separator);

  // Every popup of the merged menu keeps "Vaporize &all" grayed.
  SendMessageA(hwnd_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(recorder_->Popup(FCIDM_MENU_FILE)), 0);
  EXPECT_TRUE(MenuItems(recorder_->Popup(FCIDM_MENU_FILE))[2].grayed);
}

TEST_F(FolderViewTest, SelectionShowsCountAndSizeAndEnablesTheFileEntries) {
  StoreFile("D:\\Work\\big.txt", "D1.txt", std::string(1000, 'b'));
  StoreFile("D:\\Work\\small.txt", "D2.txt", std::string(600, 's'));
  MakeDir(DS("D3"));
  AppendRecord("D:\\Work\\Album", DS("D3"));
  Open();
  ASSERT_EQ(ListView_GetItemCount(list_), 3);
  EXPECT_EQ(recorder_->StatusText(0), "Objects: 3");
  EXPECT_EQ(recorder_->StatusText(1), "1.56 KBytes") << "folders add nothing";
  EXPECT_FALSE(MenuItems(recorder_->Popup(FCIDM_MENU_FILE))[2].grayed) << "something to vaporize";

  // Sorted by name: Album, big.txt, small.txt.
  ASSERT_EQ(Caption(0), "Album");
  Select(1);
  Select(2);
  EXPECT_EQ(recorder_->StatusText(0), "Selected: 2");
  EXPECT_EQ(recorder_->StatusText(1), "1.56 KBytes");
  Pump();
  auto file = MenuItems(recorder_->Popup(FCIDM_MENU_FILE));
  EXPECT_FALSE(file[0].grayed) << "&Restore";
  EXPECT_FALSE(file[1].grayed) << "&Vaporize selected";

  Select(1, false);
  EXPECT_EQ(recorder_->StatusText(0), "Selected: 1");
  EXPECT_EQ(recorder_->StatusText(1), "600 Bytes");
  Select(2, false);
  Select(0);
  EXPECT_EQ(recorder_->StatusText(0), "Selected: 1");
  EXPECT_EQ(recorder_->StatusText(1), "0 Bytes") << "a folder alone";
  Select(0, false);
  EXPECT_EQ(recorder_->StatusText(0), "Objects: 3");
  Pump();
  file = MenuItems(recorder_->Popup(FCIDM_MENU_FILE));
  EXPECT_TRUE(file[0].grayed);
  EXPECT_TRUE(file[1].grayed);
}

TEST_F(FolderViewTest, ManySelectionChangesLeaveExactlyOneMergedMenu) {
  for (int i = 0; i < 6; ++i) StoreFile("D:\\f" + std::to_string(i) + ".txt", "D" + std::to_string(i + 1) + ".txt", "x");
  Open();
  for (int round = 0; round < 5; ++round) {
    for (int i = 0; i < 6; ++i) {
      Select(i, round % 2 == 0);
      if (i % 2) Pump();
    }
  }
  Command(20);  // select all
  Command(21);  // invert
  Pump();
  EXPECT_EQ(recorder_->installed.size(), 1u);
  ASSERT_NE(recorder_->currentMenu, nullptr);
  EXPECT_EQ(*recorder_->installed.begin(), recorder_->currentMenu);
  int destroyed = 0;
  for (HMENU m : recorder_->everInstalled)
    if (m != recorder_->currentMenu && !IsMenu(m)) ++destroyed;
  EXPECT_EQ(destroyed, static_cast<int>(recorder_->everInstalled.size()) - 1) << "every earlier menu is gone";
  EXPECT_EQ(recorder_->insertCalls, recorder_->removeCalls + 1);
}

TEST_F(FolderViewTest, SortsByCaptionWithTheLocaleOrderAndFillsTheColumns) {
  StoreFile("D:\\Work\\b.txt", "D1.txt", std::string(2560, 'b'));
  StoreFile("D:\\Work\\C.txt", "D2.txt", "");
  StoreFile("D:\\Other\\a.txt", "D3.txt", std::string(1536, 'a'));
  Open();
  ASSERT_EQ(ListView_GetItemCount(list_), 3);
  EXPECT_EQ(Caption(0), "a.txt");
  EXPECT_EQ(Caption(1), "b.txt");
  EXPECT_EQ(Caption(2), "C.txt") << "locale order, not byte order";
  EXPECT_EQ(Cell(0, 1), "D:\\Other\\");
  EXPECT_FALSE(Cell(0, 2).empty()) << "the date it was sent";
  EXPECT_EQ(Cell(0, 4), "2 KBytes");
  EXPECT_EQ(Cell(1, 4), "2 KBytes") << "2.5 rounds to even";
  EXPECT_EQ(Cell(2, 4), "1 KBytes") << "an empty file";
  // Captions are not edited in place.
  EXPECT_EQ(SendMessageA(list_, LVM_EDITLABELA, 0, 0), 0);
}

TEST_F(FolderViewTest, ToolbarGetsSixButtonsOldStyleAndThreeWithDropDowns) {
  Open();
  ASSERT_EQ(recorder_->toolbarItems.size(), 1u);
  EXPECT_EQ(recorder_->toolbarFlags[0], static_cast<UINT>(FCT_MERGE));
  const auto& six = recorder_->toolbarItems[0];
  ASSERT_EQ(six.size(), 6u);
  const int ids[] = {12, 0, 2, 3, 4, 5};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(six[i].idCommand, ids[i]) << i;
    EXPECT_EQ(six[i].fsState & TBSTATE_ENABLED, TBSTATE_ENABLED);
    EXPECT_EQ(six[i].iString, -1);
  }
  EXPECT_EQ(six[1].fsStyle, TBSTYLE_SEP);
  EXPECT_EQ(six[0].iBitmap, 10 + recorder_->stdBitmapOffset) << "STD_PROPERTIES";
  EXPECT_EQ(six[2].iBitmap, 0 + recorder_->viewBitmapOffset) << "VIEW_LARGEICONS";
  EXPECT_EQ(six[5].iBitmap, 3 + recorder_->viewBitmapOffset) << "VIEW_DETAILS";
  auto size = recorder_->MessagesTo(FCW_TOOLBAR, TB_BUTTONSTRUCTSIZE);
  ASSERT_EQ(size.size(), 1u);
  EXPECT_EQ(size[0].wParam, sizeof(TBBUTTON));
  EXPECT_EQ(recorder_->MessagesTo(FCW_TOOLBAR, TB_ADDBITMAP).size(), 2u);
  // The list's mode has its button checked.
  EXPECT_TRUE(SendMessageA(recorder_->Toolbar(), TB_ISBUTTONCHECKED, 4, 0));
  EXPECT_EQ(win32::LastCheckedViewButton(), 4);

  Open({true, false});
  ASSERT_EQ(recorder_->toolbarItems.size(), 1u);
  const auto& three = recorder_->toolbarItems[0];
  ASSERT_EQ(three.size(), 3u);
  EXPECT_EQ(three[0].idCommand, 12);
  EXPECT_EQ(three[1].fsStyle, TBSTYLE_SEP);
  EXPECT_EQ(three[2].idCommand, 1021);
  EXPECT_EQ(three[2].iBitmap, 12 + recorder_->viewBitmapOffset) << "VIEW_VIEWMENU";
  EXPECT_TRUE(recorder_->MessagesTo(FCW_TOOLBAR, TB_CHECKBUTTON).empty()) << "no view buttons to check";
}

TEST_F(FolderViewTest, ViewButtonsFollowTheModeAndTwoViewsShareTheLastChecked) {
  Open();
  HWND toolbar = recorder_->Toolbar();
  Command(5);
  EXPECT_EQ(CurrentMode(), static_cast<UINT>(FVM_DETAILS));
  EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONCHECKED, 5, 0));
  EXPECT_FALSE(SendMessageA(toolbar, TB_ISBUTTONCHECKED, 4, 0));
  EXPECT_EQ(win32::LastCheckedViewButton(), 5);
  Command(22);
  EXPECT_EQ(CurrentMode(), static_cast<UINT>(FVM_ICON));
  EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONCHECKED, 2, 0));
  EXPECT_FALSE(SendMessageA(toolbar, TB_ISBUTTONCHECKED, 5, 0));

  // A second view unchecks the button the first one checked last.
  RecordingBrowser* first = recorder_;
  com::ComPtr<IShellBrowser> firstBrowser = browser_;
  com::ComPtr<IShellView> firstView = view_;
  browser_.Reset();
  view_.Reset();
  Open({}, FVM_SMALLICON);
  auto checks = recorder_->MessagesTo(FCW_TOOLBAR, TB_CHECKBUTTON);
  ASSERT_GE(checks.size(), 2u);
  EXPECT_EQ(checks[0].wParam, 2u) << "the first view's last button, unchecked";
  EXPECT_EQ(LOWORD(checks[0].lParam), FALSE);
  EXPECT_EQ(checks.back().wParam, 3u);
  EXPECT_EQ(win32::LastCheckedViewButton(), 3);
  (void)first;
  firstView->DestroyViewWindow();
}

TEST_F(FolderViewTest, FolderSettingsChooseTheModeAndOddModesLeaveTheList) {
  const struct {
    UINT given;
    UINT reported;
    DWORD style;
  } table[] = {{FVM_ICON, FVM_ICON, LVS_ICON},       {FVM_SMALLICON, FVM_SMALLICON, LVS_SMALLICON},
               {FVM_LIST, FVM_LIST, LVS_LIST},       {FVM_DETAILS, FVM_DETAILS, LVS_REPORT},
               {0, FVM_LIST, LVS_LIST},              {7, FVM_LIST, LVS_LIST}};
  for (const auto& row : table) {
    Open({}, row.given);
    EXPECT_EQ(CurrentMode(), row.reported) << row.given;
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(list_, GWL_STYLE) & LVS_TYPEMASK), row.style) << row.given;
  }
}

TEST_F(FolderViewTest, CommandTenTwentyOneCyclesBackToTheFirstModeAfterFourPresses) {
  for (bool dropDowns : {false, true}) {
    Open({dropDowns, false}, FVM_SMALLICON);
    std::vector<UINT> seen;
    for (int i = 0; i < 4; ++i) {
      Command(1021);
      seen.push_back(CurrentMode());
    }
    EXPECT_EQ(seen, (std::vector<UINT>{FVM_LIST, FVM_DETAILS, FVM_ICON, FVM_SMALLICON}));
  }
  // A new-style toolbar sends its view button as 1009, its properties as 1008.
  Open({true, false}, FVM_LIST);
  Command(1009);
  EXPECT_EQ(CurrentMode(), static_cast<UINT>(FVM_DETAILS));
  Open({false, false}, FVM_LIST);
  Command(1009);
  EXPECT_EQ(CurrentMode(), static_cast<UINT>(FVM_LIST)) << "only a new-style toolbar's id";
}

TEST_F(FolderViewTest, CurrentInfoOnlyWhileTheWindowExists) {
  com::ComPtr<IShellView> fresh;
  ASSERT_EQ(folder_->CreateViewObject(nullptr, IID_IShellView, fresh.PutVoid()), S_OK);
  FOLDERSETTINGS fs{99, 99};
  EXPECT_EQ(fresh->GetCurrentInfo(&fs), E_NOTIMPL);
  EXPECT_EQ(fs.ViewMode, 99u);
  Open();
  EXPECT_EQ(CurrentMode(), static_cast<UINT>(FVM_LIST));
  long held = recorder_->References();
  EXPECT_EQ(view_->DestroyViewWindow(), S_OK);
  EXPECT_FALSE(IsWindow(hwnd_));
  EXPECT_LT(recorder_->References(), held) << "the browser is let go";
  fs = {99, 99};
  EXPECT_EQ(view_->GetCurrentInfo(&fs), E_NOTIMPL);
  HWND none = reinterpret_cast<HWND>(1);
  EXPECT_EQ(view_->GetWindow(&none), S_OK);
  EXPECT_EQ(none, nullptr);

  const struct {
    const char* name;
    HRESULT got;
  } refused[] = {{"ContextSensitiveHelp", view_->ContextSensitiveHelp(TRUE)},
                 {"EnableModeless", view_->EnableModeless(TRUE)},
                 {"AddPropertySheetPages", view_->AddPropertySheetPages(0, nullptr, 0)},
                 {"SaveViewState", view_->SaveViewState()},
                 {"SelectItem", view_->SelectItem(nullptr, SVSI_SELECT)}};
  for (const auto& r : refused) EXPECT_EQ(r.got, E_NOTIMPL) << r.name;
  void* item = reinterpret_cast<void*>(1);
  EXPECT_EQ(view_->GetItemObject(SVGIO_SELECTION, IID_IDataObject, &item), E_NOTIMPL);
  EXPECT_EQ(item, reinterpret_cast<void*>(1)) << "a refused method leaves its out-parameter alone";
  com::ComPtr<IUnknown> unk;
  EXPECT_EQ(view_->QueryInterface(IID_IUnknown, unk.PutVoid()), S_OK);
  // IShellView derives from IOleWindow, which a host may ask for on its own.
  com::ComPtr<IOleWindow> window;
  ASSERT_EQ(view_->QueryInterface(IID_IOleWindow, window.PutVoid()), S_OK);
  EXPECT_EQ(static_cast<void*>(window.Get()), static_cast<void*>(view_.Get()));
  com::ComPtr<IShellView2> view2;
  EXPECT_EQ(view_->QueryInterface(IID_IShellView2, view2.PutVoid()), E_NOINTERFACE);
}

TEST_F(FolderViewTest, UiActivateRebuildsOnlyOnChangeAndDeactivationSilencesTheWindow) {
  Open();
  int inserts = recorder_->insertCalls;
  // The first deactivation after the window was made changes nothing.
  EXPECT_EQ(view_->UIActivate(SVUIA_DEACTIVATE), S_OK);
  EXPECT_EQ(recorder_->insertCalls, inserts);
  EXPECT_NE(recorder_->currentMenu, nullptr) << "the menus merged by the filling stay";
  EXPECT_FALSE(Window()->Inactive());

  EXPECT_EQ(view_->UIActivate(SVUIA_ACTIVATE_NOFOCUS), S_OK);
  EXPECT_EQ(recorder_->insertCalls, inserts + 1);
  EXPECT_EQ(view_->UIActivate(SVUIA_ACTIVATE_NOFOCUS), S_OK);
  EXPECT_EQ(recorder_->insertCalls, inserts + 1) << "the same state twice does nothing";
  EXPECT_EQ(view_->UIActivate(SVUIA_ACTIVATE_FOCUS), S_OK);
  EXPECT_EQ(recorder_->insertCalls, inserts + 2);
  EXPECT_EQ(recorder_->installed.size(), 1u);

  EXPECT_EQ(view_->UIActivate(SVUIA_DEACTIVATE), S_OK);
  EXPECT_TRUE(recorder_->installed.empty()) << "the menus are taken back";
  EXPECT_EQ(recorder_->currentMenu, nullptr);
  EXPECT_TRUE(Window()->Inactive());
  Command(1021);
  EXPECT_EQ(CurrentMode(), static_cast<UINT>(FVM_LIST)) << "commands are ignored now";
  std::size_t hints = recorder_->statusTexts.size();
  SendMessageA(hwnd_, WM_MENUSELECT, MAKEWPARAM(17, 0), 0);
  EXPECT_EQ(recorder_->statusTexts.size(), hints);
}

TEST_F(FolderViewTest, MenuHintsAndTooltipsReachTheBrowser) {
  Open();
  SendMessageA(hwnd_, WM_MENUSELECT, MAKEWPARAM(17, 0), 0);
  ASSERT_FALSE(recorder_->statusTexts.empty());
  EXPECT_EQ(recorder_->statusTexts.back(), "Vaporize selected object(s).");
  SendMessageA(hwnd_, WM_MENUSELECT, MAKEWPARAM(26, 0), 0);
  EXPECT_EQ(recorder_->statusTexts.back(), "Invoke the help topic");
  std::size_t count = recorder_->statusTexts.size();
  SendMessageA(hwnd_, WM_MENUSELECT, MAKEWPARAM(19, 0), 0);
  SendMessageA(hwnd_, WM_MENUSELECT, MAKEWPARAM(27, 0), 0);
  EXPECT_EQ(recorder_->statusTexts.size(), count) << "no hint for 19 and 27";

  const std::pair<int, const char*> tips[] = {{2, "View as Icons"}, {5, "View as Report"}, {12, "Properties"},
                                              {1021, ""}};
  for (const auto& t : tips) {
    NMTTDISPINFOA info{};
    info.hdr.hwndFrom = recorder_->Toolbar();
    info.hdr.idFrom = static_cast<UINT_PTR>(t.first);
    info.hdr.code = TTN_NEEDTEXTA;
    SendMessageA(hwnd_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_STREQ(info.szText, t.second) << t.first;
  }
}

TEST_F(FolderViewTest, MenuPopupChecksTheModeAndEnablesVaporizeAllWithItems) {
  StoreFile("D:\\a.txt", "D1.txt", "a");
  Open({}, FVM_DETAILS);
  HMENU viewMenu = recorder_->Popup(FCIDM_MENU_VIEW);
  SendMessageA(hwnd_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(viewMenu), 2);
  auto items = MenuItems(viewMenu);
  EXPECT_TRUE(items[3].checked) << "&Details";
  EXPECT_TRUE(items[3].radio);
  EXPECT_FALSE(items[0].checked);
  EXPECT_FALSE(MenuItems(recorder_->Popup(FCIDM_MENU_FILE))[2].grayed);
}

TEST_F(FolderViewTest, DeleteWithNothingSelectedAsksNothingAndKeysElsewhereAreNotOurs) {
  std::string stored = StoreFile("D:\\a.txt", "D1.txt", "a");
  Open();
  ScriptedUi ui;
  ScopedUi scope(ui);
  EXPECT_EQ(Key(VK_DELETE), S_OK) << "the key is handled all the same";
  EXPECT_TRUE(ui.asked.empty());
  EXPECT_TRUE(PathExists(stored));

  EXPECT_EQ(Key('X'), E_NOTIMPL);
  MSG up = {};
  up.hwnd = list_;
  up.message = WM_KEYUP;
  up.wParam = VK_DELETE;
  EXPECT_EQ(view_->TranslateAccelerator(&up), E_NOTIMPL);
  EXPECT_EQ(view_->TranslateAccelerator(nullptr), E_NOTIMPL);

  Select(0);
  EXPECT_EQ(Key(VK_DELETE, recorder_->Frame()), E_NOTIMPL) << "a Delete typed in the browser's own controls";
  EXPECT_TRUE(ui.asked.empty());

  ui.answers = {false};
  EXPECT_EQ(Key(VK_DELETE), S_OK);
  ASSERT_EQ(ui.asked.size(), 1u);
  EXPECT_EQ(ui.asked[0].kind, Question::Caution);
  EXPECT_TRUE(PathExists(stored)) << "answered No";
}

TEST_F(FolderViewTest, CtrlASelectsEverythingAndLetsTheBrowserGoOn) {
  StoreFile("D:\\a.txt", "D1.txt", "a");
  StoreFile("D:\\b.txt", "D2.txt", "bb");
  Open();
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  BYTE saved = keys[VK_CONTROL];
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  HRESULT hr = Key('A');
  keys[VK_CONTROL] = saved;
  SetKeyboardState(keys);
  EXPECT_EQ(hr, E_NOTIMPL);
  EXPECT_EQ(ListView_GetSelectedCount(list_), 2u);
  EXPECT_EQ(recorder_->StatusText(0), "Selected: 2");
  EXPECT_EQ(recorder_->StatusText(1), "3 Bytes");

  // Without Ctrl the A key is the browser's.
  Command(21);
  EXPECT_EQ(ListView_GetSelectedCount(list_), 0u);
  EXPECT_EQ(Key('A'), E_NOTIMPL);
  EXPECT_EQ(ListView_GetSelectedCount(list_), 0u);
}

TEST_F(FolderViewTest, ActivationIsReportedToTheBrowser) {
  Open();
  int before = recorder_->activeCalls;
  SendMessageA(hwnd_, WM_SETFOCUS, 0, 0);
  EXPECT_EQ(recorder_->activeCalls, before + 1);
}

TEST_F(FolderViewTest, ABrowserWithoutMenusToolbarOrStatusBarStillGetsAWorkingView) {
  std::string stored = StoreFile("D:\\Work\\a.txt", "D1.txt", "abc");
  Open({false, true});
  EXPECT_EQ(ListView_GetItemCount(list_), 1);
  EXPECT_EQ(Caption(0), "a.txt");
  EXPECT_EQ(view_->UIActivate(SVUIA_ACTIVATE_FOCUS), S_OK);
  Select(0);
  Pump();
  EXPECT_EQ(Window()->Counters().CountText(), "Selected: 1");
  Command(1021);
  EXPECT_EQ(CurrentMode(), static_cast<UINT>(FVM_DETAILS));
  ScriptedUi ui;
  ScopedUi scope(ui);
  Command(15);
  EXPECT_EQ(Slurp(D("Work\\a.txt")), "abc") << "restored";
  EXPECT_FALSE(PathExists(stored));
  Pump();
  EXPECT_EQ(ListView_GetItemCount(list_), 0) << "the list follows the store";
}

}  // namespace
}  // namespace vz::test
