// TFMConfDelete: the confirm-send dialog. A fixed-size dialog with the
// Vaporizer's picture, the question, "&Yes" (default) and "&No".
#include "store/send_ui_win.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/dpi.h"
#include "platform/win32/modal.h"
#include "platform/win32/shell_support_win.h"

namespace vz::win32 {
namespace {

constexpr int kIcon = 100;
constexpr int kCaption = 101;  // LCaption
// The form at 96 DPI: client area and the question's box, which grows to
// hold a long path wrapped.
constexpr int kClientWidth = 443, kClientHeight = 131;
constexpr int kCaptionLeft = 64, kCaptionTop = 18, kCaptionWidth = 360, kCaptionHeight = 63;

struct State {
  const std::string* title;
  const std::string* text;
  bool painted = false;
  Font font;
};

DialogTemplate BuildTemplate() {
  DialogTemplate t(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 290, 80);
  t.AddControl(SS_ICON, 5, 5, 21, 20, kIcon, DialogTemplate::kStatic, "");
  // A path longer than a line is broken where it must, as an edit control
  // breaks it: shown whole, never cut.
  t.AddControl(SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, 36, 10, 240, 42, kCaption, DialogTemplate::kStatic, "");
  t.AddControl(BS_DEFPUSHBUTTON | WS_TABSTOP, 150, 60, 50, 16, IDYES, DialogTemplate::kButton, "&Yes");
  t.AddControl(BS_PUSHBUTTON | WS_TABSTOP, 205, 60, 50, 16, IDNO, DialogTemplate::kButton, "&No");
  return t;
}

// Lays the dialog out in pixels for the DPI it is shown at, in the shell's
// message font, centred on its owner's monitor.
void Layout(HWND dlg, State& state) {
  const UINT dpi = WindowDpi(dlg);
  auto px = [dpi](int v) { return Scaled(v, dpi); };
  state.font = MessageFont(dpi);
  for (int id : {kCaption, IDYES, IDNO})
    SendDlgItemMessageW(dlg, id, WM_SETFONT, reinterpret_cast<WPARAM>(state.font.Get()), FALSE);
  RECT work = WorkAreaOf(GetWindow(dlg, GW_OWNER) ? GetWindow(dlg, GW_OWNER) : dlg);
  int textHeight = TextExtent(dlg, state.font.Get(), *state.text, px(kCaptionWidth)).cy;
  int captionHeight = std::min(std::max(px(kCaptionHeight), textHeight), static_cast<int>(work.bottom - work.top) / 2);
  int buttonTop = std::max(px(94), px(kCaptionTop) + captionHeight + px(13));
  RECT r{0, 0, px(kClientWidth), std::max(px(kClientHeight), buttonTop + px(25 + 12))};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(dlg, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(dlg, GWL_EXSTYLE)));
  CentreOnMonitorOf(dlg, GetWindow(dlg, GW_OWNER), r.right - r.left, r.bottom - r.top);
  MoveWindow(GetDlgItem(dlg, kIcon), px(16), px(16), px(32), px(32), FALSE);
  MoveWindow(GetDlgItem(dlg, kCaption), px(kCaptionLeft), px(kCaptionTop), px(kCaptionWidth), captionHeight, FALSE);
  MoveWindow(GetDlgItem(dlg, IDYES), px(268), buttonTop, px(75), px(25), FALSE);
  MoveWindow(GetDlgItem(dlg, IDNO), px(352), buttonTop, px(75), px(25), FALSE);
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
      const int size = Scaled(32, WindowDpi(dlg));
      auto icon = static_cast<HICON>(LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(101), IMAGE_ICON, size, size, LR_SHARED));
      if (!icon) icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32515));  // IDI_WARNING
      SendDlgItemMessageW(dlg, kIcon, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
      Layout(dlg, *state);
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
