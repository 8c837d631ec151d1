// The module's COM server over its class table: the class factory, the
// answer to whether the module may unload, registration and unregistration.
// The table and the exports that call these live in the module file.
#pragma once

#include <windows.h>

#include <cstddef>

#include "settings/registration_win.h"

namespace vz::win32 {

// The factory of the class with that id; CLASS_E_CLASSNOTAVAILABLE when the
// table has none. classes: in the order registration handles them.
HRESULT GetClassObject(const ServerClass* classes, std::size_t count, REFCLSID clsid, REFIID riid, void** ppv);

// S_FALSE while an object of the module lives (pages in a sheet count)
// or a factory is locked; else S_OK.
HRESULT CanUnloadNow();

// Every class in table order. Registration stops at the first failure with
// E_FAIL, what was written so far left as it is; unregistration goes on
// through every class and answers E_FAIL when something stayed. Either run
// leaves its notes (RegistrationNotes) and sends them to the event log.
HRESULT RegisterServer(const ServerClass* classes, std::size_t count);
HRESULT UnregisterServer(const ServerClass* classes, std::size_t count);

// Locks held through IClassFactory::LockServer.
long ServerLocks();

}  // namespace vz::win32
