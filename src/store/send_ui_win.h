// The Windows face of sending: the confirm-send dialog TFMConfDelete.
#pragma once

#include <string>

namespace vz::win32 {

bool AskConfirmSend(const std::string& title, const std::string& text);

}  // namespace vz::win32
