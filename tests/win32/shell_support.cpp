#include "win32/shell_support.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstring>
#include <cwchar>
#include <stdexcept>

#include "platform/win32/wide.h"

namespace vz::test {

const char* const kFolderId = "{5B7C1E2A-8F43-4D6B-9A21-3C7E5F90D1A4}";
const char* const kMenuId = "{5B7C1E2B-8F43-4D6B-9A21-3C7E5F90D1A4}";
const char* const kFileMenuId = "{5B7C1E2C-8F43-4D6B-9A21-3C7E5F90D1A4}";
const char* const kPropId = "{5B7C1E2D-8F43-4D6B-9A21-3C7E5F90D1A4}";
const char* const kUserExplorerKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CLSID\\{5B7C1E2A-8F43-4D6B-9A21-3C7E5F90D1A4}";

Module::Module() : h_(LoadLibraryA("Vaporizer.dll")) {
  if (!h_) throw std::runtime_error("Vaporizer.dll does not load");
}
Module::~Module() { FreeLibrary(h_); }

std::string Module::Path() const {
  char buf[MAX_PATH] = {};
  GetModuleFileNameA(h_, buf, sizeof buf);
  return buf;
}
HRESULT Module::Register() const { return Proc<HRESULT(WINAPI*)()>("DllRegisterServer")(); }
HRESULT Module::Unregister() const { return Proc<HRESULT(WINAPI*)()>("DllUnregisterServer")(); }
HRESULT Module::CanUnloadNow() const { return Proc<HRESULT(WINAPI*)()>("DllCanUnloadNow")(); }
HRESULT Module::GetClassObject(const GUID& clsid, REFIID riid, void** ppv) const {
  return Proc<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>("DllGetClassObject")(clsid, riid, ppv);
}
void Module::UpdateIcon() const { Proc<void(WINAPI*)()>("UpdateIcon")(); }
INT32 Module::ShowVaporizerProps(void* dialog) const {
  return Proc<INT32(WINAPI*)(void*)>("ShowVaporizerProps")(dialog);
}

GUID Guid(const char* text) {
  wchar_t wide[64] = {};
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64);
  GUID g{};
  if (FAILED(CLSIDFromString(wide, &g))) throw std::runtime_error("bad class id text");
  return g;
}

