#include "platform/posix/system_log_posix.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>

#include "platform/platform.h"

namespace vz::posix {
namespace {

// Destruction is a security matter, and the policy may have the items
// named: LOG_AUTHPRIV, which the usual configurations keep from others.
constexpr int kFacility = 10;

int Severity(LogLevel l) { return l == LogLevel::Error ? 3 : l == LogLevel::Warning ? 4 : 6; }

std::string Upper(std::string s) {
  for (char& c : s) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return s;
}

void Field(std::string& out, const std::string& name, const std::string& value) {
  if (value.find('\n') == std::string::npos) {
    out += name + "=" + value + "\n";
    return;
  }
  // A value with line feeds: the name, its length as 64 bits little-endian,
  // the bytes.
  out += name + "\n";
  std::uint64_t n = value.size();
  for (int i = 0; i < 8; ++i) out += static_cast<char>((n >> (8 * i)) & 0xFF);
  out += value + "\n";
}

// Sends one datagram; 0 or the errno.
int SendTo(int fd, const std::string& path, const std::string& data) {
  sockaddr_un to{};
  to.sun_family = AF_UNIX;
  if (path.size() >= sizeof to.sun_path) return ENAMETOOLONG;
  std::memcpy(to.sun_path, path.c_str(), path.size() + 1);
  ssize_t n = sendto(fd, data.data(), data.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&to), sizeof to);
  return n == static_cast<ssize_t>(data.size()) ? 0 : n < 0 ? errno : EMSGSIZE;
}

// Nobody listens there: the place is missing or nothing is bound to it.
bool NoListener(int err) { return err == ENOENT || err == ECONNREFUSED || err == ENOTDIR || err == ENOTSOCK; }

}  // namespace

std::string JournalDatagram(const LogRecord& r) {
  std::string out;
  Field(out, "MESSAGE", r.message);
  Field(out, "MESSAGE_ID", r.event == kRunEvent ? kRunMessageId : kItemMessageId);
  Field(out, "PRIORITY", std::to_string(Severity(r.level)));
  Field(out, "SYSLOG_FACILITY", std::to_string(kFacility));
  Field(out, "SYSLOG_IDENTIFIER", "vaporizer");
  Field(out, "VAPORIZER_EVENT", std::to_string(r.event));
  for (const LogField& f : r.fields) Field(out, "VAPORIZER_" + Upper(f.name), f.value);
  return out;
}

std::string SyslogLine(const LogRecord& r) {
  nlohmann::ordered_json j = {{"MESSAGE_ID", r.event == kRunEvent ? kRunMessageId : kItemMessageId},
                              {"event", r.event}};
  for (const LogField& f : r.fields) j[f.name] = f.value;
  char stamp[32] = "";
  std::time_t now = std::time(nullptr);
  struct tm local {};
  if (localtime_r(&now, &local)) std::strftime(stamp, sizeof stamp, "%b %e %H:%M:%S", &local);
  return "<" + std::to_string(kFacility * 8 + Severity(r.level)) + ">" + stamp + " vaporizer[" +
         std::to_string(getpid()) + "]: " + r.message + " " +
         j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string SendLogRecords(const std::vector<LogRecord>& records, const std::string& journalSocket,
                           const std::string& syslogSocket) {
  if (records.empty()) return {};
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::string("no socket: ") + std::strerror(errno);
  std::string why;
  int err = SendTo(fd, journalSocket, JournalDatagram(records[0]));
  if (err == 0) {
    for (std::size_t i = 1; i < records.size() && !err; ++i) err = SendTo(fd, journalSocket, JournalDatagram(records[i]));
    if (err) why = "journald at " + journalSocket + " refused a record: " + std::strerror(err);
  } else if (!NoListener(err)) {
    why = "journald at " + journalSocket + " refused a record: " + std::strerror(err);
  } else {
    const std::string journal = std::strerror(err);
    for (std::size_t i = 0; i < records.size() && !(err = SendTo(fd, syslogSocket, SyslogLine(records[i]))); ++i) {
    }
    if (err)
      why = "neither journald (" + journalSocket + ": " + journal + ") nor syslog (" + syslogSocket + ": " +
            std::strerror(err) + ") took the records";
  }
  close(fd);
  return why;
}

}  // namespace vz::posix

namespace vz {

std::string Platform::WriteSystemLog(const std::vector<LogRecord>& records) {
  return posix::SendLogRecords(records, posix::kJournalSocket, posix::kSyslogSocket);
}

}  // namespace vz
