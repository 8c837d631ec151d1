#include "settings/server_win.h"

#include <objbase.h>
#include <shlobj.h>

#include <atomic>
#include <exception>
#include <string>
#include <vector>

#include "platform/system_log.h"
#include "platform/win32/com.h"
#include "platform/win32/event_log.h"
#include "platform/win32/wide.h"
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

// The run's notes go to the Application event log as well, where an
// administrator finds what a silent installer's registration said.
void LogNotes(WORD type) {
  const auto& notes = RegistrationNotes();
  if (notes.empty()) return;
  win32::EventCall call;
  call.type = type;
  call.id = kRegistrationEvent;
  call.withUser = true;
  std::wstring text;
  for (const std::string& n : notes) text += (text.empty() ? L"" : L"\r\n") + Widen(n);
  call.strings.push_back(text);
  win32::EventLogSink()(call);
}

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
  ClearRegistrationNotes();
  HRESULT hr = S_OK;
  try {
    for (std::size_t i = 0; i < count; ++i) {
      RegisterClassCommon(classes[i]);
      if (classes[i].registerExtras) classes[i].registerExtras();
    }
  } catch (const std::exception& e) {
    AddRegistrationNote(std::string("failed: ") + e.what());
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  LogNotes(FAILED(hr) ? EVENTLOG_ERROR_TYPE : EVENTLOG_WARNING_TYPE);
  return hr;
}

HRESULT UnregisterServer(const ServerClass* classes, std::size_t count) {
  ComScope com;
  ClearRegistrationNotes();
  // Every class is unregistered whatever another left: an uninstall takes
  // all it can.
  HRESULT hr = S_OK;
  for (std::size_t i = 0; i < count; ++i) {
    try {
      UnregisterClassCommon(classes[i]);
      if (classes[i].unregisterExtras) classes[i].unregisterExtras();
    } catch (...) {
      hr = E_FAIL;
    }
  }
  LogNotes(EVENTLOG_WARNING_TYPE);
  return hr;
}

}  // namespace vz::win32
