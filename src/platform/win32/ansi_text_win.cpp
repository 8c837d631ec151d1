#include "platform/win32/ansi_text_win.h"

#include <windows.h>

namespace vz::win32 {

std::optional<std::string> ToAnsiExact(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int units = static_cast<int>(wide.size());
  // A system whose ANSI code page is UTF-8 takes neither flag; the check
  // below still catches what does not come back.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* used = utf8 ? nullptr : &usedDefault;
  int n = WideCharToMultiByte(CP_ACP, flags, wide.data(), units, nullptr, 0, nullptr, used);
  if (n <= 0 || usedDefault) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(n), '\0');
  if (WideCharToMultiByte(CP_ACP, flags, wide.data(), units, &ansi[0], n, nullptr, used) != n || usedDefault)
    return std::nullopt;
  // Some code pages map a character one way only; the text counts as
  // representable only when it comes back the same.
  if (FromAnsi(ansi) != wide) return std::nullopt;
  return ansi;
}

std::wstring FromAnsi(const std::string& ansi) {
  if (ansi.empty()) return {};
  const int bytes = static_cast<int>(ansi.size());
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, &wide[0], n);
  return wide;
}

}  // namespace vz::win32
