// The Application log on Windows: the event source "Vaporizer", whose
// messages (one per event ID of platform/system_log.h, the fields as the
// insertion strings %1, %2, ... in their documented order) are the message
// table of Vaporizer.dll. Registration names the module as the source's
// EventMessageFile.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>
#include <string>

namespace vz::win32 {

constexpr const wchar_t* kEventSource = L"Vaporizer";
// Under HKEY_LOCAL_MACHINE.
constexpr const char* kEventSourceKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Vaporizer";

// One event as ReportEventW takes it.
struct EventCall {
  WORD type = 0;  // EVENTLOG_INFORMATION_TYPE, _WARNING_TYPE, _ERROR_TYPE
  DWORD id = 0;
  bool withUser = false;  // the user's SID went with it
  std::vector<std::wstring> strings;
};

// Where events go: ReportEventW through the source, unless a test puts in
// its own. Answers 0 or the system's error.
using EventSink = std::function<DWORD(const EventCall&)>;
EventSink& EventLogSink();

}  // namespace vz::win32
