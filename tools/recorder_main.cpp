// kestov-recorder: dubs a programme to a network dubbing destination the way a
// recorder does (see recorder_client.h), for tests and for trying a destination out.
#include <clocale>
#include <cstdio>
#include <string>

#include "capture/name_query_client.h"
#include "kestova_version.h"
#include "net/host.h"
#include "tools/recorder_client.h"
#include "tools/recorder_options.h"
#include "tools/recorder_stream.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  kestova::RecorderOptions options;
  std::string error;
  bool wantsHelp = false;
  if (!kestova::ParseRecorderOptions(argc, argv, &options, &error, &wantsHelp)) {
    if (wantsHelp) {
      std::fputs(kestova::RecorderUsage(), stdout);
      return 0;
    }
    std::fprintf(stderr, "kestov-recorder: %s\n\n%s", error.c_str(), kestova::RecorderUsage());
    return 2;
  }
  if (options.version) {
    std::printf("kestov-recorder %s\n", KESTOVA_VERSION_STRING);
    return 0;
  }
  if (!options.writeStream.empty()) {
    if (!kestova::WriteProgrammeStream(options, options.writeStream, &error)) {
      std::fprintf(stderr, "kestov-recorder: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  kestova::StartSocketLibrary();
  if (!options.discoverName.empty()) {
    kestova::NameQueryOptions query;
    query.name = options.discoverName.c_str();
    query.broadcastAddress = kestova::ResolveHostAddress(options.broadcastAddress.c_str());
    query.timeoutMs = options.discoverTimeoutMs;
    if (query.broadcastAddress == 0) {
      std::fprintf(stderr, "kestov-recorder: bad --broadcast address %s\n",
                   options.broadcastAddress.c_str());
      return 2;
    }
    uint32_t address = 0;
    const kestova::NameQueryResult result = kestova::QueryNameAddress(query, &address);
    if (result != kestova::NameQueryResult::kAnswered) {
      std::fprintf(stderr, "kestov-recorder: name query for %s: %s\n", options.discoverName.c_str(),
                   kestova::NameQueryResultText(result));
      return 1;
    }
    options.host = kestova::AddressText(address).CStr();
    std::fprintf(stderr, "kestov-recorder: %s answered from %s\n", options.discoverName.c_str(),
                 options.host.c_str());
  }
  kestova::CRecorderClient client(options);
  if (!client.Run()) {
    std::fprintf(stderr, "kestov-recorder: %s\n", client.Error().c_str());
    return 1;
  }
  std::fprintf(stderr, "kestov-recorder: dubbed %llu bytes to %s:%u\n",
               static_cast<unsigned long long>(client.BytesSent()), options.host.c_str(),
               static_cast<unsigned>(options.port));
  return 0;
}
