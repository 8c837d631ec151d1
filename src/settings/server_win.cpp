#include "settings/server_win.h"

#include <objbase.h>
#include <shlobj.h>

#include <atomic>

#include "platform/win32/com.h"
#include "settings/registry_win.h"

namespace vz::win32 {
namespace {

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

long ServerLocks() { return g_locks; }

HRESULT GetClassObject(const ServerClass* classes, std::size_t count, REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (std::size_t i = 0; i < count; ++i)
    if (IsEqualCLSID(clsid, ToGuid(*classes[i].id)))
      return com::Object<TClassFactory, IClassFactory>::CreateInstance(riid, ppv, classes[i]);
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadNow() {
  // Objects still alive (a menu, a page, a factory held by a client, a
  // batch at work) keep their code loaded. Windows asks this periodically,
  // so it never looks further than the counts: the desktop that the shell's
  // own references come from may be a slow or absent network share.
  return com::ObjectCount() > 0 || ServerLocks() > 0 ? S_FALSE : S_OK;
}

HRESULT RegisterServer(const ServerClass* classes, std::size_t count) {
  ComScope com;
  try {
    for (std::size_t i = 0; i < count; ++i) {
      RegisterClassCommon(classes[i]);
      if (classes[i].registerExtras) classes[i].registerExtras();
    }
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT UnregisterServer(const ServerClass* classes, std::size_t count) {
  ComScope com;
  try {
    for (std::size_t i = 0; i < count; ++i) {
      UnregisterClassCommon(classes[i]);
      if (classes[i].unregisterExtras) classes[i].unregisterExtras();
    }
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace vz::win32
