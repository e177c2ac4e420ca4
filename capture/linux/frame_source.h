// IFrameSource: where the Linux capture gets its frames from. Two kinds exist: a packet socket
// with a kernel frame filter (sees the frames as the adapter received them) and a UDP socket on
// port 137 (the datagrams, wrapped into frames of the same shape).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kestova {

struct CapturedFrame {
  const uint8_t* bytes = nullptr;  // valid until the next Read
  size_t length = 0;
  uint32_t keyLow = 0;  // adapter key of the receiving interface (0/0 if unknown)
  uint32_t keyHigh = 0;
};

enum class ReadOutcome {
  kFrame,      // *frame holds a frame for the responder
  kNothing,    // nothing (yet) for the responder: would block, interrupted, or filtered out
  kTransient,  // a failure worth reporting after which reading goes on (interface went down)
  kFailed,     // the source cannot go on
};

class IFrameSource {
 public:
  virtual ~IFrameSource() = default;
  // The descriptor to wait on for readability.
  virtual int Descriptor() const = 0;
  // Reads one arrival without blocking. On kTransient and kFailed, *error says what happened.
  virtual ReadOutcome Read(CapturedFrame* frame, std::string* error) = 0;
  // Called while no frame arrives: false with *error when the source can deliver no more
  // frames although its descriptor stays quiet (the interface it is bound to was removed).
  virtual bool StillUsable(std::string* error) = 0;
};

// A packet socket receiving the frames that pass the name service frame filter, on every
// interface or only on `interfaceName` (null or empty = every). Frames the host sends itself are
// not delivered. Needs CAP_NET_RAW. Null with *error when it cannot be opened.
std::unique_ptr<IFrameSource> OpenPacketSource(const char* interfaceName, std::string* error);

// A UDP socket bound to port 137 (with broadcast reception, address reuse, and bound to
// `interfaceName` when one is given) whose datagrams from port 137 are delivered as frames built
// around them. Needs the right to bind port 137. Null with *error when it cannot be opened.
std::unique_ptr<IFrameSource> OpenSocketSource(const char* interfaceName, std::string* error);

}  // namespace kestova
