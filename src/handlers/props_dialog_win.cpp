#include "handlers/props_dialog_win.h"

#include <commctrl.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

#include "handlers/settings_save_win.h"
#include "platform/win32/modal.h"
#include "resources/resource.h"
#include "settings/settings.h"

namespace vz::win32 {

HINSTANCE ModuleInstance();

namespace {

constexpr int kPanelHeight = 34;
constexpr int kButtonWidth = 75, kButtonHeight = 25;
constexpr RECT kTabsRect = {8, 6, 8 + 346, 6 + 350};  // left, top, right, bottom

constexpr const char* kOptionsText =
    "Use the slider below to specify how many times Vaporizer will overwrite vaporized files with random data "
    "before truncating and deleting them.  The greater the value the more secure (but slower) the process.";
constexpr const char* kNoteText =
    "Note:  7 or more overwrites qualifies for government and military class security.";

// An in-memory dialog template without controls: "MS Sans Serif" 8 points.
class Template {
 public:
  Template(DWORD style, const wchar_t* title) {
    DLGTEMPLATE t{};
    t.style = style | DS_SETFONT;
    t.cx = 10;
    t.cy = 10;
    Append(&t, sizeof t);
    Word(0);  // no menu
    Word(0);  // the standard dialog class
    Text(title);
    Word(8);
    Text(L"MS Sans Serif");
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(data_.data()); }

 private:
  void Append(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    bytes_.insert(bytes_.end(), b, b + n);
    data_.assign((bytes_.size() + 3) / 4, 0);  // DWORD-aligned storage
    std::memcpy(data_.data(), bytes_.data(), bytes_.size());
  }
  void Word(WORD w) { Append(&w, sizeof w); }
  void Text(const wchar_t* s) { Append(s, (wcslen(s) + 1) * sizeof(wchar_t)); }

  std::vector<unsigned char> bytes_;
  std::vector<DWORD> data_;
};

HWND Control(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id,
             HFONT font) {
  HWND c = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleInstance(), nullptr);
  if (c) SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return c;
}

TFMProps* From(HWND hwnd) { return reinterpret_cast<TFMProps*>(GetWindowLongPtrA(hwnd, DWLP_USER)); }

bool Checked(HWND sheet, int id) { return SendDlgItemMessageA(sheet, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

}  // namespace

TFMProps::~TFMProps() { Cleanup(); }

void TFMProps::Cleanup() {
  if (boldFont_) DeleteObject(boldFont_);
  if (icon_) DestroyIcon(icon_);
  boldFont_ = nullptr;
  icon_ = nullptr;
  hwnd_ = tabs_ = apply_ = nullptr;
  sheets_[0] = sheets_[1] = nullptr;
}

void TFMProps::DisableApply() {
  if (apply_) EnableWindow(apply_, FALSE);
}

int TFMProps::ShowModal() {
  InitCommonControls();
  Template dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, L"");
  INT_PTR result =
      ModalDialog(ModuleInstance(), dialog.Get(), owner_, &TFMProps::DialogProc, reinterpret_cast<LPARAM>(this));
  Cleanup();
  return result == IDOK ? IDOK : result == IDCANCEL ? IDCANCEL : 0;
}

void TFMProps::Build() {
  SetWindowTextA(hwnd_, caption_.c_str());
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0));

  // Client area of 362 x 397 pixels, centred on the screen.
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_EXSTYLE)));
  int w = frame.right - frame.left, h = frame.bottom - frame.top;
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - w) / 2, work.top + (work.bottom - work.top - h) / 2,
               w, h, SWP_NOZORDER | SWP_NOACTIVATE);

  // The bottom panel's buttons.
  int buttonTop = kClientHeight - kPanelHeight + (kPanelHeight - kButtonHeight) / 2;
  Control(hwnd_, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 117, buttonTop, kButtonWidth, kButtonHeight, IDOK, font);
  Control(hwnd_, "BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, 198, buttonTop, kButtonWidth, kButtonHeight, IDCANCEL,
          font);
  apply_ = Control(hwnd_, "BUTTON", "&Apply", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 279, buttonTop, kButtonWidth,
                   kButtonHeight, kPropsApplyId, font);

  // The page control: one tab per visible sheet, each sheet a child dialog
  // laid over the tab control's display area.
  tabs_ = Control(hwnd_, WC_TABCONTROLA, "", WS_CLIPSIBLINGS | WS_TABSTOP, kTabsRect.left, kTabsRect.top,
                  kTabsRect.right - kTabsRect.left, kTabsRect.bottom - kTabsRect.top, kPropsTabsId, font);
  Template sheet(WS_CHILD | DS_CONTROL, L"");
  for (int i = 0; i < 2; ++i) {
    sheets_[i] = CreateDialogIndirectParamA(ModuleInstance(), sheet.Get(), hwnd_, &TFMProps::SheetProc,
                                            reinterpret_cast<LPARAM>(this));
    if (!visible_[i]) continue;
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = const_cast<char*>("General");
    item.lParam = i;
    SendMessageA(tabs_, TCM_INSERTITEMA, SendMessageA(tabs_, TCM_GETITEMCOUNT, 0, 0), reinterpret_cast<LPARAM>(&item));
  }
  RECT display = {0, 0, kTabsRect.right - kTabsRect.left, kTabsRect.bottom - kTabsRect.top};
  SendMessageA(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  for (HWND s : sheets_) {
    SetWindowPos(s, HWND_TOP, kTabsRect.left + display.left, kTabsRect.top + display.top, display.right - display.left,
                 display.bottom - display.top, SWP_NOACTIVATE);
  }
  BuildSettingsTab(sheets_[static_cast<int>(Tab::Vaporizer)]);
  if (generalFiller_) generalFiller_(sheets_[static_cast<int>(Tab::General)]);

  if (!visible_[static_cast<int>(active_)]) active_ = visible_[0] ? Tab::General : Tab::Vaporizer;
  ShowActiveSheet();
}

