// Text at the door between the core and the wide Win32 functions. The
// core's text is UTF-8; Widen and Narrow are the only conversions between
// it and the system's UTF-16. Windows names may hold unpaired surrogates:
// those travel in the core as the three bytes UTF-8 would give the lone
// code point, so every name the system hands out comes back to it exactly.
// Bytes that form no such sequence become U+FFFD; ExactlyWide tells text
// that survives the trip from text that does not.
//
// The ANSI code page is spoken only where a contract demands it: index
// records written in it, the 8-bit buffer of the exported sending
// function, the 8-bit name map of a drag. Those use the *Ansi functions.
#pragma once

#include <optional>
#include <string>

namespace vz::win32 {

std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& wide);
// True when Narrow(Widen(text)) gives the same bytes back.
bool ExactlyWide(const std::string& text);

// True when Win32 reads a name, in a path in its plain form, as another:
// a dot or a blank at its end, which it drops, or a device's name (AUX,
// con.txt, COM1), which it takes for the device. Such names come from
// other systems' listings and archives. See "Naming Files, Paths, and
// Namespaces": https://learn.microsoft.com/windows/win32/fileio/naming-a-file
bool Win32RewritesName(const std::wstring& name);

// The form in which the wide functions take a full path: the path itself,
// or the \\?\ form, which the system passes on without reading it, where
// the plain form would fail or name another item: past 247 characters
// (where creating a folder fails without it), and where a name is one that
// Win32 rewrites. A full path of plain names goes into that form exactly as
// given; any other long one is first resolved as the system resolves a
// short one. Empty, which names nothing, for a path holding a NUL.
std::wstring SystemPath(const std::string& path);

// The ANSI code page that the functions below speak: the system's, or the
// one a ScopedAnsiCodePage put in. Windows lets no process change its own,
// so that is how what depends on it is tried under another.
unsigned AnsiCodePage();
class ScopedAnsiCodePage {
 public:
  explicit ScopedAnsiCodePage(unsigned codePage);
  ~ScopedAnsiCodePage();
  ScopedAnsiCodePage(const ScopedAnsiCodePage&) = delete;
  ScopedAnsiCodePage& operator=(const ScopedAnsiCodePage&) = delete;

 private:
  unsigned previous_;
};

// Bytes in the ANSI code page to UTF-16, as the system reads them.
std::wstring WidenAnsi(const std::string& ansi);
// UTF-16 in the ANSI code page, character for character: nullopt when a
// character has no form of its own there (no best-fit look-alike, no
// default character stands in for it).
std::optional<std::string> NarrowAnsiExactly(const std::wstring& wide);
// The ANSI form for contracts that take whatever the code page can show:
// characters without a form of their own become its default character.
std::string NarrowAnsi(const std::wstring& wide);

}  // namespace vz::win32
