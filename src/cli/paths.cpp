#include "cli/paths.h"

#include <cstdio>
#include <vector>

#include "common/drive_path.h"
#include "common/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include "platform/posix/volumes.h"
#endif

namespace vz::cli {

#ifdef _WIN32

std::optional<std::string> ToSystem(const std::string& arg, std::string* why) {
  if (arg.empty()) {
    *why = "an empty path";
    return std::nullopt;
  }
  // Relative to the current folder, as every command line takes it; the
  // intake then resolves the full path once more, by the same rules.
  DWORD n = GetFullPathNameA(arg.c_str(), 0, nullptr, nullptr);
  std::string full(n, '\0');
  if (n > 0) n = GetFullPathNameA(arg.c_str(), n, &full[0], nullptr);
  if (n == 0 || n >= full.size()) {
    *why = "not a valid path";
    return std::nullopt;
  }
  full.resize(n);
  if (!HasDrivePrefix(full)) {
    *why = "not a path on a drive letter (the Vaporizer keeps its stores on lettered drives)";
    return std::nullopt;
  }
  if (full.size() >= kMaxPath) {
    *why = "the path is too long (the Vaporizer records at most 259 characters)";
    return std::nullopt;
  }
  return full;
}

std::string HostForm(const std::string& systemPath) { return systemPath; }

#else

std::optional<std::string> ToSystem(const std::string& arg, std::string* why) {
  if (arg.empty()) {
    *why = "an empty path";
    return std::nullopt;
  }
  std::string abs = arg;
  if (abs[0] != '/') {
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) {
      *why = "the current directory cannot be read";
      return std::nullopt;
    }
    abs = std::string(cwd) + "/" + arg;
  }
  auto host = posix::ResolveHostPath(abs, why);
  if (!host) return std::nullopt;
  auto sys = posix::ToSystemPath(*host, why);
  if (!sys) return std::nullopt;
  if (sys->size() >= kMaxPath) {
    *why = "the path is too long (the Vaporizer records at most 259 characters)";
    return std::nullopt;
  }
  return sys;
}

std::string HostForm(const std::string& systemPath) {
  auto host = posix::ToHostPath(systemPath);
  return host ? *host : systemPath;
}

#endif

namespace {

// The length of the valid UTF-8 sequence at `i`; 0 when none starts there.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
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
  // Overlong forms, surrogates and values past U+10FFFF.
  if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 > 0x8F))
    return 0;
  return n + 1;
}

std::string Escaped(unsigned char c) {
  char buf[5];
  std::snprintf(buf, sizeof buf, "\\x%02X", c);
  return buf;
}

}  // namespace

bool IsUtf8(const std::string& text) {
  for (std::size_t i = 0, n; i < text.size(); i += n)
    if ((n = Utf8Length(text, i)) == 0) return false;
  return true;
}

std::string Printable(const std::string& text) {
  std::string out;
#ifdef _WIN32
  // Text in the system code page: only control characters are escaped.
  for (char c : text) out += IsControlChar(c) ? Escaped(static_cast<unsigned char>(c)) : std::string(1, c);
#else
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = Utf8Length(text, i);
    // C1 controls (U+0080 to U+009F) act on terminals like C0 ones.
    bool control = n == 1 ? IsControlChar(text[i])
                          : n == 2 && static_cast<unsigned char>(text[i]) == 0xC2 &&
                                static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (n == 0 || control) {
      out += Escaped(static_cast<unsigned char>(text[i]));
      ++i;
    } else {
      out.append(text, i, n);
      i += n;
    }
  }
#endif
  return out;
}

std::string Shown(const std::string& systemPath) { return Printable(HostForm(systemPath)); }

std::string PercentEncoded(const std::string& bytes) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                std::string("-._~/").find(ch) != std::string::npos;
    if (keep) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

}  // namespace vz::cli
