// TKxDragDataObject: the IDataObject of a drag, forwarding to the application.
#include "dragsource/kx_drag_source_win.h"
#include "platform/win32/com.h"

namespace vz::win32 {
namespace {

class TKxDragDataObject : public com::Object<TKxDragDataObject, IDataObject> {
 public:
  explicit TKxDragDataObject(DragApp app) : app_(std::move(app)) {}
  static const QITAB* QiTable() {
    static const QITAB t[] = {QITABENT(TKxDragDataObject, IDataObject), {nullptr, 0}};
    return t;
  }

  IFACEMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
    return com::Guard([&]() -> HRESULT {
      if (!format || !medium) return E_INVALIDARG;
      medium->tymed = TYMED_NULL;
      medium->hGlobal = nullptr;
      medium->pUnkForRelease = nullptr;
      return app_ ? app_->GetData(*format, *medium) : DV_E_FORMATETC;
    });
  }
  IFACEMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
  IFACEMETHODIMP QueryGetData(FORMATETC* format) override {
    return com::Guard([&]() -> HRESULT {
      if (!format) return E_INVALIDARG;
      return app_ ? app_->QueryGetData(*format) : DV_E_FORMATETC;
    });
  }
  IFACEMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
  }
  IFACEMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return DV_E_FORMATETC; }
  IFACEMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    return CreateKxDragEnumFormatEtc(app_, 0, out);
  }
  IFACEMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  IFACEMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  IFACEMETHODIMP EnumDAdvise(IEnumSTATDATA** out) override {
    if (out) *out = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
  }

 private:
  DragApp app_;
};

}  // namespace

HRESULT CreateKxDragDataObject(DragApp app, IDataObject** out) {
  return TKxDragDataObject::CreateInstance(IID_IDataObject, reinterpret_cast<void**>(out), std::move(app));
}

}  // namespace vz::win32
