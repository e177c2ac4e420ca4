// Finding a dubbing destination the way a recorder does: broadcast a NetBIOS name query for a
// "GR-" name from UDP port 137 and take the address carried by the first positive answer.
#pragma once

#include <cstdint>

namespace kestova {

enum class NameQueryResult {
  kAnswered,    // *address holds the answer's address
  kNoSocket,    // the UDP socket could not be made (port taken, or no permission for it)
  kSendFailed,  // the query could not be sent
  kNoAnswer,    // no positive answer arrived in time
};

struct NameQueryOptions {
  const char* name = "";          // the NetBIOS name asked for
  uint32_t broadcastAddress = 0;  // where the query goes (network byte order)
  uint16_t localPort = 137;       // the port the query is sent from and the answer comes to
  uint16_t serverPort = 137;      // the port the query is sent to
  int32_t timeoutMs = 5000;       // how long to wait for an answer in all
  int32_t repeatMs = 1000;        // the query is sent again after this long without an answer
};

// Sends the query (again every repeatMs) and waits at most timeoutMs for an answer; other
// datagrams arriving meanwhile (queries, answers to other transactions) are skipped.
NameQueryResult QueryNameAddress(const NameQueryOptions& options, uint32_t* address);

// Text of a result for messages.
const char* NameQueryResultText(NameQueryResult result);

}  // namespace kestova
