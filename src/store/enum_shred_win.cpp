#include "store/enum_shred_win.h"

#include <cwchar>
#include <iterator>
#include <utility>

#include "platform/win32/com.h"
#include "platform/win32/wide.h"
#include "store/enum_shred.h"
#include "store/item_id_win.h"

namespace vz::win32 {
namespace {

// The shell's type name and small-icon index, asked without opening the
// item (by its name and current attributes).
TypeInfo ShellTypeInfo(const std::string& storedPath, std::uint32_t attributes) {
  SHFILEINFOW info{};
  DWORD attrs = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  TypeInfo t;
  if (SHGetFileInfoW(Widen(storedPath).c_str(), attrs, &info, sizeof info,
                     SHGFI_TYPENAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES)) {
    t.typeName = Narrow(std::wstring(info.szTypeName, wcsnlen(info.szTypeName, std::size(info.szTypeName))));
    t.iconIndex = info.iIcon;
  }
  return t;
}

class TEnumShred : public com::Object<TEnumShred, IEnumIDList> {
 public:
  explicit TEnumShred(com::ComPtr<IMalloc> malloc) : malloc_(std::move(malloc)) {}

  static const QITAB* QiTable() {
    static const QITAB table[] = {QITABENT(TEnumShred, IEnumIDList), {nullptr, 0}};
    return table;
  }

  // As many items as asked for while there are any: S_OK for all of them,
  // S_FALSE for fewer, the fetched count telling how many.
  IFACEMETHODIMP Next(ULONG celt, PITEMID_CHILD* rgelt, ULONG* fetched) override {
    if (fetched) *fetched = 0;
    if (!rgelt || celt == 0 || (celt > 1 && !fetched)) return E_INVALIDARG;
    ULONG got = 0;
    HRESULT hr = com::Guard([&]() -> HRESULT {
      // An item that no identifier can carry (a path too long even for the
      // wide layout) is passed over.
      while (got < celt) {
        auto item = enumeration_.Next(ShellTypeInfo);
        if (!item) break;
        PITEMID_CHILD id = nullptr;
        HRESULT made = NewItemId(*item, malloc_.Get(), &id);
        if (made == S_FALSE) continue;
        if (FAILED(made)) return made;
        rgelt[got++] = id;
      }
      return got == celt ? S_OK : S_FALSE;
    });
    if (FAILED(hr)) {
      // Nothing handed out on a failure: what was made goes back.
      for (ULONG i = 0; i < got; ++i) CoTaskMemFree(std::exchange(rgelt[i], nullptr));
      got = 0;
    }
    if (fetched) *fetched = got;
    return hr;
  }
  IFACEMETHODIMP Skip(ULONG celt) override {
    return com::Guard([&] { return enumeration_.Skip(celt) ? S_OK : S_FALSE; });
  }
  IFACEMETHODIMP Reset() override {
    enumeration_.Reset();
    return S_OK;
  }
  IFACEMETHODIMP Clone(IEnumIDList** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }

 private:
  com::ComPtr<IMalloc> malloc_;
  ShredEnumeration enumeration_;
};

}  // namespace

HRESULT CreateShredEnumerator(IEnumIDList** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  com::ComPtr<IMalloc> malloc;
  HRESULT hr = SHGetMalloc(malloc.Put());
  if (FAILED(hr)) return hr;
  return TEnumShred::CreateInstance(IID_IEnumIDList, reinterpret_cast<void**>(out), std::move(malloc));
}

}  // namespace vz::win32
