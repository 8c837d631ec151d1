// Work off a window thread, as the shell wants it of an extension.
#pragma once

#include <windows.h>

#include <functional>

#include "platform/win32/handle.h"

namespace vz::win32 {

// Runs `work` on a new thread with COM (an apartment) initialized. The
// thread holds a reference on the image this code is in, which it gives
// back as it ends (FreeLibraryAndExitThread), so the module stays loaded
// while it runs; one on the host process where the host offers one
// (SHGetInstanceExplorer), and one on the calling thread where that thread
// offers one (SHGetThreadRef: an Explorer window's thread then keeps its
// message loop although its window was closed). `holdCaller`, when given,
// runs on the new thread after `work` and before the calling thread's
// reference goes: it waits for what the calling thread still has to do.
// `ended`, when given, receives the thread's handle, which is signaled once
// the thread is gone: a caller that must not return while code of this
// module still runs (an export whose caller may unload it or exit next)
// waits for it.
// False when no thread could be started; nothing ran then.
bool StartShellThread(std::function<void()> work, std::function<void()> holdCaller = nullptr,
                      Handle* ended = nullptr);

}  // namespace vz::win32
