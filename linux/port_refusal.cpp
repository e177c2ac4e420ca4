#include "linux/port_refusal.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/system_error.h"
#include "platform/texts.h"

namespace kestova {
namespace {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// errno of binding `port` on the wildcard address of `family`; 0 when the bind worked.
int BindError(int family, uint16_t port) {
  const int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return errno;
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  int result = 0;
  if (family == AF_INET6) {
    setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    sockaddr_in6 address = {};
    address.sin6_family = AF_INET6;
    address.sin6_port = htons(port);
    address.sin6_addr = in6addr_any;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) result = errno;
  } else {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) result = errno;
  }
  close(fd);
  return result;
}

// The first process whose descriptors include one of `inodes`; 0 when none is visible.
long ProcessHoldingSocket(const std::vector<unsigned long>& inodes) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return 0;
  long found = 0;
  while (found == 0) {
    const dirent* entry = readdir(proc);
    if (entry == nullptr) break;
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0') continue;
    const std::string fdFolder = "/proc/" + std::string(entry->d_name) + "/fd";
    DIR* fds = opendir(fdFolder.c_str());
    if (fds == nullptr) continue;  // another user's process, or gone
    while (const dirent* fd = readdir(fds)) {
      char target[64] = {};
      const std::string link = fdFolder + "/" + fd->d_name;
      if (readlink(link.c_str(), target, sizeof target - 1) <= 0) continue;
      unsigned long inode = 0;
      if (std::sscanf(target, "socket:[%lu]", &inode) != 1) continue;
      for (const unsigned long wanted : inodes) {
        if (inode == wanted) found = pid;
      }
      if (found != 0) break;
    }
    closedir(fds);
  }
  closedir(proc);
  return found;
}

std::string ProgramPath() {
  char path[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string("kestov-a");
}

int PrivilegedPortLimit() {
  const std::string text = ReadWholeFile("/proc/sys/net/ipv4/ip_unprivileged_port_start");
  const int limit = std::atoi(text.c_str());
  return limit > 0 ? limit : 1024;
}

}  // namespace

std::vector<unsigned long> ListeningSocketInodes(const std::string& procNetTcp, uint16_t port) {
  std::vector<unsigned long> inodes;
  std::istringstream lines(procNetTcp);
  std::string line;
  std::getline(lines, line);  // the column titles
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
    unsigned long inode = 0;
    if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
          timeout >> inode)) {
      continue;
    }
    const size_t colon = local.rfind(':');
    if (colon == std::string::npos || state != "0A") continue;  // 0A: listening
    if (std::strtoul(local.c_str() + colon + 1, nullptr, 16) != port) continue;
    inodes.push_back(inode);
  }
  return inodes;
}

std::string ServiceUnitOfCgroup(const std::string& cgroup) {
  std::istringstream lines(cgroup);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.compare(0, 3, "0::") != 0 && line.find(":name=systemd:") == std::string::npos) {
      continue;
    }
    const size_t slash = line.rfind('/');
    const std::string last = line.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string suffix = ".service";
    if (last.size() > suffix.size() &&
        last.compare(last.size() - suffix.size(), suffix.size(), suffix) == 0) {
      return last;
    }
  }
  return std::string();
}

PortRefusal DiagnosePortRefusal(uint16_t port, int listenerError) {
  PortRefusal refusal;
  refusal.privilegedBelow = PrivilegedPortLimit();
  refusal.programPath = ProgramPath();
  int error = listenerError;
  if (error == 0) {
    error = BindError(AF_INET6, port);
    if (error == 0 || error == EAFNOSUPPORT) error = BindError(AF_INET, port);
  }
  refusal.systemError = error;
  if (error == 0) return refusal;
  if (error == EACCES || error == EPERM) {
    // Only a port below the limit needs a right; another refusal is not the missing right.
    refusal.cause = port < refusal.privilegedBelow ? PortRefusal::kNoRight : PortRefusal::kOther;
    return refusal;
  }
  if (error != EADDRINUSE) {
    refusal.cause = PortRefusal::kOther;
    return refusal;
  }
  refusal.cause = PortRefusal::kInUse;
  std::vector<unsigned long> inodes = ListeningSocketInodes(ReadWholeFile("/proc/net/tcp"), port);
  for (const unsigned long inode : ListeningSocketInodes(ReadWholeFile("/proc/net/tcp6"), port)) {
    inodes.push_back(inode);
  }
  if (inodes.empty()) return refusal;
  refusal.listenerSeen = true;
  refusal.holderPid = ProcessHoldingSocket(inodes);
  if (refusal.holderPid == 0) return refusal;
  const std::string proc = "/proc/" + std::to_string(refusal.holderPid);
  refusal.holderName = ReadWholeFile(proc + "/comm");
  while (!refusal.holderName.empty() && refusal.holderName.back() == '\n') {
    refusal.holderName.pop_back();
  }
  refusal.holderUnit = ServiceUnitOfCgroup(ReadWholeFile(proc + "/cgroup"));
  return refusal;
}

std::string PortRefusalText(uint16_t port, const PortRefusal& refusal) {
  const std::string portText = std::to_string(port);
  std::string text = Format(T_("the FTP server could not start on port %s"), portText.c_str());
  const std::string systemReason = SystemErrorOf(refusal.systemError).text.CStr();
  // In use, yet nothing is seen listening on it (a socket bound without listening, say):
  // no holder can be named, so the system's reason is told.
  const bool noHolder = !refusal.listenerSeen && refusal.holderPid == 0;
  const PortRefusal::Cause cause =
      refusal.cause == PortRefusal::kInUse && noHolder ? PortRefusal::kOther : refusal.cause;
  switch (cause) {
    case PortRefusal::kNoRight:
      text += Format(T_(": this user may not use ports below %s. Run kestov-a as root, grant "
                        "it the right once with \"sudo setcap cap_net_bind_service=+ep %s\", "
                        "or choose a port of %s or above with --port."),
                     std::to_string(refusal.privilegedBelow).c_str(), refusal.programPath.c_str(),
                     std::to_string(refusal.privilegedBelow).c_str());
      break;
    case PortRefusal::kInUse:
      if (refusal.holderPid == 0) {
        text += Format(T_(": another program is using it, hidden from this user (\"sudo ss "
                          "-ltnp 'sport = :%s'\" shows it). Stop that program, or choose "
                          "another port with --port."),
                       portText.c_str());
      } else if (!refusal.holderUnit.empty()) {
        text += Format(T_(": %s (process %s, service %s) is using it. Stop it with \"sudo "
                          "systemctl disable --now %s\", or choose another port with --port."),
                       refusal.holderName.c_str(), std::to_string(refusal.holderPid).c_str(),
                       refusal.holderUnit.c_str(), refusal.holderUnit.c_str());
      } else {
        text += Format(T_(": %s (process %s) is using it. Stop it with \"kill %s\" (with sudo "
                          "when it is not yours), or choose another port with --port."),
                       refusal.holderName.c_str(), std::to_string(refusal.holderPid).c_str(),
                       std::to_string(refusal.holderPid).c_str());
      }
      break;
    case PortRefusal::kOther:
      text += Format(T_(": %s. Choose another port with --port."), systemReason.c_str());
      break;
    case PortRefusal::kNone:
      text += T_(", although it is free now. Start kestov-a again.");
      break;
  }
  return text;
}

}  // namespace kestova
