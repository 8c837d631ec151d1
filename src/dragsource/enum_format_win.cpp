// TKxDragEnumFormatEtc: the formats a drag offers, asked anew from the
// application at every step.
#include "dragsource/kx_drag_source_win.h"
#include "platform/win32/com.h"

namespace vz::win32 {
namespace {

class TKxDragEnumFormatEtc : public com::Object<TKxDragEnumFormatEtc, IEnumFORMATETC> {
 public:
  TKxDragEnumFormatEtc(DragApp app, int position) : app_(std::move(app)), position_(position) {}
  static const QITAB* QiTable() {
    static const QITAB t[] = {QITABENT(TKxDragEnumFormatEtc, IEnumFORMATETC), {nullptr, 0}};
    return t;
  }

  IFACEMETHODIMP Next(ULONG celt, FORMATETC* rgelt, ULONG* fetched) override {
    return com::Guard([&]() -> HRESULT {
      if (!app_) return S_FALSE;
      ULONG i = 0;
      for (; i < celt; ++i) {
        if (position_ >= app_->FormatCount()) break;
        if (!rgelt) return E_POINTER;
        app_->GetFormatEtc(position_, rgelt[i]);
        ++position_;
      }
      if (fetched) *fetched = i;
      return i == celt ? S_OK : S_FALSE;
    });
  }
  IFACEMETHODIMP Skip(ULONG celt) override {
    return com::Guard([&]() -> HRESULT {
      if (!app_) return S_FALSE;
      long long target = static_cast<long long>(position_) + celt;
      int count = app_->FormatCount();
      if (target <= count) {
        position_ = static_cast<int>(target);
        return S_OK;
      }
      position_ = count;
      return S_FALSE;
    });
  }
  IFACEMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  IFACEMETHODIMP Clone(IEnumFORMATETC** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return CreateKxDragEnumFormatEtc(app_, position_, out);
  }

 private:
  DragApp app_;
  int position_;
};

}  // namespace

HRESULT CreateKxDragEnumFormatEtc(DragApp app, int position, IEnumFORMATETC** out) {
  return TKxDragEnumFormatEtc::CreateInstance(IID_IEnumFORMATETC, reinterpret_cast<void**>(out), std::move(app),
                                              position);
}

}  // namespace vz::win32
