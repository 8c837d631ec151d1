// The system's single-byte code page, for the few places whose readers
// expect it (the classic item identifier, the 8-bit name map of a drag).
// Everything else speaks UTF-16 to Windows and the core's own text inside.
#pragma once

#include <optional>
#include <string>

namespace vz::win32 {

// The text in the ANSI code page, or nothing when a character has no exact
// form there: no best-fit look-alike and no default character stands in.
std::optional<std::string> ToAnsiExact(const std::wstring& wide);
// ANSI text as UTF-16.
std::wstring FromAnsi(const std::string& ansi);

}  // namespace vz::win32
