#include "ftp/test_support/dubbing_doubles.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "net/host.h"

namespace kestova {
namespace testing {

bool CRecordingLink::OpenDataConnection() {
  if (!openSucceeds) Reply(FtpReply::kCannotOpenDataConnection);
  return openSucceeds;
}

void CScriptedLink::AddStream(const std::string& stream, size_t pieceSize) {
  for (size_t at = 0; at < stream.size(); at += pieceSize) AddPiece(stream.substr(at, pieceSize));
}

void CScriptedLink::AddStop() {
  if (script_.empty()) {
    stop = true;
  } else {
    script_.back().stopAfter = true;
  }
}

bool CScriptedLink::SendData(const void* bytes, uint32_t length) {
  if (!sendSucceeds) return false;
  sent.append(static_cast<const char*>(bytes), length);
  return true;
}

bool CScriptedLink::ReceiveData(void* buffer, uint32_t capacity, uint32_t* received) {
  ++receives;
  capacities.push_back(capacity);
  *received = 0;
  if (next_ >= script_.size()) return false;  // the peer has closed
  const Step& step = script_[next_++];
  if (step.stopAfter) stop = true;
  if (step.kind == Kind::kError) {
    next_ = script_.size();  // a failed connection stays failed
    closedByPeer_ = false;
    return false;
  }
  if (step.kind == Kind::kQuiet) {
    if (quietWaitMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(quietWaitMs));
    return true;
  }
  size_t length = step.bytes.size() < capacity ? step.bytes.size() : capacity;
  std::memcpy(buffer, step.bytes.data(), length);
  *received = static_cast<uint32_t>(length);
  return true;
}

PumpResult CScriptedLink::ReceiveDataToFile(CFile& file, uint32_t* received) {
  std::vector<char> buffer(kPumpBlockSize);
  if (!ReceiveData(buffer.data(), kPumpBlockSize, received)) return PumpResult::kEnded;
  if (*received > 0 && !file.Write(buffer.data(), *received)) return PumpResult::kFileFailed;
  return PumpResult::kMoved;
}

void CSocketLink::SetDataTimeout(int32_t timeoutMs) {
  CRecordingLink::SetDataTimeout(timeoutMs);
  data_.SetTimeout(timeoutMs);
}

bool CSocketLink::SendData(const void* bytes, uint32_t length) {
  const char* next = static_cast<const char*>(bytes);
  while (length > 0) {
    uint32_t sent = 0;
    if (!data_.Send(next, length, &sent) || sent == 0) return false;
    next += sent;
    length -= sent;
  }
  return true;
}

bool CSocketLink::ReceiveData(void* buffer, uint32_t capacity, uint32_t* received) {
  return data_.ReceiveFrom(buffer, capacity, received);
}

PumpResult CSocketLink::ReceiveDataToFile(CFile& file, uint32_t* received) {
  return pump_.Move(data_, file, received);
}

bool ConnectLoopbackPair(CEventSocket& client, CEventSocket& server) {
  static const bool socketsReady = StartSocketLibrary();
  CEventSocket listener;
  uint32_t address = 0;
  uint16_t port = 0;
  bool ready = socketsReady && listener.Create(CEventSocket::kStream, 0, 5000) &&
               listener.Listen(1) && listener.GetLocalAddress(&address, &port) &&
               client.Create(CEventSocket::kStream, 0, 5000) &&
               client.Connect(ResolveHost("127.0.0.1"), port) &&
               listener.Accept(server, nullptr, nullptr, 5000);
  listener.Close();
  return ready;
}

void CReceptionRecorder::OnReceptionEvent(const ReceptionEvent& event) {
  std::lock_guard<std::mutex> hold(mutex_);
  events_.push_back(event);
}

std::vector<ReceptionEvent> CReceptionRecorder::Events() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return events_;
}

std::vector<ReceptionId> CReceptionRecorder::Ids() const {
  std::vector<ReceptionId> ids;
  for (const ReceptionEvent& event : Events()) {
    if (event.kind == ReceptionEventKind::kStarted) ids.push_back(event.id);
  }
  return ids;
}

std::string CReceptionRecorder::KindsOf(ReceptionId id) const {
  std::string kinds;
  for (const ReceptionEvent& event : Events()) {
    if (event.id == id) kinds += "SFPE"[static_cast<int>(event.kind)];
  }
  return kinds;
}

ReceptionState CReceptionRecorder::LastStateOf(ReceptionId id) const {
  ReceptionState state = ReceptionState::kStarting;
  for (const ReceptionEvent& event : Events()) {
    if (event.id == id) state = event.state;
  }
  return state;
}

}  // namespace testing
}  // namespace kestova
