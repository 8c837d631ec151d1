// A prune that cannot write its result must leave every record in place:
// a lost record makes its item an orphan that only "Vaporize all" finds.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "store/store.h"
#include "support/drives.h"
#include "support/recording_platform.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vz::test {
namespace {

class PruneSafetyTest : public DrivesTest {
 protected:
  // Live and dead records, so that a prune has something to rewrite.
  std::string MakeIndex(int records) {
    std::string text;
    for (int i = 1; i <= records; ++i) {
      std::string stored = Own("D:\\VAPORIZE\\D") + std::to_string(i) + ".txt";
      if (i % 2 == 0) MakeFile(stored, "live");
      text += "D:\\Work\\some rather long original name number " + std::to_string(i) + ".txt\r\n" + stored + "\r\n";
    }
    MakeFile(DS("info.shr"), text);
    return text;
  }
};

TEST_F(PruneSafetyTest, AFailedReplaceLeavesTheIndexWholeAndItIsNeverRewrittenInPlace) {
  EnsureStores();
  const std::string before = MakeIndex(40);
  RecordingPlatform rec;
  // The new index cannot take the old one's place.
  rec.FailOn("MoveTo", "info.shr.~");
  rec.FailOn("ExchangeWith", "info.shr.~");
  {
    ScopedPlatform use(rec);
    PruneIndex();
  }
  EXPECT_EQ(rec.Count("MoveTo", Own("D:\\VAPORIZE\\info.shr.~")), 1u) << "the prune had work to do";
  EXPECT_EQ(Slurp(DS("info.shr")), before);
  // The index itself is only ever read, or given a second name (Windows).
  for (const auto& c : rec.calls)
    if (c.path == DS("info.shr"))
      EXPECT_TRUE(c.op == "Stat" || c.op == "OpenRead" || c.op == "ReadAt" || c.op == "Info" || c.op == "OpenNode" ||
                  c.op == "LinkAs" || c.op == "KeptWhenReplaced")
          << c.op;
  std::vector<DirEntry> entries;
  ASSERT_TRUE(Plat().ListDirectory(DS(), entries));
  for (const auto& e : entries) EXPECT_EQ(e.name.find("info.shr."), std::string::npos) << "left behind: " << e.name;

  // Once writing works again the dead records go.
  PruneIndex();
  std::string after = Slurp(DS("info.shr"));
  EXPECT_EQ(after.find("D1.txt"), std::string::npos);
  EXPECT_NE(after.find("D40.txt"), std::string::npos);
}

#ifndef _WIN32
// A real write that fails part way: the process may not make files longer
// than a few kilobytes, so the new index cannot be written out in full.
TEST_F(PruneSafetyTest, AWriteThatFailsPartWayOnTheDeviceLeavesTheIndexWhole) {
  EnsureStores();
  const std::string before = MakeIndex(400);
  ASSERT_GT(before.size(), 20000u);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    PruneIndex();
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(Slurp(DS("info.shr")), before);
  std::vector<DirEntry> entries;
  ASSERT_TRUE(Plat().ListDirectory(DS(), entries));
  for (const auto& e : entries) EXPECT_EQ(e.name.find("info.shr."), std::string::npos) << "left behind: " << e.name;
}
#endif

}  // namespace
}  // namespace vz::test
