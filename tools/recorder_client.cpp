#include "tools/recorder_client.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "net/socket_file_pump.h"
#include "platform/file_system.h"
#include "platform/time.h"

namespace kestova {

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace

CRecorderClient::~CRecorderClient() {
  data_.Close();
  listener_.Close();
  control_.Close();
}

bool CRecorderClient::Fail(const std::string& message) {
  if (error_.empty()) error_ = message;
  return false;
}

bool CRecorderClient::Send(const std::string& line) {
  if (options_.verbose) std::fprintf(stderr, "> %s\n", line.c_str());
  std::string bytes = line + "\r\n";
  uint32_t sent = 0;
  if (!control_.Send(bytes.data(), static_cast<uint32_t>(bytes.size()), &sent,
                     options_.timeoutMs) ||
      sent != bytes.size()) {
    return Fail("cannot send \"" + line + "\": the control connection failed");
  }
  return true;
}

std::string CRecorderClient::ReadReply() {
  uint32_t start = TickCountMs();
  std::string first;
  for (;;) {
    size_t end = pending_.find("\r\n");
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 2);
      if (options_.verbose) std::fprintf(stderr, "< %s\n", line.c_str());
      if (first.empty()) first = line.empty() ? " " : line;
      // A multi-line reply "xyz-..." ends with a line "xyz ...".
      bool multi = first.size() >= 4 && first[3] == '-';
      if (!multi || (line.size() >= 4 && line.compare(0, 3, first, 0, 3) == 0 && line[3] == ' ')) {
        return line;
      }
      continue;
    }
    uint32_t spent = TickCountMs() - start;
    if (spent >= static_cast<uint32_t>(options_.timeoutMs)) return "";
    char buffer[4096];
    uint32_t received = 0;
    if (!control_.ReceiveFrom(buffer, sizeof(buffer), &received, nullptr, nullptr,
                              options_.timeoutMs - static_cast<int32_t>(spent))) {
      return "";
    }
    pending_.append(buffer, received);
  }
}

bool CRecorderClient::ExpectReply(const char* code, const std::string& step, std::string* reply) {
  std::string line = ReadReply();
  if (reply != nullptr) *reply = line;
  if (StartsWith(line, code) && line.size() >= 4 && line[3] == ' ') return true;
  if (line.empty()) return Fail(step + ": no reply (expected " + code + ")");
  return Fail(step + ": expected " + code + ", got \"" + line + "\"");
}

bool CRecorderClient::Expect(const std::string& line, const char* code, std::string* reply) {
  return Send(line) && ExpectReply(code, line, reply);
}

bool CRecorderClient::PrepareData() {
  data_.Close();
  listener_.Close();
  if (options_.mode == DataMode::kPort) {
    CCountedString address, unusedPort;
    uint32_t unusedAddress = 0;
    uint16_t port = 0;
    if (!control_.GetLocalAddressText(&address, &unusedPort) ||
        !listener_.Create(CEventSocket::kStream, 0, options_.timeoutMs) || !listener_.Listen(1) ||
        !listener_.GetLocalAddress(&unusedAddress, &port)) {
      return Fail("cannot listen for the active data connection");
    }
    std::string fields = address.CStr();
    for (char& c : fields) {
      if (c == '.') c = ',';
    }
    char line[96];
    std::snprintf(line, sizeof(line), "PORT %s,%u,%u", fields.c_str(), port / 256u, port % 256u);
    return Expect(line, "200");
  }
  const char* verb = options_.mode == DataMode::kPsw ? "P@SW" : "PASV";
  std::string reply;
  if (!Expect(verb, "227", &reply)) return false;
  unsigned h[4], p[2];
  size_t open = reply.find('(');
  if (open == std::string::npos ||
      std::sscanf(reply.c_str() + open, "(%u,%u,%u,%u,%u,%u)", &h[0], &h[1], &h[2], &h[3], &p[0],
                  &p[1]) != 6 ||
      p[0] > 255 || p[1] > 255) {
    return Fail(std::string(verb) + ": cannot read the address in \"" + reply + "\"");
  }
  char host[32];
  std::snprintf(host, sizeof(host), "%u.%u.%u.%u", h[0], h[1], h[2], h[3]);
  uint16_t port = static_cast<uint16_t>(p[0] * 256u + p[1]);
  if (!data_.Create(CEventSocket::kStream, 0, options_.timeoutMs) ||
      !data_.ConnectByName(host, port, options_.timeoutMs)) {
    return Fail(std::string(verb) + ": cannot connect to " + host + ":" + std::to_string(port));
  }
  return true;
}

bool CRecorderClient::StartTransfer(const std::string& command) {
  if (!Send(command)) return false;
  if (options_.mode == DataMode::kPort) {
    // The destination connects before or after its 150 reply, depending on the
    // command; the connection waits in the listen queue either way.
    if (!listener_.Accept(data_, nullptr, nullptr, options_.timeoutMs)) {
      std::string reply = ReadReply();
      return Fail(command + ": the destination did not connect" +
                  (reply.empty() ? std::string() : " (reply \"" + reply + "\")"));
    }
    listener_.Close();
  }
  return ExpectReply("150", command);
}

bool CRecorderClient::SendAllData(const char* bytes, uint32_t length) {
  while (length > 0) {
    uint32_t sent = 0;
    if (!data_.Send(bytes, length, &sent, options_.timeoutMs) || sent == 0) return false;
    bytes += sent;
    length -= sent;
  }
  return true;
}

