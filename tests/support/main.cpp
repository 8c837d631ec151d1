// The test programs' entry: a child process started by a test runs its
// role and ends; anything else runs the tests.
#include <gtest/gtest.h>

#include "engine/batch.h"
#include "store/send.h"
#include "support/child_process.h"

int main(int argc, char** argv) {
  vz::SetDirectVaporizer(&vz::VaporizeDirectItems);
  int code = vz::test::RunChildRoleIfAsked();
  if (code >= 0) return code;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
