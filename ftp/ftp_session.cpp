// The control channel: session thread, line reading, dispatch, replies and login.
#include "ftp/ftp_session.h"

#include <cstdarg>
#include <cstdlib>
#include <vector>

#include "ftp/command_table.h"
#include "ftp/protected_folder.h"
#include "ftp/served_path.h"
#include "ftp/session_admission.h"
#include "platform/file_system.h"
#include "platform/time.h"

namespace kestova {
namespace {

constexpr int32_t kControlTimeoutMs = 1000;
constexpr uint32_t kReceiveCapacity = 8192;

}  // namespace

CFtpSession::CFtpSession() = default;

CFtpSession::~CFtpSession() {
  controlConnection_.Close();
  dataConnection_.Close();
}

void CFtpSession::Bind(const std::atomic<int32_t>* stopFlag, std::atomic<int32_t>* sessionCount,
                       const CCountedString& rootFolder, uint16_t activeSourcePort) {
  stopFlag_ = stopFlag;
  sessionCount_ = sessionCount;
  rootFolder_ = rootFolder;
  activeSourcePort_ = activeSourcePort;
}

void CFtpSession::BindAdmission(CSessionAdmission* admission, uint32_t clientAddress,
                                uint32_t idleTimeoutMs) {
  admission_ = admission;
  admittedAddress_ = clientAddress;
  idleTimeoutMs_ = idleTimeoutMs;
}

bool CFtpSession::ClientStillThere() const {
  return !StopRequested() && controlConnection_.IsValid() && !controlConnection_.PeerHasClosed();
}

void CFtpSession::Run() {
  // Every file operation of this thread stays inside the root folder.
  CFolderConfinement confinement(rootFolder_);
  controlConnection_.SetTimeout(kControlTimeoutMs);
  CCountedString portText;
  controlConnection_.GetPeerAddressText(&peerAddress_, &portText);
  controlConnection_.GetPeerAddress(&peerAddressValue_, &peerPort_);

  SendGreeting();

  std::vector<char> buffer(kReceiveCapacity);
  // The idle time runs between commands; a transfer runs inside its command, so it
  // never counts as idle.
  uint32_t lastCommandTick = TickCountMs();
  while (!StopRequested()) {
    uint32_t received = 0;
    if (!controlConnection_.ReceiveFrom(buffer.data(), kReceiveCapacity, &received)) break;
    if (received == 0) {
      if (idleTimeoutMs_ != 0 && TickCountMs() - lastCommandTick >= idleTimeoutMs_) {
        Reply("421 Idle time-out, closing the control connection.");
        break;
      }
      continue;
    }
    ProcessReceivedText(buffer.data(), received);
    lastCommandTick = TickCountMs();
  }
  controlConnection_.Close();
  dataConnection_.Close();
}

void FtpSessionThread(void* argument) {
  CFtpSession* session = static_cast<CFtpSession*>(argument);
  session->Run();
  // The object goes first, so that a front end that sees the count reach 0 finds no
  // session code running any more.
  std::atomic<int32_t>* sessionCount = session->sessionCount_;
  CSessionAdmission* admission = session->admission_;
  const uint32_t admittedAddress = session->admittedAddress_;
  delete session;
  if (admission != nullptr) admission->Release(admittedAddress);
  if (sessionCount != nullptr) sessionCount->fetch_sub(1);
}

bool CFtpSession::Reply(const char* format, ...) {
  va_list args;
  va_start(args, format);
  CCountedString text = CCountedString::FormatV(format, args);
  va_end(args);
  text.Append("\r\n");
  if (text.Length() >= 3) lastReplyCode_ = std::atoi(text.Left(3).CStr());
  return controlConnection_.Send(text.CStr(), static_cast<uint32_t>(text.Length()));
}

void CFtpSession::ProcessReceivedText(const char* bytes, size_t length) {
  lineReader_.Append(bytes, length);
  CCountedString line;
  while (ClientStillThere()) {
    const CCommandLineReader::Line kind = lineReader_.Next(&line);
    if (kind == CCommandLineReader::Line::kNone) return;
    if (kind == CCommandLineReader::Line::kHoldsNul) {
      Reply("500 Syntax error, command unrecognized.");
      continue;
    }
    if (line.IsEmpty()) continue;

    CCountedString command = line;
    CCountedString argument;
    const size_t space = line.Find(' ');
    if (space != CCountedString::npos) {
      command = line.Left(space);
      argument = line.Mid(space + 1);
    }
    command.MakeUpper();
    if (command.IsEmpty()) continue;
    if (command.StartsWith("ABOR")) command = "ABOR";
    DispatchCommand(command, argument);
  }
}

void CFtpSession::DispatchCommand(const CCountedString& command, const CCountedString& argument) {
  if (command != "USER" && command != "PASS" && loginState_ == kNotLoggedIn) {
    Reply("530 Please login with USER and PASS.");
    return;
  }
  const FtpCommand* row = FindFtpCommand(command);
  if (row == nullptr) {
    Reply("502 Command not implemented - Try HELP.");
    return;
  }
  if (row->needsArgument && argument.IsEmpty()) {
    Reply("501 Syntax error: Invalid number of parameters.");
    return;
  }
  const CCountedString renameSource = renameSource_;
  transferBytes_ = 0;
  (this->*(row->handler))(command, argument, CCountedString(row->description));
  ReportActivity(command, argument, renameSource);
}

void CFtpSession::ReportActivity(const CCountedString& command, const CCountedString& argument,
                                 const CCountedString& renameSource) {
  if (activity_.report == nullptr) return;
  static const struct {
    const char* word;
    FtpActivityKind kind;
  } kReported[] = {{"PASS", FtpActivityKind::kLogin},     {"RETR", FtpActivityKind::kDownload},
                   {"STOR", FtpActivityKind::kUpload},    {"APPE", FtpActivityKind::kAppend},
                   {"DELE", FtpActivityKind::kDelete},    {"RNTO", FtpActivityKind::kRename},
                   {"MKD", FtpActivityKind::kMakeFolder}, {"RMD", FtpActivityKind::kRemoveFolder}};
  for (const auto& entry : kReported) {
    if (command != entry.word) continue;
    FtpActivity activity;
    activity.kind = entry.kind;
    activity.peer = CCountedString::Format("%s:%u", peerAddress_.CStr(),
                                           static_cast<unsigned>(peerPort_));
    activity.user = userName_;
    activity.argument = argument;
    activity.source = renameSource;
    activity.bytes = transferBytes_;
    activity.replyCode = lastReplyCode_;
    activity_.report(activity, activity_.context);
    return;
  }
}

void CFtpSession::SendGreeting() {
  Reply("220 KESTOV-A FTP Server (%s, %u)", peerAddress_.CStr(), static_cast<unsigned>(peerPort_));
}

void CFtpSession::OnUser(CCountedString, CCountedString argument, CCountedString) {
  loginState_ = kNotLoggedIn;
  userName_ = argument;
  Reply("331 Password required for %s", userName_.CStr());
}

void CFtpSession::OnPass(CCountedString, CCountedString, CCountedString) {
  if (userName_.IsEmpty()) {
    Reply("503 Login with USER first.");
    return;
  }
  currentDirectory_ = "/";
  loginState_ = kLoggedIn;
  Reply("230 User successfully logged in.");
}

void CFtpSession::OnQuit(CCountedString, CCountedString, CCountedString) {
  Reply("221 Goodbye.");
  dataConnection_.Close();
  controlConnection_.Close();
}

void CFtpSession::OnAbor(CCountedString, CCountedString, CCountedString) {
  if (dataConnection_.IsValid()) {
    if (loginState_ != kLoggedIn) Reply("426 Data connection closed.");
    dataConnection_.Close();
  }
  Reply("226 ABOR command successful.");
}

bool CFtpSession::NormalizePath(const CCountedString& path, CCountedString* normalized) const {
  return ResolvePathComponents(path, normalized);
}

CCountedString CFtpSession::LocalDirectory() const {
  return rootFolder_ + currentDirectory_.Mid(1);
}

bool CFtpSession::ResolveInsideRoot(const CCountedString& path, CCountedString* resolved) const {
  // Inside as text, and no link on the way leads outside (Linux).
  return ResolveInsideFolder(rootFolder_, path, resolved) &&
         !PathLeadsOutside(rootFolder_, *resolved);
}

bool CFtpSession::ResolveClientPath(const CCountedString& argument,
                                    CCountedString* resolved) const {
  const bool fromTop = !argument.IsEmpty() && (argument[0] == '/' || argument[0] == '\\');
  // The program's own folder is neither served nor written, whichever folder is served.
  return ResolveInsideRoot((fromTop ? rootFolder_ : LocalDirectory()) + argument, resolved) &&
         !IsProtectedEntry(*resolved);
}

bool CFtpSession::IsRootFolder(const CCountedString& resolved) const {
  CCountedString root;
  return NormalizePath(rootFolder_, &root) && resolved == root;
}

int64_t CFtpSession::TakeRestartOffset() {
  const int64_t offset = restartOffset_;
  restartOffset_ = 0;
  return offset;
}

void CFtpSession::ReserveExactName(const char* name) { reservedNames_.push_back(name); }

bool CFtpSession::IsReservedName(const CCountedString& argument) const {
  for (const CCountedString& name : reservedNames_) {
    if (argument == name) return true;
  }
  return false;
}

}  // namespace kestova
