// Windows laid out for the DPI they are shown at, in the shell's own font.
#pragma once

#include <windows.h>

#include <string>

namespace vz::win32 {

// The DPI a window is shown at: its own where the system tells it
// (GetDpiForWindow), else that of the screen its DC is on (LOGPIXELSY).
// Without a window, the system's.
UINT WindowDpi(HWND window);

// The DPI of the monitor a window is on (or nearest to): the monitor's
// effective DPI where the system tells it (GetDpiForMonitor), else the
// window's own (WindowDpi). A window not shown yet takes its owner's.
UINT MonitorDpiOf(HWND window);

// v pixels at 96 DPI, at dpi.
inline int Scaled(int v, UINT dpi) { return MulDiv(v, static_cast<int>(dpi), 96); }

// A font owned for a scope.
class Font {
 public:
  Font() = default;
  explicit Font(HFONT h) : h_(h) {}
  ~Font() { Reset(); }
  Font(Font&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
  Font& operator=(Font&& o) noexcept;
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  HFONT Get() const { return h_; }
  void Reset();

 private:
  HFONT h_ = nullptr;
};

// The shell's message font (NONCLIENTMETRICS' lfMessageFont) at dpi, as the
// system gives it for that DPI; heavier with a weight, of another height
// with heightAt96 (pixels at 96 DPI, scaled), 0 for its own.
Font MessageFont(UINT dpi, int weight = 0, int heightAt96 = 0);

// The work area of the monitor a window is on (or nearest to); the primary
// monitor's without a window.
RECT WorkAreaOf(HWND window);

// Moves a window of the given outer size to the middle of the work area of
// the monitor `nearWindow` is on.
void CentreOnMonitorOf(HWND window, HWND nearWindow, int width, int height);

// The size of a text in a font: one line, or wrapped at `wrapWidth` as an
// edit control wraps it (a word longer than a line broken where it must).
SIZE TextExtent(HWND window, HFONT font, const std::string& text, int wrapWidth = 0);

}  // namespace vz::win32
