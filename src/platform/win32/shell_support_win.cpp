#include "platform/win32/shell_support_win.h"

#include <shlwapi.h>

#include <cstddef>
#include <cstring>

#include "platform/win32/wide.h"

namespace vz::win32 {

HINSTANCE ModuleInstance() {
  // Whatever image this object was linked into: asked once by an address
  // inside it.
  static const char marker = 0;
  static const HINSTANCE instance = [] {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&marker), &module);
    return module;
  }();
  return instance;
}

HRESULT StgMedium::GetFrom(IDataObject* data, FORMATETC& format) {
  Reset();
  if (!data) return E_POINTER;
  STGMEDIUM got{};
  HRESULT hr = data->GetData(&format, &got);
  if (FAILED(hr)) return hr;
  medium_ = got;
  held_ = true;
  return hr;
}

void StgMedium::Reset() {
  if (held_) ReleaseStgMedium(&medium_);
  medium_ = STGMEDIUM{};
  held_ = false;
}

GlobalView::GlobalView(HGLOBAL block)
    : block_(block), data_(block ? GlobalLock(block) : nullptr), size_(data_ ? GlobalSize(block) : 0) {}

GlobalView::~GlobalView() {
  if (data_) GlobalUnlock(block_);
}

HRESULT PutStrRet(const std::wstring& text, STRRET* out) {
  if (!out) return E_POINTER;
  out->uType = STRRET_WSTR;
  out->pOleStr = nullptr;
  return SHStrDupW(text.c_str(), &out->pOleStr);
}

std::wstring TakeStrRet(STRRET& name, PCUITEMID_CHILD item) {
  wchar_t* text = nullptr;
  if (FAILED(StrRetToStrW(&name, item, &text)) || !text) return {};
  TaskMem<wchar_t> owned(text);
  return owned.get();
}

void SetText(HWND window, const std::string& text) { SetWindowTextW(window, Widen(text).c_str()); }

std::string GetText(HWND window) {
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, &text[0], length + 1)));
  return Narrow(text);
}

HWND CreateControl(HWND parent, const wchar_t* windowClass, const std::string& text, DWORD style, int x, int y,
                   int width, int height, int id, HFONT font) {
  HWND control = CreateWindowExW(0, windowClass, Widen(text).c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width,
                                 height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleInstance(),
                                 nullptr);
  if (control && font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

DialogTemplate::DialogTemplate(DWORD style, short width, short height, const std::string& title, const wchar_t* font,
                               WORD points) {
  DLGTEMPLATE frame{};
  frame.style = style | DS_SETFONT;
  frame.cx = width;
  frame.cy = height;
  Put(&frame, sizeof frame);
  const WORD noMenu = 0, standardClass = 0;
  Put(&noMenu, sizeof noMenu);
  Put(&standardClass, sizeof standardClass);
  PutText(Widen(title));
  Put(&points, sizeof points);
  PutText(font);
  Publish();
}

void DialogTemplate::AddControl(DWORD style, short x, short y, short width, short height, WORD id, WORD classAtom,
                                const std::string& text) {
  AlignToDword();
  DLGITEMTEMPLATE item{style | WS_CHILD | WS_VISIBLE, 0, x, y, width, height, id};
  Put(&item, sizeof item);
  const WORD byAtom[2] = {0xFFFF, classAtom};
  Put(byAtom, sizeof byAtom);
  PutText(Widen(text));
  const WORD noCreationData = 0;
  Put(&noCreationData, sizeof noCreationData);
  WORD count = 0;
  std::memcpy(&count, bytes_.data() + offsetof(DLGTEMPLATE, cdit), sizeof count);
  ++count;
  std::memcpy(bytes_.data() + offsetof(DLGTEMPLATE, cdit), &count, sizeof count);
  Publish();
}

void DialogTemplate::Put(const void* data, std::size_t bytes) {
  const auto* p = static_cast<const unsigned char*>(data);
  bytes_.insert(bytes_.end(), p, p + bytes);
}

void DialogTemplate::PutText(const std::wstring& text) { Put(text.c_str(), (text.size() + 1) * sizeof(wchar_t)); }

void DialogTemplate::AlignToDword() {
  while (bytes_.size() % sizeof(DWORD)) bytes_.push_back(0);
}

void DialogTemplate::Publish() {
  aligned_.assign((bytes_.size() + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
  std::memcpy(aligned_.data(), bytes_.data(), bytes_.size());
}

}  // namespace vz::win32
