#include "app/page_receive.h"

#include "app/default_folder.h"
#include "app/resource.h"
#include "app/rows_at_exit.h"
#include "app/window_placement.h"
#include "app/window_helpers.h"
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

// In column order (app/receive_view.cpp fills them).
constexpr ColumnSpec kColumns[CPageReceive::kColumnCount] = {
    {IDS_COLUMN_FILE_NAME, 300}, {IDS_COLUMN_FILE_SIZE, 150}, {IDS_COLUMN_ELAPSED, 80},
    {IDS_COLUMN_PERCENTAGE, 80}, {IDS_COLUMN_RATE, 80},       {IDS_COLUMN_REMAINING, 80},
    {IDS_COLUMN_STATE, 200},
};

}  // namespace

CPageReceive::CPageReceive(IServedFolderHost& host) : CDefaultPage(IDD_PAGE_RECEIVE), host_(host) {}

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
  view_.SetWindow(GetSafeHwnd());
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

void CPageReceive::ApplyFolder() { host_.SetServedFolder(folderEdit_.GetText()); }

void CPageReceive::OnBrowse() {
  const CCountedString current = folderEdit_.GetText();
  CCountedString chosen;
  if (!BrowseForFolder(GetSafeHwnd(), LoadResString(IDS_BROWSE_TITLE).CStr(), current, &chosen)) {
    return;
  }
  folderEdit_.SetText(chosen.CStr());
  host_.SetServedFolder(chosen);
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
  if (message == CReceiveView::kDrainMessage) {
    view_.Drain();
    *result = 0;
    return true;
  }
  // The controls still exist while the page handles its own destruction; what the
  // sessions reported last is shown before the rows are written.
  if (message == WM_DESTROY) {
    view_.SetWindow(nullptr);
    view_.Drain();
    SaveSettings();
    WriteRowsIfAsked(list_, kColumnCount);
  }
  return CDefaultPage::OnMessage(message, wParam, lParam, result);
}

}  // namespace kestova
