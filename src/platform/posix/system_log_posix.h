// The system's log on Linux: journald's native protocol (a datagram of
// NAME=value fields to its socket, the form sd_journal_send writes), and
// syslog's where no journal listens. The sockets are parameters so that a
// test can listen in their place.
#pragma once

#include <string>
#include <vector>

#include "platform/system_log.h"

namespace vz::posix {

constexpr const char* kJournalSocket = "/run/systemd/journal/socket";
constexpr const char* kSyslogSocket = "/dev/log";

// The journal's datagram of a record: MESSAGE, MESSAGE_ID, PRIORITY,
// SYSLOG_FACILITY, SYSLOG_IDENTIFIER, VAPORIZER_EVENT and VAPORIZER_<FIELD>
// for every field.
std::string JournalDatagram(const LogRecord& r);
// The syslog line of a record: "<PRI>Mmm dd hh:mm:ss vaporizer[pid]: "
// then the message and the fields as one JSON object.
std::string SyslogLine(const LogRecord& r);

// Each record to the journal, or, when no journal takes the first, every
// record to syslog. Empty when done; else why not.
std::string SendLogRecords(const std::vector<LogRecord>& records, const std::string& journalSocket,
                           const std::string& syslogSocket);

}  // namespace vz::posix
