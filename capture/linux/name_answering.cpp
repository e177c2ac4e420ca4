#include "capture/linux/name_answering.h"

#include <cstdio>
#include <cstring>

namespace kestova {
namespace {

void ReportToStandardError(const char* text, bool fatal, void* /*context*/) {
  std::fprintf(stderr, "kestov-a: %s%s\n", text, fatal ? " - name answering has stopped" : "");
  std::fflush(stderr);
}

std::string Where(const char* interfaceName) {
  if (interfaceName == nullptr || interfaceName[0] == '\0') return "on every interface";
  return std::string("on ") + interfaceName;
}

}  // namespace

bool ParseCaptureMethod(const char* text, CaptureMethod* method) {
  static const struct {
    const char* name;
    CaptureMethod method;
  } kMethods[] = {{"auto", CaptureMethod::kAuto},
                  {"packet", CaptureMethod::kPacket},
                  {"socket", CaptureMethod::kSocket},
                  {"none", CaptureMethod::kNone}};
  for (const auto& entry : kMethods) {
    if (std::strcmp(text, entry.name) == 0) {
      *method = entry.method;
      return true;
    }
  }
  return false;
}

const char* CaptureMethodName(CaptureMethod method) {
  switch (method) {
    case CaptureMethod::kAuto:
      return "auto";
    case CaptureMethod::kPacket:
      return "packet";
    case CaptureMethod::kSocket:
      return "socket";
    case CaptureMethod::kNone:
      return "none";
  }
  return "none";
}

CNameAnswering::CNameAnswering() : responder_(transport_), report_(ReportToStandardError) {}

CNameAnswering::~CNameAnswering() { Stop(); }

void CNameAnswering::SetFailureReport(CaptureFailureReport report, void* context) {
  report_ = report;
  reportContext_ = context;
}

bool CNameAnswering::StartSource(std::unique_ptr<IFrameSource> source, std::string* error) {
  capture_.reset(new CFrameCapture(std::move(source), &CNameResponder::OnFrame, &responder_,
                                   report_, reportContext_));
  if (capture_->Start(error)) return true;
  capture_.reset();
  return false;
}

bool CNameAnswering::Start(CaptureMethod method, const char* interfaceName, std::string* message) {
  Stop();
  if (method == CaptureMethod::kNone) {
    *message = "name answering: off (--capture none)";
    return true;
  }
  std::string packetError;
  if (method == CaptureMethod::kPacket || method == CaptureMethod::kAuto) {
    std::unique_ptr<IFrameSource> source = OpenPacketSource(interfaceName, &packetError);
    if (source != nullptr && StartSource(std::move(source), &packetError)) {
      running_ = CaptureMethod::kPacket;
      *message = "name answering: packet capture " + Where(interfaceName);
      return true;
    }
    if (method == CaptureMethod::kPacket) {
      *message = "name answering: cannot start packet capture: " + packetError;
      return false;
    }
  }
  std::string socketError;
  std::unique_ptr<IFrameSource> source = OpenSocketSource(interfaceName, &socketError);
  if (source != nullptr && StartSource(std::move(source), &socketError)) {
    running_ = CaptureMethod::kSocket;
    *message = "name answering: UDP port 137 " + Where(interfaceName);
    if (method == CaptureMethod::kAuto) *message += " (packet capture: " + packetError + ")";
    return true;
  }
  if (method == CaptureMethod::kSocket) {
    *message = "name answering: cannot start socket capture: " + socketError;
    return false;
  }
  *message = "name answering: off - recorders cannot find this destination by name (" +
             packetError + "; " + socketError + ")";
  return true;
}

void CNameAnswering::Stop() {
  capture_.reset();
  running_ = CaptureMethod::kNone;
}

}  // namespace kestova
