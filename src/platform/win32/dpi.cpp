#include "platform/win32/dpi.h"

#include "platform/win32/wide.h"

namespace vz::win32 {
namespace {

// Functions of newer systems, looked up once: absent, the older way serves.
template <class F>
F User32(const char* name) {
  HMODULE user = GetModuleHandleW(L"user32.dll");
  return user ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user, name))) : nullptr;
}

UINT ScreenDpi(HWND window) {
  HDC dc = GetDC(window);
  int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(window, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

UINT MonitorDpiOf(HWND window) {
  // shcore.dll, of Windows 8.1 and later; MDT_EFFECTIVE_DPI is 0.
  using ForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static const ForMonitor forMonitor = [] {
    HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return shcore ? reinterpret_cast<ForMonitor>(reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")))
                  : nullptr;
  }();
  HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                            : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  UINT x = 0, y = 0;
  if (forMonitor && monitor && SUCCEEDED(forMonitor(monitor, 0, &x, &y)) && x) return x;
  return WindowDpi(window);
}

UINT WindowDpi(HWND window) {
  static const auto forWindow = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  if (window && forWindow)
    if (UINT dpi = forWindow(window)) return dpi;
  return ScreenDpi(window);
}

Font& Font::operator=(Font&& o) noexcept {
  if (this != &o) {
    Reset();
    h_ = o.h_;
    o.h_ = nullptr;
  }
  return *this;
}

void Font::Reset() {
  if (h_) DeleteObject(h_);
  h_ = nullptr;
}

Font MessageFont(UINT dpi, int weight, int heightAt96) {
  static const auto forDpi = User32<BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT)>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTW lf{};
  if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    lf = metrics.lfMessageFont;
  } else if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    // The system's metrics are for the system's DPI.
    lf = metrics.lfMessageFont;
    lf.lfHeight = MulDiv(lf.lfHeight, static_cast<int>(dpi), static_cast<int>(ScreenDpi(nullptr)));
  } else {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    lf.lfHeight = MulDiv(lf.lfHeight, static_cast<int>(dpi), static_cast<int>(ScreenDpi(nullptr)));
  }
  if (weight) lf.lfWeight = weight;
  if (heightAt96) lf.lfHeight = -Scaled(heightAt96, dpi);
  return Font(CreateFontIndirectW(&lf));
}

RECT WorkAreaOf(HWND window) {
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                            : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (monitor && GetMonitorInfoW(monitor, &info)) work = info.rcWork;
  return work;
}

void CentreOnMonitorOf(HWND window, HWND nearWindow, int width, int height) {
  RECT work = WorkAreaOf(nearWindow ? nearWindow : window);
  int x = work.left + (work.right - work.left - width) / 2, y = work.top + (work.bottom - work.top - height) / 2;
  // Never above or left of the work area: the title bar stays reachable.
  if (x < work.left) x = work.left;
  if (y < work.top) y = work.top;
  SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE TextExtent(HWND window, HFONT font, const std::string& text, int wrapWidth) {
  SIZE size{0, 0};
  HDC dc = GetDC(window);
  if (!dc) return size;
  HGDIOBJ old = SelectObject(dc, font);
  RECT r{0, 0, wrapWidth, 0};
  std::wstring measured = Widen(text.empty() ? std::string(" ") : text);
  UINT flags = DT_CALCRECT | DT_NOPREFIX | (wrapWidth ? DT_WORDBREAK | DT_EDITCONTROL : DT_SINGLELINE);
  DrawTextW(dc, measured.c_str(), -1, &r, flags);
  size.cx = text.empty() ? 0 : r.right - r.left;
  size.cy = r.bottom - r.top;
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return size;
}

}  // namespace vz::win32
