// The scheduled emptying as a task of the user's own in the Task Scheduler,
// through its COM interface: registered from its XML definition (one
// document the service checks whole), read back from the registered task,
// deleted by name.
#include <windows.h>
#include <knownfolders.h>
#include <oleauto.h>
#include <sddl.h>
#include <shlobj.h>
#include <taskschd.h>

#include <cstdio>
#include <memory>

#include "common/text.h"
#include "platform/schedule.h"
#include "platform/win32/com.h"
#include "platform/win32/schedule_win32.h"
#include "platform/win32/wide.h"

namespace vz {
namespace {

using com::ComPtr;
using win32::Narrow;
using win32::Widen;

// The Task Scheduler's own code for a service that does not answer.
constexpr HRESULT kServiceNotRunning = static_cast<HRESULT>(0x80041315);

std::string Hex(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
  return buf;
}

struct BstrFree {
  void operator()(BSTR b) const noexcept { SysFreeString(b); }
};
using Bstr = std::unique_ptr<OLECHAR, BstrFree>;
Bstr MakeBstr(const std::wstring& s) { return Bstr(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))); }
std::string Take(BSTR b) {
  Bstr owned(b);
  return b ? Narrow(b) : std::string();
}

// COM on this thread for the scope; a thread that has it already (the
// shell's) keeps it as it is.
class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT hr_;
};

// The user who runs this, as the task's name and its logon trigger name him.
struct User {
  std::wstring sid, account;  // "S-1-5-21-...", "DOMAIN\name"
};
User CurrentUser() {
  User u;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return u;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::unique_ptr<BYTE[]> buf(new BYTE[size ? size : 1]);
  if (size && GetTokenInformation(token, TokenUser, buf.get(), size, &size)) {
    PSID sid = reinterpret_cast<TOKEN_USER*>(buf.get())->User.Sid;
    LPWSTR text = nullptr;
    if (ConvertSidToStringSidW(sid, &text)) {
      u.sid = text;
      LocalFree(text);
    }
    wchar_t name[256] = {}, domain[256] = {};
    DWORD nameLen = 256, domainLen = 256;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, name, &nameLen, domain, &domainLen, &use))
      u.account = std::wstring(domain) + (domain[0] ? L"\\" : L"") + name;
  }
  CloseHandle(token);
  return u;
}

// One task per user in the root folder, named as the system's own per-user
// tasks are, so that two users of one machine never meet.
std::wstring TaskName(const User& u) { return L"Vaporizer Emptying-" + u.sid; }

