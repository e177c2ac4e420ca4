// CMainApp: the application object of KESTOV-A.exe. Its start-up refuses Windows 95/98/Me,
// keeps the program to one running instance on the machine (a fixed global mutex), protects
// its own folder from FTP (ftp/protected_folder.h), starts
// the socket library and the common controls, and runs the main dialog modally; the
// program ends when the dialog has closed.
#pragma once

#include "base/counted_string.h"
#include "ui/application.h"

namespace kestova {

class CMainApp : public CApplication {
 protected:
  // Start-up as above; always false, so that no message loop follows the dialog.
  bool InitInstance() override;
};

// The application's name: the executable's file name without its extension ("KESTOV-A");
// double-byte characters are stepped over.
CCountedString ApplicationName(const CCountedString& modulePath);

}  // namespace kestova
