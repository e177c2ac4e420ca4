// CMainDialog: the program's only top-level window, a resizable dialog (template 102)
// filled by a tab control whose one tab is the receive page.
//
// It owns what runs while the program runs: the capture client with the NetBIOS name
// responder as its frame callback, and the FTP service (served folder, stop flag,
// running-listener and session counts). Initialisation starts the capture and, only when
// that succeeded, the FTP listener; a failed capture start is reported and ends the dialog.
// Destruction stops the capture, sets the stop flag and waits, dispatching messages, until
// the listener and every session have ended (CServiceIdleWait). Sessions report to the
// receive page's view, which never makes them wait for this thread.
#pragma once

#include "app/page_receive.h"
#include "app/page_send.h"
#include "app/service_idle_wait.h"
#include "base/counted_string.h"
#include "capture/answer_transport.h"
#include "capture/name_responder.h"
#include "capture/win32/capture_client.h"
#include "ftp/dubbing_session.h"
#include "ftp/ftp_service.h"
#include "ui/dialog.h"
#include "ui/etab_ctrl.h"

namespace kestova {

class CMainDialog : public CDialog, public IServedFolderHost {
 public:
  CMainDialog();
  ~CMainDialog() override;

  // Inserts a tab captioned with string `captionId` at the end of the tab control, attaches
  // `page` to it and creates the page from its template
  // inside the tab control's display area.
  void AddPage(CDefaultPage& page, unsigned captionId);
  // Starts the capture client; on failure shows caption 1005 with the text of the result
  // (CaptureFailureTextId), stops the client again and returns false.
  bool StartCapture();

  // The folder new FTP connections serve; a backslash is appended when missing.
  void SetServedFolder(const CCountedString& folder) override;
  CCountedString ServedFolder() { return ftpService_.ServedFolder(); }

  CPageReceive& ReceivePage() { return receivePage_; }
  CFtpService& FtpService() { return ftpService_; }

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  bool OnNotify(NMHDR* header, LRESULT* result) override;
  // Neither Enter (in the folder edit, say) nor Esc (dismissing a menu, say) ends the
  // program; only closing the window does (WM_CLOSE), after asking while receptions run.
  void OnOK() override { receivePage_.ApplyFolder(); }  // Enter applies the typed folder
  void OnCancel() override {}

 private:
  // Shows the selected tab's page, hides every other one, redraws the dialog.
  void OnSelectionChange();
  void OnSize(UINT type, int width, int height);
  void OnGetMinMaxInfo(MINMAXINFO* info);
  bool OnPaintMinimised();
  // True when the window may close: no reception runs, or the user said yes to
  // 「受信中の番組があります。終了しますか？」.
  bool ConfirmClose();
  // Windows is ending the session: settings saved and Shutdown run before returning.
  void OnEndSession();
  // Stops the capture (the driver removed), stops the FTP service and dispatches messages
  // until every session has ended. Running it again does no harm.
  void Shutdown();
  // The listener could not bind its port (listener thread): posts kListenerFailedMessage,
  // whose handler shows caption 1003, text 1004 on this dialog's thread, with the
  // system's reason (CFtpService::ListenerFailure) below the text.
  static void OnListenerStartFailed(void* context, uint16_t port, const SystemError& reason);
  static constexpr UINT kListenerFailedMessage = WM_APP + 2;

  ETabCtrl tab_;
  CPageReceive receivePage_;
  CPageSend sendPage_;
  // Before the service: they outlive its threads.
  CServiceIdleWait idleWait_;
  CDubbingSessionFactory sessionFactory_;
  CFtpService ftpService_;
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  CSocketAnswerTransport answerTransport_;
  CNameResponder responder_;
  CCaptureClient capture_;
  RECT initialClient_ = {0, 0, 0, 0};  // the client rectangle of the last layout
  RECT initialWindow_ = {0, 0, 0, 0};  // the window rectangle as first shown
};

// The string id of the caption's name for the method that answers names.
unsigned CaptureMethodTextId(CCaptureClient::Method running);

// The string id of the text shown for a failed capture start: 5006 (driver file missing),
// 5010 (driver file not the one built with the program),
// 5007 (service manager, device or service start), 5009 (anything else); 0 for success.
unsigned CaptureFailureTextId(int captureResult);

}  // namespace kestova
