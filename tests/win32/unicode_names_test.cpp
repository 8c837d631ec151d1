// Names as people have them, under code page 1252: Cyrillic, Greek and
// Japanese, an emoji (a surrogate pair in UTF-16), look-alikes that best fit
// would turn into a plain letter or a slash, a name the code page holds,
// and a path past 259 characters. Each road of the shell takes them in and
// hands them back exactly.
#include <windows.h>
#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/ui.h"
#include "handlers/shred_file_menu_win.h"
#include "namespace/drop_target_win.h"
#include "platform/win32/com.h"
#include "platform/win32/shell_support_win.h"
#include "platform/win32/wide.h"
#include "store/item_id_win.h"
#include "win32/folder_window.h"
#include "win32/shell_support.h"
#include "window/confirm_replace_win.h"
#include "window/item_commands.h"
#include "window/drag_interface_win.h"
#include "window/shell_ui_win.h"

namespace vz::test {
namespace {

using win32::Narrow;
using win32::Widen;

// Each name within what the host's file system takes (255 bytes of UTF-8).
const std::wstring kLongFolder = L"D:\\" + std::wstring(160, L'L') + L"\\" + std::wstring(100, L'Ж') + L"\\";

// Folder and name of each item; the first is all the code page needs.
const std::pair<std::wstring, std::wstring> kItems[] = {
    {L"D:\\Work\\", L"caf\u00e9.txt"},
    {L"D:\\Работа\\", L"Отчёт за май.txt"},
    {L"D:\\Работа\\", L"Ελληνικά.doc"},
    {L"D:\\Работа\\", L"日本語のファイル.txt"},
    {L"D:\\Работа\\", L"smile \U0001F600.txt"},
    {L"D:\\Работа\\", L"\uFB01nal.txt"},    // the ligature fi
    {L"D:\\Работа\\", L"\uFF21.txt"},       // a fullwidth A
    {L"D:\\Работа\\", L"a\u2215b.txt"},     // a division slash, not a path separator
    {L"D:\\", L"Папка \U0001F4C1"},         // a folder
    {kLongFolder, std::wstring(36, L'n') + L".txt"},  // 305 characters
};

class UnicodeNamesTest : public FolderWindowTest {
 protected:
  void SetUp() override {
    FolderWindowTest::SetUp();
    for (const auto& item : kItems) {
      std::string path = Narrow(item.first + item.second);
      paths_.push_back(path);
      names_.insert(item.second);
      if (IsFolder(path)) MakeFile(path + "\\inside.txt", path);
      else MakeFile(path, path);
    }
  }
  static bool IsFolder(const std::string& path) { return path.find('.', path.rfind('\\')) == std::string::npos; }

  // Every item as the folder's enumerator hands it out.
  struct Listed {
    std::size_t length;  // of the identifier, with the list's ending zero
    std::wstring name;   // as the folder names it
    ShredItemId id;
  };
  std::vector<Listed> Enumerate() {
    std::vector<Listed> out;
    com::ComPtr<IEnumIDList> items;
    EXPECT_EQ(folder_->EnumObjects(nullptr, SHCONTF_NONFOLDERS, items.Put()), S_OK);
    PITEMID_CHILD id = nullptr;
    while (items && items->Next(1, &id, nullptr) == S_OK) {
      win32::IdList owned(id);
      STRRET name{};
      EXPECT_EQ(folder_->GetDisplayNameOf(id, SHGDN_NORMAL, &name), S_OK);
      auto item = win32::ReadItemId(id);
      EXPECT_TRUE(item.has_value());
      if (item) out.push_back({id->mkid.cb + 2u, win32::TakeStrRet(name, id), *item});
    }
    return out;
  }

  void SendByDrop() {
    ScopedUi shell(win32::ShellUserInterface());
    DialogAnswerer answer({IDYES});
    com::ComPtr<IDropTarget> target;
    ASSERT_EQ(win32::CreateDropShred(folder_.Get(), IID_IDropTarget, target.PutVoid()), S_OK);
    DWORD effect = DROPEFFECT_MOVE;
    auto data = DropData(Offer::Files, paths_);
    ASSERT_EQ(target->DragEnter(data.Get(), 0, {}, &effect), S_OK);
    ASSERT_EQ(target->Drop(data.Get(), 0, {}, &effect), S_OK);
    ASSERT_TRUE(WaitForJobs());
    EXPECT_EQ(answer.Seen().size(), 1u);
  }

