// An adapter's binding list ("UpperBind", "RootDevice"): the strings of a REG_MULTI_SZ value (a
// REG_SZ value is a list of one string), and the list with the capture service added or removed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kestova {

// The strings of a value of `size` bytes as read from the registry. A multi-string list ends at
// its first empty string or at the end of the data; a single string (`multiString` false) at its
// first zero. False when a string is not terminated within the data: such a value was not read
// whole and must be left alone.
bool SplitBindingList(const char* data, size_t size, bool multiString,
                      std::vector<std::string>* strings);

// The new list: `service` first when adding, then every old string that is not `service`
// (compared without regard to case), in the old order. So adding puts the name at the front
// exactly once and removing takes every occurrence out.
std::vector<std::string> UpdatedBindingList(const std::vector<std::string>& old,
                                            const char* service, bool add);

// True when `strings` names `service` (without regard to case).
bool BindingListNames(const std::vector<std::string>& strings, const char* service);

// REG_MULTI_SZ bytes: each string with its zero, then one more zero; an empty list is one zero.
std::string JoinBindingList(const std::vector<std::string>& strings);

}  // namespace kestova
