// Windows-only switches of the platform layer.
#pragma once

#include <string>

namespace vz::win32 {

// Whether moves and deletes may show the shell's own error boxes. Off by
// default (tests, the companion program); the shell extension turns it on.
void SetShellErrorUi(bool on);
bool ShellErrorUi();

// The body of UpdateIcon lives with the shell code; the platform layer calls
// whatever the module installed here.
using UpdateIconHook = void (*)();
void SetUpdateIconHook(UpdateIconHook hook);

// The volume's retrim (Optimize-Volume -ReTrim) for the volume of a path;
// empty when done, else why not.
std::string RetrimVolume(const std::string& path);

}  // namespace vz::win32
