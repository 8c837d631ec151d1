#include "window/drag_interface_win.h"

#include <cstring>
#include <optional>
#include <string>

#include "common/text.h"
#include "dragsource/formats_win.h"
#include "platform/win32/wide.h"
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

std::vector<std::u16string> Wide(const std::vector<std::string>& texts) {
  std::vector<std::u16string> out;
  for (const auto& t : texts) {
    std::wstring w = Widen(t);
    out.emplace_back(w.begin(), w.end());
  }
  return out;
}

// The 8-bit map for targets that read no other: each name in the ANSI code
// page exactly, or, where it has no exact form there, the stored item's own
// name, so that no look-alike stands in for it. Nothing when even that
// has none.
std::optional<std::string> AnsiNameMap(const std::vector<std::string>& names, const std::vector<std::string>& paths) {
  std::vector<std::string> ansi;
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::optional<std::string> name = NarrowAnsiExactly(Widen(names[i]));
    if (!name || name->empty()) name = NarrowAnsiExactly(Widen(FileNamePart(paths[i])));
    if (!name || name->empty()) return std::nullopt;
    ansi.push_back(*name);
  }
  return NameMapBlock(ansi);
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
  // The file list and the 16-bit map carry every name whole; the 8-bit map
  // is for targets that read nothing else.
  if (f.cfFormat == CF_HDROP) {
    std::string block = DropFilesBlock(Wide(DragPaths(items)));
    h = Block(block.data(), block.size());
  } else if (f.cfFormat == MapFormatW()) {
    std::u16string block = WideNameMapBlock(Wide(DragNames(items)));
    h = Block(block.data(), block.size() * sizeof(char16_t));
  } else if (auto block = AnsiNameMap(DragNames(items), DragPaths(items))) {
    h = Block(block->data(), block->size());
  }
  if (!h) return DV_E_FORMATETC;
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = h;
  medium.pUnkForRelease = nullptr;
  return S_OK;
}

void TDragInterface::GetFormatEtc(int index, FORMATETC& f) {
  const CLIPFORMAT formats[] = {CF_HDROP, MapFormatW(), MapFormat()};
  if (index < 0 || index >= FormatCount()) return;
  f.cfFormat = formats[index];
  f.ptd = nullptr;
  f.dwAspect = DVASPECT_CONTENT;
  f.lindex = -1;
  f.tymed = TYMED_HGLOBAL;
}

}  // namespace vz::win32
