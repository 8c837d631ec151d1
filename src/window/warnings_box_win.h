// The box that ends a batch started from the shell when there is something
// to tell: what could not be done, then the medium's warnings, one line per
// drive, each with a "Don't tell me again for this drive" check box.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vz::win32 {

// Shows the box; for each warning, whether its box was ticked when the user
// closed it.
std::vector<bool> ShowWarningsBox(HWND owner, const std::string& problems, const std::vector<std::string>& warnings);

}  // namespace vz::win32
