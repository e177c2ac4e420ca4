// The UDP-socket frame source.
#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "capture/linux/frame_source.h"
#include "capture/linux/interface_key.h"
#include "capture/name_service_frame.h"
#include "platform/texts.h"

namespace kestova {
namespace {

constexpr uint16_t kPort = 137;
constexpr size_t kDatagramBufferSize = 65536;

class CSocketSource : public IFrameSource {
 public:
  // `interfaceIndex` 0: every interface.
  CSocketSource(int fd, int interfaceIndex, const char* interfaceName)
      : fd_(fd),
        interface_(interfaceIndex, interfaceName),
        datagram_(kDatagramBufferSize),
        frame_(kUdpPayloadOffset + kDatagramBufferSize) {}
  ~CSocketSource() override { close(fd_); }
  CSocketSource(const CSocketSource&) = delete;
  CSocketSource& operator=(const CSocketSource&) = delete;

  int Descriptor() const override { return fd_; }

  ReadOutcome Read(CapturedFrame* frame, std::string* error) override {
    sockaddr_in from;
    iovec part = {datagram_.data(), datagram_.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message;
    std::memset(&message, 0, sizeof(message));
    message.msg_name = &from;
    message.msg_namelen = sizeof(from);
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    const ssize_t received = recvmsg(fd_, &message, MSG_DONTWAIT);
    if (received < 0) {
      const int code = errno;
      if (code == EAGAIN || code == EWOULDBLOCK || code == EINTR) return ReadOutcome::kNothing;
      // An ICMP error queued on the socket is about one earlier datagram, not about reception.
      if (code == ECONNREFUSED || code == EHOSTUNREACH || code == ENETUNREACH) {
        return ReadOutcome::kNothing;
      }
      *error = std::string("socket capture: ") + std::strerror(code);
      return code == ENETDOWN ? ReadOutcome::kTransient : ReadOutcome::kFailed;
    }
    if ((message.msg_flags & MSG_TRUNC) != 0) return ReadOutcome::kNothing;

    UdpDatagramAddresses addresses;
    addresses.sourceAddress = from.sin_addr.s_addr;
    addresses.sourcePort = ntohs(from.sin_port);
    addresses.destinationPort = kPort;
    int interfaceIndex = 0;
    for (cmsghdr* item = CMSG_FIRSTHDR(&message); item != nullptr;
         item = CMSG_NXTHDR(&message, item)) {
      if (item->cmsg_level == IPPROTO_IP && item->cmsg_type == IP_PKTINFO) {
        in_pktinfo info;
        std::memcpy(&info, CMSG_DATA(item), sizeof(info));
        addresses.destinationAddress = info.ipi_addr.s_addr;
        interfaceIndex = info.ipi_ifindex;
      }
    }
    const size_t length = BuildUdpFrame(addresses, datagram_.data(), static_cast<size_t>(received),
                                        frame_.data(), frame_.size());
    // The same frames pass as through the kernel filter of the packet capture: from port 137.
    if (length == 0 || !IsNameServiceFrame(frame_.data(), length)) return ReadOutcome::kNothing;
    frame->bytes = frame_.data();
    frame->length = length;
    InterfaceAdapterKey(fd_, interfaceIndex, &frame->keyLow, &frame->keyHigh);
    return ReadOutcome::kFrame;
  }

  bool StillUsable(std::string* error) override {
    return interface_.StillUsable(T_("socket capture"), error);
  }

 private:
  int fd_;
  CInterfaceWatch interface_;
  std::vector<uint8_t> datagram_;
  std::vector<uint8_t> frame_;
};

bool SetFlag(int fd, int level, int name) {
  const int on = 1;
  return setsockopt(fd, level, name, &on, sizeof(on)) == 0;
}

}  // namespace

std::unique_ptr<IFrameSource> OpenSocketSource(const char* interfaceName, std::string* error) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (fd < 0) {
    *error = std::string("UDP socket: ") + std::strerror(errno);
    return nullptr;
  }
  if (!SetFlag(fd, SOL_SOCKET, SO_REUSEADDR) || !SetFlag(fd, SOL_SOCKET, SO_BROADCAST) ||
      !SetFlag(fd, IPPROTO_IP, IP_PKTINFO)) {
    *error = std::string("UDP socket options: ") + std::strerror(errno);
    close(fd);
    return nullptr;
  }
  int interfaceIndex = 0;
  if (interfaceName != nullptr && interfaceName[0] != '\0' &&
      ((interfaceIndex = static_cast<int>(if_nametoindex(interfaceName))) == 0 ||
       setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, interfaceName,
                  static_cast<socklen_t>(std::strlen(interfaceName))) != 0)) {
    *error = std::string("interface ") + interfaceName + ": " + std::strerror(errno);
    close(fd);
    return nullptr;
  }
  sockaddr_in local;
  std::memset(&local, 0, sizeof(local));
  local.sin_family = AF_INET;
  local.sin_port = htons(kPort);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
    const int code = errno;
    *error = std::string("UDP port 137: ") + std::strerror(code);
    if (code == EACCES) *error += T_(" (needs root or CAP_NET_BIND_SERVICE)");
    close(fd);
    return nullptr;
  }
  return std::unique_ptr<IFrameSource>(new CSocketSource(fd, interfaceIndex, interfaceName));
}

}  // namespace kestova
