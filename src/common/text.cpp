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
