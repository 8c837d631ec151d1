#include "handlers/settings_save_win.h"

#include <exception>

#include "platform/win32/modal.h"
#include "settings/registration_win.h"
#include "settings/sendto_win.h"

namespace vz::win32 {

std::string PassesLabelText(int passes) {
  return "The files will be overwritten for " + std::to_string(passes) + " time(s)";
}

MenuSwitches ShellMenuSwitches() {
  MenuSwitches s;
  s.setFileMenuRegistration = [](bool on) { SetFileMenuRegistration(on); };
  s.setSendToShortcut = [](bool on) { SetSendToShortcut(on); };
  return s;
}

bool SaveSettingsShowingErrors(const VaporizerSettings& settings, HWND owner) {
  try {
    return SaveSettings(settings, ShellMenuSwitches());
  } catch (const std::exception& e) {
    ModalMessageBox(owner, e.what(), "Vaporizer", MB_OK | MB_ICONERROR);
  } catch (...) {
    ModalMessageBox(owner, "The settings could not be saved.", "Vaporizer", MB_OK | MB_ICONERROR);
  }
  return false;
}

}  // namespace vz::win32
