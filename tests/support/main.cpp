// The test programs' entry: a child process started by a test runs its
// role and ends; anything else runs the tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/batch.h"
#include "store/send.h"
#include "support/child_process.h"
#ifdef _WIN32
#include "platform/win32/ntfs_model.h"
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  // Everything runs under the rules Windows itself applies, which Wine
  // does not.
  // (VZ_NTFS_MODEL=0 leaves it out, to measure what it costs.)
  static vz::test::NtfsModel model;
  const char* use = std::getenv("VZ_NTFS_MODEL");
  if (!use || std::string(use) != "0") vz::win32::SetKernelRules(&model);
#endif
  vz::SetDirectVaporizer(&vz::VaporizeDirectItems);
  int code = vz::test::RunChildRoleIfAsked();
  if (code >= 0) return code;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
