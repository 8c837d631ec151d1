// The shell code's small Win32 helpers, each kept in one place: the
// module's handle, a storage medium and a global block held for a scope,
// memory of the task allocator (item identifiers, names the shell hands
// out), names given back as STRRET, window texts in the core's text, child
// controls and in-memory dialog templates.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace vz::win32 {

// The image that holds this code: Vaporizer.dll, or a program linked with
// the shell classes (whose resources and window classes are its own).
HINSTANCE ModuleInstance();

// A storage medium obtained from a data object, given back when the scope
// ends. It is held only when the data object said it handed one out.
class StgMedium {
 public:
  StgMedium() = default;
  ~StgMedium() { Reset(); }
  StgMedium(const StgMedium&) = delete;
  StgMedium& operator=(const StgMedium&) = delete;

  HRESULT GetFrom(IDataObject* data, FORMATETC& format);
  void Reset();
  // The block, when the medium is global memory; else null.
  HGLOBAL Global() const { return held_ && medium_.tymed == TYMED_HGLOBAL ? medium_.hGlobal : nullptr; }

 private:
  STGMEDIUM medium_{};
  bool held_ = false;
};

// A global block locked for the scope; no data and size 0 when it cannot be.
class GlobalView {
 public:
  explicit GlobalView(HGLOBAL block);
  ~GlobalView();
  GlobalView(const GlobalView&) = delete;
  GlobalView& operator=(const GlobalView&) = delete;
  const void* Data() const { return data_; }
  std::size_t Size() const { return size_; }

 private:
  HGLOBAL block_;
  void* data_;
  std::size_t size_;
};

// Memory of the task allocator, which the shell's allocator (SHGetMalloc)
// is too: item identifiers and the texts the shell hands out.
struct TaskMemFree {
  void operator()(void* p) const noexcept { CoTaskMemFree(p); }
};
template <class T>
using TaskMem = std::unique_ptr<T, TaskMemFree>;
using IdList = TaskMem<ITEMIDLIST>;

// A name handed out as STRRET_WSTR, allocated for the caller to free.
HRESULT PutStrRet(const std::wstring& text, STRRET* out);
// The text of a name the shell handed out, whatever its form; what the
// shell allocated is freed. Empty when there is none.
std::wstring TakeStrRet(STRRET& name, PCUITEMID_CHILD item);

// Window texts in the core's text, converted whole.
void SetText(HWND window, const std::string& text);
std::string GetText(HWND window);

// A visible child control with its text, id and font.
HWND CreateControl(HWND parent, const wchar_t* windowClass, const std::string& text, DWORD style, int x, int y,
                   int width, int height, int id = -1, HFONT font = nullptr);

// An in-memory dialog template in 16-bit text: the frame (dialog units, the
// given font) and any controls, each given by its class atom.
class DialogTemplate {
 public:
  static constexpr WORD kButton = 0x0080;
  static constexpr WORD kStatic = 0x0082;

  DialogTemplate(DWORD style, short width, short height, const std::string& title = {},
                 const wchar_t* font = L"MS Sans Serif", WORD points = 8);
  void AddControl(DWORD style, short x, short y, short width, short height, WORD id, WORD classAtom,
                  const std::string& text);
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(aligned_.data()); }

 private:
  void Put(const void* data, std::size_t bytes);
  void PutText(const std::wstring& text);
  void AlignToDword();
  void Publish();

  std::vector<unsigned char> bytes_;
  std::vector<DWORD> aligned_;  // the template as the dialog manager reads it
};

}  // namespace vz::win32
