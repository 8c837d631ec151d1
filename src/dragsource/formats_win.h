// The private clipboard formats of the module and the OLE set-up of the
// thread that loads it. The drop, send and drag code read the format ids
// from here; they are valid once the module has started.
#pragma once

#include <windows.h>

namespace vz::win32 {

struct ClipboardFormats {
  UINT fileName = 0;      // "FileName"
  UINT fileNameMapW = 0;  // "FileNameMapW": original names, 16-bit text
  UINT fileNameMap = 0;   // "FileNameMap": original names, 8-bit text
};
const ClipboardFormats& Formats();

// Module start: initialises OLE on the loading thread and registers the
// three formats. Module stop: gives back what the start took, on the same
// thread only (OLE's count belongs to the thread).
void StartDragSourceLibrary();
void StopDragSourceLibrary();

}  // namespace vz::win32
