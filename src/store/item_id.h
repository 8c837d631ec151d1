// ShredItemId: the payload of the one-item shell identifier that names a
// stored item, byte for byte as every consumer reads it, and the validating
// reader used wherever an identifier is handed in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vz {

#pragma pack(push, 1)
struct ShredItemId {
  char originalPath[260];
  char storedPath[260];
  char displayName[260];
  char typeName[260];
  std::uint32_t size;       // low 32 bits of the stored item's size; all bits set for a folder
  std::int32_t iconIndex;   // in the system small-icon list
};

// The identifier list of exactly one item: length, payload, ending zero.
struct ShredItemIdList {
  std::uint16_t cb;  // 1050: its own two bytes and the payload
  ShredItemId item;
  std::uint16_t terminator;
};
#pragma pack(pop)

static_assert(offsetof(ShredItemId, originalPath) == 0);
static_assert(offsetof(ShredItemId, storedPath) == 260);
static_assert(offsetof(ShredItemId, displayName) == 520);
static_assert(offsetof(ShredItemId, typeName) == 780);
static_assert(offsetof(ShredItemId, size) == 1040);
static_assert(offsetof(ShredItemId, iconIndex) == 1044);
static_assert(sizeof(ShredItemId) == 1048);
static_assert(offsetof(ShredItemIdList, item) == 2);
static_assert(offsetof(ShredItemIdList, terminator) == 1050);
static_assert(sizeof(ShredItemIdList) == 1052);

constexpr std::uint16_t kShredItemIdCb = 1050;
constexpr std::uint32_t kFolderSize = 0xFFFFFFFFu;
constexpr std::size_t kTypeNameMax = 80;  // with its NUL

// Copies text into a field, NUL-ended, the rest zero; false (and the field
// left empty) when it does not fit.
bool SetField(char (&field)[260], const std::string& text, std::size_t limit = 260);
std::string GetField(const char (&field)[260]);

// Reads a payload out of untrusted bytes: exactly 1048 bytes, every text
// field NUL-ended within its width. Never reads past `size` bytes.
std::optional<ShredItemId> ReadShredItemId(const void* data, std::size_t size);
// Reads a whole one-item identifier list as the shell hands it over:
// a length of 1050, the payload, and the list's ending zero within `size`.
std::optional<ShredItemId> ReadShredItemIdList(const void* data, std::size_t size);
// Same, when only a pointer is known (shell calls): reads the length field
// first and never more than it announces plus the ending zero.
std::optional<ShredItemId> ReadShredItemIdList(const void* data);

ShredItemIdList MakeIdList(const ShredItemId& item);

}  // namespace vz
