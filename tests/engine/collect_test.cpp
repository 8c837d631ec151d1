#include "engine/collect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/drives.h"
#include "support/recording_platform.h"

namespace vz::test {
namespace {

class CollectTest : public DrivesTest {
 protected:
  static bool Has(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
  }
  static std::size_t IndexOf(const std::vector<std::string>& v, const std::string& s) {
    return static_cast<std::size_t>(std::find(v.begin(), v.end(), s) - v.begin());
  }
};

TEST_F(CollectTest, ANestedTreeIsListedLevelByLevel) {
  MakeDir(D("A\\B\\C"));
  std::vector<std::string> folders{D("A\\")}, files;
  CollectFolderContents(folders, files);
  EXPECT_EQ(folders, (std::vector<std::string>{D("A\\"), D("A\\B\\"), D("A\\B\\C\\")}));
  EXPECT_TRUE(files.empty());
}

TEST_F(CollectTest, FilesOfOneLevelComeBeforeThoseOfTheNext) {
  MakeFile(D("top\\one\\deep\\d1.txt"), "d");
  MakeFile(D("top\\one\\o1.txt"), "o");
  MakeFile(D("top\\two\\t1.txt"), "t");
  MakeFile(D("top\\t0.txt"), "0");
  std::vector<std::string> folders{D("top\\")}, files;
  CollectFolderContents(folders, files);
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[0], D("top\\t0.txt"));
  EXPECT_LT(IndexOf(files, D("top\\one\\o1.txt")), IndexOf(files, D("top\\one\\deep\\d1.txt")));
  EXPECT_LT(IndexOf(files, D("top\\two\\t1.txt")), IndexOf(files, D("top\\one\\deep\\d1.txt")));
  EXPECT_EQ(files.back(), D("top\\one\\deep\\d1.txt"));
  ASSERT_EQ(folders.size(), 4u);
  EXPECT_EQ(folders.back(), D("top\\one\\deep\\"));
  for (const auto& f : folders) EXPECT_EQ(f.back(), '\\') << f;
  for (const auto& f : files) EXPECT_NE(f.back(), '\\') << f;
}

TEST_F(CollectTest, HiddenAndSystemEntriesAreIncluded) {
  MakeFile(D("A\\.secret\\inner.txt"), "i");
  ASSERT_TRUE(Plat().SetAttributes(D("A\\.secret"), kAttrDirectory | kAttrHidden));
  MakeFile(D("A\\sys.dat"), "s");
  ASSERT_TRUE(Plat().SetAttributes(D("A\\sys.dat"), kAttrHidden | kAttrSystem | kAttrReadOnly));
  std::vector<std::string> folders{D("A\\")}, files;
  CollectFolderContents(folders, files);
  EXPECT_TRUE(Has(folders, D("A\\.secret\\")));
  EXPECT_TRUE(Has(files, D("A\\.secret\\inner.txt")));
  EXPECT_TRUE(Has(files, D("A\\sys.dat")));
}

TEST_F(CollectTest, AFolderThatCannotBeListedIsPassedOver) {
  MakeFile(D("B\\b.txt"), "b");
  std::vector<std::string> folders{D("gone\\"), D("B\\")}, files;
  CollectFolderContents(folders, files);
  EXPECT_EQ(files, std::vector<std::string>{D("B\\b.txt")});
  EXPECT_EQ(folders.size(), 2u);
}

TEST_F(CollectTest, ALinkToAFolderIsAnEntryAndIsNotWalked) {
  MakeFile(D("outside\\precious.txt"), "p");
  MakeDir(D("outside\\sub"));
  MakeFile(D("A\\own.txt"), "o");
  RecordingPlatform rec;
  rec.AddFakeLink(D("A\\junction"), D("outside"), true);
  ScopedPlatform use(rec);
  std::vector<std::string> folders{D("A\\")}, files;
  CollectFolderContents(folders, files);
  EXPECT_EQ(folders, std::vector<std::string>{D("A\\")});
  EXPECT_TRUE(Has(files, D("A\\junction")));
  EXPECT_TRUE(Has(files, D("A\\own.txt")));
  EXPECT_EQ(files.size(), 2u);
  EXPECT_EQ(rec.Count("ListDirectory", "junction"), 0u);
}

}  // namespace
}  // namespace vz::test
