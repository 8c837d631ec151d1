// The module's class table through DllGetClassObject.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <memory>
#include <string>

#include "support/drives.h"
#include "win32/shell_support.h"

namespace vz::test {
namespace {

class ServerTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    module_ = std::make_unique<Module>();
  }
  void TearDown() override {
    module_.reset();
    CoUninitialize();
    DrivesTest::TearDown();
  }
  std::unique_ptr<Module> module_;
};

TEST_F(ServerTest, UnknownClassGetsNoFactory) {
  void* out = reinterpret_cast<void*>(0x1234);
  EXPECT_EQ(module_->GetClassObject(IID_IShellFolder, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
}

TEST_F(ServerTest, EachClassMakesTheInterfacesItImplements) {
  struct Case {
    const char* clsid;
    const IID* iid;
    const char* name;
    HRESULT expected;
  } cases[] = {
      {kFolderId, &IID_IShellFolder, "folder IShellFolder", S_OK},
      {kFolderId, &IID_IPersistFolder, "folder IPersistFolder", S_OK},
      {kFolderId, &IID_IPersist, "folder IPersist", S_OK},
      {kFolderId, &IID_IContextMenu, "folder IContextMenu", E_NOINTERFACE},
      {kMenuId, &IID_IContextMenu, "menu IContextMenu", S_OK},
      {kMenuId, &IID_IShellExtInit, "menu IShellExtInit", S_OK},
      {kMenuId, &IID_IShellPropSheetExt, "menu IShellPropSheetExt", E_NOINTERFACE},
      {kFileMenuId, &IID_IContextMenu, "file menu IContextMenu", S_OK},
      {kFileMenuId, &IID_IShellExtInit, "file menu IShellExtInit", S_OK},
      {kFileMenuId, &IID_IContextMenu2, "file menu IContextMenu2", E_NOINTERFACE},
      {kPropId, &IID_IShellPropSheetExt, "pages IShellPropSheetExt", S_OK},
      {kPropId, &IID_IShellExtInit, "pages IShellExtInit", S_OK},
      {kPropId, &IID_IContextMenu, "pages IContextMenu", E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    com::ComPtr<IClassFactory> factory;
    ASSERT_EQ(module_->GetClassObject(Guid(c.clsid), IID_IClassFactory, factory.PutVoid()), S_OK);
    com::ComPtr<IUnknown> object;
    EXPECT_EQ(factory->CreateInstance(nullptr, *c.iid, object.PutVoid()), c.expected);
    EXPECT_EQ(object.Get() != nullptr, c.expected == S_OK);
  }
}

TEST_F(ServerTest, FactoriesRefuseAggregationAndForeignInterfaces) {
  com::ComPtr<IClassFactory> factory;
  ASSERT_EQ(module_->GetClassObject(Guid(kMenuId), IID_IClassFactory, factory.PutVoid()), S_OK);
  com::ComPtr<IUnknown> object;
  EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.Get()), IID_IUnknown, object.PutVoid()),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object.Get(), nullptr);
  void* out = nullptr;
  EXPECT_EQ(module_->GetClassObject(Guid(kMenuId), IID_IDropTarget, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(module_->GetClassObject(Guid(kMenuId), IID_IUnknown, &out), S_OK);
  static_cast<IUnknown*>(out)->Release();
}

}  // namespace
}  // namespace vz::test
