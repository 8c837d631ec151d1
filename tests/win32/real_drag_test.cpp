#include <windows.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/com.h"
#include "store/store.h"
#include "support/drives.h"
#include "window/drag_interface_win.h"

namespace vz::test {
namespace {

// A folder window of our own that takes file drops as Explorer does: it
// moves the files in, under the names of the name map when there is one.
class FolderDropTarget : public com::Object<FolderDropTarget, IDropTarget> {
 public:
  explicit FolderDropTarget(std::string folder) : folder_(std::move(folder)) {}
  static const QITAB* QiTable() {
    static const QITAB t[] = {QITABENT(FolderDropTarget, IDropTarget), {nullptr, 0}};
    return t;
  }
  IFACEMETHODIMP DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    *effect &= DROPEFFECT_MOVE;
    return S_OK;
  }
  IFACEMETHODIMP DragOver(DWORD, POINTL, DWORD* effect) override {
    *effect &= DROPEFFECT_MOVE;
    return S_OK;
  }
  IFACEMETHODIMP DragLeave() override { return S_OK; }
  IFACEMETHODIMP Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    ++drops;
    FORMATETC drop{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    FORMATETC map{static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileNameMapW")), nullptr, DVASPECT_CONTENT, -1,
                  TYMED_HGLOBAL};
    STGMEDIUM files{}, names{};
    if (FAILED(data->GetData(&drop, &files))) return E_FAIL;
    bool hasMap = SUCCEEDED(data->GetData(&map, &names));
    const wchar_t* name = hasMap ? static_cast<const wchar_t*>(GlobalLock(names.hGlobal)) : nullptr;
    UINT count = DragQueryFileA(static_cast<HDROP>(files.hGlobal), 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      char path[MAX_PATH] = {};
      DragQueryFileA(static_cast<HDROP>(files.hGlobal), i, path, MAX_PATH);
      char target[MAX_PATH] = {};
      if (name) {
        WideCharToMultiByte(CP_ACP, 0, name, -1, target, MAX_PATH, nullptr, nullptr);
        name += wcslen(name) + 1;
      } else {
        std::strcpy(target, std::strrchr(path, '\\') + 1);
      }
      MoveFileA(path, (folder_ + "\\" + target).c_str());
    }
    if (name) GlobalUnlock(names.hGlobal);
    ReleaseStgMedium(&files);
    if (hasMap) ReleaseStgMedium(&names);
    *effect = DROPEFFECT_MOVE;
    return S_OK;
  }
  int drops = 0;

 private:
  std::string folder_;
};

ShredItemId Item(const std::string& original, const std::string& stored) {
  ShredItemId i{};
  SetField(i.originalPath, original);
  SetField(i.storedPath, stored);
  return i;
}

class RealDragTest : public DrivesTest {};

TEST_F(RealDragTest, DroppedItemsLeaveTheStoreUnderTheirOwnNamesAndThePruneDropsTheirRecords) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  EnsureStores();
  MakeFile(D("VAPORIZE\\D1.doc"), "report");
  MakeFile(D("VAPORIZE\\D2.txt"), "notes");
  MakeFile(D("VAPORIZE\\info.shr"), "D:\\Work\\report.doc\r\nD:\\VAPORIZE\\D1.doc\r\nD:\\Old\\notes.txt\r\nD:\\VAPORIZE\\D2.txt\r\n");
  MakeDir(D("Target"));

  // The target window lies under the pointer, where the drop lands.
  POINT cursor{};
  GetCursorPos(&cursor);
  // A class of its own: a static control is transparent to the hit test.
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "VzDropFolder";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(WS_EX_TOPMOST, "VzDropFolder", "target", WS_POPUP | WS_VISIBLE, cursor.x - 50,
                                cursor.y - 50, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  com::ComPtr<IDropTarget> target;
  ASSERT_EQ(FolderDropTarget::CreateInstance(IID_IDropTarget, target.PutVoid(), D("Target")), S_OK);
  ASSERT_EQ(RegisterDragDrop(window, target.Get()), S_OK);

  int dropped = 0;
  auto app = std::make_shared<win32::TDragInterface>(
      nullptr,
      [] {
        return std::vector<ShredItemId>{Item("D:\\Work\\report.doc", "D:\\VAPORIZE\\D1.doc"),
                                        Item("D:\\Old\\notes.txt", "D:\\VAPORIZE\\D2.txt")};
      },
      [&dropped] { ++dropped; });
  DWORD effect = 0;
  // The left button is up, so the drag drops at once where the pointer is.
  HRESULT hr = app->StartDrag(DROPEFFECT_MOVE, &effect);
  RevokeDragDrop(window);
  DestroyWindow(window);

  EXPECT_EQ(hr, DRAGDROP_S_DROP);
  EXPECT_EQ(dropped, 1);
  EXPECT_EQ(Slurp(D("Target\\report.doc")), "report");
  EXPECT_EQ(Slurp(D("Target\\notes.txt")), "notes");
  EXPECT_FALSE(PathExists(D("VAPORIZE\\D1.doc")));
  PruneIndex();
  EXPECT_EQ(Slurp(D("VAPORIZE\\info.shr")), "");
  OleUninitialize();
}

}  // namespace
}  // namespace vz::test
