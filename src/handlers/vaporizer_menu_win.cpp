#include "handlers/vaporizer_menu_win.h"

#include <shlobj.h>

#include "common/report_text.h"
#include "engine/batch.h"
#include "engine/batch_job_win.h"
#include "platform/win32/com.h"
#include "platform/win32/modal.h"
#include "platform/win32/wide.h"
#include "store/store.h"

namespace vz::win32 {
namespace {

class TVaporizerMenu : public com::Object<TVaporizerMenu, IContextMenu, IShellExtInit> {
 public:
  static const QITAB* QiTable() {
    static const QITAB table[] = {QITABENT(TVaporizerMenu, IContextMenu), QITABENT(TVaporizerMenu, IShellExtInit), {}};
    return table;
  }

  IFACEMETHODIMP Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) override {
    return data ? S_OK : E_INVALIDARG;
  }

  IFACEMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT first, UINT, UINT flags) override {
    return com::Guard([&]() -> HRESULT {
      // Offered only while something is stored, and never as the default
      // item that a double click asks for alone.
      if ((flags & CMF_DEFAULTONLY) || IsStoreEmpty()) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
      InsertMenuW(menu, index, MF_BYPOSITION | MF_SEPARATOR, first, nullptr);
      InsertMenuW(menu, index + 1, MF_BYPOSITION | MF_STRING, first + 1, Widen(kVaporizeAllText).c_str());
      return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 2);
    });
  }

  IFACEMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override {
    if (!info) return E_INVALIDARG;
    return com::Guard([&]() -> HRESULT {
      // A verb given as text is never this command, whatever its address's
      // low bits happen to be: vaporizing everything must take the number.
      // What is not ours fails, so that the shell does not take "delete" or
      // "properties" for done.
      if (!IS_INTRESOURCE(info->lpVerb)) return E_FAIL;
      if (LOWORD(reinterpret_cast<ULONG_PTR>(info->lpVerb)) != 1) return E_INVALIDARG;
      // Off the shell's thread (the desktop's, from the folder icon), which
      // goes on taking its messages while the passes run.
      StartJob(
          info->hwnd, [] { return ShredAllItems(nullptr); },
          [](const Report& report) { TellProblems(report, "vaporized"); });
      return S_OK;
    });
  }

  IFACEMETHODIMP GetCommandString(UINT_PTR, UINT, UINT*, LPSTR, UINT) override { return E_NOTIMPL; }
};

}  // namespace

HRESULT CreateVaporizerMenu(REFIID riid, void** ppv) { return TVaporizerMenu::CreateInstance(riid, ppv); }

}  // namespace vz::win32
