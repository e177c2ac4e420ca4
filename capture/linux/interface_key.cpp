#include "capture/linux/interface_key.h"

#include <net/if.h>
#include <sys/ioctl.h>

#include <cstring>

#include "driver/kestova_shared.h"
#include "platform/texts.h"

namespace kestova {

void InterfaceAdapterKey(int socketFd, int interfaceIndex, uint32_t* keyLow, uint32_t* keyHigh) {
  *keyLow = 0;
  *keyHigh = 0;
  ifreq request;
  std::memset(&request, 0, sizeof(request));
  if (if_indextoname(static_cast<unsigned>(interfaceIndex), request.ifr_name) == nullptr) return;
  if (ioctl(socketFd, SIOCGIFHWADDR, &request) != 0) return;
  uint8_t address[kEthernetAddressLength];
  std::memcpy(address, request.ifr_hwaddr.sa_data, sizeof(address));
  const AdapterKey key = MakeAdapterKey(address);
  *keyLow = key.low;
  *keyHigh = key.high;
}

bool InterfaceStillExists(int interfaceIndex, const std::string& name) {
  char current[IF_NAMESIZE];
  return if_indextoname(static_cast<unsigned>(interfaceIndex), current) != nullptr &&
         name == current;
}

bool CInterfaceWatch::StillUsable(const char* source, std::string* error) const {
  if (index_ == 0 || InterfaceStillExists(index_, name_)) return true;
  *error = Format(T_("%s: interface %s is gone"), source, name_.c_str());
  return false;
}

}  // namespace kestova
