// CFtpSession: one FTP control connection, served on its own thread.
//
// The listener creates the object (through the service's session factory), binds it
// to the service state, attaches the accepted connection and starts FtpSessionThread,
// which owns and finally deletes it. Every member is touched only by that thread.
//
// Command handlers take the request (its verb and argument, see ftp_request.h) and
// answer with typed replies (ftp_replies.h). A derived class (the dubbing session)
// overrides SendGreeting, OnRetr and OnStor and may call the base handlers for the
// names it does not handle itself.
//
// Every path a client names is resolved and must lie inside the root folder; a path
// outside is answered FtpReply::kPermissionDenied and nothing is touched.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "base/counted_string.h"
#include "ftp/command_line_reader.h"
#include "ftp/ftp_replies.h"
#include "ftp/ftp_request.h"
#include "ftp/ordinary_client_access.h"
#include "ftp/session_activity.h"
#include "net/event_socket.h"
#include "platform/file_system.h"

namespace kestova {
class CAdmissionPlace;
class CFtpService;
class CSessionAdmission;
}

namespace kestova {

class CFtpSession {
 public:
  CFtpSession();
  virtual ~CFtpSession();
  CFtpSession(const CFtpSession&) = delete;
  CFtpSession& operator=(const CFtpSession&) = delete;

  // Set-up by the listener before the session thread starts.
  // `service` is told when the session thread ends (CFtpService::SessionEnded).
  void Bind(const std::atomic<int32_t>* stopFlag, CFtpService* service,
            const CCountedString& rootFolder, uint16_t activeSourcePort);
  // The admission place this session holds (given back when its thread ends), the idle
  // time-out of its control connection (no whole command for so long) and the time it has
  // from its start to log in (0 = none).
  void BindAdmission(CSessionAdmission* admission, CAdmissionPlace* place, uint32_t idleTimeoutMs,
                     uint32_t loginTimeoutMs);
  // What ordinary clients may do, and the ports passive data connections listen on.
  void SetAccessRules(OrdinaryClientAccess access, const PassivePortRange& passivePorts) {
    access_ = access;
    passivePorts_ = passivePorts;
  }
  CEventSocket& ControlConnection() { return controlConnection_; }
  // Who hears of logins and of what touches the served folder (nobody by default).
  void SetActivityObserver(const FtpActivityObserver& observer) { activity_ = observer; }

  // The 25 virtual operations, in this order.
  virtual void SendGreeting();
  virtual void OnAbor(const FtpRequest& request);
  virtual void OnCwd(const FtpRequest& request);
  virtual void OnCdup(const FtpRequest& request);
  virtual void OnSite(const FtpRequest& request);
  virtual void OnDele(const FtpRequest& request);
  virtual void OnHelp(const FtpRequest& request);
  virtual void OnList(const FtpRequest& request);
  virtual void OnMkd(const FtpRequest& request);
  virtual void OnNoop(const FtpRequest& request);
  virtual void OnPass(const FtpRequest& request);
  virtual void OnPasv(const FtpRequest& request);
  virtual void OnPort(const FtpRequest& request);
  virtual void OnPwd(const FtpRequest& request);
  virtual void OnQuit(const FtpRequest& request);
  virtual void OnRest(const FtpRequest& request);
  virtual void OnRetr(const FtpRequest& request);
  virtual void OnRmd(const FtpRequest& request);
  virtual void OnRnfr(const FtpRequest& request);
  virtual void OnRnto(const FtpRequest& request);
  virtual void OnSize(const FtpRequest& request);
  virtual void OnStor(const FtpRequest& request);
  virtual void OnSyst(const FtpRequest& request);
  virtual void OnType(const FtpRequest& request);
  virtual void OnUser(const FtpRequest& request);

  // The extensions (RFC 2389, 2428, 3659); not virtual, no derived session changes them.
  void OnFeat(const FtpRequest& request);
  void OnOpts(const FtpRequest& request);
  void OnMlsd(const FtpRequest& request);
  void OnMlst(const FtpRequest& request);
  void OnMdtm(const FtpRequest& request);
  void OnMfmt(const FtpRequest& request);
  void OnEpsv(const FtpRequest& request);
  void OnEprt(const FtpRequest& request);

  // Sends the reply's line (its "{}" filled in order by `arguments`) and CR LF with one
  // Send on the control connection (its default time-out). Returns the Send result.
  template <typename... Arguments>
  bool Reply(FtpReply reply, const Arguments&... arguments) {
    return SendReply(reply, FtpReplyLine(reply, {FtpReplyArgument(arguments)...}));
  }
  // Makes the data connection ready for a transfer; on failure it has already sent
  // the failure reply (425 or 421).
  bool OpenDataConnection();
  void CloseDataConnection();
  // Adds one received chunk to the line reader and dispatches every whole line in
  // order (empty lines skipped; a line holding a NUL byte answered with a 500 reply).
  // An incomplete last line waits for the rest of its bytes. Stops between lines once
  // the stop flag is set or the control connection is closed (QUIT).
  void ProcessReceivedText(const char* bytes, size_t length);
  // Login gate, command table lookup, argument rule, handler call.
  void DispatchCommand(const CCountedString& command, const CCountedString& argument);
  // Resolves "." and ".." (either separator) and joins with '\\'. False when the
  // path cannot be resolved (see ResolvePathComponents).
  bool NormalizePath(const CCountedString& path, CCountedString* normalized) const;

