// The Application log: the module's message table shows every documented
// event with every field; the platform layer hands ReportEventW exactly the
// record's fields; registration makes the module the source's message file
// and unregistration takes the source away.
#include <windows.h>
#include <gtest/gtest.h>

#include "engine/receipt_log.h"
#include "platform/platform.h"
#include "platform/win32/event_log.h"
#include "platform/win32/wide.h"
#include "win32/shell_support.h"

namespace vz::test {
namespace {

struct Documented {
  DWORD id;
  const std::vector<std::string>& fields;
};

TEST(EventLogTest, TheModuleShowsEveryDocumentedEventWithEveryField) {
  HMODULE module = LoadLibraryExW(L"Vaporizer.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(module);
  for (const Documented& e : {Documented{kItemEvent, ItemLogFields()}, Documented{kRunEvent, RunLogFields()}}) {
    SCOPED_TRACE(e.id);
    std::vector<std::wstring> values;
    std::vector<DWORD_PTR> args;
    for (std::size_t i = 0; i < e.fields.size(); ++i) values.push_back(L"v" + std::to_wstring(i + 1));
    for (const auto& v : values) args.push_back(reinterpret_cast<DWORD_PTR>(v.c_str()));
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                             module, e.id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                             reinterpret_cast<wchar_t*>(&text), 0, reinterpret_cast<va_list*>(args.data()));
    ASSERT_GT(n, 0u) << GetLastError();
    const std::string shown = win32::Narrow(std::wstring(text, n));
    LocalFree(text);
    for (std::size_t i = 0; i < e.fields.size(); ++i)
      EXPECT_NE(shown.find("\n" + e.fields[i] + ": v" + std::to_string(i + 1) + "\r\n"), std::string::npos)
          << e.fields[i] << " in:\n" << shown;
  }
  // Registration's notes, one text of their lines.
  const wchar_t* note = L"warning: one\r\nnot removed: two";
  DWORD_PTR noteArg = reinterpret_cast<DWORD_PTR>(note);
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           module, kRegistrationEvent, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                           reinterpret_cast<wchar_t*>(&text), 0, reinterpret_cast<va_list*>(&noteArg));
  ASSERT_GT(n, 0u) << GetLastError();
  EXPECT_NE(std::wstring(text, n).find(note), std::wstring::npos);
  LocalFree(text);
  FreeLibrary(module);
}

TEST(EventLogTest, ReportEventReceivesTheRecordsFieldsInOrder) {
  std::vector<win32::EventCall> calls;
  win32::EventSink real = win32::EventLogSink();
  win32::EventLogSink() = [&](const win32::EventCall& c) {
    calls.push_back(c);
    return DWORD{0};
  };
  const std::vector<LogRecord> records = {
      {kItemEvent, LogLevel::Warning, "m", {{"outcome", "skipped"}, {"path", "D:\\\u00e9t\u00e9.txt"}, {"detail", ""}}},
      {kRunEvent, LogLevel::Error, "m", {{"command", "shred"}}}};
  EXPECT_EQ(NativePlatform().WriteSystemLog(records), "");
  win32::EventLogSink() = [&](const win32::EventCall&) { return DWORD{ERROR_ACCESS_DENIED}; };
  EXPECT_EQ(NativePlatform().WriteSystemLog(records), "the Application log refused event 100 (error 5)");
  win32::EventLogSink() = real;
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].type, EVENTLOG_WARNING_TYPE);
  EXPECT_EQ(calls[0].id, 100u);
  EXPECT_TRUE(calls[0].withUser);
  EXPECT_EQ(calls[0].strings, (std::vector<std::wstring>{L"skipped", L"D:\\\u00e9t\u00e9.txt", L""}));
  EXPECT_EQ(calls[1].type, EVENTLOG_ERROR_TYPE);
  EXPECT_EQ(calls[1].id, 200u);
  EXPECT_EQ(calls[1].strings, (std::vector<std::wstring>{L"shred"}));
  // The system's own call takes them (Wine keeps no events, but answers).
  EXPECT_EQ(NativePlatform().WriteSystemLog(records), "");
}

class EventSourceTest : public ModuleTest {
 protected:
  void TearDown() override {
    module_->Unregister();
    ModuleTest::TearDown();
  }
};

TEST_F(EventSourceTest, RegistrationNamesTheModuleAndUnregistrationRemovesTheSource) {
  ASSERT_EQ(module_->Register(), S_OK);
  DWORD type = 0;
  wchar_t file[MAX_PATH] = {};
  DWORD size = sizeof file;
  ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, win32::Widen(win32::kEventSourceKey).c_str(), L"EventMessageFile",
                         RRF_RT_ANY | RRF_NOEXPAND, &type, file, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(win32::Narrow(file), module_->Path());
  EXPECT_EQ(RegDword(HKEY_LOCAL_MACHINE, win32::kEventSourceKey, "TypesSupported").value_or(0), 7u);
  ASSERT_EQ(module_->Unregister(), S_OK);
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, win32::kEventSourceKey));
}

// On 64-bit Windows the 32-bit module keeps the message file that the
// 64-bit one registered; elsewhere a module always names itself.
TEST_F(EventSourceTest, The32BitModuleLeavesTheMessageFileOfThe64BitOne) {
  const std::string other = "C:\\windows\\system32\\kernel32.dll";
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, win32::kEventSourceKey, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(h, "EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(other.c_str()),
                 static_cast<DWORD>(other.size() + 1));
  RegCloseKey(h);
  ASSERT_EQ(module_->Register(), S_OK);
  BOOL wow = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow);
  char file[MAX_PATH] = {};
  DWORD size = sizeof file;
  RegGetValueA(HKEY_LOCAL_MACHINE, win32::kEventSourceKey, "EventMessageFile", RRF_RT_ANY | RRF_NOEXPAND, nullptr, file,
               &size);
  EXPECT_EQ(file, wow ? other : module_->Path());
}

}  // namespace
}  // namespace vz::test
