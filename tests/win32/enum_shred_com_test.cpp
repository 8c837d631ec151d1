#include <windows.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include "platform/win32/com.h"
#include "store/enum_shred_win.h"
#include "store/item_id_win.h"
#include "store/store.h"
#include "support/drives.h"

namespace vz::test {
namespace {

class EnumShredComTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    EnsureStores();
    MakeFile(DS("D1.txt"), "12345");
    MakeDir(DS("D2"));
    MakeFile(DS("info.shr"), Own("D:\\Work\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\nD:\\Old\r\nD:\\VAPORIZE\\D2\r\n"));
    ASSERT_HRESULT_SUCCEEDED(SHGetMalloc(malloc_.Put()));
  }
  com::ComPtr<IMalloc> malloc_;
};

// Next hands out as many as asked while there are any, and says S_FALSE
// when it hands out fewer ("IEnumIDList::Next", learn.microsoft.com/windows/
// win32/api/shobjidl_core/nf-shobjidl_core-ienumidlist-next).
TEST_F(EnumShredComTest, HandsOutAsManyAsAskedAndSaysWhenFewer) {
  com::ComPtr<IEnumIDList> e;
  ASSERT_EQ(win32::CreateShredEnumerator(e.Put()), S_OK);
  PITEMID_CHILD ids[10] = {};
  ULONG fetched = 99;
  EXPECT_EQ(e->Next(10, ids, nullptr), E_INVALIDARG) << "more than one wants the count back";
  ASSERT_EQ(e->Next(10, ids, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  ASSERT_NE(ids[1], nullptr);
  EXPECT_EQ(ids[2], nullptr);
  malloc_->Free(ids[1]);
  EXPECT_EQ(malloc_->GetSize(ids[0]), static_cast<SIZE_T>(1052));
  auto item = win32::ReadItemId(ids[0]);
  ASSERT_TRUE(item.has_value());
  EXPECT_EQ(GetField(item->displayName), "a.txt");
  EXPECT_EQ(item->size, 5u);
  EXPECT_FALSE(GetField(item->typeName).empty()) << "the shell names the type";
  malloc_->Free(ids[0]);

  e->Reset();
  ASSERT_EQ(e->Next(2, ids, &fetched), S_OK);
  EXPECT_EQ(fetched, 2u);
  malloc_->Free(ids[0]);
  item = win32::ReadItemId(ids[1]);
  ASSERT_TRUE(item.has_value());
  EXPECT_EQ(item->size, 0xFFFFFFFFu);
  malloc_->Free(ids[1]);

  fetched = 7;
  EXPECT_EQ(e->Next(1, ids, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
}

TEST_F(EnumShredComTest, SkipResetAndClone) {
  com::ComPtr<IEnumIDList> e;
  ASSERT_EQ(win32::CreateShredEnumerator(e.Put()), S_OK);
  EXPECT_EQ(e->Skip(1), S_OK);
  EXPECT_EQ(e->Skip(5), S_FALSE);
  PITEMID_CHILD id = nullptr;
  EXPECT_EQ(e->Next(1, &id, nullptr), S_FALSE);
  EXPECT_EQ(e->Reset(), S_OK);
  ASSERT_EQ(e->Next(1, &id, nullptr), S_OK);
  malloc_->Free(id);
  IEnumIDList* clone = reinterpret_cast<IEnumIDList*>(0x1);
  EXPECT_EQ(e->Clone(&clone), E_NOTIMPL);
  EXPECT_EQ(clone, nullptr);
  EXPECT_EQ(e->Clone(nullptr), E_NOTIMPL);
  com::ComPtr<IUnknown> unk;
  EXPECT_EQ(e->QueryInterface(IID_IUnknown, unk.PutVoid()), S_OK);
  com::ComPtr<IShellFolder> none;
  EXPECT_EQ(e->QueryInterface(IID_IShellFolder, none.PutVoid()), E_NOINTERFACE);
}

}  // namespace
}  // namespace vz::test
