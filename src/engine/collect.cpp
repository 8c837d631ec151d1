#include "engine/collect.h"

#include "platform/platform.h"

namespace vz {

void CollectFolderContents(std::vector<std::string>& folders, std::vector<std::string>& files) {
  std::vector<DirEntry> entries;
  // By index: the list grows while it is walked.
  for (std::size_t i = 0; i < folders.size(); ++i) {
    const std::string folder = folders[i];
    entries.clear();
    if (!Plat().ListDirectory(folder, entries)) continue;
    for (const DirEntry& e : entries) {
      if (e.name == "." || e.name == "..") continue;
      bool walk = (e.attributes & kAttrDirectory) && !(e.attributes & kAttrReparsePoint);
      if (walk)
        folders.push_back(folder + e.name + "\\");
      else
        files.push_back(folder + e.name);
    }
  }
}

}  // namespace vz
