// The Windows faces of a batch: the system-modal caution question and the
// borderless progress window TFMProgress.
#include "engine/ui_win.h"

#include <windows.h>
#include <commctrl.h>

#include "platform/win32/modal.h"
#include "platform/win32/shell_support_win.h"

namespace vz::win32 {

bool AskCaution(const std::string& title, const std::string& text) {
  // No is the default: a stray Enter must not destroy anything.
  return ModalMessageBox(BoxOwner(), text, title, MB_YESNO | MB_DEFBUTTON2 | MB_SYSTEMMODAL | MB_ICONWARNING) == IDYES;
}

namespace {

constexpr const wchar_t* kClassName = L"TFMProgress";
constexpr int kClientWidth = 398;
constexpr int kClientHeight = 144;
constexpr int kBevel = 3;
constexpr int kBarWidth = 352;
constexpr int kBarHeight = 16;
constexpr int kLeft = (kClientWidth - kBarWidth) / 2;  // 23

// One batch runs at a time on the thread that shows this window.
struct Window {
  HWND frame = nullptr;
  HWND file = nullptr;
  HWND current = nullptr;
  HWND total = nullptr;
  HFONT boldFont = nullptr;
  HCURSOR previousCursor = nullptr;
} g_window;

void DrawBevel(HDC dc, RECT r) {
  HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
  HPEN dark = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  HGDIOBJ old = SelectObject(dc, light);
  for (int i = 0; i < kBevel; ++i) {
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

LRESULT CALLBACK FrameProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
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
      DrawBevel(dc, r);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_CLOSE:
      return 0;  // a batch cannot be cancelled once it runs
    case WM_SETCURSOR:
      SetCursor(LoadCursor(nullptr, IDC_WAIT));
      return TRUE;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

bool RegisterFrameClass(HINSTANCE inst) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(inst, kClassName, &wc)) return true;
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = FrameProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursor(nullptr, IDC_WAIT);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kClassName;
  return RegisterClassExW(&wc) != 0;
}

HICON VaporizerIcon(HINSTANCE inst) {
  for (int id : {102, 101}) {
    if (HICON icon = static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(id), IMAGE_ICON, 32, 32, LR_SHARED)))
      return icon;
  }
  return LoadIcon(nullptr, IDI_WARNING);
}

}  // namespace

void ProgressBegin(std::size_t files, int passes) {
  ProgressEnd();
  HINSTANCE inst = ModuleInstance();
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  if (!RegisterFrameClass(inst)) return;

  // Borderless: the client area is the whole window.
  RECT r{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&r, WS_POPUP, FALSE, WS_EX_TOOLWINDOW);
  int w = r.right - r.left, h = r.bottom - r.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  // Owned by the command's window, so that it stays in front of it.
  HWND frame = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"Shredding ...", WS_POPUP | WS_CLIPCHILDREN, x, y,
                               w, h, BoxOwner(), nullptr, inst, nullptr);
  if (!frame) return;
  g_window.frame = frame;

  HFONT gui = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  LOGFONTW lf{};
  GetObjectW(gui, sizeof lf, &lf);
  lf.lfHeight = -19;
  lf.lfWeight = FW_BOLD;
  g_window.boldFont = CreateFontIndirectW(&lf);

  HWND icon = CreateControl(frame, L"STATIC", "", SS_ICON | SS_CENTERIMAGE, 12, 12, 34, 34);
  SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(VaporizerIcon(inst)), 0);
  CreateControl(frame, L"STATIC", "Vaporizing ...", SS_LEFT | SS_NOPREFIX, 58, 18, 300, 24, -1,
                g_window.boldFont ? g_window.boldFont : gui);
  CreateControl(frame, L"STATIC", "Current file: ", SS_LEFT | SS_NOPREFIX, kLeft, 54, 64, 16, -1, gui);
  // Fixed width: a long path is cut short with an ellipsis, never wrapped.
  g_window.file = CreateControl(frame, L"STATIC", "", SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_PATHELLIPSIS, kLeft + 66,
                                54, 286, 16, -1, gui);
  g_window.current = CreateControl(frame, PROGRESS_CLASSW, "", PBS_SMOOTH, kLeft, 74, kBarWidth, kBarHeight);
  CreateControl(frame, L"STATIC", "Total progress:", SS_LEFT | SS_NOPREFIX, kLeft, 96, 120, 16, -1, gui);
  g_window.total = CreateControl(frame, PROGRESS_CLASSW, "", PBS_SMOOTH, kLeft, 114, kBarWidth, kBarHeight);

  SendMessageW(g_window.current, PBM_SETRANGE32, 0, passes > 0 ? passes : 0);
  SendMessageW(g_window.total, PBM_SETRANGE32, 0, static_cast<LPARAM>(files));
  ShowWindow(frame, SW_SHOWNORMAL);
  UpdateWindow(frame);
  g_window.previousCursor = SetCursor(LoadCursor(nullptr, IDC_WAIT));
}

void ProgressFile(const std::string& display) {
  if (!g_window.frame) return;
  SetText(g_window.file, display);
  InvalidateRect(g_window.file, nullptr, TRUE);
  UpdateWindow(g_window.file);
  SendMessageW(g_window.current, PBM_SETPOS, 0, 0);
}

void ProgressPass(int passesDone) {
  if (g_window.frame) SendMessageW(g_window.current, PBM_SETPOS, static_cast<WPARAM>(passesDone), 0);
}

void ProgressFilesDone(std::size_t done) {
  if (g_window.frame) SendMessageW(g_window.total, PBM_SETPOS, static_cast<WPARAM>(done), 0);
}

void ProgressEnd() {
  if (!g_window.frame) return;
  ShowWindow(g_window.frame, SW_HIDE);
  DestroyWindow(g_window.frame);
  if (g_window.boldFont) DeleteObject(g_window.boldFont);
  SetCursor(g_window.previousCursor ? g_window.previousCursor : LoadCursor(nullptr, IDC_ARROW));
  g_window = Window{};
}

}  // namespace vz::win32
