// KxDragSource: turns an application object into an OLE drag source. The
// application derives from TKxDragAppInterface and answers the callbacks;
// the library supplies the drop source, the data object and the format
// enumerator that DoDragDrop needs, each forwarding to the application.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <memory>

namespace vz::win32 {

class TKxDragAppInterface : public std::enable_shared_from_this<TKxDragAppInterface> {
 public:
  explicit TKxDragAppInterface(HWND owner) : owner_(owner) {}
  virtual ~TKxDragAppInterface() = default;
  TKxDragAppInterface(const TKxDragAppInterface&) = delete;
  TKxDragAppInterface& operator=(const TKxDragAppInterface&) = delete;

  // Runs a drag with a drop source and a data object for this object.
  // Call on an object owned by a shared_ptr: the COM objects keep it alive
  // for as long as anyone holds them.
  virtual HRESULT StartDrag(DWORD allowedEffects, DWORD* effect);
  // Escape cancels; the left button still down continues; else drop.
  virtual HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState);
  virtual HRESULT GiveFeedback(DWORD effect);
  // The base offers no format at all.
  virtual HRESULT QueryGetData(const FORMATETC& format);
  virtual HRESULT GetData(const FORMATETC& format, STGMEDIUM& medium);
  virtual int FormatCount();
  virtual void GetFormatEtc(int index, FORMATETC& format);

  HWND Owner() const { return owner_; }

 private:
  HWND owner_;
};

using DragApp = std::shared_ptr<TKxDragAppInterface>;

// The three COM objects, each for one application object (which may be
// null: then data calls answer DV_E_FORMATETC, enumeration S_FALSE, the
// drop source S_OK and the default cursors).
HRESULT CreateKxDropSource(DragApp app, IDropSource** out);
HRESULT CreateKxDragDataObject(DragApp app, IDataObject** out);
HRESULT CreateKxDragEnumFormatEtc(DragApp app, int position, IEnumFORMATETC** out);

}  // namespace vz::win32
