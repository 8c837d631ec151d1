// The properties command of the Vaporizer folder's window: the General tab
// of TFMProps for one stored file, one stored folder or a group, or the
// settings when nothing is selected.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "store/item_id.h"
#include "window/properties.h"

namespace vz::win32 {

// Control ids of the General tab.
enum : int {
  kIdIIcon = 1200,
  kIdLFileName,
  kIdLType,
  kIdLFolder,
  kIdLSize,
  kIdLabel4,
  kIdLContain,
  kIdLMSDOS,
  kIdLCreated,
  kIdLChanged,
  kIdLOpened,
  kIdCBReadonly,
  kIdCBArchive,
  kIdCBHidden,
  kIdCBSystem,
};

// Creates the General tab's controls inside the sheet and fills them from
// the model; icon may be null.
void FillGeneralTab(HWND sheet, const PropertiesModel& model, HICON icon);

// Shows the dialog for the selected items (in list order); largeImages is
// the system's large icon list.
void ShowItemProperties(HWND owner, HIMAGELIST largeImages, const std::vector<ShredItemId>& selected);

}  // namespace vz::win32
