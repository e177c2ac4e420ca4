// libFuzzer target for the code that reads captured bytes: the name responder's frame
// judging and the walk over captured-frame records. Every answer the responder produces is
// checked against the invariants of the 62-byte response.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "capture/name_responder.h"
#include "capture/name_service_frame.h"
#include "capture/nbns_message.h"
#include "capture/record_walk.h"

namespace {

struct Checks {
  const uint8_t* data;
  size_t size;
};

// Checks each answer instead of sending it.
class CCheckingTransport : public kestova::IAnswerTransport {
 public:
  uint32_t AddressToAnnounce(uint32_t) override { return 0x140AA8C0; }  // 192.168.10.20
  bool SendToNameService(uint32_t, const uint8_t* message, uint32_t length,
                         kestova::SystemError*) override {
    if (length != kestova::kNameQueryResponseLength || message[0] != 0x01 || message[2] != 0x85 ||
        message[5] != 0 /* question count 0 */) {
      std::abort();
    }
    uint32_t address = 0;
    const uint16_t id = static_cast<uint16_t>(0x0100 | message[1]);
    if (!kestova::ParseNameQueryResponse(message, length, id, &address) || address != 0x140AA8C0) {
      std::abort();
    }
    return true;
  }
};

CCheckingTransport transport;
kestova::CNameResponder responder(transport);

// Frames handed over by the walk must lie inside the walked bytes.
void CheckedFrame(uint32_t keyLow, uint32_t keyHigh, const uint8_t* frame, uint32_t length,
                  void* context) {
  const Checks* checks = static_cast<const Checks*>(context);
  if (frame < checks->data || frame + length > checks->data + checks->size) std::abort();
  kestova::CNameResponder::OnFrame(keyLow, keyHigh, frame, length, &responder);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  responder.HandleFrame(data, size);
  kestova::IsNameServiceFrame(data, size);
  uint32_t address = 0;
  kestova::ParseNameQueryResponse(data, size, 0x1234, &address);
  Checks checks = {data, size};
  kestova::WalkCapturedFrames(data, size, CheckedFrame, &checks);
  return 0;
}
