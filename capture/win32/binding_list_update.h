// Entering the capture service into (or taking it out of) the binding list of every network
// adapter in the registry, so that NDIS binds the protocol to each of them.
#pragma once

namespace kestova {

// The network adapter class key under HKEY_LOCAL_MACHINE.
constexpr char kNetworkClassKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
// Every value is read through a buffer of this size.
constexpr unsigned kBindingValueCapacity = 1024;

// For every adapter subkey whose Linkage holds exactly one non-empty "RootDevice" string and a
// readable "UpperBind" list, writes "UpperBind" back as REG_MULTI_SZ with `service` first
// (`add`) or without it (remove). Left alone: adapters with no, an empty or several root
// devices; lists that do not fit the 1024-byte buffer (never truncated, never rewritten from a
// partial read); and, when removing, lists that do not name the service (so a value nobody put
// the service into keeps its bytes and its type). Keys that cannot be opened or read are
// skipped; the walk never stops early. Nothing is reported.
void UpdateBindingLists(const char* service, bool add);

}  // namespace kestova
