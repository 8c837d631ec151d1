#include "dragsource/kx_drag_source_win.h"

#include "platform/win32/com.h"

namespace vz::win32 {

HRESULT TKxDragAppInterface::StartDrag(DWORD allowedEffects, DWORD* effect) {
  com::ComPtr<IDropSource> source;
  com::ComPtr<IDataObject> data;
  DragApp self = shared_from_this();
  HRESULT hr = CreateKxDropSource(self, source.Put());
  if (SUCCEEDED(hr)) hr = CreateKxDragDataObject(self, data.Put());
  if (FAILED(hr)) return hr;
  // OLE on the thread that drags, for the drag's length: the module does
  // not set it up for the thread that happens to load it.
  com::OleScope ole;
  DWORD done = DROPEFFECT_NONE;
  hr = DoDragDrop(data.Get(), source.Get(), allowedEffects, &done);
  if (effect) *effect = done;
  return hr;
}

HRESULT TKxDragAppInterface::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
  if (escapePressed) return DRAGDROP_S_CANCEL;
  if (keyState & MK_LBUTTON) return S_OK;
  return DRAGDROP_S_DROP;
}

HRESULT TKxDragAppInterface::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }
HRESULT TKxDragAppInterface::QueryGetData(const FORMATETC&) { return DV_E_FORMATETC; }
HRESULT TKxDragAppInterface::GetData(const FORMATETC&, STGMEDIUM&) { return DV_E_FORMATETC; }
int TKxDragAppInterface::FormatCount() { return 0; }
void TKxDragAppInterface::GetFormatEtc(int, FORMATETC&) {}

}  // namespace vz::win32
