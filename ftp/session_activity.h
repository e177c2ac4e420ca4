// What an FTP session did, told to the front end after each command that logs in or
// touches the served folder — for a transfer log like other FTP servers keep.
//
// Told on the session's thread after the command's handler has run and replied.
#pragma once

#include <cstdint>

#include "base/counted_string.h"

namespace kestova {

enum class FtpActivityKind {
  kLogin,         // PASS
  kDownload,      // RETR
  kUpload,        // STOR
  kAppend,        // APPE
  kDelete,        // DELE
  kRename,        // RNTO (source: the RNFR argument)
  kMakeFolder,    // MKD
  kRemoveFolder,  // RMD
};

// FtpActivity::bytes of a transfer that ended before it could tell how much moved.
constexpr uint64_t kFtpBytesUnknown = ~static_cast<uint64_t>(0);

struct FtpActivity {
  FtpActivityKind kind = FtpActivityKind::kLogin;
  CCountedString peer;      // "address:port" of the control connection
  CCountedString user;      // the USER argument
  CCountedString argument;  // as the client sent it
  CCountedString source;    // kRename: the name renamed
  uint64_t bytes = 0;       // data bytes moved by a transfer (ordinary files), or
                            // kFtpBytesUnknown
  int replyCode = 0;        // the command's last reply (226, 250, 550, ...)
};

struct FtpActivityObserver {
  void (*report)(const FtpActivity& activity, void* context) = nullptr;
  void* context = nullptr;
};

}  // namespace kestova
