#include "handlers/shred_file_menu_win.h"

#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/report_text.h"
#include "engine/batch_job_win.h"
#include "platform/win32/com.h"
#include "platform/win32/modal.h"
#include "platform/win32/shell_support_win.h"
#include "platform/win32/wide.h"
#include "settings/settings.h"
#include "store/send.h"
#include "store/send_win.h"
#include "store/store.h"

namespace vz::win32 {
namespace {

class TShredFileMenu : public com::Object<TShredFileMenu, IContextMenu, IShellExtInit> {
 public:
  static const QITAB* QiTable() {
    static const QITAB table[] = {QITABENT(TShredFileMenu, IContextMenu), QITABENT(TShredFileMenu, IShellExtInit), {}};
    return table;
  }

  IFACEMETHODIMP Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) override {
    if (!data) return E_INVALIDARG;
    return com::Guard([&]() -> HRESULT {
      FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
      HRESULT hr = data->QueryGetData(&format);
      if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
      StgMedium medium;
      hr = medium.GetFrom(data, format);
      if (FAILED(hr)) return hr;

      selection_.clear();
      // Each path whole, in 16-bit text; a drive root such as C:\ is never sent.
      for (std::string& path : ReadFileList(static_cast<HDROP>(medium.Global()), false))
        if (path.size() > 3) selection_.push_back(std::move(path));
      return selection_.empty() ? E_FAIL : S_OK;
    });
  }

  IFACEMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT first, UINT, UINT flags) override {
    return com::Guard([&]() -> HRESULT {
      // A double click asks for the default item only, which is never ours;
      // and a user who turned the item off does not get it, whoever may
      // change the handler keys of the machine.
      if ((flags & CMF_DEFAULTONLY) || !LoadSettings().insertContextMenu) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
      InsertMenuW(menu, index, MF_BYPOSITION | MF_STRING, first, Widen(kSendToVaporizerText).c_str());
      return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
    });
  }

  IFACEMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override {
    if (!info) return E_INVALIDARG;
    if (!IS_INTRESOURCE(info->lpVerb)) return E_FAIL;
    if (LOWORD(reinterpret_cast<ULONG_PTR>(info->lpVerb)) != 0) return E_INVALIDARG;
    return com::Guard([&]() -> HRESULT {
      if (selection_.empty()) return S_OK;
      {
        BoxOwnerScope owner(info->hwnd);
        if (!ConfirmSend(selection_, nullptr)) return S_OK;
      }
      // Off the shell's thread: items on a drive without a store are
      // vaporized at once, which can take long.
      StartJob(
          info->hwnd,
          [paths = selection_] {
            // A drive attached since the folder last looked has no store yet.
            EnsureStores();
            return SendToStore(paths, kSendRefreshIcon | kSendListed).report;
          },
          [](const Report& report) { TellProblems(report, "sent to the Vaporizer"); });
      return S_OK;
    });
  }

  IFACEMETHODIMP GetCommandString(UINT_PTR, UINT, UINT*, LPSTR, UINT) override { return E_NOTIMPL; }

 private:
  // The selected paths, in the core's text.
  std::vector<std::string> selection_;
};

}  // namespace

HRESULT CreateShredFileMenu(REFIID riid, void** ppv) { return TShredFileMenu::CreateInstance(riid, ppv); }

}  // namespace vz::win32
