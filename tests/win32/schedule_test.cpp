// The scheduled emptying as the Task Scheduler keeps it, read back through
// the Task Scheduler's own interface (learn.microsoft.com: "ITaskFolder::
// RegisterTask", "IRegisteredTask", "Task Scheduler Schema"). Wine 8's Task
// Scheduler registers, finds and deletes tasks, but gives back neither their
// triggers nor their actions (ITriggerCollection::get_Count and
// IActionCollection::get_Count answer E_NOTIMPL, and the XML it keeps has
// lost them): there the registered definition is read with the system's XML
// reader instead.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <taskschd.h>
#include <xmllite.h>

#include <map>
#include <string>

#include "platform/schedule.h"
#include "platform/win32/com.h"
#include "platform/win32/schedule_win32.h"
#include "platform/win32/wide.h"
#include "win32/shell_support.h"

namespace vz::test {
namespace {

using com::ComPtr;
const std::string kProgram = "C:\\Tools & Co\\vaporizerw.exe";  // a name the XML must escape

ComPtr<ITaskFolder> Root() {
  ComPtr<ITaskService> service;
  ComPtr<ITaskFolder> root;
  VARIANT none;
  VariantInit(&none);
  if (SUCCEEDED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                 service.PutVoid())) &&
      SUCCEEDED(service->Connect(none, none, none, none)))
    service->GetFolder(SysAllocString(L"\\"), root.Put());
  return root;
}

HRESULT GetTask(ComPtr<IRegisteredTask>& task) {
  ComPtr<ITaskFolder> root = Root();
  if (!root) return E_FAIL;
  BSTR name = SysAllocString(win32::EmptyingTaskName().c_str());
  HRESULT hr = root->GetTask(name, task.Put());
  SysFreeString(name);
  return hr;
}

// The text of every element of an XML document by its path ("Task/Actions/
// Exec/Command"), read with XmlLite.
std::map<std::string, std::string> ElementTexts(const std::wstring& xml) {
  std::map<std::string, std::string> out;
  using Create = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
  auto create = reinterpret_cast<Create>(
      reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"xmllite.dll"), "CreateXmlReader")));
  ComPtr<IXmlReader> reader;
  if (!create || FAILED(create(__uuidof(IXmlReader), reader.PutVoid(), nullptr))) return out;
  const std::wstring text = L"\xFEFF" + xml;
  ComPtr<IStream> stream = ComPtr<IStream>::Attach(
      SHCreateMemStream(reinterpret_cast<const BYTE*>(text.data()), static_cast<UINT>(text.size() * sizeof(wchar_t))));
  if (FAILED(reader->SetInput(stream.Get()))) return out;
  std::string path;
  XmlNodeType node;
  while (reader->Read(&node) == S_OK) {
    const wchar_t* value = nullptr;
    if (node == XmlNodeType_Element) {
      reader->GetLocalName(&value, nullptr);
      if (!reader->IsEmptyElement()) path += (path.empty() ? "" : "/") + win32::Narrow(value);
    } else if (node == XmlNodeType_EndElement) {
      path.erase(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/'));
    } else if (node == XmlNodeType_Text) {
      reader->GetValue(&value, nullptr);
      out[path] += win32::Narrow(value);
    }
  }
  return out;
}

class ScheduleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    StartTaskScheduler();
  }
  void TearDown() override {
    std::string why;
    SwitchEmptyingSchedule(false, {}, &why);
    CoUninitialize();
  }
};

TEST_F(ScheduleTest, EnableRegistersThisUsersTaskAndDisableDeletesIt) {
  std::string why;
  ASSERT_TRUE(SwitchEmptyingSchedule(true, kProgram, &why)) << why;
  ASSERT_TRUE(SwitchEmptyingSchedule(true, kProgram, &why)) << "switching it on again updates it: " << why;
  ComPtr<IRegisteredTask> task;
  ASSERT_EQ(GetTask(task), S_OK);
  VARIANT_BOOL enabled = VARIANT_FALSE;
  ASSERT_EQ(task->get_Enabled(&enabled), S_OK);
  EXPECT_NE(enabled, VARIANT_FALSE);
  auto s = ReadEmptyingSchedule(&why);
  ASSERT_TRUE(s.has_value()) << why;
  EXPECT_TRUE(s->on);
  EXPECT_EQ(s->name, win32::Narrow(win32::EmptyingTaskName()));
  EXPECT_EQ(s->name.rfind("Vaporizer Emptying-S-1-", 0), 0u) << s->name;
  if (s->note.empty()) {  // where the Task Scheduler gives them back
    EXPECT_EQ(s->triggers, (std::vector<std::string>{"daily", "at logon"}));
    EXPECT_EQ(s->command, "\"" + kProgram + "\" empty --by-settings");
  } else {
    EXPECT_NE(s->note.find("0x80004001"), std::string::npos) << "only what Wine lacks is missing: " << s->note;
  }

  ASSERT_TRUE(SwitchEmptyingSchedule(false, {}, &why)) << why;
  EXPECT_EQ(GetTask(task), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  s = ReadEmptyingSchedule(&why);
  ASSERT_TRUE(s.has_value()) << why;
  EXPECT_FALSE(s->on);
  EXPECT_TRUE(SwitchEmptyingSchedule(false, {}, &why)) << "off twice is off: " << why;
}

TEST_F(ScheduleTest, TheTaskRunsTheLauncherDailyAndAtThisUsersLogonWithTheUsersOwnRights) {
  auto xml = ElementTexts(win32::EmptyingTaskXml(win32::Widen(kProgram)));
  ASSERT_FALSE(xml.empty()) << "the definition is well-formed";
  EXPECT_EQ(xml["Task/Actions/Exec/Command"], kProgram);
  EXPECT_EQ(xml["Task/Actions/Exec/Arguments"], "empty --by-settings");
  EXPECT_EQ(xml["Task/Actions/Exec/WorkingDirectory"], "C:\\Tools & Co");
  EXPECT_EQ(xml["Task/Triggers/CalendarTrigger/ScheduleByDay/DaysInterval"], "1");
  EXPECT_EQ(xml["Task/Triggers/CalendarTrigger/StartBoundary"].substr(10), "T12:00:00");
  const std::string user = xml["Task/Triggers/LogonTrigger/UserId"];
  EXPECT_NE(user.find('\\'), std::string::npos) << "DOMAIN\\name of this user: " << user;
  EXPECT_EQ(xml["Task/Principals/Principal/LogonType"], "InteractiveToken");
  EXPECT_EQ(xml["Task/Settings/StopIfGoingOnBatteries"], "false") << "a run is never cut off halfway";
}

}  // namespace
}  // namespace vz::test
