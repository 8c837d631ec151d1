// What a run tells the system's log: one record per item and one for the
// run, carrying the facts of the receipt's lines. The core fills the
// records; the platform layer writes them (Platform::WriteSystemLog): on
// Windows to the Application log under the event source "Vaporizer", whose
// message table is in Vaporizer.dll; on Linux to journald, or to syslog
// where there is no journal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vz {

enum class LogLevel { Info, Warning, Error };

// The event IDs, which are also the message numbers of the module's table.
constexpr std::uint32_t kItemEvent = 100;  // an item vaporized, skipped or failed
constexpr std::uint32_t kRunEvent = 200;   // a run ended
constexpr std::uint32_t kRegistrationEvent = 300;  // what a registration or its undoing left undone
// journald's MESSAGE_ID of each.
constexpr const char* kItemMessageId = "1dc60b63428b4c64a4318a524372f832";
constexpr const char* kRunMessageId = "71156a8f08fd4b338a4e14a81b22f2d2";

struct LogField {
  std::string name;  // lower case, as the receipt line names it
  std::string value;
  friend bool operator==(const LogField& a, const LogField& b) { return a.name == b.name && a.value == b.value; }
};

struct LogRecord {
  std::uint32_t event = 0;
  LogLevel level = LogLevel::Info;
  std::string message;  // one line for a human
  // Every field of the event in its documented order, each always present
  // (empty where the receipt has nothing): on Windows the insertion strings
  // %1, %2, ... of the message.
  std::vector<LogField> fields;
};

}  // namespace vz
