// What the shell tests share: the module loaded by name, registry reads,
// a data object carrying a file list, and a driver for modal dialogs.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/com.h"
#include "platform/win32/shell_support_win.h"
#include "support/drives.h"

namespace vz::test {

// Vaporizer.dll from beside the test program, with its exports.
class Module {
 public:
  Module();
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  HMODULE Handle() const { return h_; }
  std::string Path() const;
  HRESULT Register() const;
  HRESULT Unregister() const;
  HRESULT CanUnloadNow() const;
  HRESULT GetClassObject(const GUID& clsid, REFIID riid, void** ppv) const;
  // A new object of one of the module's classes, through its factory.
  template <class I>
  HRESULT Create(const GUID& clsid, com::ComPtr<I>& out) const {
    com::ComPtr<IClassFactory> factory;
    HRESULT hr = GetClassObject(clsid, IID_IClassFactory, factory.PutVoid());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, __uuidof(I), out.PutVoid());
  }
  void UpdateIcon() const;
  INT32 ShowVaporizerProps(void* dialog) const;
  template <class F>
  F Proc(const char* name) const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(h_, name)));
  }

 private:
  HMODULE h_;
};

GUID Guid(const char* text);  // "{...}"
extern const char* const kFolderId;
extern const char* const kMenuId;
extern const char* const kFileMenuId;
extern const char* const kPropId;
// Where a user's own icon location for the folder lives (DefaultIcon below).
extern const char* const kUserExplorerKey;

// Registry reads that do not go through the code under test.
std::optional<std::string> RegString(HKEY root, const std::string& key, const std::string& name = "");
std::optional<std::vector<BYTE>> RegBinary(HKEY root, const std::string& key, const std::string& name);
std::optional<DWORD> RegDword(HKEY root, const std::string& key, const std::string& name);
bool RegKeyExists(HKEY root, const std::string& key);
void RegPutDword(HKEY root, const std::string& key, const std::string& name, DWORD value);
void RegPutString(HKEY root, const std::string& key, const std::string& name, const std::string& value);
// Removes everything registration may leave, so that each test starts clean.
void ScrubRegistration();

// Tests of the loaded module: COM on the thread, no registration left from
// earlier tests, and the DLL loaded for the test's length.
class ModuleTest : public DrivesTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::unique_ptr<Module> module_;
};

// The path the Send To shortcut goes to in the test prefix.
std::string SendToFolder();

// The Task Scheduler service, running: Windows runs it always, Wine starts
// it on demand.
void StartTaskScheduler();

// A drag's data object as a source hands it over: the file list (CF_HDROP in
// 16-bit text, as the shell writes it) with the 16-bit name map when one is
// given; or a file list that QueryGetData answers with S_FALSE; or plain
// text alone; or nothing at all.
enum class Offer { Files, FilesMaybe, Text, Nothing };
com::ComPtr<IDataObject> DropData(Offer offer, std::vector<std::string> files = {},
                                  std::vector<std::wstring> map = {});

// Hands every dialog box (class "#32770") that is activated on this thread
// while it lives to a step, which runs from the dialog's own message loop
// once the dialog is up; the step answers or closes it.
class DialogDriver {
 public:
  using Step = std::function<void(HWND dialog)>;
  explicit DialogDriver(Step step);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;
  int Count() const { return count_; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  static void CALLBACK Timer(HWND, UINT, UINT_PTR id, DWORD);
  Step step_;
  HHOOK hook_;
  std::set<HWND> seen_;
  std::vector<HWND> pending_;
  int count_ = 0;
};

// The caution question came first; any box after it is the one that lists
// the items vaporized with a warning (under Wine the medium is unknown).
void ExpectCautionThenWarnings(const std::vector<std::string>& titles);

// A dialog as the user saw it when it came up: its title and the text of
// every control, by id.
struct SeenDialog {
  std::string title;
  std::vector<std::pair<int, std::string>> items;
  std::string Text(int id) const;
};

// Answers each dialog with the next button of a list (then `fallback`),
// keeping what it showed.
class DialogAnswerer {
 public:
  explicit DialogAnswerer(std::deque<int> buttons, int fallback = IDNO);
  const std::vector<SeenDialog>& Seen() const { return seen_; }

 private:
  std::deque<int> buttons_;
  int fallback_;
  std::vector<SeenDialog> seen_;
  DialogDriver driver_;
};

// Texts of a dialog in the core's text, read whole: its title and the text
// of every static control.
std::string WindowText(HWND hwnd);

// Windows' own metrics for a window: the effective DPI of the monitor it is
// on ("GetDpiForMonitor", learn.microsoft.com/windows/win32/api/
// shellscalingapi/nf-shellscalingapi-getdpiformonitor; the screen's
// LOGPIXELSX where the system lacks it), the work area of that monitor
// ("MONITORINFO", rcWork), and whether a control speaks the shell's message
// font as the system gives it for a DPI ("SystemParametersInfoForDpi",
// SPI_GETNONCLIENTMETRICS, lfMessageFont).
UINT MonitorDpiFor(HWND window);
RECT MonitorWorkArea(HWND window);
bool HasMessageFontAt(HWND control, UINT dpi);
std::string DialogMessage(HWND dialog);
// Clicks the button whose text, without '&', is label; false when none.
bool ClickButton(HWND dialog, const std::string& label);
// Answers a question box with Yes or No.
void Answer(HWND dialog, bool yes);

// Runs this thread's messages for a while.
void Pump(DWORD milliseconds = 0);
// Runs this thread's messages until no work that the module (or the shell
// code linked into the tests) started off this thread is left; false when
// some is still running after a minute.
bool WaitForJobs();

}  // namespace vz::test
