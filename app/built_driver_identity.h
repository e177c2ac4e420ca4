// The identity of the KESTOVA.SYS this program was built with, kept in its resources.
#pragma once

#include <string>

namespace kestova {

// "<size> <sha1>" from resource IDR_DRIVER_IDENTITY ("none" when the build had no driver);
// "none" when the resource is missing, which no file matches.
std::string BuiltDriverIdentity();

}  // namespace kestova
