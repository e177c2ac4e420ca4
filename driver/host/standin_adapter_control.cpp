// The test side of the simulated adapters and of NDIS: binding, indications, PnP events.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "standin_internal.h"

using kestova::standin::internal::Fault;
using kestova::standin::internal::Indication;
using kestova::standin::internal::kIndicationMagic;
using kestova::standin::internal::TheWorld;
using kestova::standin::internal::World;

// --- The test side of adapters ------------------------------------------------------------------

namespace kestova {
namespace standin {

Adapter::Adapter(AdapterConfig config) : state_(std::make_shared<State>()) {
  state_->config = std::move(config);
  state_->name.Buffer = &state_->config.device_name[0];
  state_->name.Length = static_cast<USHORT>(state_->config.device_name.size() * sizeof(WCHAR));
  state_->name.MaximumLength = state_->name.Length;
  state_->section.Buffer = &state_->protocol_section[0];
  state_->section.Length = static_cast<USHORT>(state_->protocol_section.size() * sizeof(WCHAR));
  state_->section.MaximumLength = state_->section.Length;
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.adapters.push_back(state_.get());
}

Adapter::~Adapter() {
  DrainPending();
  {
    std::lock_guard<std::mutex> guard(state_->mutex);
    if (state_->open) Fault("a simulated adapter was destroyed while the driver had it open");
    if (!state_->held_packets.empty()) Fault("indicated packets were never returned");
  }
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.adapters.erase(std::remove(world.adapters.begin(), world.adapters.end(), state_.get()),
                       world.adapters.end());
}

void Adapter::DrainPending() {
  {
    std::lock_guard<std::mutex> guard(state_->mutex);
    state_->gate_open = true;
    state_->gate.notify_all();
  }
  for (;;) {
    std::vector<std::thread> threads;
    {
      std::lock_guard<std::mutex> guard(state_->mutex);
      threads.swap(state_->threads);
    }
    if (threads.empty()) break;
    for (std::thread& thread : threads) thread.join();
  }
  std::lock_guard<std::mutex> guard(state_->mutex);
  state_->gate_open = false;
}

NDIS_STATUS Adapter::Bind() {
  BIND_HANDLER bind = internal::Protocol().Ndis40Chars.BindAdapterHandler;
  NDIS_STATUS status = NDIS_STATUS_FAILURE;
  int bind_context = 0;
  bind(&status, &bind_context, &state_->name, &state_->section, nullptr);
  return status;
}

NDIS_STATUS Adapter::Unbind() {
  UNBIND_HANDLER unbind = internal::Protocol().Ndis40Chars.UnbindAdapterHandler;
  NDIS_STATUS status = NDIS_STATUS_FAILURE;
  int unbind_context = 0;
  unbind(&status, binding_context(), &unbind_context);
  return status;
}

bool Adapter::is_open() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->open;
}

NDIS_HANDLE Adapter::binding_context() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->binding_context;
}

ULONG Adapter::packet_filter() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->packet_filter;
}

std::vector<uint8_t> Adapter::oid_value(NDIS_OID oid) const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  auto it = state_->set_values.find(oid);
  return it == state_->set_values.end() ? std::vector<uint8_t>() : it->second;
}

void Adapter::SetQueryValue(NDIS_OID oid, std::vector<uint8_t> value) {
  std::lock_guard<std::mutex> guard(state_->mutex);
  state_->query_values[oid] = std::move(value);
}

NDIS_STATUS Adapter::IndicateReceive(const std::vector<uint8_t>& frame, size_t lookahead,
                                     UINT header_size) {
  NDIS_HANDLE context = binding_context();
  if (context == nullptr || frame.size() < header_size) {
    Fault("test indicated on a closed adapter or with a short frame");
    return NDIS_STATUS_FAILURE;
  }
  RECEIVE_HANDLER receive = internal::Protocol().Ndis40Chars.ReceiveHandler;
  Indication indication{kIndicationMagic, &frame, header_size};
  UINT packet_size = static_cast<UINT>(frame.size() - header_size);
  UINT lookahead_size = static_cast<UINT>(std::min<size_t>(lookahead, packet_size));
  // Header and lookahead in buffers of their own, so that reading past them is caught.
  std::vector<uint8_t> header(frame.begin(), frame.begin() + header_size);
  std::unique_ptr<uint8_t[]> look(new uint8_t[lookahead_size + 1]);
  memcpy(look.get(), frame.data() + header_size, lookahead_size);
  NDIS_STATUS result = receive(context, &indication, header.data(), header_size, look.get(),
                               lookahead_size, packet_size);
  internal::Protocol().Ndis40Chars.ReceiveCompleteHandler(context);
  indication.magic = 0;
  return result;
}

