#include "cli/paths.h"

#include <cstdio>
#include <vector>

#include "common/drive_path.h"
#include "common/text.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/wide.h"
#else
#include <unistd.h>

#include "platform/posix/volumes.h"
#endif

namespace vz::cli {

#ifdef _WIN32

namespace {

// The full path of a folder that Win32 keeps for the process: the current
// one, or the current one of a drive ("X:").
std::wstring FullPathOf(const std::wstring& what) {
  DWORD n = GetFullPathNameW(what.c_str(), 0, nullptr, nullptr);
  std::wstring full(n, L'\0');
  if (n > 0) n = GetFullPathNameW(what.c_str(), n, &full[0], nullptr);
  if (n == 0 || n >= full.size()) return {};
  full.resize(n);
  return full;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

std::optional<std::string> ToSystem(const std::string& arg, std::string* why) {
  if (arg.empty()) {
    *why = "an empty path";
    return std::nullopt;
  }
  // Relative to the current folder, as every command line takes it, but
  // read as text: the names stay as typed, and the intake refuses one that
  // Win32 would read as another (GetFullPathName drops a dot or a blank at
  // a name's end).
  std::wstring w = win32::Widen(arg), full;
  const bool drive = w.size() >= 2 && w[1] == L':' && w[0] < 0x80 && IsDriveLetter(static_cast<char>(w[0]));
  if (drive && w.size() >= 3 && IsSeparator(w[2])) {
    full = w;
  } else if (drive) {
    full = FullPathOf(w.substr(0, 2));
    if (!full.empty()) full += (IsSeparator(full.back()) ? L"" : L"\\") + w.substr(2);
  } else if (IsSeparator(w[0]) && !(w.size() > 1 && IsSeparator(w[1]))) {
    full = FullPathOf(L".").substr(0, 2) + w;
  } else if (!IsSeparator(w[0])) {
    full = FullPathOf(L".");
    if (!full.empty()) full += (IsSeparator(full.back()) ? L"" : L"\\") + w;
  }
  std::string sys = win32::Narrow(full);
  if (sys.size() < 3 || !IsDriveLetter(sys[0]) || sys[1] != ':' || !IsSeparator(sys[2])) {
    *why = "not a path on a drive letter (the Vaporizer keeps its stores on lettered drives)";
    return std::nullopt;
  }
  return AsWritten(sys);
}

std::string HostForm(const std::string& systemPath) { return systemPath; }

struct ResolvingMany::Scope {};
ResolvingMany::ResolvingMany() = default;
ResolvingMany::~ResolvingMany() = default;

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
  return sys;
}

std::string HostForm(const std::string& systemPath) {
  auto host = posix::ToHostPath(systemPath);
  return host ? *host : systemPath;
}

struct ResolvingMany::Scope {
  posix::ResolveOnce once;
};
ResolvingMany::ResolvingMany() : scope_(std::make_unique<Scope>()) {}
ResolvingMany::~ResolvingMany() = default;

#endif

namespace {

std::string Escaped(unsigned char c) {
  char buf[5];
  std::snprintf(buf, sizeof buf, "\\x%02X", c);
  return buf;
}

}  // namespace

std::string Printable(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = Utf8SequenceLength(text, i);
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
