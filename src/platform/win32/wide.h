// Text between the system's single-byte code page and the 16-bit text of
// the wide Win32 functions.
#pragma once

#include <string>

namespace vz::win32 {

std::wstring Widen(const std::string& ansi);
std::string Narrow(const std::wstring& wide);

}  // namespace vz::win32
