// TFMProps: the properties dialog. Two tabs captioned "General": the
// file-information tab of stored items and the Vaporizer's settings tab;
// beside the settings tab, the Emptying tab, shown whenever it is.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/win32/dpi.h"

namespace vz::win32 {

// Control ids of the dialog; the settings tab uses the settings page's ids.
enum : int {
  kPropsApplyId = 1100,
  kPropsTabsId = 1101,
};

class TFMProps {
 public:
  enum class Tab { General = 0, Vaporizer = 1, Emptying = 2 };
  static constexpr int kTabs = 3;

  // The client area in pixels at 96 dots per inch (wider where the message
  // font needs it), and the tab sheets' size.
  static constexpr int kClientWidth = 362, kClientHeight = 397;

  explicit TFMProps(HWND owner = nullptr) : owner_(owner) {}
  ~TFMProps();
  TFMProps(const TFMProps&) = delete;
  TFMProps& operator=(const TFMProps&) = delete;

  void SetCaption(const std::string& caption) { caption_ = caption; }
  // The Emptying tab goes with the settings tab.
  void SetTabVisible(Tab tab, bool visible) { visible_[static_cast<int>(tab)] = visible; }
  void SetActiveTab(Tab tab) { active_ = tab; }
  Tab ActiveTab() const { return active_; }

  // The General tab's contents: called once the dialog's windows exist,
  // with the tab sheet's window, before the dialog shows. Whoever shows
  // stored items creates its labels and check boxes there (positions in
  // pixels inside the sheet) and fills them from its model.
  using SheetFiller = std::function<void(HWND sheet)>;
  void SetGeneralFiller(SheetFiller filler) { generalFiller_ = std::move(filler); }
  // Apply starts disabled; the file-information case keeps it so.
  void DisableApply();

  // Shows the dialog modally: 1 after OK, 2 after Cancel or closing, 0 when
  // it could not be shown.
  int ShowModal();

  // While shown: the dialog's window and a tab sheet's window.
  HWND Handle() const { return hwnd_; }
  HWND Sheet(Tab tab) const { return sheets_[static_cast<int>(tab)]; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  static INT_PTR CALLBACK SheetProc(HWND, UINT, WPARAM, LPARAM);
  void Build();
  void BuildSettingsTab(HWND sheet);
  void ShowActiveSheet();
  bool OnCommand(int id, int code);
  void FormShow();
  void PCChange();
  void TBarChange();
  void CBShowClick();
  void BApplyClick();
  void Save();
  void Cleanup();

  HWND owner_;
  std::string caption_;
  bool visible_[kTabs] = {true, true, true};
  bool emptyingChanged_ = false;
  Tab active_ = Tab::General;
  SheetFiller generalFiller_;

  HWND hwnd_ = nullptr;
  HWND tabs_ = nullptr;
  HWND sheets_[kTabs] = {};
  HWND apply_ = nullptr;
  // The shell's message font at the dialog's DPI, and its bold title.
  Font font_, boldFont_;
  UINT dpi_ = 96;
  int extra_ = 0;  // pixels the layout grew by for the font's width
  HICON icon_ = nullptr;
};

}  // namespace vz::win32

// Shows the settings tab alone in a dialog titled "Properties: Vaporizer".
// dialog: one made by this module, or null for a new one without an owner;
// a dialog handed in is not destroyed. Returns the modal result.
namespace vz::win32 {
// The settings alone, in the caller's dialog or a new one without an owner,
// captioned "Properties: Vaporizer"; the modal result (1 OK, 2 Cancel).
// The caller's dialog is left to the caller.
INT32 ShowSettingsDialog(TFMProps* dialog);
}  // namespace vz::win32
