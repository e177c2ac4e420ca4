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

CAdapter::CAdapter(AdapterConfig config) : state_(std::make_shared<State>()) {
  state_->config = std::move(config);
  state_->name.Buffer = &state_->config.deviceName[0];
  state_->name.Length = static_cast<USHORT>(state_->config.deviceName.size() * sizeof(WCHAR));
  state_->name.MaximumLength = state_->name.Length;
  state_->section.Buffer = &state_->protocolSection[0];
  state_->section.Length = static_cast<USHORT>(state_->protocolSection.size() * sizeof(WCHAR));
  state_->section.MaximumLength = state_->section.Length;
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.adapters.push_back(state_.get());
}

CAdapter::~CAdapter() {
  DrainPending();
  {
    std::lock_guard<std::mutex> guard(state_->mutex);
    if (state_->open) Fault("a simulated adapter was destroyed while the driver had it open");
    if (!state_->heldPackets.empty()) Fault("indicated packets were never returned");
  }
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.adapters.erase(std::remove(world.adapters.begin(), world.adapters.end(), state_.get()),
                       world.adapters.end());
}

void CAdapter::DrainPending() {
  {
    std::lock_guard<std::mutex> guard(state_->mutex);
    state_->gateOpen = true;
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
  state_->gateOpen = false;
}

NDIS_STATUS CAdapter::Bind() {
  BIND_HANDLER bind = internal::Protocol().Ndis40Chars.BindAdapterHandler;
  NDIS_STATUS status = NDIS_STATUS_FAILURE;
  int bindContext = 0;
  bind(&status, &bindContext, &state_->name, &state_->section, nullptr);
  return status;
}

NDIS_STATUS CAdapter::Unbind() {
  UNBIND_HANDLER unbind = internal::Protocol().Ndis40Chars.UnbindAdapterHandler;
  NDIS_STATUS status = NDIS_STATUS_FAILURE;
  int unbindContext = 0;
  unbind(&status, BindingContext(), &unbindContext);
  return status;
}

bool CAdapter::IsOpen() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->open;
}

NDIS_HANDLE CAdapter::BindingContext() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->bindingContext;
}

ULONG CAdapter::PacketFilter() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->packetFilter;
}

std::vector<uint8_t> CAdapter::OidValue(NDIS_OID oid) const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  auto it = state_->setValues.find(oid);
  return it == state_->setValues.end() ? std::vector<uint8_t>() : it->second;
}

void CAdapter::SetQueryValue(NDIS_OID oid, std::vector<uint8_t> value) {
  std::lock_guard<std::mutex> guard(state_->mutex);
  state_->queryValues[oid] = std::move(value);
}

NDIS_STATUS CAdapter::IndicateReceive(const std::vector<uint8_t>& frame, size_t lookahead,
                                      UINT headerSize) {
  NDIS_HANDLE context = BindingContext();
  if (context == nullptr || frame.size() < headerSize) {
    Fault("test indicated on a closed adapter or with a short frame");
    return NDIS_STATUS_FAILURE;
  }
  RECEIVE_HANDLER receive = internal::Protocol().Ndis40Chars.ReceiveHandler;
  Indication indication{kIndicationMagic, &frame, headerSize};
  UINT packetSize = static_cast<UINT>(frame.size() - headerSize);
  UINT lookaheadSize = static_cast<UINT>(std::min<size_t>(lookahead, packetSize));
  // Header and lookahead in buffers of their own, so that reading past them is caught.
  std::vector<uint8_t> header(frame.begin(), frame.begin() + headerSize);
  std::unique_ptr<uint8_t[]> look(new uint8_t[lookaheadSize + 1]);
  memcpy(look.get(), frame.data() + headerSize, lookaheadSize);
  NDIS_STATUS result = receive(context, &indication, header.data(), headerSize, look.get(),
                               lookaheadSize, packetSize);
  internal::Protocol().Ndis40Chars.ReceiveCompleteHandler(context);
  indication.magic = 0;
  return result;
}

INT CAdapter::IndicatePacket(const std::vector<uint8_t>& frame, const std::vector<size_t>& split,
                             NDIS_STATUS packetStatus) {
  NDIS_HANDLE context = BindingContext();
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
  NDIS_SET_PACKET_STATUS(packet, packetStatus);

  INT kept = internal::Protocol().Ndis40Chars.ReceivePacketHandler(context, packet);
  if (kept < 0) Fault("receive-packet handler returned a negative count");
  if (kept > 0 && packetStatus == NDIS_STATUS_RESOURCES) {
    Fault("a packet indicated with NDIS_STATUS_RESOURCES was kept");
  }
  if (kept > 0) {
    std::lock_guard<std::mutex> guard(state_->mutex);
    state_->heldPackets[packet] += kept;
  } else {
    internal::FreeNdisPacketAndBuffers(packet);
  }
  return kept;
}

void CAdapter::IndicateStatus(NDIS_STATUS status) {
  NDIS_HANDLE context = BindingContext();
  NDIS50_PROTOCOL_CHARACTERISTICS protocol = internal::Protocol();
  protocol.Ndis40Chars.StatusHandler(context, status, nullptr, 0);
  protocol.Ndis40Chars.StatusCompleteHandler(context);
}

NDIS_STATUS CAdapter::IndicatePnP(NET_PNP_EVENT_CODE code, ULONG powerState) {
  NET_DEVICE_POWER_STATE power = static_cast<NET_DEVICE_POWER_STATE>(powerState);
  NET_PNP_EVENT event{};
  event.NetEvent = code;
  if (code == NetEventSetPower || code == NetEventQueryPower) {
    event.Buffer = &power;
    event.BufferLength = sizeof(power);
  }
  return internal::Protocol().Ndis40Chars.PnPEventHandler(BindingContext(), &event);
}

NDIS_STATUS IndicateGlobalPnP(NET_PNP_EVENT_CODE code) {
  NET_PNP_EVENT event{};
  event.NetEvent = code;
  return internal::Protocol().Ndis40Chars.PnPEventHandler(nullptr, &event);
}

const NDIS50_PROTOCOL_CHARACTERISTICS* RegisteredProtocol() {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  return world.protocolRegistered ? &world.protocol : nullptr;
}

void ResetWorld() {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.faults.clear();
  world.debugLines.clear();
  world.failCreateDevice = STATUS_SUCCESS;
  world.failSymbolicLink = STATUS_SUCCESS;
  world.failRegister = NDIS_STATUS_SUCCESS;
  world.environmentPresent = true;
  world.environmentValue = 1;
}

}  // namespace standin
}  // namespace kestova
