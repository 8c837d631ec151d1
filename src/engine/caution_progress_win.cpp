// The Windows faces of a batch: the system-modal caution question and the
// borderless progress window TFMProgress.
#include "engine/ui_win.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "platform/win32/dpi.h"
#include "platform/win32/modal.h"
#include "platform/win32/shell_support_win.h"

namespace vz::win32 {

bool AskCaution(const std::string& title, const std::string& text) {
  // No is the default: a stray Enter must not destroy anything.
  return ModalMessageBox(BoxOwner(), text, title, MB_YESNO | MB_DEFBUTTON2 | MB_SYSTEMMODAL | MB_ICONWARNING) == IDYES;
}

namespace {

constexpr const wchar_t* kClassName = L"TFMProgress";
// The form at 96 DPI: client area, bevel, bars, and the Cancel button below.
constexpr int kClientWidth = 398;
constexpr int kClientHeight = 180;
constexpr int kBevel = 3;
constexpr int kBarWidth = 352;
constexpr int kBarHeight = 16;
constexpr int kLeft = (kClientWidth - kBarWidth) / 2;  // 23

void DrawBevel(HDC dc, RECT r, int width) {
  HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
  HPEN dark = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  HGDIOBJ old = SelectObject(dc, light);
  for (int i = 0; i < width; ++i) {
    SelectObject(dc, light);
    MoveToEx(dc, r.left + i, r.bottom - 1 - i, nullptr);
    LineTo(dc, r.left + i, r.top + i);
    LineTo(dc, r.right - 1 - i, r.top + i);
    SelectObject(dc, dark);
    LineTo(dc, r.right - 1 - i, r.bottom - 1 - i);
    LineTo(dc, r.left + i, r.bottom - 1 - i);
  }
  SelectObject(dc, old);
  DeleteObject(light);
  DeleteObject(dark);
}

bool RegisterFrameClass(HINSTANCE inst, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(inst, kClassName, &wc)) {
    if (wc.lpfnWndProc == proc) return true;
    UnregisterClassW(kClassName, inst);  // left by an earlier load elsewhere
  }
  wc = WNDCLASSEXW{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kClassName;
  return RegisterClassExW(&wc) != 0;
}

HICON VaporizerIcon(HINSTANCE inst, int size) {
  for (int id : {102, 101}) {
    if (HICON icon = static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_SHARED)))
      return icon;
  }
  return LoadIcon(nullptr, IDI_WARNING);
}

}  // namespace

TFMProgress::TFMProgress(std::function<void()> cancel) : cancel_(std::move(cancel)) {}

TFMProgress::~TFMProgress() { End(); }

LRESULT CALLBACK TFMProgress::FrameProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TFMProgress*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(wnd, &r);
      FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      RECT r;
      GetClientRect(wnd, &r);
      DrawBevel(dc, r, Scaled(kBevel, WindowDpi(wnd)));
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_COMMAND:
      if (self && LOWORD(wp) == kCancelId) self->Cancel();
      return 0;
    case WM_CLOSE:
      // Closing asks what Cancel asks; the window goes with its batch.
      if (self) self->Cancel();
      return 0;
    case WM_SETCURSOR:
      // Busy over the window, except where Cancel can be pressed.
      if (self && reinterpret_cast<HWND>(wp) != self->button_) {
        SetCursor(LoadCursor(nullptr, IDC_APPSTARTING));
        return TRUE;
      }
      break;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

void TFMProgress::Begin(HWND owner, std::size_t files, int passes) {
  End();
  HINSTANCE inst = ModuleInstance();
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  if (!RegisterFrameClass(inst, &TFMProgress::FrameProc)) return;
  // Borderless: the client area is the whole window. Made hidden, so that
  // it knows its DPI before it is laid out and shown.
  HWND root = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
  frame_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT, kClassName, L"Shredding ...",
                           WS_POPUP | WS_CLIPCHILDREN, 0, 0, kClientWidth, kClientHeight, root ? root : owner, nullptr,
                           inst, nullptr);
  if (!frame_) return;
  SetWindowLongPtrW(frame_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  Layout();
  SendMessageW(current_, PBM_SETRANGE32, 0, passes > 0 ? passes : 0);
  SendMessageW(total_, PBM_SETRANGE32, 0, static_cast<LPARAM>(files));
  ShowWindow(frame_, SW_SHOWNOACTIVATE);
  UpdateWindow(frame_);
}

