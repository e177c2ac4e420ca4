#include "linux/ftp_access.h"

#include <vector>

#include "net/ip_address.h"

namespace kestova {

void ApplyFtpAccessOptions(const LinuxOptions& options, CFtpService* service) {
  std::vector<IpAddress> addresses;
  for (const std::string& text : options.listenAddresses) {
    IpAddress address;
    if (ParseIpAddress(text.c_str(), &address)) addresses.push_back(address);
  }
  service->SetListenAddresses(addresses);

  PassivePortRange ports = ReadPassivePortSetting();
  if (options.passivePortsGiven) {
    ports.low = options.passiveLow;
    ports.high = options.passiveHigh;
  }
  service->SetPassivePorts(ports);

  OrdinaryClientAccess access = ReadOrdinaryClientAccessSetting();
  if (!options.ordinaryClients.empty()) {
    ParseOrdinaryClientAccess(options.ordinaryClients.c_str(), &access);
  }
  service->SetOrdinaryClientAccess(access);
}

}  // namespace kestova
