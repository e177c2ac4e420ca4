// IDubbingLink: what the dubbing transfers (status document, dubbing information,
// programme reception) need from the FTP session they run in. CDubbingSession
// implements it over its control and data connections; tests implement it with
// scripted data. Called only on the session's thread.
#pragma once

#include <cstdint>

#include "ftp/ftp_replies.h"
#include "net/socket_file_pump.h"
#include "platform/file_system.h"

namespace kestova {

class IDubbingLink {
 public:
  virtual ~IDubbingLink() = default;

  // Sends one reply line on the control connection; CR LF is appended.
  virtual void Reply(FtpReply reply) = 0;
  // Makes the data connection ready; on failure the session has already replied
  // (425 or 421).
  virtual bool OpenDataConnection() = 0;
  virtual void CloseDataConnection() = 0;
  virtual void SetDataTimeout(int32_t timeoutMs) = 0;
  // Sends all bytes on the data connection; false when any could not be sent.
  virtual bool SendData(const void* bytes, uint32_t length) = 0;
  // Receives up to `capacity` bytes, waiting at most the data time-out. False when the
  // peer has closed the connection or on error; true with 0 bytes after a quiet wait.
  virtual bool ReceiveData(void* buffer, uint32_t capacity, uint32_t* received) = 0;
  // After ReceiveData returned false: true when the peer closed the data connection in
  // order (all its bytes received), false when the receive failed with an error.
  virtual bool DataClosedByPeer() const = 0;
  // After a receive failed with an error (DataClosedByPeer() false): the system's reason
  // (e.g. "Connection reset by peer"); unset when none is known.
  virtual SystemError DataFailure() const = 0;
  // Receives as ReceiveData does, at most one block (kPumpBlockSize), and writes what came
  // to `file`: kMoved, kEnded (closed or failed) or kFileFailed (see CSocketToFile).
  virtual PumpResult ReceiveDataToFile(CFile& file, uint32_t* received) = 0;
  // Sets the session's login state to 0 (logged in, no listing running), as a failed
  // dubbing transfer does.
  virtual void ResetLoginState() = 0;
  // The service's stop flag; read without a lock.
  virtual bool StopRequested() const = 0;
};

// The time limits of the dubbing transfers; tests shorten them.
struct DubbingTimeouts {
  // One receive wait on the data connection. Short, so that a stop ends a transfer
  // within about a second; the silence limit is measured apart from it.
  int32_t dataReceiveMs = 1000;
  uint32_t silenceMs = 10000;       // a transfer ends after this long without a byte
  uint32_t reportIntervalMs = 500;  // progress goes out at most this often
  int32_t statusSendMs = 1000;      // data time-out while the status document is sent
};

}  // namespace kestova
