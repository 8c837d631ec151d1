#include <windows.h>
#include <gtest/gtest.h>
#include <objbase.h>

#include <cstdlib>
#include <thread>

#include "support/child_process.h"

namespace vz::test {
namespace {

TEST(DllTest, LoadsWithLoadLibrary) {
  HMODULE h = LoadLibraryA("Vaporizer.dll");
  ASSERT_NE(h, nullptr) << "error " << GetLastError();
  FreeLibrary(h);
}

// In a process of its own, where nothing has loaded the module yet: exits
// 0 when the thread that loaded it could still choose its apartment, 1
// when the module had made it one, 2 when the module was there already.
const bool kApartmentChild = RegisterChildRole("dll-apartment", [](const std::string&) {
  if (GetModuleHandleA("Vaporizer.dll")) std::_Exit(2);
  HRESULT chosen = E_FAIL;
  std::thread([&] {
    HMODULE h = LoadLibraryA("Vaporizer.dll");
    chosen = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(chosen)) CoUninitialize();
    if (h) FreeLibrary(h);
  }).join();
  std::_Exit(chosen == S_OK ? 0 : 1);
});

TEST(DllTest, LoadingLeavesTheLoadingThreadFreeToChooseItsApartment) {
  EXPECT_EQ(StartChild("dll-apartment", "").Wait(), 0) << "1: the module made the thread an apartment of its own";
}

}  // namespace
}  // namespace vz::test
