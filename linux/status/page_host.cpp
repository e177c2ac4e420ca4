#include "linux/status/page_host.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace kestova {
namespace {

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The literal written as inet_ntop writes it; "" when `text` is no address.
std::string CanonicalAddress(const std::string& text) {
  char written[INET6_ADDRSTRLEN];
  in_addr v4;
  in6_addr v6;
  if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
    return inet_ntop(AF_INET, &v4, written, sizeof(written)) != nullptr ? written : "";
  }
  const std::string unscoped = text.substr(0, text.find('%'));
  if (inet_pton(AF_INET6, unscoped.c_str(), &v6) == 1) {
    return inet_ntop(AF_INET6, &v6, written, sizeof(written)) != nullptr ? written : "";
  }
  return std::string();
}

}  // namespace

std::string HostOfHostHeader(const std::string& value) {
  if (value.empty()) return std::string();
  if (value[0] == '[') {
    const size_t close = value.find(']');
    if (close == std::string::npos) return std::string();
    const std::string rest = value.substr(close + 1);
    if (!rest.empty() && rest[0] != ':') return std::string();
    return Lowered(value.substr(1, close - 1));
  }
  const size_t colon = value.find(':');
  if (colon != std::string::npos && value.find(':', colon + 1) != std::string::npos) {
    return std::string();  // an IPv6 literal without brackets
  }
  std::string host = Lowered(value.substr(0, colon));
  if (!host.empty() && host.back() == '.') host.pop_back();  // the absolute form of a name
  return host;
}

bool HostHeaderAllowed(const std::string& value, const std::vector<std::string>& names,
                       const std::vector<std::string>& addresses) {
  const std::string host = HostOfHostHeader(value);
  if (host.empty()) return false;
  if (host == "localhost") return true;
  const std::string address = CanonicalAddress(host);
  if (!address.empty()) {
    return std::find(addresses.begin(), addresses.end(), address) != addresses.end();
  }
  for (const std::string& name : names) {
    if (!name.empty() && Lowered(name) == host) return true;
  }
  return false;
}

std::vector<std::string> LocalAddressTexts() {
  std::vector<std::string> texts;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return texts;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr) continue;
    char written[INET6_ADDRSTRLEN];
    const void* bytes = nullptr;
    const int family = entry->ifa_addr->sa_family;
    if (family == AF_INET) {
      bytes = &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr;
    } else if (family == AF_INET6) {
      bytes = &reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr)->sin6_addr;
    }
    if (bytes != nullptr && inet_ntop(family, bytes, written, sizeof(written)) != nullptr) {
      texts.push_back(written);
    }
  }
  freeifaddrs(list);
  return texts;
}

std::vector<std::string> LocalHostNames(const std::string& configured) {
  std::vector<std::string> names;
  char host[256] = {};
  if (gethostname(host, sizeof(host) - 1) == 0 && host[0] != '\0') {
    const std::string full = Lowered(host);
    const std::string label = full.substr(0, full.find('.'));
    names = {full, label, label + ".local"};
  }
  if (!configured.empty() && CanonicalAddress(configured).empty()) {
    names.push_back(Lowered(configured));
  }
  return names;
}

}  // namespace kestova
