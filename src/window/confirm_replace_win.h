// Control ids of the confirm-replace dialog TFMConfirm, shared by the dialog
// and whoever drives it.
#pragma once

#include <windows.h>

namespace vz::win32 {

enum ConfirmReplaceControl : int {
  kIdImage1 = 1001,
  kIdLThis = 1002,
  kIdLabel1 = 1003,
  kIdIFirst = 1004,
  kIdLBytes1 = 1005,
  kIdLModified1 = 1006,
  kIdLabel2 = 1007,
  kIdISecond = 1008,
  kIdLBytes2 = 1009,
  kIdLModified2 = 1010,
  kIdBYes = IDYES,
  kIdBNo = IDNO,
};

constexpr const char* kConfirmReplaceCaption = "Confirm File Replace";
constexpr int kConfirmReplaceWidth = 418;   // client area at 96 dots per inch
constexpr int kConfirmReplaceHeight = 226;

}  // namespace vz::win32
