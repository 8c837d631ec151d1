// ShredItemId: what the one-item shell identifier of a stored item carries
// (both paths, the display name, the type name, the size and the icon), and
// its two byte layouts, told apart by their size:
//
// - The classic layout, whose payload is exactly 1048 bytes (length field
//   1050, 1052 bytes with the list's ending zero): four text fields of 260
//   bytes in the system's single-byte code page, each ended by a NUL and
//   zero-filled (the type name at most 79 bytes), then the size and the
//   icon index, 32-bit little-endian; a reader needs a NUL within each
//   field. Every item whose texts have an exact single-byte form that fits
//   is written this way, so that readers of the classic layout keep
//   reading it.
// - The wide layout, for every other item (names outside the code page,
//   paths past 259 bytes). Its payload, after the 16-bit length field:
//     0  4 bytes  "VZW1"
//     4  4 bytes  size, unsigned, as in the classic layout
//     8  4 bytes  icon index, signed
//    12  4 x 2    byte lengths of the four texts (original path, stored
//                 path, display name, type name), without their NULs
//    20           the four texts in that order, UTF-8, each ended by a NUL
//                 and holding none before it
//   then zero bytes up to an even length field, and two more should that
//   length be the classic 1050. The text is UTF-8, the core's own text, so
//   the identifier reads the same on every platform without a conversion,
//   and a long path costs a byte per ASCII character.
// Readers take either and refuse anything else: every length must agree
// with the length field, every text end where it says, and nothing is read
// past the length field and the list's ending zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vz {

struct ShredItemId {
  std::string originalPath;  // line 1 of its record
  std::string storedPath;    // line 2
  std::string displayName;   // the file-name part of the original path
  std::string typeName;      // at most kTypeNameMax - 1 characters
  std::uint32_t size = 0;    // low 32 bits of the stored item's size; kFolderSize for a folder
  std::int32_t iconIndex = 0;  // in the system small-icon list
};

bool operator==(const ShredItemId& a, const ShredItemId& b);
inline bool operator!=(const ShredItemId& a, const ShredItemId& b) { return !(a == b); }

constexpr std::uint16_t kShredItemIdCb = 1050;   // classic length field
constexpr std::size_t kClassicIdListSize = 1052;  // with the ending zero
constexpr std::size_t kClassicFieldSize = 260;
constexpr std::uint32_t kFolderSize = 0xFFFFFFFFu;
constexpr std::size_t kTypeNameMax = 80;  // with its NUL

// The fields' text: kept for readers written against fixed fields.
inline const std::string& GetField(const std::string& field) { return field; }
// Sets a field; false (and the field left empty) when the text holds a NUL
// or, with its NUL, is longer than `limit` bytes.
bool SetField(std::string& field, const std::string& text, std::size_t limit = SIZE_MAX);

// How the classic layout's single-byte text relates to the core's text.
struct ClassicText {
  // The single-byte form of core text, or nothing when it has no exact one.
  std::optional<std::string> (*encode)(const std::string& text);
  std::string (*decode)(const std::string& bytes);
};
// The bytes are the text (the POSIX layer's text, and tests).
const ClassicText& BytesAsText();

// The whole one-item identifier list (length, payload, ending zero) in the
// classic layout when every text fits it, else in the wide layout. Empty
// when the item fits neither (a text with a NUL, or more than a 16-bit
// length can hold).
std::vector<unsigned char> EncodeItemIdList(const ShredItemId& item, const ClassicText& classic);

// Reads an identifier list of either layout out of untrusted bytes, never
// past `size` nor past what its length field announces and the ending zero.
std::optional<ShredItemId> DecodeItemIdList(const void* data, std::size_t size, const ClassicText& classic);
// Same, when only a pointer is known (shell calls): the length field is read
// first and bounds everything else.
std::optional<ShredItemId> DecodeItemIdList(const void* data, const ClassicText& classic);

// Cuts text to at most `characters` UTF-8 characters, never inside one.
std::string CutToCharacters(const std::string& text, std::size_t characters);

}  // namespace vz
