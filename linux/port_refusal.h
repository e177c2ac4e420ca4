// Why the FTP port could not be taken, told so that the user can act on it: the missing
// right first (with how to grant it), else the program holding the port (with how to stop
// it), else the system's own reason.
//
// The listener reports only that it failed; DiagnosePortRefusal asks the system again by
// binding the port itself (and closing it at once), and, when the port is held, looks up
// the holder: the listening socket's inode from /proc/net/tcp and /proc/net/tcp6, the
// process whose /proc/<pid>/fd holds "socket:[inode]", its name from /proc/<pid>/comm and
// its systemd unit from /proc/<pid>/cgroup. Processes of other users are hidden from a
// user without rights; the holder is then unknown and the text says how to find it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestova {

struct PortRefusal {
  enum Cause { kNone, kNoRight, kInUse, kOther };
  Cause cause = kNone;
  int systemError = 0;         // errno of the bind
  int privilegedBelow = 1024;  // the first port an ordinary user may bind
  long holderPid = 0;          // 0: not known
  std::string holderName;      // e.g. "vsftpd"
  std::string holderUnit;      // e.g. "vsftpd.service"; empty when not a systemd service
  std::string programPath;     // this program, for the setcap command
};

// Binds `port` on every address (IPv6 and IPv4) to learn why the listener could not.
PortRefusal DiagnosePortRefusal(uint16_t port);

// The user's text for a refusal (several sentences, no line end).
std::string PortRefusalText(uint16_t port, const PortRefusal& refusal);

// The inodes of the sockets listening on `port` in a /proc/net/tcp or tcp6 text.
std::vector<unsigned long> ListeningSocketInodes(const std::string& procNetTcp, uint16_t port);

// The systemd service unit of a /proc/<pid>/cgroup text ("0::/system.slice/vsftpd.service"
// gives "vsftpd.service"); empty when the process is in no service.
std::string ServiceUnitOfCgroup(const std::string& cgroup);

}  // namespace kestova
