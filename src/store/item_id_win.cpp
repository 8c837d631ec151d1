#include "store/item_id_win.h"

#include <cstring>

#include "platform/win32/wide.h"

namespace vz::win32 {
namespace {

std::optional<std::string> ToClassic(const std::string& text) { return NarrowAnsiExactly(Widen(text)); }
std::string FromClassic(const std::string& bytes) { return Narrow(WidenAnsi(bytes)); }

}  // namespace

const ClassicText& AnsiItemText() {
  static const ClassicText text{&ToClassic, &FromClassic};
  return text;
}

std::optional<ShredItemId> ReadItemId(PCUITEMID_CHILD id) { return DecodeItemIdList(id, AnsiItemText()); }

HRESULT NewItemId(const ShredItemId& item, IMalloc* allocator, PITEMID_CHILD* out) {
  if (!out || !allocator) return E_POINTER;
  *out = nullptr;
  std::vector<unsigned char> bytes = EncodeItemIdList(item, AnsiItemText());
  if (bytes.empty()) return S_FALSE;
  void* block = allocator->Alloc(bytes.size());
  if (!block) return E_OUTOFMEMORY;
  std::memcpy(block, bytes.data(), bytes.size());
  *out = static_cast<PITEMID_CHILD>(block);
  return S_OK;
}

}  // namespace vz::win32
