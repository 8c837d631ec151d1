#include "namespace/drop_target_win.h"

#include "common/report_text.h"
#include "engine/batch_job_win.h"
#include "platform/platform.h"
#include "platform/win32/com.h"
#include "platform/win32/modal.h"
#include "store/send_win.h"
#include "store/store.h"

namespace vz::win32 {

void QueryDropFormat(IDataObject* data, bool& accepted, HRESULT& result, DWORD& effect, POINTL) {
  com::ComPtr<IDataObject> held(data);
  FORMATETC files = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  // S_FALSE counts as an offer: only a failure refuses.
  accepted = held && SUCCEEDED(held->QueryGetData(&files));
  effect = accepted ? DROPEFFECT_MOVE : DROPEFFECT_NONE;
  result = S_OK;
}

void DropOverEffect(bool accepted, HRESULT& result, DWORD& effect, POINTL) {
  effect = accepted ? DROPEFFECT_MOVE : DROPEFFECT_NONE;
  result = S_OK;
}

namespace {

class TDropShred : public com::Object<TDropShred, IDropTarget> {
 public:
  TDropShred(IUnknown* folder, HWND window) : folder_(folder), window_(window) {}

  static const QITAB* QiTable() {
    static const QITAB table[] = {QITABENT(TDropShred, IDropTarget), {nullptr, 0}};
    return table;
  }

  IFACEMETHODIMP DragEnter(IDataObject* data, DWORD, POINTL pt, DWORD* effect) override {
    return com::Guard([&]() -> HRESULT {
      HRESULT result = S_OK;
      DWORD shown = DROPEFFECT_NONE;
      QueryDropFormat(data, accepted_, result, shown, pt);
      if (effect) *effect = shown;
      return result;
    });
  }

  IFACEMETHODIMP DragOver(DWORD, POINTL pt, DWORD* effect) override {
    return com::Guard([&]() -> HRESULT {
      HRESULT result = S_OK;
      DWORD shown = DROPEFFECT_NONE;
      DropOverEffect(accepted_, result, shown, pt);
      if (effect) *effect = shown;
      return result;
    });
  }

  // The last DragEnter's answer stays for a DragOver without a new enter.
  IFACEMETHODIMP DragLeave() override { return S_OK; }

  IFACEMETHODIMP Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    if (effect) *effect = DROPEFFECT_NONE;
    return com::Guard([&]() -> HRESULT {
      // The drop is read here, on the thread the data object belongs to;
      // the send runs off it. Its boxes belong to the window the shell
      // gave, never to whichever window happens to be active.
      std::vector<std::string> paths, map;
      bool hasMap = false;
      ReadDropList(data, paths, map, hasMap);
      // A map that does not name every dropped item cannot be paired with them.
      if (hasMap && map.size() != paths.size()) hasMap = false;
      if (paths.empty()) {
        Plat().UpdateIcon();
        return E_FAIL;
      }
      HWND owner = window_ && IsWindow(window_) ? window_ : nullptr;
      StartJob(
          owner,
          [paths, map, hasMap] {
            // A drive attached since the folder last looked has no store yet.
            EnsureStores();
            return SendToStore(paths, kSendAskFirst | kSendRefreshIcon | kSendListed, hasMap ? &map : nullptr).report;
          },
          [](const Report& report) { TellProblems(report, "sent to the Vaporizer"); });
      // The items are moved by the send itself (or stay where they are
      // after a No): the source must not delete anything after a reported
      // move, so no effect is reported back in either case.
      return S_OK;
    });
  }

 private:
  bool accepted_ = false;
  com::ComPtr<IUnknown> folder_;  // keeps the folder alive while a drop may come
  HWND window_;
};

}  // namespace

HRESULT CreateDropShred(IUnknown* folder, REFIID riid, void** ppv, HWND window) {
  return TDropShred::CreateInstance(riid, ppv, folder, window);
}

}  // namespace vz::win32
