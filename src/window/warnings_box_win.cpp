#include "window/warnings_box_win.h"

#include <algorithm>

#include "platform/win32/dpi.h"
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
  HWND owner;
  std::string problems;
  std::vector<std::string> warnings;
  std::vector<bool> ticked;
  Font font;  // the shell's message font at the box's DPI
  HICON icon = nullptr;
};

// The height that text takes when it wraps at the given width.
int WrappedHeight(HWND dlg, HFONT font, const std::string& text, int width) {
  return TextExtent(dlg, font, text, width).cy;
}

void Layout(HWND dlg, BoxState& state) {
  // The DPI of the monitor the box opens on: its owner's, whose work area
  // it is centred in.
  const UINT dpi = MonitorDpiOf(state.owner ? state.owner : dlg);
  auto px = [dpi](int v) { return Scaled(v, dpi); };
  state.font = MessageFont(dpi);
  HFONT font = state.font.Get();
  SendMessageW(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  const int textWidth = px(kWidth - kTextLeft - kMargin);
  HWND icon = CreateControl(dlg, L"STATIC", "", SS_ICON | SS_REALSIZEIMAGE, px(kMargin), px(kMargin), px(32), px(32),
                            kIconId, font);
  // The system's warning picture (OIC_WARNING) at the box's size.
  state.icon = static_cast<HICON>(LoadImageW(nullptr, MAKEINTRESOURCEW(32515), IMAGE_ICON, px(32), px(32), 0));
  SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(state.icon), 0);
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
  CentreOnMonitorOf(dlg, state.owner, frame.right - frame.left, frame.bottom - frame.top);
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
  BoxState state{owner, problems, warnings, std::vector<bool>(warnings.size(), false), {}, nullptr};
  // No controls in the template: they are placed in pixels when it opens.
  DialogTemplate tmpl(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 300, 100, kTitle);
  ModalDialog(ModuleInstance(), tmpl.Get(), owner, BoxProc, reinterpret_cast<LPARAM>(&state));
  if (state.icon) DestroyIcon(state.icon);
  return state.ticked;
}

}  // namespace vz::win32
