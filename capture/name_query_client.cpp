#include "capture/name_query_client.h"

#include "base/counted_string.h"
#include "capture/broadcast_option.h"
#include "capture/nbns_message.h"
#include "net/event_socket.h"
#include "platform/time.h"

namespace kestova {
namespace {

// Upper bound of datagrams looked at in one query, whatever the clock says.
constexpr int kMaxDatagrams = 10000;

// Milliseconds left until `deadline` (a tick count); 0 once it has passed.
int32_t RemainingMs(uint32_t deadline) {
  const uint32_t left = deadline - TickCountMs();
  return left > 0x7FFFFFFFu ? 0 : static_cast<int32_t>(left);
}

}  // namespace

NameQueryResult QueryNameAddress(const NameQueryOptions& options, uint32_t* address) {
  CEventSocket socket;
  if (!socket.Create(CEventSocket::kDatagram, options.localPort, options.timeoutMs) ||
      !EnableBroadcast(socket)) {
    socket.Close();
    return NameQueryResult::kNoSocket;
  }
  const uint16_t id = static_cast<uint16_t>(TickCountMs() * 2654435761u >> 16);
  uint8_t query[kNameQueryLength];
  BuildNameQuery(id, options.name, query);

  const uint32_t deadline = TickCountMs() + static_cast<uint32_t>(options.timeoutMs);
  const int32_t repeatMs = options.repeatMs > 0 ? options.repeatMs : options.timeoutMs;
  uint32_t nextSend = TickCountMs();
  NameQueryResult result = NameQueryResult::kNoAnswer;
  for (int datagrams = 0; datagrams < kMaxDatagrams && RemainingMs(deadline) > 0; ++datagrams) {
    if (RemainingMs(nextSend) == 0) {
      if (!socket.SendTo(options.broadcastAddress, options.serverPort, query, sizeof(query))) {
        result = NameQueryResult::kSendFailed;
        break;
      }
      nextSend = TickCountMs() + static_cast<uint32_t>(repeatMs);
    }
    int32_t waitMs = RemainingMs(nextSend);
    if (waitMs > RemainingMs(deadline)) waitMs = RemainingMs(deadline);
    if (waitMs <= 0) continue;
    uint8_t reply[1500];
    uint32_t received = 0;
    if (!socket.ReceiveFrom(reply, sizeof(reply), &received, nullptr, nullptr, waitMs)) {
      SleepMs(10);  // a failing receive must not spin; the loop stays bounded by the deadline
      continue;
    }
    if (received > 0 && ParseNameQueryResponse(reply, received, id, address)) {
      result = NameQueryResult::kAnswered;
      break;
    }
  }
  socket.Close();
  return result;
}

const char* NameQueryResultText(NameQueryResult result) {
  switch (result) {
    case NameQueryResult::kAnswered:
      return "answered";
    case NameQueryResult::kNoSocket:
      return "cannot open the UDP socket for the query";
    case NameQueryResult::kSendFailed:
      return "cannot send the query";
    case NameQueryResult::kNoAnswer:
      return "no answer";
  }
  return "unknown";
}

}  // namespace kestova
