// TVaporizerFolder: the namespace folder behind the desktop's "Vaporizer".
#pragma once

#include <windows.h>

namespace vz::win32 {

HRESULT CreateVaporizerFolder(REFIID riid, void** ppv);

}  // namespace vz::win32
