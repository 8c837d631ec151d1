#include "handlers/props_dialog_win.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>

#include "handlers/emptying_page_win.h"
#include "handlers/settings_save_win.h"
#include "platform/win32/dpi.h"
#include "platform/win32/modal.h"
#include "platform/win32/shell_support_win.h"
#include "resources/resource.h"
#include "settings/settings.h"

namespace vz::win32 {


namespace {

constexpr int kPanelHeight = 34;
constexpr int kButtonWidth = 75, kButtonHeight = 25;
constexpr RECT kTabsRect = {8, 6, 8 + 346, 6 + 350};  // left, top, right, bottom

constexpr const char* kOptionsText =
    "Use the slider below to specify how many times Vaporizer will overwrite vaporized files with random data "
    "before truncating and deleting them.  The greater the value the more secure (but slower) the process.";
constexpr const char* kNoteText =
    "Note:  7 or more overwrites qualifies for government and military class security.";
constexpr const char* kShowProgressText = "Show progress indicator while vaporizing";
constexpr const char* kContextMenuText = "Add \"Send to Vaporizer\" option to right-click context menus";
constexpr const char* kSendToText = "Add Vaporizer option under \"Send To...\" context menu";
constexpr const char* kReceiptsText = "keep a receipt of every vaporize";
constexpr int kCheckBoxWidth = 322;

TFMProps* From(HWND hwnd) { return reinterpret_cast<TFMProps*>(GetWindowLongPtrW(hwnd, DWLP_USER)); }

bool Checked(HWND sheet, int id) { return SendDlgItemMessageW(sheet, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

}  // namespace

TFMProps::~TFMProps() { Cleanup(); }

void TFMProps::Cleanup() {
  if (icon_) DestroyIcon(icon_);
  icon_ = nullptr;
  hwnd_ = tabs_ = apply_ = nullptr;
  for (HWND& sheet : sheets_) sheet = nullptr;
  emptyingChanged_ = false;
}

void TFMProps::DisableApply() {
  if (apply_) EnableWindow(apply_, FALSE);
}

int TFMProps::ShowModal() {
  InitCommonControls();
  DialogTemplate dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 10, 10);
  INT_PTR result =
      ModalDialog(ModuleInstance(), dialog.Get(), owner_, &TFMProps::DialogProc, reinterpret_cast<LPARAM>(this));
  Cleanup();
  // The windows that used the fonts are gone now.
  font_.Reset();
  boldFont_.Reset();
  return result == IDOK ? IDOK : result == IDCANCEL ? IDCANCEL : 0;
}

void TFMProps::Build() {
  // The caption names the item: shown whole, whatever its script.
  SetText(hwnd_, caption_);
  // Laid out in pixels at 96 DPI, scaled to the DPI of the monitor the
  // dialog opens on (its owner's), in the shell's message font at that DPI.
  dpi_ = MonitorDpiOf(owner_ ? owner_ : hwnd_);
  font_ = MessageFont(dpi_);
  boldFont_ = MessageFont(dpi_, FW_BOLD, 13);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  HFONT font = font_.Get();
  auto px = [this](int v) { return Scaled(v, dpi_); };
  // The message font may be wider than the one the layout was drawn for:
  // the dialog, its tabs and the settings' wide controls grow by what the
  // widest check box needs beyond its width (its box about a line wide).
  int widest = 0;
  for (const char* text : {kShowProgressText, kContextMenuText, kSendToText, kReceiptsText}) {
    SIZE size = TextExtent(hwnd_, font, text);
    widest = std::max<int>(widest, size.cx + size.cy + px(8));
  }
  extra_ = std::max(0, widest - px(kCheckBoxWidth));

  // Client area of 362 x 397 pixels at 96 DPI (and the growth), centred on
  // the work area of the owner's monitor.
  RECT frame = {0, 0, px(kClientWidth) + extra_, px(kClientHeight)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
  CentreOnMonitorOf(hwnd_, owner_, frame.right - frame.left, frame.bottom - frame.top);

  // The bottom panel's buttons.
  int buttonTop = kClientHeight - kPanelHeight + (kPanelHeight - kButtonHeight) / 2;
  CreateControl(hwnd_, L"BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, px(117) + extra_, px(buttonTop),
                px(kButtonWidth), px(kButtonHeight), IDOK, font);
  CreateControl(hwnd_, L"BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, px(198) + extra_, px(buttonTop),
                px(kButtonWidth), px(kButtonHeight), IDCANCEL, font);
  apply_ = CreateControl(hwnd_, L"BUTTON", "&Apply", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, px(279) + extra_,
                         px(buttonTop), px(kButtonWidth), px(kButtonHeight), kPropsApplyId, font);

  // The page control: one tab per visible sheet, each sheet a child dialog
  // laid over the tab control's display area.
  const RECT tabsRect = {px(kTabsRect.left), px(kTabsRect.top), px(kTabsRect.right) + extra_, px(kTabsRect.bottom)};
  tabs_ = CreateControl(hwnd_, WC_TABCONTROLW, "", WS_CLIPSIBLINGS | WS_TABSTOP, tabsRect.left, tabsRect.top,
                        tabsRect.right - tabsRect.left, tabsRect.bottom - tabsRect.top, kPropsTabsId, font);
  DialogTemplate sheet(WS_CHILD | DS_CONTROL, 10, 10);
  const int emptying = static_cast<int>(Tab::Emptying);
  visible_[emptying] = visible_[static_cast<int>(Tab::Vaporizer)];
  for (int i = 0; i < kTabs; ++i) {
    if (i == emptying) {
      if (visible_[i]) sheets_[i] = CreateEmptyingSheet(hwnd_);  // reads what it shows now
      if (!sheets_[i]) continue;
    } else {
      sheets_[i] = CreateDialogIndirectParamW(ModuleInstance(), sheet.Get(), hwnd_, &TFMProps::SheetProc,
                                              reinterpret_cast<LPARAM>(this));
    }
    if (!visible_[i]) continue;
    TCITEMW item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = const_cast<wchar_t*>(i == emptying ? L"Emptying" : L"General");
    item.lParam = i;
    SendMessageW(tabs_, TCM_INSERTITEMW, SendMessageW(tabs_, TCM_GETITEMCOUNT, 0, 0), reinterpret_cast<LPARAM>(&item));
  }
  RECT display = {0, 0, tabsRect.right - tabsRect.left, tabsRect.bottom - tabsRect.top};
  SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  for (HWND s : sheets_) {
    if (!s) continue;
    SendMessageW(s, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowPos(s, HWND_TOP, tabsRect.left + display.left, tabsRect.top + display.top, display.right - display.left,
                 display.bottom - display.top, SWP_NOACTIVATE);
  }
  BuildSettingsTab(sheets_[static_cast<int>(Tab::Vaporizer)]);
  if (generalFiller_) generalFiller_(sheets_[static_cast<int>(Tab::General)]);

  if (!visible_[static_cast<int>(active_)]) active_ = visible_[0] ? Tab::General : Tab::Vaporizer;
  ShowActiveSheet();
}

void TFMProps::BuildSettingsTab(HWND sheet) {
  HFONT font = font_.Get();
  auto px = [this](int v) { return Scaled(v, dpi_); };
  // A control of the tab at its 96-DPI place and size; a wide one grows
  // with the dialog.
  auto control = [&](const wchar_t* cls, const std::string& text, DWORD style, int x, int y, int w, int h, int id,
                     HFONT f, bool grows = false) {
    return CreateControl(sheet, cls, text, style, px(x), px(y), px(w) + (grows ? extra_ : 0), px(h), id, f);
  };

  HWND image = control(L"STATIC", "", SS_ICON | SS_CENTERIMAGE, 8, 9, 34, 34, -1, font);
  const int iconSize = px(32);
  icon_ = static_cast<HICON>(
      LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(IDI_VAPORIZER_SETTINGS), IMAGE_ICON, iconSize, iconSize, 0));
  if (image && icon_) SendMessageW(image, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
  control(L"STATIC", "Vaporizer", SS_LEFTNOWORDWRAP, 48, 8, 120, 18, IDC_SETTINGS_TITLE,
          boldFont_.Get() ? boldFont_.Get() : font);

  // The group box and what it holds (positions inside the group).
  const int gx = 8, gy = 48;
  control(L"BUTTON", "Vaporization Options ", BS_GROUPBOX, gx, gy, 322, 181, IDC_SETTINGS_GROUP, font, true);
  control(L"STATIC", kOptionsText, SS_LEFT, gx + 8, gy + 18, 306, 56, -1, font, true);
  control(L"STATIC", "Faster", SS_CENTER, gx + 4, gy + 88, 44, 13, -1, font);
  control(L"STATIC", "More secure", SS_CENTER, gx + 244, gy + 88, 72, 13, -1, font);
  HWND bar = control(TRACKBAR_CLASSW, "", TBS_HORZ | TBS_BOTTOM | TBS_AUTOTICKS | TBS_FIXEDLENGTH | WS_TABSTOP, gx + 50,
                     gy + 81, 192, 31, IDC_PASSES, font);
  SendMessageW(bar, TBM_SETRANGE, FALSE, MAKELONG(kShredCount.offeredLow, kShredCount.offeredHigh));
  SendMessageW(bar, TBM_SETPOS, TRUE, 1);
  SendMessageW(bar, TBM_SETLINESIZE, 0, 0);
  SendMessageW(bar, TBM_SETPAGESIZE, 0, 1);
  SendMessageW(bar, TBM_SETTICFREQ, 1, 0);
  SendMessageW(bar, TBM_SETTHUMBLENGTH, px(20), 0);
  control(L"STATIC", PassesLabelText(1), SS_LEFTNOWORDWRAP, gx + 54, gy + 113, 260, 13, IDC_PASSES_LABEL, font);
  control(L"STATIC", kNoteText, SS_LEFT, gx + 8, gy + 138, 306, 30, -1, font, true);

  control(L"BUTTON", kShowProgressText, BS_AUTOCHECKBOX | WS_TABSTOP, 8, 240, kCheckBoxWidth, 17, IDC_SHOW_PROGRESS,
          font, true);
  control(L"BUTTON", kContextMenuText, BS_AUTOCHECKBOX | WS_TABSTOP, 8, 261, kCheckBoxWidth, 17, IDC_CONTEXT_MENU, font,
          true);
  control(L"BUTTON", kSendToText, BS_AUTOCHECKBOX | WS_TABSTOP, 8, 282, kCheckBoxWidth, 17, IDC_SEND_TO, font, true);
  control(L"BUTTON", kReceiptsText, BS_AUTOCHECKBOX | WS_TABSTOP, 8, 303, kCheckBoxWidth, 17, IDC_KEEP_RECEIPTS, font,
          true);
}

void TFMProps::ShowActiveSheet() {
  int count = static_cast<int>(SendMessageW(tabs_, TCM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    TCITEMW item{};
    item.mask = TCIF_PARAM;
    SendMessageW(tabs_, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
    if (item.lParam == static_cast<int>(active_)) SendMessageW(tabs_, TCM_SETCURSEL, i, 0);
  }
  for (int i = 0; i < kTabs; ++i)
    if (sheets_[i]) ShowWindow(sheets_[i], i == static_cast<int>(active_) ? SW_SHOW : SW_HIDE);
}

void TFMProps::FormShow() {
  PCChange();
  DisableApply();
  emptyingChanged_ = false;
}

void TFMProps::PCChange() {
  if (active_ != Tab::Vaporizer) return;
  HWND sheet = Sheet(Tab::Vaporizer);
  VaporizerSettings s = LoadSettings();
  const std::pair<int, bool> boxes[] = {{IDC_SHOW_PROGRESS, s.showProgress},
                                        {IDC_CONTEXT_MENU, s.insertContextMenu},
                                        {IDC_SEND_TO, s.insertSendTo},
                                        {IDC_KEEP_RECEIPTS, ReadDestructionSettings().values.keepReceipts}};
  for (const auto& box : boxes) {
    SendDlgItemMessageW(sheet, box.first, BM_SETCHECK, box.second ? BST_CHECKED : BST_UNCHECKED, 0);
    CBShowClick();  // setting a box counts as a click
  }
  TBarChange();
  HWND bar = GetDlgItem(sheet, IDC_PASSES);
  LRESULT before = SendMessageW(bar, TBM_GETPOS, 0, 0);
  SendMessageW(bar, TBM_SETPOS, TRUE, s.passCount);  // the slider keeps it within 1 to 10
  if (SendMessageW(bar, TBM_GETPOS, 0, 0) != before) TBarChange();
  SetText(GetDlgItem(sheet, IDC_PASSES_LABEL), PassesLabelText(s.passCount));
  ShowPolicy(sheet);
}

void TFMProps::TBarChange() {
  HWND sheet = Sheet(Tab::Vaporizer);
  if (IsWindowVisible(hwnd_)) EnableWindow(apply_, TRUE);
  int position = static_cast<int>(SendDlgItemMessageW(sheet, IDC_PASSES, TBM_GETPOS, 0, 0));
  SetText(GetDlgItem(sheet, IDC_PASSES_LABEL), PassesLabelText(position));
}

void TFMProps::CBShowClick() { EnableWindow(apply_, TRUE); }

void TFMProps::BApplyClick() {
  Save();
  // Focus must not stay on a disabled button, or the keyboard is lost.
  if (GetFocus() == apply_) SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(hwnd_, IDOK)), TRUE);
  DisableApply();
}

void TFMProps::Save() {
  // The Emptying tab saves what was changed on it, whichever tab is shown.
  if (emptyingChanged_ && sheets_[static_cast<int>(Tab::Emptying)]) {
    ApplyEmptyingPage(sheets_[static_cast<int>(Tab::Emptying)]);
    emptyingChanged_ = false;
  }
  if (active_ != Tab::Vaporizer) return;
  HWND sheet = Sheet(Tab::Vaporizer);
  VaporizerSettings s;
  s.passCount = static_cast<int>(SendDlgItemMessageW(sheet, IDC_PASSES, TBM_GETPOS, 0, 0));
  s.showProgress = Checked(sheet, IDC_SHOW_PROGRESS);
  s.insertContextMenu = Checked(sheet, IDC_CONTEXT_MENU);
  s.insertSendTo = Checked(sheet, IDC_SEND_TO);
  DestructionSettings d = ReadDestructionSettings(false).values;
  d.keepReceipts = Checked(sheet, IDC_KEEP_RECEIPTS);
  KeepUsersOwnWherePolicyRules(s, d);
  SaveSettingsShowingErrors(s, hwnd_);
  SaveDestructionSettings(d);
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
    case IDC_KEEP_RECEIPTS:
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
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
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
      case PSM_CHANGED:  // from the Emptying tab, as a property page tells its sheet
        self->emptyingChanged_ = true;
        EnableWindow(self->apply_, TRUE);
        return TRUE;
      case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->hwndFrom == self->tabs_ && header->code == static_cast<UINT>(TCN_SELCHANGE)) {
          TCITEMW item{};
          item.mask = TCIF_PARAM;
          int index = static_cast<int>(SendMessageW(self->tabs_, TCM_GETCURSEL, 0, 0));
          if (SendMessageW(self->tabs_, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item))) {
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
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
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
