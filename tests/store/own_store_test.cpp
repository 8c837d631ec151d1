// Each account's own store: refused with its reason when it cannot be
// trusted, and the earlier layout's store moved into its owner's.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <tuple>

#include "fault/store_audit.h"
#include "store/own_store.h"
#include "store/send.h"
#include "store/store.h"
#include "support/drives.h"
#include "support/recording_platform.h"
#include "window/restore.h"

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#endif

namespace vz::test {
namespace {

// Permissions as another account could have left them, on chosen paths.
class Tampered : public RecordingPlatform {
 public:
  std::map<std::string, std::function<void(Ownership&)>> change;  // upper-case path -> change
  std::optional<Ownership> OwnershipOf(const std::string& path) override {
    auto o = RecordingPlatform::OwnershipOf(path);
    auto it = change.find(ToUpper(path));
    if (o && it != change.end()) it->second(*o);
    return o;
  }
};

class OwnStoreTest : public DrivesTest {
 protected:
  // The earlier layout: items and index in D:\VAPORIZE itself, records in
  // the code page and in UTF-8, an item vaporized since, an unrecorded
  // remain of a vaporize cut short, and a record torn off at the end.
  static void MakeEarlierStore() {
    const std::string mark = "\xEF\xBB\xBF";
    MakeFile(D("VAPORIZE\\D1.txt"), "a");
    MakeFile(D("VAPORIZE\\D2.txt"), "cyrillic");
    MakeFile(D("VAPORIZE\\D1\\in.txt"), "folder");
    MakeFile(D("VAPORIZE\\D7.bin"), "remains");
    MakeFile(D("VAPORIZE\\info.shr"), "D:\\Work\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n" + mark + "D:\\\xD0\x96\\\xD0\xB1.txt\r\n" +
                                           mark + "D:\\VAPORIZE\\D2.txt\r\nD:\\Work\\gone.txt\r\nD:\\VAPORIZE\\D3.txt\r\n"
                                           "D:\\Work\\Dir\r\nD:\\VAPORIZE\\D1\r\nD:\\Work\\torn.txt");
  }
};

TEST_F(OwnStoreTest, AStoreThatAnotherAccountCouldReachIsRefusedWithItsReasonAndNothingGoesThrough) {
  const std::string shared = D("VAPORIZE");
  const struct {
    std::string path;
    std::function<void(Ownership&)> change;
    const char* why;
  } cases[] = {
      {shared, [](Ownership& o) { o.link = true; }, "VAPORIZE is a link, not a folder of its own: an administrator"},
      {shared, [](Ownership& o) { o.othersMayRemove = "x"; }, "other accounts may take away what D:\\VAPORIZE holds"},
      {DS(), [](Ownership& o) { o.owner = "65534", o.ownerTrusted = false; },
       " belongs to another account (65534): an administrator can remove it"},
      {DS(), [](Ownership& o) { o.othersMayWrite = "x"; }, "other accounts may change D:\\VAPORIZE\\"},
      {DS(), [](Ownership& o) { o.othersMayRead = "x"; }, "and it could not be made private"},
      {DS("info.shr"), [](Ownership& o) { o.ownerTrusted = false; }, "info.shr belongs to another account"},
      {DS("desktop.ini"), [](Ownership& o) { o.folder = true; }, "desktop.ini is not a regular file"},
      // A pipe would hold every reader (and the store's lock) for ever.
      {DS("info.shr"), [](Ownership& o) { o.special = true; }, "info.shr is not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    DrivesTest::TearDown();
    DrivesTest::SetUp();
    EnsureStores();
    MakeFile(DS("info.shr"), Own("D:\\Work\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"));
    MakeFile(DS("D1.txt"), "a");
    MakeFile(D("Work\\b.txt"), "b");
    Tampered t;
    t.change[ToUpper(c.path)] = c.change;
    ScopedPlatform use(t);
    EXPECT_NE(StoreProblem('D').find(c.why), std::string::npos) << StoreProblem('D');
    EXPECT_EQ(StoreRefusal('D'), StoreProblem('D'));
    EXPECT_FALSE(ReadIndex('D')) << "nothing is read from it";
    Report r = SendToStore({D("Work\\b.txt")}, kSendQuietly).report;
    ASSERT_EQ(r.Items().size(), 1u);
    EXPECT_NE(r.Items()[0].detail.find(c.why), std::string::npos) << r.Items()[0].detail;
    EXPECT_TRUE(PathExists(D("Work\\b.txt")));
    EXPECT_EQ(Slurp(DS("info.shr")), Own("D:\\Work\\a.txt\r\nD:\\VAPORIZE\\D1.txt\r\n")) << "nothing is written";
  }
  EXPECT_EQ(StoreProblem('D'), "") << "untouched, the store is used";
}

TEST_F(OwnStoreTest, TheEarlierLayoutMovesIntoItsOwnersStoreEveryItemListedAndRestorable) {
  // This account's store holds a newer D1.txt: the old one takes the next
  // free name, every other item keeps its own.
  EnsureStores();
  MakeFile(DS("D1.txt"), "newer");
  MakeFile(DS("info.shr"), Own("D:\\Work\\new.txt\r\nD:\\VAPORIZE\\D1.txt\r\n"));
  MakeEarlierStore();
  EnsureStores();
  EXPECT_EQ(ShownItems(), (std::vector<std::string>{Own("D:\\Work\\new.txt -> D:\\VAPORIZE\\D1.txt"),
                                                    Own("D:\\Work\\a.txt -> D:\\VAPORIZE\\D3.txt"),
                                                    Own("D:\\\xD0\x96\\\xD0\xB1.txt -> D:\\VAPORIZE\\D2.txt"),
                                                    Own("D:\\Work\\Dir -> D:\\VAPORIZE\\D1"),
                                                    Own(" -> D:\\VAPORIZE\\D7.bin")}))
      << "the unrecorded remain is listed, for Vaporize all";
  EXPECT_EQ(Slurp(DS("D7.bin")), "remains") << "for this account's Vaporize all";
  EXPECT_FALSE(PathExists(D("VAPORIZE\\info.shr")));
  std::vector<DirEntry> left;
  Plat().ListDirectory(D("VAPORIZE"), left);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].name, Plat().AccountName());
  Report r = RestoreItems({{"D:\\\xD0\x96\\\xD0\xB1.txt", DS("D2.txt")}, {D("Work\\Dir"), DS("D1")}});
  EXPECT_TRUE(r.AllDone());
  EXPECT_EQ(Slurp("D:\\\xD0\x96\\\xD0\xB1.txt") + Slurp(D("Work\\Dir\\in.txt")), "cyrillicfolder");
}

TEST_F(OwnStoreTest, AnotherAccountsEarlierStoreIsLeftToIt) {
  MakeEarlierStore();
  Tampered t;
  t.change[ToUpper(D("VAPORIZE\\info.shr"))] = [](Ownership& o) { o.owner = "another"; };
  ScopedPlatform use(t);
  EnsureStores();
  EXPECT_TRUE(ShownItems().empty());
  EXPECT_EQ(Slurp(D("VAPORIZE\\D1.txt")), "a");
  EXPECT_NE(Slurp(D("VAPORIZE\\info.shr")).find("D:\\Work\\torn.txt"), std::string::npos);
}

#ifdef _WIN32
// An access list as GetSecurityInfo reads it back: "SID mask flags" per
// entry, and whether it is protected from inheriting.
// https://learn.microsoft.com/en-us/windows/win32/api/aclapi/nf-aclapi-getsecurityinfo
std::pair<bool, std::vector<std::string>> ReadDacl(const std::string& path) {
  std::pair<bool, std::vector<std::string>> out;
  HANDLE h = CreateFileA(path.c_str(), READ_CONTROL, 7, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetSecurityInfo(h, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, &sd) == 0) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(sd, &control, &revision);
    out.first = control & SE_DACL_PROTECTED;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
      ACCESS_ALLOWED_ACE* ace = nullptr;
      GetAce(dacl, i, reinterpret_cast<void**>(&ace));
      LPSTR sid = nullptr;
      ConvertSidToStringSidA(&ace->SidStart, &sid);
      char text[160];
      std::snprintf(text, sizeof text, "%s %lx %x", sid, static_cast<unsigned long>(ace->Mask), ace->Header.AceFlags);
      LocalFree(sid);
      out.second.push_back(text);
    }
    LocalFree(sd);
  }
  CloseHandle(h);
  return out;
}

