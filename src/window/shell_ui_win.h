// The shell's user interface: the module's own dialogs and boxes for every
// question, the progress display and what an operation could not do.
#pragma once

#include "common/ui.h"

namespace vz::win32 {

UserInterface& ShellUserInterface();

}  // namespace vz::win32
