// Sending from the shell: a dropped data object, and the exported entry
// point for companion programs.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "store/send.h"

namespace vz::win32 {

// The paths of a file list, each read whole in 16-bit text; one that
// cannot be read is left out, or kept as an empty entry when asked.
std::vector<std::string> ReadFileList(HDROP drop, bool keepUnreadable);

// The file list (CF_HDROP) of a data object and, when it offers one, its
// name map ("FileNameMapW"), both in the core's text.
void ReadDropList(IDataObject* data, std::vector<std::string>& paths, std::vector<std::string>& map, bool& hasMap);

// Reads the drop and sends it, asking the confirm-send question.
SendResult SendDataObject(IDataObject* data, bool refreshIcon);

}  // namespace vz::win32
