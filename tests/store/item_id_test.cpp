#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "store/item_id.h"

namespace vz::test {
namespace {

// A single-byte code page that holds ASCII alone, as a Western ANSI code
// page holds no Cyrillic: what it cannot hold takes the wide layout.
std::optional<std::string> AsciiOnly(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0x80) return std::nullopt;
  return text;
}
std::string Same(const std::string& bytes) { return bytes; }
const ClassicText kAscii{&AsciiOnly, &Same};

ShredItemId Item(const std::string& original, const std::string& type = "Text Document") {
  ShredItemId id;
  id.originalPath = original;
  id.storedPath = "D:\\VAPORIZE\\D1.txt";
  id.displayName = original.substr(original.rfind('\\') + 1);
  id.typeName = type;
  id.size = 0xFFFFFFFFu;
  id.iconIndex = -3;
  return id;
}

std::size_t LengthField(const std::vector<unsigned char>& list) { return list[0] | (list[1] << 8); }

TEST(ItemIdTest, EachItemTakesTheLayoutItFitsAndReadsBackExactly) {
  const struct {
    std::string original, type;
    std::size_t listSize;  // 0: the wide layout, of any size
  } cases[] = {
      {"D:\\Work\\report.doc", "Text Document", 1052},
      {"D:\\" + std::string(255, 'a'), "Text Document", 1052},  // 258 bytes: still classic
      {"D:\\" + std::string(297, 'a'), "Text Document", 0},     // 300 characters
      {"D:\\Work\\a.txt", std::string(80, 't'), 0},             // the classic type field holds 79
      {"D:\\Работа\\отчёт.txt", "Text Document", 0},
      {"D:\\Ελληνικά\\αρχείο", "Text Document", 0},
      {"D:\\日本語\\ファイル.txt", "テキスト ドキュメント", 0},
      {"D:\\Work\\smile \xF0\x9F\x98\x80.txt", "Text Document", 0},  // a surrogate pair in UTF-16
      {"D:\\Work\\lone \xED\xA0\x80.txt", "Text Document", 0},       // a lone surrogate, kept
      // 1050 bytes without padding: two more keep it apart from the classic size.
      {"D:\\" + std::string(499, 'b') + "\xC3\xA9", "F", 1054},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.original.substr(0, 40));
    ShredItemId item = Item(c.original, c.type);
    std::vector<unsigned char> list = EncodeItemIdList(item, kAscii);
    ASSERT_FALSE(list.empty());
    if (c.listSize) EXPECT_EQ(list.size(), c.listSize);
    else EXPECT_NE(list.size(), 1052u);
    EXPECT_EQ(list.size(), LengthField(list) + 2);
    EXPECT_EQ(list.size() % 2, 0u);
    auto read = DecodeItemIdList(list.data(), list.size(), kAscii);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, item);
    EXPECT_EQ(DecodeItemIdList(list.data(), kAscii), read) << "by pointer, bounded by the length field";
    EXPECT_FALSE(DecodeItemIdList(list.data(), list.size() - 1, kAscii)) << "one byte short";
  }
}

TEST(ItemIdTest, MalformedIdentifiersOfBothLayoutsAreRefused) {
  const std::vector<unsigned char> classic = EncodeItemIdList(Item("D:\\a.txt"), kAscii);
  // 22 bytes before the texts, "D:\é.txt" at 22, its NUL at 31, ... the
  // type's NUL at 72, one byte of padding, the ending zero at 74.
  const std::vector<unsigned char> wide = EncodeItemIdList(Item("D:\\\xC3\xA9.txt", "Text Documents"), kAscii);
  ASSERT_EQ(classic.size(), 1052u);
  ASSERT_EQ(LengthField(wide), 74u);
  using Change = std::function<void(std::vector<unsigned char>&)>;
  const struct {
    const char* what;
    const std::vector<unsigned char>* base;
    Change change;
  } cases[] = {
      {"classic: another length field", &classic, [](auto& b) { b[0] = 0xE8; b[1] = 0x03; }},
      {"classic: no ending zero", &classic, [](auto& b) { b[1050] = 5; }},
      {"classic: a field without its NUL", &classic, [](auto& b) { std::fill(b.begin() + 782, b.begin() + 1042, 'x'); }},
      {"wide: another tag", &wide, [](auto& b) { b[5] = '2'; }},
      {"wide: a length one too long", &wide, [](auto& b) { ++b[14]; }},
      {"wide: a length one too short", &wide, [](auto& b) { --b[16]; }},
      {"wide: a text without its NUL", &wide, [](auto& b) { b[22 + 9] = 'x'; }},
      {"wide: a NUL inside a text", &wide, [](auto& b) { b[22 + 2] = 0; }},
      {"wide: padding that is not zero", &wide, [](auto& b) { b[73] = 1; }},
      {"wide: an odd length field", &wide, [](auto& b) { b[0] = 73; }},
      {"wide: no ending zero", &wide, [](auto& b) { b[74] = 7; }},
      {"wide: a length field past the data", &wide, [](auto& b) { b[0] = 200; }},
      {"wide: an overlong form", &wide, [](auto& b) { b[25] = 0xC0; b[26] = 0x80; }},
      {"wide: a stray continuation byte", &wide, [](auto& b) { b[22] = 0x80; }},
      {"wide: a sequence cut short", &wide, [](auto& b) { b[26] = 'x'; }},
      {"wide: past U+10FFFF", &wide, [](auto& b) { b[22] = 0xF5; }},
      {"empty list", &wide, [](auto& b) { b[0] = 0; b[1] = 0; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<unsigned char> bytes = *c.base;
    c.change(bytes);
    EXPECT_FALSE(DecodeItemIdList(bytes.data(), bytes.size(), kAscii).has_value());
  }
  EXPECT_FALSE(DecodeItemIdList(nullptr, kAscii).has_value());
  EXPECT_FALSE(DecodeItemIdList(wide.data(), 1, kAscii).has_value());
}

TEST(ItemIdTest, ItemsThatNoLayoutCarriesAreNotWritten) {
  ShredItemId withNul = Item(std::string("D:\\a\0b.txt", 10));
  ShredItemId notUtf8 = Item("D:\\\xFF" + std::string(300, 'a'));
  ShredItemId tooLong = Item("D:\\" + std::string(0x10000, 'a'));
  for (const ShredItemId* item : {&withNul, &notUtf8, &tooLong})
    EXPECT_TRUE(EncodeItemIdList(*item, kAscii).empty());
  // Bytes that are no UTF-8 still fit the classic layout of a code page that holds them.
  EXPECT_EQ(EncodeItemIdList(Item("D:\\\xFF.txt"), BytesAsText()).size(), 1052u);
}

TEST(ItemIdTest, TextIsCutBetweenCharacters) {
  EXPECT_EQ(CutToCharacters("日本語", 2), "日本");
  EXPECT_EQ(CutToCharacters("a\xF0\x9F\x98\x80" "b", 2), "a\xF0\x9F\x98\x80");
  EXPECT_EQ(CutToCharacters("abc", 5), "abc");
  EXPECT_EQ(CutToCharacters("abc", 0), "");
}

}  // namespace
}  // namespace vz::test
