// TVaporizerProp: adds the settings page to the folder icon's Properties.
#pragma once

#include <windows.h>

namespace vz::win32 {

HRESULT CreateVaporizerProp(REFIID riid, void** ppv);

}  // namespace vz::win32
