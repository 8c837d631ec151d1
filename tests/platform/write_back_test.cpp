#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/drives.h"
#include "support/recording_platform.h"

#ifdef __linux__
#include <sys/stat.h>
#endif

namespace vz::test {
namespace {

class WriteBackTest : public DrivesTest {};

TEST_F(WriteBackTest, AnEarlyWriteBackKeepsTheContentAndTheFlushStillWorks) {
  std::string content(3 << 20, 'a');
  MakeFile(D("w.bin"), content);
  {
    auto f = Plat().OpenExclusive(D("w.bin"));
    ASSERT_NE(f, nullptr);
    std::string block(1 << 20, 'b');
    ASSERT_TRUE(f->WriteAt(1 << 20, block.data(), block.size()));
    bool started = f->StartWriteBack(1 << 20, 1 << 20);
#ifdef __linux__
    EXPECT_TRUE(started) << "Linux takes the request";
#else
    EXPECT_FALSE(started) << "this system takes no such request";
#endif
    EXPECT_TRUE(f->Flush());
    EXPECT_EQ(f->Size(), 3 << 20) << "asking for write-back never changes the length";
  }
  std::string after = Slurp(D("w.bin"));
  ASSERT_EQ(after.size(), content.size());
  EXPECT_EQ(after.substr(0, 1 << 20), std::string(1 << 20, 'a'));
  EXPECT_EQ(after.substr(1 << 20, 1 << 20), std::string(1 << 20, 'b'));
  EXPECT_EQ(after.substr(2 << 20), std::string(1 << 20, 'a'));
}

TEST_F(WriteBackTest, WritesAroundTheCacheLandLikeAnyOtherWhetherWholePagesOrNot) {
  MakeFile(D("d.bin"), std::string(3 * 4096 + 100, 'a'));
  std::vector<char> storage(4 * 4096, 'b');
  char* page = storage.data() + (4096 - reinterpret_cast<std::uintptr_t>(storage.data()) % 4096) % 4096;
  {
    auto f = Plat().OpenExclusive(D("d.bin"));
    ASSERT_NE(f, nullptr);
    f->BypassCache();  // a wish: the content must come out the same either way
    ASSERT_TRUE(f->WriteAt(4096, page, 2 * 4096));
    ASSERT_TRUE(f->WriteAt(4096 + 10, "xyz", 3));
    ASSERT_TRUE(f->WriteAt(3 * 4096, page, 100));
    ASSERT_TRUE(f->Flush());
    EXPECT_EQ(f->Size(), 3 * 4096 + 100);
  }
  EXPECT_EQ(Slurp(D("d.bin")), std::string(4096, 'a') + std::string(10, 'b') + "xyz" + std::string(2 * 4096 - 13, 'b') +
                                   std::string(100, 'b'));
}

TEST(FlushTogetherTest, EveryFileIsFlushedOnceAndItsOwnAnswerLandsInItsPlace) {
  for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{200}}) {
    std::vector<std::atomic<int>> calls(n);
    std::vector<bool> ok = FlushTogether(n, [&](std::size_t i) { return ++calls[i] == 1 && i % 3 != 1; });
    ASSERT_EQ(ok.size(), n);
    for (std::size_t i = 0; i < n; ++i) {
      EXPECT_EQ(calls[i], 1) << i;
      EXPECT_EQ(ok[i], i % 3 != 1) << i;
    }
  }
}

TEST_F(WriteBackTest, FilesFlushedTogetherKeepWhatWasWrittenAndForeignFilesAreFlushedOneByOne) {
  std::vector<std::unique_ptr<File>> open;
  std::vector<File*> files;
  for (int i = 0; i < 40; ++i) {
    MakeFile(D("m" + std::to_string(i)), "old content");
    open.push_back(Plat().OpenExclusive(D("m" + std::to_string(i))));
    ASSERT_NE(open.back(), nullptr);
    ASSERT_TRUE(open.back()->WriteAt(0, "NEW", 3));
    files.push_back(open.back().get());
  }
  EXPECT_EQ(Plat().FlushFiles(files), std::vector<bool>(40, true));
  open.clear();
  for (int i = 0; i < 40; ++i) EXPECT_EQ(Slurp(D("m" + std::to_string(i))), "NEW content");

  // Files of another layer (here a recording one) go through their own Flush.
  RecordingPlatform rec;
  rec.FailOn("Flush", "m1");
  ScopedPlatform use(rec);
  for (int i = 0; i < 3; ++i) open.push_back(Plat().OpenExclusive(D("m" + std::to_string(i))));
  files.assign({open[0].get(), open[1].get(), open[2].get()});
  EXPECT_EQ(NativePlatform().FlushFiles(files), (std::vector<bool>{true, false, true}));
  EXPECT_EQ(rec.Count("Flush"), 3u);
}

#ifdef __linux__
// A discard that answers it handed the blocks back has: the file keeps its
// length and holds no block any more.
TEST_F(WriteBackTest, ADiscardedFileKeepsItsLengthAndHoldsNoBlock) {
  for (std::int64_t size : {std::int64_t{1}, std::int64_t{4096}, std::int64_t{(1 << 20) + 1}}) {
    SCOPED_TRACE(size);
    MakeFile(D("x.bin"), std::string(static_cast<std::size_t>(size), 'x'));
    auto f = Plat().OpenExclusive(D("x.bin"));
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(f->Flush());
    struct stat st {};
    ASSERT_EQ(::stat(HostPath(D("x.bin")).c_str(), &st), 0);
    ASSERT_GT(st.st_blocks, 0) << "the file had blocks to hand back";
    const std::string why = f->Discard();
    ASSERT_EQ(why.find("cannot hand"), std::string::npos) << "this file system punches holes: " << why;
    EXPECT_EQ(f->Size(), size);
    ASSERT_EQ(::stat(HostPath(D("x.bin")).c_str(), &st), 0);
    EXPECT_EQ(st.st_blocks, 0) << "the discard answered \"" << why << "\" and left blocks behind";
  }
}
#endif

}  // namespace
}  // namespace vz::test
