#include "store/item_lookup.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "support/recording_platform.h"

namespace vz::test {
namespace {

// A name stands for the item that has it as written; in another letter case
// only where the folder the system looks it up in (the store, or the folder
// the item came from) ignores case (Windows, FAT); and a name that several
// items answer to takes none of them: a live report.txt never stands for a
// stored Report.txt on a volume that keeps the two apart, and a stored name
// found on two drives destroys neither.
TEST(StoredItemLookupTest, ExactNamesFirstThenAnyCaseOnlyWhereTheVolumeIgnoresIt) {
  const std::vector<StoredItem> items = {{"C:\\Work\\Report.txt", "C:\\VAPORIZE\\C1.txt", "", "", 0},
                                         {"C:\\Work\\a.txt", "C:\\VAPORIZE\\C2.txt", "", "", 0},
                                         {"C:\\Work\\A.txt", "C:\\VAPORIZE\\C3.txt", "", "", 0},
                                         {"C:\\x.txt", "C:\\VAPORIZE\\x1.txt", "", "", 0},
                                         {"D:\\x.txt", "D:\\VAPORIZE\\X1.txt", "", "", 0}};
  enum Folds { None, All, OnlyC, OnlyWork };
  struct Case {
    const char* key;
    bool byName;
    Folds folds;
    std::vector<std::size_t> want;
  } cases[] = {
      {"C:\\Work\\report.txt", false, None, {}},
      {"C:\\Work\\report.txt", false, All, {0}},
      {"C:\\Work\\a.txt", false, All, {1}},
      {"C:\\WORK\\a.TXT", false, All, {1, 2}},
      {"C:\\WORK\\a.TXT", false, None, {}},
      {"C:\\Work\\REPORT.txt", false, OnlyWork, {0}},
      {"C:\\VAPORIZE\\c1.TXT", false, OnlyWork, {}},
      {"C:\\VAPORIZE\\c1.TXT", false, All, {0}},
      {"C:\\VAPORIZE\\c1.TXT", false, None, {}},
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
    rec.ignoresCase = [&](const std::string& dir) {
      return c.folds == All || (c.folds == OnlyC && dir[0] == 'C') || (c.folds == OnlyWork && dir == "C:\\Work\\");
    };
    const StoredItemLookup lookup(items);
    EXPECT_EQ(c.byName ? lookup.ByStoredName(c.key) : lookup.ByPath(c.key), c.want)
        << c.key << (c.byName ? " as a stored name" : " as a path") << ", folding " << c.folds;
    for (const auto& i : items) {
      if (c.key == i.originalPath || c.key == i.storedPath || c.key == FileNamePart(i.storedPath))
        EXPECT_EQ(rec.Count("IgnoresCase"), 0u) << c.key << ": a name as written needs no question";
    }
  }
}

}  // namespace
}  // namespace vz::test
