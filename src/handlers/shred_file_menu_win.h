// TShredFileMenu: "Send to Vaporizer" on the context menu of files and folders.
#pragma once

#include <windows.h>

namespace vz::win32 {

constexpr const char* kSendToVaporizerText = "Send to Vaporizer";

HRESULT CreateShredFileMenu(REFIID riid, void** ppv);

}  // namespace vz::win32
