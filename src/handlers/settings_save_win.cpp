#include "handlers/settings_save_win.h"

#include <commctrl.h>

#include <exception>

#include "platform/win32/modal.h"
#include "resources/resource.h"
#include "settings/policy.h"
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

void ShowPolicy(HWND sheet) {
  const Policy policy = ReadMachinePolicy();
  const std::pair<int, const char*> ruled[] = {{IDC_CONTEXT_MENU, "FileMenu"},
                                               {IDC_KEEP_RECEIPTS, "KeepReceipts"},
                                               {IDC_EMPTY_AFTER, "EmptyAfterDays"},
                                               {IDC_STORE_LIMIT, "StoreLimitMB"}};
  for (const auto& [id, name] : ruled) {
    HWND control = GetDlgItem(sheet, id);
    if (!control || !policy.Find(name)) continue;
    EnableWindow(control, FALSE);
    const bool edit = id == IDC_EMPTY_AFTER || id == IDC_STORE_LIMIT;
    if (edit) EnableWindow(GetDlgItem(sheet, id == IDC_EMPTY_AFTER ? IDC_EMPTY_AFTER_SPIN : IDC_STORE_LIMIT_SPIN), FALSE);
    // An edit box shows its value: the note goes on the label before it.
    HWND labelled = edit ? GetWindow(control, GW_HWNDPREV) : control;
    if (!labelled) continue;
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(labelled)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(labelled, &text[0], static_cast<int>(text.size()))));
    if (text.find(L"Set by your administrator") == std::wstring::npos)
      SetWindowTextW(labelled, (text + L" (Set by your administrator)").c_str());
  }
  if (const PolicyValue* floor = policy.Find("MinimumPasses")) {
    HWND bar = GetDlgItem(sheet, IDC_PASSES);
    if (!bar) return;
    if (floor->value >= kShredCount.offeredHigh) {
      SendMessageW(bar, TBM_SETPOS, TRUE, kShredCount.offeredHigh);
      EnableWindow(bar, FALSE);
    } else {
      SendMessageW(bar, TBM_SETRANGEMIN, TRUE, static_cast<LPARAM>(floor->value));
    }
  }
}

void KeepUsersOwnWherePolicyRules(VaporizerSettings& s, DestructionSettings& d) {
  const SettingsView view = PeekSettings();
  const SettingsView own = PeekSettings(false);
  if (!view.policy[2].empty()) s.insertContextMenu = own.values.insertContextMenu;
  // The slider left at the policy's lowest keeps a lower choice of the user's.
  if (view.minimumPasses && s.passCount == static_cast<std::int32_t>(view.minimumPasses) &&
      own.values.passCount < s.passCount)
    s.passCount = own.values.passCount;
  const DestructionView ruled = ReadDestructionSettings();
  const DestructionSettings stored = ReadDestructionSettings(false).values;
  if (!ruled.policy[0].empty()) d.verify = stored.verify;
  if (!ruled.policy[1].empty()) d.trimVolume = stored.trimVolume;
  if (!ruled.policy[2].empty()) d.keepReceipts = stored.keepReceipts;
}

void KeepUsersOwnWherePolicyRules(EmptyingSettings& e) {
  const EmptyingSettings ruled = LoadEmptyingSettings(), stored = LoadEmptyingSettings(false);
  if (!ruled.policy[0].empty()) e.afterDays = stored.afterDays;
  if (!ruled.policy[1].empty()) e.storeLimitMb = stored.storeLimitMb;
}

}  // namespace vz::win32
