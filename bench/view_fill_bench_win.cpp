// How long the Vaporizer folder's window holds the shell's thread: opening
// the view on N stored items (the list is filled), refreshing it, and
// selecting every item (one selection change per item, menus rebuilt once).
// Reports the median of several runs for N and 2N items.
//   view_fill_bench_win [N] [runs]   (Windows or Wine: drive D: must be a scratch drive)
// Under Wine: source scripts/lib/wine-prefix.sh; vz_make_prefix; copy the
// program into "$WINEPREFIX/drive_c" and run it from there with wine.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "namespace/folder_win.h"
#include "platform/platform.h"
#include "platform/win32/com.h"
#include "store/store.h"

namespace {

using Clock = std::chrono::steady_clock;

// A browser with a window and nothing else, as the least a host offers.
class BareBrowser : public vz::com::Object<BareBrowser, IShellBrowser> {
 public:
  BareBrowser() {
    frame_ = CreateWindowExA(0, "STATIC", "bench", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  }
  ~BareBrowser() override { DestroyWindow(frame_); }
  static const QITAB* QiTable() {
    static const QITAB t[] = {QITABENT(BareBrowser, IShellBrowser), {nullptr, 0}};
    return t;
  }
  IFACEMETHODIMP GetWindow(HWND* w) override {
    *w = frame_;
    return S_OK;
  }
  IFACEMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  IFACEMETHODIMP InsertMenusSB(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  IFACEMETHODIMP SetMenuSB(HMENU, HOLEMENU, HWND) override { return E_NOTIMPL; }
  IFACEMETHODIMP RemoveMenusSB(HMENU) override { return E_NOTIMPL; }
  IFACEMETHODIMP SetStatusTextSB(LPCWSTR) override { return E_NOTIMPL; }
  IFACEMETHODIMP EnableModelessSB(WINBOOL) override { return E_NOTIMPL; }
  IFACEMETHODIMP TranslateAcceleratorSB(MSG*, WORD) override { return E_NOTIMPL; }
  IFACEMETHODIMP BrowseObject(PCUIDLIST_RELATIVE, UINT) override { return S_OK; }
  IFACEMETHODIMP GetViewStateStream(DWORD, IStream**) override { return E_NOTIMPL; }
  IFACEMETHODIMP GetControlWindow(UINT, HWND*) override { return E_NOTIMPL; }
  IFACEMETHODIMP SendControlMsg(UINT, UINT, WPARAM, LPARAM, LRESULT*) override { return E_NOTIMPL; }
  IFACEMETHODIMP QueryActiveShellView(IShellView**) override { return E_NOTIMPL; }
  IFACEMETHODIMP OnViewWindowActive(IShellView*) override { return E_NOTIMPL; }
  IFACEMETHODIMP SetToolbarItems(LPTBBUTTONSB, UINT, UINT) override { return E_NOTIMPL; }

 private:
  HWND frame_ = nullptr;
};

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// n stored files of 100 bytes on D:, recorded in D:'s index.
void MakeStore(int n) {
  using namespace vz;
  Plat().DeleteItem("D:\\VAPORIZE");
  EnsureStores();
  std::string index;
  for (int i = 0; i < n; ++i) {
    std::string stored = "D:\\VAPORIZE\\D" + std::to_string(i + 1) + ".txt";
    Plat().CreateEmptyFile(stored);
    auto f = Plat().OpenAppend(stored);
    if (f) f->Append(std::string(100, 'x'));
    index += "D:\\Work\\file" + std::to_string(i) + ".txt\r\n" + stored + "\r\n";
  }
  Plat().ReplaceFileContents("D:\\VAPORIZE\\info.shr", index);
}

struct Times {
  double open, refresh, selectAll;
};

Times RunOnce(IShellFolder* folder) {
  vz::com::ComPtr<IShellBrowser> browser;
  BareBrowser::CreateInstance(IID_IShellBrowser, browser.PutVoid());
  vz::com::ComPtr<IShellView> view;
  folder->CreateViewObject(nullptr, IID_IShellView, view.PutVoid());
  FOLDERSETTINGS fs{FVM_DETAILS, 0};
  RECT rect{0, 0, 800, 600};
  HWND hwnd = nullptr;
  Times t{};
  auto t0 = Clock::now();
  view->CreateViewWindow(nullptr, &fs, browser.Get(), &rect, &hwnd);
  Pump();
  auto t1 = Clock::now();
  view->Refresh();
  Pump();
  auto t2 = Clock::now();
  SendMessageA(hwnd, WM_COMMAND, 20, 0);  // Select all
  Pump();
  auto t3 = Clock::now();
  view->DestroyViewWindow();
  t.open = std::chrono::duration<double>(t1 - t0).count();
  t.refresh = std::chrono::duration<double>(t2 - t1).count();
  t.selectAll = std::chrono::duration<double>(t3 - t2).count();
  return t;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int n = argc > 1 ? std::atoi(argv[1]) : 1000;
  int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  if (n < 1 || runs < 1) {
    std::fprintf(stderr, "usage: view_fill_bench_win [N] [runs]\n");
    return 2;
  }
  if (GetFileAttributesA("D:\\vz-test-drive") == INVALID_FILE_ATTRIBUTES) {
    std::fprintf(stderr, "view_fill_bench_win: D: is not a scratch drive (no D:\\vz-test-drive)\n");
    return 2;
  }
  OleInitialize(nullptr);
  vz::com::ComPtr<IShellFolder> folder;
  if (FAILED(vz::win32::CreateVaporizerFolder(IID_IShellFolder, folder.PutVoid()))) return 1;
  std::printf("%8s %12s %12s %12s\n", "items", "open s", "refresh s", "select-all s");
  for (int items : {n, 2 * n}) {
    MakeStore(items);
    std::vector<double> open, refresh, select;
    for (int r = 0; r < runs; ++r) {
      Times t = RunOnce(folder.Get());
      open.push_back(t.open);
      refresh.push_back(t.refresh);
      select.push_back(t.selectAll);
    }
    std::printf("%8d %12.3f %12.3f %12.3f\n", items, Median(open), Median(refresh), Median(select));
  }
  vz::Plat().DeleteItem("D:\\VAPORIZE");
  folder.Reset();
  OleUninitialize();
  return 0;
}
