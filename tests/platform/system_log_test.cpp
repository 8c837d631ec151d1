// The system's log on Linux: the records reach a journal, or a syslog where
// no journal listens, each through a socket of the test's own.
#ifndef _WIN32
#include "platform/posix/system_log_posix.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <nlohmann/json.hpp>

#include "support/drives.h"

namespace vz::test {
namespace {

// A datagram socket bound at a path of the test's folder.
class Listener {
 public:
  explicit Listener(const std::string& path) : path_(path) {
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un at{};
    at.sun_family = AF_UNIX;
    std::strncpy(at.sun_path, path.c_str(), sizeof at.sun_path - 1);
    bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
  }
  ~Listener() { close(fd_); }
  bool Bound() const { return bound_; }
  // The datagrams that wait, without waiting for more.
  std::vector<std::string> Received() {
    std::vector<std::string> out;
    char buf[65536];
    for (ssize_t n; (n = recv(fd_, buf, sizeof buf, MSG_DONTWAIT)) >= 0;) out.emplace_back(buf, n);
    return out;
  }

 private:
  std::string path_;
  int fd_ = -1;
  bool bound_ = false;
};

// The journal's native form read back: NAME=value lines, and NAME, a
// 64-bit length and the bytes for a value with line feeds.
std::map<std::string, std::string> Parse(const std::string& d) {
  std::map<std::string, std::string> fields;
  for (std::size_t at = 0; at < d.size();) {
    std::size_t end = d.find('\n', at), eq = d.find('=', at);
    if (eq < end) {
      fields[d.substr(at, eq - at)] = d.substr(eq + 1, end - eq - 1);
      at = end + 1;
      continue;
    }
    std::uint64_t n = 0;
    for (int i = 0; i < 8; ++i) n |= std::uint64_t(static_cast<unsigned char>(d[end + 1 + i])) << (8 * i);
    fields[d.substr(at, end - at)] = d.substr(end + 9, n);
    at = end + 9 + n + 1;
  }
  return fields;
}

class SystemLogTest : public DrivesTest {
 protected:
  std::string Socket(const char* name) { return HostPath(D(name)); }
  const std::vector<LogRecord> records_ = {
      {kItemEvent, LogLevel::Error, "vaporize item failed: vaporized path_hmac ab12", {{"outcome", "failed"},
        {"path_hmac", "ab12"}, {"detail", "line one\nline two"}, {"path", ""}}},
      {kRunEvent, LogLevel::Info, "vaporize run (shred) ended", {{"command", "shred"}, {"done", "1"}}},
  };
};

TEST_F(SystemLogTest, TheJournalReceivesEveryFieldWithItsMessageId) {
  Listener journal(Socket("journal")), syslog(Socket("log"));
  ASSERT_TRUE(journal.Bound() && syslog.Bound());
  ASSERT_EQ(posix::SendLogRecords(records_, Socket("journal"), Socket("log")), "");
  const std::vector<std::string> got = journal.Received();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_TRUE(syslog.Received().empty());
  const std::map<std::string, std::string> item = Parse(got[0]), run = Parse(got[1]);
  const std::map<std::string, std::string> wanted = {
      {"MESSAGE", "vaporize item failed: vaporized path_hmac ab12"},
      {"MESSAGE_ID", kItemMessageId},
      {"PRIORITY", "3"},
      {"SYSLOG_FACILITY", "10"},
      {"SYSLOG_IDENTIFIER", "vaporizer"},
      {"VAPORIZER_EVENT", "100"},
      {"VAPORIZER_OUTCOME", "failed"},
      {"VAPORIZER_PATH_HMAC", "ab12"},
      {"VAPORIZER_DETAIL", "line one\nline two"},
      {"VAPORIZER_PATH", ""}};
  EXPECT_EQ(item, wanted);
  EXPECT_EQ(run.at("MESSAGE_ID"), kRunMessageId);
  EXPECT_EQ(run.at("PRIORITY"), "6");
  EXPECT_EQ(run.at("VAPORIZER_COMMAND"), "shred");
}

// No journal at its place: syslog's lines, with the fields as JSON; with
// neither, the records are not lost silently.
TEST_F(SystemLogTest, WithoutAJournalSyslogTakesTheRecords) {
  Listener syslog(Socket("log"));
  ASSERT_TRUE(syslog.Bound());
  ASSERT_EQ(posix::SendLogRecords(records_, Socket("no-journal"), Socket("log")), "");
  const std::vector<std::string> got = syslog.Received();
  ASSERT_EQ(got.size(), 2u);
  const std::string head = "<83>";  // authpriv (10) * 8 + error (3)
  EXPECT_EQ(got[0].compare(0, head.size(), head), 0) << got[0];
  const std::string tag = " vaporizer[" + std::to_string(getpid()) + "]: vaporize item failed: vaporized path_hmac ab12 ";
  const std::size_t at = got[0].find(tag);
  ASSERT_NE(at, std::string::npos) << got[0];
  auto j = nlohmann::json::parse(got[0].substr(at + tag.size()));
  EXPECT_EQ(j["MESSAGE_ID"], kItemMessageId);
  EXPECT_EQ(j["detail"], "line one\nline two");
  EXPECT_EQ(j["path_hmac"], "ab12");
  EXPECT_EQ(got[1].compare(0, 4, "<86>"), 0) << got[1];
  const std::string why = posix::SendLogRecords(records_, Socket("no-journal"), Socket("no-log"));
  EXPECT_NE(why.find("neither journald"), std::string::npos) << why;
}

}  // namespace
}  // namespace vz::test
#endif
