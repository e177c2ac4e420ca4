// The control channel: session thread, line reading, dispatch, replies and login.
#include "ftp/ftp_session.h"

#include <vector>

#include "ftp/command_table.h"
#include "ftp/ftp_service.h"
#include "ftp/protected_folder.h"
#include "ftp/served_path.h"
#include "ftp/session_admission.h"
#include "net/stream_options.h"
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

void CFtpSession::Bind(const std::atomic<int32_t>* stopFlag, CFtpService* service,
                       const CCountedString& rootFolder, uint16_t activeSourcePort) {
  stopFlag_ = stopFlag;
  service_ = service;
  rootFolder_ = rootFolder;
  activeSourcePort_ = activeSourcePort;
}

void CFtpSession::BindAdmission(CSessionAdmission* admission, CAdmissionPlace* place,
                                uint32_t idleTimeoutMs, uint32_t loginTimeoutMs) {
  admission_ = admission;
  admissionPlace_ = place;
  idleTimeoutMs_ = idleTimeoutMs;
  loginTimeoutMs_ = loginTimeoutMs;
}

bool CFtpSession::ClientStillThere() const {
  return !StopRequested() && controlConnection_.IsValid() && !controlConnection_.PeerHasClosed();
}

void CFtpSession::Run() {
  // Every file operation of this thread stays inside the root folder.
  CFolderConfinement confinement(rootFolder_);
  controlConnection_.SetTimeout(kControlTimeoutMs);
  SendSmallWritesAtOnce(controlConnection_);  // a 226 right after a 150 goes at once
  CCountedString portText;
  controlConnection_.GetPeerAddressText(&peerAddress_, &portText);
  controlConnection_.GetPeerIpAddress(&peerAddressValue_, &peerPort_);

  SendGreeting();

  std::vector<char> buffer(kReceiveCapacity);
  // The idle time runs between whole commands (bytes that complete no line do not count);
  // a transfer runs inside its command, so it never counts as idle.
  const uint32_t startTick = TickCountMs();
  uint32_t lastCommandTick = startTick;
  while (!StopRequested()) {
    if (admissionPlace_ != nullptr && admissionPlace_->EvictionRequested()) {
      Reply(FtpReply::kEvictedForNewcomer);
      break;
    }
    uint32_t received = 0;
    if (!controlConnection_.ReceiveFrom(buffer.data(), kReceiveCapacity, &received)) break;
    if (received != 0) {
      const uint64_t linesBefore = linesDispatched_;
      if (admissionPlace_ != nullptr) admissionPlace_->MarkCommandStart();
      ProcessReceivedText(buffer.data(), received);
      const bool commandRan = linesDispatched_ != linesBefore;
      if (admissionPlace_ != nullptr) admissionPlace_->MarkCommandEnd(commandRan);
      if (commandRan) lastCommandTick = TickCountMs();
    }
    const uint32_t now = TickCountMs();
    if (loginTimeoutMs_ != 0 && loginState_ == kNotLoggedIn && now - startTick >= loginTimeoutMs_) {
      Reply(FtpReply::kLoginTimeout);
      break;
    }
    if (idleTimeoutMs_ != 0 && now - lastCommandTick >= idleTimeoutMs_) {
      Reply(FtpReply::kIdleTimeout);
      break;
    }
  }
  controlConnection_.Close();
  dataConnection_.Close();
}

void FtpSessionThread(void* argument) {
  CFtpSession* session = static_cast<CFtpSession*>(argument);
  session->Run();
  // The object goes first, so that a front end that sees the count reach 0 finds no
  // session code running any more.
  CFtpService* service = session->service_;
  CSessionAdmission* admission = session->admission_;
  CAdmissionPlace* place = session->admissionPlace_;
  delete session;
  if (admission != nullptr && place != nullptr) admission->Release(place);
  if (service != nullptr) service->SessionEnded();
}

bool CFtpSession::SendReply(FtpReply reply, CCountedString line) {
  lastReplyCode_ = FtpReplyCode(reply);
  line.Append("\r\n");
  return controlConnection_.Send(line.CStr(), static_cast<uint32_t>(line.Length()));
}

void CFtpSession::ProcessReceivedText(const char* bytes, size_t length) {
  lineReader_.Append(bytes, length);
  CCountedString line;
  while (ClientStillThere()) {
    const CCommandLineReader::Line kind = lineReader_.Next(&line);
    if (kind == CCommandLineReader::Line::kNone) return;
    ++linesDispatched_;
    if (kind == CCommandLineReader::Line::kHoldsNul) {
      Reply(FtpReply::kUnrecognized);
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
  // A rename source lasts for the very next command only, and only if that is RNTO.
  const CCountedString renameSource = renameSource_;
  if (command != "RNTO") renameSource_.Clear();
  if (command != "USER" && command != "PASS" && loginState_ == kNotLoggedIn) {
    Reply(FtpReply::kPleaseLogin);
    return;
  }
  const FtpCommand* row = FindFtpCommand(command);
  if (row == nullptr) {
    Reply(FtpReply::kNotImplemented);
    return;
  }
  if (row->needsArgument && argument.IsEmpty()) {
    Reply(FtpReply::kWrongParameterCount);
    return;
  }
  // The access policy covers ordinary files only: the recorder's names always pass.
  if (AccessRefuses(access_, command.CStr()) && !IsReservedName(argument)) {
    Reply(FtpReply::kPermissionDenied);
    return;
  }
  if (epsvOnly_ && (command == "PORT" || command == "PASV" || command == "P@SW" ||
                    command == "EPRT")) {
    Reply(FtpReply::kEpsvAllInEffect);
    return;
  }
  transferBytes_ = 0;
  (this->*(row->handler))(FtpRequest{command, argument});
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
    activity.peer = IpEndpointText(peerAddressValue_, peerPort_);
    activity.user = userName_;
    activity.argument = argument;
    activity.source = renameSource;
    activity.bytes = transferBytes_;
    activity.replyCode = lastReplyCode_;
    activity_.report(activity, activity_.context);
    return;
  }
}

void CFtpSession::SendGreeting() { Reply(FtpReply::kGreeting, peerAddress_, peerPort_); }

void CFtpSession::OnUser(const FtpRequest& request) {
  loginState_ = kNotLoggedIn;
  userName_ = request.argument;
  Reply(FtpReply::kPasswordRequired, userName_);
}

void CFtpSession::OnPass(const FtpRequest&) {
  if (userName_.IsEmpty()) {
    Reply(FtpReply::kLoginWithUserFirst);
    return;
  }
  currentDirectory_ = "/";
  loginState_ = kLoggedIn;
  Reply(FtpReply::kLoggedIn);
}

void CFtpSession::OnQuit(const FtpRequest&) {
  Reply(FtpReply::kGoodbye);
  dataConnection_.Close();
  controlConnection_.Close();
}

void CFtpSession::OnAbor(const FtpRequest&) {
  if (dataConnection_.IsValid()) {
    if (loginState_ != kLoggedIn) Reply(FtpReply::kDataConnectionClosed);
    dataConnection_.Close();
  }
  Reply(FtpReply::kAborSuccessful);
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
