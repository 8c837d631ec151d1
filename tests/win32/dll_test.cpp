#include <windows.h>
#include <gtest/gtest.h>

namespace {

TEST(DllTest, LoadsWithLoadLibrary) {
  HMODULE h = LoadLibraryA("Vaporizer.dll");
  ASSERT_NE(h, nullptr) << "error " << GetLastError();
  FreeLibrary(h);
}

}  // namespace
