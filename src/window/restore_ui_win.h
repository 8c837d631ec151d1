// The Windows faces of a restore: the Recycle Bin warning and the
// confirm-replace dialog TFMConfirm.
#pragma once

#include <string>

#include "common/ui.h"

namespace vz::win32 {

bool AskRecycleBinWarning(const std::string& title, const std::string& text);
bool AskConfirmReplace(const ReplaceQuestion& q);

}  // namespace vz::win32
