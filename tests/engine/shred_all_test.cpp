#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/text.h"
#include "common/ui.h"
#include "engine/batch.h"
#include "platform/platform.h"
#include "store/store.h"
#include "support/drives.h"
#include "support/recording_platform.h"
#include "support/scripted_ui.h"

namespace vz::test {
namespace {

class ShredAllTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    EnsureStores();
  }
  ScriptedUi ui;
  static std::vector<std::string> Upper(std::vector<std::string> v) {
    for (auto& s : v) s = ToUpper(s);
    std::sort(v.begin(), v.end());
    return v;
  }
};

TEST_F(ShredAllTest, EmptyStoresAskNothing) {
  ScopedUi scoped(ui);
  EXPECT_TRUE(ListAllStoreEntries().empty());
  Report r = ShredAllItems(nullptr);
  EXPECT_TRUE(r.Items().empty());
  EXPECT_TRUE(ui.asked.empty());
}

TEST_F(ShredAllTest, EveryEntryOfEveryStoreIsListedButTheIndexAndDesktopIni) {
  MakeFile(CS("C1.txt"), "c");
  MakeFile(DS("D1.doc"), "d");
  MakeFile(DS("D2\\inner.txt"), "i");
  MakeFile(DS("orphan.bin"), "o");
  MakeFile(E("VAPORIZE\\E1.txt"), "removable drives carry no store");
  std::vector<std::string> list = ListAllStoreEntries();
  EXPECT_EQ(Upper(list), Upper({Own("c:\\VAPORIZE\\C1.txt"), Own("d:\\VAPORIZE\\D1.doc"), Own("d:\\VAPORIZE\\D2"),
                                Own("d:\\VAPORIZE\\orphan.bin")}));
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(ToUpper(list.front()), Own("C:\\VAPORIZE\\C1.TXT")) << "drive order";
}

TEST_F(ShredAllTest, EverythingStoredIsVaporizedAndTheStoresStay) {
  MakeFile(CS("C1.txt"), "c");
  MakeFile(DS("D1.doc"), "d");
  MakeFile(DS("D2\\inner\\deep.txt"), "i");
  MakeFile(DS("orphan.bin"), "o");
  MakeFile(DS("info.shr"), Own("D:\\Work\\a.doc\r\nD:\\VAPORIZE\\D1.doc\r\nD:\\Old\r\nD:\\VAPORIZE\\D2\r\n"));
  MakeFile(CS("info.shr"), Own("C:\\x.txt\r\nC:\\VAPORIZE\\C1.txt\r\n"));
  ScopedUi scoped(ui);
  ShredOptions o{1, 1, 0, 1};
  Report r = ShredAllItems(&o);
  ASSERT_EQ(ui.asked.size(), 1u);
  EXPECT_NE(ui.asked[0].text.find("permanently delete 4 item(s) ?"), std::string::npos) << ui.asked[0].text;
  EXPECT_EQ(r.Count(Outcome::Failed), 0u);
  EXPECT_TRUE(ListAllStoreEntries().empty());
  for (const std::string& store : {CS(), DS()}) {
    EXPECT_TRUE(IsDirectory(store));
    EXPECT_EQ(Slurp(std::string(store) + "\\info.shr"), "") << "every record pruned";
    EXPECT_TRUE(PathExists(std::string(store) + "\\desktop.ini"));
  }
  EXPECT_EQ(ui.progressFiles.size(), 4u) << "three files, shown with the display flag on";
  EXPECT_NE(std::find(ui.progressFiles.begin(), ui.progressFiles.end(), "D:\\WORK\\A.DOC"), ui.progressFiles.end());
}

TEST_F(ShredAllTest, AStoreThatIsALinkIsNotEmptied) {
  MakeFile(D("Documents\\letter.txt"), "Dear reader");
  MakeFile(CS("C1.txt"), "c");
  // The D: store replaced by a link to the user's documents.
  RecordingPlatform rec;
  ASSERT_TRUE(Plat().RemoveFile(DS("info.shr")));
  ASSERT_TRUE(Plat().SetAttributes(DS("desktop.ini"), 0));
  ASSERT_TRUE(Plat().RemoveFile(DS("desktop.ini")));
  ASSERT_TRUE(Plat().RemoveEmptyDirectory(DS()));
  rec.AddFakeLink(DS(), D("Documents"), true);
  ScopedPlatform use(rec);
  ScopedUi scoped(ui);
  std::vector<std::string> list = ListAllStoreEntries();
  EXPECT_EQ(Upper(list), Upper({Own("c:\\VAPORIZE\\C1.txt")}));
  ShredAllItems(nullptr);
  EXPECT_EQ(Slurp(D("Documents\\letter.txt")), "Dear reader");
}

TEST_F(ShredAllTest, ALinkInAStoreIsRemovedAndItsTargetKept) {
  MakeFile(D("Documents\\letter.txt"), "Dear reader");
  RecordingPlatform rec;
  rec.AddFakeLink(DS("D1"), D("Documents"), true);
  ScopedPlatform use(rec);
  ScopedUi scoped(ui);
  ShredAllItems(nullptr);
  EXPECT_EQ(Slurp(D("Documents\\letter.txt")), "Dear reader");
  EXPECT_FALSE(rec.FakeLinkExists(DS("D1")));
}

}  // namespace
}  // namespace vz::test
