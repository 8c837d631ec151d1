#include <gtest/gtest.h>

#include "platform/platform.h"
#include "store/enum_shred.h"
#include "store/store.h"
#include "support/drives.h"

namespace vz::test {
namespace {

class EnumShredTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    EnsureStores();
  }
  std::vector<ShredItemId> All(ShredEnumeration& e) {
    std::vector<ShredItemId> out;
    while (auto item = e.Next(PortableTypeInfo)) out.push_back(*item);
    return out;
  }
};

TEST_F(EnumShredTest, EmptyStoresListNothing) {
  ShredEnumeration e;
  EXPECT_EQ(e.Count(), 0u);
  EXPECT_FALSE(e.Next(PortableTypeInfo).has_value());
}

TEST_F(EnumShredTest, LiveRecordsInDriveThenIndexOrderWithFieldsFilled) {
  MakeFile(CS("C1.doc"), "hello");
  MakeFile(CS("info.shr"), Own("C:\\Work\\report.doc\r\nC:\\VAPORIZE\\C1.doc\r\n"));
  MakeFile(DS("D1.txt"), "abc");
  MakeDir(DS("D1"));
  MakeFile(DS("D1\\inner.txt"), "x");
  MakeFile(DS("info.shr"),
           Own("D:\\Old\r\nD:\\VAPORIZE\\D1\r\n"
           "D:\\dead.txt\r\nD:\\VAPORIZE\\D7.txt\r\n"
           "D:\\notes.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"));
  ShredEnumeration e;
  auto items = All(e);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(GetField(items[0].originalPath), "C:\\Work\\report.doc");
  EXPECT_EQ(GetField(items[0].storedPath), Own("C:\\VAPORIZE\\C1.doc"));
  EXPECT_EQ(GetField(items[0].displayName), "report.doc");
  EXPECT_EQ(items[0].size, 5u);
  EXPECT_FALSE(GetField(items[0].typeName).empty());

  EXPECT_EQ(GetField(items[1].displayName), "Old");
  EXPECT_EQ(items[1].size, kFolderSize) << "a folder's size field has every bit set";
  EXPECT_EQ(GetField(items[2].storedPath), Own("D:\\VAPORIZE\\D1.txt"));
  EXPECT_EQ(items[2].size, 3u);
}

TEST_F(EnumShredTest, LineEndingsOfEveryKindAndAnOddLastLine) {
  MakeFile(DS("D1.txt"), "1");
  MakeFile(DS("D2.txt"), "2");
  MakeFile(DS("info.shr"), Own("D:\\a.txt\rD:\\VAPORIZE\\D1.txt\rD:\\b.txt\nD:\\VAPORIZE\\D2.txt\nD:\\odd.txt"));
  ShredEnumeration e;
  auto items = All(e);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(GetField(items[1].originalPath), "D:\\b.txt");
}

TEST_F(EnumShredTest, DuplicateStoredPathsInAnyCaseGiveOneItemTheFirst) {
  MakeFile(DS("D1.txt"), "1");
  MakeFile(DS("info.shr"), Own("D:\\first.txt\r\nD:\\VAPORIZE\\D1.txt\r\nD:\\second.txt\r\nd:\\vaporize\\D1.txt\r\n"));
  // Another index naming the same stored item: not an item of its own store.
  MakeFile(CS("info.shr"), Own("C:\\zero.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"));
  ShredEnumeration e;
  auto items = All(e);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(GetField(items[0].originalPath), "D:\\first.txt");
}

TEST_F(EnumShredTest, LongPathsAreListedWhole) {
  MakeFile(DS("D1.txt"), "1");
  std::string longOriginal = "D:\\" + std::string(300, 'a') + ".txt";
  MakeFile(DS("info.shr"), longOriginal + Own("\r\nD:\\VAPORIZE\\D1.txt\r\n"));
  ShredEnumeration e;
  auto item = e.Next(PortableTypeInfo);
  ASSERT_TRUE(item.has_value());
  EXPECT_EQ(item->originalPath, longOriginal);
  EXPECT_EQ(item->displayName, std::string(300, 'a') + ".txt");
}

TEST_F(EnumShredTest, SizeIsReadAtHandOutAndKeepsTheLow32BitsOfLargeFiles) {
  MakeSparseFile(DS("D1.bin"), (5LL << 30) + 7);
  MakeFile(DS("D2.txt"), "ab");
  MakeFile(DS("info.shr"), Own("D:\\big.bin\r\nD:\\VAPORIZE\\D1.bin\r\nD:\\s.txt\r\nD:\\VAPORIZE\\D2.txt\r\n"));
  ShredEnumeration e;
  auto items = All(e);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].size, 0x40000007u);
  // A vanished item is still handed out, sized -1, after a Reset.
  MakeFile(DS("D2.txt"), "abcdef");
  e.Reset();
  items = All(e);
  EXPECT_EQ(items[1].size, 6u);
  Plat().RemoveFile(DS("D2.txt"));
  e.Reset();
  items = All(e);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].size, kFolderSize);
}

TEST_F(EnumShredTest, SkipPastTheEndStopsThere) {
  MakeFile(DS("D1.txt"), "1");
  MakeFile(DS("D2.txt"), "2");
  MakeFile(DS("info.shr"), Own("D:\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\nD:\\b.txt\r\nD:\\VAPORIZE\\D2.txt\r\n"));
  ShredEnumeration e;
  EXPECT_TRUE(e.Skip(1));
  EXPECT_EQ(GetField(e.Next(PortableTypeInfo)->originalPath), "D:\\b.txt");
  e.Reset();
  EXPECT_FALSE(e.Skip(2));
  EXPECT_EQ(e.Position(), 2u);
  EXPECT_FALSE(e.Next(PortableTypeInfo).has_value());
  e.Reset();
  EXPECT_FALSE(e.Skip(0xFFFFFFFFull));
  EXPECT_FALSE(e.Next(PortableTypeInfo).has_value());
}

}  // namespace
}  // namespace vz::test
