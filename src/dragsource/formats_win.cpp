#include "dragsource/formats_win.h"

#include <ole2.h>

namespace vz::win32 {
namespace {
ClipboardFormats g_formats;
DWORD g_oleThread = 0;  // the thread whose OLE count the start raised; 0 for none
}  // namespace

const ClipboardFormats& Formats() {
  // A caller that runs before the module's start (a test linking the code
  // directly) still gets valid ids: registering a name twice gives the same id.
  if (!g_formats.fileName) {
    g_formats.fileName = RegisterClipboardFormatA("FileName");
    g_formats.fileNameMapW = RegisterClipboardFormatA("FileNameMapW");
    g_formats.fileNameMap = RegisterClipboardFormatA("FileNameMap");
  }
  return g_formats;
}

void StartDragSourceLibrary() {
  HRESULT hr = OleInitialize(nullptr);
  // S_FALSE: already initialised on this thread, but the count still went up.
  if (SUCCEEDED(hr)) g_oleThread = GetCurrentThreadId();
  Formats();
}

void StopDragSourceLibrary() {
  if (g_oleThread && g_oleThread == GetCurrentThreadId()) OleUninitialize();
  g_oleThread = 0;
}

}  // namespace vz::win32
