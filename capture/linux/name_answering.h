// Name answering for the Linux front end: the name responder fed by a capture chosen with
// --capture (packet, socket, auto or none) on every interface or on --interface.
#pragma once

#include <memory>
#include <string>

#include "capture/answer_transport.h"
#include "capture/linux/frame_capture.h"
#include "capture/name_responder.h"

namespace kestova {

enum class CaptureMethod {
  kAuto,    // packet when permitted, else socket, else none
  kPacket,  // packet socket with the kernel frame filter
  kSocket,  // UDP socket on port 137
  kNone,    // no name answering
};

// "auto", "packet", "socket", "none"; false for anything else.
bool ParseCaptureMethod(const char* text, CaptureMethod* method);
const char* CaptureMethodName(CaptureMethod method);

class CNameAnswering {
 public:
  CNameAnswering();
  ~CNameAnswering();  // stops
  CNameAnswering(const CNameAnswering&) = delete;
  CNameAnswering& operator=(const CNameAnswering&) = delete;

  // Failures of a running capture go to `report` (default: a line on standard error).
  void SetFailureReport(CaptureFailureReport report, void* context);
  // Every judged frame goes to `observer` (on the capture's reader thread); set before Start.
  void SetQueryObserver(NameQueryObserver observer, void* context) {
    responder_.SetObserver(observer, context);
  }

  // Starts answering with `method` on `interfaceName` (null or empty = every interface).
  // *message tells what runs ("name answering: packet capture on every interface") or, for auto,
  // why there is none. False only when an explicitly requested method cannot be started; auto
  // falls back to socket and then to no name answering and returns true.
  bool Start(CaptureMethod method, const char* interfaceName, std::string* message);
  void Stop();

  // The method running (kNone when none).
  CaptureMethod Running() const { return running_; }
  // True once a running capture has failed for good.
  bool Failed() const { return capture_ != nullptr && capture_->Failed(); }

 private:
  bool StartSource(std::unique_ptr<IFrameSource> source, CaptureMethod method,
                   const char* interfaceName, std::string* error);

  CSocketAnswerTransport transport_;
  CNameResponder responder_;
  std::unique_ptr<CFrameCapture> capture_;
  CaptureMethod running_ = CaptureMethod::kNone;
  CaptureFailureReport report_;
  void* reportContext_ = nullptr;
};

}  // namespace kestova
