#include "dragsource/formats_win.h"

namespace vz::win32 {

const ClipboardFormats& Formats() {
  // Registering a name again gives the same id, so two threads that meet
  // here first both get the right ones.
  static const ClipboardFormats formats{RegisterClipboardFormatW(L"FileName"),
                                        RegisterClipboardFormatW(L"FileNameMapW"),
                                        RegisterClipboardFormatW(L"FileNameMap")};
  return formats;
}

}  // namespace vz::win32
