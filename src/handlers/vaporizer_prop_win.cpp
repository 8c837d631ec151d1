#include "handlers/vaporizer_prop_win.h"

#include <commctrl.h>
#include <prsht.h>
#include <shlobj.h>

#include "handlers/settings_page_win.h"
#include "platform/win32/com.h"
#include "resources/resource.h"

namespace vz::win32 {

HINSTANCE ModuleInstance();

namespace {

class TVaporizerProp : public com::Object<TVaporizerProp, IShellPropSheetExt, IShellExtInit> {
 public:
  static const QITAB* QiTable() {
    static const QITAB table[] = {QITABENT(TVaporizerProp, IShellPropSheetExt),
                                  QITABENT(TVaporizerProp, IShellExtInit), {}};
    return table;
  }

  IFACEMETHODIMP Initialize(PCIDLIST_ABSOLUTE, IDataObject*, HKEY) override { return S_OK; }

  IFACEMETHODIMP AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam) override {
    return com::Guard([&]() -> HRESULT {
      PROPSHEETPAGEA page{};
      page.dwSize = PROPSHEETPAGEA_V1_SIZE;
      page.dwFlags = PSP_DEFAULT;
      page.hInstance = ModuleInstance();
      page.pszTemplate = MAKEINTRESOURCEA(IDD_SETTINGS_PAGE);
      page.pfnDlgProc = &SettingsPageProc;
      HPROPSHEETPAGE handle = CreatePropertySheetPageA(&page);
      if (handle && (!addPage || !addPage(handle, lParam))) DestroyPropertySheetPage(handle);
      return S_OK;
    });
  }

  IFACEMETHODIMP ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM) override { return E_NOTIMPL; }
};

}  // namespace

HRESULT CreateVaporizerProp(REFIID riid, void** ppv) { return TVaporizerProp::CreateInstance(riid, ppv); }

}  // namespace vz::win32
