// Keeps the desktop's Vaporizer icon in step with what the program changes.
#pragma once

namespace vz::cli {

// On Windows, when the shell extension is registered, routes the core's
// icon refresh to the extension's exported UpdateIcon; elsewhere nothing.
void ConnectDesktop();

}  // namespace vz::cli