void TFMProps::BuildSettingsTab(HWND sheet) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0));
  HDC dc = GetDC(nullptr);
  int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  boldFont_ = CreateFontA(-MulDiv(10, dpi, 72), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Sans Serif");

  HWND image = Control(sheet, "STATIC", "", SS_ICON | SS_CENTERIMAGE, 8, 9, 34, 34, -1, font);
  icon_ = static_cast<HICON>(
      LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(IDI_VAPORIZER_SETTINGS), IMAGE_ICON, 32, 32, 0));
  if (image && icon_) SendMessageA(image, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
  Control(sheet, "STATIC", "Vaporizer", SS_LEFTNOWORDWRAP, 48, 8, 120, 18, IDC_SETTINGS_TITLE,
          boldFont_ ? boldFont_ : font);

  // The group box and what it holds (positions inside the group).
  const int gx = 8, gy = 48;
  Control(sheet, "BUTTON", "Vaporization Options ", BS_GROUPBOX, gx, gy, 322, 181, IDC_SETTINGS_GROUP, font);
  Control(sheet, "STATIC", kOptionsText, SS_LEFT, gx + 8, gy + 18, 306, 56, -1, font);
  Control(sheet, "STATIC", "Faster", SS_CENTER, gx + 4, gy + 88, 44, 13, -1, font);
  Control(sheet, "STATIC", "More secure", SS_CENTER, gx + 244, gy + 88, 72, 13, -1, font);
  HWND bar = Control(sheet, TRACKBAR_CLASSA, "",
                     TBS_HORZ | TBS_BOTTOM | TBS_AUTOTICKS | TBS_FIXEDLENGTH | WS_TABSTOP, gx + 50, gy + 81, 192, 31,
                     IDC_PASSES, font);
  SendMessageA(bar, TBM_SETRANGE, FALSE, MAKELONG(1, 10));
  SendMessageA(bar, TBM_SETPOS, TRUE, 1);
  SendMessageA(bar, TBM_SETLINESIZE, 0, 0);
  SendMessageA(bar, TBM_SETPAGESIZE, 0, 1);
  SendMessageA(bar, TBM_SETTICFREQ, 1, 0);
  SendMessageA(bar, TBM_SETTHUMBLENGTH, 20, 0);
  Control(sheet, "STATIC", PassesLabelText(1).c_str(), SS_LEFTNOWORDWRAP, gx + 54, gy + 113, 260, 13,
          IDC_PASSES_LABEL, font);
  Control(sheet, "STATIC", kNoteText, SS_LEFT, gx + 8, gy + 138, 306, 30, -1, font);

  Control(sheet, "BUTTON", "Show progress indicator while vaporizing", BS_AUTOCHECKBOX | WS_TABSTOP, 8, 244, 322, 17,
          IDC_SHOW_PROGRESS, font);
  Control(sheet, "BUTTON", "Add \"Send to Vaporizer\" option to right-click context menus",
          BS_AUTOCHECKBOX | WS_TABSTOP, 8, 269, 322, 17, IDC_CONTEXT_MENU, font);
  Control(sheet, "BUTTON", "Add Vaporizer option under \"Send To...\" context menu", BS_AUTOCHECKBOX | WS_TABSTOP, 8,
          294, 322, 17, IDC_SEND_TO, font);
}

