#include "linux/activity_log.h"

#include <arpa/inet.h>

#include <cstdio>

#include "ftp/dubbing_documents.h"
#include "linux/service_log.h"
#include "linux/status/service_status.h"
#include "platform/texts.h"

namespace kestova {
namespace {

std::string AddressText(uint32_t networkOrder) {
  char text[INET_ADDRSTRLEN] = "?";
  struct in_addr address = {};
  address.s_addr = networkOrder;
  inet_ntop(AF_INET, &address, text, sizeof(text));
  return text;
}

// A decoded NetBIOS name for a log: printable ASCII kept, anything else as '.', the
// padding dropped, and a 16th (suffix) byte other than a space shown as <XX>.
std::string NetbiosNameText(const CCountedString& name) {
  std::string text;
  const size_t length = name.Length();
  const size_t visible = length == 16 ? 15 : length;
  for (size_t i = 0; i < visible; ++i) {
    const unsigned char c = static_cast<unsigned char>(name.CStr()[i]);
    text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (length == 16 && name.CStr()[15] != ' ') {
    char suffix[8];
    std::snprintf(suffix, sizeof(suffix), "<%02X>", static_cast<unsigned char>(name.CStr()[15]));
    text += suffix;
  }
  return text;
}

bool IsDubbingDocument(const CCountedString& name) {
  return name.EqualsNoCase(kVirtualStatusFile) || name.EqualsNoCase(kVirtualDubbingInfoFile) ||
         name.EqualsNoCase(kVirtualProgrammeFile);
}

std::string Result(int replyCode) {
  const std::string code = std::to_string(replyCode);
  return Format(replyCode >= 200 && replyCode < 300 ? T_("done (%s)") : T_("failed (%s)"),
                code.c_str());
}

// Names as the client sent them (UTF-8 on Linux), in double quotes; control characters
// (a line feed, an escape sequence) as \xNN, so that no client can forge a log line.
std::string Quoted(const CCountedString& name) {
  std::string text = "\"";
  for (const char* c = name.CStr(); *c != '\0'; ++c) {
    const unsigned char byte = static_cast<unsigned char>(*c);
    if (byte < 0x20 || byte == 0x7F || byte == '"' || byte == '\\') {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\x%02X", byte);
      text += escaped;
    } else {
      text += *c;
    }
  }
  return text + "\"";
}

}  // namespace

std::string NameQueryLogLine(const NameQueryReport& report, bool* normalLevel) {
  const std::string name = NetbiosNameText(report.name);
  const std::string from = AddressText(report.querier);
  *normalLevel = false;
  switch (report.verdict) {
    case NameQueryVerdict::kAnswered:
      *normalLevel = true;
      return Format(T_("name query for %s from %s answered with %s"), name.c_str(), from.c_str(),
                    AddressText(report.announced).c_str());
    case NameQueryVerdict::kNoAddress:
      *normalLevel = true;
      return Format(T_("name query for %s from %s not answered: no address of this host is "
                       "worth announcing to it"),
                    name.c_str(), from.c_str());
    case NameQueryVerdict::kNoSocket:
      *normalLevel = true;
      return Format(T_("name query for %s from %s not answered: no socket can be opened (out of "
                       "file descriptors)"),
                    name.c_str(), from.c_str());
    case NameQueryVerdict::kSendFailed:
      *normalLevel = true;
      return Format(T_("name query for %s from %s not answered: the answer could not be sent (%s)"),
                    name.c_str(), from.c_str(),
                    report.sendError.IsSet() ? report.sendError.text.CStr() : T_("no reason given"));
    case NameQueryVerdict::kOtherName:
      return Format(T_("name query for %s from %s ignored: not a recorder's name (GR-...)"),
                    name.c_str(), from.c_str());
    case NameQueryVerdict::kNotNameQuery:
      return Format(T_("name service message from %s ignored: not a name query of type NB"),
                    from.c_str());
    case NameQueryVerdict::kMalformed:
      return T_("name service frame ignored: too short or too long to be a name query");
  }
  return std::string();
}

void LogNameQuery(const NameQueryReport& report, void* context) {
  CServiceStatus* status = static_cast<CServiceStatus*>(context);
  if (status != nullptr) {
    if (report.verdict == NameQueryVerdict::kAnswered) {
      status->CountAnswered(NetbiosNameText(report.name), AddressText(report.querier),
                            AddressText(report.announced));
    } else if (report.verdict == NameQueryVerdict::kNoAddress ||
               report.verdict == NameQueryVerdict::kNoSocket ||
               report.verdict == NameQueryVerdict::kSendFailed ||
               report.verdict == NameQueryVerdict::kOtherName) {
      status->CountIgnored();
    }
  }
  bool normal = false;
  const std::string line = NameQueryLogLine(report, &normal);
  LogLine(line, normal ? LogLevel::kNormal : LogLevel::kVerbose);
}

std::string FtpActivityLogLine(const FtpActivity& activity, bool* normalLevel) {
  const std::string who =
      Format(T_("ftp %s user %s: "), activity.peer.CStr(), Quoted(activity.user).c_str());
  const std::string count =
      activity.bytes == kFtpBytesUnknown ? std::string("?") : std::to_string(activity.bytes);
  const std::string bytes = Format(T_("%s bytes, "), count.c_str());
  const std::string result = Result(activity.replyCode);
  const std::string name = Quoted(activity.argument);
  *normalLevel = !IsDubbingDocument(activity.argument);
  switch (activity.kind) {
    case FtpActivityKind::kLogin:
      *normalLevel = true;
      return who + (activity.replyCode == 230 ? std::string(T_("logged in"))
                                              : Format(T_("login %s"), result.c_str()));
    case FtpActivityKind::kDownload:
      return who + Format(T_("download %s %s%s"), name.c_str(), bytes.c_str(), result.c_str());
    case FtpActivityKind::kUpload:
      return who + Format(T_("upload %s %s%s"), name.c_str(), bytes.c_str(), result.c_str());
    case FtpActivityKind::kAppend:
      return who + Format(T_("append %s %s%s"), name.c_str(), bytes.c_str(), result.c_str());
    case FtpActivityKind::kDelete:
      return who + Format(T_("delete %s %s"), name.c_str(), result.c_str());
    case FtpActivityKind::kRename:
      return who + Format(T_("rename %s to %s %s"), Quoted(activity.source).c_str(), name.c_str(),
                          result.c_str());
    case FtpActivityKind::kMakeFolder:
      return who + Format(T_("make folder %s %s"), name.c_str(), result.c_str());
    case FtpActivityKind::kRemoveFolder:
      return who + Format(T_("remove folder %s %s"), name.c_str(), result.c_str());
  }
  return std::string();
}

void LogFtpActivity(const FtpActivity& activity, void*) {
  bool normal = false;
  const std::string line = FtpActivityLogLine(activity, &normal);
  LogLine(line, normal ? LogLevel::kNormal : LogLevel::kVerbose);
}

}  // namespace kestova
