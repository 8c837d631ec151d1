// Windows-only switches of the platform layer.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace vz::win32 {

// The body of UpdateIcon lives with the shell code; the platform layer calls
// whatever the module installed here.
using UpdateIconHook = void (*)();
void SetUpdateIconHook(UpdateIconHook hook);

// The handle walk (handles_win32.cpp): the folder at a full path, opened
// from its drive's root one name at a time through no reparse point.
std::unique_ptr<Folder> OpenFolderByHandles(const std::string& path, std::string* why);
// The system handle of a file that walk opened; null for any other file.
void* HandleOfFile(File* f);

// The volume's retrim (Optimize-Volume -ReTrim) for the volume of a path;
// empty when done, else why not.
std::string RetrimVolume(const std::string& path);

}  // namespace vz::win32
