#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "support/drives.h"

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

}  // namespace
}  // namespace vz::test
