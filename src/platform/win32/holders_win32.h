// Which programs hold a file open, as the Restart Manager tells it.
#pragma once

#include <string>

namespace vz::win32 {

// Their names, "Notepad, Word"; empty where the Restart Manager cannot
// tell (no session, a system that does not say).
std::string ProgramsHolding(const std::string& path);
// The same as it is added to a report: " (Notepad)", or nothing.
std::string HoldersSaid(const std::string& path);

}  // namespace vz::win32
