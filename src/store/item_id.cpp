#include "store/item_id.h"

#include <cstring>

namespace vz {
namespace {

constexpr char kWideTag[4] = {'V', 'Z', 'W', '1'};
constexpr std::size_t kWideHeader = 2 + 20;  // length field and the fixed part of the payload
constexpr std::size_t kTextCount = 4;

std::uint16_t Get16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Get32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Put16(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
void Put32(unsigned char* p, std::uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

// UTF-8 as the core writes it on Windows: well-formed sequences, where a
// lone surrogate of a file name may stand encoded on its own (three bytes
// ED A0..BF xx) so that such a name survives; no overlong forms, nothing
// past U+10FFFF.
bool IsCoreUtf8(const unsigned char* s, std::size_t n) {
  for (std::size_t i = 0; i < n;) {
    unsigned char c = s[i];
    std::size_t extra = 0;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      if (c == 0xE0) low = 0xA0;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (n - i <= extra) return false;
    if (s[i + 1] < low || s[i + 1] > high) return false;
    for (std::size_t k = 2; k <= extra; ++k)
      if ((s[i + k] & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

std::size_t PaddedLength(std::size_t natural) {
  std::size_t cb = natural + (natural % 2);
  return cb == kShredItemIdCb ? cb + 2 : cb;
}

const std::string* TextsOf(const ShredItemId& item, std::size_t i) {
  switch (i) {
    case 0: return &item.originalPath;
    case 1: return &item.storedPath;
    case 2: return &item.displayName;
    default: return &item.typeName;
  }
}
std::string* TextsOf(ShredItemId& item, std::size_t i) {
  return const_cast<std::string*>(TextsOf(static_cast<const ShredItemId&>(item), i));
}

std::vector<unsigned char> EncodeClassic(const ShredItemId& item, const ClassicText& classic) {
  std::vector<unsigned char> list(kClassicIdListSize, 0);
  Put16(list.data(), kShredItemIdCb);
  for (std::size_t i = 0; i < kTextCount; ++i) {
    const std::string& text = *TextsOf(item, i);
    std::optional<std::string> bytes = classic.encode ? classic.encode(text) : std::nullopt;
    std::size_t limit = i == 3 ? kTypeNameMax : kClassicFieldSize;
    if (!bytes || bytes->size() + 1 > limit || bytes->find('\0') != std::string::npos) return {};
    std::memcpy(list.data() + 2 + i * kClassicFieldSize, bytes->data(), bytes->size());
  }
  Put32(list.data() + 2 + 1040, item.size);
  Put32(list.data() + 2 + 1044, static_cast<std::uint32_t>(item.iconIndex));
  return list;
}

std::vector<unsigned char> EncodeWide(const ShredItemId& item) {
  std::size_t natural = kWideHeader;
  for (std::size_t i = 0; i < kTextCount; ++i) {
    const std::string& text = *TextsOf(item, i);
    if (text.size() > 0xFFFF || text.find('\0') != std::string::npos ||
        !IsCoreUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size()))
      return {};
    natural += text.size() + 1;
  }
  std::size_t cb = PaddedLength(natural);
  if (cb > 0xFFFF) return {};
  std::vector<unsigned char> list(cb + 2, 0);
  unsigned char* p = list.data();
  Put16(p, static_cast<std::uint32_t>(cb));
  std::memcpy(p + 2, kWideTag, sizeof kWideTag);
  Put32(p + 6, item.size);
  Put32(p + 10, static_cast<std::uint32_t>(item.iconIndex));
  std::size_t at = kWideHeader;
  for (std::size_t i = 0; i < kTextCount; ++i) {
    const std::string& text = *TextsOf(item, i);
    Put16(p + 14 + 2 * i, static_cast<std::uint32_t>(text.size()));
    std::memcpy(p + at, text.data(), text.size());
    at += text.size() + 1;
  }
  return list;
}

std::optional<ShredItemId> DecodeClassic(const unsigned char* list, const ClassicText& classic) {
  ShredItemId item;
  for (std::size_t i = 0; i < kTextCount; ++i) {
    const auto* field = reinterpret_cast<const char*>(list + 2 + i * kClassicFieldSize);
    const void* end = std::memchr(field, '\0', kClassicFieldSize);
    if (!end) return std::nullopt;
    std::string bytes(field, static_cast<const char*>(end) - field);
    *TextsOf(item, i) = classic.decode ? classic.decode(bytes) : bytes;
  }
  item.size = Get32(list + 2 + 1040);
  item.iconIndex = static_cast<std::int32_t>(Get32(list + 2 + 1044));
  return item;
}

// `list` holds cb + 2 readable bytes.
std::optional<ShredItemId> DecodeWide(const unsigned char* list, std::size_t cb) {
  if (cb < kWideHeader + kTextCount || std::memcmp(list + 2, kWideTag, sizeof kWideTag) != 0) return std::nullopt;
  std::size_t natural = kWideHeader;
  for (std::size_t i = 0; i < kTextCount; ++i) natural += Get16(list + 14 + 2 * i) + 1u;
  if (PaddedLength(natural) != cb) return std::nullopt;
  ShredItemId item;
  item.size = Get32(list + 6);
  item.iconIndex = static_cast<std::int32_t>(Get32(list + 10));
  std::size_t at = kWideHeader;
  for (std::size_t i = 0; i < kTextCount; ++i) {
    std::size_t length = Get16(list + 14 + 2 * i);
    const unsigned char* text = list + at;
    if (text[length] != 0 || std::memchr(text, 0, length) || !IsCoreUtf8(text, length)) return std::nullopt;
    TextsOf(item, i)->assign(reinterpret_cast<const char*>(text), length);
    at += length + 1;
  }
  for (; at < cb; ++at)
    if (list[at] != 0) return std::nullopt;
  return item;
}

std::optional<std::string> SameBytes(const std::string& text) { return text; }
std::string SameText(const std::string& bytes) { return bytes; }

}  // namespace

bool operator==(const ShredItemId& a, const ShredItemId& b) {
  return a.originalPath == b.originalPath && a.storedPath == b.storedPath && a.displayName == b.displayName &&
         a.typeName == b.typeName && a.size == b.size && a.iconIndex == b.iconIndex;
}

bool SetField(std::string& field, const std::string& text, std::size_t limit) {
  field.clear();
  if (text.size() >= limit || text.find('\0') != std::string::npos) return false;
  field = text;
  return true;
}

const ClassicText& BytesAsText() {
  static const ClassicText text{&SameBytes, &SameText};
  return text;
}

std::vector<unsigned char> EncodeItemIdList(const ShredItemId& item, const ClassicText& classic) {
  std::vector<unsigned char> list = EncodeClassic(item, classic);
  return list.empty() ? EncodeWide(item) : list;
}

std::optional<ShredItemId> DecodeItemIdList(const void* data, std::size_t size, const ClassicText& classic) {
  if (!data || size < 2) return std::nullopt;
  const auto* list = static_cast<const unsigned char*>(data);
  std::size_t cb = Get16(list);
  // The length field bounds the read; the list's ending zero follows it.
  if (cb < 2 || size < cb + 2 || Get16(list + cb) != 0) return std::nullopt;
  if (cb == kShredItemIdCb) return DecodeClassic(list, classic);
  return DecodeWide(list, cb);
}

std::optional<ShredItemId> DecodeItemIdList(const void* data, const ClassicText& classic) {
  if (!data) return std::nullopt;
  std::size_t cb = Get16(static_cast<const unsigned char*>(data));
  return DecodeItemIdList(data, cb + 2, classic);
}

std::string CutToCharacters(const std::string& text, std::size_t characters) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // inside a character
    if (seen++ == characters) return text.substr(0, i);
  }
  return text;
}

}  // namespace vz
