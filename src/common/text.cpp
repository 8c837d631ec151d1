#include "common/text.h"

namespace vz {

std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char c = at(i);
  std::size_t n;  // bytes that follow the first
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) n = 1;
  else if (c >= 0xE0 && c <= 0xEF) n = 2;
  else if (c >= 0xF0 && c <= 0xF4) n = 3;
  else return 0;
  if (text.size() - i - 1 < n) return 0;
  for (std::size_t k = 1; k <= n; ++k)
    if ((at(i + k) & 0xC0) != 0x80) return 0;
  unsigned char c1 = at(i + 1);
  if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 > 0x8F))
    return 0;
  return n + 1;
}

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0, n; i < text.size(); i += n)
    if ((n = Utf8SequenceLength(text, i)) == 0) return false;
  return true;
}

namespace {

char32_t DecodeAt(std::string_view text, std::size_t i, std::size_t n) {
  static const unsigned char kLead[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t c = static_cast<unsigned char>(text[i]) & kLead[n];
  for (std::size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  return c;
}

int Columns(char32_t c) {
  struct Range {
    char32_t first, last;
  };
  static const Range kZero[] = {{0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A},
                                {0x064B, 0x065F}, {0x200B, 0x200F}, {0x20D0, 0x20FF}, {0xFE00, 0xFE0F},
                                {0xFE20, 0xFE2F}, {0x1F3FB, 0x1F3FF}, {0xE0100, 0xE01EF}};
  static const Range kWide[] = {{0x1100, 0x115F}, {0x2E80, 0x303E},   {0x3041, 0xA4CF},   {0xAC00, 0xD7A3},
                                {0xF900, 0xFAFF}, {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},
                                {0x1F300, 0x1F64F}, {0x1F680, 0x1F6FF}, {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD}};
  auto in = [c](const auto& ranges) {
    for (const Range& r : ranges)
      if (c >= r.first && c <= r.last) return true;
    return false;
  };
  return in(kZero) ? 0 : in(kWide) ? 2 : 1;
}

}  // namespace

std::size_t DisplayWidth(std::string_view text) {
  std::size_t columns = 0;
  for (std::size_t i = 0, n; i < text.size(); i += n ? n : 1)
    columns += (n = Utf8SequenceLength(text, i)) ? Columns(DecodeAt(text, i, n)) : 1;
  return columns;
}

std::size_t SystemLength(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size(); ++units) {
    // A lone surrogate, as the platform carries it, is one unit of three bytes.
    std::size_t n = Utf8SequenceLength(text, i);
    if (n == 0 && static_cast<unsigned char>(text[i]) == 0xED && text.size() - i >= 3) n = 3;
    if (n == 4) ++units;
    i += n ? n : 1;
  }
  return units;
}

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

char ToUpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string ToUpper(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = ToUpperChar(c);
  return r;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ToUpperChar(a[i]) != ToUpperChar(b[i])) return false;
  return true;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

std::string FileNamePart(std::string_view path) {
  std::size_t p = path.find_last_of("\\:");
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string FolderPart(std::string_view path) {
  std::size_t p = path.find_last_of('\\');
  return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string ExtensionOf(std::string_view path) {
  std::string name = FileNamePart(path);
  std::size_t p = name.find_last_of('.');
  return p == std::string::npos ? std::string() : name.substr(p);
}

std::string WithTrailingBackslash(std::string_view path) {
  std::string r(path);
  if (r.empty() || r.back() != '\\') r += '\\';
  return r;
}

std::string WithoutTrailingBackslash(std::string_view path) {
  std::string r(path);
  if (!r.empty() && r.back() == '\\') r.pop_back();
  return r;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0, i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string ToDecimal(std::int64_t n) { return std::to_string(n); }

}  // namespace vz
