#include "capture/linux/test_support/private_network.h"

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kestova {
namespace testing {
namespace {

std::string Failure(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool SetInterfaceAddress(int fd, const char* name, unsigned long request, const char* text) {
  ifreq item;
  std::memset(&item, 0, sizeof(item));
  std::strncpy(item.ifr_name, name, IFNAMSIZ - 1);
  sockaddr_in address;
  std::memset(&address, 0, sizeof(address));
  address.sin_family = AF_INET;
  inet_pton(AF_INET, text, &address.sin_addr);
  std::memcpy(&item.ifr_addr, &address, sizeof(address));
  return ioctl(fd, request, &item) == 0;
}

std::string Setup() {
  if (geteuid() != 0) return "needs root to make a private network namespace";
  if (unshare(CLONE_NEWNET) != 0) return Failure("unshare(CLONE_NEWNET)");
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return Failure("socket");
  ifreq item;
  std::memset(&item, 0, sizeof(item));
  std::strncpy(item.ifr_name, "lo", IFNAMSIZ - 1);
  bool ok = ioctl(fd, SIOCGIFFLAGS, &item) == 0;
  item.ifr_flags = static_cast<short>(item.ifr_flags | IFF_UP);
  ok = ok && ioctl(fd, SIOCSIFFLAGS, &item) == 0;
  // A secondary address on lo labelled lo:1; with its /24 every 192.0.2.x is local.
  ok = ok && SetInterfaceAddress(fd, "lo:1", SIOCSIFADDR, "192.0.2.1") &&
       SetInterfaceAddress(fd, "lo:1", SIOCSIFNETMASK, "255.255.255.0");
  const std::string result = ok ? "" : Failure("configuring lo");
  close(fd);
  return result;
}

}  // namespace

std::string EnterPrivateNetwork() {
  static const std::string reason = Setup();
  return reason;
}

bool InjectFrame(const std::vector<uint8_t>& frame) {
  const int fd = socket(AF_PACKET, SOCK_RAW, 0);
  if (fd < 0) return false;
  sockaddr_ll to;
  std::memset(&to, 0, sizeof(to));
  to.sll_family = AF_PACKET;
  to.sll_protocol = htons(ETH_P_IP);
  to.sll_ifindex = static_cast<int>(if_nametoindex("lo"));
  to.sll_halen = 6;
  const bool sent = sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to),
                           sizeof(to)) == static_cast<ssize_t>(frame.size());
  close(fd);
  return sent;
}

int BoundUdpSocket(uint32_t address, uint16_t port) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));
  sockaddr_in local;
  std::memset(&local, 0, sizeof(local));
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  local.sin_addr.s_addr = address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::vector<uint8_t> ReceiveDatagram(int fd, int timeoutMs, uint32_t* sourceAddress) {
  pollfd wait = {fd, POLLIN, 0};
  if (poll(&wait, 1, timeoutMs) <= 0) return {};
  std::vector<uint8_t> bytes(65536);
  sockaddr_in from;
  socklen_t fromLength = sizeof(from);
  const ssize_t received =
      recvfrom(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
  if (received < 0) return {};
  bytes.resize(static_cast<size_t>(received));
  if (sourceAddress != nullptr) *sourceAddress = from.sin_addr.s_addr;
  return bytes;
}

}  // namespace testing
}  // namespace kestova
