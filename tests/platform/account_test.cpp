// Accounts and permissions: the folders made for one account alone and
// the shared store folder, read back through the system's own API.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/drives.h"

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vz::test {
namespace {

class AccountTest : public DrivesTest {};

#ifdef _WIN32
// A folder's access list as GetNamedSecurityInfo reads it back: each
// entry as "SID mask flags", and whether it is protected from inheriting.
// https://learn.microsoft.com/en-us/windows/win32/api/aclapi/nf-aclapi-getnamedsecurityinfow
struct Dacl {
  bool kept = false;  // protected: the system keeps the descriptor that was given
  std::vector<std::string> entries;
};
Dacl ReadDacl(const std::string& path) {
  Dacl out;
  std::wstring w(path.begin(), path.end());
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetNamedSecurityInfoW(w.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                            &sd) != ERROR_SUCCESS)
    return out;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(sd, &control, &revision);
  out.kept = control & SE_DACL_PROTECTED;
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    GetAce(dacl, i, reinterpret_cast<void**>(&ace));
    LPSTR sid = nullptr;
    ConvertSidToStringSidA(&ace->SidStart, &sid);
    char text[160];
    std::snprintf(text, sizeof text, "%s %lx %x", sid, static_cast<unsigned long>(ace->Mask), ace->Header.AceFlags);
    LocalFree(sid);
    out.entries.push_back(text);
  }
  LocalFree(sd);
  return out;
}
#endif

TEST_F(AccountTest, APrivateFolderIsThisAccountsAloneAndOthersMaySeeNothing) {
  const std::string me = Plat().AccountName();
#ifdef _WIN32
  EXPECT_EQ(me.rfind("S-1-5-", 0), 0u) << me;
#else
  EXPECT_EQ(me, std::to_string(::geteuid()));
#endif
  ASSERT_TRUE(Plat().MakePrivateFolder(D("mine")));
  EXPECT_FALSE(Plat().MakePrivateFolder(D("mine"))) << "the name is taken";
  auto o = Plat().OwnershipOf(D("mine"));
  ASSERT_TRUE(o);
  EXPECT_EQ(o->owner, me);
  EXPECT_TRUE(o->ownerTrusted);
  EXPECT_EQ(o->othersMayWrite + o->othersMayRead + o->othersMayRemove, "");
#ifdef _WIN32
  // Windows keeps the protected list of three entries as given. Wine 8
  // keeps no descriptor: it turns the list into a POSIX mode at creation
  // and reads back one made from the mode, which must still grant nobody
  // else anything.
  Dacl d = ReadDacl(D("mine"));
  if (d.kept) {
    EXPECT_EQ(d.entries, (std::vector<std::string>{me + " 1f01ff 3", "S-1-5-18 1f01ff 3", "S-1-5-32-544 1f01ff 3"}));
  }
  for (const auto& e : d.entries)
    EXPECT_TRUE(e.rfind(me + " ", 0) == 0 || e.rfind("S-1-5-18 ", 0) == 0 || e.rfind("S-1-5-32-544 ", 0) == 0) << e;
#else
  struct stat st {};
  ASSERT_EQ(::stat(HostPath(D("mine")).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  // What others may see of a folder of this account's is taken back.
  ::chmod(HostPath(D("mine")).c_str(), 0755);
  EXPECT_NE(Plat().OwnershipOf(D("mine"))->othersMayRead, "");
  ASSERT_TRUE(Plat().MakePrivate(D("mine")));
  ::stat(HostPath(D("mine")).c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
#endif
}

#ifndef _WIN32
TEST_F(AccountTest, OwnershipTellsWhatTheModeLetsOtherAccountsDo) {
  struct Case {
    mode_t mode;
    bool folder, write, read, remove;
  } cases[] = {
      {0700, true, false, false, false}, {0711, true, false, true, false}, {0750, true, false, true, false},
      {0770, true, true, true, true},    {0777, true, true, true, true},   {01777, true, true, true, false},
      {0600, false, false, false, false}, {0644, false, false, true, false}, {0622, false, true, false, false},
  };
  for (const auto& c : cases) {
    const std::string path = D(c.folder ? "folder" : "file");
    if (c.folder) MakeDir(path);
    else MakeFile(path, "x");
    ASSERT_EQ(::chmod(HostPath(path).c_str(), c.mode), 0);
    auto o = Plat().OwnershipOf(path);
    ASSERT_TRUE(o);
    SCOPED_TRACE(std::to_string(c.mode));
    EXPECT_EQ(!o->othersMayWrite.empty(), c.write) << o->othersMayWrite;
    EXPECT_EQ(!o->othersMayRead.empty(), c.read) << o->othersMayRead;
    EXPECT_EQ(!o->othersMayRemove.empty(), c.remove) << o->othersMayRemove;
    EXPECT_TRUE(o->ownerTrusted);
  }
  // Another account's, as far as this process may make it so.
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a folder to another account";
  ASSERT_EQ(::chown(HostPath(D("folder")).c_str(), 65534, 65534), 0);
  auto o = Plat().OwnershipOf(D("folder"));
  EXPECT_EQ(o->owner, "65534");
  EXPECT_FALSE(o->ownerTrusted);
}
#endif

TEST_F(AccountTest, TheSharedStoreFolderLetsOrdinaryUsersMakeTheirOwnFolderAndNothingMore) {
  ASSERT_TRUE(Plat().MakeSharedFolder(D("VAPORIZE")));
  EXPECT_FALSE(Plat().MakeSharedFolder(D("VAPORIZE")));
  auto a = Plat().GetAttributes(D("VAPORIZE"));
  ASSERT_TRUE(a);
  EXPECT_EQ(*a & (kAttrHidden | kAttrSystem), kAttrHidden | kAttrSystem);
  auto o = Plat().OwnershipOf(D("VAPORIZE"));
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->ownerTrusted);
  EXPECT_EQ(o->othersMayRemove, "") << "nobody but its owner may take away another account's store";
#ifdef _WIN32
  // Authenticated Users: add a folder, traverse, read attributes, this
  // folder only; CREATOR OWNER: full control over what it makes.
  // https://learn.microsoft.com/en-us/windows/win32/fileio/file-access-rights-constants
  Dacl d = ReadDacl(D("VAPORIZE"));
  if (d.kept) {
    EXPECT_EQ(d.entries, (std::vector<std::string>{"S-1-5-11 1000a4 0", "S-1-5-18 1f01ff 3", "S-1-5-32-544 1f01ff 3",
                                                    "S-1-3-0 1f01ff b"}));
  }
  // Wine reads back a list made from the POSIX mode, which cannot say
  // "add a folder only": there others get at most reading and passing
  // through (0x1200a9), never a right to change anything.
  const std::string me = Plat().AccountName();
  for (const auto& e : d.entries) {
    if (e.rfind(me + " ", 0) == 0 && !d.kept) continue;  // Wine: the owner's mode bits
    if (e.rfind("S-1-5-18 ", 0) == 0 || e.rfind("S-1-5-32-544 ", 0) == 0 || e.rfind("S-1-3-0 ", 0) == 0) continue;
    unsigned long mask = std::strtoul(e.c_str() + e.find(' ') + 1, nullptr, 16);
    EXPECT_EQ(mask & ~(d.kept ? 0x1000a4ul : 0x1200a9ul), 0ul) << e;
  }
#else
  struct stat st {};
  ASSERT_EQ(::stat(HostPath(D("VAPORIZE")).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, ::geteuid() == 0 ? 01777u : 0700u);
#endif
}

}  // namespace
}  // namespace vz::test
