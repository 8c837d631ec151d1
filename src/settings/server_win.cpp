// The class table and the four COM entry points of the module.
#include "settings/server_win.h"

#include <objbase.h>
#include <shlobj.h>

#include <atomic>

#include "handlers/shred_file_menu_win.h"
#include "handlers/vaporizer_menu_win.h"
#include "handlers/vaporizer_prop_win.h"
#include "namespace/folder_win.h"
#include "platform/win32/com.h"
#include "settings/icon_win.h"
#include "settings/registry_win.h"

namespace vz::win32 {
namespace {

// The factories were made menu, file menu, properties, folder, each put in
// front of the list, so the list is walked in the reverse order: the folder
// (whose factory does the namespace registration) first.
const ServerClass kClasses[] = {
    {&kClsidVaporizerFolder, "Vaporizer", Threading::Single, &CreateVaporizerFolder, &RegisterNamespaceFolder,
     &UnregisterNamespaceFolder},
    {&kClsidVaporizerProp, "Orvel Vaporizer Properties Pages", Threading::Apartment, &CreateVaporizerProp, nullptr,
     nullptr},
    {&kClsidShredFileMenu, "Orvel Vaporizer Context Menu for Files", Threading::Apartment, &CreateShredFileMenu,
     nullptr, nullptr},
    {&kClsidVaporizerMenu, "Orvel Vaporizer Context Menu", Threading::Apartment, &CreateVaporizerMenu, nullptr,
     nullptr},
};

std::atomic<long> g_locks{0};

class TClassFactory : public com::Object<TClassFactory, IClassFactory> {
 public:
  explicit TClassFactory(const ServerClass& c) : class_(c) {}

  static const QITAB* QiTable() {
    static const QITAB table[] = {QITABENT(TClassFactory, IClassFactory), {}};
    return table;
  }

  IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return com::Guard([&] { return class_.create(riid, ppv); });
  }

  IFACEMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      ++g_locks;
    else if (g_locks > 0)
      --g_locks;
    return S_OK;
  }

 private:
  const ServerClass& class_;
};

// COM wants the thread initialised for the shell link of the Send To
// shortcut; the callers of the registration exports may not have done it.
class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComScope() {
    if (ok_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool ok_;
};

}  // namespace

const ServerClass* ServerClasses() { return kClasses; }
std::size_t ServerClassCount() { return sizeof kClasses / sizeof kClasses[0]; }
long ServerLocks() { return g_locks; }

HRESULT CreateClassFactory(const ServerClass& c, REFIID riid, void** ppv) {
  return com::Object<TClassFactory, IClassFactory>::CreateInstance(riid, ppv, c);
}

}  // namespace vz::win32

using vz::win32::ServerClassCount;
using vz::win32::ServerClasses;

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  return vz::com::Guard([&]() -> HRESULT {
    for (std::size_t i = 0; i < ServerClassCount(); ++i) {
      const auto& c = ServerClasses()[i];
      if (IsEqualCLSID(clsid, vz::win32::ToGuid(*c.id))) return vz::win32::CreateClassFactory(c, riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
  });
}

STDAPI DllCanUnloadNow() {
  return vz::com::Guard([]() -> HRESULT {
    // Objects still alive (a menu, a page, a factory held by a client) keep
    // their code loaded whether or not the folder is on the desktop.
    if (vz::com::ObjectCount() > 0 || vz::win32::ServerLocks() > 0) return S_FALSE;
    LPITEMIDLIST folder = vz::win32::FindFolderOnDesktop();
    if (!folder) return S_OK;
    CoTaskMemFree(folder);
    return S_FALSE;
  });
}

STDAPI DllRegisterServer() {
  vz::win32::ComScope com;
  try {
    for (std::size_t i = 0; i < ServerClassCount(); ++i) {
      const auto& c = ServerClasses()[i];
      vz::win32::RegisterClassCommon(c);
      if (c.registerExtras) c.registerExtras();
    }
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

STDAPI DllUnregisterServer() {
  vz::win32::ComScope com;
  try {
    for (std::size_t i = 0; i < ServerClassCount(); ++i) {
      const auto& c = ServerClasses()[i];
      vz::win32::UnregisterClassCommon(c);
      if (c.unregisterExtras) c.unregisterExtras();
    }
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}
