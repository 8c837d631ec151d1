// The system's log on Windows: the Application log, through the program's
// own event source.
#include <windows.h>

#include <memory>
#include <vector>

#include "platform/platform.h"
#include "platform/system_log.h"
#include "platform/win32/event_log.h"
#include "platform/win32/wide.h"

namespace vz::win32 {
namespace {

// The account that runs this, for the event's "User".
std::vector<BYTE> UserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  bool ok = size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
  CloseHandle(token);
  if (!ok) return {};
  PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  std::vector<BYTE> out(GetLengthSid(sid));
  return CopySid(static_cast<DWORD>(out.size()), out.data(), sid) ? out : std::vector<BYTE>{};
}

DWORD Report(const EventCall& call) {
  HANDLE source = RegisterEventSourceW(nullptr, kEventSource);
  if (!source) return GetLastError();
  std::vector<BYTE> sid = call.withUser ? UserSid() : std::vector<BYTE>{};
  std::vector<LPCWSTR> strings;
  for (const auto& s : call.strings) strings.push_back(s.c_str());
  DWORD rc = ReportEventW(source, call.type, 0, call.id, sid.empty() ? nullptr : sid.data(),
                          static_cast<WORD>(strings.size()), 0, strings.data(), nullptr)
                 ? 0
                 : GetLastError();
  DeregisterEventSource(source);
  return rc;
}

WORD TypeOf(LogLevel l) {
  return l == LogLevel::Error ? EVENTLOG_ERROR_TYPE : l == LogLevel::Warning ? EVENTLOG_WARNING_TYPE
                                                                           : EVENTLOG_INFORMATION_TYPE;
}

// An insertion string holds at most 31,839 characters.
std::wstring Insert(const std::string& value) {
  std::wstring w = Widen(value);
  if (w.size() > 31839) w.resize(31839);
  return w;
}

}  // namespace

EventSink& EventLogSink() {
  static EventSink sink = Report;
  return sink;
}

}  // namespace vz::win32

namespace vz {

std::string Platform::WriteSystemLog(const std::vector<LogRecord>& records) {
  for (const LogRecord& r : records) {
    win32::EventCall call{win32::TypeOf(r.level), r.event, true, {}};
    for (const LogField& f : r.fields) call.strings.push_back(win32::Insert(f.value));
    if (DWORD rc = win32::EventLogSink()(call))
      return "the Application log refused event " + std::to_string(r.event) + " (error " + std::to_string(rc) + ")";
  }
  return {};
}

}  // namespace vz
