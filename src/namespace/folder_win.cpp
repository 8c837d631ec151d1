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
#include "platform/platform.h"
#include "window/item_list.h"

namespace vz::win32 {
namespace {

// The folder attributes that registration writes (ShellFolder\Attributes):
// what the folder itself is.
constexpr SFGAOF kFolderAttributes = SFGAO_FOLDER | SFGAO_DROPTARGET | SFGAO_HASPROPSHEET;
// What every stored item is in the folder's window: dragged out (a move),
// vaporized, shown in its properties.
constexpr SFGAOF kItemAttributes = SFGAO_CANMOVE | SFGAO_CANDELETE | SFGAO_HASPROPSHEET;

// The folder keeps nothing between calls but the identifier it was
// initialized with: the stores on disk are its only state. What it refuses
// it refuses without touching any out-parameter.
class TVaporizerFolder
    : public com::Object<TVaporizerFolder, ISupportErrorInfo, IPersistFolder2, IShellFolder> {
 public:
  static const QITAB* QiTable() {
    static const QITAB table[] = {QITABENT(TVaporizerFolder, ISupportErrorInfo),
                                  QITABENTMULTI(TVaporizerFolder, IPersist, IPersistFolder2),
                                  QITABENTMULTI(TVaporizerFolder, IPersistFolder, IPersistFolder2),
                                  QITABENT(TVaporizerFolder, IPersistFolder2),
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
  IFACEMETHODIMP Initialize(PCIDLIST_ABSOLUTE pidl) override {
    // Every fixed drive gets its store before anything lists or sends.
    return com::Guard([&] {
      EnsureStores();
      IdList copy(pidl ? ILCloneFull(pidl) : nullptr);
      if (pidl && !copy) return E_OUTOFMEMORY;
      where_ = std::move(copy);
      return S_OK;
    });
  }

  // IPersistFolder2: where the shell put the folder; S_FALSE and no
  // identifier before Initialize.
  IFACEMETHODIMP GetCurFolder(PIDLIST_ABSOLUTE* pidl) override {
    if (!pidl) return E_POINTER;
    *pidl = nullptr;
    return com::Guard([&]() -> HRESULT {
      if (!where_) return S_FALSE;
      *pidl = ILCloneFull(where_.get());
      return *pidl ? S_OK : E_OUTOFMEMORY;
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
  // The order of two items by the column the low 16 bits name (the list's
  // columns); the stored item alone when only identity is asked. The result
  // is the HRESULT form of a negative, zero or positive number.
  IFACEMETHODIMP CompareIDs(LPARAM how, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) override {
    return com::Guard([&]() -> HRESULT {
      std::optional<ShredItemId> x = ReadItemId(a), y = ReadItemId(b);
      if (!x || !y) return E_INVALIDARG;
      int column = static_cast<int>(how & SHCIDS_COLUMNMASK);
      if (how & SHCIDS_CANONICALONLY) column = -1;
      else if (column >= kListColumnCount) return E_INVALIDARG;
      int r = CompareItems(*x, *y, column);
      if (r == 0 && (how & SHCIDS_ALLFIELDS))
        for (int c = 0; c < kListColumnCount && r == 0; ++c) r = CompareItems(*x, *y, c);
      return MAKE_HRESULT(SEVERITY_SUCCESS, 0, static_cast<USHORT>(static_cast<short>(r)));
    });
  }
  IFACEMETHODIMP CreateViewObject(HWND owner, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return com::Guard([&]() -> HRESULT {
      // A new view for every call; the drop target holds the folder.
      if (IsEqualIID(riid, IID_IShellView)) return CreateVaporizerView(this, riid, ppv);
      // A drop on the folder's icon shows its boxes over the window the
      // shell names here (the desktop's, or an Explorer window's).
      if (IsEqualIID(riid, IID_IDropTarget))
        return CreateDropShred(static_cast<IShellFolder*>(this), riid, ppv, owner);
      return E_NOINTERFACE;
    });
  }
  // What the items asked about all are, of what the caller asks; the
  // folder's own attributes for none.
  IFACEMETHODIMP GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY items, SFGAOF* inOut) override {
    if (!inOut) return E_POINTER;
    return com::Guard([&]() -> HRESULT {
      if (count && !items) return E_INVALIDARG;
      // Read-only only when every item is.
      SFGAOF all = count ? kItemAttributes | SFGAO_READONLY : kFolderAttributes;
      for (UINT i = 0; i < count; ++i) {
        std::optional<ShredItemId> item = ReadItemId(items[i]);
        if (!item) return E_INVALIDARG;
        auto attrs = Plat().GetAttributes(Trim(GetField(item->storedPath)));
        if (!attrs || !(*attrs & kAttrReadOnly)) all &= ~static_cast<SFGAOF>(SFGAO_READONLY);
      }
      *inOut &= all;
      return S_OK;
    });
  }
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

 private:
  IdList where_;
};

}  // namespace

HRESULT CreateVaporizerFolder(REFIID riid, void** ppv) { return TVaporizerFolder::CreateInstance(riid, ppv); }

}  // namespace vz::win32
