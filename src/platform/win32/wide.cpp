#include "platform/win32/wide.h"

#include <windows.h>

#include "common/drive_path.h"

namespace vz::win32 {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

unsigned g_codePage = 0;  // 0: the system's

// The code point of the sequence at `i` and its length; 0 for a byte that
// starts no sequence. Surrogate code points are taken, since that is how
// a lone surrogate is carried; overlong forms and values past U+10FFFF
// are not.
std::size_t Decode(const std::string& s, std::size_t i, char32_t* cp) {
  auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = at(i);
  if (c < 0x80) {
    *cp = c;
    return 1;
  }
  std::size_t n;
  char32_t v, min;
  if (c >= 0xC2 && c <= 0xDF) n = 2, v = c & 0x1F, min = 0x80;
  else if (c >= 0xE0 && c <= 0xEF) n = 3, v = c & 0x0F, min = 0x800;
  else if (c >= 0xF0 && c <= 0xF4) n = 4, v = c & 0x07, min = 0x10000;
  else return 0;
  if (s.size() - i < n) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((at(i + k) & 0xC0) != 0x80) return 0;
    v = (v << 6) | (at(i + k) & 0x3F);
  }
  if (v < min || v > 0x10FFFF) return 0;
  *cp = v;
  return n;
}

void Encode(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsHigh(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

std::wstring Widen(const std::string& text) {
  std::wstring w;
  w.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    std::size_t n = Decode(text, i, &cp);
    if (n == 0) {
      w += kReplacement;
      ++i;
      continue;
    }
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      w += static_cast<wchar_t>(0xD800 + (cp >> 10));
      w += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
      w += static_cast<wchar_t>(cp);
    }
  }
  return w;
}

std::string Narrow(const std::wstring& wide) {
  std::string s;
  s.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t u = static_cast<char16_t>(wide[i]);
    if (IsHigh(u) && i + 1 < wide.size() && IsLow(static_cast<char16_t>(wide[i + 1]))) {
      u = 0x10000 + ((u - 0xD800) << 10) + (static_cast<char16_t>(wide[++i]) - 0xDC00);
    }
    Encode(u, s);
  }
  return s;
}

bool ExactlyWide(const std::string& text) { return Narrow(Widen(text)) == text; }

bool Win32RewritesName(const std::wstring& name) {
  if (name.empty()) return false;
  if (name.back() == L'.' || name.back() == L' ') return true;
  // A device's name is one with any extension, and blanks before the dot.
  std::wstring base = name.substr(0, name.find_first_of(L".:"));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (wchar_t& c : base)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
      base == L"CONOUT$")
    return true;
  // COM1 to COM9 and LPT1 to LPT9, with the superscript digits too.
  const std::wstring digits = L"0123456789\u00B9\u00B2\u00B3";
  return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
         digits.find(base[3]) != std::wstring::npos;
}

std::wstring SystemPath(const std::string& path) {
  // The system would read up to the NUL, a path other than the one given.
  if (path.find('\0') != std::string::npos) return {};
  std::wstring w = Widen(path);
  if (w.compare(0, 4, L"\\\\?\\") == 0 || w.compare(0, 4, L"\\\\.\\") == 0) return w;
  // A full path of plain names goes into the long form as it stands: the
  // form names every entry exactly as listed.
  if (IsPlainFullPath(path) && path.find('/') == std::string::npos) {
    bool rewritten = false;
    for (std::string_view name : PathNames(path)) rewritten = rewritten || Win32RewritesName(Widen(std::string(name)));
    return rewritten || w.size() >= 248 ? L"\\\\?\\" + w : w;
  }
  if (w.size() < 248) return w;
  // Anything else is resolved the way the system resolves a short path,
  // so that both forms name the same item.
  DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  if (n == 0) return w;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(w.c_str(), n, &full[0], nullptr);
  if (n == 0 || n >= full.size()) return w;
  full.resize(n);
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return w;
}

unsigned AnsiCodePage() { return g_codePage ? g_codePage : GetACP(); }

ScopedAnsiCodePage::ScopedAnsiCodePage(unsigned codePage) : previous_(g_codePage) { g_codePage = codePage; }
ScopedAnsiCodePage::~ScopedAnsiCodePage() { g_codePage = previous_; }

std::wstring WidenAnsi(const std::string& ansi) {
  if (ansi.empty()) return {};
  const UINT cp = AnsiCodePage();
  int n = MultiByteToWideChar(cp, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(cp, 0, ansi.data(), static_cast<int>(ansi.size()), &w[0], n);
  return w;
}

std::optional<std::string> NarrowAnsiExactly(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  // Where the code page is UTF-8 itself, every character but a lone
  // surrogate has its form, and the flags below are refused.
  const UINT cp = AnsiCodePage();
  if (cp == CP_UTF8) {
    std::string s = Narrow(wide);
    for (std::size_t i = 0; i + 1 < s.size(); ++i)
      if (static_cast<unsigned char>(s[i]) == 0xED && static_cast<unsigned char>(s[i + 1]) >= 0xA0) return std::nullopt;
    return s;
  }
  const int size = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return std::nullopt;
  std::string s(static_cast<std::size_t>(n), '\0');
  n = WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, wide.data(), size, &s[0], n, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return std::nullopt;
  s.resize(static_cast<std::size_t>(n));
  // What reads back as anything else has no form of its own either.
  if (WidenAnsi(s) != wide) return std::nullopt;
  return s;
}

std::string NarrowAnsi(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const UINT cp = AnsiCodePage();
  const DWORD flags = cp == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int n = WideCharToMultiByte(cp, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(cp, flags, wide.data(), size, &s[0], n, nullptr, nullptr);
  return s;
}

}  // namespace vz::win32
