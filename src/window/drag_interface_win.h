// TDragInterface: the item window's drag source. It offers the selected
// stored items as a file list (CF_HDROP) with a name map that carries each
// item's name from before it was sent, so a drop target that honours name
// maps moves the stored files out under their own names.
#pragma once

#include <functional>
#include <vector>

#include "dragsource/kx_drag_source_win.h"
#include "store/item_id.h"

namespace vz::win32 {

class TDragInterface : public TKxDragAppInterface {
 public:
  // selection: the list's selected items in list order, asked when the data
  // is asked for. dropped: runs when the button is released over a target
  // (the window then prunes the index once the move is done).
  TDragInterface(HWND owner, std::function<std::vector<ShredItemId>()> selection, std::function<void()> dropped);

  HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
  HRESULT QueryGetData(const FORMATETC& format) override;
  HRESULT GetData(const FORMATETC& format, STGMEDIUM& medium) override;
  // The file list, the 16-bit name map and the 8-bit one, in that order: a
  // target that takes the first map it finds gets every name whole.
  int FormatCount() override { return 3; }
  void GetFormatEtc(int index, FORMATETC& format) override;

 private:
  std::function<std::vector<ShredItemId>()> selection_;
  std::function<void()> dropped_;
};

}  // namespace vz::win32
