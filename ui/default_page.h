// CDefaultPage: base of every tab page (a child dialog inside ETabCtrl).
//
// Its initialisation gives the page the themed tab background (EnableThemeDialogTexture
// with ETDT_ENABLETAB; plain dialog background without visual styles) and stores the
// client rectangle as the reference. Each later WM_SIZE (not minimised, after the
// initialisation) calls ResizeBy with the change against the reference, then makes the
// new size the reference, so pages move their controls by differences.
// OK and Cancel do nothing: a page never ends itself as a dialog (Enter and Esc in a page
// reach the main dialog instead).
#pragma once

#include "ui/dialog.h"
#include "ui/theme_api.h"

namespace kestova {

class CDefaultPage : public CDialog {
 public:
  // `themeLibrary`: the visual-styles library to bind (tests name a missing one).
  explicit CDefaultPage(UINT templateId, HWND parent = nullptr,
                        const char* themeLibrary = CThemeApi::kLibraryName);

  // Called with the size change of each handled resize. Base: nothing.
  virtual void ResizeBy(int widthChange, int heightChange);
  // 1 shows the page (SW_SHOW); any other value hides it (SW_HIDE).
  virtual void ShowPage(int flag);

  const RECT& ReferenceClientRect() const { return reference_; }
  const CThemeApi& Theme() const { return theme_; }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override {}
  void OnCancel() override {}
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  void OnSize(UINT type, int width, int height);

  CThemeApi theme_;
  RECT reference_ = {0, 0, 0, 0};
};

}  // namespace kestova
