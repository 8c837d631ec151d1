// Shows one of the module's screens as Explorer would bring it up, for the
// screenshot script, and keeps it up until told:
//   show_screens.exe window|replace|progress|send [PATH]
// "window": the Vaporizer folder's window in a plain frame; "replace": its
// Restore on the first item, whose original path is taken; "progress": its
// Vaporize on the largest item, answered Yes; "send": a drop of PATH on the
// folder. Once the screen is up the program writes ready.txt beside itself,
// then waits for done.txt, closes the screen and ends.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <functional>
#include <cstdio>
#include <string>

namespace {

const GUID kFolderClass = {0x5B7C1E2A, 0x8F43, 0x4D6B, {0x9A, 0x21, 0x3C, 0x7E, 0x5F, 0x90, 0xD1, 0xA4}};

std::wstring Beside(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.rfind(L'\\') + 1) + name;
}
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The least a browser offers: its window. The view copes without menus,
// toolbar and status bar, as in hosts that give none.
class Browser : public IShellBrowser {
 public:
  explicit Browser(HWND frame) : frame_(frame) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IShellBrowser)) {
      *ppv = static_cast<IShellBrowser*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the stack
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
    *hwnd = frame_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InsertMenusSB(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenuSB(HMENU, HOLEMENU, HWND) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RemoveMenusSB(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusTextSB(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnableModelessSB(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAcceleratorSB(MSG*, WORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE BrowseObject(PCUIDLIST_RELATIVE, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetViewStateStream(DWORD, IStream**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetControlWindow(UINT, HWND*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SendControlMsg(UINT, UINT, WPARAM, LPARAM, LRESULT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryActiveShellView(IShellView**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnViewWindowActive(IShellView*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetToolbarItems(LPTBBUTTONSB, UINT, UINT) override { return E_NOTIMPL; }

 private:
  HWND frame_;
  ULONG refs_ = 1;
};

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SIZE) {
    if (HWND view = GetWindow(hwnd, GW_CHILD)) MoveWindow(view, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND FindTitled(const wchar_t* cls, const wchar_t* title) { return FindWindowW(cls, title); }
HWND Button(HWND dialog, int id) { return GetDlgItem(dialog, id); }

// The screen's watch: runs from a timer, so that it runs inside the modal
// loop of a question too. Once `up` says the screen is there it writes
// ready.txt; once done.txt is there it runs `close` and is over.
std::function<bool()> g_up;
std::function<void()> g_close;
bool g_ready = false, g_over = false;

void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD) {
  if (g_over) return;
  if (!g_ready && g_up()) {
    g_ready = true;
    Sleep(500);  // drawn
    CloseHandle(CreateFileW(Beside(L"ready.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  } else if (g_ready && Exists(Beside(L"done.txt"))) {
    g_over = true;
    if (g_close) g_close();
  }
}

// Runs messages until the watch is over (ten minutes at most).
bool Hold(std::function<bool()> up, std::function<void()> close = nullptr) {
  g_up = std::move(up);
  g_close = std::move(close);
  g_ready = g_over = false;
  UINT_PTR timer = SetTimer(nullptr, 0, 100, Watch);
  for (DWORD start = GetTickCount(); !g_over && GetTickCount() - start < 600000;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  KillTimer(nullptr, timer);
  return g_ready;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 1;
  const std::string mode = argv[1];
  // Explorer is aware of each monitor's DPI; so is this host.
  if (auto aware = reinterpret_cast<BOOL(WINAPI*)(HANDLE)>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext"))))
    aware(reinterpret_cast<HANDLE>(-4));  // per monitor, version 2
  OleInitialize(nullptr);
  InitCommonControls();
  HMODULE module = LoadLibraryW(Beside(L"Vaporizer.dll").c_str());
  auto getClass = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  IShellFolder* folder = nullptr;
  if (!getClass || FAILED(getClass(kFolderClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) return 2;
  factory->CreateInstance(nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder));
  factory->Release();
  if (!folder) return 2;
  IPersistFolder* persist = nullptr;
  if (SUCCEEDED(folder->QueryInterface(IID_IPersistFolder, reinterpret_cast<void**>(&persist)))) {
    persist->Initialize(nullptr);
    persist->Release();
  }

  if (mode == "send") {
    // A drop of a file on the folder, as on its desktop icon.
    if (argc < 3) return 1;
    wchar_t path[MAX_PATH] = {};
    MultiByteToWideChar(CP_UTF8, 0, argv[2], -1, path, MAX_PATH);
    PIDLIST_ABSOLUTE item = nullptr;
    IShellFolder* parent = nullptr;
    PCUITEMID_CHILD child = nullptr;
    IDataObject* data = nullptr;
    if (FAILED(SHParseDisplayName(path, nullptr, &item, 0, nullptr)) ||
        FAILED(SHBindToParent(item, IID_IShellFolder, reinterpret_cast<void**>(&parent), &child)) ||
        FAILED(parent->GetUIObjectOf(nullptr, 1, &child, IID_IDataObject, nullptr, reinterpret_cast<void**>(&data)))) {
      fprintf(stderr, "show_screens: no data object for %s\n", argv[2]);
      return 3;
    }
    IDropTarget* target = nullptr;
    if (FAILED(folder->CreateViewObject(GetDesktopWindow(), IID_IDropTarget, reinterpret_cast<void**>(&target))))
      return 3;
    DWORD effect = DROPEFFECT_MOVE;
    POINTL pt{0, 0};
    target->DragEnter(data, MK_LBUTTON, pt, &effect);
    target->Drop(data, 0, pt, &effect);
    HWND box = nullptr;
    bool ok = Hold([&] { return (box = FindWindowW(L"#32770", nullptr)) != nullptr; },
                   [&] { PostMessageW(box, WM_COMMAND, IDNO, 0); });
    // The send's work ends after the No.
    for (DWORD start = GetTickCount(); GetTickCount() - start < 2000;) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(50);
    }
    return ok ? 0 : 4;
  }

  // The folder's window in a frame of its own, as Explorer hosts it.
  WNDCLASSW wc{};
  wc.lpfnWndProc = FrameProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"VzScreensFrame";
  RegisterClassW(&wc);
  HWND frame = CreateWindowExW(0, wc.lpszClassName, L"Vaporizer", WS_OVERLAPPEDWINDOW, 20, 20, 100, 100, nullptr,
                               nullptr, wc.hInstance, nullptr);
  UINT dpi = 96;
  if (auto forWindow = reinterpret_cast<UINT(WINAPI*)(HWND)>(
          reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow"))))
    dpi = forWindow(frame);
  SetWindowPos(frame, nullptr, 20, 20, MulDiv(720, dpi, 96), MulDiv(300, dpi, 96), SWP_NOZORDER);
  Browser browser(frame);
  IShellView* view = nullptr;
  if (FAILED(folder->CreateViewObject(frame, IID_IShellView, reinterpret_cast<void**>(&view)))) return 5;
  FOLDERSETTINGS fs{FVM_DETAILS, 0};
  RECT client{};
  GetClientRect(frame, &client);
  HWND window = nullptr;
  if (FAILED(view->CreateViewWindow(nullptr, &fs, &browser, &client, &window))) return 5;
  view->UIActivate(SVUIA_ACTIVATE_FOCUS);
  ShowWindow(frame, SW_SHOW);
  HWND list = FindWindowExW(window, nullptr, WC_LISTVIEWW, nullptr);

  // The row to work on: the one a restore cannot put back without asking
  // (its caption names the file that took its place: "report.txt"), or
  // the largest for a vaporize.
  int row = 0;
  for (int i = 0, n = ListView_GetItemCount(list); i < n && mode == "replace"; ++i) {
    wchar_t caption[MAX_PATH] = {};
    LVITEMW cell{};
    cell.pszText = caption;
    cell.cchTextMax = MAX_PATH;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&cell));
    if (std::wcscmp(caption, L"report.txt") == 0) row = i;
  }
  if (mode == "progress") {
    ULONGLONG largest = 0;
    for (int i = 0, n = ListView_GetItemCount(list); i < n; ++i) {
      wchar_t size[64] = {};
      LVITEMW cell{};
      cell.iSubItem = 4;
      cell.pszText = size;
      cell.cchTextMax = 64;
      SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&cell));
      ULONGLONG k = wcstoull(size, nullptr, 10);
      if (k > largest) largest = k, row = i;
    }
  }
  ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);

  bool ok = false;
  if (mode == "window") {
    ok = Hold([] { return true; });
  } else if (mode == "replace") {
    PostMessageW(window, WM_COMMAND, 15, 0);  // Restore
    HWND box = nullptr;
    ok = Hold([&] { return (box = FindTitled(L"#32770", L"Confirm File Replace")) != nullptr; },
              [&] { PostMessageW(box, WM_COMMAND, IDCANCEL, 0); });
  } else if (mode == "progress") {
    PostMessageW(window, WM_COMMAND, 17, 0);  // Vaporize selected
    HWND progress = nullptr;
    ok = Hold(
        [&] {
          if (HWND caution = FindTitled(L"#32770", L"Please use caution"))
            PostMessageW(caution, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
          progress = FindWindowW(L"TFMProgress", nullptr);
          return progress && IsWindowVisible(progress);
        },
        [&] {
          if (IsWindow(progress)) PostMessageW(progress, WM_COMMAND, IDCANCEL, 0);
        });
    // The batch stops after its pass; what it has to tell is answered.
    for (DWORD start = GetTickCount(); FindWindowW(L"TFMProgress", nullptr) && GetTickCount() - start < 120000;) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(50);
    }
    for (int i = 0; i < 40; ++i) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      if (HWND told = FindTitled(L"#32770", L"Vaporizer")) SendMessageW(Button(told, IDOK), BM_CLICK, 0, 0);
      Sleep(50);
    }
  }
  view->DestroyViewWindow();
  view->Release();
  DestroyWindow(frame);
  folder->Release();
  return ok ? 0 : 6;
}
