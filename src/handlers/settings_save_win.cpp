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

namespace {

// "Set by your administrator" on the row of the screen's title, where every
// screen has room, in the font of the controls it is about.
void ShowPolicyNote(HWND sheet, HWND about) {
  HWND title = GetDlgItem(sheet, IDC_SETTINGS_TITLE);
  if (!title || GetDlgItem(sheet, IDC_POLICY_NOTE)) return;
  RECT t{}, client{};
  GetWindowRect(title, &t);
  MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&t), 2);
  GetClientRect(sheet, &client);
  // A page may be wider than the tab that shows it: the note ends where the
  // screen's group box does.
  for (int group : {IDC_SETTINGS_GROUP, IDC_EMPTYING_GROUP}) {
    RECT g{};
    if (HWND box = GetDlgItem(sheet, group); box && GetWindowRect(box, &g)) {
      MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&g), 2);
      client.right = g.right + 8;
    }
  }
  const int left = t.right + 8, height = t.bottom - t.top < 16 ? 16 : t.bottom - t.top;
  HWND note = CreateWindowExW(0, L"STATIC", L"Set by your administrator", WS_CHILD | WS_VISIBLE | SS_RIGHT, left, t.top,
                              client.right - 8 - left, height, sheet,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_POLICY_NOTE)), nullptr, nullptr);
  if (note) SendMessageW(note, WM_SETFONT, SendMessageW(about, WM_GETFONT, 0, 0), TRUE);
}

}  // namespace

void ShowPolicy(HWND sheet) {
  const Policy policy = ReadMachinePolicy();
  const std::pair<int, const char*> ruled[] = {{IDC_CONTEXT_MENU, "FileMenu"},
                                               {IDC_KEEP_RECEIPTS, "KeepReceipts"},
                                               {IDC_EMPTY_AFTER, "EmptyAfterDays"},
                                               {IDC_STORE_LIMIT, "StoreLimitMB"}};
  HWND about = nullptr;
  for (const auto& [id, name] : ruled) {
    HWND control = GetDlgItem(sheet, id);
    if (!control || !policy.Find(name)) continue;
    EnableWindow(control, FALSE);
    if (id == IDC_EMPTY_AFTER || id == IDC_STORE_LIMIT)
      EnableWindow(GetDlgItem(sheet, id == IDC_EMPTY_AFTER ? IDC_EMPTY_AFTER_SPIN : IDC_STORE_LIMIT_SPIN), FALSE);
    if (!about) about = control;
  }
  if (const PolicyValue* floor = policy.Find("MinimumPasses")) {
    if (HWND bar = GetDlgItem(sheet, IDC_PASSES)) {
      if (floor->value >= kShredCount.offeredHigh) {
        SendMessageW(bar, TBM_SETPOS, TRUE, kShredCount.offeredHigh);
        EnableWindow(bar, FALSE);
      } else {
        SendMessageW(bar, TBM_SETRANGEMIN, TRUE, static_cast<LPARAM>(floor->value));
      }
      if (!about) about = GetDlgItem(sheet, IDC_PASSES_LABEL);
    }
  }
  if (about) ShowPolicyNote(sheet, about);
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