std::optional<std::string> RegString(HKEY root, const std::string& key, const std::string& name) {
  char buf[2048] = {};
  DWORD size = sizeof buf - 1, type = 0;
  if (RegGetValueA(root, key.c_str(), name.empty() ? nullptr : name.c_str(), RRF_RT_ANY, &type, buf, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  if (type != REG_SZ) return std::nullopt;
  return std::string(buf);
}

std::optional<std::vector<BYTE>> RegBinary(HKEY root, const std::string& key, const std::string& name) {
  BYTE buf[256] = {};
  DWORD size = sizeof buf, type = 0;
  if (RegGetValueA(root, key.c_str(), name.c_str(), RRF_RT_ANY, &type, buf, &size) != ERROR_SUCCESS ||
      type != REG_BINARY)
    return std::nullopt;
  return std::vector<BYTE>(buf, buf + size);
}

std::optional<DWORD> RegDword(HKEY root, const std::string& key, const std::string& name) {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueA(root, key.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

bool RegKeyExists(HKEY root, const std::string& key) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

void RegPutDword(HKEY root, const std::string& key, const std::string& name, DWORD value) {
  if (RegSetKeyValueA(root, key.c_str(), name.c_str(), REG_DWORD, &value, sizeof value) != ERROR_SUCCESS)
    throw std::runtime_error("cannot write " + key);
}

void RegPutString(HKEY root, const std::string& key, const std::string& name, const std::string& value) {
  if (RegSetKeyValueA(root, key.c_str(), name.empty() ? nullptr : name.c_str(), REG_SZ, value.c_str(),
                      static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
    throw std::runtime_error("cannot write " + key);
}

void ScrubRegistration() {
  for (const char* id : {kFolderId, kMenuId, kFileMenuId, kPropId}) {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + id).c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + id).c_str());
  }
  RegDeleteKeyA(HKEY_LOCAL_MACHINE,
                (std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\Namespace\\") + kFolderId)
                    .c_str());
  for (const char* approval : {"SOFTWARE\\Microsoft\\WindowsNT\\CurrentVersion\\Shell Extensions\\Approved",
                               "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"}) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, approval, 0, KEY_SET_VALUE, &h) == ERROR_SUCCESS) {
      for (const char* id : {kFolderId, kMenuId, kFileMenuId, kPropId}) RegDeleteValueA(h, id);
      RegCloseKey(h);
    }
  }
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Vaporizer");
  for (const char* root : {"*", "Folder"}) {
    std::string handler = std::string(root) + "\\ShellEx\\ContextMenuHandlers\\" + kFileMenuId;
    RegDeleteKeyA(HKEY_CLASSES_ROOT, handler.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, ("Software\\Classes\\" + handler).c_str());
  }
  for (const std::string& user : {std::string("Software\\Classes\\CLSID\\") + kFolderId, std::string(kUserExplorerKey)})
    RegDeleteTreeA(HKEY_CURRENT_USER, user.c_str()), RegDeleteKeyA(HKEY_CURRENT_USER, user.c_str());
  DeleteFileA((SendToFolder() + "\\Vaporizer.lnk").c_str());
}

std::string SendToFolder() {
  if (auto v = RegString(HKEY_CURRENT_USER, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                         "SendTo"))
    if (!v->empty()) return *v;
  char buf[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_SENDTO, nullptr, SHGFP_TYPE_CURRENT, buf);
  return buf;
}

void StartTaskScheduler() {
  SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = scm ? OpenServiceW(scm, L"Schedule", SERVICE_START | SERVICE_QUERY_STATUS) : nullptr;
  SERVICE_STATUS status{};
  // Retried while the service database is still locked by a prefix's start.
  for (int i = 0; service && i < 100; ++i) {
    if (QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING) break;
    if (status.dwCurrentState == SERVICE_STOPPED) StartServiceW(service, 0, nullptr);
    Sleep(100);
  }
  if (service) CloseServiceHandle(service);
  if (scm) CloseServiceHandle(scm);
}

namespace {

class DropObject : public com::Object<DropObject, IDataObject> {
 public:
  DropObject(Offer offer, std::vector<std::string> files, std::vector<std::wstring> map)
      : offer_(offer), files_(std::move(files)), map_(std::move(map)) {}
  static const QITAB* QiTable() {
    static const QITAB table[] = {QITABENT(DropObject, IDataObject), {}};
    return table;
  }
  IFACEMETHODIMP QueryGetData(FORMATETC* f) override {
    if (!f) return E_POINTER;
    if (offer_ == Offer::Text) return f->cfFormat == CF_TEXT ? S_OK : DV_E_FORMATETC;
    if (offer_ == Offer::Nothing) return DV_E_FORMATETC;
    if (!(f->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    if (f->cfFormat == CF_HDROP) return offer_ == Offer::FilesMaybe ? S_FALSE : S_OK;
    if (f->cfFormat == RegisterClipboardFormatW(L"FileNameMapW") && !map_.empty()) return S_OK;
    return DV_E_FORMATETC;
  }
  IFACEMETHODIMP GetData(FORMATETC* f, STGMEDIUM* m) override {
    if (!f || !m) return E_POINTER;
    if (FAILED(QueryGetData(f)) || f->cfFormat == CF_TEXT) return DV_E_FORMATETC;
    std::wstring list;
    if (f->cfFormat == CF_HDROP) {
      for (const auto& p : files_) list += win32::Widen(p) + L'\0';
      if (files_.empty()) list += L'\0';
    } else {
      for (const auto& n : map_) list += n + L'\0';
    }
    list += L'\0';
    // The file list behind its header, in 16-bit text, as the shell makes it.
    std::size_t header = f->cfFormat == CF_HDROP ? sizeof(DROPFILES) : 0;
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, header + list.size() * sizeof(wchar_t));
    auto* block = static_cast<char*>(GlobalLock(g));
    if (header) {
      auto* drop = reinterpret_cast<DROPFILES*>(block);
      drop->pFiles = sizeof(DROPFILES);
      drop->fWide = TRUE;
    }
    std::memcpy(block + header, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(g);
    m->tymed = TYMED_HGLOBAL;
    m->hGlobal = g;
    m->pUnkForRelease = nullptr;
    return S_OK;
  }
  IFACEMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  IFACEMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
  }
  IFACEMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  IFACEMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  IFACEMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  IFACEMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  IFACEMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  Offer offer_;
  std::vector<std::string> files_;
  std::vector<std::wstring> map_;
};

DialogDriver* g_driver = nullptr;

}  // namespace

com::ComPtr<IDataObject> DropData(Offer offer, std::vector<std::string> files, std::vector<std::wstring> map) {
  com::ComPtr<IDataObject> data;
  DropObject::CreateInstance(IID_IDataObject, data.PutVoid(), offer, std::move(files), std::move(map));
  return data;
}

DialogDriver::DialogDriver(Step step)
    : step_(std::move(step)), hook_(SetWindowsHookExA(WH_CBT, &DialogDriver::Hook, nullptr, GetCurrentThreadId())) {
  if (!hook_) throw std::runtime_error("no CBT hook");
  g_driver = this;
}

DialogDriver::~DialogDriver() {
  UnhookWindowsHookEx(hook_);
  g_driver = nullptr;
}

LRESULT CALLBACK DialogDriver::Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && g_driver) {
    HWND hwnd = reinterpret_cast<HWND>(wParam);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") == 0 && g_driver->seen_.insert(hwnd).second) {
      g_driver->pending_.push_back(hwnd);
      // The step runs from the dialog's message loop, once it is shown.
      SetTimer(nullptr, 0, 1, &DialogDriver::Timer);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK DialogDriver::Timer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (!g_driver || g_driver->pending_.empty()) return;
  HWND dialog = g_driver->pending_.front();
  if (IsWindow(dialog) && !IsWindowVisible(dialog)) {
    // Activated before it was shown: wait until it is up.
    SetTimer(nullptr, 0, 5, &DialogDriver::Timer);
    return;
  }
  g_driver->pending_.erase(g_driver->pending_.begin());
  ++g_driver->count_;
  if (IsWindow(dialog)) g_driver->step_(dialog);
}

void ExpectCautionThenWarnings(const std::vector<std::string>& titles) {
  ASSERT_FALSE(titles.empty());
  EXPECT_EQ(titles[0], "Please use caution");
  for (std::size_t i = 1; i < titles.size(); ++i) EXPECT_EQ(titles[i], "Vaporizer") << "box " << i;
  EXPECT_LE(titles.size(), 2u);
}

std::string WindowText(HWND hwnd) { return win32::GetText(hwnd); }

std::string DialogMessage(HWND dialog) {
  std::string text;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[64] = {};
    GetClassNameA(c, cls, sizeof cls);
    if (_stricmp(cls, "Static") == 0) text += WindowText(c);
  }
  return text;
}

