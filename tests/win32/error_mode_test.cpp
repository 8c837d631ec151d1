#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/medium.h"

namespace vz::test {
namespace {

// SetErrorMode sets the mode of the whole process ("Controls whether the
// system will handle the specified types of serious errors or whether the
// process will handle them", learn.microsoft.com/windows/win32/api/errhandlingapi/
// nf-errhandlingapi-seterrormode); inside Explorer that is every window's
// thread. The medium probe changes its own thread's mode only, so another
// thread never sees it change.
TEST(ErrorModeTest, TheMediumProbeLeavesTheProcessModeAlone) {
  const UINT before = SetErrorMode(0);
  std::atomic<bool> stop{false}, changed{false};
  std::thread watcher([&] {
    while (!stop)
      if (GetErrorMode() != 0) changed = true;
  });
  for (int i = 0; i < 20 && !changed; ++i) NativeMediumOf("D:\\");
  stop = true;
  watcher.join();
  SetErrorMode(before);
  EXPECT_FALSE(changed);
}

}  // namespace
}  // namespace vz::test