void TFMProps::ShowActiveSheet() {
  int count = static_cast<int>(SendMessageA(tabs_, TCM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    TCITEMA item{};
    item.mask = TCIF_PARAM;
    SendMessageA(tabs_, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
    if (item.lParam == static_cast<int>(active_)) SendMessageA(tabs_, TCM_SETCURSEL, i, 0);
  }
  for (int i = 0; i < 2; ++i) ShowWindow(sheets_[i], i == static_cast<int>(active_) ? SW_SHOW : SW_HIDE);
}

void TFMProps::FormShow() {
  PCChange();
  DisableApply();
}

void TFMProps::PCChange() {
  if (active_ != Tab::Vaporizer) return;
  HWND sheet = Sheet(Tab::Vaporizer);
  VaporizerSettings s = LoadSettings();
  const std::pair<int, bool> boxes[] = {
      {IDC_SHOW_PROGRESS, s.showProgress}, {IDC_CONTEXT_MENU, s.insertContextMenu}, {IDC_SEND_TO, s.insertSendTo}};
  for (const auto& box : boxes) {
    SendDlgItemMessageA(sheet, box.first, BM_SETCHECK, box.second ? BST_CHECKED : BST_UNCHECKED, 0);
    CBShowClick();  // setting a box counts as a click
  }
  TBarChange();
  HWND bar = GetDlgItem(sheet, IDC_PASSES);
  LRESULT before = SendMessageA(bar, TBM_GETPOS, 0, 0);
  SendMessageA(bar, TBM_SETPOS, TRUE, s.passCount);  // the slider keeps it within 1 to 10
  if (SendMessageA(bar, TBM_GETPOS, 0, 0) != before) TBarChange();
  SetDlgItemTextA(sheet, IDC_PASSES_LABEL, PassesLabelText(s.passCount).c_str());
}

void TFMProps::TBarChange() {
  HWND sheet = Sheet(Tab::Vaporizer);
  if (IsWindowVisible(hwnd_)) EnableWindow(apply_, TRUE);
  int position = static_cast<int>(SendDlgItemMessageA(sheet, IDC_PASSES, TBM_GETPOS, 0, 0));
  SetDlgItemTextA(sheet, IDC_PASSES_LABEL, PassesLabelText(position).c_str());
}

void TFMProps::CBShowClick() { EnableWindow(apply_, TRUE); }

void TFMProps::BApplyClick() {
  Save();
  // Focus must not stay on a disabled button, or the keyboard is lost.
  if (GetFocus() == apply_) SendMessageA(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(hwnd_, IDOK)), TRUE);
  DisableApply();
}

void TFMProps::Save() {
  if (active_ != Tab::Vaporizer) return;
  HWND sheet = Sheet(Tab::Vaporizer);
  VaporizerSettings s;
  s.passCount = static_cast<int>(SendDlgItemMessageA(sheet, IDC_PASSES, TBM_GETPOS, 0, 0));
  s.showProgress = Checked(sheet, IDC_SHOW_PROGRESS);
  s.insertContextMenu = Checked(sheet, IDC_CONTEXT_MENU);
  s.insertSendTo = Checked(sheet, IDC_SEND_TO);
  SaveSettingsShowingErrors(s, hwnd_);
}

bool TFMProps::OnCommand(int id, int code) {
  switch (id) {
    case IDOK:
      Save();
      EndDialog(hwnd_, IDOK);
      return true;
    case IDCANCEL:
      EndDialog(hwnd_, IDCANCEL);
      return true;
    case kPropsApplyId:
      if (code == BN_CLICKED) BApplyClick();
      return true;
    case IDC_SHOW_PROGRESS:
    case IDC_CONTEXT_MENU:
    case IDC_SEND_TO:
      if (code == BN_CLICKED) CBShowClick();
      return true;
    default:
      return false;
  }
}

INT_PTR CALLBACK TFMProps::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG) {
      auto* self = reinterpret_cast<TFMProps*>(lParam);
      SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
      self->hwnd_ = hwnd;
      self->Build();
      self->FormShow();
      SetFocus(GetDlgItem(hwnd, IDOK));  // OK is the active control
      return FALSE;
    }
    TFMProps* self = From(hwnd);
    if (!self) return FALSE;
    switch (message) {
      case WM_COMMAND:
        return self->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
      case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->hwndFrom == self->tabs_ && header->code == static_cast<UINT>(TCN_SELCHANGE)) {
          TCITEMA item{};
          item.mask = TCIF_PARAM;
          int index = static_cast<int>(SendMessageA(self->tabs_, TCM_GETCURSEL, 0, 0));
          if (SendMessageA(self->tabs_, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item))) {
            self->active_ = static_cast<Tab>(item.lParam);
            self->ShowActiveSheet();
            self->PCChange();
          }
          return TRUE;
        }
        return FALSE;
      }
      default:
        return FALSE;
    }
  } catch (...) {
    return FALSE;  // nothing may unwind into the dialog manager
  }
}

INT_PTR CALLBACK TFMProps::SheetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
      return FALSE;
    }
    TFMProps* self = From(hwnd);
    if (!self) return FALSE;
    switch (message) {
      case WM_COMMAND:
        return self->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
      case WM_HSCROLL:
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(hwnd, IDC_PASSES)) self->TBarChange();
        return TRUE;
      default:
        return FALSE;
    }
  } catch (...) {
    return FALSE;
  }
}

INT32 ShowSettingsDialog(TFMProps* dialog) {
  std::unique_ptr<TFMProps> own;
  if (!dialog) {
    own = std::make_unique<TFMProps>();
    dialog = own.get();
  }
  dialog->SetTabVisible(TFMProps::Tab::General, false);
  dialog->SetActiveTab(TFMProps::Tab::Vaporizer);
  dialog->SetCaption("Properties: Vaporizer");
  return dialog->ShowModal();
}

}  // namespace vz::win32
