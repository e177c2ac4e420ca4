// CPageReceive: the receive page (template 135), the program's only visible page.
//
// It shows the folder received programmes are saved in (kept in the settings file,
// [PageReceive] Folder=, default DefaultReceiveFolder()), lets the user change it by
// typing (applied on leaving the edit or on Enter) or with the shell's folder browser, hands
// it to the FTP service through its host,
// and lists every programme reception with its progress. The list is filled by
// ReceptionStatusCallback, which FTP session threads call.
#pragma once

#include <cstdint>

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

  CPageReceive();

  // The status callback of programme reception (ftp/status_callback.h); `context` is the
  // page. Codes 0-3 and 6 set the cell of that column, 4 the remaining time (column 5),
  // 5 the transfer rate (column 4); 7 appends an empty row and writes its index (-1 when
  // none could be added) to the int32_t that `data` points to. Any thread: each list
  // change is carried out by the page's thread before the call returns.
  static void ReceptionStatusCallback(uint32_t code, void* data, void* context, int32_t row);

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
  void ReportStatus(uint32_t code, void* data, int32_t row);

  EListCtrl list_;
  CStatic folderLabel_;
  CEdit folderEdit_;
  CButton browseButton_;
};

}  // namespace kestova
