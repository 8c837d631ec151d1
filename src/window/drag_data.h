// What a drag out of the item window carries, built without the platform:
// the file list block (a 20-byte DROPFILES header and the stored paths in
// 16-bit text) and the name maps (each item's name from before it was
// sent), in list order, and the mouse rule that turns a press and a move
// into a drag.
#pragma once

#include <string>
#include <vector>

#include "store/item_id.h"

namespace vz {

constexpr std::size_t kDropFilesHeaderSize = 20;

// The trimmed stored paths and the file-name parts of the trimmed original
// paths of the items, in order.
std::vector<std::string> DragPaths(const std::vector<ShredItemId>& items);
std::vector<std::string> DragNames(const std::vector<ShredItemId>& items);

// DROPFILES {offset 20, point 0,0, non-client 0, wide 1}, then each path in
// UTF-16 and a zero character, then one more zero character: its bytes.
std::string DropFilesBlock(const std::vector<std::u16string>& paths);
// Each name and a zero, then one more zero: in 8-bit and in 16-bit text.
std::string NameMapBlock(const std::vector<std::string>& names);
std::u16string WideNameMapBlock(const std::vector<std::u16string>& names);

// Press, move and release on the list, and the list's own report of a
// drag. A list that tracks the mouse itself inside the press (Windows')
// takes the capture, gives it back once the mouse went far enough, and then
// reports the drag of the item pressed, no move having reached its parent
// meanwhile: that report starts the drag. A list that passes the moves on
// gets the rule of its own: a left press over an item arms a drag; a move
// of more than 3 pixels from the press, horizontally or vertically, with
// the left button still down, starts it; a release, a lost capture or a
// move with the button up disarms, and a report after moves counts only
// while armed. Either way one press starts one drag at most.
// A double click comes as Windows sends it (WM_LBUTTONDOWN, WM_LBUTTONUP,
// WM_LBUTTONDBLCLK, WM_LBUTTONUP: "Double Clicks", learn.microsoft.com/
// windows/win32/learnwin32/mouse-clicks): its second press starts no drag,
// and the next real press is a press like any other.
class DragGesture {
 public:
  void MouseDown(bool leftButton, bool overItem, int x, int y);
  // The second press of a double click (WM_LBUTTONDBLCLK).
  void DoubleClickDown(int x, int y);
  // True when the drag is to start now (the gesture disarms itself).
  bool MouseMove(int x, int y, bool leftDown);
  // The list reported the drag of an item; true when it is to start now.
  bool ListBeganDrag();
  void MouseUp() { armed_ = false; }
  // The list reported the double click (inside its second press).
  void DoubleClick() {
    armed_ = false;
    pressIsDoubleClick_ = true;
  }
  bool Armed() const { return armed_; }

 private:
  bool armed_ = false;
  bool pressIsDoubleClick_ = false;  // the current press is a double click's second
  bool started_ = false;             // the current press started its drag
  bool moved_ = false;               // a move came since the press
  int x_ = 0, y_ = 0;
};

}  // namespace vz
