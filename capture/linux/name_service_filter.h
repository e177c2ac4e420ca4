// The kernel frame filter of the packet capture: a classic BPF program that keeps exactly the
// frames IsNameServiceFrame accepts (Ethernet II, IPv4 with a 20-byte header and ToS 0, UDP from
// port 137 to port 137) and drops everything else before it reaches user space.
#pragma once

#include <linux/filter.h>

namespace kestova {

// The program; its instructions are static and live as long as the process.
sock_fprog NameServiceFilter();

}  // namespace kestova
