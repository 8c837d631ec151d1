// TFMConfDelete: the confirm-send dialog. A fixed-size dialog with the
// Vaporizer's picture, the question, "&Yes" (default) and "&No".
#include "store/send_ui_win.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/win32/modal.h"

namespace vz::win32 {
HINSTANCE ModuleInstance();

namespace {

constexpr int kIcon = 100;
constexpr int kCaption = 101;  // LCaption
constexpr int kClientWidth = 443, kClientHeight = 131;

struct State {
  const std::string* title;
  const std::string* text;
  bool painted = false;
};

// Appends a 16-bit string to a dialog template.
void PutText(std::vector<WORD>& t, const char* s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
  std::vector<wchar_t> w(static_cast<std::size_t>(n));
  MultiByteToWideChar(CP_ACP, 0, s, -1, w.data(), n);
  for (wchar_t c : w) t.push_back(static_cast<WORD>(c));
}

void Align(std::vector<WORD>& t) {
  if (t.size() % 2) t.push_back(0);
}

void PutItem(std::vector<WORD>& t, DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls,
             const char* text) {
  Align(t);
  DLGITEMTEMPLATE item{style | WS_CHILD | WS_VISIBLE, 0, x, y, cx, cy, id};
  const WORD* p = reinterpret_cast<const WORD*>(&item);
  t.insert(t.end(), p, p + sizeof item / sizeof(WORD));
  t.push_back(0xFFFF);
  t.push_back(cls);
  PutText(t, text);
  t.push_back(0);  // no creation data
}

std::vector<WORD> BuildTemplate() {
  std::vector<WORD> t;
  DLGTEMPLATE dlg{DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 4, 0, 0, 290, 80};
  const WORD* p = reinterpret_cast<const WORD*>(&dlg);
  t.insert(t.end(), p, p + sizeof dlg / sizeof(WORD));
  t.push_back(0);  // no menu
  t.push_back(0);  // standard class
  t.push_back(0);  // title set at run time
  t.push_back(8);
  PutText(t, "MS Sans Serif");
  PutItem(t, SS_ICON, 5, 5, 21, 20, kIcon, 0x0082, "");
  PutItem(t, SS_LEFT | SS_NOPREFIX, 36, 10, 240, 42, kCaption, 0x0082, "");
  PutItem(t, BS_DEFPUSHBUTTON | WS_TABSTOP, 150, 60, 50, 16, IDYES, 0x0080, "&Yes");
  PutItem(t, BS_PUSHBUTTON | WS_TABSTOP, 205, 60, 50, 16, IDNO, 0x0080, "&No");
  return t;
}

// Lays the dialog out in pixels: a fixed client area centred on the screen.
void Layout(HWND dlg) {
  RECT r{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(dlg, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(dlg, GWL_EXSTYLE)));
  int w = r.right - r.left, h = r.bottom - r.top;
  SetWindowPos(dlg, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h,
               SWP_NOZORDER | SWP_NOACTIVATE);
  MoveWindow(GetDlgItem(dlg, kIcon), 16, 16, 32, 32, FALSE);
  MoveWindow(GetDlgItem(dlg, kCaption), 64, 18, 360, 63, FALSE);
  MoveWindow(GetDlgItem(dlg, IDYES), 268, 94, 75, 25, FALSE);
  MoveWindow(GetDlgItem(dlg, IDNO), 352, 94, 75, 25, FALSE);
}

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  auto* state = reinterpret_cast<State*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<State*>(lp);
      SetWindowLongPtrA(dlg, DWLP_USER, lp);
      SetWindowTextA(dlg, state->title->c_str());
      SetDlgItemTextA(dlg, kCaption, state->text->c_str());
      HICON icon = LoadIconA(ModuleInstance(), MAKEINTRESOURCEA(101));
      if (!icon) icon = LoadIconA(nullptr, MAKEINTRESOURCEA(32515));  // IDI_WARNING
      SendDlgItemMessageA(dlg, kIcon, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
      Layout(dlg);
      // Opened from a shell process whose window is not in front, the title
      // bar would otherwise be drawn inactive.
      SendMessageA(dlg, WM_NCACTIVATE, TRUE, 0);
      SetFocus(GetDlgItem(dlg, IDYES));
      return FALSE;
    }
    case WM_PAINT:
      if (state && !state->painted) {
        state->painted = true;
        SendMessageA(dlg, WM_NCACTIVATE, TRUE, 0);
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
  static const std::vector<WORD> tmpl = BuildTemplate();
  State state{&title, &text};
  INT_PTR r = ModalDialog(ModuleInstance(), reinterpret_cast<LPCDLGTEMPLATEA>(tmpl.data()),
                          BoxOwner(GetActiveWindow()), DialogProc, reinterpret_cast<LPARAM>(&state));
  return r == IDYES;
}

}  // namespace vz::win32
