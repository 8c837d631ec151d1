#include "window/item_list.h"

#include <gtest/gtest.h>

#include "window/date_text.h"
#include "window/properties.h"
#include "window/store_fixture.h"

namespace vz::test {
namespace {

TEST(ItemListTextTest, SizeColumnRoundsHalvesToEvenAndShowsAtLeastOne) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "1 KBytes"},         {1, "1 KBytes"},       {511, "1 KBytes"},       {512, "1 KBytes"},
      {1023, "1 KBytes"},      {1024, "1 KBytes"},    {1535, "1 KBytes"},      {1536, "2 KBytes"},
      {2048, "2 KBytes"},      {2559, "2 KBytes"},    {2560, "2 KBytes"},      {2561, "3 KBytes"},
      {3584, "4 KBytes"},      {4608, "4 KBytes"},    {5632, "6 KBytes"},      {1048576, "1024 KBytes"},
      {5368709120LL, "5242880 KBytes"},
  };
  for (const auto& c : cases) EXPECT_EQ(SizeColumnText(c.first), c.second) << c.first;
}

TEST(ItemListTextTest, StatusSizeSwitchesUnitsAtTheirBoundaries) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "0 Bytes"},
      {1023, "1023 Bytes"},
      {1024, "1.00 KBytes"},
      {1600, "1.56 KBytes"},          // 1.5625
      {1029, "1.00 KBytes"},          // 1.0048...
      {1034, "1.01 KBytes"},          // 1.0097...
      {1048575, "1024.00 KBytes"},    // 1023.999...
      {1048576, "1024.00 KBytes"},    // the upper end is still kilobytes
      {1048577, "1.00 MBytes"},
      {3145728, "3.00 MBytes"},
      {1572864, "1.50 MBytes"},
      {5368709120LL, "5120.00 MBytes"},
  };
  for (const auto& c : cases) EXPECT_EQ(StatusSizeText(c.first), c.second) << c.first;
  EXPECT_EQ(StatusSizeText(1600, ","), "1,56 KBytes") << "the locale's decimal separator";
  EXPECT_EQ(StatusSizeText(-5), "0 Bytes");
}

TEST(ItemListTextTest, CountersShowTheSelectionWhileThereIsOne) {
  ListCounters c;
  EXPECT_EQ(c.CountText(), "Objects: 0");
  EXPECT_EQ(c.SizeText(), "0 Bytes");

  ListRow file;
  file.isFile = true;
  file.bytes = 1000;
  ListRow other = file;
  other.bytes = 600;
  ListRow folder;  // not a file: adds nothing
  c.Listed(file);
  c.Listed(other);
  c.Listed(folder);
  c.SetItemCount(3);
  EXPECT_EQ(c.CountText(), "Objects: 3");
  EXPECT_EQ(c.TotalBytes(), 1600);
  EXPECT_EQ(c.SizeText(), "1.56 KBytes");

  c.SelectionChanged(1000, true);
  c.SelectionChanged(600, true);
  EXPECT_EQ(c.CountText(), "Selected: 2");
  EXPECT_EQ(c.SizeText(), "1.56 KBytes");
  c.SelectionChanged(1000, false);
  EXPECT_EQ(c.CountText(), "Selected: 1");
  EXPECT_EQ(c.SizeText(), "600 Bytes");
  c.SelectionChanged(600, false);
  EXPECT_EQ(c.CountText(), "Objects: 3") << "back to the whole list";

  // Stray deselections never drive the counters below zero.
  c.SelectionChanged(500, false);
  EXPECT_EQ(c.SelectedCount(), 0);
  EXPECT_EQ(c.SelectedBytes(), 0);
  c.SelectionChanged(0, true);
  EXPECT_EQ(c.CountText(), "Selected: 1");
  EXPECT_EQ(c.SizeText(), "0 Bytes") << "a folder alone";

  c.Reset();
  EXPECT_EQ(c.ItemCount() + c.SelectedCount(), 0);
  EXPECT_EQ(c.TotalBytes() + c.SelectedBytes(), 0);
}

TEST(ItemListTextTest, LargeTotalsDoNotWrap) {
  ListCounters c;
  ListRow big;
  big.isFile = true;
  big.bytes = 3LL * 1024 * 1024 * 1024;
  c.Listed(big);
  c.Listed(big);
  c.SetItemCount(2);
  EXPECT_EQ(c.SizeText(), "6144.00 MBytes");
  c.SelectionChanged(big.bytes, true);
  EXPECT_EQ(c.SizeText(), "3072.00 MBytes");
}

