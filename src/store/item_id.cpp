#include "store/item_id.h"

#include <cstring>

namespace vz {

bool SetField(char (&field)[260], const std::string& text, std::size_t limit) {
  std::memset(field, 0, sizeof field);
  if (limit > sizeof field) limit = sizeof field;
  if (text.size() + 1 > limit || text.find('\0') != std::string::npos) return false;
  std::memcpy(field, text.data(), text.size());
  return true;
}

std::string GetField(const char (&field)[260]) {
  const void* end = std::memchr(field, '\0', sizeof field);
  return std::string(field, end ? static_cast<const char*>(end) - field : sizeof field);
}

std::optional<ShredItemId> ReadShredItemId(const void* data, std::size_t size) {
  if (!data || size != sizeof(ShredItemId)) return std::nullopt;
  ShredItemId item;
  std::memcpy(&item, data, sizeof item);
  for (const char* f : {item.originalPath, item.storedPath, item.displayName, item.typeName})
    if (!std::memchr(f, '\0', 260)) return std::nullopt;
  return item;
}

std::optional<ShredItemId> ReadShredItemIdList(const void* data, std::size_t size) {
  if (!data || size < sizeof(ShredItemIdList)) return std::nullopt;
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::uint16_t cb = static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
  std::uint16_t end = static_cast<std::uint16_t>(bytes[1050] | (bytes[1051] << 8));
  if (cb != kShredItemIdCb || end != 0) return std::nullopt;
  return ReadShredItemId(bytes + 2, sizeof(ShredItemId));
}

std::optional<ShredItemId> ReadShredItemIdList(const void* data) {
  if (!data) return std::nullopt;
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::uint16_t cb = static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
  // Anything of another length is not ours; its bytes are not read further.
  if (cb != kShredItemIdCb) return std::nullopt;
  return ReadShredItemIdList(data, sizeof(ShredItemIdList));
}

ShredItemIdList MakeIdList(const ShredItemId& item) {
  ShredItemIdList list;
  list.cb = kShredItemIdCb;
  list.item = item;
  list.terminator = 0;
  return list;
}

}  // namespace vz
