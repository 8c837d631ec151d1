// The module's private clipboard formats. Registered on first use, on the
// thread that needs them, never while the module loads.
#pragma once

#include <windows.h>

namespace vz::win32 {

struct ClipboardFormats {
  UINT fileName = 0;      // "FileName"
  UINT fileNameMapW = 0;  // "FileNameMapW": original names, 16-bit text
  UINT fileNameMap = 0;   // "FileNameMap": original names, 8-bit text
};
const ClipboardFormats& Formats();

}  // namespace vz::win32
