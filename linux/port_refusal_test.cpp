#include "linux/port_refusal.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>

#include "platform/system_error.h"

namespace kestova {
namespace {

// A TCP socket bound to a free loopback port (listening when `listening`); -1 on failure.
int BindLoopbackPort(bool listening, uint16_t* port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      (listening && listen(fd, 1) != 0) ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return -1;
  }
  *port = ntohs(address.sin_port);
  return fd;
}

TEST(PortRefusalTest, ListeningInodesAreFoundByPortAndStateOnly) {
  const std::string table =
      "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout "
      "inode\n"
      "   0: 00000000:0015 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 "
      "4711 1\n"
      "   1: 0100007F:0015 0100007F:9C40 01 00000000:00000000 00:00000000 00000000     0        0 "
      "4712 1\n"
      "   2: 0100007F:1F55 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 "
      "4713 1\n"
      "   3: 00000000000000000000000000000000:0015 00000000000000000000000000000000:0000 0A "
      "00000000:00000000 00:00000000 00000000   107        0 4714 1\n";
  EXPECT_EQ((std::vector<unsigned long>{4711, 4714}), ListeningSocketInodes(table, 21));
  EXPECT_EQ((std::vector<unsigned long>{4713}), ListeningSocketInodes(table, 8021));
  EXPECT_TRUE(ListeningSocketInodes(table, 22).empty());
}

TEST(PortRefusalTest, ServiceUnitComesFromTheCgroupPath) {
  const struct {
    const char* cgroup;
    const char* unit;
  } cases[] = {
      {"0::/system.slice/vsftpd.service\n", "vsftpd.service"},
      {"12:name=systemd:/system.slice/proftpd.service\n0::/\n", "proftpd.service"},
      {"0::/user.slice/user-1000.slice/session-2.scope\n", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.unit, ServiceUnitOfCgroup(c.cgroup)) << c.cgroup;
}

TEST(PortRefusalTest, TextsNameTheCauseFirstAndHowToAct) {
  PortRefusal noRight;
  noRight.cause = PortRefusal::kNoRight;
  noRight.programPath = "/usr/sbin/kestov-a";
  PortRefusal service;
  service.cause = PortRefusal::kInUse;
  service.holderPid = 812;
  service.holderName = "vsftpd";
  service.holderUnit = "vsftpd.service";
  PortRefusal hidden;
  hidden.cause = PortRefusal::kInUse;
  hidden.listenerSeen = true;
  const struct {
    const PortRefusal* refusal;
    const char* cause;   // must come first, right after the port
    const char* remedy;  // must follow
  } cases[] = {
      {&noRight, "on port 21: this user may not use ports below 1024",
       "sudo setcap cap_net_bind_service=+ep /usr/sbin/kestov-a"},
      {&service, "on port 21: vsftpd (process 812, service vsftpd.service) is using it",
       "sudo systemctl disable --now vsftpd.service"},
      {&hidden, "on port 21: another program is using it", "sudo ss -ltnp 'sport = :21'"},
  };
  for (const auto& c : cases) {
    const std::string text = PortRefusalText(21, *c.refusal);
    const size_t cause = text.find(c.cause);
    ASSERT_NE(std::string::npos, cause) << text;
    EXPECT_GT(text.find(c.remedy), cause) << text;
    EXPECT_EQ(std::string::npos, text.find("Stop the other FTP server")) << text;
  }
}

// The listener's own error decides; where it names no cause the diagnosis can act on,
// the text gives the system's reason rather than a guess.
TEST(PortRefusalTest, WithoutANameableCauseTheSystemsReasonIsGiven) {
  uint16_t port = 0;
  const int fd = BindLoopbackPort(false, &port);  // bound, never listening
  ASSERT_GE(fd, 0);
  const struct {
    int listenerError;
    PortRefusal::Cause cause;
  } cases[] = {
      {EADDRINUSE, PortRefusal::kInUse},     // in use, but no listening socket to trace
      {EACCES, PortRefusal::kOther},         // refused above the privileged ports
      {EADDRNOTAVAIL, PortRefusal::kOther},  // e.g. an address this machine does not have
  };
  for (const auto& c : cases) {
    const PortRefusal refusal = DiagnosePortRefusal(port, c.listenerError);
    const std::string text = PortRefusalText(port, refusal);
    EXPECT_EQ(c.cause, refusal.cause) << text;
    const std::string reason = SystemErrorOf(c.listenerError).text.CStr();
    EXPECT_NE(std::string::npos,
              text.find("on port " + std::to_string(port) + ": " + reason + ". "))
        << text;
    EXPECT_EQ(std::string::npos, text.find("hidden")) << text;
    EXPECT_EQ(std::string::npos, text.find("setcap")) << text;
  }
  close(fd);
}

TEST(PortRefusalTest, APortHeldByThisProcessIsTracedToIt) {
  uint16_t port = 0;
  const int fd = BindLoopbackPort(true, &port);
  ASSERT_GE(fd, 0);
  const PortRefusal refusal = DiagnosePortRefusal(port);
  close(fd);
  EXPECT_EQ(PortRefusal::kInUse, refusal.cause);
  EXPECT_EQ(static_cast<long>(getpid()), refusal.holderPid);
  std::ifstream comm("/proc/self/comm");  // this program's name (under qemu, qemu's)
  std::string name;
  std::getline(comm, name);
  EXPECT_EQ(name, refusal.holderName);
}

TEST(PortRefusalTest, AUsersRefusalAtAPrivilegedPortIsTheMissingRight) {
  if (geteuid() == 0) GTEST_SKIP() << "root may bind every port";
  const PortRefusal refusal = DiagnosePortRefusal(21);
  if (refusal.cause == PortRefusal::kNone || refusal.privilegedBelow <= 21) {
    GTEST_SKIP() << "this system lets ordinary users bind port 21";
  }
  EXPECT_EQ(PortRefusal::kNoRight, refusal.cause);
}

}  // namespace
}  // namespace kestova