std::wstring Escaped(const std::wstring& s) {
  std::wstring out;
  for (wchar_t c : s) {
    switch (c) {
      case L'&': out += L"&amp;"; break;
      case L'<': out += L"&lt;"; break;
      case L'>': out += L"&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

// The task: daily from noon on (a day missed while the machine was off is
// run as soon as it can be) and two minutes after this user logs on, with
// the user's own interactive rights. Batteries neither keep it from
// starting nor stop it halfway, which would leave items partly vaporized.
// Schema: "Task Scheduler Schema" on learn.microsoft.com.
std::wstring TaskXml(const User& u, const std::wstring& program) {
  SYSTEMTIME today{};
  GetLocalTime(&today);
  auto two = [](WORD n) { return std::wstring(n < 10 ? L"0" : L"") + std::to_wstring(n); };
  const std::wstring start = std::to_wstring(today.wYear) + L"-" + two(today.wMonth) + L"-" + two(today.wDay) + L"T12:00:00";
  std::wstring folder = program.substr(0, program.find_last_of(L'\\'));
  return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
         L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
         L"  <RegistrationInfo><Description>Empties the Vaporizer as its settings say: items sent longer ago "
         L"than chosen, and the oldest items while a drive's store is over its size.</Description></RegistrationInfo>\n"
         L"  <Triggers>\n"
         L"    <CalendarTrigger><StartBoundary>" + start +
         L"</StartBoundary><ScheduleByDay><DaysInterval>1</DaysInterval></ScheduleByDay></CalendarTrigger>\n"
         L"    <LogonTrigger><UserId>" + Escaped(u.account) + L"</UserId><Delay>PT2M</Delay></LogonTrigger>\n"
         L"  </Triggers>\n"
         L"  <Principals><Principal id=\"Author\"><LogonType>InteractiveToken</LogonType>"
         L"<RunLevel>LeastPrivilege</RunLevel></Principal></Principals>\n"
         L"  <Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>"
         L"<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"
         L"<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries><StartWhenAvailable>true</StartWhenAvailable>"
         L"</Settings>\n"
         L"  <Actions Context=\"Author\"><Exec><Command>" + Escaped(program) + L"</Command><Arguments>" +
         Widen(kScheduledArguments) + L"</Arguments><WorkingDirectory>" + Escaped(folder) +
         L"</WorkingDirectory></Exec></Actions>\n"
         L"</Task>\n";
}

// The root folder of a connected Task Scheduler; null with *why.
ComPtr<ITaskFolder> RootFolder(std::string* why) {
  ComPtr<ITaskService> service;
  HRESULT hr = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                service.PutVoid());
  VARIANT none;
  VariantInit(&none);
  if (SUCCEEDED(hr)) hr = service->Connect(none, none, none, none);
  ComPtr<ITaskFolder> root;
  if (SUCCEEDED(hr)) hr = service->GetFolder(MakeBstr(L"\\").get(), root.Put());
  if (FAILED(hr) && why)
    *why = hr == kServiceNotRunning ? "the Task Scheduler service is not running"
                                    : "the Task Scheduler could not be reached (error " + Hex(hr) + ")";
  return SUCCEEDED(hr) ? root : nullptr;
}

bool NotFound(HRESULT hr) {
  return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

const char* TriggerName(TASK_TRIGGER_TYPE2 type) {
  switch (type) {
    case TASK_TRIGGER_DAILY: return "daily";
    case TASK_TRIGGER_LOGON: return "at logon";
    case TASK_TRIGGER_TIME: return "once";
    case TASK_TRIGGER_BOOT: return "at boot";
    default: return "other";
  }
}

// What the registered task says of its triggers and its action.
void ReadBack(IRegisteredTask* task, EmptyingSchedule& s) {
  ComPtr<ITaskDefinition> def;
  ComPtr<ITriggerCollection> triggers;
  ComPtr<IActionCollection> actions;
  LONG count = 0, actionCount = 0;
  HRESULT hr = task->get_Definition(def.Put());
  if (SUCCEEDED(hr)) hr = def->get_Triggers(triggers.Put());
  if (SUCCEEDED(hr)) hr = triggers->get_Count(&count);
  for (LONG i = 1; SUCCEEDED(hr) && i <= count; ++i) {
    ComPtr<ITrigger> t;
    TASK_TRIGGER_TYPE2 type{};
    hr = triggers->get_Item(i, t.Put());
    if (SUCCEEDED(hr)) hr = t->get_Type(&type);
    if (SUCCEEDED(hr)) s.triggers.push_back(TriggerName(type));
  }
  if (SUCCEEDED(hr)) hr = def->get_Actions(actions.Put());
  if (SUCCEEDED(hr)) hr = actions->get_Count(&actionCount);
  if (SUCCEEDED(hr) && actionCount > 0) {
    ComPtr<IAction> action;
    ComPtr<IExecAction> exec;
    BSTR path = nullptr, args = nullptr;
    hr = actions->get_Item(1, action.Put());
    if (SUCCEEDED(hr)) hr = action.As(exec);
    if (SUCCEEDED(hr)) hr = exec->get_Path(&path);
    std::string p = Take(path);
    if (SUCCEEDED(hr)) hr = exec->get_Arguments(&args);
    std::string a = Take(args);
    if (SUCCEEDED(hr)) s.command = "\"" + p + "\" " + a;
  }
  if (FAILED(hr))
    s.note = "the Task Scheduler did not give back the task's triggers and action (error " + Hex(hr) + ")";
}

}  // namespace

namespace win32 {
std::wstring EmptyingTaskName() { return TaskName(CurrentUser()); }
std::wstring EmptyingTaskXml(const std::wstring& program) { return TaskXml(CurrentUser(), program); }
}  // namespace win32

std::optional<EmptyingSchedule> ReadEmptyingSchedule(std::string* why) {
  ComScope com;
  const User user = CurrentUser();
  ComPtr<ITaskFolder> root = RootFolder(why);
  if (!root) return std::nullopt;
  EmptyingSchedule s;
  s.name = Narrow(TaskName(user));
  ComPtr<IRegisteredTask> task;
  HRESULT hr = root->GetTask(MakeBstr(TaskName(user)).get(), task.Put());
  if (NotFound(hr)) return s;
  if (FAILED(hr)) {
    if (why) *why = "the task could not be read (error " + Hex(hr) + ")";
    return std::nullopt;
  }
  VARIANT_BOOL enabled = VARIANT_FALSE;
  s.on = SUCCEEDED(task->get_Enabled(&enabled)) && enabled != VARIANT_FALSE;
  ReadBack(task.Get(), s);
  return s;
}

bool SwitchEmptyingSchedule(bool on, const std::string& program, std::string* why) {
  ComScope com;
  const User user = CurrentUser();
  if (user.sid.empty() || user.account.empty()) {
    if (why) *why = "the user running this could not be told";
    return false;
  }
  ComPtr<ITaskFolder> root = RootFolder(why);
  if (!root) return false;
  HRESULT hr = S_OK;
  if (on) {
    VARIANT none;
    VariantInit(&none);
    ComPtr<IRegisteredTask> task;
    hr = root->RegisterTask(MakeBstr(TaskName(user)).get(), MakeBstr(TaskXml(user, Widen(program))).get(),
                            TASK_CREATE_OR_UPDATE, none, none, TASK_LOGON_INTERACTIVE_TOKEN, none, task.Put());
  } else {
    hr = root->DeleteTask(MakeBstr(TaskName(user)).get(), 0);
    if (NotFound(hr)) hr = S_OK;
  }
  if (FAILED(hr) && why)
    *why = std::string(on ? "the task could not be registered" : "the task could not be deleted") + " (error " +
           Hex(hr) + (hr == E_ACCESSDENIED ? ": access denied" : "") + ")";
  return SUCCEEDED(hr);
}

std::string EmptyingLogPlace() {
  PWSTR base = nullptr;
  std::string place;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &base)) && base)
    place = Narrow(base) + "\\Vaporizer\\emptying.log";
  CoTaskMemFree(base);
  return place;
}

void AppendEmptyingLog(const std::string& line) {
  const std::string file = EmptyingLogPlace();
  if (file.empty()) return;
  CreateDirectoryW(Widen(file.substr(0, file.find_last_of('\\'))).c_str(), nullptr);
  HANDLE h = CreateFileW(Widen(file).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  // One write per line, so that two runs never interleave within one.
  const std::string text = line + "\r\n";
  DWORD written = 0;
  WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(h);
}

}  // namespace vz
