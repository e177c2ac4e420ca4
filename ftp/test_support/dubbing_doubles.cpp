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

void CStatusRecorder::Callback(uint32_t code, void* data, void* context, int32_t row) {
  CStatusRecorder* self = static_cast<CStatusRecorder*>(context);
  std::lock_guard<std::mutex> hold(self->mutex_);
  if (code == kStatusAddRow) {
    int32_t index = self->rows_++;
    *static_cast<int32_t*>(data) = index;
    self->events_.push_back({code, std::string(), index});
    return;
  }
  self->events_.push_back({code, static_cast<const char*>(data), row});
}

std::vector<StatusEvent> CStatusRecorder::Events() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return events_;
}

std::vector<StatusEvent> CStatusRecorder::EventsOfRow(int32_t row) const {
  std::vector<StatusEvent> ofRow;
  for (const StatusEvent& event : Events()) {
    if (event.row == row) ofRow.push_back(event);
  }
  return ofRow;
}

std::string CStatusRecorder::CodesOfRow(int32_t row) const {
  std::string codes;
  for (const StatusEvent& event : EventsOfRow(row)) codes += static_cast<char>('0' + event.code);
  return codes;
}

}  // namespace testing
}  // namespace kestova
