#include "capture/linux/name_answering.h"

#include <cstdio>
#include <cstring>

#include "platform/texts.h"

namespace kestova {
namespace {

void ReportToStandardError(const char* text, bool fatal, void* /*context*/) {
  std::fprintf(stderr, "kestov-a: %s%s\n", text, fatal ? T_(" - name answering has stopped") : "");
  std::fflush(stderr);
}

std::string Where(const char* interfaceName) {
  if (interfaceName == nullptr || interfaceName[0] == '\0') return T_("on every interface");
  return Format(T_("on %s"), interfaceName);
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

bool CNameAnswering::StartSource(std::unique_ptr<IFrameSource> source, CaptureMethod method,
                                 const char* interfaceName, std::string* error) {
  capture_.reset(new CFrameCapture(std::move(source), &CNameResponder::OnFrame, &responder_,
                                   report_, reportContext_));
  // A capture on one interface follows it when it is deleted and created again (a USB
  // adapter plugged in again, a bridge rebuilt); one on every interface sees new ones anyway.
  if (interfaceName != nullptr && interfaceName[0] != '\0') {
    const std::string name = interfaceName;
    const bool packet = method == CaptureMethod::kPacket;
    capture_->SetReopener(
        [name, packet](std::string* reopenError) {
          return packet ? OpenPacketSource(name.c_str(), reopenError)
                        : OpenSocketSource(name.c_str(), reopenError);
        },
        Format(packet ? T_("packet capture: interface %s is back - name answering goes on")
                      : T_("socket capture: interface %s is back - name answering goes on"),
               name.c_str()));
  }
  if (capture_->Start(error)) return true;
  capture_.reset();
  return false;
}

bool CNameAnswering::Start(CaptureMethod method, const char* interfaceName, std::string* message) {
  Stop();
  if (method == CaptureMethod::kNone) {
    *message = T_("name answering: off (--capture none)");
    return true;
  }
  std::string packetError;
  if (method == CaptureMethod::kPacket || method == CaptureMethod::kAuto) {
    std::unique_ptr<IFrameSource> source = OpenPacketSource(interfaceName, &packetError);
    if (source != nullptr &&
        StartSource(std::move(source), CaptureMethod::kPacket, interfaceName, &packetError)) {
      running_ = CaptureMethod::kPacket;
      *message = Format(T_("name answering: packet capture %s"), Where(interfaceName).c_str());
      return true;
    }
    if (method == CaptureMethod::kPacket) {
      *message = Format(T_("name answering: cannot start packet capture: %s"), packetError.c_str());
      return false;
    }
  }
  std::string socketError;
  std::unique_ptr<IFrameSource> source = OpenSocketSource(interfaceName, &socketError);
  if (source != nullptr &&
      StartSource(std::move(source), CaptureMethod::kSocket, interfaceName, &socketError)) {
    running_ = CaptureMethod::kSocket;
    *message = Format(T_("name answering: UDP port 137 %s"), Where(interfaceName).c_str());
    if (method == CaptureMethod::kAuto) {
      *message += Format(T_(" (packet capture: %s)"), packetError.c_str());
    }
    return true;
  }
  if (method == CaptureMethod::kSocket) {
    *message = Format(T_("name answering: cannot start socket capture: %s"), socketError.c_str());
    return false;
  }
  *message = Format(T_("name answering: off - recorders cannot find this destination by name "
                       "(%s; %s)"),
                    packetError.c_str(), socketError.c_str());
  return true;
}

void CNameAnswering::Stop() {
  capture_.reset();
  running_ = CaptureMethod::kNone;
}

}  // namespace kestova
