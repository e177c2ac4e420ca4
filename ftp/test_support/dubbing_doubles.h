// Test doubles for the dubbing transfers: a scripted link, a link over a real loopback
// data connection, and an observer that records every reception event.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "ftp/dubbing_link.h"
#include "ftp/reception_events.h"
#include "net/event_socket.h"

namespace kestova {
namespace testing {

// Replies and data-connection events common to both links.
class CRecordingLink : public IDubbingLink {
 public:
  void Reply(FtpReply reply) override { replies.push_back(FtpReplyLine(reply).CStr()); }
  bool OpenDataConnection() override;
  void CloseDataConnection() override { ++closes; }
  void SetDataTimeout(int32_t timeoutMs) override { dataTimeoutMs = timeoutMs; }
  void ResetLoginState() override { ++loginResets; }
  bool StopRequested() const override { return stop; }

  bool openSucceeds = true;
  std::vector<std::string> replies;
  int closes = 0;
  int loginResets = 0;
  int32_t dataTimeoutMs = 0;
  std::atomic<bool> stop{false};
};

// Delivers a script of receive results: pieces of bytes, quiet waits, then "closed".
class CScriptedLink : public CRecordingLink {
 public:
  void AddPiece(const std::string& bytes) { script_.push_back({Kind::kBytes, bytes, false}); }
  void AddQuietWait() { script_.push_back({Kind::kQuiet, std::string(), false}); }
  // A receive that fails with the system's error `code` (a reset connection, say) instead
  // of the peer's close.
  void AddReceiveError(int code) {
    script_.push_back({Kind::kError, std::string(), false});
    failure_ = SystemErrorOf(code);
  }
  // Sets the stop flag as soon as the receive of the step before returns (at once
  // when there is none), as a stop request arriving between two receives.
  void AddStop();
  // Splits `stream` into pieces of `pieceSize` bytes.
  void AddStream(const std::string& stream, size_t pieceSize);
  // Script steps not reached by the receives so far.
  size_t StepsLeft() const { return script_.size() - next_; }

  bool SendData(const void* bytes, uint32_t length) override;
  bool ReceiveData(void* buffer, uint32_t capacity, uint32_t* received) override;
  // The end of the script is the peer's orderly close; a scripted error is not.
  bool DataClosedByPeer() const override { return closedByPeer_; }
  SystemError DataFailure() const override { return closedByPeer_ ? SystemError() : failure_; }
  PumpResult ReceiveDataToFile(CFile& file, uint32_t* received) override;

  bool sendSucceeds = true;
  int quietWaitMs = 0;  // how long a quiet wait takes
  std::string sent;
  int receives = 0;
  std::vector<uint32_t> capacities;

 private:
  enum class Kind { kBytes, kQuiet, kError };
  struct Step {
    Kind kind;
    std::string bytes;
    bool stopAfter;
  };
  std::vector<Step> script_;
  size_t next_ = 0;
  bool closedByPeer_ = true;
  SystemError failure_;
};

// A link whose data connection is a real connected loopback socket.
class CSocketLink : public CRecordingLink {
 public:
  explicit CSocketLink(CEventSocket& data) : data_(data) {}
  void SetDataTimeout(int32_t timeoutMs) override;
  bool SendData(const void* bytes, uint32_t length) override;
  bool ReceiveData(void* buffer, uint32_t capacity, uint32_t* received) override;
  bool DataClosedByPeer() const override { return data_.LastReceiveEndedInOrder(); }
  SystemError DataFailure() const override { return data_.LastError(); }
  PumpResult ReceiveDataToFile(CFile& file, uint32_t* received) override;
  // Whether the kernel moved the blocks written to the file.
  bool PumpInKernel() const { return pump_.InKernel(); }

 private:
  CEventSocket& data_;
  CSocketToFile pump_;
};

// A connected loopback pair: `client` sends, `server` receives (the socket library is
// started first where the system needs it). False when it could not be made.
bool ConnectLoopbackPair(CEventSocket& client, CEventSocket& server);

// Keeps every reception event it is given, from any number of threads.
class CReceptionRecorder : public IReceptionObserver {
 public:
  void OnReceptionEvent(const ReceptionEvent& event) override;
  std::vector<ReceptionEvent> Events() const;
  // The ids of the receptions, in the order they started.
  std::vector<ReceptionId> Ids() const;
  // The kinds of one reception's events, in order: S started, F file created,
  // P progress, E ended.
  std::string KindsOf(ReceptionId id) const;
  // The state of the last event of one reception (kStarting when there is none).
  ReceptionState LastStateOf(ReceptionId id) const;

 private:
  mutable std::mutex mutex_;
  std::vector<ReceptionEvent> events_;
};

}  // namespace testing
}  // namespace kestova
