// A small program for the end-to-end tests of capture without the driver: it answers name
// queries with the capture method given on the command line until its standard input ends.
//   capture_probe METHOD      METHOD: driver, raw, socket or auto
// Prints "start R METHOD" once the start returned R (with the method that runs), then, after
// standard input ends (or at once when the start failed), "stop R". Exit status: 0 when the
// start succeeded, 2 when it failed, 1 for bad usage.
#include <cstdio>
#include <cstring>

#include "capture/answer_transport.h"
#include "capture/name_responder.h"
#include "capture/win32/capture_client.h"
#include "net/host.h"

int main(int argc, char** argv) {
  using kestova::CCaptureClient;
  CCaptureClient::Method method = CCaptureClient::Method::kDriver;
  if (argc != 2 || !kestova::ParseCaptureMethod(argv[1], &method)) {
    std::fprintf(stderr, "usage: capture_probe driver|raw|socket|auto\n");
    return 1;
  }
  if (!kestova::StartSocketLibrary()) {
    std::fprintf(stderr, "the socket library could not be started\n");
    return 1;
  }
  kestova::CSocketAnswerTransport transport;
  kestova::CNameResponder responder(transport);
  CCaptureClient client;
  client.SetMethod(method);
  client.SetFrameCallback(&kestova::CNameResponder::OnFrame, &responder);
  const int started = client.Start();
  std::printf("start %d %s\n", started,
              started == 0 ? kestova::CaptureMethodName(client.RunningMethod()) : "-");
  std::fflush(stdout);
  if (started == 0) {
    char line[64];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
    }
  }
  std::printf("stop %d\n", client.Stop());
  std::fflush(stdout);
  return started == 0 ? 0 : 2;
}
