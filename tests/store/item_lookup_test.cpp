#include "store/item_lookup.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "support/recording_platform.h"

namespace vz::test {
namespace {

StoredItem Stored(const char* original, const char* stored) {
  StoredItem s;
  s.originalPath = original;
  s.storedPath = stored;
  return s;
}

// A name stands for the item that has it as written; in another letter case
// only where the folder the system looks it up in ignores case (Windows,
// FAT); and a name that several items answer to takes none of them: a live
// report.txt never stands for a stored Report.txt on a volume that keeps the
// two apart, and a stored name found on two drives destroys neither.
TEST(StoredItemLookupTest, ExactNamesFirstThenAnyCaseOnlyWhereTheVolumeIgnoresIt) {
  const std::vector<StoredItem> items = {
      Stored("C:\\Work\\Report.txt", "C:\\VAPORIZE\\C1.txt"), Stored("C:\\Work\\a.txt", "C:\\VAPORIZE\\C2.txt"),
      Stored("C:\\Work\\A.txt", "C:\\VAPORIZE\\C3.txt"), Stored("C:\\x.txt", "C:\\VAPORIZE\\x1.txt"),
      Stored("D:\\x.txt", "D:\\VAPORIZE\\X1.txt")};
  enum Folds { None, All, OnlyC };
  struct Case {
    const char* key;
    bool byName;
    Folds folds;
    std::vector<std::size_t> want;
  } cases[] = {
      {"C:\\Work\\report.txt", false, None, {}},
      {"C:\\Work\\report.txt", false, All, {0}},
      {"C:\\Work\\Report.txt", false, None, {0}},
      {"C:\\Work\\a.txt", false, All, {1}},
      {"C:\\WORK\\a.TXT", false, All, {1, 2}},
      {"C:\\WORK\\a.TXT", false, None, {}},
      {"C:\\VAPORIZE\\c1.TXT", false, All, {0}},
      {"C:\\VAPORIZE\\c1.TXT", false, None, {}},
      {"c2.TXT", true, All, {1}},
      {"x1.txt", true, All, {3}},
      {"X1.txt", true, All, {4}},
      {"x1.TXT", true, All, {3, 4}},
      {"x1.TXT", true, OnlyC, {3}},
      {"x1.TXT", true, None, {}},
      {"C:\\Work\\a.txt", true, All, {}},
  };
  for (const Case& c : cases) {
    RecordingPlatform rec;
    ScopedPlatform use(rec);
    rec.ignoresCase = [&](const std::string& dir) { return c.folds == All || (c.folds == OnlyC && dir[0] == 'C'); };
    const StoredItemLookup lookup(items);
    EXPECT_EQ(c.byName ? lookup.ByStoredName(c.key) : lookup.ByPath(c.key), c.want)
        << c.key << (c.byName ? " as a stored name" : " as a path") << ", folding " << c.folds;
    for (const auto& i : items) {
      if (c.key == i.originalPath || c.key == i.storedPath || c.key == FileNamePart(i.storedPath))
        EXPECT_EQ(rec.Count("IgnoresCase"), 0u) << c.key << ": a name as written needs no question";
    }
  }
}

// The question goes to the folder the system would look in: the store for
// a stored name, the folder the item came from for an original path.
TEST(StoredItemLookupTest, TheVolumeAskedIsTheStoreOrTheOriginalFolder) {
  const StoredItemLookup lookup(std::vector<StoredItem>{Stored("D:\\Docs\\Memo.txt", "D:\\VAPORIZE\\D1.txt")});
  RecordingPlatform rec;
  ScopedPlatform use(rec);
  rec.ignoresCase = [](const std::string&) { return true; };
  EXPECT_EQ(lookup.ByPath("D:\\docs\\memo.txt").size(), 1u);
  EXPECT_EQ(lookup.ByStoredName("d1.txt").size(), 1u);
  EXPECT_EQ(lookup.ByStoredName("d1.TXT").size(), 1u);
  std::vector<std::string> asked;
  for (const auto& c : rec.CallsOf("IgnoresCase")) asked.push_back(c.path);
  EXPECT_EQ(asked, (std::vector<std::string>{"D:\\Docs\\", "D:\\VAPORIZE"})) << "each folder once";
}

}  // namespace
}  // namespace vz::test
