// TFMConfDelete: the confirm-send dialog. A fixed-size dialog with the
// Vaporizer's picture, the question, "&Yes" (default) and "&No".
#include "store/send_ui_win.h"

#include <windows.h>

#include "platform/win32/modal.h"
#include "platform/win32/shell_support_win.h"

namespace vz::win32 {
namespace {

constexpr int kIcon = 100;
constexpr int kCaption = 101;  // LCaption
constexpr int kClientWidth = 443, kClientHeight = 131;

struct State {
  const std::string* title;
  const std::string* text;
  bool painted = false;
};

DialogTemplate BuildTemplate() {
  DialogTemplate t(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 290, 80);
  t.AddControl(SS_ICON, 5, 5, 21, 20, kIcon, DialogTemplate::kStatic, "");
  t.AddControl(SS_LEFT | SS_NOPREFIX, 36, 10, 240, 42, kCaption, DialogTemplate::kStatic, "");
  t.AddControl(BS_DEFPUSHBUTTON | WS_TABSTOP, 150, 60, 50, 16, IDYES, DialogTemplate::kButton, "&Yes");
  t.AddControl(BS_PUSHBUTTON | WS_TABSTOP, 205, 60, 50, 16, IDNO, DialogTemplate::kButton, "&No");
  return t;
}

// Lays the dialog out in pixels: a fixed client area centred on the screen.
void Layout(HWND dlg) {
  RECT r{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(dlg, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(dlg, GWL_EXSTYLE)));
  int w = r.right - r.left, h = r.bottom - r.top;
  SetWindowPos(dlg, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h,
               SWP_NOZORDER | SWP_NOACTIVATE);
  MoveWindow(GetDlgItem(dlg, kIcon), 16, 16, 32, 32, FALSE);
  MoveWindow(GetDlgItem(dlg, kCaption), 64, 18, 360, 63, FALSE);
  MoveWindow(GetDlgItem(dlg, IDYES), 268, 94, 75, 25, FALSE);
  MoveWindow(GetDlgItem(dlg, IDNO), 352, 94, 75, 25, FALSE);
}

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  auto* state = reinterpret_cast<State*>(GetWindowLongPtrW(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<State*>(lp);
      SetWindowLongPtrW(dlg, DWLP_USER, lp);
      // The question names what is sent: shown whole, whatever its script.
      SetText(dlg, *state->title);
      SetText(GetDlgItem(dlg, kCaption), *state->text);
      HICON icon = LoadIconW(ModuleInstance(), MAKEINTRESOURCEW(101));
      if (!icon) icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32515));  // IDI_WARNING
      SendDlgItemMessageW(dlg, kIcon, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
      Layout(dlg);
      // Opened from a shell process whose window is not in front, the title
      // bar would otherwise be drawn inactive.
      SendMessageW(dlg, WM_NCACTIVATE, TRUE, 0);
      SetFocus(GetDlgItem(dlg, IDYES));
      return FALSE;
    }
    case WM_PAINT:
      if (state && !state->painted) {
        state->painted = true;
        SendMessageW(dlg, WM_NCACTIVATE, TRUE, 0);
      }
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDYES: EndDialog(dlg, IDYES); return TRUE;
        case IDNO:
        case IDCANCEL: EndDialog(dlg, IDNO); return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      EndDialog(dlg, IDNO);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

bool AskConfirmSend(const std::string& title, const std::string& text) {
  static const DialogTemplate tmpl = BuildTemplate();
  State state{&title, &text};
  INT_PTR r = ModalDialog(ModuleInstance(), tmpl.Get(), BoxOwner(GetActiveWindow()), DialogProc,
                          reinterpret_cast<LPARAM>(&state));
  return r == IDYES;
}

}  // namespace vz::win32