  std::vector<std::string> paths_;
  std::multiset<std::wstring> names_;
};

TEST_F(UnicodeNamesTest, DroppedListedShownDraggedOutAndRestoredExactly) {
  SendByDrop();
  for (const auto& p : paths_) EXPECT_FALSE(PathExists(p)) << p << " went into the store";

  // The enumerator: the code page's name in the classic layout, every other
  // in the wide one, each named exactly.
  std::vector<Listed> listed = Enumerate();
  std::multiset<std::wstring> shown;
  for (const auto& l : listed) {
    shown.insert(l.name);
    EXPECT_EQ(l.length == 1052, l.name == L"caf\u00e9.txt") << Narrow(l.name);
  }
  EXPECT_EQ(shown, names_);

  // The item window: each row's name and folder as they were.
  Open({}, FVM_DETAILS);
  std::set<std::pair<std::string, std::string>> rows, expected;
  for (int i = 0; i < Count(); ++i) rows.emplace(Cell(i, 0), Cell(i, 1));
  for (const auto& item : kItems) {
    std::string path = Narrow(item.first + item.second);
    expected.emplace(Narrow(item.second), IsFolder(path) ? "" : Narrow(item.first));
  }
  EXPECT_EQ(rows, expected) << "a folder shows no original location";

  // A drag out: the wide file list names the stored items, the 16-bit map
  // their names, in the same order.
  std::vector<ShredItemId> ids;
  for (const auto& l : listed) ids.push_back(l.id);
  auto drag = std::make_shared<win32::TDragInterface>(nullptr, [ids] { return ids; }, nullptr);
  FORMATETC files{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  FORMATETC map{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"FileNameMapW")), nullptr, DVASPECT_CONTENT, -1,
                TYMED_HGLOBAL};
  STGMEDIUM filesMedium{}, mapMedium{};
  ASSERT_EQ(drag->GetData(files, filesMedium), S_OK);
  ASSERT_EQ(drag->GetData(map, mapMedium), S_OK);
  auto drop = static_cast<HDROP>(filesMedium.hGlobal);
  const auto* name = static_cast<const wchar_t*>(GlobalLock(mapMedium.hGlobal));
  ASSERT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), listed.size());
  for (UINT i = 0; i < listed.size(); ++i, name += wcslen(name) + 1) {
    std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, &path[0], static_cast<UINT>(path.size())));
    EXPECT_EQ(Narrow(path), listed[i].id.storedPath);
    EXPECT_TRUE(PathExists(Narrow(path)));
    EXPECT_EQ(name, listed[i].name);
  }
  GlobalUnlock(mapMedium.hGlobal);
  ReleaseStgMedium(&filesMedium);
  ReleaseStgMedium(&mapMedium);

  // Restore from the window: every item back under its own name, whole.
  Select(-1);
  {
    ScopedUi shell(win32::ShellUserInterface());
    DialogAnswerer answer({}, IDNO);
    Command(cmd::kRestore);
    EXPECT_TRUE(answer.Seen().empty());
  }
  for (const auto& p : paths_) EXPECT_EQ(Slurp(IsFolder(p) ? p + "\\inside.txt" : p), p) << p;
  EXPECT_TRUE(Enumerate().empty());
}

TEST_F(UnicodeNamesTest, TheFileMenuSendsThemAndAsksWithTheNameWhole) {
  com::ComPtr<IContextMenu> menu;
  ASSERT_EQ(win32::CreateShredFileMenu(IID_IContextMenu, menu.PutVoid()), S_OK);
  com::ComPtr<IShellExtInit> init;
  ASSERT_EQ(menu.As(init), S_OK);
  ScopedUi shell(win32::ShellUserInterface());
  CMINVOKECOMMANDINFO invoke{sizeof invoke};
  invoke.lpVerb = MAKEINTRESOURCEA(0);
  // One item: the question names it. Then the rest, after Yes.
  {
    DialogAnswerer answer({IDNO});
    ASSERT_EQ(init->Initialize(nullptr, DropData(Offer::Files, {paths_[1]}).Get(), nullptr), S_OK);
    ASSERT_EQ(menu->InvokeCommand(&invoke), S_OK);
    ASSERT_TRUE(WaitForJobs());
    ASSERT_EQ(answer.Seen().size(), 1u);
    EXPECT_EQ(answer.Seen()[0].Text(101), "Are you sure you want to send '" + Narrow(kItems[1].second) +
                                              "' to the Vaporizer?");
    EXPECT_TRUE(PathExists(paths_[1]));
  }
  DialogAnswerer answer({IDYES});
  ASSERT_EQ(init->Initialize(nullptr, DropData(Offer::Files, paths_).Get(), nullptr), S_OK);
  ASSERT_EQ(menu->InvokeCommand(&invoke), S_OK);
  ASSERT_TRUE(WaitForJobs());
  std::multiset<std::wstring> shown;
  for (const auto& l : Enumerate()) shown.insert(l.name);
  EXPECT_EQ(shown, names_);
}

TEST_F(UnicodeNamesTest, TheReplaceQuestionShowsThePathWhole) {
  paths_ = {paths_[3]};
  SendByDrop();
  MakeFile(paths_[0], "in the way");
  Open();
  ASSERT_EQ(Count(), 1);
  Select(0);
  ScopedUi shell(win32::ShellUserInterface());
  DialogAnswerer answer({IDNO});
  Command(cmd::kRestore);
  ASSERT_EQ(answer.Seen().size(), 1u);
  EXPECT_EQ(answer.Seen()[0].Text(win32::kIdLThis), "This folder already contains a file called " + paths_[0]);
  EXPECT_EQ(Slurp(paths_[0]), "in the way");
  EXPECT_EQ(Enumerate().size(), 1u);
}

}  // namespace
}  // namespace vz::test
