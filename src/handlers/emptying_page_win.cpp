#include "handlers/emptying_page_win.h"

#include <commctrl.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "handlers/settings_save_win.h"
#include "platform/schedule.h"
#include "platform/win32/modal.h"
#include "platform/win32/shell_support_win.h"
#include "platform/win32/wide.h"
#include "resources/resource.h"
#include "settings/settings.h"

namespace vz::win32 {
namespace {

struct PageState {
  bool loading = false;            // the page's own writes are no user's changes
  std::optional<bool> scheduled;   // as the system has it; unknown when it cannot be asked
};

PageState* State(HWND page) { return reinterpret_cast<PageState*>(GetWindowLongPtrW(page, DWLP_USER)); }

void Changed(HWND page) {
  PageState* state = State(page);
  if (state && !state->loading) SendMessageW(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
}

bool Checked(HWND page) { return SendDlgItemMessageW(page, IDC_SCHEDULED, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// The program scheduled runs start: the launcher beside this module.
std::string LauncherPath() {
  std::wstring path(32768, L'\0');
  DWORD n = GetModuleFileNameW(ModuleInstance(), &path[0], static_cast<DWORD>(path.size()));
  if (n == 0 || n >= path.size()) return {};
  path.resize(n);
  return Narrow(path.substr(0, path.find_last_of(L'\\') + 1) + L"vaporizerw.exe");
}

void ShowSchedule(HWND page, const std::string& unknownWhy = {}) {
  PageState* state = State(page);
  state->loading = true;
  SendDlgItemMessageW(page, IDC_SCHEDULED, BM_SETCHECK, state->scheduled.value_or(false) ? BST_CHECKED : BST_UNCHECKED,
                      0);
  state->loading = false;
  EnableWindow(GetDlgItem(page, IDC_SCHEDULED), state->scheduled.has_value());
  std::string note;
  if (!state->scheduled) note = "The schedule cannot be changed here: " + unknownWhy + ".";
  else if (*state->scheduled) note = "Each run asks nothing and leaves one line in " + EmptyingLogPlace() + ".";
  SetText(GetDlgItem(page, IDC_SCHEDULE_NOTE), note);
}

// A number box with its arrows, within the range the screens offer.
void SetNumber(HWND page, int edit, int spin, const NumberSetting& setting, std::uint32_t value) {
  SendDlgItemMessageW(page, spin, UDM_SETRANGE32, setting.offeredLow, static_cast<LPARAM>(setting.offeredHigh));
  SendDlgItemMessageW(page, edit, EM_LIMITTEXT, std::to_string(setting.offeredHigh).size(), 0);
  SetDlgItemInt(page, edit, value, FALSE);
}

// What a box says, brought into the offered range; an empty box is 0.
std::uint32_t GetNumber(HWND page, int edit, const NumberSetting& setting) {
  BOOL ok = FALSE;
  UINT v = GetDlgItemInt(page, edit, &ok, FALSE);
  if (!ok) return GetWindowTextLengthW(GetDlgItem(page, edit)) ? setting.offeredHigh : 0;  // past what a UINT holds
  return v < setting.offeredLow ? setting.offeredLow : v > setting.offeredHigh ? setting.offeredHigh : v;
}

void Init(HWND page) {
  auto* state = new PageState;
  SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
  state->loading = true;
  const EmptyingSettings s = LoadEmptyingSettings();
  SetNumber(page, IDC_EMPTY_AFTER, IDC_EMPTY_AFTER_SPIN, kEmptyAfterDays, s.afterDays);
  SetNumber(page, IDC_STORE_LIMIT, IDC_STORE_LIMIT_SPIN, kStoreLimitMb, s.storeLimitMb);
  state->loading = false;
  std::string why;
  if (auto schedule = ReadEmptyingSchedule(&why)) state->scheduled = schedule->on;
  ShowSchedule(page, why);
  ShowPolicy(page);
}

void Apply(HWND page) {
  PageState* state = State(page);
  EmptyingSettings s;
  s.afterDays = GetNumber(page, IDC_EMPTY_AFTER, kEmptyAfterDays);
  s.storeLimitMb = GetNumber(page, IDC_STORE_LIMIT, kStoreLimitMb);
  state->loading = true;
  SetDlgItemInt(page, IDC_EMPTY_AFTER, s.afterDays, FALSE);  // as saved
  SetDlgItemInt(page, IDC_STORE_LIMIT, s.storeLimitMb, FALSE);
  state->loading = false;
  KeepUsersOwnWherePolicyRules(s);
  SaveEmptyingSettings(s);
  if (!state->scheduled || Checked(page) == *state->scheduled) return;
  std::string why, launcher = LauncherPath();
  const DWORD attributes = GetFileAttributesW(Widen(launcher).c_str());
  if (Checked(page) && (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)))
    why = launcher + " is missing; the scheduled runs start it";
  if (why.empty() && SwitchEmptyingSchedule(Checked(page), launcher, &why)) {
    state->scheduled = Checked(page);
  } else {
    ModalMessageBox(page, "The scheduled emptying could not be switched " + std::string(Checked(page) ? "on" : "off") +
                              ": " + why + ".",
                    "Vaporizer", MB_OK | MB_ICONERROR);
  }
  ShowSchedule(page);
}

}  // namespace

INT_PTR CALLBACK EmptyingPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    switch (message) {
      case WM_INITDIALOG:
        Init(page);
        return TRUE;
      case WM_COMMAND:
        if ((LOWORD(wParam) == IDC_EMPTY_AFTER || LOWORD(wParam) == IDC_STORE_LIMIT) && HIWORD(wParam) == EN_CHANGE)
          Changed(page);
        if (LOWORD(wParam) == IDC_SCHEDULED && HIWORD(wParam) == BN_CLICKED) Changed(page);
        return FALSE;
      case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (!header || !State(page)) return FALSE;
        if (header->code == static_cast<UINT>(PSN_APPLY)) {
          Apply(page);
          SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_NOERROR);
          return TRUE;
        }
        if (header->code == static_cast<UINT>(PSN_KILLACTIVE)) {
          SetWindowLongPtrW(page, DWLP_MSGRESULT, FALSE);
          return TRUE;
        }
        return FALSE;
      }
      case WM_NCDESTROY:
        delete State(page);
        SetWindowLongPtrW(page, DWLP_USER, 0);
        return FALSE;
      default:
        return FALSE;
    }
  } catch (...) {
    return FALSE;  // nothing may unwind into the dialog manager
  }
}

