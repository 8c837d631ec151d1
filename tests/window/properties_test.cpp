#include "window/properties.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "window/date_text.h"
#include "window/store_fixture.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vz::test {
namespace {

TEST(PropertyTextTest, KilobytesAreTruncatedAndNeverZero) {
  EXPECT_EQ(SizeText(0), "1 KB (0 bytes)");
  EXPECT_EQ(SizeText(3500), "3 KB (3500 bytes)");
  EXPECT_EQ(SizeText(1023), "1 KB (1023 bytes)");
  EXPECT_EQ(SizeText(1024), "1 KB (1024 bytes)");
  EXPECT_EQ(SizeText(2047), "1 KB (2047 bytes)");
  EXPECT_EQ(SizeText(2048), "2 KB (2048 bytes)");
  EXPECT_EQ(SizeText(5368709120LL), "5242880 KB (5368709120 bytes)") << "no 32-bit wrap";
  EXPECT_EQ(ContentsText(1, 3), "1 folder(s), 3 file(s)");
  EXPECT_EQ(ContentsText(0, 0), "0 folder(s), 0 file(s)");
  EXPECT_EQ(ContentsText(3000000000LL, 7), "3000000000 folder(s), 7 file(s)");
}

TEST(PropertyTextTest, TimesAreShownAsTheyStandOrNotDefined) {
  CivilTime raw{2004, 3, 14, 10, 20, 31};
  CivilTime dos{2004, 3, 14, 10, 20, 30};
  EXPECT_EQ(PropertyTimeText(raw),
            DateTimeText(dos, DateStyle::ShortDate) + " " + DateTimeText(dos, DateStyle::ShortTime));
  EXPECT_EQ(PropertyTimeText({1979, 12, 31, 23, 0, 0}), "(not defined)") << "before DOS dates begin";
  EXPECT_EQ(PropertyTimeText({}), "(not defined)");
}

class PropertiesTest : public StoreTest {};

TEST_F(PropertiesTest, FolderContentsAreCountedBelowTheStart) {
  MakeFile(D("Tree\\a.bin"), std::string(100, 'a'));
  MakeFile(D("Tree\\b.bin"), std::string(200, 'b'));
  MakeFile(D("Tree\\sub\\c.bin"), std::string(300, 'c'));
  MakeFile(D("Tree\\sub\\deeper\\d.bin"), std::string(400, 'd'));
  MakeFile(D("Tree\\hid\\e.bin"), std::string(5, 'e'));
  MakeDir(D("Tree\\empty"));
  ASSERT_TRUE(Plat().SetAttributes(D("Tree\\hid"), kAttrDirectory | kAttrHidden));
  ASSERT_TRUE(Plat().SetAttributes(D("Tree\\sub"), kAttrDirectory | kAttrReadOnly));

  FolderContents c = CountFolderContents(D("Tree"));
  EXPECT_EQ(c.bytes, 1005);
  EXPECT_EQ(c.files, 5);
  EXPECT_EQ(c.folders, 4) << "hidden and read-only folders are walked; the start is not counted";

  FolderContents same = CountFolderContents(D("Tree\\"));
  EXPECT_EQ(same.files, 5) << "a trailing backslash changes nothing";

  FolderContents none = CountFolderContents(D("Missing"));
  EXPECT_EQ(none.bytes + none.files + none.folders, 0);
}

#ifndef _WIN32
TEST_F(PropertiesTest, LinksCountAsEmptyFilesAndAreNeverWalked) {
  MakeFile(D("Big\\huge.bin"), std::string(5000, 'h'));
  MakeFile(D("Tree\\a.bin"), "abc");
  ASSERT_EQ(::symlink(HostPath(D("Big")).c_str(), HostPath(D("Tree\\toBig")).c_str()), 0);
  ASSERT_EQ(::symlink(HostPath(D("Big\\huge.bin")).c_str(), HostPath(D("Tree\\toHuge")).c_str()), 0);
  ASSERT_EQ(::symlink(HostPath(D("Big")).c_str(), HostPath(D("LinkAsStart")).c_str()), 0);

  FolderContents c = CountFolderContents(D("Tree"));
  EXPECT_EQ(c.files, 3);
  EXPECT_EQ(c.bytes, 3);
  EXPECT_EQ(c.folders, 0);
  FolderContents start = CountFolderContents(D("LinkAsStart"));
  EXPECT_EQ(start.files, 0) << "a link given as the start is not followed either";
}
#endif

#ifndef _WIN32
// 300 levels, a path of 12,000 bytes below the start, far past what the
// system takes as one path: every one is counted.
TEST_F(PropertiesTest, EveryLevelIsCountedHoweverDeep) {
  const char* kLevel = "a-folder-name-of-forty-bytes-0123456789";
  int at = ::open(HostPath(D()).c_str(), O_RDONLY | O_DIRECTORY);
  for (int level = 0; level < 300 && at >= 0; ++level) {
    ASSERT_EQ(::mkdirat(at, kLevel, 0755), 0);
    if (level % 75 == 74) {
      int f = ::openat(at, "f.bin", O_WRONLY | O_CREAT, 0644);
      ASSERT_EQ(::write(f, "0123456789", 10), 10);
      ::close(f);
    }
    int next = ::openat(at, kLevel, O_RDONLY | O_DIRECTORY);
    ::close(at);
    at = next;
  }
  ASSERT_GE(at, 0);
  ::close(at);
  FolderContents c = CountFolderContents(D(kLevel));
  EXPECT_EQ(c.folders, 299);
  EXPECT_EQ(c.files, 4);
  EXPECT_EQ(c.bytes, 40);
}
#endif

TEST_F(PropertiesTest, NothingSelectedMeansTheSettings) {
  EXPECT_EQ(BuildPropertiesModel({}).kind, PropertiesCase::Settings);
}

TEST_F(PropertiesTest, EmptyFile) {
  std::string stored = StoreFile(D("Work\\empty.txt"), "D1.txt", "");
  SetWriteTime(stored, {2004, 3, 14, 10, 20, 31});
  ASSERT_TRUE(Plat().SetAttributes(stored, kAttrReadOnly | kAttrHidden));

  PropertiesModel m = BuildPropertiesModel({MakeId(D("Work\\empty.txt"), stored, "Text Document", 12)});

  EXPECT_EQ(m.kind, PropertiesCase::File);
  EXPECT_EQ(m.caption, "Properties: empty.txt");
  EXPECT_EQ(m.fileName, "empty.txt");
  EXPECT_EQ(m.type, "Text Document");
  EXPECT_EQ(m.folder, D("Work\\"));
  EXPECT_EQ(m.size, "1 KB (0 bytes)");
  EXPECT_FALSE(m.showContents);
  EXPECT_EQ(m.msdosName, "(none available)");
  EXPECT_TRUE(m.hasIcon);
  EXPECT_EQ(m.iconIndex, 12);
  CivilTime dos{2004, 3, 14, 10, 20, 30};
  EXPECT_EQ(m.changed, DateTimeText(dos, DateStyle::ShortDate) + " " + DateTimeText(dos, DateStyle::ShortTime))
      << "the directory entry's time, without a zone shift";
  EXPECT_NE(m.created, "(not defined)");
  EXPECT_NE(m.opened, "(not defined)");
  EXPECT_TRUE(m.readOnly);
  EXPECT_TRUE(m.hidden);
  EXPECT_FALSE(m.system);
}

TEST_F(PropertiesTest, FileOf3500Bytes) {
  std::string stored = StoreFile(D("Work\\mid.doc"), "D1.doc", std::string(3500, 'x'));
  PropertiesModel m = BuildPropertiesModel({MakeId(D("Work\\mid.doc"), stored)});
  EXPECT_EQ(m.size, "3 KB (3500 bytes)");
}

TEST_F(PropertiesTest, VanishedFileShowsNoSizeAndNoTimes) {
  PropertiesModel m = BuildPropertiesModel({MakeId(D("Work\\gone.txt"), DS("D1.txt"))});
  EXPECT_EQ(m.kind, PropertiesCase::File);
  EXPECT_EQ(m.size, "(not available)");
  EXPECT_EQ(m.changed, "(not defined)");
  EXPECT_EQ(m.created, "(not defined)");
  EXPECT_EQ(m.opened, "(not defined)");
  EXPECT_FALSE(m.readOnly || m.archive || m.hidden || m.system);
}

TEST_F(PropertiesTest, FolderWithTwoFilesAndASubfolderWithOne) {
  MakeFile(DS("D1\\a.txt"), std::string(1000, 'a'));
  MakeFile(DS("D1\\b.txt"), std::string(1000, 'b'));
  MakeFile(DS("D1\\sub\\c.txt"), std::string(1500, 'c'));
  AppendRecord(D("Work\\Project"), DS("D1"));

  PropertiesModel m = BuildPropertiesModel({MakeId(D("Work\\Project"), "  " + DS("D1") + " ", "File Folder")});

  EXPECT_EQ(m.kind, PropertiesCase::Folder);
  EXPECT_EQ(m.caption, "Properties: Project");
  EXPECT_EQ(m.type, "File Folder");
  EXPECT_EQ(m.folder, D("Work\\"));
  EXPECT_TRUE(m.showContents);
  EXPECT_EQ(m.contents, "1 folder(s), 3 file(s)");
  EXPECT_EQ(m.size, "3 KB (3500 bytes)");
  EXPECT_EQ(m.msdosName, "(none available)");
  EXPECT_NE(m.changed, "(not defined)");
}

TEST_F(PropertiesTest, GroupOfTwoFiles) {
  std::string a = StoreFile(D("Work\\a.txt"), "D1.txt", std::string(3000, 'a'));
  std::string b = StoreFile(D("Work\\b.txt"), "D2.txt", std::string(2000, 'b'));
  ASSERT_TRUE(Plat().SetAttributes(a, kAttrReadOnly));

  PropertiesModel m = BuildPropertiesModel({MakeId(D("Work\\a.txt"), a), MakeId(D("Work\\b.txt"), b)});

  EXPECT_EQ(m.kind, PropertiesCase::Group);
  EXPECT_EQ(m.caption, "Properties: (group of objects)");
  EXPECT_EQ(m.fileName, "(group of objects)");
  EXPECT_EQ(m.type, "(group)");
  EXPECT_EQ(m.folder, "(not applicable)");
  EXPECT_EQ(m.size, "4 KB (5000 bytes)");
  EXPECT_TRUE(m.showContents);
  EXPECT_EQ(m.contents, "0 folder(s), 0 file(s)") << "selected files are not counted as files";
  EXPECT_EQ(m.msdosName, "(not applicable)");
  EXPECT_EQ(m.created, "(not applicable)");
  EXPECT_EQ(m.changed, "(not applicable)");
  EXPECT_EQ(m.opened, "(not applicable)");
  EXPECT_FALSE(m.hasIcon);
  EXPECT_FALSE(m.readOnly || m.archive || m.hidden || m.system);
}

TEST_F(PropertiesTest, GroupAddsFolderContentsAndNothingForAVanishedFile) {
  std::string a = StoreFile(D("Work\\a.txt"), "D1.txt", std::string(100, 'a'));
  MakeFile(DS("D2\\x.txt"), std::string(50, 'x'));
  MakeFile(DS("D2\\in\\y.txt"), std::string(50, 'y'));
  AppendRecord(D("Work\\Dir"), DS("D2"));

  PropertiesModel m = BuildPropertiesModel({MakeId(D("Work\\a.txt"), a), MakeId(D("Work\\Dir"), DS("D2")),
                                            MakeId(D("Work\\gone.txt"), DS("D3.txt"))});

  EXPECT_EQ(m.size, "1 KB (200 bytes)");
  EXPECT_EQ(m.contents, "1 folder(s), 2 file(s)");
}

}  // namespace
}  // namespace vz::test
