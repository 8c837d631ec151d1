// The Windows faces of a restore: the system-modal Recycle Bin warning and
// the confirm-replace dialog TFMConfirm.
#include "window/restore_ui_win.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/win32/modal.h"
#include "window/confirm_replace_win.h"

namespace vz::win32 {
HINSTANCE ModuleInstance();

bool AskRecycleBinWarning(const std::string& title, const std::string& text) {
  // No is the default: a stray Enter must not restore into a Recycle Bin.
  return ModalMessageBox(BoxOwner(), text, title, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SYSTEMMODAL) ==
         IDYES;
}

namespace {

struct Control {
  int id;
  const char* className;
  DWORD style;
  int left, top, width, height;  // pixels at 96 dpi; width 0 sizes to the text, height 0 one line
};

// In the form's order. The labels' texts come from the question.
const Control kControls[] = {
    {kIdImage1, "STATIC", SS_OWNERDRAW, 15, 9, 34, 34},
    {kIdLThis, "STATIC", SS_LEFT | SS_NOPREFIX, 60, 9, 328, 34},
    {kIdLabel1, "STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 60, 57, 0, 0},
    {kIdIFirst, "STATIC", SS_ICON | SS_CENTERIMAGE | SS_REALSIZEIMAGE, 81, 81, 34, 34},
    {kIdLBytes1, "STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 126, 81, 0, 0},
    {kIdLModified1, "STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 126, 99, 244, 0},
    {kIdLabel2, "STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 60, 126, 0, 0},
    {kIdISecond, "STATIC", SS_ICON | SS_CENTERIMAGE | SS_REALSIZEIMAGE, 81, 150, 34, 34},
    {kIdLBytes2, "STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 126, 150, 0, 0},
    {kIdLModified2, "STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 126, 168, 244, 0},
    {kIdBYes, "BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, 243, 192, 75, 25},
    {kIdBNo, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 327, 192, 75, 25},
};

struct DialogState {
  const ReplaceQuestion* question = nullptr;
  HICON icon = nullptr;  // the entry's large icon, shown twice
};

std::string TextFor(int id, const ReplaceQuestion& q) {
  switch (id) {
    case kIdLThis: return q.thisText;
    case kIdLabel1: return "Would you like to replace the existing file";
    case kIdLBytes1: return q.existingBytes;
    case kIdLModified1: return q.existingDate;
    case kIdLabel2: return "with this one?";
    case kIdLBytes2: return q.storedBytes;
    case kIdLModified2: return q.storedDate;
    case kIdBYes: return "&Yes";
    case kIdBNo: return "&No";
  }
  return {};
}

HICON LargeSystemIcon(int index) {
  SHFILEINFOA info{};
  auto list = reinterpret_cast<HIMAGELIST>(SHGetFileInfoA(
      "file", FILE_ATTRIBUTE_NORMAL, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_LARGEICON | SHGFI_USEFILEATTRIBUTES));
  if (!list || index < 0 || index >= ImageList_GetImageCount(list)) return nullptr;
  return ImageList_GetIcon(list, index, ILD_NORMAL);
}

// The form's own picture: a page being laid over another.
void DrawArtwork(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  int w = r.right - r.left, h = r.bottom - r.top;
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  auto page = [&](int x, int y) {
    Rectangle(dc, r.left + x, r.top + y, r.left + x + w * 5 / 10, r.top + y + h * 6 / 10);
    for (int line = 1; line <= 3; ++line) {
      int ly = r.top + y + line * h / 8;
      MoveToEx(dc, r.left + x + w / 12, ly, nullptr);
      LineTo(dc, r.left + x + w * 5 / 10 - w / 12, ly);
    }
  };
  page(w / 20, h / 20);
  page(w * 9 / 20, h * 7 / 20);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

SIZE TextSize(HWND dlg, HFONT font, const std::string& text) {
  SIZE size{0, 0};
  HDC dc = GetDC(dlg);
  HGDIOBJ old = SelectObject(dc, font);
  RECT r{0, 0, 0, 0};
  DrawTextA(dc, text.empty() ? " " : text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  size.cx = text.empty() ? 0 : r.right - r.left;
  size.cy = r.bottom - r.top;
  SelectObject(dc, old);
  ReleaseDC(dlg, dc);
  return size;
}

void Layout(HWND dlg, DialogState& state) {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  auto px = [dpi](int v) { return MulDiv(v, dpi, 96); };

  RECT frame{0, 0, px(kConfirmReplaceWidth), px(kConfirmReplaceHeight)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(dlg, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(dlg, GWL_EXSTYLE)));
  int fw = frame.right - frame.left, fh = frame.bottom - frame.top;
  SetWindowPos(dlg, nullptr, (GetSystemMetrics(SM_CXSCREEN) - fw) / 2, (GetSystemMetrics(SM_CYSCREEN) - fh) / 2, fw,
               fh, SWP_NOZORDER | SWP_NOACTIVATE);

  auto font = reinterpret_cast<HFONT>(SendMessageA(dlg, WM_GETFONT, 0, 0));
  HINSTANCE inst = ModuleInstance() ? ModuleInstance() : GetModuleHandleA(nullptr);
  for (const Control& c : kControls) {
    std::string text = TextFor(c.id, *state.question);
    SIZE fit = TextSize(dlg, font, text);
    int width = c.width ? px(c.width) : fit.cx;
    int height = c.height ? px(c.height) : fit.cy;
    HWND wnd = CreateWindowExA(0, c.className, text.c_str(), WS_CHILD | WS_VISIBLE | c.style, px(c.left), px(c.top),
                               width, height, dlg, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), inst, nullptr);
    if (!wnd) continue;
    SendMessageA(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if ((c.style & SS_TYPEMASK) == SS_ICON && state.icon) {
      SendMessageA(wnd, STM_SETICON, reinterpret_cast<WPARAM>(state.icon), 0);
      // Setting an icon resizes the picture; it keeps the form's box.
      SetWindowPos(wnd, nullptr, px(c.left), px(c.top), width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  SendMessageA(dlg, DM_SETDEFID, kIdBYes, 0);
  SetFocus(GetDlgItem(dlg, kIdBYes));
}

INT_PTR CALLBACK ConfirmProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    switch (msg) {
      case WM_INITDIALOG:
        SetWindowTextA(dlg, kConfirmReplaceCaption);
        Layout(dlg, *reinterpret_cast<DialogState*>(lp));
        return FALSE;  // the focus is on BYes already
      case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (item->CtlID != static_cast<UINT>(kIdImage1)) return FALSE;
        DrawArtwork(*item);
        return TRUE;
      }
      case WM_COMMAND:
        switch (LOWORD(wp)) {
          case kIdBYes:
          case IDOK:
            EndDialog(dlg, IDOK);
            return TRUE;
          case kIdBNo:
          case IDCANCEL:
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        return FALSE;
      case WM_CLOSE:
        EndDialog(dlg, IDCANCEL);
        return TRUE;
    }
  } catch (...) {
    // Nothing may unwind through the window procedure; the dialog stays
    // and can still be answered.
  }
  return FALSE;
}

// A dialog without controls, in the form's font; the controls are placed
// in pixels when it opens.
std::vector<WORD> EmptyTemplate() {
  std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
  auto* dt = reinterpret_cast<DLGTEMPLATE*>(t.data());
  dt->style = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  dt->cdit = 0;
  dt->cx = 280;
  dt->cy = 140;
  t.push_back(0);  // no menu
  t.push_back(0);  // the standard dialog class
  for (const char* p = kConfirmReplaceCaption; *p; ++p) t.push_back(static_cast<WORD>(*p));
  t.push_back(0);
  t.push_back(8);  // points
  for (const char* p = "MS Sans Serif"; *p; ++p) t.push_back(static_cast<WORD>(*p));
  t.push_back(0);
  return t;
}

}  // namespace

bool AskConfirmReplace(const ReplaceQuestion& q) {
  DialogState state;
  state.question = &q;
  state.icon = LargeSystemIcon(q.iconIndex);
  INT_PTR result = -1;
  try {
    std::vector<WORD> tmpl = EmptyTemplate();
    HINSTANCE inst = ModuleInstance() ? ModuleInstance() : GetModuleHandleA(nullptr);
    result = ModalDialog(inst, reinterpret_cast<const DLGTEMPLATE*>(tmpl.data()), BoxOwner(GetActiveWindow()),
                         ConfirmProc, reinterpret_cast<LPARAM>(&state));
  } catch (...) {
    result = -1;
  }
  if (state.icon) DestroyIcon(state.icon);
  // Only an explicit Yes counts as consent.
  return result == IDOK;
}

}  // namespace vz::win32