  // The session thread's body: greeting, command loop, clean-up (not the delete).
  void Run();

 protected:
  // Login states.
  enum : int32_t { kLoggedIn = 0, kNotLoggedIn = 1, kSendingList = 2 };

  // Tells the activity observer about `command`, which has just run.
  void ReportActivity(const CCountedString& command, const CCountedString& argument,
                      const CCountedString& renameSource);

  bool SendReply(FtpReply reply, CCountedString line);

  bool StopRequested() const { return stopFlag_ != nullptr && stopFlag_->load() != 0; }
  // False once the service stops or the client has gone (it closed the control
  // connection, or QUIT did): lines still buffered are then not run.
  bool ClientStillThere() const;
  // Waits for the passive data connection; connections from any address but the control
  // peer's are closed and the wait goes on. False after the wait, a stop, or the
  // client's leaving.
  bool AcceptFromControlPeer();
  // Sends a listing text after the 150 reply on a data connection, and the final reply.
  void SendListingText(const CCountedString& listing);
  // LIST or NLST of the entries matching the wildcard pattern of `target`'s last
  // component, in the folder its other components name.
  void ListMatching(const FtpRequest& request, const CCountedString& target);
  // The passive data socket, listening on a free port of the passive range (any free
  // port without one), of the control connection's family; false when none could be had.
  bool OpenPassiveListener(uint16_t* port);
  // The socket of an active-mode data connection to the active address: from the
  // active-mode source port, of that address's family.
  bool CreateActiveSocket(int32_t timeoutMs);
  // The refusal of a name command on a file in transfer (or a folder holding one).
  void ReplyInTransfer(const CCountedString& argument);
  // Root folder + current directory without its first character.
  CCountedString LocalDirectory() const;
  // Resolves `path` and checks it lies inside the root folder.
  bool ResolveInsideRoot(const CCountedString& path, CCountedString* resolved) const;
  // The local path a client names: from the root folder's top when the argument
  // begins with '/' or '\\', else from the current directory; resolved and inside.
  bool ResolveClientPath(const CCountedString& argument, CCountedString* resolved) const;
  // Resolves the client's `name` and reads its entry; false after replying 550 when it lies
  // outside, does not exist, or (with `plainFileOnly`) is a folder. Replies name it `shown`.
  bool FindClientEntry(const CCountedString& name, const CCountedString& shown,
                       bool plainFileOnly, CCountedString* path, DirectoryEntry* entry);
  // The resolved root folder itself (which no command may delete, remove or rename).
  bool IsRootFolder(const CCountedString& resolved) const;
  // Opens the file STOR or APPE writes, positioned where the bytes go; on failure the
  // final reply has been sent.
  bool OpenUploadTarget(const CCountedString& path, const CCountedString& argument, bool append,
                        int64_t offset, CFile* file);
  // The current-directory text ("/" or "/a/b/") of a resolved folder inside the root.
  CCountedString CurrentDirectoryOf(const CCountedString& resolved) const;
  // The offset of the last REST, cleared: each transfer command takes it once.
  int64_t TakeRestartOffset();
  // Names a derived session handles itself, by exact name: SIZE answers them with the
  // echo of their number even when a file of that name exists.
  void ReserveExactName(const char* name);
  bool IsReservedName(const CCountedString& argument) const;

  CEventSocket controlConnection_;
  CCommandLineReader lineReader_;
  CEventSocket dataConnection_;
  const std::atomic<int32_t>* stopFlag_ = nullptr;
  CFtpService* service_ = nullptr;
  int32_t loginState_ = kNotLoggedIn;
  CCountedString userName_;
  CCountedString rootFolder_;
  CCountedString currentDirectory_;
  CCountedString peerAddress_;
  CCountedString renameSource_;
  uint16_t peerPort_ = 0;
  int32_t passiveFlag_ = 0;
  bool epsvOnly_ = false;  // after EPSV ALL: PORT, PASV and EPRT are refused
  int32_t activePort_ = -1;
  CCountedString activeAddress_;
  uint16_t activeSourcePort_ = 20;
  IpAddress peerAddressValue_;  // the control peer
  IpAddress activeAddressValue_;
  CSessionAdmission* admission_ = nullptr;
  CAdmissionPlace* admissionPlace_ = nullptr;
  OrdinaryClientAccess access_ = OrdinaryClientAccess::kFull;
  PassivePortRange passivePorts_;
  uint32_t idleTimeoutMs_ = 0;
  uint32_t loginTimeoutMs_ = 0;
  // Lines dispatched so far (a line holding a NUL counts): the idle time counts whole
  // commands, not bytes.
  uint64_t linesDispatched_ = 0;
  int64_t restartOffset_ = 0;
  std::vector<CCountedString> reservedNames_;
  FtpActivityObserver activity_;
  // For the activity report: the code of the last reply, and the data bytes the current
  // command's transfer has moved.
  int lastReplyCode_ = 0;
  uint64_t transferBytes_ = 0;

  friend void FtpSessionThread(void* argument);
};

// Thread entry of a session; `argument` is the CFtpSession, which this thread deletes
// before it takes itself out of the session count.
void FtpSessionThread(void* argument);

}  // namespace kestova
