// TKxDropSource: the IDropSource of a drag, forwarding to the application.
#include "dragsource/kx_drag_source_win.h"
#include "platform/win32/com.h"

namespace vz::win32 {
namespace {

class TKxDropSource : public com::Object<TKxDropSource, IDropSource> {
 public:
  explicit TKxDropSource(DragApp app) : app_(std::move(app)) {}
  static const QITAB* QiTable() {
    static const QITAB t[] = {QITABENT(TKxDropSource, IDropSource), {nullptr, 0}};
    return t;
  }
  IFACEMETHODIMP QueryContinueDrag(BOOL escapePressed, DWORD keyState) override {
    return com::Guard([&] { return app_ ? app_->QueryContinueDrag(escapePressed, keyState) : S_OK; });
  }
  IFACEMETHODIMP GiveFeedback(DWORD effect) override {
    return com::Guard([&] { return app_ ? app_->GiveFeedback(effect) : DRAGDROP_S_USEDEFAULTCURSORS; });
  }

 private:
  DragApp app_;
};

}  // namespace

HRESULT CreateKxDropSource(DragApp app, IDropSource** out) {
  return TKxDropSource::CreateInstance(IID_IDropSource, reinterpret_cast<void**>(out), std::move(app));
}

}  // namespace vz::win32
