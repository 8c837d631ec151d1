// The system's cryptography, the user's secret and files, and what a
// replaced file leaves behind.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/drives.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/kvstore.h"
#endif

namespace vz::test {
namespace {

class UserFilesTest : public DrivesTest {};

// FIPS 180-2 and RFC 4231 (test case 2): the bindings hand the bytes over
// whole, and the key as the key.
TEST_F(UserFilesTest, HashesMatchThePublishedVectors) {
  EXPECT_EQ(HexOf(*Sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(HexOf(*HmacSha256("Jefe", "what do ya want for nothing?")),
            "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
  unsigned char a[16] = {}, b[16] = {};
  ASSERT_TRUE(RandomBytes(a, sizeof a) && RandomBytes(b, sizeof b));
  EXPECT_NE(HexOf(a, sizeof a), HexOf(b, sizeof b));
}

TEST_F(UserFilesTest, TheSecretIsMadeOnceAndKeptForTheUserAlone) {
  std::string why;
  auto key = UserSecretKey(&why);
  ASSERT_TRUE(key) << why;
  EXPECT_EQ(key->size(), 32u);
  EXPECT_EQ(UserSecretKey(&why), key);
#ifndef _WIN32
  const std::string file = posix::ConfigDir() + "/receipt.key";
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ::chmod(file.c_str(), 0644);
  EXPECT_FALSE(UserSecretKey(&why));
  EXPECT_NE(why.find("0600"), std::string::npos) << why;
#endif
}

TEST_F(UserFilesTest, AppendingSeesWhatIsThereAndAddsToIt) {
  const std::string file = HostPath(D("r.txt"));
  std::vector<std::string> seen;
  for (const char* add : {"one\n", "two\n"})
    ASSERT_TRUE(AppendLocked(file, [&](const std::string& had) { seen.push_back(had); return std::string(add); }, nullptr));
  EXPECT_EQ(seen, (std::vector<std::string>{"", "one\n"}));
  EXPECT_EQ(*ReadUserFile(file, nullptr), "one\ntwo\n");
}

// What a replaced index said is written over in its own blocks before the
// file system frees them: a descriptor still open on the old file reads
// zeros where the records stood, and the new file is whole.
TEST_F(UserFilesTest, AReplacedFileIsWrittenOverBeforeItsBlocksGo) {
  MakeFile(D("info.shr"), "C:\\Work\\secret-name.doc\r\nC:\\VAPORIZE\\C1.doc\r\n");
#ifndef _WIN32
  int old = ::open(HostPath(D("info.shr")).c_str(), O_RDONLY);
  ASSERT_GE(old, 0);
#endif
  ASSERT_TRUE(Plat().ReplaceFileContents(D("info.shr"), "kept\r\n"));
  EXPECT_EQ(Slurp(D("info.shr")), "kept\r\n");
  EXPECT_FALSE(PathExists(D("info.shr.old")));
#ifndef _WIN32
  char buf[64] = {};
  ssize_t n = ::pread(old, buf, sizeof buf, 0);
  ::close(old);
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(std::max<ssize_t>(n, 0))).find("secret"), std::string::npos);
#endif
}

}  // namespace
}  // namespace vz::test