HPROPSHEETPAGE CreateEmptyingPage(LPFNPSPCALLBACKW callback) {
  PROPSHEETPAGEW page{};
  page.dwSize = PROPSHEETPAGEW_V1_SIZE;
  page.dwFlags = callback ? PSP_USECALLBACK : PSP_DEFAULT;
  page.hInstance = ModuleInstance();
  page.pszTemplate = MAKEINTRESOURCEW(IDD_EMPTYING_PAGE);
  page.pfnDlgProc = &EmptyingPageProc;
  page.pfnCallback = callback;
  return CreatePropertySheetPageW(&page);
}

HWND CreateEmptyingSheet(HWND parent) {
  HRSRC found = FindResourceW(ModuleInstance(), MAKEINTRESOURCEW(IDD_EMPTYING_PAGE), MAKEINTRESOURCEW(5));  // RT_DIALOG
  HGLOBAL loaded = found ? LoadResource(ModuleInstance(), found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return nullptr;
  // The template as a tab sheet: a control of its parent, without a caption.
  std::vector<DWORD> copy((SizeofResource(ModuleInstance(), found) + 3) / 4);
  std::memcpy(copy.data(), data, SizeofResource(ModuleInstance(), found));
  auto* dialog = reinterpret_cast<DLGTEMPLATE*>(copy.data());
  dialog->style = (dialog->style & ~(WS_CAPTION | WS_POPUP | WS_VISIBLE)) | WS_CHILD | DS_CONTROL;
  return CreateDialogIndirectParamW(ModuleInstance(), dialog, parent, &EmptyingPageProc, 0);
}

void ApplyEmptyingPage(HWND page) {
  NMHDR apply{GetParent(page), 0, static_cast<UINT>(PSN_APPLY)};
  SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&apply));
}

}  // namespace vz::win32
