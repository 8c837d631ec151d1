#include "handlers/vaporizer_prop_win.h"

#include <commctrl.h>
#include <prsht.h>
#include <shlobj.h>

#include "handlers/emptying_page_win.h"
#include "handlers/settings_page_win.h"
#include "platform/win32/com.h"
#include "platform/win32/shell_support_win.h"
#include "resources/resource.h"

namespace vz::win32 {


namespace {

// A page in a sheet counts as one of the module's objects from its creation
// to its release: the code behind it stays loaded while the sheet is open.
UINT CALLBACK PageCallback(HWND, UINT message, LPPROPSHEETPAGEW) {
  if (message == PSPCB_RELEASE) --com::ObjectCount();
  return 1;
}

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
      PROPSHEETPAGEW page{};
      page.dwSize = PROPSHEETPAGEW_V1_SIZE;
      page.dwFlags = PSP_USECALLBACK;
      page.hInstance = ModuleInstance();
      page.pszTemplate = MAKEINTRESOURCEW(IDD_SETTINGS_PAGE);
      page.pfnDlgProc = &SettingsPageProc;
      page.pfnCallback = &PageCallback;
      // The General page, then the Emptying page beside it.
      for (HPROPSHEETPAGE handle : {CreatePropertySheetPageW(&page), CreateEmptyingPage(&PageCallback)}) {
        if (!handle) continue;
        ++com::ObjectCount();  // given back by the page's release
        if (!addPage || !addPage(handle, lParam)) DestroyPropertySheetPage(handle);
      }
      return S_OK;
    });
  }

  IFACEMETHODIMP ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM) override { return E_NOTIMPL; }
};

}  // namespace

HRESULT CreateVaporizerProp(REFIID riid, void** ppv) { return TVaporizerProp::CreateInstance(riid, ppv); }

}  // namespace vz::win32
