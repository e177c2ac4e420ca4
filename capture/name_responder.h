// CNameResponder: answers NetBIOS name queries for names beginning "GR-" (the way a recorder
// looks for its dubbing destination) with a positive response that names this program
// (KESTOV-A) and the address through which the querier reaches it.
//
// It is a frame callback: every captured frame is judged on its own (Ethernet II, a 20-byte
// IPv4 header, UDP, the name service message from byte 42) and no state is kept between frames.
// Sending goes through an IAnswerTransport, so the answer can be observed without a network.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/counted_string.h"
#include "capture/frame_callback.h"
#include "platform/system_error.h"

namespace kestova {

// Where the responder's answers go.
class IAnswerTransport {
 public:
  virtual ~IAnswerTransport() = default;
  // The IPv4 address (network byte order) to announce to `querier`; 0 when there is none worth
  // announcing, and then nothing is sent.
  virtual uint32_t AddressToAnnounce(uint32_t querier) = 0;
  // Sends `length` bytes as one datagram to UDP port 137 of `querier`; false when it could not
  // be sent, with the system's reason in `*why` (left unset when the system gave none).
  virtual bool SendToNameService(uint32_t querier, const uint8_t* message, uint32_t length,
                                 SystemError* why) = 0;
  // False when no socket can be opened now (the process is out of descriptors): then the
  // address lookup, too, could not be made, and nothing could be sent.
  virtual bool CanOpenSocket() { return true; }
};

// What became of one frame, for a log or a status display.
enum class NameQueryVerdict {
  kAnswered,          // an NB query for a "GR-" name: answered
  kNoAddress,         // such a query, but no address worth announcing: not answered
  kNoSocket,          // such a query, but no socket could be opened to answer it
  kSendFailed,        // such a query, but the answer could not be sent
  kOtherName,         // an NB query for another name: ignored
  kNotNameQuery,      // no question, or a question of another type (NBSTAT): ignored
  kMalformed,         // shorter than every field read, or longer than the copy: dropped
};

struct NameQueryReport {
  NameQueryVerdict verdict = NameQueryVerdict::kMalformed;
  CCountedString name;     // the decoded question name (kAnswered, kNoAddress, kOtherName)
  uint32_t querier = 0;    // IPv4 source address, network byte order (0 for kMalformed)
  uint32_t announced = 0;  // the address answered with (kAnswered, kSendFailed)
  SystemError sendError;   // why the answer could not be sent (kSendFailed; may be unset)
};

// Told about every frame after it has been judged (and answered), on the thread that
// handled it.
using NameQueryObserver = void (*)(const NameQueryReport& report, void* context);

class CNameResponder {
 public:
  // Frames are copied into a buffer of this size; longer ones are dropped.
  static constexpr size_t kFrameCopySize = 1604;
  // The shortest frame that holds every field read (the question type ends at byte 90).
  static constexpr size_t kShortestQueryFrame = 90;

  explicit CNameResponder(IAnswerTransport& transport) : transport_(transport) {}
  CNameResponder(const CNameResponder&) = delete;
  CNameResponder& operator=(const CNameResponder&) = delete;

  // Judges one frame and answers it when it is an NB name query (question count non-zero,
  // question type 0x0020) for a name whose first three decoded characters are "GR-" in any
  // case. True when an answer was handed to the transport.
  bool HandleFrame(const uint8_t* frame, size_t length) const;

  // Set before frames arrive; null (the default) tells nobody.
  void SetObserver(NameQueryObserver observer, void* context) {
    observer_ = observer;
    observerContext_ = context;
  }

  // The frame callback: `context` is the CNameResponder. The adapter key is not used.
  static void OnFrame(uint32_t keyLow, uint32_t keyHigh, const uint8_t* frame, uint32_t length,
                      void* context);

 private:
  // Builds the response naming `name` to the query in `frameCopy` and sends it to the
  // query's source; false when there was no address to announce or the send failed.
  bool SendAnswer(const uint8_t* frameCopy, const CCountedString& name,
                  NameQueryReport* report) const;
  bool Tell(NameQueryReport& report) const;

  IAnswerTransport& transport_;
  NameQueryObserver observer_ = nullptr;
  void* observerContext_ = nullptr;
};

}  // namespace kestova
