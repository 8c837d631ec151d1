#include <windows.h>
#include <gtest/gtest.h>
#include <objbase.h>

#include <thread>

namespace {

TEST(DllTest, LoadsWithLoadLibrary) {
  HMODULE h = LoadLibraryA("Vaporizer.dll");
  ASSERT_NE(h, nullptr) << "error " << GetLastError();
  FreeLibrary(h);
}

TEST(DllTest, LoadingLeavesTheLoadingThreadFreeToChooseItsApartment) {
  ASSERT_EQ(GetModuleHandleA("Vaporizer.dll"), nullptr) << "loaded already: its start would not run";
  HRESULT chosen = E_FAIL;
  std::thread([&] {
    HMODULE h = LoadLibraryA("Vaporizer.dll");
    chosen = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(chosen)) CoUninitialize();
    if (h) FreeLibrary(h);
  }).join();
  EXPECT_EQ(chosen, S_OK) << "the module made the thread an apartment of its own";
}

}  // namespace
