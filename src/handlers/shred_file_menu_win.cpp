#include "handlers/shred_file_menu_win.h"

#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/report_text.h"
#include "platform/win32/com.h"
#include "platform/win32/modal.h"
#include "store/send.h"
#include "store/store.h"

namespace vz::win32 {
namespace {

// Gives the medium back however Initialize leaves.
class Medium {
 public:
  Medium() = default;
  ~Medium() {
    if (held_) ReleaseStgMedium(&m_);
  }
  Medium(const Medium&) = delete;
  Medium& operator=(const Medium&) = delete;
  STGMEDIUM* Put() { return &m_; }
  void Hold() { held_ = true; }
  HDROP Drop() const { return static_cast<HDROP>(m_.hGlobal); }

 private:
  STGMEDIUM m_{};
  bool held_ = false;
};

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
      Medium medium;
      hr = data->GetData(&format, medium.Put());
      if (FAILED(hr)) return hr;
      medium.Hold();

      selection_.clear();
      UINT count = DragQueryFileA(medium.Drop(), 0xFFFFFFFF, nullptr, 0);
      if (count == 0) return E_FAIL;
      for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileA(medium.Drop(), i, nullptr, 0);
        if (length <= 3) continue;  // a drive root such as C:\ is never sent
        // Sized from the answer, so that no path, however long, overruns it.
        std::string path(length + 1, '\0');
        UINT got = DragQueryFileA(medium.Drop(), i, &path[0], length + 1);
        path.resize(got < length ? got : length);
        selection_ += path;
        selection_ += '\0';
      }
      return selection_.empty() ? E_FAIL : S_OK;
    });
  }

  IFACEMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT first, UINT, UINT) override {
    InsertMenuA(menu, index, MF_BYPOSITION | MF_STRING, first, kSendToVaporizerText);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
  }

  IFACEMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override {
    if (!info) return E_INVALIDARG;
    if (!IS_INTRESOURCE(info->lpVerb)) return E_FAIL;
    if (LOWORD(reinterpret_cast<ULONG_PTR>(info->lpVerb)) != 0) return E_INVALIDARG;
    return com::Guard([&]() -> HRESULT {
      std::vector<std::string> paths;
      std::size_t start = 0;
      for (std::size_t end; (end = selection_.find('\0', start)) != std::string::npos; start = end + 1)
        paths.push_back(selection_.substr(start, end - start));
      if (paths.empty()) return S_OK;
      BoxOwnerScope owner(info->hwnd);
      if (!ConfirmSend(paths, nullptr)) return S_OK;
      // A drive attached since the folder last looked has no store yet.
      EnsureStores();
      TellProblems(SendToStore(paths, kSendRefreshIcon).report, "sent to the Vaporizer");
      return S_OK;
    });
  }

  IFACEMETHODIMP GetCommandString(UINT_PTR, UINT, UINT*, LPSTR, UINT) override { return E_NOTIMPL; }

 private:
  // Each selected path followed by a NUL.
  std::string selection_;
};

}  // namespace

HRESULT CreateShredFileMenu(REFIID riid, void** ppv) { return TShredFileMenu::CreateInstance(riid, ppv); }

}  // namespace vz::win32
