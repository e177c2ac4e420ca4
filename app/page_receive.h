// CPageReceive: the receive page (template 135), the program's only visible page.
//
// It shows the folder received programmes are saved in (kept in the settings file,
// [PageReceive] Folder=, default DefaultReceiveFolder()), lets the user change it by
// typing (applied on leaving the edit or on Enter) or with the shell's folder browser, hands
// it to the FTP service through its host, and lists every programme reception with its
// progress. The list is a view of the reception events (View(), app/receive_view.h), which
// FTP session threads report to.
#pragma once

#include <cstdint>

#include "app/receive_view.h"
#include "base/counted_string.h"
#include "ui/default_page.h"
#include "ui/elist_ctrl.h"
#include "ui/simple_controls.h"

namespace kestova {

// What a page needs from the dialog that hosts it to pass on a chosen folder.
class IServedFolderHost {
 public:
  virtual ~IServedFolderHost() = default;
  // The folder served to FTP connections accepted from now on.
  virtual void SetServedFolder(const CCountedString& folder) = 0;
};

class CPageReceive : public CDefaultPage {
 public:
  // The list's columns in order: file name, size, elapsed, percentage, rate, remaining,
  // state.
  static constexpr int kColumnCount = 7;

  // `host` receives the folder (it must outlive the page).
  explicit CPageReceive(IServedFolderHost& host);

  // The observer of the receptions this page lists (any thread).
  CReceiveView& View() { return view_; }

  // Reads the folder from the settings file into the edit and applies it.
  void LoadSettings();
  // Hands the edit's text to the host as the served folder; done when the edit loses the
  // focus, on Enter (the host calls it) and after LoadSettings — not per keystroke.
  void ApplyFolder();
  // Writes the edit's text, unchanged, and the list's column widths to the settings file;
  // the results are not examined.
  void SaveSettings();

  EListCtrl& List() { return list_; }
  CEdit& FolderEdit() { return folderEdit_; }

  // Moves the controls by a change of the page's size: the edit widens, the browse button
  // moves right, the list grows both ways.
  void ResizeBy(int widthChange, int heightChange) override;

 protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control, LRESULT* result) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  // The template's label (36 dialog units) cuts "保存フォルダ" in Japanese fonts: the label
  // is widened to its text and the edit starts that much later (same right edge).
  void FitFolderLabel();
  void OnBrowse();

  IServedFolderHost& host_;
  EListCtrl list_;
  CStatic folderLabel_;
  CEdit folderEdit_;
  CButton browseButton_;
  CReceiveView view_{list_};
};

}  // namespace kestova
