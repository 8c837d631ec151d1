#include <windows.h>
#include <gtest/gtest.h>

#include "support/item_ids.h"
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/com.h"
#include "platform/win32/wide.h"
#include "store/store.h"
#include "support/drives.h"
#include "window/drag_interface_win.h"
#include "win32/folder_drop_target.h"

namespace vz::test {
namespace {

class RealDragTest : public DrivesTest {};

TEST_F(RealDragTest, DroppedItemsLeaveTheStoreUnderTheirOwnNamesAndThePruneDropsTheirRecords) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  EnsureStores();
  MakeFile(DS("D1.doc"), "report");
  MakeFile(DS("D2.txt"), "notes");
  MakeFile(DS("info.shr"), Own("D:\\Work\\report.doc\r\nD:\\VAPORIZE\\D1.doc\r\nD:\\Old\\notes.txt\r\nD:\\VAPORIZE\\D2.txt\r\n"));
  MakeDir(D("Target"));

  DropFolderWindow target(win32::Widen(D("Target")));
  ASSERT_NE(target.Handle(), nullptr);

  int dropped = 0;
  auto app = std::make_shared<win32::TDragInterface>(
      nullptr,
      [] {
        return std::vector<ShredItemId>{PathsItem("D:\\Work\\report.doc", Own("D:\\VAPORIZE\\D1.doc")),
                                        PathsItem("D:\\Old\\notes.txt", Own("D:\\VAPORIZE\\D2.txt"))};
      },
      [&dropped] { ++dropped; });
  DWORD effect = 0;
  // The left button is up, so the drag drops at once where the pointer is.
  HRESULT hr = app->StartDrag(DROPEFFECT_MOVE, &effect);

  EXPECT_EQ(hr, DRAGDROP_S_DROP);
  EXPECT_EQ(dropped, 1);
  EXPECT_EQ(Slurp(D("Target\\report.doc")), "report");
  EXPECT_EQ(Slurp(D("Target\\notes.txt")), "notes");
  EXPECT_FALSE(PathExists(DS("D1.doc")));
  PruneIndex();
  EXPECT_EQ(Slurp(DS("info.shr")), "");
  OleUninitialize();
}

}  // namespace
}  // namespace vz::test
