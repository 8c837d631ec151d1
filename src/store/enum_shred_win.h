// TEnumShred: the folder's IEnumIDList over the stored items.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

namespace vz::win32 {

// Creates a new enumerator (a fresh snapshot of the stores) and hands out
// its IEnumIDList; fails when the shell allocator cannot be had.
HRESULT CreateShredEnumerator(IEnumIDList** out);

}  // namespace vz::win32
