// The two NetBIOS name service messages this program deals with: the broadcast name query a
// recorder sends for its dubbing destination, and the positive name query response that
// answers it. Both are UDP payloads for port 137; multi-byte fields are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/counted_string.h"

namespace kestova {

constexpr uint16_t kNameServicePort = 137;
constexpr size_t kNameQueryLength = 50;
constexpr size_t kNameQueryResponseLength = 62;
// The name this program answers with, whatever "GR-" name was asked for.
constexpr char kOwnNetbiosName[] = "KESTOV-A";

// Writes the 62-byte positive response into `response`: transaction id 0x01 and
// `idSecondByte`, flags 0x8500, one answer for `name` (padded and encoded), type NB, class IN,
// time to live 0, unique B-node flags and `address` (IPv4, network byte order).
void BuildNameQueryResponse(uint8_t idSecondByte, const CCountedString& name, uint32_t address,
                            uint8_t* response);

// Writes a 50-byte broadcast name query for `name` (padded and encoded, type NB, class IN)
// into `query`: flags 0x0110 (query, recursion desired, broadcast), one question.
void BuildNameQuery(uint16_t transactionId, const CCountedString& name, uint8_t* query);

// True when `message` is a positive name query response of type NB answering the query with
// `transactionId`: the second id byte must match, the first may be the query's or 0x01 (this
// program's responder always puts 0x01 there). `*address` then receives the first address of
// the answer (network byte order).
bool ParseNameQueryResponse(const uint8_t* message, size_t length, uint16_t transactionId,
                            uint32_t* address);

}  // namespace kestova
