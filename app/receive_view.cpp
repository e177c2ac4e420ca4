#include "app/receive_view.h"

#include <cstring>
#include <utility>

#include "app/resource.h"
#include "app/window_helpers.h"

namespace kestova {

namespace {

// The receive page's columns.
enum Column {
  kColumnFileName = 0,
  kColumnSize = 1,
  kColumnElapsed = 2,
  kColumnPercentage = 3,
  kColumnRate = 4,
  kColumnRemaining = 5,
  kColumnState = 6,
};

// `text` with its "%s" replaced by `path` (the failure texts of the string table).
CCountedString WithPath(const CCountedString& text, const CCountedString& path) {
  const char* marker = std::strstr(text.CStr(), "%s");
  if (marker == nullptr) return text;
  const size_t at = static_cast<size_t>(marker - text.CStr());
  return text.Left(at) + path + CCountedString(marker + 2);
}

}  // namespace

CCountedString ReceiveStateText(ReceptionState state, const CCountedString& path) {
  switch (state) {
    case ReceptionState::kStarting:
      return CCountedString();
    case ReceptionState::kReceiving:
      return LoadResString(IDS_STATE_RECEIVING);
    case ReceptionState::kReceived:
      return LoadResString(IDS_STATE_RECEIVED);
    case ReceptionState::kInterrupted:
      return LoadResString(IDS_STATE_INTERRUPTED);
    case ReceptionState::kCreateFailed:
      return WithPath(LoadResString(IDS_STATE_CREATE_FAILED), path);
    case ReceptionState::kWriteFailed:
      return WithPath(LoadResString(IDS_STATE_WRITE_FAILED), path);
  }
  return CCountedString();
}

void CReceiveView::SetWindow(HWND window) {
  CLockHolder holder(lock_);
  window_ = window;
}

void CReceiveView::OnReceptionEvent(const ReceptionEvent& event) {
  Report report;
  report.id = event.id;
  report.kind = event.kind;
  report.state = event.state;
  report.fileName = event.fileName;
  report.path = event.path;
  report.hasFigures = event.hasFigures;
  if (event.hasFigures) report.figures = FormatProgress(event.figures);
  HWND tell = nullptr;
  {
    CLockHolder holder(lock_);
    if (queue_.empty()) tell = window_;
    queue_.push_back(std::move(report));
  }
  // Posted, never sent: the session goes on whatever the window's thread is doing.
  if (tell != nullptr) PostMessageA(tell, kDrainMessage, 0, 0);
}

void CReceiveView::Drain() {
  std::vector<Report> reports;
  {
    CLockHolder holder(lock_);
    reports.swap(queue_);
  }
  for (const Report& report : reports) Show(report);
}

int CReceiveView::RowOf(ReceptionId id) const {
  const auto found = rowData_.find(id);
  return found == rowData_.end() ? -1 : list_.FindItemByData(found->second);
}

void CReceiveView::ShowFigures(int row, const ProgressTexts& figures) {
  list_.SetItemText(row, kColumnSize, figures.size.CStr());
  list_.SetItemText(row, kColumnElapsed, figures.elapsed.CStr());
  list_.SetItemText(row, kColumnPercentage, figures.percentage.CStr());
  list_.SetItemText(row, kColumnRemaining, figures.remaining.CStr());
  list_.SetItemText(row, kColumnRate, figures.rate.CStr());
}

void CReceiveView::Show(const Report& report) {
  if (report.kind == ReceptionEventKind::kStarted) {
    // The list gives every new row a record of its own as item data (EListCtrl).
    const int row = list_.InsertItem(list_.GetItemCount(), "");
    const LPARAM data = row < 0 ? 0 : list_.GetItemData(row);
    if (data != 0) rowData_[report.id] = data;
    return;
  }
  const int row = RowOf(report.id);
  if (row < 0) return;
  switch (report.kind) {
    case ReceptionEventKind::kFileCreated:
      list_.SetItemText(row, kColumnFileName, report.fileName.CStr());
      list_.SetItemText(row, kColumnState, ReceiveStateText(report.state, report.path).CStr());
      return;
    case ReceptionEventKind::kProgress:
      if (report.hasFigures) ShowFigures(row, report.figures);
      return;
    case ReceptionEventKind::kEnded:
      if (report.hasFigures) ShowFigures(row, report.figures);
      list_.SetItemText(row, kColumnState, ReceiveStateText(report.state, report.path).CStr());
      return;
    case ReceptionEventKind::kStarted:
      return;
  }
}

}  // namespace kestova
