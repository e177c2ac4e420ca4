// Which Host a status page request may name: the page answers only requests addressed to
// this machine, so that a web page whose own name is made to resolve here (DNS rebinding)
// cannot read it.
#pragma once

#include <string>
#include <vector>

namespace kestova {

// The host part of a Host header's value: without the port, an IPv6 literal without its
// brackets, lower case. "" for an empty or malformed value.
std::string HostOfHostHeader(const std::string& value);

// True when `value` (a Host header; "" when absent) names "localhost", one of `names`
// (case-insensitive), or is an address literal equal to one of `addresses` (numeric texts
// as inet_ntop writes them). An absent Host is refused: every browser sends one.
bool HostHeaderAllowed(const std::string& value, const std::vector<std::string>& names,
                       const std::vector<std::string>& addresses);

// The addresses of this machine's interfaces, as inet_ntop writes them (IPv4 and IPv6).
std::vector<std::string> LocalAddressTexts();

// The names this machine goes by for the page: its host name, the host name's first label
// and that label + ".local", and `configured` (the page's listening address) when it is a
// name rather than an address. Lower case.
std::vector<std::string> LocalHostNames(const std::string& configured);

}  // namespace kestova
