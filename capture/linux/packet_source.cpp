// The packet-socket frame source.
#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netpacket/packet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "capture/linux/frame_source.h"
#include "capture/linux/interface_key.h"
#include "capture/linux/name_service_filter.h"
#include "platform/texts.h"

namespace kestova {
namespace {

// Large enough for a whole frame on the loopback interface (MTU 65536).
constexpr size_t kFrameBufferSize = 65536 + 64;

class CPacketSource : public IFrameSource {
 public:
  // `interfaceIndex` 0: every interface.
  CPacketSource(int fd, int interfaceIndex, const char* interfaceName)
      : fd_(fd),
        interface_(interfaceIndex, interfaceName),
        buffer_(kFrameBufferSize) {}
  ~CPacketSource() override { close(fd_); }
  CPacketSource(const CPacketSource&) = delete;
  CPacketSource& operator=(const CPacketSource&) = delete;

  int Descriptor() const override { return fd_; }

  ReadOutcome Read(CapturedFrame* frame, std::string* error) override {
    sockaddr_ll from;
    socklen_t fromLength = sizeof(from);
    const ssize_t received = recvfrom(fd_, buffer_.data(), buffer_.size(), MSG_TRUNC | MSG_DONTWAIT,
                                      reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received < 0) {
      const int code = errno;
      if (code == EAGAIN || code == EWOULDBLOCK || code == EINTR) return ReadOutcome::kNothing;
      *error = std::string("packet capture: ") + std::strerror(code);
      if (code != ENETDOWN) return ReadOutcome::kFailed;
      // Down, or being removed: only an interface that still exists can come back.
      return StillUsable(error) ? ReadOutcome::kTransient : ReadOutcome::kFailed;
    }
    // Frames this host sends appear once more as outgoing: they are not queries to answer.
    if (from.sll_pkttype == PACKET_OUTGOING) return ReadOutcome::kNothing;
    // Only interfaces with an Ethernet header put the fields where the responder reads them.
    if (from.sll_hatype != ARPHRD_ETHER && from.sll_hatype != ARPHRD_LOOPBACK) {
      return ReadOutcome::kNothing;
    }
    if (static_cast<size_t>(received) > buffer_.size()) return ReadOutcome::kNothing;  // cut
    frame->bytes = buffer_.data();
    frame->length = static_cast<size_t>(received);
    InterfaceAdapterKey(fd_, from.sll_ifindex, &frame->keyLow, &frame->keyHigh);
    return ReadOutcome::kFrame;
  }

  bool StillUsable(std::string* error) override {
    return interface_.StillUsable(T_("packet capture"), error);
  }

 private:
  int fd_;
  CInterfaceWatch interface_;
  std::vector<uint8_t> buffer_;
};

}  // namespace

std::unique_ptr<IFrameSource> OpenPacketSource(const char* interfaceName, std::string* error) {
  // Opened for no protocol, so nothing queues before the filter is attached; bind then starts
  // reception.
  const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    const int code = errno;
    *error = std::string("packet socket: ") + std::strerror(code);
    if (code == EPERM || code == EACCES) *error += T_(" (needs root or CAP_NET_RAW)");
    return nullptr;
  }
  sockaddr_ll local;
  std::memset(&local, 0, sizeof(local));
  local.sll_family = AF_PACKET;
  local.sll_protocol = htons(ETH_P_ALL);
  if (interfaceName != nullptr && interfaceName[0] != '\0') {
    local.sll_ifindex = static_cast<int>(if_nametoindex(interfaceName));
    if (local.sll_ifindex == 0) {
      *error = std::string("interface ") + interfaceName + ": " + std::strerror(errno);
      close(fd);
      return nullptr;
    }
  }
  const sock_fprog filter = NameServiceFilter();
  if (setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &filter, sizeof(filter)) != 0) {
    *error = std::string("packet filter: ") + std::strerror(errno);
    close(fd);
    return nullptr;
  }
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
    *error = std::string("packet socket bind: ") + std::strerror(errno);
    close(fd);
    return nullptr;
  }
  return std::unique_ptr<IFrameSource>(new CPacketSource(fd, local.sll_ifindex, interfaceName));
}

}  // namespace kestova
