#include "window/warnings_box_win.h"

#include <algorithm>

#include "platform/win32/modal.h"
#include "platform/win32/shell_support_win.h"
#include "platform/win32/wide.h"

namespace vz::win32 {
namespace {

constexpr char kTitle[] = "Vaporizer";
constexpr char kDontTell[] = "Don't tell me again for this drive";
constexpr int kFirstBox = 100;   // the check box of warning i is kFirstBox + i
constexpr int kIconId = 99;
// At 96 dots per inch.
constexpr int kWidth = 480, kMargin = 12, kTextLeft = 56, kBoxHeight = 20, kButtonWidth = 88, kButtonHeight = 26;

struct BoxState {
  std::string problems;
  std::vector<std::string> warnings;
  std::vector<bool> ticked;
};

// The height that text takes when it wraps at the given width.
int WrappedHeight(HWND dlg, HFONT font, const std::string& text, int width) {
  HDC dc = GetDC(dlg);
  HGDIOBJ old = SelectObject(dc, font);
  RECT r{0, 0, width, 0};
  std::wstring w = Widen(text);
  DrawTextW(dc, w.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  SelectObject(dc, old);
  ReleaseDC(dlg, dc);
  return r.bottom - r.top;
}

void Layout(HWND dlg, const BoxState& state) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  auto px = [dpi](int v) { return MulDiv(v, dpi, 96); };
  auto font = reinterpret_cast<HFONT>(SendMessageW(dlg, WM_GETFONT, 0, 0));
  const int textWidth = px(kWidth - kTextLeft - kMargin);
  HWND icon = CreateControl(dlg, L"STATIC", "", SS_ICON, px(kMargin), px(kMargin), px(32), px(32), kIconId, font);
  SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, MAKEINTRESOURCEW(32515))), 0);  // IDI_WARNING
  int y = px(kMargin);
  auto text = [&](const std::string& t) {
    int h = WrappedHeight(dlg, font, t, textWidth);
    CreateControl(dlg, L"STATIC", t, SS_LEFT | SS_NOPREFIX, px(kTextLeft), y, textWidth, h, -1, font);
    y += h;
  };
  if (!state.problems.empty()) {
    text(state.problems);
    y += px(kMargin);
  }
  for (std::size_t i = 0; i < state.warnings.size(); ++i) {
    text(state.warnings[i]);
    y += px(4);
    CreateControl(dlg, L"BUTTON", kDontTell, BS_AUTOCHECKBOX | WS_TABSTOP, px(kTextLeft), y, textWidth, px(kBoxHeight),
                  kFirstBox + static_cast<int>(i), font);
    y += px(kBoxHeight + kMargin);
  }
  y = std::max(y, px(kMargin + 32 + kMargin));
  HWND ok = CreateControl(dlg, L"BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, px(kWidth - kMargin - kButtonWidth), y,
                          px(kButtonWidth), px(kButtonHeight), IDOK, font);
  RECT frame{0, 0, px(kWidth), y + px(kButtonHeight + kMargin)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dlg, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(dlg, GWL_EXSTYLE)));
  const int fw = frame.right - frame.left, fh = frame.bottom - frame.top;
  SetWindowPos(dlg, nullptr, (GetSystemMetrics(SM_CXSCREEN) - fw) / 2, (GetSystemMetrics(SM_CYSCREEN) - fh) / 2, fw,
               fh, SWP_NOZORDER | SWP_NOACTIVATE);
  SetFocus(ok);
}

INT_PTR CALLBACK BoxProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    switch (msg) {
      case WM_INITDIALOG:
        SetWindowLongPtrW(dlg, DWLP_USER, lp);
        SetText(dlg, kTitle);
        Layout(dlg, *reinterpret_cast<BoxState*>(lp));
        return FALSE;  // the focus is on OK already
      case WM_COMMAND:
        if (LOWORD(wp) != IDOK && LOWORD(wp) != IDCANCEL) return FALSE;
        // Closed in any way, the boxes say what the user wants.
        if (auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(dlg, DWLP_USER)))
          for (std::size_t i = 0; i < state->warnings.size(); ++i)
            state->ticked[i] = IsDlgButtonChecked(dlg, kFirstBox + static_cast<int>(i)) == BST_CHECKED;
        EndDialog(dlg, IDOK);
        return TRUE;
      case WM_CLOSE:
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }
  } catch (...) {
    // Nothing may unwind through the window procedure.
  }
  return FALSE;
}

}  // namespace

std::vector<bool> ShowWarningsBox(HWND owner, const std::string& problems, const std::vector<std::string>& warnings) {
  BoxState state{problems, warnings, std::vector<bool>(warnings.size(), false)};
  // No controls in the template: they are placed in pixels when it opens.
  DialogTemplate tmpl(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 300, 100, kTitle);
  ModalDialog(ModuleInstance(), tmpl.Get(), owner, BoxProc, reinterpret_cast<LPARAM>(&state));
  return state.ticked;
}

}  // namespace vz::win32
