// The Windows faces of a restore: the system-modal Recycle Bin warning and
// the confirm-replace dialog TFMConfirm.
#include "window/restore_ui_win.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include <algorithm>

#include "platform/win32/dpi.h"
#include "platform/win32/modal.h"
#include "platform/win32/shell_support_win.h"
#include "platform/win32/wide.h"
#include "window/confirm_replace_win.h"

namespace vz::win32 {

bool AskRecycleBinWarning(const std::string& title, const std::string& text) {
  // No is the default: a stray Enter must not restore into a Recycle Bin.
  return ModalMessageBox(BoxOwner(), text, title, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SYSTEMMODAL) ==
         IDYES;
}

namespace {

struct Control {
  int id;
  const wchar_t* className;
  DWORD style;
  int left, top, width, height;  // pixels at 96 dpi; width 0 sizes to the text, height 0 one line
};

// In the form's order. The labels' texts come from the question.
const Control kControls[] = {
    {kIdImage1, L"STATIC", SS_OWNERDRAW, 15, 9, 34, 34},
    // A path longer than a line is broken where it must: shown whole.
    {kIdLThis, L"STATIC", SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, 60, 9, 328, 34},
    {kIdLabel1, L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 60, 57, 0, 0},
    {kIdIFirst, L"STATIC", SS_ICON | SS_CENTERIMAGE | SS_REALSIZEIMAGE, 81, 81, 34, 34},
    {kIdLBytes1, L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 126, 81, 0, 0},
    {kIdLModified1, L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 126, 99, 244, 0},
    {kIdLabel2, L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 60, 126, 0, 0},
    {kIdISecond, L"STATIC", SS_ICON | SS_CENTERIMAGE | SS_REALSIZEIMAGE, 81, 150, 34, 34},
    {kIdLBytes2, L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 126, 150, 0, 0},
    {kIdLModified2, L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 126, 168, 244, 0},
    {kIdBYes, L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, 243, 192, 75, 25},
    {kIdBNo, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 327, 192, 75, 25},
};

struct DialogState {
  const ReplaceQuestion* question = nullptr;
  HICON icon = nullptr;  // the entry's large icon, shown twice
  Font font;             // the shell's message font at the dialog's DPI
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
  SHFILEINFOW info{};
  auto list = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(
      L"file", FILE_ATTRIBUTE_NORMAL, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_LARGEICON | SHGFI_USEFILEATTRIBUTES));
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

void Layout(HWND dlg, DialogState& state) {
  const UINT dpi = WindowDpi(dlg);
  auto px = [dpi](int v) { return Scaled(v, dpi); };
  state.font = MessageFont(dpi);
  HFONT font = state.font.Get();
  // The question's first line grows with a long path; what is below it
  // moves down by as much.
  int grown = std::max(0, static_cast<int>(TextExtent(dlg, font, TextFor(kIdLThis, *state.question), px(328)).cy) - px(34));

  RECT frame{0, 0, px(kConfirmReplaceWidth), px(kConfirmReplaceHeight) + grown};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dlg, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(dlg, GWL_EXSTYLE)));
  CentreOnMonitorOf(dlg, GetWindow(dlg, GW_OWNER), frame.right - frame.left, frame.bottom - frame.top);

  for (const Control& c : kControls) {
    std::string text = TextFor(c.id, *state.question);
    SIZE fit = TextExtent(dlg, font, text);
    int width = c.width ? px(c.width) : fit.cx;
    int height = c.height ? px(c.height) : fit.cy;
    int top = px(c.top) + (c.top > 9 ? grown : 0);
    if (c.id == kIdLThis) height += grown;
    HWND wnd = CreateControl(dlg, c.className, text, c.style, px(c.left), top, width, height, c.id, font);
    if (!wnd) continue;
    if ((c.style & SS_TYPEMASK) == SS_ICON && state.icon) {
      SendMessageW(wnd, STM_SETICON, reinterpret_cast<WPARAM>(state.icon), 0);
      // Setting an icon resizes the picture; it keeps the form's box.
      SetWindowPos(wnd, nullptr, px(c.left), top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  SendMessageW(dlg, DM_SETDEFID, kIdBYes, 0);
  SetFocus(GetDlgItem(dlg, kIdBYes));
}

INT_PTR CALLBACK ConfirmProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    switch (msg) {
      case WM_INITDIALOG:
        SetText(dlg, kConfirmReplaceCaption);
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

}  // namespace

bool AskConfirmReplace(const ReplaceQuestion& q) {
  DialogState state;
  state.question = &q;
  state.icon = LargeSystemIcon(q.iconIndex);
  INT_PTR result = -1;
  try {
    // No controls in the template: they are placed in pixels when it opens.
    DialogTemplate tmpl(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 280, 140, kConfirmReplaceCaption);
    result = ModalDialog(ModuleInstance(), tmpl.Get(), BoxOwner(GetActiveWindow()), ConfirmProc,
                         reinterpret_cast<LPARAM>(&state));
  } catch (...) {
    result = -1;
  }
  if (state.icon) DestroyIcon(state.icon);
  // Only an explicit Yes counts as consent.
  return result == IDOK;
}

}  // namespace vz::win32