void TFMProgress::Layout() {
  const UINT dpi = WindowDpi(frame_);
  auto px = [dpi](int v) { return Scaled(v, dpi); };
  font_ = MessageFont(dpi);
  bold_ = MessageFont(dpi, FW_BOLD, 19);
  HINSTANCE inst = ModuleInstance();
  HFONT font = font_.Get();

  HWND icon = CreateControl(frame_, L"STATIC", "", SS_ICON | SS_CENTERIMAGE | SS_REALSIZEIMAGE, px(12), px(12),
                            px(34), px(34));
  SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(VaporizerIcon(inst, px(32))), 0);
  labels_[0] = CreateControl(frame_, L"STATIC", "Vaporizing ...", SS_LEFT | SS_NOPREFIX, px(58), px(16), px(300),
                             px(26), -1, bold_.Get() ? bold_.Get() : font);
  // "Current file: " as wide as its text; the file beside it to the bars'
  // right edge, its path shortened in the middle when it is longer.
  SIZE caption = TextExtent(frame_, font, "Current file: ");
  int lineHeight = TextExtent(frame_, font, "Ag").cy;
  labels_[1] = CreateControl(frame_, L"STATIC", "Current file: ", SS_LEFT | SS_NOPREFIX, px(kLeft), px(52),
                             caption.cx, lineHeight, -1, font);
  file_ = CreateControl(frame_, L"STATIC", "", SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_PATHELLIPSIS,
                        px(kLeft) + caption.cx, px(52), px(kBarWidth) - caption.cx, lineHeight, -1, font);
  current_ = CreateControl(frame_, PROGRESS_CLASSW, "", PBS_SMOOTH, px(kLeft), px(52) + lineHeight + px(4),
                           px(kBarWidth), px(kBarHeight));
  int totalTop = px(52) + lineHeight + px(4 + kBarHeight + 8);
  labels_[2] = CreateControl(frame_, L"STATIC", "Total progress:", SS_LEFT | SS_NOPREFIX, px(kLeft), totalTop,
                             px(kBarWidth), lineHeight, -1, font);
  total_ = CreateControl(frame_, PROGRESS_CLASSW, "", PBS_SMOOTH, px(kLeft), totalTop + lineHeight + px(4),
                         px(kBarWidth), px(kBarHeight));
  int buttonTop = totalTop + lineHeight + px(4 + kBarHeight + 12);
  button_ = CreateControl(frame_, L"BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, px(kLeft + kBarWidth - 75),
                          buttonTop, px(75), px(25), kCancelId, font);
  int height = std::max(px(kClientHeight), buttonTop + px(25 + 12));
  CentreOnMonitorOf(frame_, GetWindow(frame_, GW_OWNER), px(kClientWidth), height);
}

void TFMProgress::Cancel() {
  if (button_) EnableWindow(button_, FALSE);
  if (cancel_) cancel_();
}

void TFMProgress::File(const std::string& display) {
  if (!frame_) return;
  SetText(file_, display);
  InvalidateRect(file_, nullptr, TRUE);
  SendMessageW(current_, PBM_SETPOS, 0, 0);
}

void TFMProgress::Pass(int passesDone) {
  if (frame_) SendMessageW(current_, PBM_SETPOS, static_cast<WPARAM>(passesDone), 0);
}

void TFMProgress::FilesDone(std::size_t done) {
  if (frame_) SendMessageW(total_, PBM_SETPOS, static_cast<WPARAM>(done), 0);
}

void TFMProgress::End() {
  if (!frame_) return;
  HWND frame = frame_;
  frame_ = file_ = current_ = total_ = button_ = nullptr;
  SetWindowLongPtrW(frame, GWLP_USERDATA, 0);
  ShowWindow(frame, SW_HIDE);
  DestroyWindow(frame);
  font_.Reset();
  bold_.Reset();
}

}  // namespace vz::win32