// After a send the item lies in D:\VAPORIZE\<the token's SID>, whose list
// grants this account, SYSTEM and the Administrators full control and
// nobody else anything; in D:\VAPORIZE ordinary users may add a folder and
// pass through. Windows keeps the lists as given; Wine 8 keeps none: it
// turns a list into a POSIX mode when a folder is made, ignores
// SetSecurityInfo, and reads back a list made from the mode, which must
// still grant nobody else more than reading.
// https://learn.microsoft.com/en-us/windows/win32/fileio/file-access-rights-constants
TEST_F(OwnStoreTest, AfterASendTheItemLiesInTheFolderOfTheTokensSidWhichNobodyElseMayUse) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  char buf[256];
  DWORD size = 0;
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, buf, sizeof buf, &size));
  CloseHandle(token);
  LPSTR sid = nullptr;
  ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buf)->User.Sid, &sid);
  const std::string me = sid;
  LocalFree(sid);
  MakeFile(D("Work\\a.txt"), "a");
  EnsureStores();
  ASSERT_TRUE(SendToStore({D("Work\\a.txt")}, kSendQuietly).report.AllDone());
  EXPECT_EQ(Slurp("D:\\VAPORIZE\\" + me + "\\D1.txt"), "a");
  const std::string full = " 1f01ff 3";
  const std::vector<std::string> trusted{me + full, "S-1-5-18" + full, "S-1-5-32-544" + full};
  auto [kept, entries] = ReadDacl("D:\\VAPORIZE\\" + me);
  if (kept) EXPECT_EQ(entries, trusted);
  for (const auto& e : entries)
    EXPECT_TRUE(e.rfind(me + " ", 0) == 0 || e.rfind("S-1-5-18 ", 0) == 0 || e.rfind("S-1-5-32-544 ", 0) == 0) << e;
  std::tie(kept, entries) = ReadDacl("D:\\VAPORIZE");
  if (kept)
    EXPECT_EQ(entries, (std::vector<std::string>{"S-1-5-11 1000a4 0", "S-1-5-18 1f01ff 3", "S-1-5-32-544 1f01ff 3",
                                                  "S-1-3-0 1f01ff b"}));
  for (const auto& e : entries) {
    if (e.rfind(me + " ", 0) == 0 || e.rfind("S-1-5-18 ", 0) == 0 || e.rfind("S-1-5-32-544 ", 0) == 0) continue;
    unsigned long mask = std::strtoul(e.c_str() + e.find(' ') + 1, nullptr, 16);
    EXPECT_EQ(mask & ~(kept ? 0x1000a4ul : 0x1200a9ul), 0ul) << e;
  }
}
#endif

}  // namespace
}  // namespace vz::test
