// CDialog: a dialog made from a dialog template resource, run modally (DoModal) or
// created modeless (Create), e.g. as a child page.
//
// Both kinds are created with CreateDialogParamA, the object being the hand-off
// parameter; DoModal then disables the owner and runs the framework's message loop
// (RouteMessage, ui/application.h) until EndDialog, so PreTranslateMessage works in modal
// dialogs too. Messages that arrive before WM_INITDIALOG (WM_SETFONT) get the dialog
// manager's defaults.
//
// Initialisation: WM_INITDIALOG calls OnInitDialog; the base OnInitDialog calls
// DoDataExchange, where a derived dialog binds its control wrappers to control ids
// (BindControl subclasses the control with the wrapper). A derived OnInitDialog calls the
// base first.
//
// Commands: IDOK calls OnOK, IDCANCEL calls OnCancel (also for the close box and Esc);
// the base versions call EndDialog(IDOK / IDCANCEL).
//
// Resources come from ResourceInstance() (ui/application.h). User-interface thread only.
#pragma once

#include "ui/window.h"

namespace kestova {

class CDialog : public CWnd {
 public:
  // `templateId`: the dialog template resource. `parent`: owner (modal) or parent
  // (modeless child); may be null, and Create/DoModal may name another one.
  explicit CDialog(UINT templateId, HWND parent = nullptr);
  ~CDialog() override;

  UINT GetTemplateId() const { return templateId_; }

  // Runs the dialog modally; returns the EndDialog result, or -1 when the dialog could
  // not be created. The window is destroyed before DoModal returns.
  INT_PTR DoModal(HWND owner = nullptr);
  // Creates the dialog modeless as a window of `parent` (null: the constructor's parent).
  // False when the template is missing or creation failed.
  bool Create(HWND parent = nullptr);
  // Modal: ends the loop with `result` (the window is destroyed by DoModal afterwards).
  // Modeless: destroys the window.
  void EndDialog(INT_PTR result);
  bool IsModal() const { return modal_; }

 protected:
  // Returns TRUE to let the system set the focus to the first control.
  virtual BOOL OnInitDialog();
  // Binds control wrappers with BindControl. Base: nothing.
  virtual void DoDataExchange() {}
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }

  // Joins `control` to the dialog's control `id`; false when there is no such control
  // or the wrapper already has a window.
  bool BindControl(int id, CWnd& control);

  bool OnCommand(WORD id, WORD code, HWND control, LRESULT* result) override;

 private:
  friend class CWnd;  // FromHandle recognises the framework's dialogs by this procedure
  static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  UINT templateId_;
  HWND parent_;
  bool modal_ = false;
  bool ended_ = false;
  INT_PTR result_ = 0;
};

}  // namespace kestova
