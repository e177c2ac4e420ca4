// Why the FTP port could not be taken, told so that the user can act on it: the missing
// right first (with how to grant it), else the program holding the port (with how to stop
// it), else the system's own reason.
//
// The cause is read from the listener's own error (the errno it kept); only where that is
// not known does DiagnosePortRefusal ask the system again by binding the port itself (and
// closing it at once). When the port is held it looks up the holder: the listening
// socket's inode from /proc/net/tcp and /proc/net/tcp6, the process whose /proc/<pid>/fd
// holds "socket:[inode]", its name from /proc/<pid>/comm and its systemd unit from
// /proc/<pid>/cgroup. Processes of other users are hidden from a user without rights; the
// holder is then unknown and the text says how to find it. Where no cause can be named
// (a refusal at a port ordinary users may bind, a port in use without any listening socket
// to be seen, any other error) the text gives the system's reason and no guess.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestova {

struct PortRefusal {
  enum Cause { kNone, kNoRight, kInUse, kOther };
  Cause cause = kNone;
  int systemError = 0;         // errno of the listener (or of the diagnosis's own bind)
  int privilegedBelow = 1024;  // the first port an ordinary user may bind
  bool listenerSeen = false;   // kInUse: a listening socket on the port is in /proc/net
  long holderPid = 0;          // 0: not known
  std::string holderName;      // e.g. "vsftpd"
  std::string holderUnit;      // e.g. "vsftpd.service"; empty when not a systemd service
  std::string programPath;     // this program, for the setcap command
};

// Why the listener could not take `port`: from `listenerError` (its errno), or, when that
// is 0, by binding `port` on every address (IPv6 and IPv4).
PortRefusal DiagnosePortRefusal(uint16_t port, int listenerError = 0);

// The user's text for a refusal (several sentences, no line end).
std::string PortRefusalText(uint16_t port, const PortRefusal& refusal);

// The inodes of the sockets listening on `port` in a /proc/net/tcp or tcp6 text.
std::vector<unsigned long> ListeningSocketInodes(const std::string& procNetTcp, uint16_t port);

// The systemd service unit of a /proc/<pid>/cgroup text ("0::/system.slice/vsftpd.service"
// gives "vsftpd.service"); empty when the process is in no service.
std::string ServiceUnitOfCgroup(const std::string& cgroup);

}  // namespace kestova
