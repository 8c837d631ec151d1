#include "window/item_properties_win.h"

#include "handlers/props_dialog_win.h"
#include "platform/win32/dpi.h"
#include "platform/win32/shell_support_win.h"

namespace vz::win32 {


namespace {

// Names and paths are shown whole, whatever their script. Places and sizes
// are pixels at 96 DPI, scaled as the dialog scales its own.
HWND Control(HWND sheet, const wchar_t* cls, const std::string& text, DWORD style, int x, int y, int w, int h, int id) {
  HWND dialog = GetParent(sheet);
  auto font = reinterpret_cast<HFONT>(SendMessageW(dialog ? dialog : sheet, WM_GETFONT, 0, 0));
  const UINT dpi = MonitorDpiOf(dialog ? dialog : sheet);
  return CreateControl(sheet, cls, text, style, Scaled(x, dpi), Scaled(y, dpi), Scaled(w, dpi), Scaled(h, dpi), id,
                       font);
}

HWND Label(HWND sheet, const std::string& text, int x, int y, int id = -1, int width = 0, DWORD ellipsis = 0) {
  if (width == 0) width = 320 - x;
  return Control(sheet, L"STATIC", text, SS_LEFTNOWORDWRAP | SS_NOPREFIX | ellipsis, x, y, width, 15, id);
}

HWND CheckBox(HWND sheet, bool checked, int x, int y, int id) {
  // Shown, never changed here: the attributes belong to the stored item.
  HWND box = Control(sheet, L"BUTTON", "", BS_CHECKBOX | WS_DISABLED, x, y, 15, 17, id);
  if (box) SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  return box;
}

void Rule(HWND sheet, int top) { Control(sheet, L"STATIC", "", SS_ETCHEDHORZ, 9, top, 319, 2, -1); }

}  // namespace

void FillGeneralTab(HWND sheet, const PropertiesModel& m, HICON icon) {
  HWND image = Control(sheet, L"STATIC", "", SS_ICON, 12, 9, 32, 32, kIdIIcon);
  if (image && icon) SendMessageW(image, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  // A name or folder longer than its line loses its middle to an
  // ellipsis, never its end: the drive and the last name stay.
  Label(sheet, m.fileName, 69, 18, kIdLFileName, 244, SS_PATHELLIPSIS);
  Rule(sheet, 48);
  Label(sheet, "Type:", 12, 60);
  Label(sheet, m.type, 69, 60, kIdLType);
  Label(sheet, "Folder:", 12, 81);
  Label(sheet, m.folder, 69, 81, kIdLFolder, 0, SS_PATHELLIPSIS);
  Label(sheet, "Size:", 12, 102);
  Label(sheet, m.size, 69, 102, kIdLSize);
  HWND containCaption = Label(sheet, "Contain:", 12, 126, kIdLabel4, 56);
  HWND contain = Label(sheet, m.contents, 69, 126, kIdLContain);
  if (!m.showContents) {
    ShowWindow(containCaption, SW_HIDE);
    ShowWindow(contain, SW_HIDE);
  }
  Rule(sheet, 147);
  Label(sheet, "MS-DOS Name:", 12, 165, -1, 92);
  Label(sheet, m.msdosName, 105, 165, kIdLMSDOS);
  Label(sheet, "Created:", 12, 185, -1, 92);
  Label(sheet, m.created, 105, 185, kIdLCreated);
  Label(sheet, "Changed:", 12, 204, -1, 92);
  Label(sheet, m.changed, 105, 204, kIdLChanged);
  Label(sheet, "Opened:", 12, 224, -1, 92);
  Label(sheet, m.opened, 105, 224, kIdLOpened);
  Rule(sheet, 252);
  Label(sheet, "Attributes:", 12, 267, -1, 78);
  CheckBox(sheet, m.readOnly, 93, 267, kIdCBReadonly);
  Label(sheet, "Read-Only", 111, 269, -1, 75);
  CheckBox(sheet, m.archive, 93, 288, kIdCBArchive);
  Label(sheet, "Archive", 111, 290, -1, 75);
  CheckBox(sheet, m.hidden, 189, 267, kIdCBHidden);
  Label(sheet, "Hidden", 210, 269, -1, 75);
  CheckBox(sheet, m.system, 189, 288, kIdCBSystem);
  Label(sheet, "System", 210, 290, -1, 75);
}

void ShowItemProperties(HWND owner, HIMAGELIST largeImages, const std::vector<ShredItemId>& selected) {
  PropertiesModel model = BuildPropertiesModel(selected);
  TFMProps dialog(owner);
  if (model.kind == PropertiesCase::Settings) {
    ShowSettingsDialog(&dialog);
    return;
  }
  HICON icon = nullptr;
  if (model.hasIcon && largeImages) icon = ImageList_GetIcon(largeImages, model.iconIndex, ILD_NORMAL);
  dialog.SetTabVisible(TFMProps::Tab::Vaporizer, false);
  dialog.SetActiveTab(TFMProps::Tab::General);
  dialog.SetCaption(model.caption);
  dialog.SetGeneralFiller([&](HWND sheet) { FillGeneralTab(sheet, model, icon); });
  dialog.DisableApply();
  dialog.ShowModal();
  if (icon) DestroyIcon(icon);
}

}  // namespace vz::win32
