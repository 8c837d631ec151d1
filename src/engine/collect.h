// The complete contents of a list of folders, breadth-first.
#pragma once

#include <string>
#include <vector>

namespace vz {

// Walks `folders` (each ending with a backslash) by index while it grows:
// every subfolder found is appended to it as F + name + "\", every other
// entry to `files` as F + name, so all folders of one level come before
// their subfolders. Hidden and system entries are included. A link (a
// junction or symbolic link, to a folder or not) is appended to `files`
// and never walked into: what it points at was not given. A folder that
// cannot be listed contributes nothing.
void CollectFolderContents(std::vector<std::string>& folders, std::vector<std::string>& files);

}  // namespace vz