bool ClickButton(HWND dialog, const std::string& label) {
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[64] = {};
    GetClassNameA(c, cls, sizeof cls);
    std::string text = WindowText(c), plain;
    for (char ch : text)
      if (ch != '&') plain += ch;
    if (_stricmp(cls, "Button") == 0 && plain == label) {
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), BN_CLICKED), reinterpret_cast<LPARAM>(c));
      return true;
    }
  }
  return false;
}

BOOL CALLBACK CollectControl(HWND control, LPARAM seen) {
  reinterpret_cast<SeenDialog*>(seen)->items.emplace_back(GetDlgCtrlID(control), WindowText(control));
  return TRUE;
}

std::string SeenDialog::Text(int id) const {
  for (const auto& i : items)
    if (i.first == id) return i.second;
  return {};
}

DialogAnswerer::DialogAnswerer(std::deque<int> buttons, int fallback)
    : buttons_(std::move(buttons)), fallback_(fallback), driver_([this](HWND dialog) {
        SeenDialog d{WindowText(dialog), {}};
        EnumChildWindows(dialog, &CollectControl, reinterpret_cast<LPARAM>(&d));
        seen_.push_back(d);
        int button = fallback_;
        if (!buttons_.empty()) {
          button = buttons_.front();
          buttons_.pop_front();
        }
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
      }) {}

void Answer(HWND dialog, bool yes) {
  if (ClickButton(dialog, yes ? "Yes" : "No")) return;
  // A box with OK alone (the warnings after a batch) is acknowledged.
  int id = yes ? IDYES : IDNO;
  if (!GetDlgItem(dialog, id) && GetDlgItem(dialog, IDOK)) id = IDOK;
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

void ModuleTest::SetUp() {
  DrivesTest::SetUp();
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  ScrubRegistration();
  module_ = std::make_unique<Module>();
}

void ModuleTest::TearDown() {
  module_.reset();
  ScrubRegistration();
  CoUninitialize();
  DrivesTest::TearDown();
}

void Pump(DWORD milliseconds) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (milliseconds) Sleep(10);
  } while (GetTickCount() - start < milliseconds);
}

bool WaitForJobs() {
  // Every job talks to its window thread through a message-only window of
  // this class, there until the job is over.
  for (DWORD start = GetTickCount(); GetTickCount() - start < 60000;) {
    Pump();
    if (!FindWindowExW(HWND_MESSAGE, nullptr, L"VzJobPort", nullptr)) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return false;
}

}  // namespace vz::test

namespace vz::test {

UINT MonitorDpiFor(HWND window) {
  using ForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  HMODULE shcore = LoadLibraryA("shcore.dll");
  auto forMonitor = shcore ? reinterpret_cast<ForMonitor>(reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")))
                           : nullptr;
  UINT x = 0, y = 0;
  if (forMonitor && SUCCEEDED(forMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), 0, &x, &y)) && x) return x;
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return static_cast<UINT>(dpi);
}

RECT MonitorWorkArea(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
  return info.rcWork;
}

bool HasMessageFontAt(HWND control, UINT dpi) {
  using ForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  auto forDpi = reinterpret_cast<ForDpi>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SystemParametersInfoForDpi")));
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (forDpi) {
    if (!forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) return false;
  } else {
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return false;
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), 96);
  }
  LOGFONTW font{};
  auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  return handle && GetObjectW(handle, sizeof font, &font) &&
         std::wcscmp(font.lfFaceName, metrics.lfMessageFont.lfFaceName) == 0 &&
         font.lfHeight == metrics.lfMessageFont.lfHeight;
}

}  // namespace vz::test
