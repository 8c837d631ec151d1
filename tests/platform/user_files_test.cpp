// The system's cryptography, the user's secret and files, and what a
// replaced file leaves behind.
#include <gtest/gtest.h>

#include <map>

#include "platform/platform.h"
#include "support/drives.h"
#include "support/recording_platform.h"

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
#ifndef _WIN32
  char buf[64] = {};
  ssize_t n = ::pread(old, buf, sizeof buf, 0);
  ::close(old);
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(std::max<ssize_t>(n, 0))).find("secret"), std::string::npos);
#endif
}

const std::string kOld = "C:\\Work\\secret-name.doc\r\n", kNew = "kept\r\n";

// The names the store's own file goes by in the folder, with their sizes.
std::map<std::string, std::int64_t> IndexNames(const std::string& folder) {
  std::vector<DirEntry> all;
  NativePlatform().ListDirectory(folder, all);
  std::map<std::string, std::int64_t> out;
  for (const auto& e : all)
    if (e.name.rfind("info.shr", 0) == 0) out[e.name] = e.size;
  return out;
}

void Tidy(const std::string& folder) {
  std::string why;
  auto f = Plat().OpenFolder(folder, &why);
  ASSERT_TRUE(f) << why;
  FinishReplaceIn(*f, "info.shr");
}

// At every step of a replace, and whichever step fails, the name holds the
// old content or the new one; only where the old file had to go aside
// (Windows without second names) may it stand there alone for a moment,
// and tidying puts it back. Once tidied, no other name is left.
TEST_F(UserFilesTest, AReplaceCutShortOrFailingAtAnyStepKeepsTheOldContentOrTheNew) {
  struct Fault { const char* op; const char* path; int skip; };
  const std::vector<std::vector<Fault>> rows = {
      {},
      {{"CreateNew", "info.shr.~", 0}},
      {{"Flush", "info.shr.~", 0}},
      {{"ExchangeWith", "", 0}},  // POSIX: the old file is held through a rename instead
      {{"ExchangeWith", "", 0}, {"MoveTo", "info.shr.~", 0}},
      // Neither held through a rename nor given a second name (FUSE, FAT
      // on Windows): the old file goes aside, and then neither move works.
      {{"ExchangeWith", "", 0}, {"KeptWhenReplaced", "", 0}, {"LinkAs", "", 0}},
      {{"ExchangeWith", "", 0}, {"KeptWhenReplaced", "", 0}, {"LinkAs", "", 0}, {"MoveTo", "", 1}},
      {{"MoveTo", "info.shr.~", 0}},
      {{"OpenExclusive", "info.shr.~", 0}},  // the old content cannot be reached again
      {{"WriteAt", "info.shr.~", 1}},
      {{"Delete", "info.shr.~", 0}},
  };
  auto sound = [&] {
    for (const auto& [name, size] : IndexNames(D()))
      if (name == "info.shr" ? size == std::int64_t(kOld.size()) || size == std::int64_t(kNew.size())
                             : name.rfind("info.shr.old", 0) == 0 && size == std::int64_t(kOld.size()))
        return true;
    return false;
  };
  for (std::size_t r = 0; r < rows.size(); ++r) {
    MakeFile(D("info.shr"), kOld);
    RecordingPlatform rec;
    for (const auto& f : rows[r]) rec.FailOn(f.op, f.path, f.skip);
    int steps = 0, torn = 0;
    SetRaceHook([&](const char*, const std::string&) { ++steps, torn += !sound(); });
    bool ok;
    {
      ScopedPlatform use(rec);
      ok = Plat().ReplaceFileContents(D("info.shr"), kNew);
    }
    SetRaceHook(nullptr);
    EXPECT_TRUE(sound()) << "row " << r;
    EXPECT_EQ(torn, 0) << "row " << r << ": torn at " << torn << " of " << steps << " steps";
    if (rows[r].empty()) EXPECT_EQ(IndexNames(D()).size(), 1u) << "a name was left behind";
    Tidy(D());
    EXPECT_EQ(Slurp(D("info.shr")), ok ? kNew : kOld) << "row " << r;
    EXPECT_EQ(IndexNames(D()).size(), 1u) << "row " << r;
  }
}

// What earlier versions and replaces cut short left: an old file aside goes
// back where the name is missing, and every other temporary file goes.
TEST_F(UserFilesTest, TidyingPutsBackAFileLeftAsideAndRemovesTheRest) {
  for (const char* aside : {"info.shr.old", "info.shr.old.~k2v9xz"}) {
    for (bool missing : {true, false}) {
      if (!missing) MakeFile(D("info.shr"), kNew);
      MakeFile(D(aside), kOld);
      MakeFile(D("info.shr.~a1b2c3"), kNew);
      Tidy(D());
      EXPECT_EQ(Slurp(D("info.shr")), missing ? kOld : kNew) << aside;
      EXPECT_EQ(IndexNames(D()).size(), 1u) << aside;
      ASSERT_TRUE(Plat().RemoveFile(D("info.shr")));
    }
  }
}

}  // namespace
}  // namespace vz::test
