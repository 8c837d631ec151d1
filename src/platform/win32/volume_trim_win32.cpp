// The volume's retrim on Windows, as Optimize-Volume -ReTrim performs it:
// the storage management provider's MSFT_Volume.Optimize with ReTrim set
// (https://learn.microsoft.com/windows-hardware/drivers/storage/optimize-msft-volume).
// It takes an administrator; anyone else is told so and nothing is asked.
#include <windows.h>
#include <objbase.h>
#include <wbemidl.h>

#include <string>

#include "platform/win32/win32_platform.h"
#include "platform/win32/wide.h"

namespace vz::win32 {
namespace {

template <class T>
class Com {
 public:
  ~Com() {
    if (p) p->Release();
  }
  T** put() { return &p; }
  T* operator->() const { return p; }
  T* get() const { return p; }
  T* p = nullptr;
};

class Variant {
 public:
  Variant() { VariantInit(&v); }
  ~Variant() { VariantClear(&v); }
  VARIANT v;
};

class Bstr {
 public:
  explicit Bstr(const std::wstring& s) : b(SysAllocString(s.c_str())) {}
  ~Bstr() { SysFreeString(b); }
  BSTR b;
};

std::string Hr(HRESULT hr) {
  char buf[16];
  wsprintfA(buf, "0x%08lX", static_cast<unsigned long>(hr));
  return buf;
}

bool IsAdministrator() {
  BOOL member = FALSE;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins))
    return false;
  if (!CheckTokenMembership(nullptr, admins, &member)) member = FALSE;
  FreeSid(admins);
  return member != FALSE;
}

std::string Retrim(wchar_t letter) {
  Com<IWbemLocator> locator;
  HRESULT hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                reinterpret_cast<void**>(locator.put()));
  if (FAILED(hr)) return "Windows Management Instrumentation is not available (" + Hr(hr) + ")";
  Com<IWbemServices> services;
  Bstr ns(L"ROOT\\Microsoft\\Windows\\Storage");
  hr = locator->ConnectServer(ns.b, nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.put());
  if (FAILED(hr)) return "the storage management provider is not available (" + Hr(hr) + ")";
  CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  Com<IEnumWbemClassObject> found;
  Bstr wql(L"WQL"), query(std::wstring(L"SELECT * FROM MSFT_Volume WHERE DriveLetter = '") + letter + L"'");
  hr = services->ExecQuery(wql.b, query.b, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, found.put());
  Com<IWbemClassObject> volume;
  ULONG got = 0;
  if (FAILED(hr) || FAILED(found->Next(WBEM_INFINITE, 1, volume.put(), &got)) || got == 0)
    return "the storage management provider does not know the volume";
  Variant path;
  if (FAILED(volume->Get(L"__PATH", 0, &path.v, nullptr, nullptr)) || path.v.vt != VT_BSTR)
    return "the storage management provider does not name the volume";
  Com<IWbemClassObject> cls, inDef, in, out;
  Bstr className(L"MSFT_Volume"), method(L"Optimize");
  if (FAILED(services->GetObject(className.b, 0, nullptr, cls.put(), nullptr)) ||
      FAILED(cls->GetMethod(method.b, 0, inDef.put(), nullptr)) || FAILED(inDef->SpawnInstance(0, in.put())))
    return "the storage management provider has no retrim";
  Variant yes;
  yes.v.vt = VT_BOOL;
  yes.v.boolVal = VARIANT_TRUE;
  in->Put(L"ReTrim", 0, &yes.v, 0);
  hr = services->ExecMethod(path.v.bstrVal, method.b, 0, nullptr, in.get(), out.put(), nullptr);
  if (FAILED(hr)) return "the retrim failed (" + Hr(hr) + ")";
  Variant rc;
  if (out.get() && SUCCEEDED(out->Get(L"ReturnValue", 0, &rc.v, nullptr, nullptr)) && SUCCEEDED(VariantChangeType(&rc.v, &rc.v, 0, VT_UI4)) &&
      rc.v.ulVal != 0)
    return rc.v.ulVal == 1 ? "the volume takes no retrim" : "the retrim failed (" + std::to_string(rc.v.ulVal) + ")";
  return {};
}

}  // namespace

std::string RetrimVolume(const std::string& path) {
  if (path.size() < 2 || path[1] != ':') return "the volume has no drive letter";
  if (!IsAdministrator()) return "the volume's retrim needs an administrator";
  HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  std::string why;
  try {
    why = Retrim(static_cast<wchar_t>(static_cast<unsigned char>(path[0]) & ~0x20));
  } catch (...) {
    why = "the retrim could not be asked for";
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return why;
}

}  // namespace vz::win32
