#include "ftp/command_table.h"

namespace kestova {

const FtpCommand kFtpCommands[kFtpCommandCount] = {
    {"ABOR", &CFtpSession::OnAbor, false},
    {"APPE", &CFtpSession::OnStor, true},
    {"BYE", &CFtpSession::OnQuit, false},
    {"CDUP", &CFtpSession::OnCdup, false},
    {"SITE", &CFtpSession::OnSite, true},
    {"CWD", &CFtpSession::OnCwd, true},
    {"DELE", &CFtpSession::OnDele, true},
    {"HELP", &CFtpSession::OnHelp, false},
    {"LIST", &CFtpSession::OnList, false},
    {"MKD", &CFtpSession::OnMkd, true},
    {"NLST", &CFtpSession::OnList, false},
    {"NOOP", &CFtpSession::OnNoop, false},
    {"PASS", &CFtpSession::OnPass, false},
    {"PASV", &CFtpSession::OnPasv, false},
    {"P@SW", &CFtpSession::OnPasv, false},
    {"PORT", &CFtpSession::OnPort, true},
    {"PWD", &CFtpSession::OnPwd, false},
    {"QUIT", &CFtpSession::OnQuit, false},
    {"REST", &CFtpSession::OnRest, true},
    {"RETR", &CFtpSession::OnRetr, true},
    {"RMD", &CFtpSession::OnRmd, true},
    {"RNFR", &CFtpSession::OnRnfr, true},
    {"RNTO", &CFtpSession::OnRnto, true},
    {"SIZE", &CFtpSession::OnSize, true},
    {"STOR", &CFtpSession::OnStor, true},
    {"SYST", &CFtpSession::OnSyst, false},
    {"TYPE", &CFtpSession::OnType, true},
    {"USER", &CFtpSession::OnUser, true},
    {"XCWD", &CFtpSession::OnCwd, true},
    {"XMKD", &CFtpSession::OnMkd, true},
    {"XPWD", &CFtpSession::OnPwd, false},
    {"XRMD", &CFtpSession::OnRmd, true},
    // Extensions, after the described set.
    {"EPRT", &CFtpSession::OnEprt, true},
    {"EPSV", &CFtpSession::OnEpsv, false},
    {"FEAT", &CFtpSession::OnFeat, false},
    {"MDTM", &CFtpSession::OnMdtm, true},
    {"MFMT", &CFtpSession::OnMfmt, true},
    {"MLSD", &CFtpSession::OnMlsd, false},
    {"MLST", &CFtpSession::OnMlst, false},
    {"OPTS", &CFtpSession::OnOpts, true},
};

const FtpCommand* FindFtpCommand(const CCountedString& word) {
  for (const FtpCommand& row : kFtpCommands) {
    if (word == row.word) return &row;
  }
  return nullptr;
}

}  // namespace kestova
