// The test program stands in for the module: resources and window classes
// come from its own image.
#include <windows.h>

namespace vz::win32 {
HINSTANCE ModuleInstance() { return GetModuleHandleA(nullptr); }
}  // namespace vz::win32
