// The Vaporizer folder over the test drives, and its window opened in a
// browser of the test's own: what the folder, view, item window and
// end-to-end tests of the shell share.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "platform/win32/com.h"
#include "win32/recording_browser.h"
#include "window/store_fixture.h"

namespace vz::test {

class FolderWindowTest : public StoreTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A view in a new browser; mode is the folder settings' ViewMode.
  void Open(RecordingBrowser::Options options = {}, UINT mode = FVM_LIST, RECT rect = {10, 20, 410, 320});
  void Close();

  void Select(int item, bool on = true);
  void Command(int id);
  int Count();
  // A cell of the list, read whole, in the core's text.
  std::string Cell(int item, int column = 0);
  int Find(const std::string& caption);

  com::ComPtr<IShellFolder> folder_;
  com::ComPtr<IShellBrowser> browser_;
  RecordingBrowser* recorder_ = nullptr;
  com::ComPtr<IShellView> view_;
  HWND hwnd_ = nullptr, list_ = nullptr;
};

}  // namespace vz::test
