// Sending from the shell: a dropped data object, and the exported entry
// point for companion programs.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "store/send.h"

namespace vz::win32 {

// The file list (CF_HDROP) of a data object and, when it offers one, its
// name map ("FileNameMapW", converted to the system code page).
void ReadDropList(IDataObject* data, std::vector<std::string>& paths, std::vector<std::string>& map, bool& hasMap);

// Reads the drop and sends it, asking the confirm-send question.
SendResult SendDataObject(IDataObject* data, bool refreshIcon);

}  // namespace vz::win32
