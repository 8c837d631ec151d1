#include "win32/folder_window.h"

#include <commctrl.h>

#include <iterator>

#include "namespace/folder_win.h"
#include "platform/win32/wide.h"
#include "win32/shell_support.h"

namespace vz::test {

void FolderWindowTest::SetUp() {
  StoreTest::SetUp();
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  ASSERT_EQ(win32::CreateVaporizerFolder(IID_IShellFolder, folder_.PutVoid()), S_OK);
}

void FolderWindowTest::TearDown() {
  Close();
  folder_.Reset();
  OleUninitialize();
  StoreTest::TearDown();
}

void FolderWindowTest::Open(RecordingBrowser::Options options, UINT mode, RECT rect) {
  Close();
  ASSERT_EQ(RecordingBrowser::CreateInstance(IID_IShellBrowser, browser_.PutVoid(), options), S_OK);
  recorder_ = static_cast<RecordingBrowser*>(browser_.Get());
  ASSERT_EQ(folder_->CreateViewObject(nullptr, IID_IShellView, view_.PutVoid()), S_OK);
  FOLDERSETTINGS fs{mode, 0};
  ASSERT_EQ(view_->CreateViewWindow(nullptr, &fs, browser_.Get(), &rect, &hwnd_), S_OK);
  ASSERT_NE(hwnd_, nullptr);
  list_ = FindWindowExW(hwnd_, nullptr, WC_LISTVIEWW, nullptr);
  ASSERT_NE(list_, nullptr);
}

void FolderWindowTest::Close() {
  if (view_) view_->DestroyViewWindow();
  view_.Reset();
  recorder_ = nullptr;
  browser_.Reset();
  hwnd_ = list_ = nullptr;
}

void FolderWindowTest::Select(int item, bool on) {
  ListView_SetItemState(list_, item, on ? LVIS_SELECTED : 0, LVIS_SELECTED);
}

void FolderWindowTest::Command(int id) {
  SendMessageW(hwnd_, WM_COMMAND, static_cast<WPARAM>(id), 0);
  EXPECT_TRUE(WaitForJobs());
}

int FolderWindowTest::Count() { return ListView_GetItemCount(list_); }

std::string FolderWindowTest::Cell(int item, int column) {
  wchar_t text[1024] = {};
  LVITEMW cell{};
  cell.iSubItem = column;
  cell.pszText = text;
  cell.cchTextMax = static_cast<int>(std::size(text));
  SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
  return win32::Narrow(text);
}

int FolderWindowTest::Find(const std::string& caption) {
  for (int i = 0; i < Count(); ++i)
    if (Cell(i) == caption) return i;
  return -1;
}

}  // namespace vz::test
