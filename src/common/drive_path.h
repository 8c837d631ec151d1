// Paths in the system's form on a lettered drive (C:\Work\a.txt): how they
// are recognised and taken apart. Text only; nothing here asks the system.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vz {

bool IsDriveLetter(char c);
// "X:\" at the start: a full path on a drive (its root included).
bool HasDrivePrefix(std::string_view path);
// "X:\" alone, or "X:".
bool IsDriveRoot(std::string_view path);
// The names after "X:\", split at each backslash; a trailing backslash
// gives no empty last name. Empty for anything without a drive prefix.
std::vector<std::string_view> PathNames(std::string_view path);
// A full path on a drive that names something below its root, with no
// empty, "." or ".." names: the only form an item is ever recorded or
// acted on in.
bool IsPlainFullPath(std::string_view path);
// A path that starts with "X:\" or "X:/" read as text alone, the way it was
// written: every "/" a backslash, empty and "." names gone, each ".."
// taking off the name before it (never the root). Names stay exactly as
// they are, dots and blanks at their ends included.
std::string AsWritten(std::string_view path);
// Bytes below the blank or DEL: characters no name shows as they are.
bool IsControlChar(char c);

}  // namespace vz
