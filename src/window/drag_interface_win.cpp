#include "window/drag_interface_win.h"

#include <cstring>
#include <string>

#include "dragsource/formats_win.h"
#include "window/drag_data.h"

namespace vz::win32 {
namespace {

// Fixed, shared, zero-filled: the receiver owns the block.
constexpr UINT kBlockFlags = GMEM_DDESHARE | GMEM_ZEROINIT;

CLIPFORMAT MapFormat() { return static_cast<CLIPFORMAT>(Formats().fileNameMap); }
CLIPFORMAT MapFormatW() { return static_cast<CLIPFORMAT>(Formats().fileNameMapW); }

HGLOBAL Block(const void* data, std::size_t size) {
  HGLOBAL h = GlobalAlloc(kBlockFlags, size);
  if (h) std::memcpy(reinterpret_cast<void*>(h), data, size);
  return h;
}

std::u16string Wide(const std::vector<std::string>& names) {
  std::u16string out;
  for (const auto& n : names) {
    int len = MultiByteToWideChar(CP_ACP, 0, n.data(), static_cast<int>(n.size()), nullptr, 0);
    std::u16string w(static_cast<std::size_t>(len > 0 ? len : 0), u'\0');
    if (len > 0)
      MultiByteToWideChar(CP_ACP, 0, n.data(), static_cast<int>(n.size()), reinterpret_cast<LPWSTR>(w.data()), len);
    out += w;
    out += u'\0';
  }
  out += u'\0';
  return out;
}

}  // namespace

TDragInterface::TDragInterface(HWND owner, std::function<std::vector<ShredItemId>()> selection,
                               std::function<void()> dropped)
    : TKxDragAppInterface(owner), selection_(std::move(selection)), dropped_(std::move(dropped)) {}

HRESULT TDragInterface::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
  HRESULT hr = TKxDragAppInterface::QueryContinueDrag(escapePressed, keyState);
  if (hr == DRAGDROP_S_DROP && dropped_) dropped_();
  return hr;
}

HRESULT TDragInterface::QueryGetData(const FORMATETC& f) {
  if (f.dwAspect != DVASPECT_CONTENT || f.tymed != TYMED_HGLOBAL) return DV_E_FORMATETC;
  if (f.cfFormat == CF_HDROP || f.cfFormat == MapFormat() || f.cfFormat == MapFormatW()) return S_OK;
  return DV_E_FORMATETC;
}

HRESULT TDragInterface::GetData(const FORMATETC& f, STGMEDIUM& medium) {
  if (QueryGetData(f) != S_OK) return DV_E_FORMATETC;
  std::vector<ShredItemId> items = selection_ ? selection_() : std::vector<ShredItemId>{};
  HGLOBAL h = nullptr;
  if (f.cfFormat == CF_HDROP) {
    std::string block = DropFilesBlock(DragPaths(items));
    h = Block(block.data(), block.size());
  } else if (f.cfFormat == MapFormatW()) {
    // Each format gets the text its name promises: 16-bit here, 8-bit below.
    std::u16string block = Wide(DragNames(items));
    h = Block(block.data(), block.size() * sizeof(char16_t));
  } else {
    std::string block = NameMapBlock(DragNames(items));
    h = Block(block.data(), block.size());
  }
  if (!h) return DV_E_FORMATETC;
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = h;
  medium.pUnkForRelease = nullptr;
  return S_OK;
}

void TDragInterface::GetFormatEtc(int index, FORMATETC& f) {
  if (index != 0 && index != 1) return;
  f.cfFormat = index == 0 ? CF_HDROP : MapFormat();
  f.ptd = nullptr;
  f.dwAspect = DVASPECT_CONTENT;
  f.lindex = -1;
  f.tymed = TYMED_HGLOBAL;
}

}  // namespace vz::win32
