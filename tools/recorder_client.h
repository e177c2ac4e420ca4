// CRecorderClient: dubs one programme to a destination the way a recorder does.
//
//   connect, "220 ..." -> USER (331) -> PASS (230)
//   -> data connection + RETR "$xml$status.xml" (150, the document, 226); the
//      document must say <dubbing>ready</dubbing> and <accept_dubbing>ready</...>
//   -> data connection + STOR "$netdubbing$dubbinginfo.xml" (150, 226)
//   -> data connection + STOR "$netdubbing$dev0.dat" (150, the stream, 226)
//   -> QUIT (221)
//
// Data connections: PASV or P@SW (227, then connect to the announced address), or PORT
// (listen on the control connection's local address, 200, the destination connects).
// Every wait is bounded by the options' time-out. Any unexpected reply ends the run
// with a message naming the step and the reply.
#pragma once

#include <cstdint>
#include <string>

#include "net/event_socket.h"
#include "tools/recorder_options.h"
#include "tools/recorder_stream.h"

namespace kestova {

class CRecorderClient {
 public:
  explicit CRecorderClient(const RecorderOptions& options) : options_(options) {}
  ~CRecorderClient();
  CRecorderClient(const CRecorderClient&) = delete;
  CRecorderClient& operator=(const CRecorderClient&) = delete;

  // Runs the whole dubbing; false with Error() describing the first failure.
  bool Run();
  const std::string& Error() const { return error_; }
  uint64_t BytesSent() const { return bytesSent_; }
  const std::string& StatusDocument() const { return statusDocument_; }

  // The dubbing information document sent for a stream of `streamSize` bytes.
  static std::string DubbingInfoDocument(const RecorderOptions& options, uint64_t streamSize);

 private:
  bool Fail(const std::string& message);
  bool Send(const std::string& line);
  // Reads one whole reply (the last line of a multi-line reply); "" on time-out.
  std::string ReadReply();
  // Sends `line` and requires a reply starting with `code`.
  bool Expect(const std::string& line, const char* code, std::string* reply = nullptr);
  bool ExpectReply(const char* code, const std::string& step, std::string* reply = nullptr);
  // Prepares the data connection (PASV/P@SW: connected; PORT: listening).
  bool PrepareData();
  // Sends the transfer command and completes the data connection; requires 150.
  bool StartTransfer(const std::string& command);
  bool SendAllData(const char* bytes, uint32_t length);
  bool RetrieveStatus();
  bool StoreDubbingInfo(uint64_t streamSize);
  bool StoreProgramme(CProgrammeStream& stream);
  bool SendPieces(CProgrammeStream& stream, std::FILE* copy);
  bool SendWholeFile(const std::string& path);

  const RecorderOptions& options_;
  CEventSocket control_;
  CEventSocket data_;
  CEventSocket listener_;
  std::string pending_;
  std::string error_;
  std::string statusDocument_;
  uint64_t bytesSent_ = 0;
};

}  // namespace kestova
