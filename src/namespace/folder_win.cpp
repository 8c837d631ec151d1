#include "namespace/folder_win.h"

#include <shlobj.h>

#include "handlers/vaporizer_menu_win.h"
#include "platform/win32/com.h"
#include "settings/registry_win.h"
#include "store/enum_shred_win.h"
#include "store/store.h"

namespace vz::win32 {
namespace {

class TVaporizerFolder : public com::Object<TVaporizerFolder, IPersistFolder, IShellFolder> {
 public:
  static const QITAB* QiTable() {
    static const QITAB table[] = {QITABENT(TVaporizerFolder, IPersistFolder),
                                  QITABENT(TVaporizerFolder, IShellFolder), {}};
    return table;
  }

  // IPersistFolder
  IFACEMETHODIMP GetClassID(CLSID* id) override {
    if (!id) return E_POINTER;
    *id = ToGuid(kClsidVaporizerFolder);
    return S_OK;
  }
  IFACEMETHODIMP Initialize(PCIDLIST_ABSOLUTE) override {
    // Every fixed drive gets its store before anything lists or sends.
    return com::Guard([] {
      EnsureStores();
      return S_OK;
    });
  }

  // IShellFolder
  IFACEMETHODIMP ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE*, ULONG*) override {
    return E_NOTIMPL;
  }
  IFACEMETHODIMP EnumObjects(HWND, SHCONTF, IEnumIDList** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return com::Guard([&]() -> HRESULT {
      // Every call lists every stored item, whatever the flags ask for.
      return SUCCEEDED(CreateShredEnumerator(out)) && *out ? S_OK : E_NOTIMPL;
    });
  }
  IFACEMETHODIMP BindToObject(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**) override { return E_NOTIMPL; }
  IFACEMETHODIMP BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**) override { return E_NOTIMPL; }
  IFACEMETHODIMP CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) override { return E_NOTIMPL; }
  IFACEMETHODIMP CreateViewObject(HWND, REFIID, void** ppv) override {
    // No view or drop target is offered by this folder object.
    if (ppv) *ppv = nullptr;
    return E_NOINTERFACE;
  }
  IFACEMETHODIMP GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF*) override { return E_NOTIMPL; }
  IFACEMETHODIMP GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID riid, UINT*, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return com::Guard([&]() -> HRESULT {
      if (IsEqualIID(riid, IID_IContextMenu)) return CreateVaporizerMenu(riid, ppv);
      return E_NOINTERFACE;
    });
  }
  IFACEMETHODIMP GetDisplayNameOf(PCUITEMID_CHILD, SHGDNF, STRRET*) override { return E_NOTIMPL; }
  IFACEMETHODIMP SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF, PITEMID_CHILD*) override { return E_NOTIMPL; }
};

}  // namespace

HRESULT CreateVaporizerFolder(REFIID riid, void** ppv) { return TVaporizerFolder::CreateInstance(riid, ppv); }

}  // namespace vz::win32
