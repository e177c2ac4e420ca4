// The replies the server sends: every reply's code and text, in this one place.
//
// A reply is named by an FtpReply value. Its line (CR LF not included) is the three-digit
// code, a space and the text, with each "{}" of the text replaced in order by the
// arguments. A text beginning with '-' is a multi-line reply: the code is followed
// directly by the text, whose embedded CR LF pairs separate the lines.
//
// A new reply: a name in FtpReply (before kCount) and its row, at the same position, in
// kFtpReplies; the compiler checks that both agree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>

#include "base/counted_string.h"

namespace kestova {

enum class FtpReply : uint8_t {
  kOpeningBinary,
  kOpeningAscii,
  kOk,
  kTypeSet,
  kPortSuccessful,
  kSize,
  kHelp,
  kSystem,
  kGreeting,
  kDubbingGreeting,
  kGoodbye,
  kTransferComplete,
  kAborSuccessful,
  kEnteringPassive,
  kLoggedIn,
  kIsCurrentDirectory,
  kChangedDirectory,
  kCdupSuccessful,
  kDeleSuccessful,
  kRmdSuccessful,
  kRntoSuccessful,
  kCurrentDirectory,
  kCreated,
  kPasswordRequired,
  kRestarting,
  kRnfrSuccessful,
  kIdleTimeout,
  kTooManyFromAddress,
  kTooManyInAll,
  kEvictedForNewcomer,
  kLoginTimeout,
  kOutOfResources,
  kFailedToCreateSocket,
  kFailedToCreateDataSocket,
  kCannotOpenDataConnection,
  kDataConnectionClosed,
  kTransferAborted,
  kLocalError,
  kUnrecognized,
  kIllegalPort,
  kBadParameters,
  kWrongParameterCount,
  kUnknownCommand,
  kNotImplemented,
  kLoginWithUserFirst,
  kPleaseLogin,
  kPermissionDenied,
  kPermissionDeniedFor,
  kFileNotFound,
  kDirectoryNotFound,
  kNotAPlainFile,
  kInTransfer,
  kCannotRemoveDirectory,
  kCannotCreateDirectory,
  kCannotRenameDirectory,
  kCannotRestart,
  kNameNotAllowed,
  kFeatures,
  kFeaturesWithoutUtf8,
  kUtf8On,
  kOptionNotUnderstood,
  kFileTime,
  kModifyTimeSet,
  kMachineListing,
  kEnteringExtendedPassive,
  kEprtSuccessful,
  kEpsvAllSuccessful,
  kEpsvAllInEffect,
  kNetworkProtocolNotSupported,
  kCount
};

// FEAT's lines that every system shares (UTF8 is listed only where names are UTF-8).
#define KESTOVA_FEATURES_EXCEPT_UTF8                                         \
  "-Extensions supported:\r\n EPRT\r\n EPSV\r\n MDTM\r\n MFMT\r\n" \
  " MLST type*;size*;modify*;perm*;\r\n REST STREAM\r\n SIZE\r\n"

struct FtpReplyRow {
  FtpReply reply;
  uint16_t code;
  const char* text;
};

inline constexpr FtpReplyRow kFtpReplies[] = {
    {FtpReply::kOpeningBinary, 150, "Opening BINARY mode data connection for file transfer."},
    {FtpReply::kOpeningAscii, 150, "Opening ASCII mode data connection for directory list."},
    {FtpReply::kOk, 200, "OK"},
    {FtpReply::kTypeSet, 200, "Type set to {}"},
    {FtpReply::kPortSuccessful, 200, "Port command successful."},
    {FtpReply::kSize, 213, "{}"},
    {FtpReply::kHelp, 214,
     "-The following commands are recognized:\r\n"
     "ABOR\tAPPE\tBYE\tCDUP\r\n"
     "CWD\tDELE\tHELP\tLIST\r\n"
     "MKD\tNLST\tNOOP\tPASS\r\n"
     "PASV\tP@SW\tPORT\tPWD\r\n"
     "QUIT\tREST\tRETR\tRMD\r\n"
     "RNFR\tRNTO\tSITE\tSIZE\r\n"
     "STOR\tSYST\tTYPE\tUSER\r\n"
     "XCWD\tXMKD\tXPWD\tXRMD\r\n"
     "214 HELP command successful."},
    {FtpReply::kSystem, 215, "UNIX emulated by KESTOV-A FTP Server."},
    {FtpReply::kGreeting, 220, "KESTOV-A FTP Server ({}, {})"},
    {FtpReply::kDubbingGreeting, 220, "Connected. <00:00:00:000>"},
    {FtpReply::kGoodbye, 221, "Goodbye."},
    {FtpReply::kTransferComplete, 226, "Transfer complete"},
    {FtpReply::kAborSuccessful, 226, "ABOR command successful."},
    {FtpReply::kEnteringPassive, 227, "Entering Passive Mode ({},{},{})."},
    {FtpReply::kLoggedIn, 230, "User successfully logged in."},
    {FtpReply::kIsCurrentDirectory, 250, "\"{}\" is current directory."},
    {FtpReply::kChangedDirectory, 250, "\"{}\": {} command successful."},
    {FtpReply::kCdupSuccessful, 250, "CDUP command successful."},
    {FtpReply::kDeleSuccessful, 250, "DELE command successful."},
    {FtpReply::kRmdSuccessful, 250, "RMD command successful."},
    {FtpReply::kRntoSuccessful, 250, "RNTO command successful."},
    {FtpReply::kCurrentDirectory, 257, "\"{}\" is current directory."},
    {FtpReply::kCreated, 257, "\"{}\" created."},
    {FtpReply::kPasswordRequired, 331, "Password required for {}"},
    {FtpReply::kRestarting, 350, "Restarting at {}."},
    {FtpReply::kRnfrSuccessful, 350, "RNFR command successful."},
    {FtpReply::kIdleTimeout, 421, "Idle time-out, closing the control connection."},
    {FtpReply::kTooManyFromAddress, 421,
     "Too many connections from your address, try again later."},
    {FtpReply::kTooManyInAll, 421, "Too many connections, try again later."},
    {FtpReply::kEvictedForNewcomer, 421, "Closing the longest idle connection to admit another."},
    {FtpReply::kLoginTimeout, 421, "Login time-out, closing the control connection."},
    {FtpReply::kOutOfResources, 421, "Out of resources, try again later."},
    {FtpReply::kFailedToCreateSocket, 421, "Failed to create socket."},
    {FtpReply::kFailedToCreateDataSocket, 421, "Failed to create data connection socket."},
    {FtpReply::kCannotOpenDataConnection, 425, "Can't open data connection."},
    {FtpReply::kDataConnectionClosed, 426, "Data connection closed."},
    {FtpReply::kTransferAborted, 426, "Connection closed; transfer aborted."},
    {FtpReply::kLocalError, 451, "Requested action aborted: local error in processing."},
    {FtpReply::kUnrecognized, 500, "Syntax error, command unrecognized."},
    {FtpReply::kIllegalPort, 500, "Illegal PORT command."},
    {FtpReply::kBadParameters, 501, "Syntax error in parameters or arguments."},
    {FtpReply::kWrongParameterCount, 501, "Syntax error: Invalid number of parameters."},
    {FtpReply::kUnknownCommand, 501, "Unknown command {}"},
    {FtpReply::kNotImplemented, 502, "Command not implemented - Try HELP."},
    {FtpReply::kLoginWithUserFirst, 503, "Login with USER first."},
    {FtpReply::kPleaseLogin, 530, "Please login with USER and PASS."},
    {FtpReply::kPermissionDenied, 550, "Permission denied."},
    {FtpReply::kPermissionDeniedFor, 550, "Permission denied({})."},
    {FtpReply::kFileNotFound, 550, "\"{}\": File not found."},
    {FtpReply::kDirectoryNotFound, 550, "\"{}\": Directory not found."},
    {FtpReply::kNotAPlainFile, 550, "\"{}\": Not a plain file."},
    {FtpReply::kInTransfer, 550, "\"{}\": in transfer, try again later."},
    {FtpReply::kCannotRemoveDirectory, 550, "Can't remove directory. Permission denied."},
    {FtpReply::kCannotCreateDirectory, 550, "Can't create directory. Permission denied."},
    {FtpReply::kCannotRenameDirectory, 550, "Can't rename directory. Permission denied."},
    {FtpReply::kCannotRestart, 554, "Can't restart at {}: \"{}\" has {} bytes."},
    {FtpReply::kNameNotAllowed, 553, "Requested action not taken. File name not allowed."},
    // The extensions of RFC 2389, 2428 and 3659. Names are UTF-8 only where the system
    // keeps them so (Linux); Windows names are in its ANSI code page.
    {FtpReply::kFeatures, 211, KESTOVA_FEATURES_EXCEPT_UTF8 " UTF8\r\n211 End"},
    {FtpReply::kFeaturesWithoutUtf8, 211, KESTOVA_FEATURES_EXCEPT_UTF8 "211 End"},
    {FtpReply::kUtf8On, 200, "UTF8 set to on"},
    {FtpReply::kOptionNotUnderstood, 501, "Option not understood."},
    {FtpReply::kFileTime, 213, "{}"},
    {FtpReply::kModifyTimeSet, 213, "Modify={}; {}"},
    {FtpReply::kMachineListing, 250, "-Listing {}\r\n {} {}\r\n250 End"},
    {FtpReply::kEnteringExtendedPassive, 229, "Entering Extended Passive Mode (|||{}|)"},
    {FtpReply::kEprtSuccessful, 200, "EPRT command successful."},
    {FtpReply::kEpsvAllSuccessful, 200, "EPSV ALL command successful."},
    {FtpReply::kEpsvAllInEffect, 503, "EPSV ALL in effect: use EPSV."},
    {FtpReply::kNetworkProtocolNotSupported, 522, "Network protocol not supported, use ({})"},
};

constexpr bool FtpReplyRowsInOrder() {
  constexpr size_t count = sizeof(kFtpReplies) / sizeof(kFtpReplies[0]);
  if (count != static_cast<size_t>(FtpReply::kCount)) return false;
  for (size_t i = 0; i < count; ++i) {
    if (static_cast<size_t>(kFtpReplies[i].reply) != i) return false;
  }
  return true;
}
static_assert(FtpReplyRowsInOrder(), "kFtpReplies holds one row per FtpReply, in its order");

constexpr const FtpReplyRow& FtpReplyRowOf(FtpReply reply) {
  return kFtpReplies[static_cast<size_t>(reply)];
}
constexpr uint16_t FtpReplyCode(FtpReply reply) { return FtpReplyRowOf(reply).code; }

// One argument of a reply: a text as it is, or an integer in decimal.
class FtpReplyArgument {
 public:
  FtpReplyArgument(const CCountedString& text) : text_(text) {}  // NOLINT: implicit on purpose
  FtpReplyArgument(const char* text) : text_(text) {}            // NOLINT
  template <typename Integer, typename = std::enable_if_t<std::is_integral_v<Integer>>>
  FtpReplyArgument(Integer value)  // NOLINT
      : text_(std::to_string(value).c_str()) {}
  const CCountedString& Text() const { return text_; }

 private:
  CCountedString text_;
};

// The reply's line without CR LF. A "{}" without an argument left over becomes empty.
CCountedString FtpReplyLine(FtpReply reply, std::initializer_list<FtpReplyArgument> arguments = {});

}  // namespace kestova
