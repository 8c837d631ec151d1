// TDropShred: the drop target of the Vaporizer folder and of its open
// window. Only file lists are taken, and only as a move into the store.
#pragma once

#include <windows.h>
#include <ole2.h>

namespace vz::win32 {

// folder: the object that made the target (held counted for the target's
// life), or null for the target registered on the folder's window; window:
// the window whose top-level window owns the boxes a drop shows (that
// window, or the one the shell gave the folder's CreateViewObject); none,
// and the boxes have no owner.
HRESULT CreateDropShred(IUnknown* folder, REFIID riid, void** ppv, HWND window = nullptr);

// Whether a drag offers a file list: accepted and a move, or neither.
// The key state and the source's allowed effects play no part.
void QueryDropFormat(IDataObject* data, bool& accepted, HRESULT& result, DWORD& effect, POINTL point);
// The effect shown while dragging over: a move when accepted, else none.
void DropOverEffect(bool accepted, HRESULT& result, DWORD& effect, POINTL point);

}  // namespace vz::win32
