#include "namespace/folder_win.h"

#include <shlobj.h>

#include "handlers/vaporizer_menu_win.h"
#include "namespace/drop_target_win.h"
#include "namespace/view_win.h"
#include "common/text.h"
#include "platform/win32/com.h"
#include "platform/win32/shell_support_win.h"
#include "platform/win32/wide.h"
#include "settings/registry_win.h"
#include "store/enum_shred_win.h"
#include "store/item_id_win.h"
#include "store/store.h"

namespace vz::win32 {
namespace {

// The folder keeps nothing between calls: the stores on disk are its only
// state. What it refuses it refuses without touching any out-parameter.
class TVaporizerFolder
    : public com::Object<TVaporizerFolder, ISupportErrorInfo, IPersistFolder, IShellFolder> {
 public:
  static const QITAB* QiTable() {
    static const QITAB table[] = {QITABENT(TVaporizerFolder, ISupportErrorInfo),
                                  QITABENT(TVaporizerFolder, IPersistFolder),
                                  QITABENT(TVaporizerFolder, IShellFolder),
                                  {nullptr, 0}};
    return table;
  }

  // ISupportErrorInfo
  IFACEMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
    return IsEqualIID(riid, IID_IPersistFolder) || IsEqualIID(riid, IID_IShellFolder) ? S_OK : S_FALSE;
  }

  // IPersistFolder
  IFACEMETHODIMP GetClassID(CLSID* id) override {
    if (!id) return E_POINTER;
    return com::Guard([&] {
      *id = ToGuid(kClsidVaporizerFolder);
      return S_OK;
    });
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
  IFACEMETHODIMP CreateViewObject(HWND, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return com::Guard([&]() -> HRESULT {
      // A new view for every call; the drop target holds the folder.
      if (IsEqualIID(riid, IID_IShellView)) return CreateVaporizerView(this, riid, ppv);
      if (IsEqualIID(riid, IID_IDropTarget))
        return CreateDropShred(static_cast<IShellFolder*>(this), riid, ppv);
      return E_NOINTERFACE;
    });
  }
  IFACEMETHODIMP GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF*) override { return E_NOTIMPL; }
  IFACEMETHODIMP GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID riid, UINT*, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return com::Guard([&]() -> HRESULT {
      // The items' context menu is the folder icon's; the folder has no
      // icon extractor and gives no drop target here.
      if (IsEqualIID(riid, IID_IContextMenu)) return CreateVaporizerMenu(riid, ppv);
      return E_NOINTERFACE;
    });
  }
  // An item's name as the shell shows it, in 16-bit text; for parsing, the
  // stored item itself (its path, or its stored name within the folder),
  // which is what the item is and is unique. Nothing but one of our own
  // identifiers is answered.
  IFACEMETHODIMP GetDisplayNameOf(PCUITEMID_CHILD id, SHGDNF flags, STRRET* name) override {
    if (!name) return E_POINTER;
    return com::Guard([&]() -> HRESULT {
      std::optional<ShredItemId> item = ReadItemId(id);
      if (!item) return E_INVALIDARG;
      std::string text = item->displayName;
      if (flags & SHGDN_FORPARSING) text = (flags & SHGDN_INFOLDER) ? FileNamePart(item->storedPath) : item->storedPath;
      return PutStrRet(Widen(text), name);
    });
  }
  IFACEMETHODIMP SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF, PITEMID_CHILD*) override { return E_NOTIMPL; }
};

}  // namespace

HRESULT CreateVaporizerFolder(REFIID riid, void** ppv) { return TVaporizerFolder::CreateInstance(riid, ppv); }

}  // namespace vz::win32
