#include "app/main_dialog.h"

#include "app/built_driver_identity.h"
#include "app/default_folder.h"
#include "app/resource.h"
#include "app/window_placement.h"
#include "app/window_helpers.h"
#include "ftp/ordinary_client_access.h"
#include "ftp/programme_reception.h"
#include "ftp/session_limit_settings.h"
#include "platform/module.h"
#include "ui/application.h"

namespace kestova {

namespace {

// Pixels between the tab control's display area and the page.
constexpr int kPageMargin = 2;

// Redraws the dialog and every child at once (moved children were not repainted).
void RedrawAll(HWND window) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

}  // namespace

unsigned CaptureFailureTextId(int captureResult) {
  switch (captureResult) {
    case CCaptureClient::kRunning:
      return 0;
    case CCaptureClient::kDriverFileMissing:
      return IDS_CAPTURE_DRIVER_MISSING;
    case CCaptureClient::kServiceManagerUnavailable:
    case CCaptureClient::kDeviceUnavailable:
    case CCaptureClient::kServiceNotStarted:
      return IDS_CAPTURE_INSTALL_FAILED;
    case CCaptureClient::kDriverFileAltered:
      return IDS_CAPTURE_DRIVER_ALTERED;
    default:
      return IDS_CAPTURE_UNKNOWN_ERROR;
  }
}

unsigned CaptureMethodTextId(CCaptureClient::Method running) {
  switch (running) {
    case CCaptureClient::Method::kRaw:
      return IDS_METHOD_RAW;
    case CCaptureClient::Method::kSocket:
      return IDS_METHOD_SOCKET;
    default:
      return IDS_METHOD_DRIVER;
  }
}

CMainDialog::CMainDialog()
    : CDialog(IDD_MAIN_DIALOG),
      receivePage_(*this),
      sessionFactory_(&receivePage_.View()),
      responder_(answerTransport_) {
  icon_ = static_cast<HICON>(LoadImageA(ResourceInstance(), MAKEINTRESOURCEA(IDI_KESTOVA),
                                        IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                        GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
  smallIcon_ = static_cast<HICON>(LoadImageA(ResourceInstance(), MAKEINTRESOURCEA(IDI_KESTOVA),
                                             IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  ftpService_.SetServedFolder(DefaultReceiveFolder());
  FtpListenerObserver observer;
  observer.startFailed = &CMainDialog::OnListenerStartFailed;
  observer.context = this;
  ftpService_.SetListenerObserver(observer);
  // Every connection is a dubbing session whose receptions fill the receive page's list.
  ftpService_.SetSessionFactory(&sessionFactory_);
  ftpService_.SetIdleObserver(&idleWait_);
}

CMainDialog::~CMainDialog() {
  if (icon_ != nullptr) DestroyIcon(icon_);
  if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

void CMainDialog::DoDataExchange() {
  CDialog::DoDataExchange();
  BindControl(IDC_MAIN_TAB, tab_);
}

BOOL CMainDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  initialWindow_ = GetWindowRect();
  initialClient_ = GetClientRect();
  AddPage(receivePage_, IDS_PAGE_RECEIVE);
  // After the page exists: the saved size lays it out like any resize.
  RestoreWindowPlacement(GetSafeHwnd(), {initialWindow_.right - initialWindow_.left,
                                         initialWindow_.bottom - initialWindow_.top});
  capture_.SetFrameCallback(&CNameResponder::OnFrame, &responder_);
  capture_.SetMethod(ReadCaptureMethodSetting());
  capture_.SetDriverIdentity(BuiltDriverIdentity());
  if (!StartCapture()) {
    EndDialog(IDCANCEL);
    return TRUE;
  }
  // The caption tells which method answers names ("KESTOV-A - 名前応答：ドライバ").
  const CCountedString caption =
      CCountedString("KESTOV-A - ") + LoadResString(CaptureMethodTextId(capture_.RunningMethod()));
  SetWindowTextA(GetSafeHwnd(), caption.CStr());
  OnSelectionChange();
  ftpService_.SetSessionLimits(ReadSessionLimitSettings());
  ftpService_.SetOrdinaryClientAccess(ReadOrdinaryClientAccessSetting());
  ftpService_.SetPassivePorts(ReadPassivePortSetting());
  if (!ftpService_.StartListener()) {
    ShowMessage(GetSafeHwnd(), IDS_SERVER_ERROR_CAPTION, IDS_SERVER_ERROR_TEXT, MB_ICONERROR);
  }
  return TRUE;
}

void CMainDialog::AddPage(CDefaultPage& page, unsigned captionId) {
  const CCountedString caption = LoadResString(captionId);
  const int index = tab_.InsertItem(tab_.GetItemCount(), caption.CStr());
  // The display area as the tab control reports it for its tabs and font (at any DPI),
  // with the same margin on every side.
  RECT rect = tab_.GetClientRect();
  TabCtrl_AdjustRect(tab_.GetSafeHwnd(), FALSE, &rect);
  InflateRect(&rect, -kPageMargin, -kPageMargin);
  tab_.SetItemPage(index, &page);
  if (page.Create(tab_.GetSafeHwnd())) page.Move(rect, false);
}

bool CMainDialog::StartCapture() {
  const int result = capture_.Start();
  if (result == CCaptureClient::kRunning) return true;
  ShowMessage(GetSafeHwnd(), IDS_ERROR_CAPTION, CaptureFailureTextId(result), MB_ICONERROR);
  capture_.Stop();  // removes what the failed start installed
  return false;
}

void CMainDialog::SetServedFolder(const CCountedString& folder) {
  ftpService_.SetServedFolder(folder);
}

void CMainDialog::OnSelectionChange() {
  const int selected = tab_.GetCurSel();
  const int count = tab_.GetItemCount();
  for (int index = 0; index < count; ++index) {
    CDefaultPage* page = tab_.GetItemPage(index);
    if (page != nullptr) page->ShowPage(index == selected ? 1 : 0);
  }
  RedrawAll(GetSafeHwnd());
}

bool CMainDialog::OnNotify(NMHDR* header, LRESULT* result) {
  if (header->hwndFrom == tab_.GetSafeHwnd() && header->code == TCN_SELCHANGE) {
    OnSelectionChange();
    *result = 0;
    return true;
  }
  return CDialog::OnNotify(header, result);
}

void CMainDialog::OnSize(UINT type, int width, int height) {
  if (type == SIZE_MINIMIZED) return;  // minimising lays nothing out
  if (!IsWindow() || IsRectEmpty(&initialClient_)) return;
  const int dx = width - (initialClient_.right - initialClient_.left);
  const int dy = height - (initialClient_.bottom - initialClient_.top);
  initialClient_ = GetClientRect();
  MoveEdges(GetSafeHwnd(), tab_.GetSafeHwnd(), 0, 0, dx, dy);
  const int count = tab_.GetItemCount();
  for (int index = 0; index < count; ++index) {
    CDefaultPage* page = tab_.GetItemPage(index);
    if (page != nullptr) MoveEdges(tab_.GetSafeHwnd(), page->GetSafeHwnd(), 0, 0, dx, dy);
  }
  RedrawAll(GetSafeHwnd());
}

void CMainDialog::OnGetMinMaxInfo(MINMAXINFO* info) {
  if (!IsWindow() || IsRectEmpty(&initialWindow_)) return;
  info->ptMinTrackSize.x = initialWindow_.right - initialWindow_.left;
  info->ptMinTrackSize.y = initialWindow_.bottom - initialWindow_.top;
}

bool CMainDialog::OnPaintMinimised() {
  if (!IsIconic(GetSafeHwnd())) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(GetSafeHwnd(), &paint);
  Send(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const RECT client = GetClientRect();
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, icon_);
  EndPaint(GetSafeHwnd(), &paint);
  return true;
}

bool CMainDialog::ConfirmClose() {
  if (RunningReceptionCount() == 0) return true;
  const CCountedString text = LoadResString(IDS_CLOSE_WHILE_RECEIVING);
  return MessageBoxA(GetSafeHwnd(), text.CStr(), "KESTOV-A",
                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void CMainDialog::OnEndSession() {
  // The process may end as soon as this returns: what closing does, done now.
  SaveWindowPlacement(GetSafeHwnd());
  receivePage_.SaveSettings();
  Shutdown();
}

void CMainDialog::Shutdown() {
  capture_.Stop();
  ftpService_.RequestStop();
  idleWait_.WaitPumping(ftpService_);
}

void CMainDialog::OnListenerStartFailed(void* context, uint16_t, const SystemError&) {
  PostMessageA(static_cast<CMainDialog*>(context)->GetSafeHwnd(), kListenerFailedMessage, 0, 0);
}

bool CMainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_SIZE:
      OnSize(static_cast<UINT>(wParam), static_cast<short>(LOWORD(lParam)),
             static_cast<short>(HIWORD(lParam)));
      return false;
    case WM_GETMINMAXINFO:
      OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
      return false;
    case WM_PAINT:
      if (!OnPaintMinimised()) return false;
      *result = 0;
      return true;
    case WM_QUERYDRAGICON:
      *result = reinterpret_cast<LRESULT>(icon_);
      return true;
    case kListenerFailedMessage:
      ShowMessage(GetSafeHwnd(), IDS_SERVER_ERROR_CAPTION, IDS_SERVER_ERROR_TEXT, MB_ICONERROR,
                  ftpService_.ListenerFailure());
      *result = 0;
      return true;
    case WM_CLOSE:  // the close box, Alt+F4, the system menu, taskkill
      if (ConfirmClose()) EndDialog(IDCANCEL);
      *result = 0;
      return true;
    case WM_QUERYENDSESSION:
      *result = TRUE;
      return true;
    case WM_ENDSESSION:
      if (wParam != FALSE) OnEndSession();
      *result = 0;
      return true;
    case WM_DESTROY:
      SaveWindowPlacement(GetSafeHwnd());
      Shutdown();
      return false;
    default:
      return CDialog::OnMessage(message, wParam, lParam, result);
  }
}

}  // namespace kestova
