#include "app/page_receive.h"

#include "app/default_folder.h"
#include "app/resource.h"
#include "app/rows_at_exit.h"
#include "app/window_placement.h"
#include "app/window_helpers.h"
#include "ftp/status_callback.h"
#include "platform/module.h"
#include "platform/settings.h"

namespace kestova {

namespace {

constexpr char kSettingsSection[] = "PageReceive";
constexpr char kSettingsKey[] = "Folder";
// Pixels between the label's text and the edit.
constexpr int kLabelTextMargin = 4;

struct ColumnSpec {
  unsigned headingId;
  int width;  // pixels
};

// In column order; the status code that fills each is in ReportStatus.
constexpr ColumnSpec kColumns[CPageReceive::kColumnCount] = {
    {IDS_COLUMN_FILE_NAME, 300}, {IDS_COLUMN_FILE_SIZE, 150}, {IDS_COLUMN_ELAPSED, 80},
    {IDS_COLUMN_PERCENTAGE, 80}, {IDS_COLUMN_RATE, 80},       {IDS_COLUMN_REMAINING, 80},
    {IDS_COLUMN_STATE, 200},
};

}  // namespace

CPageReceive::CPageReceive() : CDefaultPage(IDD_PAGE_RECEIVE) {}

void CPageReceive::DoDataExchange() {
  CDefaultPage::DoDataExchange();
  BindControl(IDC_RECEIVE_LIST, list_);
  BindControl(IDC_FOLDER_LABEL, folderLabel_);
  BindControl(IDC_FOLDER_EDIT, folderEdit_);
  BindControl(IDC_BROWSE_BUTTON, browseButton_);
}

BOOL CPageReceive::OnInitDialog() {
  CDefaultPage::OnInitDialog();
  folderLabel_.SetText(LoadResString(IDS_FOLDER_LABEL).CStr());
  FitFolderLabel();
  browseButton_.SetText(LoadResString(IDS_BROWSE_BUTTON).CStr());
  for (int column = 0; column < kColumnCount; ++column) {
    list_.InsertColumn(column, LoadResString(kColumns[column].headingId).CStr(), LVCFMT_LEFT,
                       SavedColumnWidth(column, kColumns[column].width));
  }
  LoadSettings();
  return TRUE;
}

void CPageReceive::FitFolderLabel() {
  const CCountedString text = folderLabel_.GetText();
  HDC dc = GetDC(folderLabel_.GetSafeHwnd());
  HGDIOBJ oldFont = SelectObject(dc, folderLabel_.GetFont());
  SIZE extent = {0, 0};
  GetTextExtentPoint32A(dc, text.CStr(), static_cast<int>(text.Length()), &extent);
  SelectObject(dc, oldFont);
  ReleaseDC(folderLabel_.GetSafeHwnd(), dc);
  const RECT label = folderLabel_.GetWindowRect();
  const int missing = extent.cx + kLabelTextMargin - (label.right - label.left);
  if (missing <= 0) return;
  // The edit keeps its right edge and gives up the width the label needs.
  MoveEdges(GetSafeHwnd(), folderLabel_.GetSafeHwnd(), 0, 0, missing, 0);
  MoveEdges(GetSafeHwnd(), folderEdit_.GetSafeHwnd(), -missing, 0, 0, 0);
}

void CPageReceive::LoadSettings() {
  CCountedString folder;
  ReadSetting(kSettingsSection, kSettingsKey, DefaultReceiveFolder().CStr(), &folder);
  folderEdit_.SetText(folder.CStr());
  ApplyFolder();
}

void CPageReceive::SaveSettings() {
  WriteSetting(kSettingsSection, kSettingsKey, folderEdit_.GetText().CStr());
  for (int column = 0; column < kColumnCount; ++column) {
    SaveColumnWidth(column, list_.GetColumnWidth(column));
  }
}

void CPageReceive::ApplyFolder() {
  IServedFolderHost* folderHost = dynamic_cast<IServedFolderHost*>(host);
  if (folderHost != nullptr) folderHost->SetServedFolder(folderEdit_.GetText());
}

void CPageReceive::OnBrowse() {
  const CCountedString current = folderEdit_.GetText();
  CCountedString chosen;
  if (!BrowseForFolder(GetSafeHwnd(), LoadResString(IDS_BROWSE_TITLE).CStr(), current, &chosen)) {
    return;
  }
  folderEdit_.SetText(chosen.CStr());
  IServedFolderHost* folderHost = dynamic_cast<IServedFolderHost*>(host);
  if (folderHost != nullptr) folderHost->SetServedFolder(chosen);
}

void CPageReceive::ResizeBy(int widthChange, int heightChange) {
  HWND page = GetSafeHwnd();
  MoveEdges(page, folderEdit_.GetSafeHwnd(), 0, 0, widthChange, 0);
  MoveEdges(page, browseButton_.GetSafeHwnd(), -widthChange, 0, widthChange, 0);
  MoveEdges(page, list_.GetSafeHwnd(), 0, 0, widthChange, heightChange);
}

bool CPageReceive::OnCommand(WORD id, WORD code, HWND control, LRESULT* result) {
  if (id == IDC_BROWSE_BUTTON && code == BN_CLICKED) {
    OnBrowse();
    *result = 0;
    return true;
  }
  // Applied when the edit loses the focus (or on Enter, through the host), never per
  // keystroke: a connection arriving mid-typing would get a half-typed folder.
  if (id == IDC_FOLDER_EDIT && code == EN_KILLFOCUS) {
    ApplyFolder();
    *result = 0;
    return true;
  }
  return CDefaultPage::OnCommand(id, code, control, result);
}

bool CPageReceive::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  // The controls still exist while the page handles its own destruction.
  if (message == WM_DESTROY) {
    SaveSettings();
    WriteRowsIfAsked(list_, kColumnCount);
  }
  return CDefaultPage::OnMessage(message, wParam, lParam, result);
}

void CPageReceive::ReceptionStatusCallback(uint32_t code, void* data, void* context, int32_t row) {
  static_cast<CPageReceive*>(context)->ReportStatus(code, data, row);
}

void CPageReceive::ReportStatus(uint32_t code, void* data, int32_t row) {
  switch (code) {
    case kStatusFileName:
    case kStatusSize:
    case kStatusElapsed:
    case kStatusPercentage:
    case kStatusState:
      list_.SetItemText(row, static_cast<int>(code), static_cast<const char*>(data));
      break;
    case kStatusRemaining:  // shown under 残り時間(分)
      list_.SetItemText(row, 5, static_cast<const char*>(data));
      break;
    case kStatusRate:  // shown under 転送レート(KByte/s)
      list_.SetItemText(row, 4, static_cast<const char*>(data));
      break;
    case kStatusAddRow:
      // Runs under the reception's file-naming lock: rows are appended one at a time.
      *static_cast<int32_t*>(data) = list_.InsertItem(list_.GetItemCount(), "");
      break;
    default:
      break;
  }
}

}  // namespace kestova
