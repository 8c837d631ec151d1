// Accounts and permissions: the folders made for one account alone and
// the shared store folder, and what their permissions let others do. The
// access lists Windows gives them are read back after a send
// (store/own_store_test.cpp).
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/drives.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vz::test {
namespace {

class AccountTest : public DrivesTest {};

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
#ifndef _WIN32
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
#ifndef _WIN32
  struct stat st {};
  ASSERT_EQ(::stat(HostPath(D("VAPORIZE")).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, ::geteuid() == 0 ? 01777u : 0700u);
#endif
}

}  // namespace
}  // namespace vz::test
