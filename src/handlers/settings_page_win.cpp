#include "handlers/settings_page_win.h"

#include <commctrl.h>
#include <objbase.h>
#include <prsht.h>

#include "handlers/settings_save_win.h"
#include "platform/win32/shell_support_win.h"
#include "resources/resource.h"
#include "settings/settings.h"

namespace vz::win32 {
namespace {

int g_lastShownPasses = 0;

void SetLabel(HWND page, int passes) { SetText(GetDlgItem(page, IDC_PASSES_LABEL), PassesLabelText(passes)); }

bool Checked(HWND page, int id) { return SendDlgItemMessageW(page, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetCheck(HWND page, int id, bool on) {
  SendDlgItemMessageW(page, id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Changed(HWND page) { SendMessageW(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0); }

void Init(HWND page) {
  VaporizerSettings s = LoadSettings();
  SendDlgItemMessageW(page, IDC_PASSES, TBM_SETPOS, TRUE, s.passCount);
  SetCheck(page, IDC_SHOW_PROGRESS, s.showProgress);
  SetCheck(page, IDC_CONTEXT_MENU, s.insertContextMenu);
  SetCheck(page, IDC_SEND_TO, s.insertSendTo);
  SetCheck(page, IDC_KEEP_RECEIPTS, ReadDestructionSettings().values.keepReceipts);
  // The range comes after the position, so a stored number outside it ends
  // at the nearer end while the label still shows the stored number.
  SendDlgItemMessageW(page, IDC_PASSES, TBM_SETRANGE, TRUE, MAKELONG(kShredCount.offeredLow, kShredCount.offeredHigh));
  SetLabel(page, s.passCount);
  g_lastShownPasses = s.passCount;
  ShowPolicy(page);
}

void SliderMoved(HWND page) {
  int position = static_cast<int>(SendDlgItemMessageW(page, IDC_PASSES, TBM_GETPOS, 0, 0));
  if (position == g_lastShownPasses) return;
  SetLabel(page, position);
  g_lastShownPasses = position;
  Changed(page);
}

void Apply(HWND page) {
  HRESULT com = CoInitialize(nullptr);
  VaporizerSettings s;
  s.passCount = static_cast<int>(SendDlgItemMessageW(page, IDC_PASSES, TBM_GETPOS, 0, 0));
  s.showProgress = Checked(page, IDC_SHOW_PROGRESS);
  s.insertContextMenu = Checked(page, IDC_CONTEXT_MENU);
  s.insertSendTo = Checked(page, IDC_SEND_TO);
  DestructionSettings d = ReadDestructionSettings(false).values;
  d.keepReceipts = Checked(page, IDC_KEEP_RECEIPTS);
  KeepUsersOwnWherePolicyRules(s, d);
  SaveSettingsShowingErrors(s, page);
  SaveDestructionSettings(d);
  if (SUCCEEDED(com)) CoUninitialize();
}

}  // namespace

int LastShownPasses() { return g_lastShownPasses; }

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    switch (message) {
      case WM_INITDIALOG:
        Init(page);
        return FALSE;
      case WM_COMMAND:
        switch (LOWORD(wParam)) {
          case IDC_SHOW_PROGRESS:
          case IDC_CONTEXT_MENU:
          case IDC_SEND_TO:
          case IDC_KEEP_RECEIPTS:
            Changed(page);
        }
        return FALSE;
      case WM_HSCROLL:
        // Moves by keyboard or mouse arrive here even where the slider is
        // not redrawn (and so sends no notification).
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(page, IDC_PASSES)) SliderMoved(page);
        return FALSE;
      case WM_NOTIFY: {
        if (wParam == IDC_PASSES) {
          SliderMoved(page);
          return FALSE;
        }
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (!header) return FALSE;
        switch (header->code) {
          case PSN_APPLY:
            Apply(page);
            SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_NOERROR);
            return TRUE;
          case PSN_KILLACTIVE:
            SetWindowLongPtrW(page, DWLP_MSGRESULT, FALSE);
            return TRUE;
          default:
            return FALSE;
        }
      }
      default:
        return FALSE;
    }
  } catch (...) {
    // Nothing may unwind into the property sheet.
    return FALSE;
  }
}

}  // namespace vz::win32
