// A folder window of the test's own under the mouse pointer, which takes
// file drops as Explorer does: it moves the files in, under the names of
// the name map when there is one.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "platform/win32/com.h"

namespace vz::test {

// A folder window of our own that takes file drops as Explorer does: it
// moves the files in, under the names of the name map when there is one.
class FolderDropTarget : public com::Object<FolderDropTarget, IDropTarget> {
 public:
  explicit FolderDropTarget(std::wstring folder) : folder_(std::move(folder)) {}
  static const QITAB* QiTable() {
    static const QITAB t[] = {QITABENT(FolderDropTarget, IDropTarget), {nullptr, 0}};
    return t;
  }
  IFACEMETHODIMP DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    *effect &= DROPEFFECT_MOVE;
    return S_OK;
  }
  IFACEMETHODIMP DragOver(DWORD, POINTL, DWORD* effect) override {
    *effect &= DROPEFFECT_MOVE;
    return S_OK;
  }
  IFACEMETHODIMP DragLeave() override { return S_OK; }
  IFACEMETHODIMP Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    ++drops;
    kept = com::ComPtr<IDataObject>(data);  // as a target that reads it later would
    FORMATETC drop{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    FORMATETC map{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"FileNameMapW")), nullptr, DVASPECT_CONTENT, -1,
                  TYMED_HGLOBAL};
    STGMEDIUM files{}, names{};
    if (FAILED(data->GetData(&drop, &files))) return E_FAIL;
    bool hasMap = SUCCEEDED(data->GetData(&map, &names));
    const wchar_t* name = hasMap ? static_cast<const wchar_t*>(GlobalLock(names.hGlobal)) : nullptr;
    auto list = static_cast<HDROP>(files.hGlobal);
    for (UINT i = 0, count = DragQueryFileW(list, 0xFFFFFFFF, nullptr, 0); i < count; ++i) {
      std::wstring path(DragQueryFileW(list, i, nullptr, 0) + 1, L'\0');
      path.resize(DragQueryFileW(list, i, &path[0], static_cast<UINT>(path.size())));
      std::wstring target = name ? std::wstring(name) : path.substr(path.rfind(L'\\') + 1);
      if (name) name += wcslen(name) + 1;
      MoveFileW(path.c_str(), (folder_ + L"\\" + target).c_str());
    }
    if (name) GlobalUnlock(names.hGlobal);
    ReleaseStgMedium(&files);
    if (hasMap) ReleaseStgMedium(&names);
    *effect = DROPEFFECT_MOVE;
    return S_OK;
  }
  int drops = 0;
  com::ComPtr<IDataObject> kept;

 private:
  std::wstring folder_;
};


class DropFolderWindow {
 public:
  explicit DropFolderWindow(const std::wstring& folder) {
    POINT cursor{};
    GetCursorPos(&cursor);
    // A class of its own: a static control is transparent to the hit test.
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VzDropFolder";
    RegisterClassA(&wc);
    hwnd_ = CreateWindowExA(WS_EX_TOPMOST, "VzDropFolder", "target", WS_POPUP | WS_VISIBLE, cursor.x - 50,
                            cursor.y - 50, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    if (FolderDropTarget::CreateInstance(IID_IDropTarget, target_.PutVoid(), folder) == S_OK && hwnd_)
      RegisterDragDrop(hwnd_, target_.Get());
  }
  ~DropFolderWindow() {
    if (hwnd_) {
      RevokeDragDrop(hwnd_);
      DestroyWindow(hwnd_);
    }
  }
  HWND Handle() const { return hwnd_; }
  IDataObject* Kept() const { return target_ ? static_cast<FolderDropTarget*>(target_.Get())->kept.Get() : nullptr; }

 private:
  HWND hwnd_ = nullptr;
  com::ComPtr<IDropTarget> target_;
};

}  // namespace vz::test
