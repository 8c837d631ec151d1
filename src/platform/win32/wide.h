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

// The form in which the wide functions take a full path: the path itself,
// or past 247 characters (where creating a folder fails without it) the
// \\?\ form of the path as the system would resolve it, which lifts the
// limit of 259 characters. Empty, which names nothing, for a path holding
// a NUL.
std::wstring SystemPath(const std::string& path);

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
