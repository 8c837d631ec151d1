#include "handlers/settings_save_win.h"

#include <exception>

#include "platform/win32/modal.h"
#include "settings/registration_win.h"
#include "settings/sendto_win.h"

namespace vz::win32 {

std::string PassesLabelText(int passes) {
  return "The files will be overwritten for " + std::to_string(passes) + " time(s)";
}

MenuSwitches ShellMenuSwitches(HWND owner) {
  MenuSwitches s;
  s.setFileMenuRegistration = [owner](bool on) {
    try {
      SetFileMenuRegistration(on);
    } catch (const MachineWideKept& e) {
      // Off for this user all the same (the menu reads the setting); the
      // save goes on to the shortcut.
      ModalMessageBox(owner, e.what(), "Vaporizer", MB_OK | MB_ICONWARNING);
    }
  };
  s.setSendToShortcut = [](bool on) { SetSendToShortcut(on); };
  return s;
}

bool SaveSettingsShowingErrors(const VaporizerSettings& settings, HWND owner) {
  try {
    return SaveSettings(settings, ShellMenuSwitches(owner));
  } catch (const std::exception& e) {
    ModalMessageBox(owner, e.what(), "Vaporizer", MB_OK | MB_ICONERROR);
  } catch (...) {
    ModalMessageBox(owner, "The settings could not be saved.", "Vaporizer", MB_OK | MB_ICONERROR);
  }
  return false;
}

}  // namespace vz::win32
