// TVaporizerMenu: "Vaporize all" on the folder icon's context menu.
#pragma once

#include <windows.h>

namespace vz::win32 {

constexpr const char* kVaporizeAllText = "Vaporize all";

HRESULT CreateVaporizerMenu(REFIID riid, void** ppv);

}  // namespace vz::win32