bool CRecorderClient::RetrieveStatus() {
  const std::string command = "RETR $xml$status.xml";
  if (!PrepareData() || !StartTransfer(command)) return false;
  statusDocument_.clear();
  uint32_t start = TickCountMs();
  char buffer[4096];
  for (;;) {
    uint32_t received = 0;
    if (!data_.ReceiveFrom(buffer, sizeof(buffer), &received, nullptr, nullptr, 1000)) break;
    statusDocument_.append(buffer, received);
    if (TickCountMs() - start > static_cast<uint32_t>(options_.timeoutMs)) {
      return Fail(command + ": the document did not end in time");
    }
  }
  data_.Close();
  if (!ExpectReply("226", command)) return false;
  if (statusDocument_.find("<dubbing>ready</dubbing>") == std::string::npos ||
      statusDocument_.find("<accept_dubbing>ready</accept_dubbing>") == std::string::npos) {
    return Fail("the destination's status document does not say it is ready");
  }
  return true;
}

std::string CRecorderClient::DubbingInfoDocument(const RecorderOptions& options,
                                                 uint64_t streamSize) {
  std::string size =
      options.titleSizeGiven ? options.titleSizeText : std::to_string((streamSize + 2047) / 2048);
  return "<?xml version=\"1.0\" encoding=\"shift_jis\"?>\r\n<dubbinginfo>\r\n<title>" +
         options.titleShiftJis + "</title>\r\n<titlesize>" + size +
         "</titlesize>\r\n</dubbinginfo>\r\n";
}

bool CRecorderClient::StoreDubbingInfo(uint64_t streamSize) {
  const std::string command = "STOR $netdubbing$dubbinginfo.xml";
  if (!PrepareData() || !StartTransfer(command)) return false;
  std::string document = DubbingInfoDocument(options_, streamSize);
  if (!SendAllData(document.data(), static_cast<uint32_t>(document.size()))) {
    return Fail(command + ": the data connection failed");
  }
  data_.Close();
  return ExpectReply("226", command);
}

bool CRecorderClient::SendPieces(CProgrammeStream& stream, std::FILE* copy) {
  std::vector<char> piece(options_.pieceSize);
  for (;;) {
    uint32_t length = 0;
    if (!stream.Read(piece.data(), options_.pieceSize, &length)) {
      return Fail("cannot read the programme file");
    }
    if (length == 0) return true;
    // The copy takes the piece before it is sent: a send that fails part-way may still
    // have delivered some of it, and the copy must hold every byte that can have arrived.
    if (copy != nullptr && std::fwrite(piece.data(), 1, length, copy) != length) {
      return Fail("cannot write " + options_.copyTo);
    }
    if (!SendAllData(piece.data(), length)) {
      return Fail("STOR $netdubbing$dev0.dat: the data connection failed after " +
                  std::to_string(bytesSent_) + " bytes");
    }
    bytesSent_ += length;
    if (options_.pieceDelayMs > 0) SleepMs(options_.pieceDelayMs);
  }
}

bool CRecorderClient::SendWholeFile(const std::string& path) {
  CFile file;
  if (!file.OpenForRead(CCountedString(path.c_str()))) return Fail("cannot read " + path);
  CFileToSocket pump;
  int32_t quietMs = 0;
  for (;;) {
    uint32_t sent = 0;
    const PumpResult result = pump.SendSome(file, data_, &sent, 1000);
    bytesSent_ += sent;
    if (result == PumpResult::kEnded) return true;
    if (result == PumpResult::kFileFailed) return Fail("cannot read " + path);
    quietMs = sent > 0 ? 0 : quietMs + 1000;
    if (result == PumpResult::kSendFailed || quietMs >= options_.timeoutMs) {
      return Fail("STOR $netdubbing$dev0.dat: the data connection failed after " +
                  std::to_string(bytesSent_) + " bytes");
    }
  }
}

bool CRecorderClient::StoreProgramme(CProgrammeStream& stream) {
  const std::string command = "STOR $netdubbing$dev0.dat";
  if (!PrepareData() || !StartTransfer(command)) return false;
  std::FILE* copy = nullptr;
  if (!options_.copyTo.empty() && (copy = std::fopen(options_.copyTo.c_str(), "wb")) == nullptr) {
    return Fail("cannot write " + options_.copyTo);
  }
  // A file that is the whole stream goes to the socket as it is, moved by the kernel where
  // it can (sendfile), so that the sender costs little CPU; pieces are for pacing and copies.
  const bool whole = !stream.WholeFile().empty() && copy == nullptr && options_.pieceDelayMs == 0;
  bool ok = whole ? SendWholeFile(stream.WholeFile()) : SendPieces(stream, copy);
  if (copy != nullptr && std::fclose(copy) != 0) ok = Fail("cannot write " + options_.copyTo);
  data_.Close();
  // Read the final reply even after a failure, so that it can be reported.
  std::string reply;
  bool complete = ExpectReply("226", command, &reply);
  return ok && complete;
}

bool CRecorderClient::Run() {
  if (!control_.Create(CEventSocket::kStream, 0, options_.timeoutMs) ||
      !control_.ConnectByName(options_.host.c_str(), options_.port, options_.timeoutMs)) {
    return Fail("cannot connect to " + options_.host + ":" + std::to_string(options_.port));
  }
  CProgrammeStream stream;
  std::string streamError;
  if (!stream.Open(options_, &streamError)) return Fail(streamError);
  if (!ExpectReply("220", "greeting") || !Expect("USER " + options_.user, "331") ||
      !Expect("PASS " + options_.password, "230")) {
    return false;
  }
  if (options_.checkStatus && !RetrieveStatus()) return false;
  if (options_.sendDubbingInfo && !StoreDubbingInfo(stream.Size())) return false;
  if (!StoreProgramme(stream)) return false;
  return Expect("QUIT", "221");
}

}  // namespace kestova
