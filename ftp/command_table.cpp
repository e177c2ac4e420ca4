#include "ftp/command_table.h"

namespace kestova {

const FtpCommand kFtpCommands[kFtpCommandCount] = {
    {"ABOR", &CFtpSession::OnAbor, false, "Abort transfer: ABOR"},
    {"APPE", &CFtpSession::OnStor, true, "Append file to existing file: APPE file-name"},
    {"BYE", &CFtpSession::OnQuit, false, "Logout or break the connection: BYE"},
    {"CDUP", &CFtpSession::OnCdup, false, "Change to parent directory: CDUP"},
    {"SITE", &CFtpSession::OnSite, true, "Change Site Attributes: SITE [MODE] [file-name]"},
    {"CWD", &CFtpSession::OnCwd, true, "Change working directory: CWD [directory-name]"},
    {"DELE", &CFtpSession::OnDele, true, "Delete file: DELE file-name"},
    {"HELP", &CFtpSession::OnHelp, false, "Show help: HELP [command]"},
    {"LIST", &CFtpSession::OnList, false, "Get directory listing: LIST [path-name]"},
    {"MKD", &CFtpSession::OnMkd, true, "Make directory: MKD path-name"},
    {"NLST", &CFtpSession::OnList, false, "List filenames only: NLST [path-name]"},
    {"NOOP", &CFtpSession::OnNoop, false, "Do nothing: NOOP"},
    {"PASS", &CFtpSession::OnPass, false, "Supply a user password: PASS password"},
    {"PASV", &CFtpSession::OnPasv, false, "Set server in passive mode: PASV"},
    {"P@SW", &CFtpSession::OnPasv, false, "Set server in passive mode: P@SW"},
    {"PORT", &CFtpSession::OnPort, true, "Specify the client port number: PORT a0,a1,a2,a3,a4,a5"},
    {"PWD", &CFtpSession::OnPwd, false, "Get current directory: PWD"},
    {"QUIT", &CFtpSession::OnQuit, false, "Logout or break the connection: QUIT"},
    {"REST", &CFtpSession::OnRest, true, "Set restart transfer marker: REST marker"},
    {"RETR", &CFtpSession::OnRetr, true, "Get file: RETR file-name"},
    {"RMD", &CFtpSession::OnRmd, true, "Remove directory: RMD path-name"},
    {"RNFR", &CFtpSession::OnRnfr, true,
     "Specify old path name of file to be renamed: RNFR file-name"},
    {"RNTO", &CFtpSession::OnRnto, true,
     "Specify new path name of file to be renamed: RNTO file-name"},
    {"SIZE", &CFtpSession::OnSize, true, "Get filesize: SIZE file-name"},
    {"STOR", &CFtpSession::OnStor, true, "Store file: STOR file-name"},
    {"SYST", &CFtpSession::OnSyst, false, "Get operating system type: SYST"},
    {"TYPE", &CFtpSession::OnType, true, "Set filetype: TYPE [A | I]"},
    {"USER", &CFtpSession::OnUser, true, "Supply a username: USER username"},
    {"XCWD", &CFtpSession::OnCwd, true, "Change working directory: XCWD [directory-name]"},
    {"XMKD", &CFtpSession::OnMkd, true, "Make directory: XMKD path-name"},
    {"XPWD", &CFtpSession::OnPwd, false, "Get current directory: XPWD"},
    {"XRMD", &CFtpSession::OnRmd, true, "Remove directory: XRMD path-name"},
};

const FtpCommand* FindFtpCommand(const CCountedString& word) {
  for (const FtpCommand& row : kFtpCommands) {
    if (word == row.word) return &row;
  }
  return nullptr;
}

}  // namespace kestova
