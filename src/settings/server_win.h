// The module's COM server: its class table and the class factory.
#pragma once

#include <windows.h>

#include <cstddef>

#include "settings/registration_win.h"

namespace vz::win32 {

// The classes in the order registration and unregistration handle them:
// folder, property pages, file menu, folder menu.
const ServerClass* ServerClasses();
std::size_t ServerClassCount();

// Hands out the factory of one class.
HRESULT CreateClassFactory(const ServerClass& c, REFIID riid, void** ppv);

// Locks held through IClassFactory::LockServer.
long ServerLocks();

}  // namespace vz::win32