TEST(ItemListTextTest, SortedPositionKeepsEqualNamesInListingOrder) {
  auto less = [](const std::string& a, const std::string& b) { return a < b; };
  std::vector<std::string> sorted;
  for (const char* name : {"m", "b", "x", "b", "a"}) {
    std::size_t at = SortedPosition(sorted, name, less);
    sorted.insert(sorted.begin() + static_cast<std::ptrdiff_t>(at), name);
  }
  EXPECT_EQ(sorted, (std::vector<std::string>{"a", "b", "b", "m", "x"}));
  EXPECT_EQ(SortedPosition(sorted, "b", less), 3u) << "after the equal ones";
  EXPECT_EQ(SortedPosition({}, "q", less), 0u);
}

class ItemListTest : public StoreTest {};

TEST_F(ItemListTest, FileRowShowsFolderDateTypeAndSize) {
  std::string stored = StoreFile("D:\\Work\\Reports\\q1.doc", "D1.doc", std::string(2560, 'x'));
  SetWriteTime(stored, {2004, 3, 14, 10, 20, 31});
  ShredItemId id = MakeId("  D:\\Work\\Reports\\q1.doc ", " " + stored + "\t", "Word Document", 42);
  ListRow row = MakeListRow(id);
  EXPECT_EQ(row.caption, "q1.doc ") << "the display name as the enumerator gave it";
  EXPECT_EQ(row.iconIndex, 42);
  EXPECT_TRUE(row.isFile);
  EXPECT_EQ(row.bytes, 2560);
  EXPECT_EQ(row.columns[0], "D:\\Work\\Reports\\");
  CivilTime dos{2004, 3, 14, 10, 20, 30};
  EXPECT_EQ(row.columns[1], DateTimeText(dos, DateStyle::ShortDate) + " " + DateTimeText(dos, DateStyle::ShortTime));
  EXPECT_EQ(row.columns[2], "Word Document");
  EXPECT_EQ(row.columns[3], "2 KBytes");
  EXPECT_EQ(row.id, id) << "the row keeps its own copy of the identifier";

  // The same text as the properties' "Changed:" for the same item.
  PropertiesModel m = BuildPropertiesModel({MakeId("D:\\Work\\Reports\\q1.doc", stored)});
  EXPECT_EQ(row.columns[1], m.changed);
}

TEST_F(ItemListTest, EmptyFileShowsOneKilobyte) {
  std::string stored = StoreFile("D:\\a.txt", "D1.txt", "");
  ListRow row = MakeListRow(MakeId("D:\\a.txt", stored));
  EXPECT_TRUE(row.isFile);
  EXPECT_EQ(row.bytes, 0);
  EXPECT_EQ(row.columns[3], "1 KBytes");
  EXPECT_EQ(row.columns[0], "D:\\");
}

TEST_F(ItemListTest, FolderAndVanishedFileShowOnlyNameAndType) {
  MakeDir(D("VAPORIZE\\D1"));
  MakeFile(D("VAPORIZE\\D1\\inner.txt"), "12345");
  AppendRecord("D:\\Old", D("VAPORIZE\\D1"));
  for (const std::string& stored : {D("VAPORIZE\\D1"), D("VAPORIZE\\D9.txt")}) {
    ListRow row = MakeListRow(MakeId("D:\\Old", stored, "File Folder"));
    EXPECT_FALSE(row.isFile) << stored;
    EXPECT_EQ(row.bytes, 0);
    EXPECT_EQ(row.caption, "Old");
    EXPECT_EQ(row.columns[0], "");
    EXPECT_EQ(row.columns[1], "");
    EXPECT_EQ(row.columns[2], "File Folder");
    EXPECT_EQ(row.columns[3], "");
  }
}

TEST_F(ItemListTest, DateBeforeDosDatesLeavesTheColumnEmpty) {
  std::string stored = StoreFile("D:\\old.txt", "D1.txt", "x");
  SetWriteTime(stored, {1979, 6, 1, 12, 0, 0});
  EXPECT_EQ(MakeListRow(MakeId("D:\\old.txt", stored)).columns[1], "");
  EXPECT_EQ(DateDeletedText({}), "");
}

TEST(ItemListPathsTest, StoredPathsAreTrimmedInTheGivenOrder) {
  ShredItemId a{}, b{};
  SetField(a.storedPath, "  D:\\VAPORIZE\\D2.txt\r\n");
  SetField(b.storedPath, "C:\\VAPORIZE\\C1");
  std::vector<ShredItemRecord> r = RecordsOf({&b, &a});
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].storedPath + "|" + r[1].storedPath, "C:\\VAPORIZE\\C1|D:\\VAPORIZE\\D2.txt");
  EXPECT_TRUE(RecordsOf({}).empty());
}

}  // namespace
}  // namespace vz::test