INT Adapter::IndicatePacket(const std::vector<uint8_t>& frame, const std::vector<size_t>& split,
                            NDIS_STATUS packet_status) {
  NDIS_HANDLE context = binding_context();
  if (context == nullptr) {
    Fault("test indicated on a closed adapter");
    return 0;
  }
  PNDIS_PACKET packet = internal::AllocateNdisPacket();
  std::vector<size_t> chunks;
  size_t rest = frame.size();
  for (size_t size : split) {
    if (rest == 0) break;
    chunks.push_back(std::min(size, rest));
    rest -= chunks.back();
  }
  if (rest != 0 || chunks.empty()) chunks.push_back(rest);
  // Each buffer in memory of its own, so that reading past one is caught.
  std::vector<PNDIS_BUFFER> buffers;
  size_t position = 0;
  for (size_t chunk : chunks) {
    void* memory = malloc(chunk == 0 ? 1 : chunk);
    if (chunk != 0) memcpy(memory, frame.data() + position, chunk);
    buffers.push_back(internal::AllocateNdisBuffer(memory, static_cast<UINT>(chunk)));
    position += chunk;
  }
  for (size_t i = buffers.size(); i > 0; --i) NdisChainBufferAtFront(packet, buffers[i - 1]);
  NDIS_SET_PACKET_STATUS(packet, packet_status);

  INT kept = internal::Protocol().Ndis40Chars.ReceivePacketHandler(context, packet);
  if (kept < 0) Fault("receive-packet handler returned a negative count");
  if (kept > 0 && packet_status == NDIS_STATUS_RESOURCES) {
    Fault("a packet indicated with NDIS_STATUS_RESOURCES was kept");
  }
  if (kept > 0) {
    std::lock_guard<std::mutex> guard(state_->mutex);
    state_->held_packets[packet] += kept;
  } else {
    internal::FreeNdisPacketAndBuffers(packet);
  }
  return kept;
}

void Adapter::IndicateStatus(NDIS_STATUS status) {
  NDIS_HANDLE context = binding_context();
  NDIS50_PROTOCOL_CHARACTERISTICS protocol = internal::Protocol();
  protocol.Ndis40Chars.StatusHandler(context, status, nullptr, 0);
  protocol.Ndis40Chars.StatusCompleteHandler(context);
}

NDIS_STATUS Adapter::IndicatePnP(NET_PNP_EVENT_CODE code, ULONG power_state) {
  NET_DEVICE_POWER_STATE power = static_cast<NET_DEVICE_POWER_STATE>(power_state);
  NET_PNP_EVENT event{};
  event.NetEvent = code;
  if (code == NetEventSetPower || code == NetEventQueryPower) {
    event.Buffer = &power;
    event.BufferLength = sizeof(power);
  }
  return internal::Protocol().Ndis40Chars.PnPEventHandler(binding_context(), &event);
}

NDIS_STATUS IndicateGlobalPnP(NET_PNP_EVENT_CODE code) {
  NET_PNP_EVENT event{};
  event.NetEvent = code;
  return internal::Protocol().Ndis40Chars.PnPEventHandler(nullptr, &event);
}

const NDIS50_PROTOCOL_CHARACTERISTICS* RegisteredProtocol() {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  return world.protocol_registered ? &world.protocol : nullptr;
}

void ResetWorld() {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.faults.clear();
  world.debug_lines.clear();
  world.fail_create_device = STATUS_SUCCESS;
  world.fail_symbolic_link = STATUS_SUCCESS;
  world.fail_register = NDIS_STATUS_SUCCESS;
  world.environment_present = true;
  world.environment_value = 1;
}

}  // namespace standin
}  // namespace kestova
